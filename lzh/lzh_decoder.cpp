#include "lzh/lzh_decoder.h"

#include <cstdlib>
#include <cstring>

#include "lzh/lzh_format.h"
#include "lzh/lzh_tree.h"
#include "runtime/error.h"

const char* const lzhNoMemoryMessage = "LZH : Cannot get memory for dictionary tables";
const char* const lzhFreeFailedMessage = "LZH : Error freeing memory for dictionary tables";
const char* const lzhSmallBufferMessage = "LZH : Output buffer too small";

namespace {

using namespace lzh;

// The decoder state of one call: the window and the tree, nothing else.
struct Tables {
    uint8_t window[windowSize];
    Tree tree;
};
static_assert(sizeof(Tables) == lzhTablesSize, "the decoder state is 8,488 bytes");

void* MallocTables(std::size_t size) { return std::malloc(size); }
bool FreeTables(void* block) {
    std::free(block);
    return true;
}

LzhAcquireProc acquireProc = MallocTables;
LzhReleaseProc releaseProc = FreeTables;

// Gives the tables back when an error of a procedure passes through decode();
// the normal way out releases them itself, so that a failure can be reported.
struct TablesLease {
    Tables* tables;
    ~TablesLease() {
        if (tables) releaseProc(tables);
    }
};

// The decoding loop keeps its state in locals (zlib's habit) and writes
// nothing back: a call starts afresh. Beside the tables it holds, on the stack:
//   bits, count  input bits held left-aligned, `count` of them valid. Before
//                each symbol and each distance the buffer is topped up to 25
//                or more bits, so the bit loops almost never stop to read:
//                the read procedure runs up to 3 bytes ahead of the bits in
//                use (the format's own 16-bit buffer runs 1 to 2 ahead).
//   fetched      bytes the read procedure delivered.
//   missing      the last `missing` of the held bits are zeros standing for
//                bytes the reader did not deliver. Its first refusal ends the
//                input (NothingMore answers from then on, so the hot path
//                tests nothing), and such bits only ever trail the real
//                ones: a code that leaves count < missing has used one, and
//                the stream is cut short. One compare per code.
//   path         the nodes the current symbol's code passed, root's child
//                first (only the last `pathSize` are kept; deeper codes take
//                the plain update).
//   firstMove    the deepest path node whose weight equals its right
//                neighbour's: the update's first move happens there, since
//                nodes below it only grow by one and their neighbours on the
//                path are their ancestors, still unchanged when compared.
// The update adds one to the path below firstMove, then hands that node to
// the plain step (lzh_tree.h), which remains the reference.
constexpr unsigned pathSize = 64;  // a Huffman tree of weights below 0x8000 is at most ~22 deep
constexpr unsigned noMove = ~0u;

// Where the compressed bytes come from: Fetch() gives the next one, or false
// once the input has ended (and from then on).
class ProcSource {
public:
    explicit ProcSource(LzhReadProc readProc) : readProc_(readProc) {}
    bool Fetch(uint8_t& byte) {
        uint16_t actual = 0;
        readProc_(&byte, 1, actual);
        if (actual == 1) return true;
        readProc_ = NothingMore;  // the first refusal ends the input
        return false;
    }

private:
    static void NothingMore(void*, uint16_t, uint16_t& actual) { actual = 0; }
    LzhReadProc readProc_;
};

class MemorySource {
public:
    MemorySource(const uint8_t* input, std::size_t size) : pos_(input), end_(input + size) {}
    bool Fetch(uint8_t& byte) {
        if (pos_ == end_) return false;
        byte = *pos_++;
        return true;
    }

private:
    const uint8_t* pos_;
    const uint8_t* end_;
};

template <class Source>
class CodeReader {
public:
    CodeReader(Tree& tree, Source source) : tree_(tree), source_(source) {}

    unsigned Symbol() {
        const uint16_t* child = tree_.child;
        const uint16_t* weight = tree_.weight;
        uint32_t bits = bits_;
        unsigned count = count_;
        unsigned depth = 0;
        unsigned firstMove = noMove;
        unsigned n = child[root];
        TopUp(bits, count);
        do {
            if (count == 0) TopUp(bits, count);  // only for codes longer than 25 bits
            unsigned node = n + (bits >> 31);
            bits <<= 1;
            --count;
            path_[depth & (pathSize - 1)] = static_cast<uint16_t>(node);
            if (weight[node] == weight[node + 1]) firstMove = depth;
            ++depth;
            n = child[node];
        } while (n < leafMark);
        bits_ = bits;
        count_ = count;
        unsigned s = n - leafMark;
        Update(s, depth, firstMove);
        return s;
    }

    unsigned Distance() {
        uint32_t bits = bits_;
        unsigned count = count_;
        TopUp(bits, count);  // a distance code has at most 14 bits
        unsigned b = bits >> 24;
        unsigned extra = positionTables.bits[b] - 2u;
        b = bits >> (24 - extra);
        bits <<= 8 + extra;
        count -= 8 + extra;
        unsigned high = positionTables.high[b >> extra];
        bits_ = bits;
        count_ = count;
        return (high << 6) | (b & 0x3F);
    }

    // The last code took a bit the reader never delivered.
    bool RanOut() const { return count_ < missing_; }

    LzhInputUse InputUse() const {
        if (RanOut()) return {true, fetched_};
        return {false, fetched_ - (count_ - missing_) / 8};  // whole delivered bytes still unused
    }

private:
    void TopUp(uint32_t& bits, unsigned& count) {
        while (count <= 24) {
            uint8_t byte = 0;
            if (source_.Fetch(byte)) {
                ++fetched_;
            } else {
                byte = 0;
                missing_ += 8;
            }
            bits |= static_cast<uint32_t>(byte) << (24 - count);
            count += 8;
        }
    }

    void Update(unsigned s, unsigned depth, unsigned firstMove) {
        if (tree_.weight[root] == rebuildWeight || depth > pathSize) {
            UpdateTree(tree_, s);
            return;
        }
        // Fast path: no compares below the first move.
        uint16_t* weight = tree_.weight;
        unsigned stop = firstMove == noMove ? 0 : firstMove + 1;
        for (unsigned k = depth; k-- > stop;) ++weight[path_[k]];
        if (firstMove == noMove) {
            ++weight[root];
        } else {
            UpdateFrom(tree_, path_[firstMove]);
        }
    }

    Tree& tree_;
    Source source_;
    uint32_t bits_ = 0;
    unsigned count_ = 0;
    unsigned missing_ = 0;
    uint64_t fetched_ = 0;
    uint16_t path_[pathSize];
};

LzhInputUse lastInputUse;

// Output through the caller's byte procedure, the window a 4096-byte ring.
class ProcSink {
public:
    ProcSink(uint8_t* window, LzhWriteProc writeProc) : window_(window), writeProc_(writeProc) {
        std::memset(window, initialFill, firstWrite);
        std::memset(window + firstWrite, 0, windowSize - firstWrite);
    }
    void Literal(uint8_t byte) {
        writeProc_(&byte, 1, actual_);
        window_[r_] = byte;
        r_ = (r_ + 1) & windowMask;
    }
    void Match(unsigned distance, unsigned length) {
        uint8_t* window = window_;
        unsigned r = r_;
        unsigned from = (r - distance - 1) & windowMask;
        if (from + length <= windowSize && r + length <= windowSize) {
            // Fast path: neither range wraps around the ring.
            const uint8_t* src = window + from;
            uint8_t* dst = window + r;
            for (unsigned k = 0; k < length; ++k) {
                dst[k] = src[k];  // byte by byte: the ranges may overlap
                writeProc_(dst + k, 1, actual_);
            }
            r = (r + length) & windowMask;
        } else {
            for (unsigned k = 0; k < length; ++k) {
                uint8_t byte = window[(from + k) & windowMask];
                writeProc_(&byte, 1, actual_);
                window[r] = byte;
                r = (r + 1) & windowMask;
            }
        }
        r_ = r;
    }

private:
    uint8_t* window_;
    LzhWriteProc writeProc_;
    unsigned r_ = firstWrite;
    uint16_t actual_ = 0;
};

// Output into the caller's buffer, which is also the window: its first 4096
// bytes hold the history (the ring's initial content laid out flat: the 60
// cleared bytes at 4036..4095, then the 4036 spaces), decoded bytes follow,
// and whole blocks go to `flush` when the next code might not fit.
class BlockSink {
public:
    BlockSink(uint8_t* buffer, std::size_t size, LzhFlushProc flush, void* context)
        : buffer_(buffer),
          end_(buffer + windowSize),
          limit_(buffer + size - maxMatch - copySlack),
          flush_(flush),
          context_(context) {
        std::memset(buffer, 0, windowSize - firstWrite);
        std::memset(buffer + windowSize - firstWrite, initialFill, firstWrite);
    }
    void Literal(uint8_t byte) {
        if (end_ > limit_) Flush();
        *end_++ = byte;
    }
    void Match(unsigned distance, unsigned length) {
        if (end_ > limit_) Flush();
        uint8_t* dst = end_;
        const uint8_t* src = dst - distance - 1;
        end_ = dst + length;
        if (distance + 1 >= copySlack) {
            // Eight at a time; a source eight or more back only reads bytes
            // already written, and up to 7 past the match land in the slack.
            for (unsigned k = 0; k < length; k += copySlack) std::memcpy(dst + k, src + k, copySlack);
        } else {
            for (unsigned k = 0; k < length; ++k) dst[k] = src[k];  // a short repeating pattern
        }
    }
    void Finish() {
        if (end_ > buffer_ + windowSize) Flush();
    }

    static constexpr unsigned copySlack = 8;

private:
    void Flush() {
        flush_(context_, buffer_ + windowSize, static_cast<std::size_t>(end_ - buffer_ - windowSize));
        std::memmove(buffer_, end_ - windowSize, windowSize);
        end_ = buffer_ + windowSize;
    }

    uint8_t* buffer_;
    uint8_t* end_;  // one past the last decoded byte
    uint8_t* limit_;
    LzhFlushProc flush_;
    void* context_;
};

template <class Source, class Sink>
void DecodeCodes(Tree& tree, int32_t textSize, Source source, Sink& out) {
    ResetTree(tree);
    CodeReader<Source> in(tree, source);
    // 64 bits: a final match may carry the count up to 59 past textSize.
    int64_t produced = 0;
    while (produced < textSize && keepRunning != 0) {
        unsigned s = in.Symbol();
        if (in.RanOut()) break;
        if (s < literalCount) {
            out.Literal(static_cast<uint8_t>(s));
            ++produced;
        } else {
            // The symbol (and the tree's update) come before the distance bits.
            unsigned distance = in.Distance();
            if (in.RanOut()) break;
            unsigned length = MatchLength(s);
            out.Match(distance, length);
            produced += length;
        }
    }
    lastInputUse = in.InputUse();
}

Tables* AcquireTables() {
    lastInputUse = LzhInputUse{false, 0};
    Tables* tables = static_cast<Tables*>(acquireProc(sizeof(Tables)));
    if (!tables) RaiseError(ErrorClass::lzh, 0, lzhNoMemoryMessage);
    return tables;
}

void ReleaseTables(TablesLease& lease) {
    Tables* tables = lease.tables;
    lease.tables = nullptr;
    if (!releaseProc(tables)) RaiseError(ErrorClass::lzh, 0, lzhFreeFailedMessage);
}

}  // namespace

void SetLzhTableAllocator(LzhAcquireProc acquire, LzhReleaseProc release) {
    acquireProc = acquire ? acquire : MallocTables;
    releaseProc = release ? release : FreeTables;
}

LzhInputUse LzhLastInputUse() { return lastInputUse; }

void decode(int32_t textSize, LzhReadProc readProc, LzhWriteProc writeProc) {
    TablesLease lease{AcquireTables()};
    ProcSink out(lease.tables->window, writeProc);
    DecodeCodes(lease.tables->tree, textSize, ProcSource(readProc), out);
    ReleaseTables(lease);
}

void LzhDecodeBlocks(const uint8_t* input, std::size_t inputSize, int32_t textSize, uint8_t* buffer,
                     std::size_t bufferSize, LzhFlushProc flush, void* context) {
    TablesLease lease{AcquireTables()};
    if (bufferSize < lzhBlockBufferMin) RaiseError(ErrorClass::lzh, 0, lzhSmallBufferMessage);
    BlockSink out(buffer, bufferSize, flush, context);
    DecodeCodes(lease.tables->tree, textSize, MemorySource(input, inputSize), out);
    out.Finish();
    ReleaseTables(lease);
}

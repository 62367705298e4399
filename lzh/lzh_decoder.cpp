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

// The first levels of the tree as tables, for the block decoder: the next
// topBits input bits give at once the slot a code reaches in its first levels.
//   entry[b]   for the next topBits bits b, the slot they reach and its depth
//              (slot | depth << 10): the code's leaf when it is that short,
//              else the node at depth topBits, from which the walk goes on.
//   slotAt[h]  the slot at heap position h = 1 << depth | code (depth 1 to
//              topBits); positions below a shorter code's leaf are stale.
//   placeOf[x] slot x's heap position h | depth << 12 when last filled; stale
//              once x has left the top (PlaceOf() tells).
// Only child[] shapes the tables. A move of an inner node changes the shape
// under both slots of the move (RefillTop()); two leaves that trade places
// change child[] of leaves only, which the walk reads after the table.
// Seven levels measured best: one more halves the codes that walk on below
// the top, but costs as much again in refills.
constexpr unsigned topBits = 7;
struct TopOfTree {
    uint16_t entry[1u << topBits];
    uint16_t slotAt[2u << topBits];
    uint16_t placeOf[nodeCount];
};

// The decoder state of one call: the window and the tree, nothing else. The
// block decoder keeps its window in the caller's buffer and the tables of the
// tree's top in the window's place.
struct Tables {
    union {
        uint8_t window[windowSize];
        TopOfTree top;
    };
    Tree tree;
};
static_assert(sizeof(TopOfTree) <= windowSize, "the top's tables fit in the window's place");
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

// Where the compressed bytes come from for decode(): Fetch() gives the next
// one, or false once the input has ended (and from then on).
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
        // The prefix codes of each length follow the shorter ones': six steps
        // find the upper bits here, where the block decoder's tables would
        // add half a kilobyte to the installer.
        unsigned top = bits >> 24, length = 3, high = 0, start = 0;
        for (;; ++length) {
            unsigned n = prefixCounts.n[length - 3], end = start + (n << (8 - length));
            if (top < end) break;
            start = end;
            high += n;
        }
        high += (top - start) >> (8 - length);
        unsigned low = (bits >> (26 - length)) & 0x3F;
        bits <<= length + 6;
        count -= length + 6;
        bits_ = bits;
        count_ = count;
        return (high << 6) | low;
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

// Puts decoded symbol s out: a literal, or a match whose distance bits follow
// (the symbol and the tree's update come before them). False when the input
// ran out under the distance.
template <class Reader, class Sink>
inline bool PutSymbol(Reader& in, Sink& out, unsigned s, int64_t& produced) {
    if (s < literalCount) {
        out.Literal(static_cast<uint8_t>(s));
        ++produced;
        return true;
    }
    unsigned distance = in.Distance();
    if (in.RanOut()) return false;
    unsigned length = MatchLength(s);
    out.Match(distance, length);
    produced += length;
    return true;
}

template <class Source, class Sink>
void DecodeCodes(Tree& tree, int32_t textSize, Source source, Sink& out) {
    ResetTree(tree);
    CodeReader<Source> in(tree, source);
    // 64 bits: a final match may carry the count up to 59 past textSize.
    int64_t produced = 0;
    while (produced < textSize && keepRunning != 0) {
        unsigned s = in.Symbol();
        if (in.RanOut() || !PutSymbol(in, out, s, produced)) break;
    }
    lastInputUse = in.InputUse();
}

// The block decoder (LzhDecodeBlocks): the codes of DecodeCodes(), taken
// faster; DecodeCodes() with the byte procedures stays the reference. Its
// input is in memory, so the bit buffer is a 64-bit word (MemoryBits), and
// its window is the caller's buffer, so the window's place holds the tables
// of the tree's top (TopOfTree): a symbol's first topBits bits are one table
// look-up, and only deeper codes walk on bit by bit, noting the slots they
// pass (`path`). The update then knows every node of the code's path without
// following parent[]: Count() adds one along it up to the first slot that
// ties with its right neighbour, where the plain update's moves begin
// (Climb(), lzh_tree.h's steps with the top's tables kept in step).

// The input bits: up to 64 held left-aligned in `bits_`, `count_` of them
// valid. TopUp() brings the count to 57 or more, eight bytes at a time while
// eight remain: the bits past `count_` then already hold the next input bits,
// which the next top-up ORs in again at the same place. Past the end of the
// input come zero bytes, counted in `missing_`: a code that leaves count_ <
// missing_ used one, so the input was cut short (as in CodeReader).
class MemoryBits {
public:
    MemoryBits(const uint8_t* input, std::size_t size) : pos_(input), end_(input + size) {}

    void TopUp() {
        if (end_ - pos_ >= 8) {
            bits_ |= BigEndian64(pos_) >> count_;
            unsigned taken = (63 - count_) >> 3;
            pos_ += taken;
            fetched_ += taken;
            count_ += taken * 8;
        } else {
            while (count_ <= 56) {
                uint64_t byte = 0;
                if (pos_ != end_) {
                    byte = *pos_++;
                    ++fetched_;
                } else {
                    missing_ += 8;
                }
                bits_ |= byte << (56 - count_);
                count_ += 8;
            }
        }
    }
    unsigned Peek(unsigned n) const { return static_cast<unsigned>(bits_ >> (64 - n)); }
    void Skip(unsigned n) {
        bits_ <<= n;
        count_ -= n;
    }
    unsigned Bit() {
        if (count_ == 0) TopUp();  // only for codes longer than the top-up
        unsigned bit = static_cast<unsigned>(bits_ >> 63);
        Skip(1);
        return bit;
    }
    // A distance code: at most 14 bits.
    unsigned Distance() {
        if (count_ < 14) TopUp();
        unsigned b = Peek(8);
        unsigned extra = positionTables.bits[b] - 2u;
        b = Peek(8 + extra);
        Skip(8 + extra);
        return (static_cast<unsigned>(positionTables.high[b >> extra]) << 6) | (b & 0x3F);
    }

    bool RanOut() const { return count_ < missing_; }
    LzhInputUse InputUse() const {
        if (RanOut()) return {true, fetched_};
        return {false, fetched_ - (count_ - missing_) / 8};
    }

private:
    static uint64_t BigEndian64(const uint8_t* p) {
        uint64_t v;
        std::memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        v = __builtin_bswap64(v);  // one load and a byte swap, not eight loads
#endif
        return v;
    }

    const uint8_t* pos_;
    const uint8_t* end_;
    uint64_t bits_ = 0;
    unsigned count_ = 0;
    unsigned missing_ = 0;
    uint64_t fetched_ = 0;
};

constexpr unsigned entrySlotMask = 0x3FF;  // entry: slot | depth << 10
constexpr unsigned placeMask = 0xFFF;      // placeOf: position | depth << 12

// Sets the tables for slot x, at heap position h and the given depth, and
// everything under it down to depth topBits.
void FillTop(TopOfTree& top, const Tree& tree, unsigned x, unsigned h, unsigned depth) {
    top.slotAt[h] = static_cast<uint16_t>(x);
    top.placeOf[x] = static_cast<uint16_t>(h | depth << 12);
    unsigned c = tree.child[x];
    if (c >= leafMark || depth == topBits) {
        unsigned span = 1u << (topBits - depth);
        uint16_t* entry = top.entry + (h - (1u << depth)) * span;
        for (unsigned k = 0; k < span; ++k) entry[k] = static_cast<uint16_t>(x | depth << 10);
        return;
    }
    FillTop(top, tree, c, 2 * h, depth + 1);
    FillTop(top, tree, c + 1, 2 * h + 1, depth + 1);
}

void BuildTop(TopOfTree& top, const Tree& tree) {
    std::memset(top.placeOf, 0, sizeof top.placeOf);
    std::memset(top.slotAt, 0, sizeof top.slotAt);
    unsigned c = tree.child[root];
    FillTop(top, tree, c, 2, 1);
    FillTop(top, tree, c + 1, 3, 1);
}

// Slot x's heap position if it is in the top, else 0. Its noted place holds
// if the place still names it and no shorter code's leaf covers the place
// (the table's first entry under it is as deep): a region of the tables is
// only ever written through its top position or by a leaf above it.
unsigned PlaceOf(const TopOfTree& top, unsigned x) {
    unsigned place = top.placeOf[x];
    unsigned h = place & placeMask;
    unsigned depth = place >> 12;
    if (h == 0 || top.slotAt[h] != x) return 0;
    if ((top.entry[(h - (1u << depth)) << (topBits - depth)] >> 10) < depth) return 0;
    return h;
}

// Slot x took another node's children: the tables under it change if it is in the top.
void RefillTop(TopOfTree& top, const Tree& tree, unsigned x) {
    unsigned h = PlaceOf(top, x);
    if (h) FillTop(top, tree, x, h, top.placeOf[x] >> 12);
}

// The plain update from slot n, whose count ties with its right neighbour's,
// with the top's tables refilled where a move changes the shape there. The
// way up is parent[]: looking up heap positions on the way costs more than it
// spares.
void Climb(Tree& tree, TopOfTree& top, unsigned n) {
    UpdateFrom(tree, n, [&](unsigned moved, unsigned past) {
        RefillTop(top, tree, moved);
        RefillTop(top, tree, past);
    });
}

// Counts one more occurrence of the symbol at leaf code n, whose code took
// the table entry for bits b (reaching the given depth) and then `below` more
// slots, noted in path[]. Below the first slot that ties with its right
// neighbour a count only grows by one (the argument of CodeReader::Update).
inline void Count(Tree& tree, TopOfTree& top, unsigned n, unsigned b, unsigned depth, const uint16_t* path,
                  unsigned below) {
    uint16_t* weight = tree.weight;
    if (weight[root] == rebuildWeight || below > pathSize) {
        UpdateTree(tree, n - leafMark);
        BuildTop(top, tree);
        return;
    }
    while (below > 0) {
        unsigned x = path[--below];
        if (weight[x] == weight[x + 1]) {
            Climb(tree, top, x);
            return;
        }
        ++weight[x];
    }
    for (unsigned h = ((1u << topBits) | b) >> (topBits - depth);; h >>= 1) {
        if (h == 1) {
            ++weight[root];
            return;
        }
        unsigned x = top.slotAt[h];
        if (weight[x] == weight[x + 1]) {
            Climb(tree, top, x);
            return;
        }
        ++weight[x];
    }
}

void DecodeBlocks(Tables& tables, const uint8_t* input, std::size_t inputSize, int32_t textSize, BlockSink& out) {
    Tree& tree = tables.tree;
    TopOfTree& top = tables.top;
    ResetTree(tree);
    BuildTop(top, tree);
    const uint16_t* child = tree.child;
    MemoryBits in(input, inputSize);
    uint16_t path[pathSize];
    int64_t produced = 0;  // 64 bits: a final match may carry it up to 59 past textSize
    while (produced < textSize && keepRunning != 0) {
        in.TopUp();
        unsigned b = in.Peek(topBits);
        unsigned entry = top.entry[b];
        unsigned slot = entry & entrySlotMask;
        unsigned depth = entry >> 10;
        in.Skip(depth);
        unsigned n = child[slot];
        unsigned below = 0;
        while (n < leafMark) {  // a code longer than topBits
            slot = n + in.Bit();
            path[below++ & (pathSize - 1)] = static_cast<uint16_t>(slot);
            n = child[slot];
        }
        Count(tree, top, n, b, depth, path, below);
        if (in.RanOut() || !PutSymbol(in, out, n - leafMark, produced)) break;
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
    DecodeBlocks(*lease.tables, input, inputSize, textSize, out);
    out.Finish();
    ReleaseTables(lease);
}

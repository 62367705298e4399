#include "lzh/lzh_decoder.h"

#include <cstdlib>
#include <cstring>

#include "lzh/lzh_format.h"
#include "lzh/lzh_tree.h"
#include "runtime/error.h"

const char* const lzhNoMemoryMessage = "LZH : Cannot get memory for dictionary tables";
const char* const lzhFreeFailedMessage = "LZH : Error freeing memory for dictionary tables";

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

class CodeReader {
public:
    CodeReader(Tables& t, LzhReadProc readProc) : tree_(t.tree), readProc_(readProc) {}

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
            uint16_t actual = 0;
            readProc_(&byte, 1, actual);
            if (actual == 1) {
                ++fetched_;
            } else {
                byte = 0;
                missing_ += 8;
                readProc_ = NothingMore;
            }
            bits |= static_cast<uint32_t>(byte) << (24 - count);
            count += 8;
        }
    }

    static void NothingMore(void*, uint16_t, uint16_t& actual) { actual = 0; }

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
    LzhReadProc readProc_;
    uint32_t bits_ = 0;
    unsigned count_ = 0;
    unsigned missing_ = 0;
    uint64_t fetched_ = 0;
    uint16_t path_[pathSize];
};

LzhInputUse lastInputUse;

void DecodeCodes(Tables& t, int32_t textSize, LzhReadProc readProc, LzhWriteProc writeProc) {
    ResetTree(t.tree);
    std::memset(t.window, initialFill, firstWrite);
    std::memset(t.window + firstWrite, 0, windowSize - firstWrite);

    CodeReader in(t, readProc);
    uint8_t* window = t.window;
    unsigned r = firstWrite;
    // 64 bits: a final match may carry the count up to 59 past textSize.
    int64_t produced = 0;
    uint16_t actual = 0;
    while (produced < textSize && keepRunning != 0) {
        unsigned s = in.Symbol();
        if (in.RanOut()) break;
        if (s < literalCount) {
            uint8_t byte = static_cast<uint8_t>(s);
            writeProc(&byte, 1, actual);
            window[r] = byte;
            r = (r + 1) & windowMask;
            ++produced;
        } else {
            // The symbol (and the tree's update) come before the distance bits.
            unsigned distance = in.Distance();
            if (in.RanOut()) break;
            unsigned from = (r - distance - 1) & windowMask;
            unsigned length = MatchLength(s);
            if (from + length <= windowSize && r + length <= windowSize) {
                // Fast path: neither range wraps around the ring.
                const uint8_t* src = window + from;
                uint8_t* dst = window + r;
                for (unsigned k = 0; k < length; ++k) {
                    dst[k] = src[k];  // byte by byte: the ranges may overlap
                    writeProc(dst + k, 1, actual);
                }
                r = (r + length) & windowMask;
            } else {
                for (unsigned k = 0; k < length; ++k) {
                    uint8_t byte = window[(from + k) & windowMask];
                    writeProc(&byte, 1, actual);
                    window[r] = byte;
                    r = (r + 1) & windowMask;
                }
            }
            produced += length;
        }
    }
    lastInputUse = in.InputUse();
}

}  // namespace

void SetLzhTableAllocator(LzhAcquireProc acquire, LzhReleaseProc release) {
    acquireProc = acquire ? acquire : MallocTables;
    releaseProc = release ? release : FreeTables;
}

LzhInputUse LzhLastInputUse() { return lastInputUse; }

void decode(int32_t textSize, LzhReadProc readProc, LzhWriteProc writeProc) {
    lastInputUse = LzhInputUse{false, 0};
    TablesLease lease{static_cast<Tables*>(acquireProc(sizeof(Tables)))};
    if (!lease.tables) RaiseError(ErrorClass::lzh, 0, lzhNoMemoryMessage);
    DecodeCodes(*lease.tables, textSize, readProc, writeProc);
    Tables* tables = lease.tables;
    lease.tables = nullptr;
    if (!releaseProc(tables)) RaiseError(ErrorClass::lzh, 0, lzhFreeFailedMessage);
}

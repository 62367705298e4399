#include "lzh/lzh_decoder.h"

#include <cstdlib>
#include <cstring>

#include "lzh/lzh_format.h"
#include "lzh/lzh_tree.h"

int32_t keepRunning = 1;

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

void* mallocTables(std::size_t size) { return std::malloc(size); }
bool freeTables(void* block) {
    std::free(block);
    return true;
}

LzhAcquireProc acquireProc = mallocTables;
LzhReleaseProc releaseProc = freeTables;

Tables* acquireTables() {
    void* block = nullptr;
    try {
        block = acquireProc(sizeof(Tables));
    } catch (...) {
        block = nullptr;  // whatever went wrong, the caller sees the one message
    }
    if (!block) throw ElzhException(lzhNoMemoryMessage);
    return static_cast<Tables*>(block);
}

// Releases the tables on every way out of decode(). A failed release is
// reported, unless an exception of a procedure is already on its way.
class TablesGuard {
public:
    explicit TablesGuard(Tables* t) : tables_(t) {}
    TablesGuard(const TablesGuard&) = delete;
    TablesGuard& operator=(const TablesGuard&) = delete;
    ~TablesGuard() noexcept(false) {
        bool released = releaseProc(tables_);
        if (!released && std::uncaught_exceptions() == 0) throw ElzhException(lzhFreeFailedMessage);
    }

private:
    Tables* tables_;
};

// Input bits, held left-aligned in `bits` with `count` of them valid. A byte
// is fetched whenever 8 or fewer remain before a bit or byte is taken, so the
// procedure is called exactly when the 16-bit buffer of the format description
// would call it.
struct BitReader {
    LzhReadProc readProc;
    uint32_t bits = 0;
    unsigned count = 0;

    void fill() {
        while (count <= 8) {
            uint8_t byte = 0;
            uint16_t actual = 0;
            readProc(&byte, 1, actual);
            if (actual != 1) byte = 0;
            bits |= static_cast<uint32_t>(byte) << (24 - count);
            count += 8;
        }
    }
    unsigned bit() {
        if (count <= 8) fill();
        unsigned b = bits >> 31;
        bits <<= 1;
        --count;
        return b;
    }
    unsigned byte() {
        if (count <= 8) fill();
        unsigned b = bits >> 24;
        bits <<= 8;
        count -= 8;
        return b;
    }
};

unsigned readSymbol(Tree& tree, BitReader& in) {
    const uint16_t* child = tree.child;
    unsigned n = child[root];
    while (n < leafMark) n = child[n + in.bit()];
    unsigned s = n - leafMark;
    updateTree(tree, s);
    return s;
}

unsigned readDistance(BitReader& in) {
    unsigned b = in.byte();
    unsigned high = positionTables.high[b];
    for (unsigned m = positionTables.bits[b] - 2u; m > 0; --m) b = (b << 1) | in.bit();
    return (high << 6) | (b & 0x3F);
}

void decodeCodes(Tables& t, int32_t textSize, LzhReadProc readProc, LzhWriteProc writeProc) {
    resetTree(t.tree);
    std::memset(t.window, initialFill, firstWrite);
    std::memset(t.window + firstWrite, 0, windowSize - firstWrite);

    BitReader in{readProc};
    uint8_t* window = t.window;
    unsigned r = firstWrite;
    // 64 bits: a final match may carry the count up to 59 past textSize.
    int64_t produced = 0;
    uint16_t actual = 0;
    while (produced < textSize && keepRunning != 0) {
        unsigned s = readSymbol(t.tree, in);
        if (s < literalCount) {
            uint8_t byte = static_cast<uint8_t>(s);
            writeProc(&byte, 1, actual);
            window[r] = byte;
            r = (r + 1) & windowMask;
            ++produced;
        } else {
            unsigned from = (r - readDistance(in) - 1) & windowMask;
            unsigned length = matchLength(s);
            for (unsigned k = 0; k < length; ++k) {
                uint8_t byte = window[(from + k) & windowMask];
                writeProc(&byte, 1, actual);
                window[r] = byte;
                r = (r + 1) & windowMask;
            }
            produced += length;
        }
    }
}

}  // namespace

void setLzhTableAllocator(LzhAcquireProc acquire, LzhReleaseProc release) {
    acquireProc = acquire ? acquire : mallocTables;
    releaseProc = release ? release : freeTables;
}

void decode(int32_t textSize, LzhReadProc readProc, LzhWriteProc writeProc) {
    Tables* tables = acquireTables();
    TablesGuard guard(tables);
    decodeCodes(*tables, textSize, readProc, writeProc);
}

// Constants and the distance code of the LZH stream, shared by the decoder and
// the encoder. The stream itself is mapped in lzh_decoder.h.
#pragma once

#include <cstdint>

namespace lzh {

constexpr unsigned windowSize = 4096;            // ring of recent output
constexpr unsigned windowMask = windowSize - 1;
constexpr unsigned maxMatch = 60;                // longest match
constexpr unsigned minMatch = 3;                 // a match symbol s means length s - 253
constexpr unsigned firstWrite = windowSize - maxMatch;  // 4036: 0..4035 start as spaces
constexpr uint8_t initialFill = 0x20;

constexpr unsigned literalCount = 256;
constexpr unsigned symbolCount = literalCount + maxMatch - minMatch + 1;  // 314
constexpr unsigned nodeCount = 2 * symbolCount - 1;                         // 627
constexpr unsigned root = nodeCount - 1;                                    // 626
constexpr unsigned leafMark = nodeCount;  // child[n] >= 627 marks a leaf of symbol child[n] - 627
constexpr uint16_t rebuildWeight = 0x8000;

constexpr unsigned MatchSymbol(unsigned length) { return length + 253; }
constexpr unsigned MatchLength(unsigned symbol) { return symbol - 253; }

// The upper 6 bits v of a distance value have a prefix code of 3 to 8 bits,
// handed out to v in increasing order; the low 6 bits follow plainly.
constexpr unsigned DistancePrefixBits(unsigned v) {
    return v < 1 ? 3 : v < 4 ? 4 : v < 12 ? 5 : v < 24 ? 6 : v < 48 ? 7 : 8;
}

// Total bits of the code for distance value d (0..4095): 9 to 14.
constexpr unsigned DistanceCodeBits(unsigned d) { return DistancePrefixBits(d >> 6) + 6; }

// How many values v have a prefix code of 3, 4, ... 8 bits.
struct PrefixCounts {
    uint8_t n[6];
};

constexpr PrefixCounts MakePrefixCounts() {
    PrefixCounts c{};
    for (unsigned v = 0; v < 64; ++v) ++c.n[DistancePrefixBits(v) - 3];
    return c;
}

constexpr PrefixCounts prefixCounts = MakePrefixCounts();
static_assert(prefixCounts.n[0] == 1 && prefixCounts.n[3] == 12 && prefixCounts.n[5] == 16, "codes of 3, 6 and 8 bits");

// positionHigh[b] and positionBits[b] for the next 8 input bits b.
struct PositionTables {
    uint8_t high[256];
    uint8_t bits[256];
    uint8_t firstByte[64];  // the byte value whose run starts the code of v
};

constexpr PositionTables MakePositionTables() {
    PositionTables t{};
    unsigned b = 0;
    for (unsigned v = 0; v < 64; ++v) {
        unsigned bits = DistancePrefixBits(v);
        t.firstByte[v] = static_cast<uint8_t>(b);
        for (unsigned k = 0; k < (1u << (8 - bits)); ++k, ++b) {
            t.high[b] = static_cast<uint8_t>(v);
            t.bits[b] = static_cast<uint8_t>(bits);
        }
    }
    return t;
}

constexpr PositionTables positionTables = MakePositionTables();
static_assert(positionTables.high[0x1F] == 0 && positionTables.high[0x20] == 1, "run of v = 0");
static_assert(positionTables.high[0xF0] == 48 && positionTables.high[0xFF] == 63, "runs of 8-bit codes");
static_assert(positionTables.bits[0x90] == 6 && positionTables.high[0x90] == 12, "runs of 6-bit codes");

}  // namespace lzh

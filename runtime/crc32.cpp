#include "runtime/crc32.h"

namespace {

// Built on first use: 1 KiB of zeros in the file's uninitialised data, not of bytes.
uint32_t table[256];

void BuildTable() {
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* data, size_t size) {
    if (table[1] == 0) BuildTable();
    const uint8_t* p = static_cast<const uint8_t*>(data);
    crc = ~crc;
    while (size--) crc = table[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

namespace {

// The register after one zero bit is a linear map over GF(2): a 32x32 matrix,
// one column a word. Squaring it doubles the zeros it stands for.
uint32_t Times(const uint32_t* matrix, uint32_t vector) {
    uint32_t sum = 0;
    for (; vector; vector >>= 1, ++matrix)
        if (vector & 1) sum ^= *matrix;
    return sum;
}

void Square(uint32_t* square, const uint32_t* matrix) {
    for (int n = 0; n < 32; ++n) square[n] = Times(matrix, matrix[n]);
}

}  // namespace

uint32_t Crc32Combine(uint32_t first, uint32_t second, uint64_t length) {
    uint32_t even[32], odd[32];
    odd[0] = 0xEDB88320u;  // one zero bit
    for (int n = 1; n < 32; ++n) odd[n] = 1u << (n - 1);
    Square(even, odd);  // two zero bits
    Square(odd, even);  // four
    // Each pass applies the zeros of one bit of the length in bytes, lowest first.
    while (length) {
        Square(even, odd);
        if (length & 1) first = Times(even, first);
        length >>= 1;
        if (!length) break;
        Square(odd, even);
        if (length & 1) first = Times(odd, first);
        length >>= 1;
    }
    return first ^ second;
}

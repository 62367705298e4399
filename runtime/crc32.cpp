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

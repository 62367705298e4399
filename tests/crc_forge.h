// Four chosen bytes give a CRC-32 any value: what an attacker does to a
// volume or a stream so that checks by CRC-32 alone still pass.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/crc32.h"

// Sets the last 4 of `size` bytes so that their CRC-32 is `want`. The register
// after four bytes depends on them alone through the table's entries, whose
// top bytes all differ: the entries are found from the end, the bytes from
// the start.
inline void RestoreCrc32(uint8_t* data, size_t size, uint32_t want) {
    uint32_t table[256];
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    uint8_t index[4];
    uint32_t r = ~want;
    for (int k = 3; k >= 0; --k) {
        uint32_t j = 0;
        while (table[j] >> 24 != r >> 24) ++j;
        index[k] = static_cast<uint8_t>(j);
        r = (r ^ table[j]) << 8;
    }
    uint32_t reg = ~Crc32Update(0, data, size - 4);
    for (int k = 0; k < 4; ++k) {
        data[size - 4 + k] = static_cast<uint8_t>(reg ^ index[k]);
        reg = table[index[k]] ^ (reg >> 8);
    }
}

// CRC-32 as zlib, PKZIP and Python's zlib.crc32 compute it: the reflected
// polynomial 0xEDB88320, the register started and finished with all ones.
#pragma once

#include <cstddef>
#include <cstdint>

// The CRC of `crc`'s bytes followed by these; 0 starts a new one.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t size);

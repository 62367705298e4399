// CRC-32 as zlib, PKZIP and Python's zlib.crc32 compute it: the reflected
// polynomial 0xEDB88320, the register started and finished with all ones.
#pragma once

#include <cstddef>
#include <cstdint>

// The CRC of `crc`'s bytes followed by these; 0 starts a new one.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t size);

// The CRC of bytes whose CRC is `first` followed by `length` bytes whose CRC
// is `second`, in time logarithmic in `length` (zlib's crc32_combine).
uint32_t Crc32Combine(uint32_t first, uint32_t second, uint64_t length);

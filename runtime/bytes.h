// The smaller and the larger of two 8-bit values.
#pragma once

#include <cstdint>

inline uint8_t ByteMin(uint8_t a, uint8_t b) { return a < b ? a : b; }
inline uint8_t ByteMax(uint8_t a, uint8_t b) { return a > b ? a : b; }

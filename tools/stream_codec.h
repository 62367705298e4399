// The tool's use of the codec: encode a buffer with progress, and decode one
// through the decoder's byte procedures, noting how the input was used.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "lzh/lzh_decoder.h"
#include "lzh/lzh_encoder.h"

class Progress;

std::vector<uint8_t> EncodeWithProgress(const std::vector<uint8_t>& data, LzhParse parse, Progress& progress);

struct DecodeReport {
    std::size_t bytesUsed = 0;    // input bytes the decoder took
    std::size_t readsPastEnd = 0; // reads that found no byte left
};

// Decodes `input` to exactly `size` bytes (the decoder's overshoot is cut),
// into `out` when given, else into the file `sink`.
DecodeReport DecodeStream(const std::vector<uint8_t>& input, int32_t size, std::vector<uint8_t>* out,
                          std::FILE* sink, Progress& progress);

// The tool's use of the codec: encode a buffer with progress, and decode one
// through the decoder's block output, with the decoder's word on its input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "lzh/lzh_decoder.h"
#include "lzh/lzh_encoder.h"

class Progress;

std::vector<uint8_t> EncodeWithProgress(const std::vector<uint8_t>& data, LzhParse parse, Progress& progress);

struct DecodeReport {
    uint64_t bytesUsed = 0;  // input bytes holding the bits of the codes decoded
    bool cutShort = false;   // the input ended under a code: fewer bytes came out
    uint64_t written = 0;    // bytes decoded, at most `size`
};

// Decodes `input` to exactly `size` bytes (the decoder's overshoot is cut),
// or to the last code the input holds whole when it is cut short, into `out`
// when given, else into the file `sink`.
DecodeReport DecodeStream(const std::vector<uint8_t>& input, int32_t size, std::vector<uint8_t>* out,
                          std::FILE* sink, Progress& progress);

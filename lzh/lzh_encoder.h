// The LZH stream encoder: writes the stream mapped in lzh_decoder.h, so that
// any correct decoder of the format gives the input back. The last byte is
// padded with zero bits; nothing marks the end, the reader must know the length.
//
//   input   := bytes, any number
//   output  := codes (literal, or match length + distance), MSB first
//   history := 4036 spaces, then the input; a match may copy from any of its
//              last 4096 bytes (spaces included), never from the window
//              bytes the decoder leaves undefined
//
// Two parses over the same matches (nearest distance for each length, from a
// binary tree over the window):
//   greedy   the longest match at every position, a literal when it is
//            shorter than 3: the format's classic parse, kept as a baseline.
//   optimal  per block of input, the cheapest path through every literal and
//            match choice, priced by the symbol weights the adaptive tree has
//            at the block's start; then the block is coded, adapting the tree.
//            The path runs on past the block's end, so a match is never cut
//            short there; the next block starts where its last code ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

enum class LzhParse { greedy, optimal };

struct LzhEncodeOptions {
    LzhParse parse = LzhParse::optimal;
    // Called now and then with the input bytes done so far and the total.
    std::function<void(std::size_t done, std::size_t total)> progress;
};

std::vector<uint8_t> LzhEncode(const uint8_t* data, std::size_t size, const LzhEncodeOptions& options = {});

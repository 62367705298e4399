// Byte sources and sinks for the decoder's context-free procedures, with the
// counts the tests check (calls, sizes asked for), and the block output joined.
#pragma once

#include <cstdint>
#include <vector>

#include "lzh/lzh_decoder.h"

namespace lzhio {

struct Io {
    std::vector<uint8_t> input;
    std::size_t readPos = 0;
    std::vector<uint8_t> output;
    long reads = 0;
    long writes = 0;
    long oddCounts = 0;  // calls asking for or passing anything but 1 byte
};

inline Io io;

inline void Reset(std::vector<uint8_t> input = {}) {
    io = Io{};
    io.input = std::move(input);
}

inline void ReadProc(void* buffer, uint16_t count, uint16_t& actual) {
    ++io.reads;
    if (count != 1) ++io.oddCounts;
    if (io.readPos < io.input.size()) {
        *static_cast<uint8_t*>(buffer) = io.input[io.readPos++];
        actual = 1;
    } else {
        actual = 0;
    }
}

inline void WriteProc(const void* buffer, uint16_t count, uint16_t& actual) {
    ++io.writes;
    if (count != 1) ++io.oddCounts;
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    io.output.insert(io.output.end(), bytes, bytes + count);
    actual = count;
}

// Decodes `input` to `textSize` bytes through the procedures; returns what was written.
inline std::vector<uint8_t> DecodeBytes(const std::vector<uint8_t>& input, int32_t textSize) {
    Reset(input);
    keepRunning = 1;
    decode(textSize, ReadProc, WriteProc);
    return io.output;
}

// LzhDecodeBlocks into a buffer of `bufferSize`, its blocks joined.
inline std::vector<uint8_t> DecodeInBlocks(const std::vector<uint8_t>& input, int32_t textSize,
                                           std::size_t bufferSize = 4096 + (64 << 10)) {
    std::vector<uint8_t> buffer(bufferSize), out;
    keepRunning = 1;
    LzhDecodeBlocks(
        input.data(), input.size(), textSize, buffer.data(), buffer.size(),
        [](void* context, const uint8_t* data, std::size_t size) {
            auto& joined = *static_cast<std::vector<uint8_t>*>(context);
            joined.insert(joined.end(), data, data + size);
        },
        &out);
    return out;
}

}  // namespace lzhio

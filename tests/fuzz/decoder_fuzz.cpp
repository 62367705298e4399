// libFuzzer target for the decoder: any input is a stream. The first two
// bytes give the length to decode; the decoder must end, stay in bounds, and
// agree with the plain reference decoder byte for byte.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "lzh/lzh_decoder.h"
#include "tests/unit/lzh_reference.h"

namespace {

const uint8_t* inPos;
const uint8_t* inEnd;
std::vector<uint8_t> output;

void ReadProc(void* buffer, uint16_t count, uint16_t& actual) {
    if (count == 1 && inPos < inEnd) {
        *static_cast<uint8_t*>(buffer) = *inPos++;
        actual = 1;
    } else {
        actual = 0;
    }
}

void WriteProc(const void* buffer, uint16_t count, uint16_t& actual) {
    const uint8_t* b = static_cast<const uint8_t*>(buffer);
    output.insert(output.end(), b, b + count);
    actual = count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    int32_t textSize = int32_t(data[0] | (data[1] << 8)) - 1000;  // -1000 .. 64,535
    std::vector<uint8_t> stream(data + 2, data + size);
    inPos = stream.data();
    inEnd = inPos + stream.size();
    output.clear();
    keepRunning = 1;
    decode(textSize, ReadProc, WriteProc);
    if (textSize <= 0 ? !output.empty() : output.size() < size_t(textSize) || output.size() > size_t(textSize) + 59)
        std::abort();
    if (output != reference::Decode(stream, textSize)) std::abort();
    return 0;
}

// libFuzzer target for the decoder: any input is a stream. The first two
// bytes give the length to decode; the decoder must end, stay in bounds, stop
// exactly where the input can no longer complete a code, say how much input
// its codes used, and agree with the plain reference decoder byte for byte;
// the block output must agree with the byte procedures.
// Outputs stay small because decoding ends with the input: a run is cheap.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "lzh/lzh_decoder.h"
#include "tests/unit/lzh_reference.h"

namespace {

const uint8_t* inPos;
const uint8_t* inEnd;
long refusals;
std::vector<uint8_t> output;

void ReadProc(void* buffer, uint16_t count, uint16_t& actual) {
    if (count == 1 && inPos < inEnd) {
        *static_cast<uint8_t*>(buffer) = *inPos++;
        actual = 1;
    } else {
        ++refusals;
        actual = 0;
    }
}

void WriteProc(const void* buffer, uint16_t count, uint16_t& actual) {
    const uint8_t* b = static_cast<const uint8_t*>(buffer);
    output.insert(output.end(), b, b + count);
    actual = count;
}

void JoinBlock(void* context, const uint8_t* data, std::size_t size) {
    auto& joined = *static_cast<std::vector<uint8_t>*>(context);
    joined.insert(joined.end(), data, data + size);
}

void Check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    int32_t textSize = int32_t(data[0] | (data[1] << 8)) - 1000;  // -1000 .. 64,535
    std::vector<uint8_t> stream(data + 2, data + size);
    inPos = stream.data();
    inEnd = inPos + stream.size();
    refusals = 0;
    output.clear();
    keepRunning = 1;
    decode(textSize, ReadProc, WriteProc);
    LzhInputUse use = LzhLastInputUse();

    Check(refusals <= 1);  // the input ends at the first byte not delivered
    Check(use.bytesUsed <= stream.size());
    if (textSize <= 0) {
        Check(output.empty() && !use.cutShort && use.bytesUsed == 0);
        return 0;
    }
    Check(output.size() <= size_t(textSize) + 59);
    Check(use.cutShort == (output.size() < size_t(textSize)));

    reference::Decoded plain = reference::DecodeWithEnd(stream, textSize);
    Check(output == plain.out);
    Check(use.cutShort == plain.cutShort);
    Check(use.bytesUsed == (use.cutShort ? stream.size() : (plain.bitsUsed + 7) / 8));

    // The block output, with the smallest buffer: many flushes, same bytes and end.
    std::vector<uint8_t> blocks, buffer(lzhBlockBufferMin);
    keepRunning = 1;
    LzhDecodeBlocks(stream.data(), stream.size(), textSize, buffer.data(), buffer.size(), JoinBlock, &blocks);
    LzhInputUse blockUse = LzhLastInputUse();
    Check(blocks == output);
    Check(blockUse.cutShort == use.cutShort && blockUse.bytesUsed == use.bytesUsed);
    return 0;
}

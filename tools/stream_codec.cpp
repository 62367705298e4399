#include "tools/stream_codec.h"

#include <algorithm>

#include "lzh/lzh_decoder.h"
#include "tools/progress.h"
#include "tools/tool_error.h"

namespace {

// Where LzhDecodeBlocks hands its blocks: the vector or the file, cut to the
// size asked for (the final match may run past it).
struct DecodeTarget {
    std::vector<uint8_t>* out;
    std::FILE* sink;
    uint64_t written;
    uint64_t wanted;
    bool writeFailed;
    Progress* progress;
};

void FlushBlock(void* context, const uint8_t* data, std::size_t size) {
    DecodeTarget& t = *static_cast<DecodeTarget*>(context);
    if (size > t.wanted - t.written) size = std::size_t(t.wanted - t.written);
    if (t.out) {
        t.out->insert(t.out->end(), data, data + size);
    } else if (size && std::fwrite(data, 1, size, t.sink) != size) {
        t.writeFailed = true;
    }
    t.written += size;
    t.progress->Update(t.written, t.wanted);
}

// Blocks this large keep the calls to the file system few; the buffer still
// fits the second-level cache.
constexpr std::size_t blockBufferSize = 4096 + (256 << 10);

}  // namespace

std::vector<uint8_t> EncodeWithProgress(const std::vector<uint8_t>& data, LzhParse parse, Progress& progress) {
    LzhEncodeOptions options;
    options.parse = parse;
    options.progress = [&](std::size_t done, std::size_t total) { progress.Update(done, total); };
    std::vector<uint8_t> stream = LzhEncode(data.data(), data.size(), options);
    progress.Finish();
    return stream;
}

DecodeReport DecodeStream(const std::vector<uint8_t>& input, int32_t size, std::vector<uint8_t>* out,
                          std::FILE* sink, Progress& progress) {
    DecodeTarget target{out, sink, 0, size > 0 ? uint64_t(size) : 0, false, &progress};
    // A reservation, not a limit: a table's length alone never claims more
    // than the input could decode to at a generous ratio.
    if (out) out->reserve(std::size_t(std::min<uint64_t>(target.wanted, uint64_t(input.size()) * 64 + 4096)));
    std::vector<uint8_t> buffer(blockBufferSize);
    keepRunning = 1;
    LzhDecodeBlocks(input.data(), input.size(), size, buffer.data(), buffer.size(), FlushBlock, &target);
    LzhInputUse use = LzhLastInputUse();
    progress.Update(target.written, target.wanted);
    progress.Finish();
    if (target.writeFailed) throw ToolError("write error while decoding (disk full?)");
    return DecodeReport{use.bytesUsed, use.cutShort, target.written};
}

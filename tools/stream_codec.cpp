#include "tools/stream_codec.h"

#include "lzh/lzh_decoder.h"
#include "tools/progress.h"
#include "tools/tool_error.h"

namespace {

// The decoder's procedures take no context argument: one decode at a time.
struct DecodeContext {
    const std::vector<uint8_t>* input;
    std::size_t pos;
    std::vector<uint8_t>* out;
    std::FILE* sink;
    uint8_t buffer[1 << 16];
    std::size_t buffered;
    uint64_t written;
    uint64_t wanted;
    bool writeFailed;
    Progress* progress;
};

DecodeContext ctx;

void FlushSink() {
    if (ctx.sink && ctx.buffered && std::fwrite(ctx.buffer, 1, ctx.buffered, ctx.sink) != ctx.buffered)
        ctx.writeFailed = true;
    ctx.buffered = 0;
}

void ReadProc(void* buffer, uint16_t count, uint16_t& actual) {
    actual = 0;
    uint8_t* dst = static_cast<uint8_t*>(buffer);
    while (actual < count && ctx.pos < ctx.input->size()) dst[actual++] = (*ctx.input)[ctx.pos++];
}

void WriteProc(const void* buffer, uint16_t count, uint16_t& actual) {
    actual = count;
    const uint8_t* src = static_cast<const uint8_t*>(buffer);
    for (uint16_t i = 0; i < count && ctx.written < ctx.wanted; ++i, ++ctx.written) {
        if (ctx.out) {
            ctx.out->push_back(src[i]);
        } else {
            ctx.buffer[ctx.buffered++] = src[i];
            if (ctx.buffered == sizeof ctx.buffer) FlushSink();
        }
        if ((ctx.written & 0xFFFFF) == 0) ctx.progress->Update(ctx.written, ctx.wanted);
    }
}

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
    ctx.input = &input;
    ctx.pos = 0;
    ctx.out = out;
    ctx.sink = sink;
    ctx.buffered = 0;
    ctx.written = 0;
    ctx.wanted = size > 0 ? uint64_t(size) : 0;
    ctx.writeFailed = false;
    ctx.progress = &progress;
    if (out) out->reserve(ctx.wanted);
    keepRunning = 1;
    decode(size, ReadProc, WriteProc);
    LzhInputUse use = LzhLastInputUse();
    FlushSink();
    progress.Update(ctx.written, ctx.wanted);
    progress.Finish();
    if (ctx.writeFailed) throw ToolError("write error while decoding (disk full?)");
    return DecodeReport{use.bytesUsed, use.cutShort, ctx.written};
}

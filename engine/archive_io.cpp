#include "engine/archive_io.h"

#include <cstring>

#include "engine/progress.h"
#include "runtime/paths.h"
#include "state/context.h"

namespace {

// The slow paths: the file system is asked once per 2048 bytes.
int32_t FillArchiveBuffer(uint8_t* into, uint32_t count) {
    DWORD n = 0;
    if (!ReadFile(ctx.archiveHandle, into, count, &n, nullptr))
        RaiseIoError(static_cast<int>(GetLastError()), PathJoin(ctx.installDir, product.archiveName));
    return static_cast<int32_t>(n);
}

// The record's digest covers the stream's unpackedSize bytes, not what the
// decoder's last match writes beyond them.
void CountWritten(uint32_t count) {
    uint32_t left = static_cast<uint32_t>(ctx.unpackedSize - ctx.digestCounted);
    if (count > left) count = left;
    Sha256Update(ctx.written, ctx.bufferB, count);
    ctx.digestCounted += static_cast<int32_t>(count);
}

int32_t WriteOutput(uint32_t count) {
    CountWritten(count);
    DWORD n = 0;
    if (!WriteFile(ctx.outputHandle, ctx.bufferB, count, &n, nullptr))
        RaiseIoError(static_cast<int>(GetLastError()), PathJoin(ctx.installDir, product.mainExecutable));
    if (n != count) RaiseIoError(ioDiskFull, PathJoin(ctx.installDir, product.mainExecutable));
    return static_cast<int32_t>(n);
}

}  // namespace

void ArchiveReader(void* destination, uint16_t count, uint16_t& got) {
    if (keepRunning == 0) {
        got = 0;
        return;
    }
    if (ctx.readPos > ctx.readCount || ctx.readPos + count > ctx.readCount + 1) {
        int32_t unread = ctx.readPos > ctx.readCount ? 0 : ctx.readCount - ctx.readPos + 1;
        if (unread > 0) std::memmove(ctx.bufferA, ctx.bufferA + ctx.readPos - 1, unread);
        ctx.readCount = unread + FillArchiveBuffer(ctx.bufferA + unread, blockSize - unread);
        if (ctx.readCount == 0) {
            got = 0;
            return;
        }
        ctx.readPos = 1;
    }
    std::memcpy(destination, ctx.bufferA + ctx.readPos - 1, count);
    ctx.readPos = static_cast<uint16_t>(ctx.readPos + count);
    got = count;
    if (ctx.readPos - 1 > ctx.readCount) got = static_cast<uint16_t>(count - (ctx.readPos - 1 - ctx.readCount));
    PumpMessages(ctx.readerMsg);
}

void OutputWriter(const void* source, uint16_t count, uint16_t& put) {
    if (keepRunning == 0) {
        put = 0;
        return;
    }
    if (count == 0) {
        WriteOutput(ctx.writePos - 1);
        return;
    }
    if (ctx.writePos > blockSize || ctx.writePos + count > blockSize + 1) {
        ctx.bytesWritten += WriteOutput(ctx.writePos - 1);
        ctx.writePos = 1;
        ProgressStep(ctx.bytesWritten, ctx.unpackedSize, ctx.unpackDC, Repaint::whenChanged);
    }
    std::memcpy(ctx.bufferB + ctx.writePos - 1, source, count);
    ctx.writePos = static_cast<uint16_t>(ctx.writePos + count);
    put = count;
}

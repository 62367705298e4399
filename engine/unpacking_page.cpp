#include "engine/unpacking_page.h"

#include <string>
#include <vector>

#include "engine/archive_io.h"
#include "engine/placement.h"
#include "engine/progress.h"
#include "engine/progress_arithmetic.h"
#include "lzh/lzh_decoder.h"
#include "setup/context.h"

namespace {

bool isOpen(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

void closeIfOpen(HANDLE& h) {
    if (isOpen(h)) CloseHandle(h);
    h = nullptr;
}

std::string archivePath() { return PathJoin(ctx.installDir, product.archiveName); }
std::string decodedPath() { return PathJoin(ctx.installDir, product.mainExecutable); }

HANDLE createDecodedFile() {
    return CreateFileA(decodedPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// An earlier main executable may be running: the new one is staged beside it
// and renamed over it when Windows next starts.
void openDecodedFile(std::vector<std::string>& renameLines) {
    if (fileExists(decodedPath())) {
        std::string old = ShortPathOf(decodedPath());
        product.mainExecutable = ReplaceExtension(product.mainExecutable, ".$$$");
        ctx.outputHandle = createDecodedFile();
        renameLines.push_back(old + "=" + ShortPathOf(decodedPath()));
    } else {
        ctx.outputHandle = createDecodedFile();
    }
    if (!isOpen(ctx.outputHandle))
        ctx.outputHandle = CreateFileA(decodedPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void decodeArchive() {
    ctx.archiveHandle = CreateFileA(archivePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!isOpen(ctx.archiveHandle)) raiseIoError(static_cast<int>(GetLastError()), archivePath());
    decode(ctx.unpackedSize, ctx.archiveReader, ctx.outputWriter);
    uint16_t put = 0;
    if (keepRunning != 0) ctx.outputWriter(ctx.bufferB, 0, put);
    closeIfOpen(ctx.archiveHandle);
    DeleteFileA(archivePath().c_str());
    // The decoder reads missing bytes as zeros and cannot tell; what it was
    // refused beyond its read-ahead was part of the stream.
    if (keepRunning != 0 && ctx.readMisses > archiveReadAhead)
        throw EInOutError(ioReadPastEnd, ioErrorText(ioReadPastEnd) + ": " + archivePath() +
                                             " (the archive is incomplete: a volume was cut short)");
}

// A failure leaves neither the archive nor a partial main executable behind.
void discardUnpacked() {
    closeIfOpen(ctx.archiveHandle);
    closeIfOpen(ctx.outputHandle);
    DeleteFileA(archivePath().c_str());
    DeleteFileA(decodedPath().c_str());
}

void queueRenameLines(const std::vector<std::string>& renameLines) {
    for (const std::string& line : renameLines) checkedWriteLine(ctx.winInitFile, line);
}

void UnpackArchive(HWND) {
    // Queued for WinInit.Ini only once every file is in place: a line for a
    // file that a cancel or a failure removes would act on the next start.
    std::vector<std::string> renameLines;
    ctx.archiveHandle = nullptr;
    ctx.outputHandle = nullptr;
    openDecodedFile(renameLines);
    if (!isOpen(ctx.outputHandle)) {
        keepRunning = 0;
        return;
    }
    ctx.readPos = 1;
    ctx.readCount = 0;
    ctx.writePos = 1;
    ctx.readMisses = 0;
    try {
        decodeArchive();
        HANDLE output = ctx.outputHandle;
        ctx.outputHandle = nullptr;
        if (!CloseHandle(output)) raiseIoError(static_cast<int>(GetLastError()), decodedPath());
        if (keepRunning == 0) return;
        PlaceProductFiles(renameLines);
    } catch (...) {
        discardUnpacked();
        throw;
    }
    queueRenameLines(renameLines);
}

}  // namespace

INT_PTR CALLBACK UnpackingPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    return ProgressPageFrame(page, message, wParam, ctx.unpackDC, UnpackArchive);
}

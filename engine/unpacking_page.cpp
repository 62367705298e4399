#include "engine/unpacking_page.h"

#include "engine/archive_io.h"
#include "engine/integrity_record.h"
#include "engine/placement.h"
#include "engine/progress.h"
#include "engine/run_journal.h"
#include "lzh/lzh_decoder.h"
#include "runtime/paths.h"
#include "state/context.h"

namespace {

bool IsOpen(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

void CloseIfOpen(HANDLE& h) {
    if (IsOpen(h)) CloseHandle(h);
    h = nullptr;
}

String ArchivePath() { return PathJoin(ctx.installDir, product.archiveName); }
String DecodedPath() { return PathJoin(ctx.installDir, product.mainExecutable); }

// Always a new file: the staged name is a free one. The abandon clean-up
// takes it, whenever the run ends without installing.
HANDLE CreateDecodedFile() {
    JournalNote('+', DecodedPath());
    ctx.mainExecutableWritten = true;
    return CreateFileA(DecodedPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// An earlier main executable may be running: the new one is staged beside it
// and renamed over it when Windows next starts.
void OpenDecodedFile(RenameQueue& renames) {
    // A folder of its name would never give way to it at the restart.
    DWORD attributes = GetFileAttributesA(DecodedPath().c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        RaiseIoError(ERROR_ACCESS_DENIED, DecodedPath());
    if (FileExists(DecodedPath())) {
        String installed = product.mainExecutable;
        // A file of the staged name is not this run's: the next free name is taken.
        for (int k = 0; FileExists(DecodedPath()); ++k) product.mainExecutable = SubstituteCandidate(installed, k);
        ctx.outputHandle = CreateDecodedFile();
        QueueRename(renames, installed, product.mainExecutable);
    } else {
        ctx.outputHandle = CreateDecodedFile();
    }
    if (!IsOpen(ctx.outputHandle))
        ctx.outputHandle = CreateFileA(DecodedPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void DecodeArchive() {
    ctx.archiveHandle = CreateFileA(ArchivePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!IsOpen(ctx.archiveHandle)) RaiseIoError(static_cast<int>(GetLastError()), ArchivePath());
    DWORD archiveSize = GetFileSize(ctx.archiveHandle, nullptr);
    decode(ctx.unpackedSize, ctx.archiveReader, ctx.outputWriter);
    // The decoder stops at the first code the archive cannot complete; a
    // cancel also leaves the reader answering nothing, and is no damage.
    LzhInputUse use = LzhLastInputUse();
    bool cutShort = keepRunning != 0 && use.cutShort;
    uint16_t put = 0;
    if (keepRunning != 0 && !cutShort) ctx.outputWriter(ctx.bufferB, 0, put);
    CloseIfOpen(ctx.archiveHandle);
    DeleteFileA(ArchivePath().c_str());
    if (cutShort)
        RaiseError(ErrorClass::inOut, ioReadPastEnd,
                   IoErrorText(ioReadPastEnd) + ": " + ArchivePath() +
                       " (the archive is incomplete: a volume was cut short)");
    if (keepRunning == 0) return;
    // Bytes after the stream's end are no part of any set the tool makes: a
    // stream put in front of them, shorter than the set's, would pass unseen.
    if (use.bytesUsed < archiveSize)
        RaiseError(ErrorClass::inOut, ioBadData,
                   IoErrorText(ioBadData) + ": " + ArchivePath() + " (it holds " +
                       DecimalText(static_cast<uint32_t>(archiveSize - use.bytesUsed)) +
                       " bytes after the end of the stream: the archive is damaged)");
    uint8_t digest[sha256Size];
    Sha256Finish(ctx.written, digest);
    if (ctx.recordPresent && !integrity::SameDigest(digest, ctx.streamDigest))
        RaiseError(ErrorClass::inOut, ioBadData,
                   IoErrorText(ioBadData) + ": " + DecodedPath() +
                       " (the unpacked files do not match the disk set's digest: the archive is damaged)");
}

// A failure closes both: the journal's undo then removes them.
void DiscardUnpacked() {
    CloseIfOpen(ctx.archiveHandle);
    CloseIfOpen(ctx.outputHandle);
}

void UnpackArchive(HWND) {
    RenameQueue renames;
    ctx.archiveHandle = nullptr;
    ctx.outputHandle = nullptr;
    OpenDecodedFile(renames);
    if (!IsOpen(ctx.outputHandle)) {
        keepRunning = 0;
        return;
    }
    ctx.readPos = 1;
    ctx.readCount = 0;
    ctx.writePos = 1;
    Sha256Start(ctx.written);
    ctx.digestCounted = 0;
    {
        FailureCleanup discard(DiscardUnpacked);
        DecodeArchive();
        HANDLE output = ctx.outputHandle;
        ctx.outputHandle = nullptr;
        if (!CloseHandle(output)) RaiseIoError(static_cast<int>(GetLastError()), DecodedPath());
        if (keepRunning == 0) return;
        PlaceProductFiles(renames);
    }
    CommitRenames(renames);
    DropAsides();
    CommitJournal();
    ctx.filesAwaitRestart = !renames.names.empty();
}

}  // namespace

INT_PTR CALLBACK UnpackingPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    return ProgressPageFrame(page, message, wParam, ctx.unpackDC, UnpackArchive);
}

#include "engine/joining_page.h"

#include "engine/archive_io.h"
#include "engine/package_table.h"
#include "engine/progress.h"
#include "engine/progress_arithmetic.h"
#include "runtime/paths.h"
#include "state/context.h"

namespace {

struct Copying {
    FileVar archive;
    int32_t joined;
};

const int ioFileTooLarge = 223;  // the system's "file too large"

// Refused rather than counted past 2,147,483,647 bytes: a whole volume before
// a byte of it is copied, and each block in case it grows while read.
void CheckJoinedCount(const Copying& c, const FileVar& volume, uint32_t more) {
    if (!JoinedCountHolds(c.joined, more))
        RaiseError(ErrorClass::inOut, ioFileTooLarge,
                   "File too large: " + volume.name + " (the volumes add up to more than 2,147,483,647 bytes)");
}

// Distribution media are often read-only: the volumes are only ever read.
void OpenVolume(FileVar& volume) {
    CheckedOpen(volume, PathJoin(ctx.sourceDir, product.volumeName), FileMode::readOnly);
}

void CopyVolume(FileVar& volume, Copying& c, Repaint rule) {
    uint8_t block[blockSize];
    CheckJoinedCount(c, volume, CheckedSize(volume));
    while (!CheckedAtEnd(volume) && keepRunning != 0) {
        uint32_t n = CheckedRead(volume, block, sizeof block);
        if (n == 0) RaiseIoError(ioReadPastEnd, volume.name);  // the volume shrank while read
        CheckJoinedCount(c, volume, n);
        CheckedWrite(c.archive, block, n);
        c.joined += static_cast<int32_t>(n);
        ProgressStep(c.joined, product.expectedArchiveSize, ctx.joinDC, rule);
        PumpMessages(ctx.joinMsg);
    }
    CheckedClose(volume);
}

// Asks for the disk until its volume file is there or the user gives up.
void ChangeDisk(HWND page, const char* prompt, const char* extension) {
    product.volumeName = ReplaceExtension(product.volumeName, extension);
    String path = PathJoin(ctx.sourceDir, product.volumeName);
    while (!FileExists(path) && keepRunning != 0) {
        int answer = MessageBoxA(page, prompt, product.productName.c_str(), MB_OKCANCEL);
        if (FileExists(path)) break;
        if (answer == IDOK) MessageBoxA(page, product.wrongDiskMessage.c_str(), "", MB_OK);
        else keepRunning = 0;
    }
}

void JoinLaterDisk(HWND page, Copying& c, const char* prompt, const char* extension) {
    ChangeDisk(page, prompt, extension);
    if (keepRunning == 0) return;
    FileVar volume;
    OpenVolume(volume);
    CopyVolume(volume, c, Repaint::whenChangedTo100);
}

void JoinVolumes(HWND page) {
    loadPackageTable();
    Copying c{};
    FileVar volume;
    OpenVolume(volume);
    CheckedOpen(c.archive, PathJoin(ctx.installDir, product.archiveName), FileMode::create);
    CopyVolume(volume, c, Repaint::always);
    if (product.diskCount >= 2 && keepRunning != 0) JoinLaterDisk(page, c, "Please Insert Disk number 2", ".002");
    if (product.diskCount >= 3 && keepRunning != 0) JoinLaterDisk(page, c, "Please Insert Disk number 3", ".003");
    CheckedClose(c.archive);
}

}  // namespace

INT_PTR CALLBACK JoiningPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    return ProgressPageFrame(page, message, wParam, ctx.joinDC, JoinVolumes);
}

#include "engine/joining_page.h"

#include "engine/archive_io.h"
#include "engine/package_table.h"
#include "engine/progress.h"
#include "lzh/lzh_decoder.h"
#include "setup/context.h"

namespace {

// The bytes counted as 100 % on this page, whatever the volumes hold.
const int32_t expectedArchiveSize = 3281000;

struct Copying {
    FileVar archive;
    int32_t joined;
};

// Distribution media are often read-only: the volumes are only ever read.
void openVolume(FileVar& volume) {
    checkedOpen(volume, PathJoin(ctx.sourceDir, product.volumeName), FileMode::readOnly);
}

void copyVolume(FileVar& volume, Copying& c, Repaint rule) {
    uint8_t block[blockSize];
    while (!checkedAtEnd(volume) && keepRunning != 0) {
        uint32_t n = checkedRead(volume, block, sizeof block);
        if (n == 0) raiseIoError(ioReadPastEnd, volume.name);  // the volume shrank while read
        checkedWrite(c.archive, block, n);
        c.joined += static_cast<int32_t>(n);
        ProgressStep(c.joined, expectedArchiveSize, ctx.joinDC, rule);
        PumpMessages(ctx.joinMsg);
    }
    checkedClose(volume);
}

// Asks for the disk until its volume file is there or the user gives up.
void changeDisk(HWND page, const char* prompt, const char* extension) {
    product.volumeName = ReplaceExtension(product.volumeName, extension);
    std::string path = PathJoin(ctx.sourceDir, product.volumeName);
    while (!fileExists(path) && keepRunning != 0) {
        int answer = MessageBoxA(page, prompt, product.productName.c_str(), MB_OKCANCEL);
        if (fileExists(path)) break;
        if (answer == IDOK) MessageBoxA(page, product.wrongDiskMessage.c_str(), "", MB_OK);
        else keepRunning = 0;
    }
}

void joinLaterDisk(HWND page, Copying& c, const char* prompt, const char* extension) {
    changeDisk(page, prompt, extension);
    if (keepRunning == 0) return;
    FileVar volume;
    openVolume(volume);
    copyVolume(volume, c, Repaint::whenChangedTo100);
}

void JoinVolumes(HWND page) {
    loadPackageTable();
    Copying c{};
    FileVar volume;
    openVolume(volume);
    checkedOpen(c.archive, PathJoin(ctx.installDir, product.archiveName), FileMode::create);
    copyVolume(volume, c, Repaint::always);
    if (product.diskCount >= 2 && keepRunning != 0) joinLaterDisk(page, c, "Please Insert Disk number 2", ".002");
    if (product.diskCount >= 3 && keepRunning != 0) joinLaterDisk(page, c, "Please Insert Disk number 3", ".003");
    checkedClose(c.archive);
}

}  // namespace

INT_PTR CALLBACK JoiningPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    return ProgressPageFrame(page, message, wParam, ctx.joinDC, JoinVolumes);
}

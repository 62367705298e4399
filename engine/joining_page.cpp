#include "engine/joining_page.h"

#include "engine/archive_io.h"
#include "engine/integrity_record.h"
#include "engine/package_table.h"
#include "engine/progress.h"
#include "engine/progress_arithmetic.h"
#include "engine/run_journal.h"
#include "runtime/paths.h"
#include "state/context.h"

namespace {

struct Copying {
    FileVar archive;
    int32_t joined;
    Sha256 volumeDigest;  // of the volume being copied, so far
};

const int ioFileTooLarge = 223;  // the system's "file too large"

// The archive while it is written: a failure closes it, so that it can be removed.
FileVar* openArchive;

void CloseArchive() { FileClose(*openArchive); }

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

void CopyVolume(Copying& c, Repaint rule) {
    FileVar volume;
    OpenVolume(volume);
    uint8_t block[blockSize];
    Sha256Start(c.volumeDigest);
    CheckJoinedCount(c, volume, CheckedSize(volume));
    while (!CheckedAtEnd(volume) && keepRunning != 0) {
        uint32_t n = CheckedRead(volume, block, sizeof block);
        if (n == 0) RaiseIoError(ioReadPastEnd, volume.name);  // the volume shrank while read
        CheckJoinedCount(c, volume, n);
        CheckedWrite(c.archive, block, n);
        Sha256Update(c.volumeDigest, block, n);
        c.joined += static_cast<int32_t>(n);
        ProgressStep(c.joined, product.expectedArchiveSize, ctx.joinDC, rule);
        PumpMessages(ctx.joinMsg);
    }
    CheckedClose(volume);
}

// Asks for the disk until its volume file is there or the user gives up.
void ChangeDisk(HWND page, const String& prompt) {
    String path = PathJoin(ctx.sourceDir, product.volumeName);
    while (!FileExists(path) && keepRunning != 0) {
        int answer = MessageBoxA(page, prompt.c_str(), product.productName.c_str(), MB_OKCANCEL);
        if (FileExists(path)) break;
        if (answer == IDOK) MessageBoxA(page, product.wrongDiskMessage.c_str(), "", MB_OK);
        else keepRunning = 0;
    }
}

// A volume that fails its record's check: what the user is told about disk `n`.
String CheckFailure(integrity::VolumeCheck check, const String& n) {
    String again = "\r\nInsert another copy of disk " + n + " and press OK, or press Cancel to stop the installation.";
    if (check == integrity::VolumeCheck::damaged)
        return "Disk " + n + " is damaged: " + product.volumeName + " on it does not hold what disk " + n +
               " of this set holds." + again;
    return "The disk in the drive is not disk " + n + " of this set, or its " + product.volumeName +
           " is incomplete." + again;
}

// Copies disk `disk`'s volume (1-based) and checks it against the record. A
// volume that fails is taken out of the archive again: nothing goes on with
// bytes that failed, and the user inserts another copy or stops.
void JoinDisk(HWND page, Copying& c, int disk, Repaint rule) {
    String n = DecimalText(disk);
    int32_t start = c.joined;
    for (;;) {
        CopyVolume(c, rule);
        if (keepRunning == 0 || !ctx.recordPresent) return;
        uint32_t length = static_cast<uint32_t>(c.joined - start);
        uint8_t digest[sha256Size];
        Sha256Finish(c.volumeDigest, digest);
        integrity::VolumeCheck check =
            integrity::CheckVolume(ctx.volumeLength[disk - 1], ctx.volumeDigest[disk - 1], length, digest);
        if (check == integrity::VolumeCheck::sound) return;
        CheckedSeek(c.archive, static_cast<uint32_t>(start));
        CheckedTruncate(c.archive);
        c.joined = start;
        if (MessageBoxA(page, CheckFailure(check, n).c_str(), product.productName.c_str(), MB_OKCANCEL) != IDOK) {
            keepRunning = 0;
            return;
        }
        ChangeDisk(page, "Please Insert Disk number " + n);
        if (keepRunning == 0) return;
    }
}

void JoinLaterDisk(HWND page, Copying& c, int disk) {
    product.volumeName = ReplaceExtension(product.volumeName, ".00" + DecimalText(disk));
    ChangeDisk(page, "Please Insert Disk number " + DecimalText(disk));
    if (keepRunning == 0) return;
    JoinDisk(page, c, disk, Repaint::whenChangedTo100);
}

void JoinVolumes(HWND page) {
    loadPackageTable();
    Copying c{};
    {
        FileVar first;  // a missing first volume is reported before the archive exists
        OpenVolume(first);
    }
    JournalNote('+', PathJoin(ctx.installDir, product.archiveName));
    CheckedOpen(c.archive, PathJoin(ctx.installDir, product.archiveName), FileMode::create);
    openArchive = &c.archive;
    FailureCleanup close(CloseArchive);
    JoinDisk(page, c, 1, Repaint::always);
    if (product.diskCount >= 2 && keepRunning != 0) JoinLaterDisk(page, c, 2);
    if (product.diskCount >= 3 && keepRunning != 0) JoinLaterDisk(page, c, 3);
    CheckedClose(c.archive);
}

}  // namespace

INT_PTR CALLBACK JoiningPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    return ProgressPageFrame(page, message, wParam, ctx.joinDC, JoinVolumes);
}

// The installer's two global records: SetupContext (state of the run) and
// ProductConstants (what varies by product, fixed at build time; three entries
// change during the run). Everything else is passed as arguments. They sit
// below every room that reads them and include only the runtime.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/file_io.h"
#include "runtime/room_needed.h"
#include "runtime/sha256.h"
#include "runtime/text.h"
#include "state/keep_running.h"

struct PackageEntry;

struct ProductConstants {
    COLORREF gradientTop;
    COLORREF gradientBottom;
    COLORREF titleColour;
    int32_t diskCount;
    String groupName;        // changed by the program group page and the shortcut step
    String productName;
    String mainExecutable;   // changed to the staged ".$$$" name by the unpacking page
    String volumeName;       // changed as the disks advance
    String archiveName;
    String defaultInstallDir;
    String noticeLine;
    String installTitle;
    String cancelQuestion;
    String terminatedMessage;
    String wrongDiskMessage;
    String installedRunPrompt;
    // The product's fixed file names, and the bytes the joining page counts as 100 %.
    String shellExecutable;  // what the shell settings name, whatever mainExecutable holds
    String uninstaller;
    String taskManager;
    String savedTaskManager;  // the system's own Task Manager, moved aside
    int32_t expectedArchiveSize;
};

// Zero-initialised at process start; fields in the documented order.
struct SetupContext {
    HINSTANCE instance;
    uint8_t* bufferA;             // 2064 bytes: the archive reader's buffer
    uint8_t* bufferB;             // 2064 bytes: the output writer's buffer
    char windowsDir[256];
    PackageEntry* packageHead;
    PackageEntry* packageTail;
    FileVar winInitFile;          // WinInit.Ini, open from start-up until closed once
    WNDCLASSA windowClass;
    HWND agreementEdit;
    HWND mainWindow;
    MSG joinMsg;
    MSG readerMsg;
    int32_t pageResult;
    int32_t screenWidth, screenHeight;
    bool makeShell;
    bool replaceTaskManager;
    bool aborted;
    int32_t unpackedSize;
    void (*archiveReader)(void*, uint16_t, uint16_t&);
    void (*outputWriter)(const void*, uint16_t, uint16_t&);
    int32_t percent, shownPercent;
    HANDLE archiveHandle;
    HANDLE outputHandle;
    int32_t bytesWritten;
    int32_t readCount;
    uint16_t readPos, writePos;
    HDC joinDC, unpackDC;
    HPEN whitePen, redPen, savedPen;
    HBRUSH whiteBrush, savedBrush, redBrush;
    HFONT savedFont, percentFont;
    int32_t barSpan;
    int32_t textY, textX, barRight, barBottom, barLeft, barTop;
    String sourceDir;
    String installDir;
    HBITMAP logoBitmap;
    char longPath[256], shortPath[256];
    String renameLine;
    OSVERSIONINFOA versionInfo;   // 148 bytes; platform 2 = NT family
    // Set once the user has confirmed an installation directory: the abandon
    // clean-up deletes nothing anywhere else.
    bool installDirConfirmed;
    // From the disk set's integrity record (engine/integrity_record.h), when
    // the installer's file carries one: each volume is checked as it is
    // joined, the decoded stream as it is written, by their SHA-256. Without
    // one, nothing is.
    bool recordPresent;
    uint32_t volumeLength[3];                  // disk 1 first
    uint8_t volumeDigest[3][sha256Size];       // SHA-256 of each volume
    uint8_t streamDigest[sha256Size];          // of the stream's unpackedSize bytes
    Sha256 written;                            // of those OutputWriter has written so far
    int32_t digestCounted;                     // how many that is
    // What the run writes, read from the package table after the licence
    // page: the destination page counts it in the chosen drive's clusters
    // (runtime/room_needed.h). `files` is a heap array of fileCount sizes,
    // kept until the process ends.
    RunSizes runSizes;
    // Each file this run created where none was before, followed by '|': a
    // failed installation removes them again, and nothing else.
    String addedFiles;
    // Each file this run replaced, followed by '|': until every file is in
    // place the earlier file waits beside it (engine/placement.h).
    String replacedFiles;
    // What this run does to the files, written before it does it (engine/run_journal.h).
    FileVar journal;
    // An undo of it left something (engine/run_journal.h); a second undo, a
    // failure's clean-up after the error's, finds no journal and keeps it.
    bool undoLeftSome;
    // The unpacking page has created the main executable's file (under its staged name, maybe).
    bool mainExecutableWritten;
    // The installation directory was made by this run: a run that ends
    // without installing takes it away again when it is empty.
    bool installDirMade;
    // The help files placed in the Windows help folder, which installations
    // share, each followed by '|': recorded for this installation folder.
    String sharedFiles;
    // A file of this run, the main executable's or another's, waits for the restart.
    bool filesAwaitRestart;
    bool exitQuestionOpen;  // the one cancel question at a time
    // A packed resource while it is unpacked (system/packed_resource.h).
    const uint8_t* packedNext;
    uint32_t packedLeft;
    char* unpackedNext;
    uint32_t unpackedLeft;
};

// The named event a running Setup and a running uninstaller hold: while one
// runs, neither starts (the uninstaller would take the files Setup places).
constexpr char runningEvent[] = "ZXSetUp";

extern SetupContext ctx;
extern ProductConstants product;

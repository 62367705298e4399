#include "setup/startup.h"

#include "backdrop/backdrop.h"
#include "engine/archive_io.h"
#include "engine/run_journal.h"
#include "resources/resource.h"
#include "runtime/paths.h"
#include "state/context.h"

namespace {

const int workBufferSize = 2064;

// The last section header of an INI text ("[Name]" opening a line), or empty.
String LastSection(const String& text) {
    String section;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == String::npos) end = text.size();
        while (at < end && (text[at] == ' ' || text[at] == '\t')) ++at;
        if (at == end || text[at] != '[') continue;
        size_t close = text.find(']', at);
        if (close < end) section = text.substr(at, close - at + 1);
    }
    return section;
}

// Another program may have queued rename lines already: they stay, and this
// installer's lines start on a line of their own after them. A "[Rename]"
// section left last (by an earlier run, say) takes them without a new header.
void OpenWinInit() {
    FileVar& f = ctx.winInitFile;
    CheckedOpen(f, PathJoin(ctx.windowsDir, "WinInit.Ini"), FileMode::append);
    uint32_t size = CheckedSize(f);
    String text(size, '\0');
    if (size > 0) {
        CheckedSeek(f, 0);
        CheckedReadExact(f, text.data(), size);
        if (text.back() != '\n') CheckedWrite(f, "\r\n", 2);
    }
    if (!SameTextIgnoringCase(LastSection(text), "[Rename]")) CheckedWriteLine(f, "[Rename]");
}

// One installer at a time, and none while the uninstaller runs: a second
// would find WinInit.Ini held by the first. It says so and ends before it
// touches anything.
void RefuseSecondCopy() {
    CreateEventA(nullptr, TRUE, FALSE, runningEvent);
    if (GetLastError() != ERROR_ALREADY_EXISTS) return;
    MessageBoxA(nullptr, ("Setup or the uninstaller of " + product.productName + " is already running.").c_str(),
                product.productName.c_str(), MB_OK);
    ExitProcess(1);
}

// Before anything is written: the disks' files could not be read from there.
[[noreturn]] void RefuseOwnFolder() {
    MessageBoxA(nullptr, "This folder's name is too long or not plain: start Setup from another folder.",
                product.productName.c_str(), MB_OK | MB_ICONSTOP);
    ExitProcess(1);
}

}  // namespace

void PrepareRun(HINSTANCE instance) {
    RefuseSecondCopy();
    // Before any disk is touched: an empty floppy drive must not raise the
    // system's own box in place of the installer's disk prompt.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ctx.instance = instance;
    WNDCLASSA& wc = ctx.windowClass;
    wc.style = CS_PARENTDC;
    wc.lpfnWndProc = BackdropProc;
    wc.lpszClassName = "ZXSetUp";
    ctx.sourceDir = DirectoryPart(OwnFileName());
    if (ctx.sourceDir.empty()) RefuseOwnFolder();
    ctx.bufferA = new uint8_t[workBufferSize];
    ctx.bufferB = new uint8_t[workBufferSize];
    ctx.replaceTaskManager = false;
    ctx.makeShell = false;
    ctx.archiveReader = ArchiveReader;
    ctx.outputWriter = OutputWriter;
    ctx.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    ctx.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    wc.hInstance = instance;
    RegisterClassA(&wc);
    ctx.mainWindow = CreateWindowExA(0, "ZXSetUp", "Installation", WS_POPUP | WS_VISIBLE, 0, 0, ctx.screenWidth,
                                     ctx.screenHeight, nullptr, nullptr, instance, nullptr);
    ctx.logoBitmap = LoadBitmapA(instance, LOGO_BITMAP);
    GetWindowsDirectoryA(ctx.windowsDir, sizeof ctx.windowsDir);
    OpenWinInit();
    // A run cut off is undone before this one starts: its files and folder
    // go, and the earlier files it had set aside are back.
    UndoJournal();
    ctx.aborted = false;
}

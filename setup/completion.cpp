#include "setup/completion.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "engine/placement.h"
#include "runtime/guards.h"
#include "runtime/paths.h"
#include "runtime/system_dlls.h"
#include "state/context.h"
#include "system/registry.h"

namespace {

const char uninstallKey[] = "Software\\microsoft\\windows\\currentversion\\uninstall";
const char windowsNtKey[] = "Software\\microsoft\\windows nt\\currentversion";
const size_t pathBufferChars = 255;  // longPath, shortPath and windowsDir, without their zero

bool IsNtFamily() { return ctx.versionInfo.dwPlatformId == VER_PLATFORM_WIN32_NT; }

// False, and the buffer untouched, when the text does not fit.
bool FillPathBuffer(char (&buffer)[pathBufferChars + 1], const String& text) {
    if (text.size() > pathBufferChars) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

void ReadVersion() {
    ctx.versionInfo.dwOSVersionInfoSize = 148;
    GetVersionExA(&ctx.versionInfo);
}

// Windows runs these values as command lines: unquoted, "C:\Program Files\..."
// would start C:\Program.exe when one exists.
String CommandValue(const String& path) {
    return path.find_first_of(" \t") == String::npos ? path : "\"" + path + "\"";
}

void WriteUninstallEntry() {
    TRegIniFile reg(uninstallKey);
    reg.SelectRoot(HKEY_LOCAL_MACHINE);
    reg.OpenPath(uninstallKey, true);
    reg.WriteEntry(product.productName, "DisplayName", product.productName);
    reg.WriteEntry(product.productName, "UnInstallString",
                   CommandValue(PathJoin(ctx.installDir, product.uninstaller)));
    // The installation's help files, for every other installation's uninstaller
    // to keep: one value per folder, so a reinstall or a rerun counts once.
    reg.WriteEntry("\\Software\\" + product.productName + "\\Shared files", ctx.installDir, ctx.sharedFiles);
}

// The options are set only when their page was accepted. A staged file of any
// entry waits for the restart as the main executable's does: the product
// would run with the earlier one until then.
bool NeedsRestart() { return ctx.replaceTaskManager || ctx.makeShell || ctx.filesAwaitRestart; }

// The 95 family carries out WinInit.Ini before long file names are available
// and skips every line that uses one, so there both paths go in their 8.3
// form. A file that does not exist yet has no short form of its own: the
// directory is shortened and the file name, 8.3 already, appended.
String RenamePath(const String& directory, const String& name) {
    return PathJoin(IsNtFamily() ? directory : ShortPathOf(directory), name);
}

// From another volume than the Windows directory the product's Task Manager
// arrives through a copy staged there (neither family moves a file from one
// volume to another at its start): under the first stand-in name that no
// waiting move brings in already, so an earlier installation's copy stays as
// queued, and one left by an interrupted run is filled again. False when the
// copy cannot be made.
bool StageTaskManager(const String& waiting, const String& windows, String& name) {
    String onto = RenamePath(windows, product.taskManager) + "=";
    for (int k = 0; k < 1000; ++k) {
        name = SubstituteCandidate(product.taskManager, k);
        if (MoveWaiting(waiting, onto + RenamePath(windows, name) + "\r\n")) continue;
        return FileCopy(PathJoin(ctx.installDir, product.taskManager), PathJoin(windows, name)) == 0;
    }
    return false;
}

// The moves that put `source` in the place of the system's Task Manager. Its
// own goes aside first, and only while it will still be the one in place then:
// not while another Task Manager's move onto it waits, and never over a saved
// one that stays (one that an uninstallation waits to move back does not).
String TaskManagerMoves(const String& waiting, const String& system, const String& saved, const String& source,
                        bool savedStays, const char* replace) {
    String onto = system + "=", aside = saved + "=" + system + "\r\n", moves = replace + onto + source + "\r\n";
    bool restoring = MoveWaiting(waiting, onto + saved + "\r\n");
    if ((restoring || (!savedStays && !MoveWaiting(waiting, onto))) && !MoveWaiting(waiting, aside))
        moves = aside + moves;
    return moves;
}

// At the next start Windows moves its own Task Manager aside, then moves the
// product's in: the 95 family from the lines of WinInit.Ini, the NT family
// from its own list of moves. None is queued twice. False, and nothing
// queued, when the product's cannot arrive: the system's own then stays.
bool QueueTaskManagerRenames() {
    bool nt = IsNtFamily();
    String w = ctx.windowsDir, lines = WaitingLines(), moves = nt ? WaitingMoves() : String();
    String dir = ctx.installDir, name = product.taskManager;
    if (!SameVolume(dir, w)) {
        dir = w;
        if (!StageTaskManager(nt ? moves : lines, w, name)) return false;
    }
    String saved = PathJoin(w, product.savedTaskManager), system = PathJoin(w, product.taskManager);
    // Both lines in one write, both moves in one: the system's never goes aside alone.
    QueueLines(TaskManagerMoves(lines, RenamePath(w, product.taskManager), RenamePath(w, product.savedTaskManager),
                                RenamePath(dir, name), FileExists(saved), ""));
    // Only a Task Manager that is there goes aside in the NT family's list.
    if (nt)
        QueueMoves(TaskManagerMoves(moves, system, saved, PathJoin(dir, name), FileExists(saved) || !FileExists(system),
                                    "!"));
    return true;
}

// The 95 family reads its shell from SYSTEM.INI, as an 8.3 path. A path too
// long for the fixed buffers is refused whole: a cut one would name another file.
void MakeShellIn95Family() {
    String systemIni = PathJoin(ctx.windowsDir, "SYSTEM.INI");
    // This family's shell line has always carried the extension in capitals.
    String shell = PathJoin(ctx.installDir, ReplaceExtension(product.shellExecutable, ".EXE"));
    if (systemIni.size() > pathBufferChars || shell.size() > pathBufferChars) return;
    FillPathBuffer(ctx.windowsDir, systemIni);
    FillPathBuffer(ctx.longPath, shell);
    FillPathBuffer(ctx.shortPath, shell);
    DWORD got = GetShortPathNameA(ctx.longPath, ctx.shortPath, pathBufferChars);
    if (got == 0 || got >= pathBufferChars) FillPathBuffer(ctx.shortPath, shell);
    WritePrivateProfileStringA("Boot", "Shell", ctx.shortPath, ctx.windowsDir);
}

// On 64-bit Windows the logon reads the 64-bit view of the key.
void MakeShellInNtFamily() {
    TRegIniFile reg(windowsNtKey);
    reg.SelectRoot(HKEY_LOCAL_MACHINE);
    reg.SelectView(NativeRegistryView());
    reg.OpenPath(windowsNtKey, true);
    reg.WriteEntry("Winlogon", "Shell", CommandValue(PathJoin(ctx.installDir, product.shellExecutable)));
}

// What waits for the restart once the changes are made; `notice` says what
// could not be done.
bool ApplySystemChanges(String& notice) {
    bool queued = ctx.replaceTaskManager && QueueTaskManagerRenames();
    if (ctx.replaceTaskManager && !queued)
        notice = "The Windows Task Manager has not been replaced: " + product.taskManager +
                 " could not be copied into " + ctx.windowsDir + ".\r\n\r\n";
    if (ctx.makeShell && !IsNtFamily()) MakeShellIn95Family();
    if (ctx.makeShell && IsNtFamily()) MakeShellInNtFamily();
    return queued || ctx.makeShell || ctx.filesAwaitRestart;
}

bool AskYesNo(const String& text) {
    return MessageBoxA(nullptr, text.c_str(), product.productName.c_str(), MB_YESNO) == IDYES;
}

void RestartPrompt(const String& notice) {
    const String& name = product.productName;
    String text = notice + name + " had been successfully installed" + "\r\n\r\n" + "The system should be rebooted for the " +
                       name + " changes to take effect." + "\r\n\r\n" + "Reboot Windows?";
    if (AskYesNo(text)) {
        RestartWindows();
        return;
    }
    if (AskYesNo("Do you wish to run " + name + "?")) RunProduct();
}

void RunPrompt(const String& notice) {
    if (AskYesNo(notice + product.installedRunPrompt + product.productName + "?")) RunProduct();
}

// The NT family refuses a restart to a process that has not enabled this privilege.
void EnableShutdownPrivilege() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(CurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened)) return;
    ScopedHandle token(opened);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
}

}  // namespace

void CompleteInstallation() {
    ReadVersion();
    WriteUninstallEntry();
    String notice;
    if (NeedsRestart() && ApplySystemChanges(notice)) RestartPrompt(notice);
    else RunPrompt(notice);
}

void RestartWindows() {
    CheckedClose(ctx.winInitFile);
    if (IsNtFamily()) EnableShutdownPrivilege();
    ExitWindowsEx(EWX_REBOOT, 0);
}

void RunProduct() {
    // A staged copy carries no extension the shell can start; until the restart
    // puts it in place, the product's own file is the one to run.
    String file = PathJoin(ctx.installDir, UnstagedExecutable(product.mainExecutable));
    // SHELL32 is loaded late, from the system directory: see runtime/system_dlls.h.
    if (auto execute = SystemFunction<decltype(&ShellExecuteA)>("SHELL32", "ShellExecuteA"))
        execute(ctx.mainWindow, nullptr, file.c_str(), nullptr, ctx.installDir.c_str(), SW_SHOW);
}

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
}

// A staged main executable waits for the restart to take its place.
bool MainExecutableStaged() { return UpperExtension(product.mainExecutable) != ".EXE"; }

bool NeedsRestart() {
    if (ctx.pageResult != 1) return false;
    return ctx.replaceTaskManager || ctx.makeShell || MainExecutableStaged();
}

// The 95 family carries out WinInit.Ini before long file names are available
// and skips every line that uses one, so there both paths go in their 8.3
// form. A file that does not exist yet has no short form of its own: the
// directory is shortened and the file name, 8.3 already, appended.
String RenamePath(const String& directory, const String& name) {
    return PathJoin(IsNtFamily() ? directory : ShortPathOf(directory), name);
}

// Where the product's Task Manager comes from at the next start: its own
// file, or, from another volume than the Windows directory, a copy staged
// there under a name of its own (neither family moves a file from one volume
// to another at its start). False when that copy cannot be made.
bool TaskManagerSource(const String& windows, String& dir, String& name) {
    dir = ctx.installDir;
    name = product.taskManager;
    if (SameVolume(ctx.installDir, windows)) return true;
    for (int k = 0; k < 1000; ++k) {
        String staged = SubstituteCandidate(product.taskManager, k);
        if (FileExists(PathJoin(windows, staged))) continue;
        if (FileCopy(PathJoin(ctx.installDir, product.taskManager), PathJoin(windows, staged)) != 0) return false;
        dir = windows;
        name = staged;
        return true;
    }
    return false;
}

// At the next start Windows moves its own Task Manager aside, then moves the
// product's in: the 95 family from the lines of WinInit.Ini, the NT family
// from its own list of moves. False, and nothing queued, when the product's
// cannot arrive: the system's own then stays where it is.
bool QueueTaskManagerRenames() {
    String windows = ctx.windowsDir, dir, name;
    if (!TaskManagerSource(windows, dir, name)) return false;
    String system = PathJoin(windows, product.taskManager), saved = PathJoin(windows, product.savedTaskManager);
    // Saved by an earlier installation: moved aside again, the product's
    // earlier copy would take the place of the system's own for good.
    if (!FileExists(saved)) {
        ctx.renameLine = RenamePath(windows, product.savedTaskManager) + "=" + RenamePath(windows, product.taskManager);
        CheckedWriteLine(ctx.winInitFile, ctx.renameLine);
        // Only a Task Manager that is there, and never over a saved one: where
        // both lists are carried out (Wine), or the pair is queued twice, it
        // would be the product's copy moving there.
        if (IsNtFamily() && FileExists(system)) CheckedMoveAtRestart(system, saved, false);
    }
    ctx.renameLine = RenamePath(windows, product.taskManager) + "=" + RenamePath(dir, name);
    CheckedWriteLine(ctx.winInitFile, ctx.renameLine);
    if (IsNtFamily()) CheckedMoveAtRestart(PathJoin(dir, name), system, true);
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
    return queued || ctx.makeShell || MainExecutableStaged();
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
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened)) return;
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

#include "setup/completion.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "runtime/guards.h"
#include "runtime/paths.h"
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

bool NeedsRestart() {
    if (ctx.pageResult != 1) return false;
    // A staged main executable waits for the restart to take its place.
    return ctx.replaceTaskManager || ctx.makeShell || UpperExtension(product.mainExecutable) != ".EXE";
}

// The 95 family carries out WinInit.Ini before long file names are available
// and skips every line that uses one, so there both paths go in their 8.3
// form. A file that does not exist yet has no short form of its own: the
// directory is shortened and the file name, 8.3 already, appended.
String RenamePath(const String& directory, const String& name) {
    return PathJoin(IsNtFamily() ? directory : ShortPathOf(directory), name);
}

// At the next start Windows moves its own Task Manager aside, then moves the product's in.
void QueueTaskManagerRenames() {
    String windows = ctx.windowsDir;
    ctx.renameLine =
        RenamePath(windows, product.savedTaskManager) + "=" + RenamePath(windows, product.taskManager);
    CheckedWriteLine(ctx.winInitFile, ctx.renameLine);
    ctx.renameLine =
        RenamePath(windows, product.taskManager) + "=" + RenamePath(ctx.installDir, product.taskManager);
    CheckedWriteLine(ctx.winInitFile, ctx.renameLine);
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

void MakeShellInNtFamily() {
    TRegIniFile reg(windowsNtKey);
    reg.SelectRoot(HKEY_LOCAL_MACHINE);
    reg.OpenPath(windowsNtKey, true);
    reg.WriteEntry("Winlogon", "Shell", CommandValue(PathJoin(ctx.installDir, product.shellExecutable)));
}

void ApplySystemChanges() {
    if (ctx.replaceTaskManager) QueueTaskManagerRenames();
    if (ctx.makeShell && !IsNtFamily()) MakeShellIn95Family();
    if (ctx.makeShell && IsNtFamily()) MakeShellInNtFamily();
}

bool AskYesNo(const String& text) {
    return MessageBoxA(nullptr, text.c_str(), product.productName.c_str(), MB_YESNO) == IDYES;
}

void RestartPrompt() {
    const String& name = product.productName;
    String text = name + " had been successfully installed" + "\r\n\r\n" + "The system should be rebooted for the " +
                       name + " changes to take effect." + "\r\n\r\n" + "Reboot Windows?";
    if (AskYesNo(text)) {
        RestartWindows();
        return;
    }
    if (AskYesNo("Do you wish to run " + name + "?")) RunProduct();
}

void RunPrompt() {
    if (AskYesNo(product.installedRunPrompt + product.productName + "?")) RunProduct();
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
    if (!NeedsRestart()) {
        RunPrompt();
        return;
    }
    ApplySystemChanges();
    RestartPrompt();
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
    ShellExecuteA(ctx.mainWindow, nullptr, file.c_str(), nullptr, ctx.installDir.c_str(), SW_SHOW);
}

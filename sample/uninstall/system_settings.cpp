#include "sample/uninstall/system_settings.h"

#include <windows.h>

#include "runtime/file_io.h"
#include "runtime/paths.h"
#include "sample/uninstall/pending_moves.h"
#include "sample/uninstall/placed_files.h"
#include "sample/uninstall/win_init.h"
#include "state/context.h"
#include "system/registry.h"

namespace {

const char uninstallKey[] = "Software\\microsoft\\windows\\currentversion\\uninstall";
const char windowsNtKey[] = "Software\\microsoft\\windows nt\\currentversion";
// The installer keeps no copy of the shell it replaced: this is the one Windows comes with.
const char systemShell[] = "Explorer.exe";

// This installation's shell, or a copy of the product's that is gone (its
// folder moved or deleted by hand): left, Windows would start without one.
bool IsOurShell(const Installation& at, const String& value) {
    String program = CommandProgram(value);
    return SamePath(program, PathJoin(at.dir, product.shellExecutable)) ||
           (SameTextIgnoringCase(FilePart(program), product.shellExecutable) &&
            GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES);
}

void RestoreShellIn95Family(Installation& at) {
    String systemIni = PathJoin(at.windowsDir, "SYSTEM.INI");
    char value[MAX_PATH + 1] = "";
    GetPrivateProfileStringA("Boot", "Shell", "", value, sizeof value, systemIni.c_str());
    if (!IsOurShell(at, value)) return;
    if (WritePrivateProfileStringA("Boot", "Shell", systemShell, systemIni.c_str())) at.removedAny = true;
    else NoteLeftover(at, "the shell setting in " + systemIni);
}

// Where the installer wrote it: on 64-bit Windows in the key's 64-bit view.
void RestoreShellInNtFamily(Installation& at) {
    TRegIniFile reg(windowsNtKey);
    reg.SelectRoot(HKEY_LOCAL_MACHINE);
    reg.SelectView(NativeRegistryView());
    if (!reg.OpenPath(windowsNtKey, false) || !IsOurShell(at, reg.ReadEntry("Winlogon", "Shell", ""))) return;
    HKEY winlogon = reg.OpenSubkey("Winlogon");
    bool restored = winlogon && RegSetValueExA(winlogon, "Shell", 0, REG_SZ, reinterpret_cast<const BYTE*>(systemShell),
                                               sizeof systemShell) == ERROR_SUCCESS;
    if (winlogon) RegCloseKey(winlogon);
    if (restored) at.removedAny = true;
    else NoteLeftover(at, "the shell setting in the registry (Winlogon)");
}

// As the installer spelled the paths of its rename lines: 8.3 on the 95 family.
String RenamePath(const Installation& at, const String& directory, const String& name) {
    return PathJoin(at.ntFamily ? directory : ShortPathOf(directory), name);
}

// Where an installer's move of the product's Task Manager starts: this
// folder's TaskMan.Exe (moved, the copy missing from the former one), a copy
// staged in the Windows directory for an installation on another volume, or
// another installation's copy of it.
bool TaskManagerSource(const Installation& at, const String& source) {
    if (SamePath(source, PathJoin(at.dir, product.taskManager)) || MissingCopy(at, source, product.taskManager))
        return true;
    String name = FilePart(source);
    if (StandInFor(name, product.taskManager)) return SamePath(source, PathJoin(at.windowsDir, name));
    return SameTextIgnoringCase(name, product.taskManager) && HoldsShippedFile(at, product.taskManager, source);
}

// The copies staged in the Windows directory that no move waits for any
// more: those just taken back, and any left by an interrupted run.
void RemoveStagedCopies(Installation& at, const String& taken) {
    WIN32_FIND_DATAA found;
    String w = at.windowsDir, system = PathJoin(w, product.taskManager);
    HANDLE search = FindFirstFileA(PathJoin(w, ReplaceExtension(product.taskManager, ".*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        String path = PathJoin(w, found.cFileName);
        if (!StandInFor(found.cFileName, product.taskManager) || RenameQueued(at, path, system)) continue;
        bool wasTaken = false;
        for (size_t from = 0, end; (end = taken.find('\n', from)) != String::npos; from = end + 1)
            wasTaken = wasTaken || SamePath(taken.substr(from, end - from), path);
        if (wasTaken || HoldsShippedFile(at, product.taskManager, path)) RemoveFile(at, path);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// The program the product's uninstall entry runs; empty without one.
String EntryProgram() {
    TRegIniFile reg(uninstallKey);
    reg.SelectRoot(HKEY_LOCAL_MACHINE);
    if (!reg.OpenPath(uninstallKey, false)) return String();
    return CommandProgram(reg.ReadEntry(product.productName, "UnInstallString", ""));
}

}  // namespace

void FindFormerFolder(Installation& at) {
    String entry = EntryProgram();
    if (entry.empty() || SamePath(entry, at.ownPath) || !HoldsProduct(at.dir)) return;
    String former = FolderOf(entry);
    if (GetFileAttributesA(entry.c_str()) == INVALID_FILE_ATTRIBUTES && !HoldsProduct(former)) at.formerDir = former;
}

bool EntryNamesThisUninstaller(const Installation& at) {
    String entry = EntryProgram();
    return !entry.empty() && (SamePath(entry, at.ownPath) || InFormerFolder(at, entry, product.uninstaller));
}

void RemoveUninstallEntry(Installation& at) {
    // An entry naming another copy of the product is that copy's.
    if (!EntryNamesThisUninstaller(at)) return;
    TRegIniFile reg(uninstallKey);
    reg.SelectRoot(HKEY_LOCAL_MACHINE);
    if (reg.OpenPath(uninstallKey, false) && RegDeleteKeyA(reg.CurrentKey(), product.productName.c_str()) == ERROR_SUCCESS)
        at.removedAny = true;
    else
        NoteLeftover(at, "the uninstall entry " + product.productName);
}

void RestoreShell(Installation& at) {
    if (at.ntFamily) RestoreShellInNtFamily(at);
    else RestoreShellIn95Family(at);
}

void RestoreTaskManager(Installation& at) {
    // Still waiting: every move that an installation of the product queued is
    // taken back, then the copies staged for them. Both families have the
    // lines; the NT family reads only its own list, which tells whether they wait.
    const String& w = at.windowsDir;
    String system = PathJoin(w, product.taskManager), saved = PathJoin(w, product.savedTaskManager);
    String aside = RenamePath(at, w, product.savedTaskManager) + "=" + RenamePath(at, w, product.taskManager);
    String lineSources, moveSources;
    bool lines =
        TakeBackPendingLines(at, aside, RenamePath(at, w, product.taskManager), TaskManagerSource, lineSources);
    bool moves = at.ntFamily && TakeBackPendingMoves(at, system, saved, system, TaskManagerSource, moveSources);
    RemoveStagedCopies(at, lineSources + moveSources);
    if (lines || moves) at.removedAny = true;
    if (at.ntFamily ? moves : lines) return;
    // Carried out: Windows' own Task Manager was moved aside and the product's
    // took its place. The saved one goes back over it, which needs no removal
    // first: queued twice, the second move finds nothing to move.
    if (GetFileAttributesA(saved.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    const char restoring[] = "The Windows Task Manager will be restored.\r\n";
    if (RenameQueued(at, saved, system)) {
        at.waiting += restoring;
        return;
    }
    // Anything else in its place (the system's own, updated) stays.
    if (!HoldsShippedFile(at, product.taskManager, system)) return;
    if (RenameAtNextStart(at, saved, system)) {
        at.removedAny = true;
        at.waiting += restoring;
    }
}

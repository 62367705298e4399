#include "sample/uninstall/placed_files.h"

#include <windows.h>

#include "runtime/crc32.h"
#include "runtime/file_io.h"
#include "runtime/paths.h"
#include "sample/uninstall/pending_moves.h"
#include "sample/uninstall/product_files.h"
#include "sample/uninstall/win_init.h"
#include "state/context.h"
#include "system/registry.h"

namespace {

const char runOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// The size and CRC-32 of a file's content; false when it cannot be read whole.
bool Fingerprint(const String& path, int32_t& size, uint32_t& crc) {
    FileVar f;
    if (FileOpen(f, path, FileMode::readOnly, FILE_SHARE_READ | FILE_SHARE_WRITE) != 0) return false;
    uint8_t block[2048];
    size = 0;
    crc = 0;
    for (uint32_t got = 0;; size += static_cast<int32_t>(got)) {
        if (FileRead(f, block, sizeof block, got) != 0) return false;
        if (got == 0) return true;
        crc = Crc32Update(crc, block, got);
    }
}

bool NamedFor(const String& name, const ShippedFile& f) {
    return SameTextIgnoringCase(name, f.name) || StandInFor(name, f.name);
}

// Whether `name` is a product file's name, or a stand-in's for one.
bool ProductName(const String& name) {
    for (const ShippedFile& f : productFiles)
        if (NamedFor(name, f)) return true;
    return false;
}

bool StandInName(const String& name) {
    for (const ShippedFile& f : productFiles)
        if (StandInFor(name, f.name)) return true;
    return false;
}

// A substitute's move over the file it stood for goes first: gone with it,
// the move would do nothing, and left alone after an interruption, no run
// would find it again.
void TakeBackMovesOf(Installation& at, const String& path) {
    TakeBackLinesFrom(at, path);
    if (at.ntFamily) TakeBackMovesFrom(at, path);
}

bool SameContent(const Installation& at, const ShippedFile& f, const String& path) {
    int32_t size = 0, wantSize = f.size;
    uint32_t crc = 0, wantCrc = f.crc;
    // The uninstaller cannot hold its own checksum: its own file has the content shipped.
    if (f.size < 0 && !Fingerprint(at.ownPath, wantSize, wantCrc)) return false;
    return Fingerprint(path, size, crc) && size == wantSize && crc == wantCrc;
}

// Whether the file holds what was shipped under its name, or, for a stand-in
// (which may stand for any file of its base name), under one of those names.
bool PlacedContent(const Installation& at, const String& name, const String& path) {
    for (const ShippedFile& f : productFiles)
        if (NamedFor(name, f) && SameContent(at, f, path)) return true;
    return false;
}

// A folder where the system and the user keep their own files: only the
// exact files of this installation go from there.
bool SharedFolder(const Installation& at, const String& dir) {
    return dir.size() <= 3 || SamePath(dir, at.windowsDir);
}

// The attributes before, or INVALID_FILE_ATTRIBUTES when the file is missing.
DWORD ClearReadOnly(const char* name) {
    DWORD attributes = GetFileAttributesA(name), rest = attributes & ~FILE_ATTRIBUTE_READONLY;
    if (attributes != INVALID_FILE_ATTRIBUTES && rest != attributes)
        SetFileAttributesA(name, rest ? rest : FILE_ATTRIBUTE_NORMAL);
    return attributes;
}

void NoteKept(Installation& at, const String& path) { at.kept += path + "\r\n"; }

// Why a file stayed, in the closing message's words.
String DeleteFailure(DWORD error) {
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return "it is in use";
    case ERROR_ACCESS_DENIED: return "it is in use, or access to it is denied";
    case 0: return "it was still there after it was deleted (its drive may be read-only, or a program may hold it)";
    case ERROR_WRITE_PROTECT: return "its drive is read-only";
    default: return "it could not be deleted (error " + DecimalText(error) + ")";
    }
}

// Held shut by another program, a file's content cannot be told, nor can it
// go: it stays, listed with why.
bool Unreadable(Installation& at, const String& path) {
    FileVar f;
    int error = FileOpen(f, path, FileMode::readOnly, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (error) NoteLeftover(at, path, DeleteFailure(error));
    return error != 0;
}

// The installer's record of the help files each installation placed in the
// Windows help folder, which installations share: a value per installation
// folder, listing the files, each followed by '|'. Written again by a
// reinstallation, a value counts its folder once.
String RecordKey() { return "Software\\" + product.productName + "\\Shared files"; }

// The files a value lists; none when it is not text.
String RecordedFiles(HKEY key, const char* folder) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, folder, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ || size == 0)
        return String();
    String files(size, '\0');
    if (RegQueryValueExA(key, folder, nullptr, &type, reinterpret_cast<BYTE*>(files.data()), &size) != ERROR_SUCCESS)
        return String();
    // Stored without its zero, or with more after one, the text ends at the first.
    return String(files.c_str());
}

// The record as lines "folder|files", one per installation; empty without it.
// A folder's name never holds a '|'.
String ReadRecord() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RecordKey().c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return String();
    String record;
    char folder[MAX_PATH + 1];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof folder;
        LONG result = RegEnumValueA(key, i, folder, &size, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA) continue;  // too long to name an installation folder
        if (result != ERROR_SUCCESS) break;
        record += String(folder, size) + "|" + RecordedFiles(key, folder) + "\n";
    }
    RegCloseKey(key);
    return record;
}

// Calls `visit` with each recorded installation's folder and files.
template <class Visit>
void ForEachRecorded(const String& record, Visit visit) {
    for (size_t from = 0, end; (end = record.find('\n', from)) != String::npos; from = end + 1) {
        size_t bar = record.find('|', from);
        visit(record.substr(from, bar - from), record.substr(bar + 1, end - bar - 1));
    }
}

bool Listed(const String& files, const String& path) {
    for (size_t from = 0, end; (end = files.find('|', from)) != String::npos; from = end + 1)
        if (SamePath(files.substr(from, end - from), path)) return true;
    return false;
}

// Whether a recorded folder is this installation's: its uninstaller is the
// running one, or, moved here, the former folder's.
bool ThisInstallation(const Installation& at, const String& folder) {
    String uninstaller = PathJoin(folder, product.uninstaller);
    return SamePath(uninstaller, at.ownPath) || InFormerFolder(at, uninstaller, product.uninstaller);
}

// A help file that another installation lists stays for it while that one is
// installed, its folder holding the product: the value of one deleted by hand
// does not count. A paragraph per installation names the files; their paths
// are returned, each followed by '|'.
String KeepSharedHelpFiles(Installation& at, const String& help) {
    String kept;
    ForEachRecorded(ReadRecord(), [&](const String& folder, const String& files) {
        if (ThisInstallation(at, folder) || !HoldsProduct(folder)) return;
        String paragraph;
        for (const ShippedFile& f : productFiles) {
            String path = PathJoin(help, f.name);
            if (UpperExtension(f.name) != ".HLP" || !Listed(files, path) || Listed(kept, path) ||
                GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
                continue;
            paragraph += path + "\r\n";
            kept += path + "|";
        }
        if (paragraph.empty()) return;
        if (!at.sharedWith.empty()) at.sharedWith += "\r\n";
        at.sharedWith +=
            "These files stay for the installation in " + folder + ", which uses them too:\r\n" + paragraph;
    });
    return kept;
}

// Deletes the key when it holds neither values nor subkeys (the 95 family's
// RegDeleteKeyA would take subkeys along); true when it is gone.
bool DeleteEmptyKey(const String& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD subkeys = 1, values = 1;
    bool empty = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                                  nullptr, nullptr) == ERROR_SUCCESS &&
                 subkeys == 0 && values == 0;
    RegCloseKey(key);
    return empty && RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str()) == ERROR_SUCCESS;
}

void RemoveHelpFiles(Installation& at) {
    String help = PathJoin(at.windowsDir, "Help");
    String shared = KeepSharedHelpFiles(at, help);
    for (const ShippedFile& f : productFiles) {
        String path = PathJoin(help, f.name);
        if (UpperExtension(f.name) != ".HLP" || Listed(shared, path) ||
            GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES || Unreadable(at, path))
            continue;
        if (SameContent(at, f, path)) RemoveFile(at, path);
        else NoteKept(at, path);
    }
}

// Removes what the installation placed in its folder; true when nothing is
// left there but the running uninstaller.
bool RemoveFromFolder(Installation& at) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(PathJoin(at.dir, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool empty = true;
    do {
        String name = found.cFileName;
        String path = PathJoin(at.dir, name);
        if (name == "." || name == ".." || SamePath(path, at.ownPath)) continue;
        bool named = !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && ProductName(name);
        // The system's Task Manager is the Task Manager restore's to decide on.
        bool systemTaskManager = SamePath(path, PathJoin(at.windowsDir, product.taskManager));
        // A joined archive left by an installation that stopped: its bytes are the disk set's.
        bool archive = SameTextIgnoringCase(name, product.archiveName) && !SharedFolder(at, at.dir);
        if (named && !systemTaskManager && Unreadable(at, path)) {
            empty = false;
            continue;
        }
        if (archive || (named && !systemTaskManager && PlacedContent(at, name, path))) {
            if (StandInName(name)) TakeBackMovesOf(at, path);
            if (!RemoveFile(at, path)) empty = false;
            continue;
        }
        empty = false;
        if (named && !systemTaskManager) NoteKept(at, path);
        else if (!systemTaskManager) at.folderKept = true;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return empty;
}

// The 95 family's start-up moves files only; its folder goes after the
// restart through a command that removes it only when it is empty. Without
// the command interpreter where Windows keeps it, it stays, and says so.
void RemoveFolderAtNextStart(Installation& at) {
    if (at.ntFamily) {
        RemoveAtNextStart(at, at.dir);
        return;
    }
    String interpreter = PathJoin(at.windowsDir, "COMMAND.COM");
    TRegIniFile reg(runOnceKey);
    reg.SelectRoot(HKEY_LOCAL_MACHINE);
    if (GetFileAttributesA(interpreter.c_str()) != INVALID_FILE_ATTRIBUTES && reg.OpenPath(runOnceKey, true)) {
        String command = ShortPathOf(interpreter) + " /c rd " + ShortPathOf(at.dir);
        reg.PutString(product.productName + " folder", command);
        return;
    }
    at.waiting += "The folder " + at.dir + " will then be empty; you may delete it.\r\n";
}

}  // namespace

bool RemoveFile(Installation& at, const String& path) {
    const char* name = path.c_str();
    // Set read-only by the user, it is still the installation's file: its
    // content (or a shortcut's target) decided that.
    DWORD attributes = ClearReadOnly(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    DWORD error = DeleteFileA(name) ? 0 : GetLastError();
    // Gone only when it is: on a read-only drive a delete can report success and keep the file.
    if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) {
        at.removedAny = true;
        return true;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(name, attributes);
    NoteLeftover(at, path, DeleteFailure(error));
    return false;
}

bool HoldsShippedFile(const Installation& at, const String& name, const String& path) {
    for (const ShippedFile& f : productFiles)
        if (SameTextIgnoringCase(name, f.name)) return SameContent(at, f, path);
    return false;
}

bool RenameQueued(const Installation& at, const String& from, const String& to) {
    return at.ntFamily ? PendingMoveQueued(from, to)
                       : PendingLineQueued(at, ShortPathOf(to) + "=" + ShortPathOf(from));
}

bool RemoveAtNextStart(Installation& at, const String& path) {
    if (at.ntFamily ? PendingMoveQueued(path, "") : PendingLineQueued(at, "NUL=" + ShortPathOf(path))) return true;
    // The 95 family's MoveFileExA fails whatever it is asked; its start-up reads 8.3 paths only.
    bool queued = at.ntFamily ? MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0
                              : QueueWinInitLines(at, "NUL=" + ShortPathOf(path) + "\r\n");
    if (!queued) NoteLeftover(at, path, "it could not be queued for removal when Windows next starts");
    return queued;
}

bool RenameAtNextStart(Installation& at, const String& from, const String& to) {
    if (RenameQueued(at, from, to)) return true;
    bool queued = at.ntFamily
                      ? MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != 0
                      : QueueWinInitLines(at, ShortPathOf(to) + "=" + ShortPathOf(from) + "\r\n");
    if (!queued) NoteLeftover(at, from, "its move for the next start of Windows could not be queued");
    return queued;
}

void ForgetSharedFiles(const Installation& at) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RecordKey().c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    // So does every value whose folder no longer holds the product (deleted
    // by hand, say): left, it would keep the key for ever. A value that cannot
    // be deleted does no harm: it counts for nothing.
    ForEachRecorded(ReadRecord(), [&](const String& folder, const String&) {
        if (ThisInstallation(at, folder) || !HoldsProduct(folder)) RegDeleteValueA(key, folder.c_str());
    });
    RegCloseKey(key);
    if (DeleteEmptyKey(RecordKey())) DeleteEmptyKey("Software\\" + product.productName);
}

void RemovePlacedFiles(Installation& at) {
    RemoveHelpFiles(at);
    bool empty = RemoveFromFolder(at);
    // While a file of the product stays, so does the uninstaller that can take it.
    if (!at.leftovers.empty()) return;
    // A running program cannot delete its own file: Windows does it at the
    // next start, whose removal may refuse a read-only one.
    ClearReadOnly(at.ownPath.c_str());
    bool queued = RemoveAtNextStart(at, at.ownPath);
    if (queued && empty && !SharedFolder(at, at.dir)) RemoveFolderAtNextStart(at);
}

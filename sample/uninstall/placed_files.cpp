#include "sample/uninstall/placed_files.h"

#include <windows.h>

#include "runtime/file_io.h"
#include "runtime/paths.h"
#include "sample/uninstall/product_files.h"
#include "sample/uninstall/win_init.h"
#include "state/context.h"

namespace {

bool Listed(const String& name) {
    for (const char* listed : productFiles)
        if (SameTextIgnoringCase(name, listed)) return true;
    return false;
}

// Where the installer put a file whose own name was in use until the restart.
bool Substitute(const String& name) {
    for (const char* listed : productFiles)
        if (StandInFor(name, listed)) return true;
    return false;
}

// Help files live in the Windows help folder; a substitute of one stays here.
bool PlacedHere(const String& name) {
    if (Substitute(name) || SameTextIgnoringCase(name, product.archiveName)) return true;
    return Listed(name) && UpperExtension(name) != ".HLP";
}

bool Remove(Installation& at, const String& path) {
    if (DeleteFileA(path.c_str()) || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    NoteLeftover(at, path);
    return false;
}

void RemoveHelpFiles(Installation& at) {
    String help = PathJoin(at.windowsDir, "Help");
    for (const char* listed : productFiles)
        if (UpperExtension(listed) == ".HLP") Remove(at, PathJoin(help, listed));
}

// Removes what the installation placed in its folder; true when nothing is
// left there but the running uninstaller. Files of the user's keep the folder.
bool RemoveFromFolder(Installation& at) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(PathJoin(at.dir, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool empty = true;
    do {
        String name = found.cFileName;
        String path = PathJoin(at.dir, name);
        if (name == "." || name == ".." || SamePath(path, at.ownPath)) continue;
        bool placed = !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && PlacedHere(name);
        if (!placed) at.folderKept = true;
        if (!placed || !Remove(at, path)) empty = false;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return empty;
}

}  // namespace

bool RemoveAtNextStart(Installation& at, const String& path) {
    // The 95 family's MoveFileExA fails whatever it is asked; its start-up reads 8.3 paths only.
    bool queued = at.ntFamily ? MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0
                              : QueueWinInitLines(at, "NUL=" + ShortPathOf(path) + "\r\n");
    if (!queued) NoteLeftover(at, path);
    return queued;
}

bool RenameAtNextStart(Installation& at, const String& from, const String& to) {
    bool queued = at.ntFamily
                      ? MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != 0
                      : QueueWinInitLines(at, ShortPathOf(to) + "=" + ShortPathOf(from) + "\r\n");
    if (!queued) NoteLeftover(at, from);
    return queued;
}

void RemovePlacedFiles(Installation& at) {
    RemoveHelpFiles(at);
    bool empty = RemoveFromFolder(at);
    // A running program cannot delete its own file: Windows does it at the next start.
    if (RemoveAtNextStart(at, at.ownPath) && empty) RemoveAtNextStart(at, at.dir);
}

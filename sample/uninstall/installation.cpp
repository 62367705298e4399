#include "sample/uninstall/installation.h"

#include <windows.h>

#include "runtime/file_io.h"
#include "runtime/paths.h"
#include "state/context.h"

Installation FindInstallation() {
    Installation at;
    at.ownPath = OwnFileName();
    at.dir = FolderOf(at.ownPath);
    char windows[MAX_PATH + 1];
    DWORD n = GetWindowsDirectoryA(windows, sizeof windows);
    at.windowsDir = String(windows, n < sizeof windows ? n : 0);
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    at.ntFamily = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    return at;
}

String FolderOf(const String& path) {
    String dir = DirectoryPart(path);
    // "C:\" keeps its backslash: "C:" alone names the drive's current folder.
    return dir.size() > 3 && dir.endsWith('\\') ? dir.substr(0, dir.size() - 1) : dir;
}

bool HoldsProduct(const String& dir) {
    String main = PathJoin(dir, UnstagedExecutable(product.mainExecutable));
    return GetFileAttributesA(main.c_str()) != INVALID_FILE_ATTRIBUTES ||
           GetFileAttributesA(ReplaceExtension(main, ".$$$").c_str()) != INVALID_FILE_ATTRIBUTES;
}

void NoteLeftover(Installation& at, const String& what, const String& why) {
    at.leftovers += what + ": " + why + "\r\n";
}

bool InFormerFolder(const Installation& at, const String& path, const String& name) {
    return !at.formerDir.empty() && SamePath(path, PathJoin(at.formerDir, name));
}

// The 95 family's settings spell the former folder in 8.3 form, which a
// folder that is gone no longer has: the missing file and its name decide.
bool MissingCopy(const Installation& at, const String& path, const String& name) {
    return !at.formerDir.empty() && SameTextIgnoringCase(FilePart(path), name) &&
           GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool SamePath(const String& a, const String& b) {
    return SameTextIgnoringCase(a, b) || SameTextIgnoringCase(ShortPathOf(a), ShortPathOf(b));
}

bool StandInFor(const String& name, const String& listed) {
    String ext = UpperExtension(name);
    if (ext.size() != 4) return false;
    for (size_t i = 1; i < 4; ++i)
        if (ext[i] != '$' && (ext[i] < '0' || ext[i] > '9')) return false;
    return SameTextIgnoringCase(ReplaceExtension(name, ""), ReplaceExtension(listed, ""));
}

String CommandProgram(const String& value) {
    size_t start = 0, end = value.size();
    while (start < end && (value[start] == ' ' || value[start] == '\t')) ++start;
    while (end > start && (value[end - 1] == ' ' || value[end - 1] == '\t')) --end;
    if (start < end && value[start] == '"') {
        size_t close = value.find('"', start + 1);
        return value.substr(start + 1, (close == String::npos || close > end ? end : close) - start - 1);
    }
    return value.substr(start, end - start);
}

#include "sample/uninstall/installation.h"

#include <windows.h>

#include "runtime/file_io.h"
#include "runtime/paths.h"

Installation FindInstallation() {
    Installation at;
    at.ownPath = OwnFileName();
    at.dir = DirectoryPart(at.ownPath);
    // "C:\" keeps its backslash: "C:" alone names the drive's current folder.
    if (at.dir.size() > 3 && at.dir.endsWith('\\')) at.dir = at.dir.substr(0, at.dir.size() - 1);
    char windows[MAX_PATH + 1];
    DWORD n = GetWindowsDirectoryA(windows, sizeof windows);
    at.windowsDir = String(windows, n < sizeof windows ? n : 0);
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    at.ntFamily = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    return at;
}

void NoteLeftover(Installation& at, const String& what) { at.leftovers += what + "\r\n"; }

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

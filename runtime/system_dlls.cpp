#include "runtime/system_dlls.h"

namespace {

// Loaded by bare name by the system, the shell or COM on a program's behalf.
const char usualVictims[] =
    "UXTHEME\0VERSION\0USERENV\0SETUPAPI\0APPHELP\0PROPSYS\0DWMAPI\0CRYPTBASE\0OLEACC\0CLBCATQ\0WINMM\0"
    "COMCTL32\0SHCORE\0SHLWAPI\0";

// Without an extension LoadLibraryA adds ".DLL"; null when the path would
// not fit. The names are short: 16 characters left over hold any of them.
HMODULE LoadFromSystemDirectory(const char* name) {
    typedef UINT(WINAPI * SystemDirectory)(LPSTR, UINT);
    SystemDirectory systemDirectory = LoadedFunction<SystemDirectory>("KERNEL32", "GetSystemDirectoryA");
    char path[MAX_PATH];
    UINT length = systemDirectory ? systemDirectory(path, MAX_PATH - 16) : 0;
    if (length == 0 || length >= MAX_PATH - 16) return nullptr;
    char* to = path + length;
    *to++ = '\\';
    while ((*to++ = *name++) != '\0') {
    }
    return LoadLibraryA(path);
}

}  // namespace

void LoadUsualDllsFromSystemDirectory() {
    // A missing DLL (the 95 family has few of these) must not ask for a disk.
    UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    for (const char* name = usualVictims; *name;) {
        LoadFromSystemDirectory(name);
        while (*name++ != '\0') {  // to the next name
        }
    }
    SetErrorMode(mode);
}

void KeepDllSearchInSystemDirectory() {
    typedef BOOL(WINAPI * SetDirectory)(LPCSTR);
    typedef BOOL(WINAPI * SetDefaultDirectories)(DWORD);
    // XP SP1 on: the current folder leaves the search.
    if (SetDirectory set = LoadedFunction<SetDirectory>("KERNEL32", "SetDllDirectoryA")) set("");
    SetDefaultDirectories limit = LoadedFunction<SetDefaultDirectories>("KERNEL32", "SetDefaultDllDirectories");
    if (limit && limit(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    LoadUsualDllsFromSystemDirectory();
}

FARPROC SystemFunction(const char* dll, const char* name) {
    HMODULE module = LoadFromSystemDirectory(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}

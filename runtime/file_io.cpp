#include "runtime/file_io.h"
#include "runtime/paths.h"
#include "runtime/system_dlls.h"

namespace {

int LastResult() {
    DWORD e = GetLastError();
    return e ? static_cast<int>(e) : 1;
}

void Check(int result, const FileVar& f) {
    if (result != 0) RaiseIoError(result, f.name);
}

}  // namespace

FileVar::~FileVar() {
    if (IsOpen()) CloseHandle(handle);
}

int FileOpen(FileVar& f, const String& path, FileMode mode, DWORD share) {
    DWORD access = GENERIC_READ | GENERIC_WRITE, disposition = OPEN_EXISTING;
    switch (mode) {
    case FileMode::readOnly: access = GENERIC_READ; break;
    case FileMode::readWrite: break;
    case FileMode::create: disposition = CREATE_ALWAYS; break;
    case FileMode::append: disposition = OPEN_ALWAYS; break;
    }
    f.name = path;
    f.handle = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!f.IsOpen()) return LastResult();
    if (mode == FileMode::append && SetFilePointer(f.handle, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
        int r = LastResult();
        FileClose(f);
        return r;
    }
    return 0;
}

int FileRead(FileVar& f, void* buffer, uint32_t count, uint32_t& got) {
    DWORD n = 0;
    got = 0;
    if (!ReadFile(f.handle, buffer, count, &n, nullptr)) return LastResult();
    got = n;
    return 0;
}

int FileWrite(FileVar& f, const void* buffer, uint32_t count, uint32_t& put) {
    DWORD n = 0;
    put = 0;
    if (!WriteFile(f.handle, buffer, count, &n, nullptr)) return LastResult();
    put = n;
    return n == count ? 0 : ioDiskFull;
}

// A position or size of 0xFFFFFFFF is the calls' failure answer: the files
// here stay far below 4 GB, so it is never a true one.
int FileSeek(FileVar& f, uint32_t position) {
    LONG high = 0;
    DWORD r = SetFilePointer(f.handle, static_cast<LONG>(position), &high, FILE_BEGIN);
    return r == INVALID_SET_FILE_POINTER ? LastResult() : 0;
}

int FileSize(FileVar& f, uint32_t& size) {
    DWORD high = 0, low = GetFileSize(f.handle, &high);
    if (low == INVALID_FILE_SIZE) return LastResult();
    size = high ? 0xFFFFFFFFu : low;
    return 0;
}

int FilePosition(FileVar& f, uint32_t& position) {
    LONG high = 0;
    DWORD r = SetFilePointer(f.handle, 0, &high, FILE_CURRENT);
    if (r == INVALID_SET_FILE_POINTER) return LastResult();
    position = r;
    return 0;
}

int FileTruncate(FileVar& f) { return SetEndOfFile(f.handle) ? 0 : LastResult(); }

int FileClose(FileVar& f) {
    if (!f.IsOpen()) return static_cast<int>(ERROR_INVALID_HANDLE);
    BOOL ok = CloseHandle(f.handle);
    f.handle = INVALID_HANDLE_VALUE;
    return ok ? 0 : LastResult();
}

String ShortPathOf(const String& path) {
    char shortPath[MAX_PATH + 1];
    DWORD n = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    return n == 0 || n >= sizeof shortPath ? path : String(shortPath, n);
}

bool FileExists(const String& path) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(path.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

bool RemoveFolder(const String& path) {
    typedef BOOL(WINAPI * RemoveDirectory)(LPCSTR);
    RemoveDirectory remove = LoadedFunction<RemoveDirectory>("KERNEL32", "RemoveDirectoryA");
    return remove && remove(path.c_str());
}

int FileCopy(const String& from, const String& to) {
    FileVar source, target;
    int result = FileOpen(source, from, FileMode::readOnly);
    if (result == 0) result = FileOpen(target, to, FileMode::create, 0);
    if (result != 0) return result;
    uint8_t block[2048];
    for (uint32_t got = 0, put = 0;;) {
        result = FileRead(source, block, sizeof block, got);
        if (result != 0 || got == 0) break;
        result = FileWrite(target, block, got, put);
        if (result != 0) break;
    }
    int closed = FileClose(target);
    if (result == 0) result = closed;
    if (result != 0) DeleteFileA(to.c_str());
    return result;
}

namespace {

// "C:\" or "\\server\share\" as the path spells it; empty when it names neither.
String SpelledRoot(const String& path) {
    if (path.size() >= 2 && path[1] == ':') return String(1, UpperAscii(path[0])) + ":\\";
    if (path.size() < 3 || path[0] != '\\' || path[1] != '\\') return String();
    size_t share = path.find('\\', 2);
    if (share == String::npos) return String();
    size_t end = path.find('\\', share + 1);
    return (end == String::npos ? path : path.substr(0, end)) + "\\";
}

// The root of the volume holding `path`. From Windows 2000 on a volume may be
// mounted in a folder, and GetVolumePathNameA knows it; the older systems have
// neither that call nor such folders, so there the drive or share is the volume.
String VolumeRoot(const String& path) {
    typedef BOOL(WINAPI * VolumePathName)(LPCSTR, LPSTR, DWORD);
    VolumePathName volumePath = LoadedFunction<VolumePathName>("KERNEL32", "GetVolumePathNameA");
    char root[MAX_PATH + 1];
    if (volumePath && volumePath(path.c_str(), root, sizeof root))
        return root;
    return SpelledRoot(path);
}

}  // namespace

bool SameVolume(const String& a, const String& b) {
    String root = VolumeRoot(a);
    return !root.empty() && SameTextIgnoringCase(root, VolumeRoot(b));
}

void CheckedOpen(FileVar& f, const String& path, FileMode mode, DWORD share) {
    Check(FileOpen(f, path, mode, share), f);
}

void CheckedReadExact(FileVar& f, void* buffer, uint32_t count) {
    uint32_t got = 0;
    Check(FileRead(f, buffer, count, got), f);
    if (got != count) RaiseIoError(ioReadPastEnd, f.name);
}

uint32_t CheckedRead(FileVar& f, void* buffer, uint32_t count) {
    uint32_t got = 0;
    Check(FileRead(f, buffer, count, got), f);
    return got;
}

void CheckedWrite(FileVar& f, const void* buffer, uint32_t count) {
    uint32_t put = 0;
    Check(FileWrite(f, buffer, count, put), f);
}

void CheckedSeek(FileVar& f, uint32_t position) { Check(FileSeek(f, position), f); }

uint32_t CheckedSize(FileVar& f) {
    uint32_t size = 0;
    Check(FileSize(f, size), f);
    return size;
}

bool CheckedAtEnd(FileVar& f) {
    uint32_t position = 0;
    Check(FilePosition(f, position), f);
    return position >= CheckedSize(f);
}

void CheckedTruncate(FileVar& f) { Check(FileTruncate(f), f); }

void CheckedClose(FileVar& f) { Check(FileClose(f), f); }

void CheckedWriteLine(FileVar& f, const String& line) {
    String text = line + "\r\n";
    CheckedWrite(f, text.c_str(), static_cast<uint32_t>(text.size()));
}

namespace {

// Whether `wide` said in the ANSI code page is itself again when converted
// back: not so where the code page lacks a character ('?' or a look-alike).
bool SaidExactly(const WCHAR* wide, char (&path)[MAX_PATH]) {
    WCHAR back[MAX_PATH];
    if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, path, MAX_PATH, nullptr, nullptr) ||
        !MultiByteToWideChar(CP_ACP, 0, path, -1, back, MAX_PATH))
        return false;
    for (int i = 0; back[i] == wide[i]; ++i)
        if (!back[i]) return true;
    return false;
}

// Room after it for an 8.3 name, so surely for the files read beside it.
bool Fits(const char* path) { return TextLength(path) + 12 < MAX_PATH; }

}  // namespace

String OwnFileName() {
    typedef DWORD(WINAPI * ModuleNameW)(HMODULE, LPWSTR, DWORD);
    typedef DWORD(WINAPI * ShortNameW)(LPCWSTR, LPWSTR, DWORD);
    char path[MAX_PATH];
    WCHAR wide[MAX_PATH];
    path[0] = 0;  // every way that fails leaves it empty
    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    // The 95 family's wide calls are stubs: its ANSI name is all there is.
    ModuleNameW moduleName = version.dwPlatformId == VER_PLATFORM_WIN32_NT
                                 ? LoadedFunction<ModuleNameW>("KERNEL32", "GetModuleFileNameW")
                                 : nullptr;
    ShortNameW shortName = LoadedFunction<ShortNameW>("KERNEL32", "GetShortPathNameW");
    if (!moduleName) {
        if (GetModuleFileNameA(nullptr, path, MAX_PATH) >= MAX_PATH) path[0] = 0;
    } else if (moduleName(nullptr, wide, MAX_PATH) - 1 < MAX_PATH - 1 &&
               (!SaidExactly(wide, path) || !Fits(path))) {
        // The short form (where the volume keeps one) is plain and short.
        if (!shortName || shortName(wide, wide, MAX_PATH) - 1 >= MAX_PATH - 1 || !SaidExactly(wide, path))
            path[0] = 0;
    }
    String own(path);
    // A '?' stands for a character the ANSI name lacks.
    if (own.find('?') != String::npos || !Fits(path)) own.clear();
    return own;
}

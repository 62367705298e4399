#include "runtime/file_io.h"

namespace {

int lastResult() {
    DWORD e = GetLastError();
    return e ? static_cast<int>(e) : 1;
}

void check(int result, const FileVar& f) {
    if (result != 0) raiseIoError(result, f.name);
}

}  // namespace

int fileOpen(FileVar& f, const std::string& path, FileMode mode, DWORD share) {
    DWORD access = GENERIC_READ | GENERIC_WRITE, disposition = OPEN_EXISTING;
    switch (mode) {
    case FileMode::readOnly: access = GENERIC_READ; break;
    case FileMode::readWrite: break;
    case FileMode::create: disposition = CREATE_ALWAYS; break;
    case FileMode::append: disposition = OPEN_ALWAYS; break;
    }
    f.name = path;
    f.handle = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f.handle == INVALID_HANDLE_VALUE) return lastResult();
    if (mode == FileMode::append && SetFilePointer(f.handle, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
        int r = lastResult();
        CloseHandle(f.handle);
        f.handle = INVALID_HANDLE_VALUE;
        return r;
    }
    return 0;
}

int fileRead(FileVar& f, void* buffer, uint32_t count, uint32_t& got) {
    DWORD n = 0;
    got = 0;
    if (!ReadFile(f.handle, buffer, count, &n, nullptr)) return lastResult();
    got = n;
    return 0;
}

int fileWrite(FileVar& f, const void* buffer, uint32_t count, uint32_t& put) {
    DWORD n = 0;
    put = 0;
    if (!WriteFile(f.handle, buffer, count, &n, nullptr)) return lastResult();
    put = n;
    return n == count ? 0 : ioDiskFull;
}

int fileSeek(FileVar& f, uint32_t position) {
    LONG high = 0;
    SetLastError(0);
    DWORD r = SetFilePointer(f.handle, static_cast<LONG>(position), &high, FILE_BEGIN);
    if (r == INVALID_SET_FILE_POINTER && GetLastError() != 0) return lastResult();
    return 0;
}

int fileSize(FileVar& f, uint32_t& size) {
    SetLastError(0);
    DWORD high = 0, low = GetFileSize(f.handle, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != 0) return lastResult();
    size = high ? 0xFFFFFFFFu : low;
    return 0;
}

int filePosition(FileVar& f, uint32_t& position) {
    LONG high = 0;
    SetLastError(0);
    DWORD r = SetFilePointer(f.handle, 0, &high, FILE_CURRENT);
    if (r == INVALID_SET_FILE_POINTER && GetLastError() != 0) return lastResult();
    position = r;
    return 0;
}

int fileTruncate(FileVar& f) {
    return SetEndOfFile(f.handle) ? 0 : lastResult();
}

int fileClose(FileVar& f) {
    if (f.handle == INVALID_HANDLE_VALUE) return static_cast<int>(ERROR_INVALID_HANDLE);
    BOOL ok = CloseHandle(f.handle);
    f.handle = INVALID_HANDLE_VALUE;
    return ok ? 0 : lastResult();
}

bool fileExists(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(path.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

void checkedOpen(FileVar& f, const std::string& path, FileMode mode, DWORD share) {
    check(fileOpen(f, path, mode, share), f);
}

void checkedReadExact(FileVar& f, void* buffer, uint32_t count) {
    uint32_t got = 0;
    check(fileRead(f, buffer, count, got), f);
    if (got != count) raiseIoError(ioReadPastEnd, f.name);
}

uint32_t checkedRead(FileVar& f, void* buffer, uint32_t count) {
    uint32_t got = 0;
    check(fileRead(f, buffer, count, got), f);
    return got;
}

void checkedWrite(FileVar& f, const void* buffer, uint32_t count) {
    uint32_t put = 0;
    check(fileWrite(f, buffer, count, put), f);
}

void checkedSeek(FileVar& f, uint32_t position) {
    check(fileSeek(f, position), f);
}

uint32_t checkedSize(FileVar& f) {
    uint32_t size = 0;
    check(fileSize(f, size), f);
    return size;
}

bool checkedAtEnd(FileVar& f) {
    uint32_t position = 0;
    check(filePosition(f, position), f);
    return position >= checkedSize(f);
}

void checkedClose(FileVar& f) {
    check(fileClose(f), f);
}

void checkedWriteLine(FileVar& f, const std::string& line) {
    std::string text = line + "\r\n";
    checkedWrite(f, text.data(), static_cast<uint32_t>(text.size()));
}

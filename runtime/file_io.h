// File variables with an I/O result, over the system's file handles.
//
// Each operation returns its I/O result: 0 for success, otherwise the system
// error code (or ioReadPastEnd / ioDiskFull for a short read or write). The
// checked variants raise EInOutError on any failure instead; they are what
// the installer's verified file steps use. A FileVar still open when it goes
// out of scope is closed, its result ignored: only an explicit close is checked.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/error.h"
#include "runtime/text.h"

struct FileVar {
    HANDLE handle = INVALID_HANDLE_VALUE;
    String name;

    FileVar() = default;
    ~FileVar();
    FileVar(const FileVar&) = delete;
    FileVar& operator=(const FileVar&) = delete;
    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
};

enum class FileMode {
    readOnly,   // an existing file, read access only (read-only media work)
    readWrite,  // an existing file, read and write access, not truncated
    create,     // created, or emptied when it exists; read and write access
    append,     // opened or created, read and write access, positioned at its end
};

// `share` is the access other programs keep while the file is open.
int FileOpen(FileVar& f, const String& path, FileMode mode, DWORD share = FILE_SHARE_READ);
int FileRead(FileVar& f, void* buffer, uint32_t count, uint32_t& got);
int FileWrite(FileVar& f, const void* buffer, uint32_t count, uint32_t& put);
int FileSeek(FileVar& f, uint32_t position);
int FileSize(FileVar& f, uint32_t& size);
int FilePosition(FileVar& f, uint32_t& position);
int FileTruncate(FileVar& f);  // cuts the file at the current position
int FileClose(FileVar& f);

bool FileExists(const String& path);  // a directory search finds it
bool RemoveFolder(const String& path);  // an empty one
// Copies a file whole; a partial copy is removed. The I/O result.
int FileCopy(const String& from, const String& to);
// Whether both paths lie on one volume. A path whose volume cannot be told
// counts as on another: callers then take the way that works across volumes.
bool SameVolume(const String& a, const String& b);
// The system's short (8.3) form of an existing path; the path itself when there is none.
String ShortPathOf(const String& path);

void CheckedOpen(FileVar& f, const String& path, FileMode mode, DWORD share = FILE_SHARE_READ);
void CheckedReadExact(FileVar& f, void* buffer, uint32_t count);  // fewer bytes is an error
uint32_t CheckedRead(FileVar& f, void* buffer, uint32_t count);   // returns the bytes read
void CheckedWrite(FileVar& f, const void* buffer, uint32_t count);  // all bytes or "Disk full"
void CheckedSeek(FileVar& f, uint32_t position);
uint32_t CheckedSize(FileVar& f);
bool CheckedAtEnd(FileVar& f);
void CheckedTruncate(FileVar& f);
void CheckedClose(FileVar& f);
void CheckedWriteLine(FileVar& f, const String& line);  // the line and CR LF

// The running program's own full path as the ANSI calls can open it, with
// room for an 8.3 name beside it: its short (8.3) form where the long one is
// too long or cannot be said in the ANSI code page (the NT family); empty
// where neither serves.
String OwnFileName();

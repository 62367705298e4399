// File variables with an I/O result, over the system's file handles.
//
// Each operation returns its I/O result: 0 for success, otherwise the system
// error code (or ioReadPastEnd / ioDiskFull for a short read or write). The
// checked variants raise EInOutError on any failure instead; they are what
// the installer's verified file steps use.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "runtime/exception.h"

struct FileVar {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string name;
};

enum class FileMode {
    readOnly,       // an existing file, read access only (read-only media work)
    readWrite,      // an existing file, read and write access, not truncated
    create,         // created, or emptied when it exists; read and write access
    append,         // opened or created, read and write access, positioned at its end
};

// `share` is the access other programs keep while the file is open.
int fileOpen(FileVar& f, const std::string& path, FileMode mode, DWORD share = FILE_SHARE_READ);
int fileRead(FileVar& f, void* buffer, uint32_t count, uint32_t& got);
int fileWrite(FileVar& f, const void* buffer, uint32_t count, uint32_t& put);
int fileSeek(FileVar& f, uint32_t position);
int fileSize(FileVar& f, uint32_t& size);
int filePosition(FileVar& f, uint32_t& position);
int fileTruncate(FileVar& f);  // cuts the file at the current position
int fileClose(FileVar& f);

bool fileExists(const std::string& path);  // a directory search finds it

void checkedOpen(FileVar& f, const std::string& path, FileMode mode, DWORD share = FILE_SHARE_READ);
void checkedReadExact(FileVar& f, void* buffer, uint32_t count);  // fewer bytes is an error
uint32_t checkedRead(FileVar& f, void* buffer, uint32_t count);   // returns the bytes read
void checkedWrite(FileVar& f, const void* buffer, uint32_t count); // all bytes or "Disk full"
void checkedSeek(FileVar& f, uint32_t position);
uint32_t checkedSize(FileVar& f);
bool checkedAtEnd(FileVar& f);
void checkedClose(FileVar& f);
void checkedWriteLine(FileVar& f, const std::string& line);  // the line and CR LF

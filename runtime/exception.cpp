#include "runtime/exception.h"

#include <cstdint>
#include <cstdio>

namespace {

struct IoText {
    int code;
    const char* text;
};

// System error codes (the same numbers on every Windows version) and the
// runtime's own codes, each with the words a user should read.
const IoText ioTexts[] = {
    {2, "File not found"},
    {3, "Path not found"},
    {4, "Too many open files"},
    {5, "Access denied"},
    {6, "Invalid file handle"},
    {15, "Invalid drive"},
    {19, "Disk is write-protected"},
    {21, "Drive not ready"},
    {23, "Data error (CRC) on the disk"},
    {25, "Seek error"},
    {29, "Disk write error"},
    {30, "Disk read error"},
    {32, "File in use by another program"},
    {33, "File locked by another program"},
    {ioReadPastEnd, "Read beyond end of file"},
    {39, "Disk full"},
    {80, "File exists"},
    {87, "Invalid parameter"},
    {ioDiskFull, "Disk full"},
    {123, "Invalid file name"},
    {131, "Seek before start of file"},
    {206, "File name too long"},
};

}  // namespace

std::string ioErrorText(int code) {
    for (const IoText& t : ioTexts)
        if (t.code == code) return t.text;
    char buf[48];
    std::snprintf(buf, sizeof buf, "I/O error %d", code);
    return buf;
}

void raiseIoError(int code, const std::string& what) {
    std::string message = ioErrorText(code);
    if (!what.empty()) message += ": " + what;
    throw EInOutError(code, message);
}

std::string unhandledErrorText(const char* className, const std::string& module,
                               const void* address, const std::string& message) {
    char head[512];
    // Eight upper-case hex digits, as the system prints a 32-bit code address.
    std::snprintf(head, sizeof head, "Exception %s in module %s at %08lX.\n", className, module.c_str(),
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(address)));
    bool hasPeriod = !message.empty() && message.back() == '.';
    return head + message + (hasPeriod ? "" : ".");
}

#include "runtime/error.h"

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
    {ioBadData, "Invalid data"},
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
    {ioSeekBeforeStart, "Seek before start of file"},
    {206, "File name too long"},
};

FailureCleanup* innermost = nullptr;
void (*ioFailureHandler)(const String&) = nullptr;

}  // namespace

const char* ErrorClassName(ErrorClass kind) {
    switch (kind) {
    case ErrorClass::inOut: return "EInOutError";
    case ErrorClass::lzh: return "ElzhException";
    case ErrorClass::registry: return "ERegistryException";
    case ErrorClass::outOfMemory: return "EOutOfMemory";
    }
    return "Exception";
}

String IoErrorText(int code) {
    for (const IoText& t : ioTexts)
        if (t.code == code) return t.text;
    return "I/O error " + DecimalText(code);
}

// Not inlined: the return address must be the raising code's, not a caller's caller.
__attribute__((noinline)) void RaiseError(ErrorClass kind, int code, const String& message) {
    FailureCleanup::RunAll();
    RaiseErrorAt(kind, code, message.c_str(), __builtin_return_address(0));
}

__attribute__((noinline)) void RaiseIoError(int code, const String& what) {
    String message = IoErrorText(code);
    if (!what.empty()) message += ": " + what;
    FailureCleanup::RunAll();
    if (ioFailureHandler && code != ioReadPastEnd && code != ioSeekBeforeStart) ioFailureHandler(message);
    RaiseErrorAt(ErrorClass::inOut, code, message.c_str(), __builtin_return_address(0));
}

__attribute__((noinline)) void RaiseOutOfMemory() {
    FailureCleanup::RunAll();
    RaiseErrorAt(ErrorClass::outOfMemory, 0, "Out of memory", __builtin_return_address(0));
}

void SetIoFailureHandler(void (*handler)(const String& message)) { ioFailureHandler = handler; }

String UnhandledErrorText(const char* className, const String& module, uint32_t address, const String& message) {
    String text = String("Exception ") + className + " in module " + module + " at " + HexText(address, 8) + ".\n";
    text += message;
    if (message.empty() || message.back() != '.') text += ".";
    return text;
}

FailureCleanup::FailureCleanup(void (*step)()) : step_(step), outer_(innermost) { innermost = this; }

FailureCleanup::~FailureCleanup() {
    // A raise may have run and unregistered this step already.
    if (innermost == this) innermost = outer_;
}

void FailureCleanup::RunAll() {
    while (innermost) {
        FailureCleanup* c = innermost;
        innermost = c->outer_;  // first, so a raise inside the step cannot run it again
        c->step_();
    }
}

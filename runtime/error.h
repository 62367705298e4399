// Raising an error. Nothing in the installer catches one: in Setup.exe a
// raise shows the unhandled-error report and ends the process with exit code
// 1 (raise_report.cpp); in the packaging tool and the tests it throws the
// matching Exception (raise_throw.cpp, exception.h). Which of the two a
// program gets is chosen when it is linked; the code that raises is the same.
#pragma once

#include <cstdint>

#include "runtime/text.h"

// The kinds of error, each reported under its class name.
enum class ErrorClass {
    inOut,        // "EInOutError": a checked file step failed
    lzh,          // "ElzhException": the decoder's tables
    registry,     // "ERegistryException"
    outOfMemory,  // "EOutOfMemory"
};
const char* ErrorClassName(ErrorClass kind);

// The runtime's own I/O result codes, for failures the system reports as success.
enum : int {
    ioReadPastEnd = 38,  // a read returned fewer bytes than asked
    ioDiskFull = 112,    // a write stored fewer bytes than asked
    ioSeekBeforeStart = 131,
    ioBadData = 13,  // the system's "invalid data": a damaged table or archive
};

// The words a user should read for an I/O result: "File not found", "Access denied", ...
String IoErrorText(int code);

// Raise from the caller's address. `code` is the I/O result for inOut, else 0.
[[noreturn]] void RaiseError(ErrorClass kind, int code, const String& message);
// EInOutError: IoErrorText(code), then ": " and `what` (a file name) when given.
[[noreturn]] void RaiseIoError(int code, const String& what = String());
// Needs no memory of its own.
[[noreturn]] void RaiseOutOfMemory();

// Where a failed file step goes once the failure clean-ups have run, when set:
// the system's result (a full or vanished drive, a file held elsewhere), not
// damage the program found (a short read), which is reported as ever.
// `message` names the reason and the file.
void SetIoFailureHandler(void (*handler)(const String& message));

// The program's way of raising, one per kind of program (see above). The
// message is zero-terminated; `address` is the code address of the raise.
[[noreturn]] void RaiseErrorAt(ErrorClass kind, int code, const char* message, const void* address);

// The report's text: "Exception %s in module %s at %08X.\n%s%s": the class, the
// module's file name, the code address, the message, and a period when the
// message does not end in one.
String UnhandledErrorText(const char* className, const String& module, uint32_t address, const String& message);

// A step that must run before an error is reported, while the scope that
// registered it is active: removing a half-written file, for instance.
// Registrations nest; a raise runs them innermost first, each at most once.
class FailureCleanup {
public:
    explicit FailureCleanup(void (*step)());
    ~FailureCleanup();
    FailureCleanup(const FailureCleanup&) = delete;
    FailureCleanup& operator=(const FailureCleanup&) = delete;

    // Runs and unregisters every registered step; the raise functions call it.
    static void RunAll();

private:
    void (*step_)();
    FailureCleanup* outer_;
};

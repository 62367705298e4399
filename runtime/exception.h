// The runtime's exception classes. Portable: the decoder and the tools raise
// these too. Nothing in the installer catches them; the entry point hands an
// escaped one to the unhandled-error report (error_report.h), which names the
// class, the module, the code address and the message.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message)
        : std::runtime_error(message), address_(__builtin_return_address(0)) {}
    virtual const char* className() const { return "Exception"; }
    const std::string message() const { return what(); }
    // The code address the report shows: where the exception was raised.
    const void* address() const { return address_; }

private:
    const void* address_;
};

// An input/output error of a checked file step. `code` is the I/O result
// (a system error code, or one of the runtime's own codes below).
class EInOutError : public Exception {
public:
    EInOutError(int code, const std::string& message) : Exception(message), code_(code) {}
    const char* className() const override { return "EInOutError"; }
    int code() const { return code_; }

private:
    int code_;
};

// The runtime's own I/O result codes, for failures the system reports as success.
enum : int {
    ioReadPastEnd = 38,   // a read returned fewer bytes than asked
    ioDiskFull = 112,     // a write stored fewer bytes than asked
};

// The text of an I/O result: "File not found", "Access denied", "Disk full", ...
std::string ioErrorText(int code);

// Raises EInOutError for `code`; `what` (a file name), when given, is added to the message.
[[noreturn]] void raiseIoError(int code, const std::string& what = std::string());

// The text of the unhandled-error report: "Exception %s in module %s at %p.\n%s%s",
// the class, the module's file name, the code address, the message, and a
// period when the message does not end in one.
std::string unhandledErrorText(const char* className, const std::string& module,
                               const void* address, const std::string& message);

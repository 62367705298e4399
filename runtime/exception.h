// The exceptions a raise throws in programs that catch errors: the packaging
// tool and the tests (raise_throw.cpp). The installer itself never catches:
// there a raise ends the process through the unhandled-error report.
#pragma once

#include <stdexcept>
#include <string>

#include "runtime/error.h"

class Exception : public std::runtime_error {
public:
    Exception(ErrorClass kind, const std::string& message, const void* address)
        : std::runtime_error(message), kind_(kind), address_(address) {}
    ErrorClass Kind() const { return kind_; }
    const char* ClassName() const { return ErrorClassName(kind_); }
    std::string Message() const { return what(); }
    const void* Address() const { return address_; }

private:
    ErrorClass kind_;
    const void* address_;
};

// An input/output error of a checked file step; `code` is its I/O result.
class EInOutError : public Exception {
public:
    EInOutError(int code, const std::string& message, const void* address)
        : Exception(ErrorClass::inOut, message, address), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

class ElzhException : public Exception {
public:
    ElzhException(const std::string& message, const void* address) : Exception(ErrorClass::lzh, message, address) {}
};

class ERegistryException : public Exception {
public:
    ERegistryException(const std::string& message, const void* address)
        : Exception(ErrorClass::registry, message, address) {}
};

// Raising in programs that catch errors: each kind throws its own class.
#include <new>

#include "runtime/exception.h"

void RaiseErrorAt(ErrorClass kind, int code, const char* message, const void* address) {
    switch (kind) {
    case ErrorClass::inOut: throw EInOutError(code, message, address);
    case ErrorClass::lzh: throw ElzhException(message, address);
    case ErrorClass::registry: throw ERegistryException(message, address);
    case ErrorClass::outOfMemory: throw std::bad_alloc();
    }
    throw Exception(kind, message, address);
}

// Raising in the installer: the report of an unhandled error. An owner-less,
// task-modal box captioned "Application Error", then exit code 1. The
// failure clean-ups have run already; nothing else does.
#include <windows.h>

#include "runtime/error.h"
#include "runtime/file_io.h"
#include "runtime/paths.h"

void RaiseErrorAt(ErrorClass kind, int, const char* message, const void* address) {
    uint32_t at = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address));
    String text = UnhandledErrorText(ErrorClassName(kind), FilePart(OwnFileName()), at, message);
    MessageBoxA(nullptr, text.c_str(), "Application Error", MB_OK | MB_ICONHAND | MB_TASKMODAL);
    ExitProcess(1);
}

#include "runtime/error_report.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace {

std::string moduleFileName() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name = path;
    size_t cut = name.find_last_of("\\:/");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

[[noreturn]] void showAndExit(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), "Application Error", MB_OK | MB_ICONHAND | MB_TASKMODAL);
    ExitProcess(1);
}

}  // namespace

std::string unhandledErrorText(const char* className, const std::string& module,
                               const void* address, const std::string& message) {
    char head[512];
    // Eight upper-case hex digits, as the system prints a 32-bit code address.
    std::snprintf(head, sizeof head, "Exception %s in module %s at %08lX.\n", className, module.c_str(),
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(address)));
    bool hasPeriod = !message.empty() && message.back() == '.';
    return head + message + (hasPeriod ? "" : ".");
}

void reportUnhandledError(const Exception& e) {
    showAndExit(unhandledErrorText(e.className(), moduleFileName(), e.address(), e.message()));
}

void reportUnhandledError(const std::exception& e) {
    // Out of memory and the like: the standard library's own exceptions.
    showAndExit(unhandledErrorText("Exception", moduleFileName(), nullptr, e.what()));
}

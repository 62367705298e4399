#include "runtime/error_report.h"

#include <windows.h>


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

void reportUnhandledError(const Exception& e) {
    showAndExit(unhandledErrorText(e.className(), moduleFileName(), e.address(), e.message()));
}

void reportUnhandledError(const std::exception& e) {
    // Out of memory and the like: the standard library's own exceptions.
    showAndExit(unhandledErrorText("Exception", moduleFileName(), nullptr, e.what()));
}

// The process entry of a program built without a C runtime DLL (the installer
// and the sample product): keep DLL loads in the system directory, run the
// global constructors, call WinMain, end the process with its result.
// Destructors are left to the end of the process.
#include <windows.h>

#include "runtime/system_dlls.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int show);

// The linker's table of global constructors: -1, the constructors, 0.
extern "C" void (*__CTOR_LIST__[])();

namespace {

void RunConstructors() {
    void (**last)() = __CTOR_LIST__ + 1;
    while (*last) ++last;
    // Last to first, as the table is laid out for.
    for (void (**c)() = last - 1; c > __CTOR_LIST__; --c) (*c)();
}

// The command line after the program's own name and the blanks that follow it.
LPSTR CommandTail() {
    char* p = GetCommandLineA();
    bool quoted = false;
    for (; *p && (quoted || (*p != ' ' && *p != '\t')); ++p)
        if (*p == '"') quoted = !quoted;
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

int ShowCommand() {
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    return startup.dwFlags & STARTF_USESHOWWINDOW ? startup.wShowWindow : SW_SHOWDEFAULT;
}

}  // namespace

extern "C" void WinMainCRTStartup() {
    // Before anything else can load a DLL by its bare name.
    KeepDllSearchInSystemDirectory();
    RunConstructors();
    ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, CommandTail(), ShowCommand())));
}

// Registers a global object's destructor; none need to run before ExitProcess.
extern "C" int atexit(void (*)()) { return 0; }

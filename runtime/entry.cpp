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

}  // namespace

extern "C" void WinMainCRTStartup() {
    // Before anything else can load a DLL by its bare name.
    KeepDllSearchInSystemDirectory();
    RunConstructors();
    // No program here reads its command line or the show state it was started with.
    char noArguments[] = "";
    ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, noArguments, SW_SHOWDEFAULT)));
}

// Registers a global object's destructor; none need to run before ExitProcess.
extern "C" int atexit(void (*)()) { return 0; }

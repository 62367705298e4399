// DLLs from the system directory only. A DLL that the program or the system
// loads by a bare name is looked for beside the program first, and a download
// folder may hold one of that name.
#pragma once

#include <windows.h>

// What GetCurrentProcess answers on every Windows, without its import.
inline HANDLE CurrentProcess() { return reinterpret_cast<HANDLE>(-1); }

// The entry point's first step: later loads search the system directory only
// (SetDefaultDllDirectories), or, where the system cannot say so, the usual
// victims are loaded from it at once. Never fails: an unset guard stays unset.
void KeepDllSearchInSystemDirectory();
// The walk over the usual victims alone; they stay loaded.
void LoadUsualDllsFromSystemDirectory();

// A function of a DLL the program has loaded already (null where the system
// lacks it): looked up, not imported, so that 95 and NT 4.0 still load the program.
template <class F>
F LoadedFunction(const char* dll, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(dll), name)));
}

// A function of a system DLL loaded by its full path (null when missing): for
// a DLL whose import would load others before the guard runs.
FARPROC SystemFunction(const char* dll, const char* name);
template <class F>
F SystemFunction(const char* dll, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(SystemFunction(dll, name)));
}

// A DLL planted under a system DLL's name: loaded, it leaves "<its path>.loaded".
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    char path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    if (reason == DLL_PROCESS_ATTACH && length && lstrcpyA(path + length, ".loaded"))
        CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return TRUE;
}

// Stands in for the product when a test lets the installer start it: writes
// where it was started from and in which directory into "started.txt" in its
// working directory, then ends. No window: a restart request would end it.
// Plain system calls only, so that it stays a few kilobytes: the tests pack it
// into every disk set they install.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char exe[MAX_PATH] = "", dir[MAX_PATH] = "", text[2 * MAX_PATH + 2];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    GetCurrentDirectoryA(sizeof dir, dir);
    int n = wsprintfA(text, "%s\n%s\n", exe, dir);
    HANDLE out = CreateFileA("started.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    WriteFile(out, text, n, &put, nullptr);
    CloseHandle(out);
    return 0;
}

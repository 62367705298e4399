// Stands in for the product when a test lets the installer start it: writes
// where it was started from and in which directory into "started.txt" in its
// working directory, then ends. No window: a restart request would end it.
#include <windows.h>

#include <fstream>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char exe[MAX_PATH] = "", dir[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    GetCurrentDirectoryA(sizeof dir, dir);
    std::ofstream out("started.txt", std::ios::binary | std::ios::trunc);
    out << exe << "\n" << dir << "\n";
    return 0;
}

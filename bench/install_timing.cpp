// Times the two long-running pages of a real installation under Wine, beside
// what they are made of: a bare decode of the same archive (wardpack.exe
// decode) and as many empty PeekMessageA calls as the archive has bytes (the
// unpacking page drains the queue once per delivered byte).
//
//   install_timing.exe DISKSET WARDPACK
//     DISKSET   folder holding the disk1 (Setup.exe, Wardhavn.001), disk2 and disk3 folders
//     WARDPACK  the Win32 wardpack.exe of the same build
#include <cstdio>
#include <cstring>

#include "resources/resource.h"
#include "tests/wine/driver.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

// The progress page with this label, polled every millisecond.
HWND WaitProgress(SetupRun& run, const char* label) {
    for (int i = 0; i < 600000 && run.Running(); ++i) {
        HWND page = run.FindWindowNow("Please Stand By...");
        if (page && ItemText(page, IDC_LABEL) == label) return page;
        Sleep(1);
    }
    return nullptr;
}

double TimePage(SetupRun& run, const char* label) {
    HWND page = WaitProgress(run, label);
    if (!page) return -1;
    double start = Now();
    while (IsWindow(page) && IsWindowVisible(page)) Sleep(1);
    return Now() - start;
}

void AnswerRemainingPages(SetupRun& run) {
    while (run.Running()) {
        for (const char* caption : {"Program Group", "Windows Interface"})
            if (HWND page = run.FindWindowNow(caption)) {
                PressEscape(page);
                run.WaitGone(page);
            }
        if (HWND box = run.FindWindowNow("Wardhaven!")) {
            Click(box, GetDlgItem(box, IDNO) ? IDNO : IDOK);
            run.WaitGone(box);
        }
        Sleep(20);
    }
}

int32_t DecodedLength(const std::string& installer) {
    std::string image = ReadFileText(installer);
    int32_t n = 0;
    if (image.size() >= 4) std::memcpy(&n, image.data() + image.size() - 4, 4);
    return n;
}

double TimeBareDecode(const std::string& wardpack, const std::string& archive, int32_t size,
                      const std::string& out) {
    std::string cmd = "\"" + wardpack + "\" -q decode --size " + std::to_string(size) + " \"" + archive + "\" \"" +
                      out + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    double start = Now();
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    double elapsed = Now() - start;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return elapsed;
}

// The installer's thread has windows; so does this one while it peeks.
double TimeEmptyPeeks(size_t count) {
    HWND w = CreateWindowExA(0, "STATIC", "peek", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    double start = Now();
    for (size_t i = 0; i < count; ++i) PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    double elapsed = Now() - start;
    DestroyWindow(w);
    return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: install_timing DISKSET WARDPACK\n");
        return 2;
    }
    std::string set = argv[1], wardpack = argv[2];
    std::string scratch = ScratchDir("install_timing"), disk = scratch + "\\disk1";
    MakeDirs(disk);
    // The three disks copied into one folder: no disk prompt interrupts the timing.
    CopyFileTo(set + "\\disk1\\Setup.exe", disk + "\\Setup.exe");
    std::string archive;
    for (int k = 1; k <= 3; ++k) {
        std::string name = "Wardhavn.00" + std::to_string(k);
        std::string from = set + "\\disk" + std::to_string(k) + "\\" + name;
        CopyFileTo(from, disk + "\\" + name);
        archive += ReadFileText(from);
    }
    WriteFileText(scratch + "\\archive.bin", archive);
    int32_t size = DecodedLength(disk + "\\Setup.exe");
    DeleteFileA(WinInitPath().c_str());

    SetupRun run(disk + "\\Setup.exe", Family::nt);
    HWND agreement = run.WaitWindow("License Agreement");
    PressEnter(agreement);
    run.WaitGone(agreement);
    HWND destination = run.WaitWindow("Destination Directory");
    SetItemText(destination, IDC_DESTINATION_EDIT, scratch + "\\Wardhaven");
    PressEnter(destination);
    double joining = TimePage(run, "Installing the Wardhaven! files.");
    double unpacking = TimePage(run, "Uncompressing the Wardhaven! files.");
    AnswerRemainingPages(run);
    DWORD code = run.WaitExit(60000);
    DeleteFileA(WinInitPath().c_str());

    double decode = TimeBareDecode(wardpack, scratch + "\\archive.bin", size, scratch + "\\decoded.bin");
    double peeks = TimeEmptyPeeks(archive.size());
    std::printf("archive          %zu bytes, decoded %ld bytes\n", archive.size(), static_cast<long>(size));
    std::printf("joining page     %8.3f s\n", joining);
    std::printf("unpacking page   %8.3f s\n", unpacking);
    std::printf("bare decode      %8.3f s  (wardpack.exe decode, process start included)\n", decode);
    std::printf("empty peeks      %8.3f s  (%zu PeekMessageA, %.2f us each)\n", peeks, archive.size(),
                peeks * 1e6 / double(archive.size()));
    std::printf("ratio            %8.3f    unpacking / (bare decode + peeks)\n", unpacking / (decode + peeks));
    std::printf("installer exit   %lu\n", code);
    RemoveTree(scratch);
    return joining < 0 || unpacking < 0 || code != 0;
}

#include "tests/wine/driver.h"

#include "tests/wine/change_watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

const char* FamilyName(Family family) {
    return family == Family::win98 ? "win98" : family == Family::wow64 ? "wow64" : "nt";
}

bool RunningUnderWow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

REGSAM NativeView() { return RunningUnderWow64() ? KEY_WOW64_64KEY : 0;
}

std::string WindowsDir() {
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, sizeof dir);
    return dir;
}

std::string WinInitPath() { return WindowsDir() + "\\WinInit.Ini"; }
std::string SystemIniPath() { return WindowsDir() + "\\system.ini"; }

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string full = path + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
            else DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &data));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

void MakeDirs(const std::string& path) {
    size_t at = path.find('\\', 3);
    while (at != std::string::npos) {
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
        at = path.find('\\', at + 1);
    }
    CreateDirectoryA(path.c_str(), nullptr);
}

bool CopyFileTo(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool ChangeDisk(const std::string& drive, const std::string& diskFolder) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((drive + "\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((drive + "\\" + data.cFileName).c_str());
        while (FindNextFileA(h, &data));
        FindClose(h);
    }
    bool copied = true;
    h = FindFirstFileA((diskFolder + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    do
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            copied = CopyFileTo(diskFolder + "\\" + data.cFileName, drive + "\\" + data.cFileName) && copied;
    while (FindNextFileA(h, &data));
    FindClose(h);
    return copied;
}

std::string DriverDir() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\'));
}

std::string BuiltSetupPath() {
    // build/<tree>/tests/wine/<exe>  ->  build/<tree>/setup/Setup.exe
    std::string dir = DriverDir();
    for (int i = 0; i < 2; ++i) dir = dir.substr(0, dir.find_last_of('\\'));
    return dir + "\\setup\\Setup.exe";
}

std::string ScratchDir(const std::string& name) {
    std::string dir = "C:\\whtest\\" + name;
    RemoveTree(dir);
    MakeDirs(dir);
    return dir;
}

std::string CurrentTestName() {
    const testing::TestInfo* t = testing::UnitTest::GetInstance()->current_test_info();
    if (!t) return "driver";
    std::string name = std::string(t->test_suite_name()) + "." + t->name();
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':') c = '_';
    return name;
}

namespace {

// Every installer a test starts goes with the test program: one whose time ran
// out is killed by the test runner, and an installer it left running would meet
// the next run ("already running"). The job's handle is never closed, so the
// installer ends only with the test program, or when the test ends it. What the
// installer starts stays out of the job: under Wine the restart it asks for
// starts the session's services and shell again, which outlive the test.
bool StartWithThisProgram(PROCESS_INFORMATION& process) {
    static HANDLE job = [] {
        HANDLE j = CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags =
            JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
        SetInformationJobObject(j, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return j;
    }();
    bool kept = AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    return kept;
}

void SetFamily(const std::string& exeName, Family family) {
    std::string key = "Software\\Wine\\AppDefaults\\" + exeName;
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr))
        return;
    if (family == Family::win98)
        RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
    else
        RegDeleteValueA(k, "Version");
    RegCloseKey(k);
}

struct FindState {
    DWORD pid;
    const std::string* caption;
    HWND found;
    std::vector<std::string>* all;
};

BOOL CALLBACK FindDialog(HWND w, LPARAM param) {
    FindState* s = reinterpret_cast<FindState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != s->pid || !IsWindowVisible(w)) return TRUE;
    char cls[64] = "", text[512] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (std::string(cls) != "#32770") return TRUE;
    GetWindowTextA(w, text, sizeof text);
    if (s->all) s->all->push_back(text);
    if (s->caption && *s->caption == text) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

SetupRun::SetupRun(const std::string& setupPath, Family family, const std::string& currentDir, ChangeWatch* watch) {
    std::string exe = setupPath.substr(setupPath.find_last_of('\\') + 1);
    SetFamily(exe, family);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + setupPath + "\"";
    std::string dir = currentDir.empty() ? setupPath.substr(0, setupPath.find_last_of('\\')) : currentDir;
    if (watch ? !watch->Start(setupPath, cmd, dir, process_)
              : !CreateProcessA(setupPath.c_str(), &cmd[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                dir.c_str(), &si, &process_)) {
        ADD_FAILURE() << "cannot start " << setupPath << ": error " << GetLastError();
        exited_ = true;
    } else if (!watch) {
        // A watched installer is debugged by this program, and ends with it anyway.
        EXPECT_TRUE(StartWithThisProgram(process_)) << "error " << GetLastError();
    }
}

SetupRun::SetupRun(const std::wstring& setupPath, Family family) {
    SetFamily("Setup.exe", family);
    STARTUPINFOW si{sizeof si};
    std::wstring cmd = L"\"" + setupPath + L"\"";
    exited_ = !CreateProcessW(setupPath.c_str(), &cmd[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                              &si, &process_);
    EXPECT_FALSE(exited_) << "cannot start the installer: error " << GetLastError();
    if (!exited_) EXPECT_TRUE(StartWithThisProgram(process_)) << "error " << GetLastError();
}

// A test program started with WH_START_AND_WAIT=PATH starts that installer and
// waits, before any test, to be killed: a test program whose time ran out.
static const bool startedAndWaiting = [] {
    if (const char* setup = getenv("WH_START_AND_WAIT")) {
        SetupRun run(setup, Family::nt);
        Sleep(INFINITE);
    }
    return false;
}();

SetupRun::~SetupRun() {
    if (!exited_ && Running()) {
        Screenshot(CurrentTestName() + "-left-running");
        ADD_FAILURE() << "the installer was still running at the end of the test; open dialogs: "
                      << testing::PrintToString(Captions());
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    if (process_.hProcess) {
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

void SetupRun::Kill() { TerminateProcess(process_.hProcess, ChangeWatch::killedExitCode); }

bool SetupRun::Running() {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

HWND SetupRun::FindWindowNow(const std::string& caption) {
    FindState s{process_.dwProcessId, &caption, nullptr, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::vector<std::string> SetupRun::Captions() {
    std::vector<std::string> all;
    FindState s{process_.dwProcessId, nullptr, nullptr, &all};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&s));
    return all;
}

HWND SetupRun::WaitWindow(const std::string& caption, int timeoutMs, const std::string& busyCaption) {
    for (int waited = 0, busy = 0; waited < timeoutMs && busy < 600000;) {
        if (HWND w = FindWindowNow(caption)) {
            Settle(50);
            return w;
        }
        if (!Running()) break;
        Sleep(10);
        (!busyCaption.empty() && FindWindowNow(busyCaption) ? busy : waited) += 10;
    }
    std::string shot = CurrentTestName() + "-missing";
    Screenshot(shot);
    ADD_FAILURE() << "window \"" << caption << "\" did not appear"
                  << (Running() ? "" : " (the installer has ended)") << "; open dialogs: "
                  << testing::PrintToString(Captions()) << "; screenshot " << shot;
    return nullptr;
}

bool SetupRun::WaitGone(HWND window, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (!IsWindow(window) || !IsWindowVisible(window)) return true;
        Sleep(10);
    }
    return false;
}

DWORD SetupRun::WaitExit(int timeoutMs) {
    if (exited_) return exitCode_;
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        std::string shot = CurrentTestName() + "-no-exit";
        Screenshot(shot);
        ADD_FAILURE() << "the installer did not end; open dialogs: " << testing::PrintToString(Captions())
                      << "; screenshot " << shot;
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    GetExitCodeProcess(process_.hProcess, &exitCode_);
    exited_ = true;
    return exitCode_;
}

std::string WindowText(HWND window) {
    char text[8192] = "";
    DWORD_PTR n = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &n);
    return std::string(text, n);
}

std::string ItemText(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item ? WindowText(item) : std::string();
}

std::string MessageText(HWND box) { return ItemText(box, 0xFFFF); }

void SetItemText(HWND dialog, int id, const std::string& text) {
    DWORD_PTR r;
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &r);
}

void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

HWND FocusedControl(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus ? info.hwndFocus : dialog;
}

void PressKey(HWND dialog, WORD vk) {
    HWND target = FocusedControl(dialog);
    UINT scan = MapVirtualKeyA(vk, 0);
    PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

void PressEnter(HWND dialog) { PressKey(dialog, VK_RETURN); }
void PressEscape(HWND dialog) { PressKey(dialog, VK_ESCAPE); }

void CloseBox(HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool IsChecked(HWND dialog, int id) {
    DWORD_PTR r = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
    return r == BST_CHECKED;
}

void Settle(int ms) { Sleep(ms); }

ScreenImage CaptureScreen() {
    ScreenImage img;
    img.width = GetSystemMetrics(SM_CXSCREEN);
    img.height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = img.width;
    bi.bmiHeader.biHeight = -img.height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, img.width, img.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    img.pixels.assign(p, p + static_cast<size_t>(img.width) * img.height);
    for (uint32_t& px : img.pixels) px &= 0x00FFFFFF;
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return img;
}

std::string ShotsDir() {
    // WH_SHOTS is a host path; Wine's drive Z: is the host's root.
    char env[MAX_PATH] = "";
    std::string dir;
    if (GetEnvironmentVariableA("WH_SHOTS", env, sizeof env) && env[0] == '/') {
        dir = std::string("Z:") + env;
        for (char& c : dir)
            if (c == '/') c = '\\';
    } else {
        dir = DriverDir() + "\\shots";
    }
    MakeDirs(dir);
    return dir;
}

void Screenshot(const std::string& name) { SaveScreenshot(name, CaptureScreen()); }

void SaveScreenshot(const std::string& name, const ScreenImage& img) {
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = img.width;
    ih.biHeight = -img.height;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    DWORD bytes = static_cast<DWORD>(img.pixels.size() * 4);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + bytes;
    std::ofstream out(ShotsDir() + "\\" + name + ".bmp", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.write(reinterpret_cast<const char*>(&ih), sizeof ih);
    out.write(reinterpret_cast<const char*>(img.pixels.data()), bytes);
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    while (FindNextFileA(h, &data));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

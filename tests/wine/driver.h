// Drives the installer under Wine as a person would: starts Setup.exe, waits
// for a page or a message box by its caption, reads texts, types, presses
// buttons and keys, answers boxes, and reads the exit code. A window that does
// not come in time fails the test with a screenshot.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Which Windows family Wine reports to the installer; wow64 is the NT family
// in a 64-bit prefix, the installer running under WOW64.
enum class Family { nt, win98, wow64 };
const char* FamilyName(Family family);
// Whether this (32-bit) test runs in a 64-bit prefix.
bool RunningUnderWow64();
// The view where 64-bit Windows keeps what it reads itself: KEY_WOW64_64KEY under WOW64, else 0.
REGSAM NativeView();

// Paths and files in the Wine prefix.
std::string WindowsDir();
std::string WinInitPath();                       // C:\windows\WinInit.Ini
std::string SystemIniPath();                     // C:\windows\system.ini
std::string ReadFileText(const std::string& path);  // "" when missing
bool WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
void RemoveTree(const std::string& path);        // files and folders, quietly
void MakeDirs(const std::string& path);
bool CopyFileTo(const std::string& from, const std::string& to);
// A disk change in a folder that stands for a drive: its files taken out,
// those of `diskFolder` put in. False when a file of the new disk is not copied.
bool ChangeDisk(const std::string& drive, const std::string& diskFolder);
std::string DriverDir();                         // the folder of the test executable
std::string BuiltSetupPath();                    // the Setup.exe of this build
// A fresh scratch folder C:\whtest\<name>, emptied first.
std::string ScratchDir(const std::string& name);
// The names of the files (not folders) in `dir`, sorted.
std::vector<std::string> FilesIn(const std::string& dir);

class ChangeWatch;

class SetupRun {
public:
    // Starts `setupPath` (normally a copy in a scratch "disk" folder) reporting `family`,
    // in `currentDir` (default: the program's own folder); under `watch`, when one is given.
    SetupRun(const std::string& setupPath, Family family, const std::string& currentDir = "",
             ChangeWatch* watch = nullptr);
    SetupRun(const std::wstring& setupPath, Family family);  // a Setup.exe the ANSI code page cannot name
    ~SetupRun();  // ends a process still running, with a screenshot

    // A visible dialog of the installer with exactly this caption; 0 and a test
    // failure (with a screenshot) after `timeoutMs`. The clock stops while a
    // dialog captioned `busyCaption` is open (a progress page that ends by
    // itself, slowly on a loaded machine), for ten minutes at the most.
    HWND WaitWindow(const std::string& caption, int timeoutMs = 15000, const std::string& busyCaption = "");
    // Like WaitWindow, but no failure: 0 when it does not come.
    HWND FindWindowNow(const std::string& caption);
    // Waits until the window is gone or hidden (a page can come back with the same caption).
    bool WaitGone(HWND window, int timeoutMs = 15000);
    // The process's exit code; fails the test when it does not end in time.
    DWORD WaitExit(int timeoutMs = 30000);
    bool Running();
    // Ends the process at once, as the task list would.
    void Kill();
    DWORD Pid() const { return process_.dwProcessId; }
    // Every visible top-level dialog caption of the installer right now.
    std::vector<std::string> Captions();

private:
    PROCESS_INFORMATION process_{};
    bool exited_ = false;
    DWORD exitCode_ = 0;
};

// Controls of another process's dialog.
std::string ItemText(HWND dialog, int id);
std::string WindowText(HWND window);
std::string MessageText(HWND box);                 // a message box's text (static 0xFFFF)
void SetItemText(HWND dialog, int id, const std::string& text);
void Click(HWND dialog, int id);                  // BM_CLICK, posted: the click may open a modal box
void PressKey(HWND dialog, WORD vk);              // to the focused control, as the keyboard would
void PressEnter(HWND dialog);
void PressEscape(HWND dialog);
void CloseBox(HWND dialog);                       // the caption's close box
bool IsChecked(HWND dialog, int id);
HWND FocusedControl(HWND dialog);
// Lets the target settle (pending messages handled) before a check.
void Settle(int ms = 150);

// The whole screen, 32-bit BGRA rows top-down.
struct ScreenImage {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
ScreenImage CaptureScreen();
// Saves the screen as <shots>\<name>.bmp (turned into PNG by the test script).
void Screenshot(const std::string& name);
void SaveScreenshot(const std::string& name, const ScreenImage& screen);  // one taken earlier
// <shots>: the folder WH_SHOTS names on the host, made when missing.
std::string ShotsDir();
// The current test's name, for screenshot and scratch names.
std::string CurrentTestName();

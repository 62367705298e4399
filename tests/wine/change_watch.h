// A program run under a debugger that stops it just before each call of the
// system that changes a file or the registry (ntdll's NtCreateFile that may
// create, empty or delete, NtWriteFile, NtSetInformationFile, NtSetValueKey,
// NtDeleteKey, NtDeleteValueKey): the calls are counted and named, and the
// program can be ended with TerminateProcess just before the n-th, which then
// never happens. The debugger's loop runs on a thread of its own, which
// starts the program, so that the test's thread can drive the pages meanwhile.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

struct Change {
    std::string call;    // "create", "delete", "write", "cut", "rename", "set value", "delete value", "delete key"
    std::string target;  // the file's full path, or the registry value's name
    uint32_t size = 0;   // the bytes of a write
};

class ChangeWatch {
public:
    static constexpr DWORD killedExitCode = 99;

    // Ends the program before change `killBefore` (0-based); -1 lets it run.
    // With `afterFileStep`, it ends instead just after the program's file step
    // of that number (0-based: a file created or renamed), before anything
    // else: a file made and still empty, a file set aside and nothing in its place.
    explicit ChangeWatch(int killBefore = -1, int afterFileStep = -1)
        : killBefore_(killBefore), afterFileStep_(afterFileStep) {}
    ~ChangeWatch();  // ends a program still running
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    // Starts the program under the watch; `process` gets handles of its own.
    bool Start(const std::string& application, const std::string& commandLine, const std::string& dir,
               PROCESS_INFORMATION& process);
    // Once the program has ended: every change it reached (the killed one last, not carried out).
    const std::vector<Change>& Changes();

private:
    void Watch(std::string application, std::string commandLine, std::string dir);
    int killBefore_, afterFileStep_, fileSteps_ = 0;
    std::vector<Change> changes_;
    std::thread thread_;
    HANDLE started_ = nullptr;  // set once the program exists (or could not be started)
    PROCESS_INFORMATION process_{};  // the watch's own handles
    PROCESS_INFORMATION handed_{};   // copies for the caller
};

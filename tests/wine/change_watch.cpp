#include "tests/wine/change_watch.h"

#include <map>

namespace {

struct Breakpoint {
    const char* function;
    BYTE* address;
    BYTE original;
};

const BYTE int3 = 0xCC;

DWORD ReadDword(HANDLE process, DWORD address) {
    DWORD value = 0;
    SIZE_T n = 0;
    ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &value, sizeof value, &n);
    return value;
}

// A UNICODE_STRING of the stopped program, as plain text.
std::string ReadName(HANDLE process, DWORD unicodeString) {
    if (!unicodeString) return "";
    DWORD lengths = ReadDword(process, unicodeString), buffer = ReadDword(process, unicodeString + 4);
    std::wstring wide((lengths & 0xFFFF) / 2, L'\0');
    SIZE_T n = 0;
    ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<uintptr_t>(buffer)), &wide[0], wide.size() * 2, &n);
    return std::string(wide.begin(), wide.end());
}

std::string HandleName(HANDLE process, DWORD handle) {
    HANDLE own = nullptr;
    if (!DuplicateHandle(process, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle)), GetCurrentProcess(), &own,
                         0, FALSE, DUPLICATE_SAME_ACCESS))
        return "";
    char path[MAX_PATH * 2] = "";
    DWORD n = GetFinalPathNameByHandleA(own, path, sizeof path, 0);
    CloseHandle(own);
    return n < sizeof path ? path : "";
}

// "C:\..." from the system's "\??\C:\..." and "\\?\C:\...".
std::string PlainPath(std::string path) {
    if (path.rfind("\\??\\", 0) == 0 || path.rfind("\\\\?\\", 0) == 0) path = path.substr(4);
    return path;
}

// What the call stopped at `args` (its first argument) is about to change; false when it changes nothing.
bool Describe(HANDLE process, const std::string& function, DWORD args, Change& c) {
    DWORD arg[9];
    for (int i = 0; i < 9; ++i)
        arg[i] = ReadDword(process, args + 4 * i);
    if (function == "NtCreateFile") {
        const DWORD fileOpen = 1, deleteOnClose = 0x1000;
        c.call = arg[8] & deleteOnClose ? "delete" : "create";
        c.target = PlainPath(ReadName(process, ReadDword(process, arg[2] + 8)));
        return arg[7] != fileOpen || (arg[8] & deleteOnClose);
    }
    if (function == "NtSetValueKey" || function == "NtDeleteValueKey") {
        c.call = function == "NtSetValueKey" ? "set value" : "delete value";
        c.target = ReadName(process, arg[1]);
        return true;
    }
    c.target = PlainPath(HandleName(process, arg[0]));
    if (function == "NtDeleteKey") c.call = "delete key";
    if (function == "NtWriteFile") c.call = "write", c.size = arg[6];
    // Of the information a file has, its name, its end and its deletion; a seek changes nothing.
    const DWORD rename = 10, disposition = 13, endOfFile = 20;
    if (function == "NtSetInformationFile") {
        c.call = arg[4] == endOfFile ? "cut" : arg[4] == rename ? "rename" : "delete";
        return arg[4] == endOfFile || arg[4] == rename || arg[4] == disposition;
    }
    return true;
}

}  // namespace

ChangeWatch::~ChangeWatch() {
    if (process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(process_.hProcess, killedExitCode);
    if (thread_.joinable()) thread_.join();
    if (process_.hProcess) CloseHandle(process_.hProcess);
    if (started_) CloseHandle(started_);
}

bool ChangeWatch::Start(const std::string& application, const std::string& commandLine, const std::string& dir,
                        PROCESS_INFORMATION& process) {
    started_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread(&ChangeWatch::Watch, this, application, commandLine, dir);
    WaitForSingleObject(started_, INFINITE);
    process = handed_;
    return handed_.hProcess != nullptr;
}

const std::vector<Change>& ChangeWatch::Changes() {
    if (thread_.joinable()) thread_.join();
    return changes_;
}

// ntdll lies at the same address in every process of the prefix: each
// breakpoint is checked against this process's own bytes before it is set.
void ChangeWatch::Watch(std::string application, std::string commandLine, std::string dir) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(application.c_str(), &commandLine[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                        dir.c_str(), &si, &process_)) {
        SetEvent(started_);
        return;
    }
    HANDLE self = GetCurrentProcess();
    handed_ = process_;
    DuplicateHandle(self, process_.hProcess, self, &handed_.hProcess, 0, FALSE, DUPLICATE_SAME_ACCESS);
    DuplicateHandle(self, process_.hThread, self, &handed_.hThread, 0, FALSE, DUPLICATE_SAME_ACCESS);
    SetEvent(started_);
    HMODULE ntdll = GetModuleHandleA("ntdll");
    std::vector<Breakpoint> points;
    for (const char* f :
         {"NtCreateFile", "NtWriteFile", "NtSetInformationFile", "NtSetValueKey", "NtDeleteKey", "NtDeleteValueKey"})
        points.push_back({f, reinterpret_cast<BYTE*>(GetProcAddress(ntdll, f)), 0});
    std::map<DWORD, Breakpoint*> stepping;  // thread -> breakpoint to set again after one step
    bool armed = false;
    for (DEBUG_EVENT e; WaitForDebugEvent(&e, INFINITE);) {
        DWORD status = DBG_CONTINUE;
        if (e.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) CloseHandle(e.u.CreateProcessInfo.hFile);
        if (e.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) CloseHandle(e.u.LoadDll.hFile);
        if (e.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            ContinueDebugEvent(e.dwProcessId, e.dwThreadId, status);
            break;
        }
        if (e.dwDebugEventCode == EXCEPTION_DEBUG_EVENT) {
            const EXCEPTION_RECORD& r = e.u.Exception.ExceptionRecord;
            HANDLE thread = OpenThread(THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, e.dwThreadId);
            CONTEXT context{};
            context.ContextFlags = CONTEXT_FULL;
            SIZE_T n = 0;
            Breakpoint* hit = nullptr;
            for (Breakpoint& b : points)
                if (b.address == r.ExceptionAddress) hit = &b;
            if (r.ExceptionCode == EXCEPTION_BREAKPOINT && !armed) {
                // The loader's own breakpoint: every DLL of the import table is there now.
                armed = true;
                for (Breakpoint& b : points)
                    if (ReadProcessMemory(process_.hProcess, b.address, &b.original, 1, &n) && b.original == *b.address)
                        WriteProcessMemory(process_.hProcess, b.address, &int3, 1, &n);
                FlushInstructionCache(process_.hProcess, nullptr, 0);
            } else if (r.ExceptionCode == EXCEPTION_BREAKPOINT && hit) {
                GetThreadContext(thread, &context);
                Change c;
                if (Describe(process_.hProcess, hit->function, context.Esp + 4, c)) {
                    changes_.push_back(c);
                    if (static_cast<int>(changes_.size()) - 1 == killBefore_ ||
                        (afterFileStep_ >= 0 && fileSteps_ > afterFileStep_))
                        TerminateProcess(process_.hProcess, killedExitCode);
                    fileSteps_ += c.call == "create" || c.call == "rename";
                }
                // The call goes on from its first instruction, put back for one step.
                WriteProcessMemory(process_.hProcess, hit->address, &hit->original, 1, &n);
                FlushInstructionCache(process_.hProcess, nullptr, 0);
                context.Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(hit->address));
                context.EFlags |= 0x100;
                SetThreadContext(thread, &context);
                stepping[e.dwThreadId] = hit;
            } else if (r.ExceptionCode == EXCEPTION_SINGLE_STEP && stepping.count(e.dwThreadId)) {
                WriteProcessMemory(process_.hProcess, stepping[e.dwThreadId]->address, &int3, 1, &n);
                FlushInstructionCache(process_.hProcess, nullptr, 0);
                stepping.erase(e.dwThreadId);
            } else if (r.ExceptionCode != EXCEPTION_BREAKPOINT) {
                status = DBG_EXCEPTION_NOT_HANDLED;
            }
            if (thread) CloseHandle(thread);
        }
        ContinueDebugEvent(e.dwProcessId, e.dwThreadId, status);
    }
    CloseHandle(process_.hThread);
}

// Runs a shell command as a user would and keeps what it printed, for tests
// that check programs through their command lines.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

struct CommandRun {
    int status;          // the exit status, -1 when it did not run or end normally
    std::string output;  // stdout and stderr
};

inline CommandRun RunCommand(const std::string& command) {
    CommandRun run{-1, ""};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) run.output.append(buf, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

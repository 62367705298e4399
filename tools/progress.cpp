#include "tools/progress.h"

#include <cstdio>
#include <unistd.h>

Progress::Progress(std::string label, bool quiet)
    : label_(std::move(label)), quiet_(quiet), terminal_(isatty(fileno(stderr)) != 0) {}

void Progress::Update(std::size_t done, std::size_t total) {
    if (quiet_) return;
    int percent = total ? int(done * 100 / total) : 100;
    int step = terminal_ ? percent : percent / 10 * 10;
    if (step == shown_) return;
    shown_ = step;
    if (terminal_) {
        std::fprintf(stderr, "\r%s: %3d%%", label_.c_str(), percent);
    } else {
        std::fprintf(stderr, "%s: %d%%\n", label_.c_str(), step);
    }
    std::fflush(stderr);
}

void Progress::Finish() {
    if (quiet_) return;
    if (terminal_ && shown_ >= 0) std::fprintf(stderr, "\n");
    shown_ = -1;
}

// Progress of long work on stderr: a percentage that rewrites itself on a
// terminal, a line every 10 % otherwise. Silent when quiet.
#pragma once

#include <cstddef>
#include <string>

class Progress {
public:
    Progress(std::string label, bool quiet);
    void Update(std::size_t done, std::size_t total);
    void Finish();

private:
    std::string label_;
    bool quiet_;
    bool terminal_;
    int shown_ = -1;
};

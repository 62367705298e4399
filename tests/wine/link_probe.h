// Reads shortcut files back the way the shell would, for the tests.
#pragma once

#include <cstdint>
#include <string>

struct LinkFile {
    bool loaded = false;
    std::string target;
    std::string workingDir;
    uint32_t showCommand = 0;  // from the file's bytes: Wine's GetShowCmd after a load always answers 1
};

LinkFile ReadLinkFile(const std::string& path);

// The user's Programs folder as the shell knows it.
std::string ProgramsDir();

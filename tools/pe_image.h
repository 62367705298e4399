// A Windows executable as the installer sees its file (engine/appended_data.h):
// where its own bytes end, and where the data appended to it (a package
// table, for instance) lies, before a signature's certificate table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/appended_data.h"

// The layout of `size` bytes; throws ToolError naming `what` when they are
// not a Windows executable or are cut short.
appended::Layout ExecutableLayout(const uint8_t* data, std::size_t size, const std::string& what);

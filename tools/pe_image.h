// Where a Windows executable's own bytes end: headers, sections, the COFF
// symbol table and the certificate area. Anything after that was appended
// (a package table, for instance).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The end of the executable image within `size` bytes; throws ToolError when
// the bytes are not a Windows executable or are cut short.
std::size_t ExecutableImageEnd(const uint8_t* data, std::size_t size, const std::string& what);

// Small helpers shared by every part of the installer: path building and byte clamps.
#pragma once

#include <cstdint>
#include <string>

inline uint8_t ByteMin(uint8_t a, uint8_t b) { return a < b ? a : b; }
inline uint8_t ByteMax(uint8_t a, uint8_t b) { return a > b ? a : b; }

// Directory + name with exactly one backslash between them; an empty directory
// gives the name alone, a directory ending in a backslash gets none added.
std::string PathJoin(const std::string& directory, const std::string& name);

// Everything up to and including the last backslash or colon; empty when there is none.
std::string DirectoryPart(const std::string& path);

// The extension from the last dot, upper-cased, when no backslash or colon follows that dot; else empty.
std::string UpperExtension(const std::string& name);

// `name` with its extension (from the last dot) replaced by `extension`; appended when there is none.
std::string ReplaceExtension(const std::string& name, const std::string& extension);

// The main executable's own name when `name` is its staged ".$$$" copy (the
// restart renames that copy into place); any other name unchanged.
std::string UnstagedExecutable(const std::string& name);

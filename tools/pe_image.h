// A Windows executable as the installer sees its file (engine/appended_data.h):
// where its own bytes end, and where the data appended to it (a package
// table, for instance) lies, before a signature's certificate table; and the
// PE checksum of the whole file, which appending data makes stale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/appended_data.h"

// The layout of `size` bytes; throws ToolError naming `what` when they are
// not a Windows executable or are cut short.
appended::Layout ExecutableLayout(const uint8_t* data, std::size_t size, const std::string& what);

// The file offset of the optional header's checksum field, or 0 when the
// header is too short to hold one. The bytes are a Windows executable.
uint32_t ChecksumField(const uint8_t* data, std::size_t size);

// The PE checksum of a whole file as the system computes it (imagehlp's
// CheckSumMappedFile): its little-endian 16-bit words, the checksum field
// counted as zero and an odd last byte as a word of its own, summed with each
// carry folded back in, plus the file's length. `field` as ChecksumField gives it.
uint32_t PeChecksum(const uint8_t* data, std::size_t size, uint32_t field);

// Sets the checksum field of a Windows executable to the file's checksum, where it has one.
void StoreChecksum(std::vector<uint8_t>& file);

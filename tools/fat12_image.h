// A 1.44 MB floppy image, written byte by byte: no mounting, no root rights.
// The byte layout is fat12_layout.h's, which the image reader shares.
//
//   sector 0        boot sector: jump, BPB, extended BPB, boot code, 0x55AA
//   sectors 1-9     FAT 1 (12-bit entries; 0 and 1 hold the media byte)
//   sectors 10-18   FAT 2, a copy
//   sectors 19-32   root folder: 224 entries of 32 bytes, the volume label first
//   sectors 33-2879 data: cluster 2 is sector 33, one sector a cluster
//
// Files are laid out whole and in order, each in consecutive clusters; an
// empty file has no cluster. Every date and time is one fixed moment, so the
// same files give the same image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/fat12_layout.h"

namespace fat12 {

constexpr uint32_t sectorSize = 512;
constexpr uint32_t totalSectors = 2880;  // 80 tracks, 2 heads, 18 sectors a track
constexpr uint32_t imageSize = totalSectors * sectorSize;  // 1,474,560
constexpr uint32_t fatSectors = 9;
constexpr uint32_t fatCopies = 2;
constexpr uint8_t media = 0xF0;
constexpr uint32_t rootEntries = 224;
constexpr uint32_t firstDataSector = 1 + fatCopies * fatSectors + rootEntries * entry::size / sectorSize;  // 33
constexpr uint32_t clusterCount = totalSectors - firstDataSector;                 // 2,847
constexpr uint32_t dataCapacity = clusterCount * sectorSize;                      // 1,457,664

// The 11 bytes of a folder entry's name ("SETUP   EXE"); throws ToolError
// when `name` is not a plain 8.3 name.
std::string ShortName(const std::string& name);

// The image of a disk labelled `label` (at most 11 characters) holding
// `files`. Throws ToolError, and writes nothing, when a name is not 8.3, two
// names are the same, the files need more than the root folder's entries or
// more clusters than the disk has.
std::vector<uint8_t> MakeImage(const std::string& label, const std::vector<File>& files);

}  // namespace fat12

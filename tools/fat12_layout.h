// The bytes of a FAT12 volume, as both the image writer and the image reader
// see them: where the boot sector keeps its parameters, how a folder entry is
// laid out, and how two 12-bit FAT entries share three bytes.
//
//   boot sector  jump, BIOS parameter block (BPB), boot code, 0x55AA
//   FATs         one entry a cluster; entries 0 and 1 hold the media byte
//   root folder  a fixed number of 32-byte entries
//   data         cluster 2 first
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fat12 {

// A file of a root folder: written under its 8.3 name in capitals, read back
// as "NAME.EXT".
struct File {
    std::string name;
    std::vector<uint8_t> data;
};

// Offsets in the boot sector.
namespace bpb {
constexpr std::size_t jump = 0;                // 3 bytes: EB xx 90
constexpr std::size_t oemName = 3;             // 8 bytes
constexpr std::size_t bytesPerSector = 11;     // 2
constexpr std::size_t sectorsPerCluster = 13;  // 1
constexpr std::size_t reservedSectors = 14;    // 2: the boot sector and any before the FATs
constexpr std::size_t fatCount = 16;           // 1
constexpr std::size_t rootEntries = 17;        // 2
constexpr std::size_t totalSectors16 = 19;     // 2: 0 when the count is in totalSectors32
constexpr std::size_t media = 21;              // 1
constexpr std::size_t sectorsPerFat = 22;      // 2
constexpr std::size_t sectorsPerTrack = 24;    // 2
constexpr std::size_t heads = 26;              // 2
constexpr std::size_t hiddenSectors = 28;      // 4
constexpr std::size_t totalSectors32 = 32;     // 4
constexpr std::size_t driveNumber = 36;        // 1
constexpr std::size_t extendedSignature = 38;  // 1: 0x29 when the next three fields follow
constexpr std::size_t volumeId = 39;           // 4
constexpr std::size_t volumeLabel = 43;        // 11
constexpr std::size_t fileSystemType = 54;     // 8: "FAT12   ", informative only
constexpr std::size_t bootCode = 62;
constexpr std::size_t bootMark = 510;          // 0x55, 0xAA
constexpr uint8_t extendedBpb = 0x29;
}  // namespace bpb

// A folder entry.
namespace entry {
constexpr std::size_t size = 32;
constexpr std::size_t name = 0;          // 11 bytes, 8 + 3, padded with spaces
constexpr std::size_t attributes = 11;   // 1
constexpr std::size_t createTime = 14;   // 2
constexpr std::size_t createDate = 16;   // 2
constexpr std::size_t accessDate = 18;   // 2
constexpr std::size_t writeTime = 22;    // 2
constexpr std::size_t writeDate = 24;    // 2
constexpr std::size_t firstCluster = 26; // 2
constexpr std::size_t fileSize = 28;     // 4

constexpr uint8_t endOfFolder = 0x00;    // first name byte: this entry and all after it are unused
constexpr uint8_t deleted = 0xE5;        // first name byte: a removed file
constexpr uint8_t startsWithE5 = 0x05;   // first name byte: a name whose first byte is really 0xE5

constexpr uint8_t readOnly = 0x01, hidden = 0x02, systemFile = 0x04, volumeLabel = 0x08, directory = 0x10,
                  archive = 0x20;
constexpr uint8_t longNamePart = readOnly | hidden | systemFile | volumeLabel;  // a VFAT long-name piece
constexpr uint8_t attributeBits = 0x3F;  // the two above are reserved
}  // namespace entry

// FAT entry values.
constexpr uint32_t firstCluster = 2;      // the first data cluster
constexpr uint16_t freeCluster = 0x000;
constexpr uint16_t badCluster = 0xFF7;
constexpr uint16_t endOfChain = 0xFFF;    // written; anything from 0xFF8 up is read as the end
constexpr uint16_t endOfChainLeast = 0xFF8;
constexpr uint32_t mostClusters = 4084;   // from 4085 clusters on a volume is FAT16

// Media bytes a FAT volume may have: F0 (removable) or F8 to FF.
inline bool IsMediaByte(uint8_t m) { return m == 0xF0 || m >= 0xF8; }

inline uint32_t Get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }
inline void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

// Entry n of a FAT takes the 12 bits at byte n * 1.5: the low ones for an even n.
inline std::size_t FatEntryOffset(uint32_t n) { return n + n / 2; }

inline uint16_t FatEntry(const uint8_t* fat, uint32_t n) {
    uint32_t pair = Get16(fat + FatEntryOffset(n));
    return uint16_t(n % 2 == 0 ? pair & 0xFFF : pair >> 4);
}

inline void SetFatEntry(uint8_t* fat, uint32_t n, uint16_t value) {
    uint8_t* p = fat + FatEntryOffset(n);
    if (n % 2 == 0) {
        p[0] = uint8_t(value);
        p[1] = uint8_t((p[1] & 0xF0) | (value >> 8 & 0x0F));
    } else {
        p[0] = uint8_t((p[0] & 0x0F) | (value & 0x0F) << 4);
        p[1] = uint8_t(value >> 4);
    }
}

}  // namespace fat12

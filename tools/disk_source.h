// Where the checking commands read a disk set from: the disk folders that
// wardpack build writes, floppy images (as written, or copied back from
// floppies with dd), or a mix of both. Whatever the source, the result is the
// installer's and the volumes' bytes, which list, verify and extract use alike.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace diskset {

struct DiskFile {
    std::string where;  // for messages: "out/disk1/Setup.exe", or "copy1.img: SETUP.EXE"
    std::vector<uint8_t> data;
};

struct SetFiles {
    DiskFile installer;
    std::vector<DiskFile> volumes;  // volumes 1 to 3
};

// A floppy image is at most 2.88 MB; a larger file is refused before it is read.
constexpr uint64_t largestImage = 4u << 20;

// The set's files on `disks`: one folder holding disk1/ to disk3/ or all the
// files, or one to three disks, each a folder or a FAT12 image, in any order.
// Names match in any case. Says on `out` what each image holds. Throws
// ToolError naming a file that is on no disk or on two, or an image that
// cannot be read and why.
SetFiles ReadDiskSet(const std::vector<std::filesystem::path>& disks, const std::string& installerName,
                     std::ostream& out);

// The installer: `source` itself, or the file `installerName` in a disk 1
// folder or image. A file that does not start as a Windows executable is
// read as an image.
DiskFile ReadInstaller(const std::filesystem::path& source, const std::string& installerName);

}  // namespace diskset

// The packaging tool's commands, apart from their command line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "lzh/lzh_encoder.h"
#include "tools/disk_set.h"

namespace pack {

struct BuildOptions {
    std::filesystem::path productDir;
    std::filesystem::path fileList;     // one name a line, main executable first; '#' comments
    std::filesystem::path installer;    // an already built installer
    std::filesystem::path outDir;
    std::string installerName;          // on disk 1; the installer's own name when empty
    std::string mainName = "Wardhavn.Exe";  // the installed main executable: no entry may take it
    bool replaceTable = false;          // the installer may already carry a table: replace it
    LzhParse parse = LzhParse::optimal;
    diskset::DiskSpace space;
    std::vector<uint64_t> volumeSizes;  // none, or volumes 1 and 2
    uint64_t signatureRoom = 16384;     // kept free on disk 1 for a signature added after build
    bool images = false;                // also disk1.img .. disk3.img
    bool quiet = false;
    unsigned codePage = 0;              // the target's ANSI code page for the names; 0: ASCII names only
};

// The product's files in stream order, from the list file.
std::vector<std::string> ReadFileList(const std::filesystem::path& list);

void Build(const BuildOptions& options, std::ostream& out);

// Prints the table of an installer and checks it; false when it is not sound.
// `source` is the installer, or a disk 1 folder or image holding it as `installerName`.
// Names are shown in `codePage`, or else in the one the table records.
bool List(const std::filesystem::path& source, const std::string& installerName, std::ostream& out,
          unsigned codePage = 0);

struct UnpackOptions {
    std::vector<std::filesystem::path> disks;  // as diskset::ReadDiskSet takes them
    std::string installerName = "Setup.exe";
    std::string mainName = "Wardhavn.Exe";
    bool quiet = false;
    bool force = false;  // extract: unpack a set that fails its checks, saying so
    unsigned codePage = 0;  // the names' code page, over the one the table records
};

// Decodes a disk set and checks it against its table; with a product folder
// and list, also compares every file byte for byte. False on any mismatch.
bool Verify(const UnpackOptions& options, const std::filesystem::path& productDir,
            const std::filesystem::path& fileList, std::ostream& out);

// Unpacks a disk set: the main executable as `mainName`, each entry by its
// name, help files (.HLP) under Help/ in place of the Windows help folder.
// False when the stream ends early (--force): the files it does not hold whole
// are named on stderr and not written.
bool Extract(const UnpackOptions& options, const std::filesystem::path& outDir, std::ostream& out);

}  // namespace pack

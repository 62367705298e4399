// A distribution disk set: the installer (with the package table appended)
// and volume 1 on disk 1, volumes 2 and 3 on disks 2 and 3. The volumes are
// the compressed stream cut in three; any of them may be empty.
//
//   OUT/disk1/<installer>   installer image + package table
//   OUT/disk1/Wardhavn.001  stream bytes [0, v1)
//   OUT/disk2/Wardhavn.002  stream bytes [v1, v1 + v2)
//   OUT/disk3/Wardhavn.003  the rest
//   OUT/disk1.img ...       with --images: each folder as a 1.44 MB floppy image
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "tools/file_io.h"

namespace diskset {

constexpr unsigned diskCount = 3;
constexpr uint64_t floppyCapacity = 1457664;  // a 1.44 MB floppy: 2,847 clusters of 512 bytes
constexpr uint64_t floppyCluster = 512;

std::string VolumeName(unsigned disk);                 // "Wardhavn.001" ...
std::string DiskFolder(unsigned disk);                 // "disk1" ...
std::string ImageName(unsigned disk);                  // "disk1.img" ...
std::string VolumeLabel(unsigned disk);                // "WARDHAVEN 1" ...

struct DiskSpace {
    uint64_t capacity = floppyCapacity;
    uint64_t cluster = floppyCluster;
    uint64_t Used(uint64_t fileSize) const { return (fileSize + cluster - 1) / cluster * cluster; }
};

// Volume sizes for a stream of `streamSize` bytes: as much as fits on each
// disk in turn, disk 1 sharing with the installer. `fixed` (0 or 2 sizes)
// sets volumes 1 and 2; volume 3 takes the rest. Throws ToolError when the
// stream or a chosen volume does not fit.
std::vector<uint64_t> PlanVolumes(uint64_t streamSize, uint64_t installerSize, const DiskSpace& space,
                                  const std::vector<uint64_t>& fixed);

// Writes `root`/disk1.img .. disk3.img from the disk1 .. disk3 folders, each
// file under its 8.3 name; all three replace the earlier ones, or none does.
// Throws ToolError, leaving no image behind, when a folder's files do not make one.
void WriteImages(const std::filesystem::path& root, std::ostream& out);

// The same images, made and written under temporary names, to take their
// places at the next commit of `outputs`. Throws ToolError when a folder's
// files do not make one or one cannot be written.
void StageImages(const std::filesystem::path& root, StagedFiles& outputs);
void ReportImages(std::ostream& out);  // what the images hold, once in place

// The images of an earlier set: removed with the next commit of `outputs`.
void StageImageRemoval(const std::filesystem::path& root, StagedFiles& outputs);

// Whether a plan for `space` always fits a 1.44 MB floppy image.
bool FitsFloppyImages(const DiskSpace& space);

}  // namespace diskset

#include "tools/disk_set.h"

#include <algorithm>
#include <ostream>

#include "tools/fat12_image.h"
#include "tools/file_io.h"
#include "tools/tool_error.h"

namespace fs = std::filesystem;

namespace diskset {

std::string VolumeName(unsigned disk) { return "Wardhavn.00" + std::to_string(disk); }
std::string DiskFolder(unsigned disk) { return "disk" + std::to_string(disk); }
std::string ImageName(unsigned disk) { return DiskFolder(disk) + ".img"; }
std::string VolumeLabel(unsigned disk) { return "WARDHAVEN " + std::to_string(disk); }

// The fit check and the image writer count the same clusters.
static_assert(floppyCapacity == fat12::dataCapacity && floppyCluster == fat12::sectorSize);

bool FitsFloppyImages(const DiskSpace& space) {
    return space.capacity <= floppyCapacity && space.cluster % floppyCluster == 0;
}

namespace {

// Room on each disk in whole clusters: a volume may end inside its last one.
std::vector<uint64_t> RoomOnDisks(uint64_t installerSize, const DiskSpace& space) {
    if (space.cluster == 0 || space.capacity < space.cluster)
        throw ToolError("disk capacity and cluster size must be positive, capacity at least one cluster");
    uint64_t installerUsed = space.Used(installerSize);
    if (installerUsed > space.capacity)
        throw ToolError("the installer (" + std::to_string(installerSize) + " bytes) alone does not fit disk 1 (" +
                        std::to_string(space.capacity) + " bytes)");
    uint64_t wholeDisk = space.capacity / space.cluster * space.cluster;
    return {(space.capacity - installerUsed) / space.cluster * space.cluster, wholeDisk, wholeDisk};
}

std::vector<uint64_t> FillInTurn(uint64_t streamSize, const std::vector<uint64_t>& room) {
    std::vector<uint64_t> sizes(diskCount, 0);
    uint64_t left = streamSize;
    for (unsigned d = 0; d < diskCount; ++d) {
        sizes[d] = std::min(left, room[d]);
        left -= sizes[d];
    }
    if (left > 0)
        throw ToolError("the payload does not fit the disks: the compressed stream has " +
                        std::to_string(streamSize) + " bytes, the three disks hold " +
                        std::to_string(room[0] + room[1] + room[2]) + " beside the installer");
    return sizes;
}

std::vector<uint64_t> FixedVolumes(uint64_t streamSize, const std::vector<uint64_t>& fixed,
                                   const std::vector<uint64_t>& room, const DiskSpace& space) {
    if (fixed.size() != 2) throw ToolError("--volume-sizes takes two sizes: volume 1 and volume 2");
    if (fixed[0] > streamSize || fixed[1] > streamSize - fixed[0])  // no sum: it could wrap
        throw ToolError("volume sizes " + std::to_string(fixed[0]) + " + " + std::to_string(fixed[1]) +
                        " exceed the compressed stream (" + std::to_string(streamSize) + " bytes)");
    std::vector<uint64_t> sizes = {fixed[0], fixed[1], streamSize - fixed[0] - fixed[1]};
    for (unsigned d = 0; d < diskCount; ++d)
        if (space.Used(sizes[d]) > room[d])
            throw ToolError("volume " + std::to_string(d + 1) + " (" + std::to_string(sizes[d]) +
                            " bytes) does not fit disk " + std::to_string(d + 1) + " (room for " +
                            std::to_string(room[d]) + " bytes)");
    return sizes;
}

}  // namespace

std::vector<uint64_t> PlanVolumes(uint64_t streamSize, uint64_t installerSize, const DiskSpace& space,
                                  const std::vector<uint64_t>& fixed) {
    std::vector<uint64_t> room = RoomOnDisks(installerSize, space);
    return fixed.empty() ? FillInTurn(streamSize, room) : FixedVolumes(streamSize, fixed, room, space);
}

namespace {

// A disk folder's files, in name order so that the same folder gives the same
// image. Temporary files, of a command at work or left by one that failed, are
// no part of the disk.
std::vector<fat12::File> DiskFiles(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        throw ToolError(folder.string() + ": no such folder (images are made from a disk set's disk1 to disk3)");
    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (IsTemporaryName(entry.path().filename().string())) continue;
        if (!entry.is_regular_file())
            throw ToolError(entry.path().string() + ": not a file; a disk's image holds its files alone");
        paths.push_back(entry.path());
    }
    if (ec) throw ToolError(folder.string() + ": cannot list: " + ec.message());
    std::sort(paths.begin(), paths.end());
    std::vector<fat12::File> files;
    for (const fs::path& p : paths) files.push_back({p.filename().string(), ReadWholeFile(p)});
    return files;
}

// A disk whose files outgrow a floppy, said as the maker meets it: which disk, by how much.
void CheckFitsFloppy(unsigned disk, const fs::path& folder, const std::vector<fat12::File>& files) {
    const DiskSpace floppy;
    uint64_t used = 0;
    for (const fat12::File& f : files) used += floppy.Used(f.data.size());
    if (used <= floppy.capacity) return;
    throw ToolError("disk " + std::to_string(disk) + " is too full for its image: the files in " + folder.string() +
                    " take " + std::to_string(used) + " bytes of a 1.44 MB floppy's " +
                    std::to_string(floppy.capacity) + ", " + std::to_string(used - floppy.capacity) + " bytes over" +
                    (disk == 1 ? " (a signature bigger than build's --signature-room does this)" : ""));
}

std::vector<std::vector<uint8_t>> MakeImages(const fs::path& root) {
    std::vector<std::vector<uint8_t>> images;
    for (unsigned d = 1; d <= diskCount; ++d) {
        fs::path folder = root / DiskFolder(d);
        std::vector<fat12::File> files = DiskFiles(folder);
        CheckFitsFloppy(d, folder, files);
        try {
            images.push_back(fat12::MakeImage(VolumeLabel(d), files));
        } catch (const ToolError& e) {
            throw ToolError(folder.string() + ": no image made: " + e.what());
        }
    }
    return images;
}

void Stage(const fs::path& root, const std::vector<std::vector<uint8_t>>& images, StagedFiles& outputs) {
    for (unsigned d = 1; d <= diskCount; ++d)
        outputs.Write(root / ImageName(d), images[d - 1].data(), images[d - 1].size());
}

// A folder whose disk1 to disk3 hold their volumes: its images are the tool's to replace.
bool IsDiskSet(const fs::path& root) {
    std::error_code ec;
    for (unsigned d = 1; d <= diskCount; ++d)
        if (!fs::is_regular_file(root / DiskFolder(d) / VolumeName(d), ec)) return false;
    return true;
}

}  // namespace

void StageImages(const fs::path& root, StagedFiles& outputs) { Stage(root, MakeImages(root), outputs); }

void ReportImages(std::ostream& out) {
    for (unsigned d = 1; d <= diskCount; ++d)
        out << ImageName(d) << ": " << fat12::imageSize << " bytes, label " << VolumeLabel(d) << "\n";
}

void StageImageRemoval(const fs::path& root, StagedFiles& outputs) {
    if (!IsDiskSet(root)) return;  // a disk1.img elsewhere is somebody else's
    for (unsigned d = 1; d <= diskCount; ++d) {
        std::error_code ec;
        fs::file_type type = fs::symlink_status(root / ImageName(d), ec).type();
        if (type == fs::file_type::regular || type == fs::file_type::symlink) outputs.Remove(root / ImageName(d));
    }
}

void WriteImages(const fs::path& root, std::ostream& out) {
    StagedFiles outputs;
    std::vector<std::vector<uint8_t>> images;
    try {
        images = MakeImages(root);
    } catch (const ToolError&) {
        // An earlier set's images would no longer match the folders.
        StageImageRemoval(root, outputs);
        outputs.Commit();
        outputs.Keep();
        throw;
    }
    Stage(root, images, outputs);
    outputs.Commit();
    outputs.Keep();
    ReportImages(out);
}

}  // namespace diskset

#include "tools/disk_source.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "tools/disk_set.h"
#include "tools/fat12_reader.h"
#include "tools/file_io.h"
#include "tools/tool_error.h"

namespace fs = std::filesystem;

namespace diskset {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The file in `folder` named `name` in any case, or an empty path.
fs::path FindInFolder(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return {};
    fs::path exact = folder / name;
    if (fs::is_regular_file(exact, ec)) return exact;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file() && Lower(entry.path().filename().string()) == Lower(name)) return entry.path();
    return {};
}

// A floppy image, or the floppy itself (/dev/fd0): read no further than any floppy goes.
std::vector<uint8_t> ReadImageFile(const fs::path& path) {
    std::FILE* f = std::fopen(path.string().c_str(), "rb");
    if (!f) throw ToolError(path.string() + ": cannot open: " + std::strerror(errno));
    std::vector<uint8_t> data(largestImage + 1);
    data.resize(std::fread(data.data(), 1, data.size(), f));
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) throw ToolError(path.string() + ": read error");
    if (data.size() > largestImage)
        throw ToolError(path.string() + ": more than " + std::to_string(largestImage) +
                        " bytes, larger than any floppy image");
    return data;
}

fat12::Volume ReadVolume(const std::string& what, const std::vector<uint8_t>& bytes) {
    try {
        return fat12::ReadImage(bytes.data(), bytes.size());
    } catch (const ToolError& e) {
        throw ToolError(what + ": " + e.what());
    }
}

// One disk of a set: a folder, whose files are read when wanted, or an image, read whole.
struct Disk {
    std::string what;
    fs::path folder;       // a folder's
    fat12::Volume volume;  // an image's
    bool image = false;
};

Disk FolderDisk(const fs::path& folder) { return Disk{folder.string(), folder, {}, false}; }

Disk ImageDisk(const fs::path& path, std::ostream& out) {
    Disk disk{path.string(), {}, ReadVolume(path.string(), ReadImageFile(path)), true};
    out << disk.what << ": floppy image, label " << (disk.volume.label.empty() ? "(none)" : disk.volume.label)
        << ", " << disk.volume.files.size() << (disk.volume.files.size() == 1 ? " file\n" : " files\n");
    return disk;
}

std::vector<Disk> OpenDisks(const std::vector<fs::path>& sources, std::ostream& out) {
    std::error_code ec;
    std::vector<Disk> disks;
    if (sources.size() == 1 && fs::is_directory(sources[0] / DiskFolder(1), ec)) {
        for (unsigned d = 1; d <= diskCount; ++d) disks.push_back(FolderDisk(sources[0] / DiskFolder(d)));
        return disks;
    }
    for (const fs::path& source : sources)
        disks.push_back(fs::is_directory(source, ec) ? FolderDisk(source) : ImageDisk(source, out));
    return disks;
}

// The file `name` on `disk`, when it is there.
bool FindOnDisk(const Disk& disk, const std::string& name, DiskFile& found) {
    if (!disk.image) {
        fs::path path = FindInFolder(disk.folder, name);
        if (path.empty()) return false;
        found = {path.string(), ReadWholeFile(path)};
        return true;
    }
    for (const fat12::File& file : disk.volume.files)
        if (Lower(file.name) == Lower(name)) {
            found = {disk.what + ": " + file.name, file.data};
            return true;
        }
    return false;
}

// A file the set holds once: on exactly one of the disks.
DiskFile FindOnOneDisk(const std::vector<Disk>& disks, const std::string& role, const std::string& name,
                       const std::string& hint) {
    std::vector<DiskFile> found;
    std::string looked;
    for (const Disk& disk : disks) {
        DiskFile file;
        if (FindOnDisk(disk, name, file)) found.push_back(std::move(file));
        looked += (looked.empty() ? "" : ", ") + disk.what;
    }
    if (found.empty()) throw ToolError(role + " " + name + " is missing (looked in " + looked + hint + ")");
    if (found.size() > 1)
        throw ToolError(role + " " + name + " is on two disks: " + found[0].where + " and " + found[1].where);
    return std::move(found[0]);
}

bool StartsAsExecutable(const std::vector<uint8_t>& bytes) {
    return bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z';
}

}  // namespace

SetFiles ReadDiskSet(const std::vector<fs::path>& disks, const std::string& installerName, std::ostream& out) {
    std::vector<Disk> opened = OpenDisks(disks, out);
    SetFiles set;
    set.installer = FindOnOneDisk(opened, "installer", installerName, "; name it with --installer-name");
    for (unsigned d = 1; d <= diskCount; ++d) set.volumes.push_back(FindOnOneDisk(opened, "volume", VolumeName(d), ""));
    return set;
}

DiskFile ReadInstaller(const fs::path& source, const std::string& installerName) {
    std::error_code ec;
    if (fs::is_directory(source, ec)) {
        fs::path folder = fs::is_directory(source / DiskFolder(1), ec) ? source / DiskFolder(1) : source;
        return FindOnOneDisk({FolderDisk(folder)}, "installer", installerName, "; name it with --installer-name");
    }
    std::vector<uint8_t> bytes = ReadWholeFile(source);
    if (StartsAsExecutable(bytes)) return {source.string(), std::move(bytes)};
    if (bytes.size() > largestImage)
        throw ToolError(source.string() + ": neither a Windows executable nor a floppy image");
    std::string what = source.string() + " (read as a floppy image: it does not start as a Windows executable)";
    Disk disk{source.string(), {}, ReadVolume(what, bytes), true};
    return FindOnOneDisk({disk}, "installer", installerName, "; name it with --installer-name");
}

}  // namespace diskset

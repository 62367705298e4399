#include "tools/fat12_reader.h"

#include <algorithm>
#include <set>

#include "tools/name_text.h"
#include "tools/tool_error.h"

namespace fat12 {

namespace {

// Where everything lies, from the boot sector; all in bytes or clusters.
struct Geometry {
    uint64_t clusterBytes = 0;
    uint64_t fatOffset = 0;
    uint64_t rootOffset = 0;
    uint32_t rootEntries = 0;
    uint64_t dataOffset = 0;
    uint32_t clusters = 0;  // data clusters: numbers 2 to clusters + 1

    uint64_t ClusterOffset(uint32_t n) const { return dataOffset + (n - firstCluster) * clusterBytes; }
};

bool IsPowerOfTwo(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

// Bytes of a FAT with `entries` 12-bit entries.
uint64_t FatBytes(uint64_t entries) { return (entries * 3 + 1) / 2; }

ToolError NotFat12(const std::string& why) { return ToolError("not a FAT12 floppy image: its boot sector " + why); }

Geometry ReadGeometry(const uint8_t* image, std::size_t size) {
    constexpr std::size_t leastSector = 512;
    if (size < leastSector)
        throw ToolError("not a floppy image: " + std::to_string(size) + " bytes, less than a boot sector");
    const uint8_t* s = image;
    uint32_t sectorBytes = Get16(s + bpb::bytesPerSector), perCluster = s[bpb::sectorsPerCluster];
    uint32_t reserved = Get16(s + bpb::reservedSectors), fats = s[bpb::fatCount];
    uint32_t rootEntries = Get16(s + bpb::rootEntries), fatSectors = Get16(s + bpb::sectorsPerFat);
    uint64_t total = Get16(s + bpb::totalSectors16);
    if (total == 0) total = Get32(s + bpb::totalSectors32);

    if (!IsPowerOfTwo(sectorBytes) || sectorBytes < 512 || sectorBytes > 4096)
        throw NotFat12("gives " + std::to_string(sectorBytes) + " bytes a sector (512 to 4096, a power of two)");
    if (!IsPowerOfTwo(perCluster) || sectorBytes * perCluster > 32768)
        throw NotFat12("gives " + std::to_string(perCluster) + " sectors a cluster");
    if (reserved == 0) throw NotFat12("reserves no sector for itself");
    if (fats == 0 || fatSectors == 0) throw NotFat12("gives no FAT");
    if (rootEntries == 0) throw NotFat12("gives the root folder no entries");
    if (!IsMediaByte(s[bpb::media]))
        throw NotFat12("gives the media byte " + std::to_string(s[bpb::media]) + " (240, or 248 to 255)");

    Geometry g;
    g.clusterBytes = uint64_t(sectorBytes) * perCluster;
    g.fatOffset = uint64_t(reserved) * sectorBytes;
    g.rootOffset = g.fatOffset + uint64_t(fats) * fatSectors * sectorBytes;
    g.rootEntries = rootEntries;
    uint64_t rootSectors = (uint64_t(rootEntries) * entry::size + sectorBytes - 1) / sectorBytes;
    uint64_t metaSectors = uint64_t(reserved) + uint64_t(fats) * fatSectors + rootSectors;
    g.dataOffset = metaSectors * sectorBytes;
    if (total < metaSectors + perCluster)
        throw NotFat12("gives " + std::to_string(total) + " sectors, too few for its FATs, root folder and a cluster");
    uint64_t clusters = (total - metaSectors) / perCluster;
    if (clusters > mostClusters)
        throw NotFat12("gives " + std::to_string(clusters) + " clusters, a FAT16 volume's count (FAT12 has at most " +
                       std::to_string(mostClusters) + ")");
    g.clusters = uint32_t(clusters);
    if (uint64_t(fatSectors) * sectorBytes < FatBytes(clusters + firstCluster))
        throw NotFat12("gives FATs of " + std::to_string(fatSectors) + " sectors, too small for " +
                       std::to_string(clusters) + " clusters");
    uint64_t volumeBytes = total * sectorBytes;
    if (size < volumeBytes)
        throw ToolError("cut short: " + std::to_string(size) + " bytes, where its boot sector describes " +
                        std::to_string(volumeBytes));
    return g;
}

// Names are looked up in any case.
std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

// Folder names are bytes: anything unprintable is shown escaped.
std::string Printable(const uint8_t* p, std::size_t n) {
    std::string text(reinterpret_cast<const char*>(p), n);
    return names::Escaped(text.substr(0, text.find_last_not_of(' ') + 1));
}

std::string DottedName(const uint8_t* e) {
    uint8_t name[11];
    std::copy(e + entry::name, e + entry::name + 11, name);
    if (name[0] == entry::startsWithE5) name[0] = entry::deleted;
    std::string base = Printable(name, 8), ext = Printable(name + 8, 3);
    return ext.empty() ? base : base + "." + ext;
}

std::string Label(const uint8_t* image, const uint8_t* labelEntry) {
    if (labelEntry) return Printable(labelEntry + entry::name, 11);
    if (image[bpb::extendedSignature] != bpb::extendedBpb) return "";
    std::string label = Printable(image + bpb::volumeLabel, 11);
    return label == "NO NAME" ? "" : label;
}

// Why cluster `next`, reached after `done` clusters of a chain, cannot be read.
std::string ChainBreak(uint16_t next, uint64_t done, uint64_t needed, uint32_t clusters) {
    std::string outside = ", outside the disk's clusters 2 to " + std::to_string(clusters + 1);
    if (done == 0)
        return next == 0 ? "has no cluster for its bytes" : "its first cluster, " + std::to_string(next) + outside;
    std::string after = "its cluster chain leads after " + std::to_string(done) + " clusters to ";
    if (next >= endOfChainLeast)
        return "its cluster chain ends after " + std::to_string(done) + " clusters; its size needs " +
               std::to_string(needed);
    if (next == freeCluster) return after + "a free cluster";
    if (next == badCluster) return after + "a cluster marked bad";
    return after + "cluster " + std::to_string(next) + outside;
}

// The `size` bytes of a file from its chain. `used` marks every cluster a
// file has taken so far: one met again is a loop or a cluster two files share.
std::vector<uint8_t> ReadChain(const uint8_t* image, const Geometry& g, uint16_t start, uint32_t size,
                               std::vector<bool>& used) {
    uint64_t needed = (size + g.clusterBytes - 1) / g.clusterBytes;
    if (needed > g.clusters)
        throw ToolError(std::to_string(size) + " bytes, more than the disk's " +
                        std::to_string(uint64_t(g.clusters) * g.clusterBytes));
    std::vector<uint8_t> data;
    data.reserve(size);
    const uint8_t* fat = image + g.fatOffset;
    uint16_t cluster = start;
    for (uint64_t done = 0; done < needed; ++done) {
        if (cluster < firstCluster || cluster > g.clusters + 1)
            throw ToolError(ChainBreak(cluster, done, needed, g.clusters));
        if (used[cluster])
            throw ToolError("its cluster chain meets cluster " + std::to_string(cluster) +
                            " a second time (a loop, or a cluster another file has)");
        used[cluster] = true;
        const uint8_t* from = image + g.ClusterOffset(cluster);
        std::size_t take = std::size_t(std::min<uint64_t>(g.clusterBytes, size - data.size()));
        data.insert(data.end(), from, from + take);
        cluster = FatEntry(fat, cluster);
    }
    if (needed > 0 && cluster < endOfChainLeast)
        throw ToolError("its cluster chain runs on past the " + std::to_string(needed) + " clusters its size needs");
    return data;
}

}  // namespace

Volume ReadImage(const uint8_t* image, std::size_t size) {
    Geometry g = ReadGeometry(image, size);
    Volume volume;
    const uint8_t* labelEntry = nullptr;
    std::vector<bool> used(std::size_t(g.clusters) + firstCluster, false);
    std::set<std::string> names;
    for (uint32_t i = 0; i < g.rootEntries; ++i) {
        const uint8_t* e = image + g.rootOffset + uint64_t(i) * entry::size;
        uint8_t attributes = e[entry::attributes];
        if (e[entry::name] == entry::endOfFolder) break;
        if (e[entry::name] == entry::deleted || (attributes & entry::attributeBits) == entry::longNamePart) continue;
        if (attributes & entry::volumeLabel) {
            if (!labelEntry) labelEntry = e;
            continue;
        }
        if (attributes & entry::directory) continue;  // no disk of a set has one; what is in it is no disk file
        File file{DottedName(e), {}};
        // A name of blanks alone (the base's first byte is never one in a sound folder).
        if (file.name.empty() || file.name[0] == '.')
            throw ToolError("entry " + std::to_string(i + 1) + " of the root folder has no name");
        if (!names.insert(Upper(file.name)).second) throw ToolError("the root folder names " + file.name + " twice");
        try {
            file.data = ReadChain(image, g, uint16_t(Get16(e + entry::firstCluster)), Get32(e + entry::fileSize), used);
        } catch (const ToolError& why) {
            throw ToolError(file.name + ": " + why.what());
        }
        volume.files.push_back(std::move(file));
    }
    volume.label = Label(image, labelEntry);
    return volume;
}

}  // namespace fat12

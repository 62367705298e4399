// The floppy images wardpack writes, read back by the tools a Linux user has
// (fsck.fat checks the file system, mdir and mcopy read the label and files)
// and by our own reader, which also takes what mtools has changed and refuses
// damaged images with their reason.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "tests/unit/command_run.h"
#include "tools/disk_set.h"
#include "tools/fat12_image.h"
#include "tools/fat12_reader.h"
#include "tools/tool_error.h"

namespace fs = std::filesystem;

namespace {

CommandRun Shell(const std::string& command) { return RunCommand("MTOOLS_SKIP_CHECK=1 " + command); }

// fsck.fat lives in /usr/sbin, which a user's PATH may lack.
std::string FindTool(const std::string& name) {
    CommandRun found = Shell("command -v " + name);
    if (found.status == 0) return found.output.substr(0, found.output.find('\n'));
    for (const char* dir : {"/usr/sbin/", "/sbin/"})
        if (access((dir + name).c_str(), X_OK) == 0) return dir + name;
    return "";
}

std::vector<uint8_t> Pattern(std::size_t size, unsigned seed) {
    std::vector<uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = uint8_t((i * 131 + seed) ^ (i >> 9));
    return data;
}

std::vector<uint8_t> BytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& p, const std::vector<uint8_t>& data) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
}

std::string Trimmed(const std::string& s) { return s.substr(0, s.find_last_not_of(' ') + 1); }

const fat12::File* Named(const fat12::Volume& v, const std::string& name) {
    for (const fat12::File& f : v.files)
        if (f.name == name) return &f;
    return nullptr;
}

unsigned Read16(const std::vector<uint8_t>& image, std::size_t at) { return image[at] | image[at + 1] << 8; }

std::string Text(const std::vector<uint8_t>& image, std::size_t at, std::size_t size) {
    return std::string(image.begin() + at, image.begin() + at + size);
}

// The disks of a planned volume set: disk 1 the installer and volume 1, then
// one volume a disk, as wardpack build lays them out.
std::vector<std::vector<fat12::File>> PlannedDisks(uint64_t installerSize, uint64_t streamSize) {
    std::vector<uint64_t> volumes = diskset::PlanVolumes(streamSize, installerSize, diskset::DiskSpace(), {});
    std::vector<std::vector<fat12::File>> disks(3);
    disks[0].push_back({"Setup.exe", Pattern(installerSize, 7)});
    for (unsigned d = 0; d < 3; ++d) disks[d].push_back({diskset::VolumeName(d + 1), Pattern(volumes[d], d)});
    return disks;
}

TEST(FloppyImage, BootSectorDescribesAStandardHighDensityDisk) {
    std::vector<uint8_t> image = fat12::MakeImage("Wardhaven 2", {{"A.TXT", {1, 2, 3}}});
    ASSERT_EQ(image.size(), 1474560u);
    struct Field {
        const char* what;
        std::size_t at, width;
        unsigned want;
    };
    const Field fields[] = {
        {"jump", 0, 2, 0x3CEB},          {"bytes a sector", 11, 2, 512}, {"sectors a cluster", 13, 1, 1},
        {"reserved sectors", 14, 2, 1},  {"FATs", 16, 1, 2},             {"root entries", 17, 2, 224},
        {"total sectors", 19, 2, 2880},  {"media", 21, 1, 0xF0},         {"sectors a FAT", 22, 2, 9},
        {"sectors a track", 24, 2, 18},  {"heads", 26, 2, 2},            {"hidden sectors", 28, 2, 0},
        {"large total", 32, 2, 0},       {"drive A:", 36, 1, 0},         {"extended BPB", 38, 1, 0x29},
        {"boot mark", 510, 2, 0xAA55},   {"FAT 1 media", 512, 2, 0xFFF0}, {"FAT 2 media", 512 * 10, 2, 0xFFF0},
    };
    for (const Field& f : fields)
        EXPECT_EQ(f.width == 1 ? image[f.at] : Read16(image, f.at), f.want) << f.what;
    EXPECT_EQ(Text(image, 43, 11), "WARDHAVEN 2");
    EXPECT_EQ(Text(image, 54, 8), "FAT12   ");
    EXPECT_EQ(Text(image, 512 * 19, 11), "WARDHAVEN 2") << "the root's volume-label entry";
    EXPECT_EQ(image[512 * 19 + 11], 0x08);
    EXPECT_EQ(Text(image, 512 * 19 + 32, 11), "A       TXT");
    // The boot code's message: loaded at 7C00h, read through mov si.
    ASSERT_EQ(image[0x4A], 0xBE);
    std::size_t message = Read16(image, 0x4B) - 0x7C00;
    ASSERT_LT(message, 510u);
    EXPECT_NE(std::string(reinterpret_cast<const char*>(&image[message])).find("Not a system disk"),
              std::string::npos);
    EXPECT_EQ(fat12::MakeImage("Wardhaven 2", {{"A.TXT", {1, 2, 3}}}), image) << "the same files, the same image";
}

TEST(FloppyImage, ToolsReadBackEveryFileByteForByte) {
    std::string fsck = FindTool("fsck.fat"), mdir = FindTool("mdir"), mcopy = FindTool("mcopy");
    if (fsck.empty() || mdir.empty() || mcopy.empty()) GTEST_SKIP() << "needs dosfstools and mtools (scripts/deps.sh)";
    struct Disk {
        const char* what;
        std::vector<fat12::File> files;
    };
    std::vector<std::vector<fat12::File>> full = PlannedDisks(56320 + 701, 3 * diskset::floppyCapacity - 57344);
    std::vector<Disk> disks = {
        {"mixed sizes and cases", {{"Setup.exe", Pattern(56320, 1)}, {"readme", Pattern(511, 2)},
                                  {"E", {}}, {"x.1", Pattern(513, 3)}, {"DATA.BIN", Pattern(200000, 4)}}},
        {"one file filling the disk", {{"WARDHAVN.002", Pattern(diskset::floppyCapacity, 5)}}},
        {"empty", {}},
        {"planned disk 1 filled to the last cluster", full[0]},
        {"planned disk 2 filled to the last cluster", full[1]},
        {"planned disk 3 filled to the last cluster", full[2]},
    };
    fs::path dir = fs::temp_directory_path() / ("floppy-test-" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (const Disk& disk : disks) {
        fs::path img = dir / "disk.img";
        std::vector<uint8_t> image = fat12::MakeImage("WARDHAVEN 3", disk.files);
        std::ofstream(img, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());

        CommandRun checked = Shell(fsck + " -n " + img.string());
        EXPECT_EQ(checked.status, 0) << disk.what << ":\n" << checked.output;
        EXPECT_EQ(checked.output.find("\n", checked.output.find("\n") + 1) + 1, checked.output.size())
            << disk.what << ": fsck.fat says more than its two lines:\n" << checked.output;

        fat12::Volume back = fat12::ReadImage(image.data(), image.size());
        EXPECT_EQ(back.label, "WARDHAVEN 3") << disk.what;
        EXPECT_EQ(back.files.size(), disk.files.size()) << disk.what;

        CommandRun listed = Shell(mdir + " -i " + img.string() + " ::");
        EXPECT_EQ(listed.status, 0) << listed.output;
        EXPECT_NE(listed.output.find("Volume in drive : is WARDHAVEN 3"), std::string::npos) << listed.output;
        for (const fat12::File& f : disk.files) {
            std::string name = fat12::ShortName(f.name);
            std::string base = Trimmed(name.substr(0, 8)), ext = Trimmed(name.substr(8));
            std::string dotted = ext.empty() ? base : base + "." + ext;
            EXPECT_NE(listed.output.find(name.substr(0, 8) + " " + name.substr(8)), std::string::npos)
                << disk.what << ": " << f.name << " not listed\n" << listed.output;
            fs::remove(dir / "out");
            CommandRun copied = Shell(mcopy + " -n -i " + img.string() + " '::" + dotted + "' " + (dir / "out").string());
            ASSERT_EQ(copied.status, 0) << disk.what << ": " << f.name << ": " << copied.output;
            EXPECT_TRUE(BytesOf(dir / "out") == f.data) << disk.what << ": " << f.name << " differs";
            const fat12::File* read = Named(back, dotted);
            EXPECT_TRUE(read && read->data == f.data) << disk.what << ": our reader's " << dotted << " differs";
        }
    }
    fs::remove_all(dir);
}

TEST(FloppyImage, WhatAFloppyCannotHoldIsRefusedWithItsReason) {
    std::vector<fat12::File> many;
    for (int i = 0; i < 224; ++i) many.push_back({"F" + std::to_string(i), {}});
    std::vector<fat12::File> beyond = PlannedDisks(56320, 3 * diskset::floppyCapacity - 56320)[1];
    beyond[0].data.push_back(0);
    struct Bad {
        const char* what;
        std::string label;
        std::vector<fat12::File> files;
        std::string message;
    };
    const Bad cases[] = {
        {"long base name", "W", {{"Nineteen_Chars_.DTP", {1}}}, "not an 8.3 name"},
        {"long extension", "W", {{"A.Data", {1}}}, "not an 8.3 name"},
        {"two dots", "W", {{"A.B.C", {1}}}, "not an 8.3 name"},
        {"a space", "W", {{"A B.TXT", {1}}}, "not an 8.3 name"},
        {"no base", "W", {{".TXT", {1}}}, "not an 8.3 name"},
        {"a folder part", "W", {{"sub/A.TXT", {1}}}, "not an 8.3 name"},
        {"device name", "W", {{"com1.txt", {1}}}, "reserved device name"},
        {"a device only Windows knows", "W", {{"CLOCK$", {1}}}, "reserved device name"},
        {"a console device", "W", {{"conout$.txt", {1}}}, "reserved device name"},
        {"same name in another case", "W", {{"a.txt", {1}}, {"A.TXT", {2}}}, "same name"},
        {"one entry more than the root holds", "W", many, "at most 223"},
        {"one byte past the last cluster", "W", beyond, "holds 1457664"},
        {"label too long", "WARDHAVEN 10", {}, "volume label"},
        {"label with a dot", "WARD.1", {}, "volume label"},
    };
    for (const Bad& c : cases) {
        try {
            fat12::MakeImage(c.label, c.files);
            ADD_FAILURE() << c.what << ": made an image";
        } catch (const ToolError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
        }
    }
    // The fit check agrees: the byte that no image can hold is no plan's either.
    EXPECT_THROW(PlannedDisks(56320, 3 * diskset::floppyCapacity - 56320 + 1), ToolError);
}

TEST(FloppyImage, ReaderTakesWhatMtoolsAndMkfsWrite) {
    std::string mkfs = FindTool("mkfs.fat"), mcopy = FindTool("mcopy"), mdel = FindTool("mdel");
    if (mkfs.empty() || mcopy.empty() || mdel.empty()) GTEST_SKIP() << "needs dosfstools and mtools (scripts/deps.sh)";
    fs::path dir = fs::temp_directory_path() / ("floppy-read-test-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::path img = dir / "disk.img", big = dir / "big", small = dir / "small";
    Write(big, Pattern(5000, 9));
    Write(small, Pattern(5, 8));
    auto copyIn = [&](const fs::path& from, const std::string& to) {
        CommandRun run = Shell(mcopy + " -i " + img.string() + " " + from.string() + " '::" + to + "'");
        ASSERT_EQ(run.status, 0) << run.output;
    };

    // A hole left by mdel, then a file bigger than the hole: its chain starts in
    // the hole and goes on after the last file. Its long name is the first entry
    // of a VFAT name; a name in small letters takes the deleted entry.
    Write(img, fat12::MakeImage("WARDHAVEN 1", {{"A.BIN", Pattern(512, 1)}, {"B.BIN", Pattern(1500, 2)}}));
    ASSERT_EQ(Shell(mdel + " -i " + img.string() + " ::A.BIN").status, 0);
    copyIn(big, "Long name.dat");
    copyIn(small, "new.txt");
    std::vector<uint8_t> bytes = BytesOf(img);
    fat12::Volume changed = fat12::ReadImage(bytes.data(), bytes.size());
    EXPECT_EQ(changed.label, "WARDHAVEN 1");
    EXPECT_EQ(changed.files.size(), 3u);
    EXPECT_EQ(Named(changed, "A.BIN"), nullptr);
    const fat12::File *b = Named(changed, "B.BIN"), *fragmented = Named(changed, "LONGNA~1.DAT"),
                      *lower = Named(changed, "NEW.TXT");
    ASSERT_TRUE(b && fragmented && lower);
    EXPECT_TRUE(b->data == Pattern(1500, 2));
    EXPECT_TRUE(fragmented->data == Pattern(5000, 9));
    EXPECT_TRUE(lower->data == Pattern(5, 8));

    // A 720 KB floppy: two sectors a cluster, 112 root entries.
    fs::remove(img);
    ASSERT_EQ(Shell(mkfs + " -C -n OTHER " + img.string() + " 720").status, 0);
    copyIn(big, "BIG.DAT");
    bytes = BytesOf(img);
    fat12::Volume other = fat12::ReadImage(bytes.data(), bytes.size());
    EXPECT_EQ(other.label, "OTHER");
    ASSERT_EQ(other.files.size(), 1u);
    EXPECT_TRUE(other.files[0].data == Pattern(5000, 9));

    fs::remove(img);
    ASSERT_EQ(Shell(mkfs + " -C -F 16 " + img.string() + " 20000").status, 0);
    bytes = BytesOf(img);
    try {
        fat12::ReadImage(bytes.data(), bytes.size());
        ADD_FAILURE() << "read a FAT16 volume as FAT12";
    } catch (const ToolError& e) {
        EXPECT_NE(std::string(e.what()).find("a FAT16 volume's count"), std::string::npos) << e.what();
    }
    fs::remove_all(dir);
}

TEST(FloppyImage, DamagedImagesAreRefusedWithTheirReason) {
    // A.BIN has clusters 2, 3, 4 and B.BIN 5, 6; root entries 1 and 2.
    const std::vector<uint8_t> sound =
        fat12::MakeImage("WARDHAVEN 1", {{"A.BIN", Pattern(1500, 1)}, {"B.BIN", Pattern(600, 2)}});
    ASSERT_EQ(fat12::ReadImage(sound.data(), sound.size()).files.size(), 2u);
    auto fat = [](std::vector<uint8_t>& image, uint32_t n, uint16_t v) { fat12::SetFatEntry(&image[512], n, v); };
    auto entry = [](std::vector<uint8_t>& image, unsigned i) { return &image[19 * 512 + 32 * i]; };
    struct Damage {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> make;
        std::string message;
    };
    const Damage cases[] = {
        {"zeroed boot sector", [](auto& im) { std::fill(im.begin(), im.begin() + 512, 0); }, "0 bytes a sector"},
        {"text, not an image", [](auto& im) { im.assign(2000, 'x'); }, "30840 bytes a sector"},
        {"three sectors a cluster", [](auto& im) { im[13] = 3; }, "3 sectors a cluster"},
        {"no FAT", [](auto& im) { im[16] = 0; }, "gives no FAT"},
        {"no root folder", [](auto& im) { fat12::Put16(&im[17], 0); }, "no entries"},
        {"media byte", [](auto& im) { im[21] = 0x12; }, "media byte 18"},
        {"too few sectors", [](auto& im) { fat12::Put16(&im[19], 20); }, "too few"},
        {"a hard disk's sector count", [](auto& im) { fat12::Put16(&im[19], 0), fat12::Put32(&im[32], 8000); },
         "a FAT16 volume's count"},
        {"FATs too small", [](auto& im) { fat12::Put16(&im[22], 1); }, "too small for"},
        {"cut short", [](auto& im) { im.resize(1000000); }, "cut short: 1000000 bytes"},
        {"less than a sector", [](auto& im) { im.resize(100); }, "less than a boot sector"},
        {"a loop", [&](auto& im) { fat(im, 3, 2); }, "A.BIN: its cluster chain meets cluster 2 a second time"},
        {"a shared cluster", [&](auto& im) { fat12::Put16(entry(im, 2) + 26, 3); }, "B.BIN: its cluster chain meets"},
        {"a free cluster", [&](auto& im) { fat(im, 2, 0); }, "A.BIN: its cluster chain leads after 1 clusters to a free"},
        {"a bad cluster", [&](auto& im) { fat(im, 3, 0xFF7); }, "to a cluster marked bad"},
        {"past the last cluster", [&](auto& im) { fat(im, 2, 0xFF0); }, "cluster 4080, outside the disk's clusters"},
        {"a chain too short", [&](auto& im) { fat(im, 3, 0xFFF); }, "ends after 2 clusters; its size needs 3"},
        {"a chain too long", [&](auto& im) { fat(im, 4, 7); }, "runs on past the 3 clusters"},
        {"a size past the disk", [&](auto& im) { fat12::Put32(entry(im, 1) + 28, 0xFFFFFFFF); }, "more than the disk's"},
        {"no first cluster", [&](auto& im) { fat12::Put16(entry(im, 1) + 26, 0); }, "has no cluster"},
        {"first cluster 1", [&](auto& im) { fat12::Put16(entry(im, 1) + 26, 1); }, "its first cluster, 1, outside"},
        {"a name twice", [&](auto& im) { std::copy(entry(im, 1), entry(im, 1) + 11, entry(im, 2)); }, "A.BIN twice"},
        {"a name of blanks", [&](auto& im) { std::fill(entry(im, 1), entry(im, 1) + 11, ' '); }, "has no name"},
    };
    for (const Damage& c : cases) {
        std::vector<uint8_t> image = sound;
        c.make(image);
        try {
            fat12::ReadImage(image.data(), image.size());
            ADD_FAILURE() << c.what << ": read";
        } catch (const ToolError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
        }
    }
}

}  // namespace

#include "tools/fat12_image.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "engine/table_layout.h"
#include "tools/tool_error.h"

namespace fat12 {

namespace {

constexpr uint32_t rootSector = 1 + fatCopies * fatSectors;  // 19
constexpr uint16_t fixedTime = 12 << 11;                      // 12:00:00
constexpr uint16_t fixedDate = (1996 - 1980) << 9 | 1 << 5 | 1;  // 1 January 1996

// Run when the disk is booted: show the message, wait for a key, then ask
// the BIOS to boot again. DS is zeroed and SI absolute, so it works whether the BIOS entered
// at 0000:7C00 or 07C0:0000; every jump is relative.
constexpr uint32_t codeOffset = bpb::bootCode;
constexpr uint8_t bootCode[] = {
    0xFA,              // cli
    0x31, 0xC0,        // xor ax, ax
    0x8E, 0xD8,        // mov ds, ax
    0x8E, 0xD0,        // mov ss, ax
    0xBC, 0x00, 0x7C,  // mov sp, 7C00h
    0xFB,              // sti
    0xFC,              // cld
    0xBE, 0x00, 0x00,  // mov si, message (patched)
    0xAC,              // print: lodsb
    0x84, 0xC0,        // test al, al
    0x74, 0x09,        // jz wait
    0xB4, 0x0E,        // mov ah, 0Eh      teletype output
    0xBB, 0x07, 0x00,  // mov bx, 7        page 0, grey
    0xCD, 0x10,        // int 10h
    0xEB, 0xF2,        // jmp print
    0x30, 0xE4,        // wait: xor ah, ah
    0xCD, 0x16,        // int 16h          read a key
    0xCD, 0x19,        // int 19h          boot again
    0xEB, 0xFE,        // jmp $            should the BIOS return
};
constexpr uint32_t messagePointer = 13;  // the operand of mov si

bool IsShortNameChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u < 0x80 && (std::isalnum(u) || (c != '\0' && std::strchr("!#$%&'()-@^_`{}~", c)));
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Label(const std::string& label) {
    std::string upper = Upper(label);
    if (upper.empty() || upper.size() > 11 || upper.front() == ' ' ||
        !std::all_of(upper.begin(), upper.end(), [](char c) { return c == ' ' || IsShortNameChar(c); }))
        throw ToolError("\"" + label + "\": a volume label is 1 to 11 letters, digits, spaces or !#$%&'()-@^_`{}~");
    return upper + std::string(11 - upper.size(), ' ');
}

// FNV-1a over everything on the disk: a serial number that changes with the
// contents and never with the time of the build.
uint32_t VolumeId(const std::string& label, const std::vector<File>& files) {
    uint32_t h = 2166136261u;
    auto mix = [&h](const uint8_t* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    };
    mix(reinterpret_cast<const uint8_t*>(label.data()), label.size());
    for (const File& f : files) {
        mix(reinterpret_cast<const uint8_t*>(f.name.data()), f.name.size() + 1);
        mix(f.data.data(), f.data.size());
    }
    return h;
}

void WriteBootSector(uint8_t* s, const std::string& label, uint32_t volumeId) {
    s[bpb::jump] = 0xEB, s[bpb::jump + 1] = codeOffset - 2, s[bpb::jump + 2] = 0x90;
    std::memcpy(s + bpb::oemName, "MSWIN4.1", 8);  // the name FAT drivers are least suspicious of
    Put16(s + bpb::bytesPerSector, sectorSize);
    s[bpb::sectorsPerCluster] = 1;
    Put16(s + bpb::reservedSectors, 1);
    s[bpb::fatCount] = fatCopies;
    Put16(s + bpb::rootEntries, rootEntries);
    Put16(s + bpb::totalSectors16, totalSectors);
    s[bpb::media] = media;
    Put16(s + bpb::sectorsPerFat, fatSectors);
    Put16(s + bpb::sectorsPerTrack, 18);
    Put16(s + bpb::heads, 2);
    s[bpb::driveNumber] = 0x00;  // BIOS drive A:
    s[bpb::extendedSignature] = bpb::extendedBpb;
    Put32(s + bpb::volumeId, volumeId);
    std::memcpy(s + bpb::volumeLabel, label.data(), 11);
    std::memcpy(s + bpb::fileSystemType, "FAT12   ", 8);

    std::memcpy(s + codeOffset, bootCode, sizeof bootCode);
    uint32_t at = codeOffset + sizeof bootCode;
    Put16(s + codeOffset + messagePointer, 0x7C00 + at);
    std::string name = label.substr(0, label.find_last_not_of(' ') + 1);
    std::string message = "\r\nNot a system disk: " + name + " holds installation files.\r\n"
                          "Remove it and press any key to restart.\r\n";
    std::memcpy(s + at, message.c_str(), message.size() + 1);
    s[bpb::bootMark] = 0x55, s[bpb::bootMark + 1] = 0xAA;
}

void WriteEntry(uint8_t* e, const std::string& name11, uint8_t attributes, uint16_t cluster, uint32_t size) {
    std::memcpy(e + entry::name, name11.data(), 11);
    e[entry::attributes] = attributes;
    Put16(e + entry::createTime, fixedTime);
    Put16(e + entry::createDate, fixedDate);
    Put16(e + entry::accessDate, fixedDate);
    Put16(e + entry::writeTime, fixedTime);
    Put16(e + entry::writeDate, fixedDate);
    Put16(e + entry::firstCluster, cluster);
    Put32(e + entry::fileSize, size);
}

uint32_t ClustersFor(std::size_t size) { return uint32_t((size + sectorSize - 1) / sectorSize); }

}  // namespace

std::string ShortName(const std::string& name) {
    std::size_t dot = name.find('.');
    std::string base = Upper(name.substr(0, dot));
    std::string ext = dot == std::string::npos ? "" : Upper(name.substr(dot + 1));
    bool plain = !base.empty() && base.size() <= 8 && ext.size() <= 3 &&
                 std::all_of(base.begin(), base.end(), IsShortNameChar) &&
                 std::all_of(ext.begin(), ext.end(), IsShortNameChar) &&
                 (dot == std::string::npos || !ext.empty());
    if (!plain)
        throw ToolError("\"" + name + "\": not an 8.3 name (1 to 8 letters or digits, a dot, up to 3 more), " +
                        "the only names a floppy's folder holds");
    // Whatever the package table refuses (a device's name, which DOS would open instead) no disk holds either.
    if (const char* problem = table::NameProblem(name.data(), name.size()))
        throw ToolError("\"" + name + "\": " + problem);
    return base + std::string(8 - base.size(), ' ') + ext + std::string(3 - ext.size(), ' ');
}

std::vector<uint8_t> MakeImage(const std::string& label, const std::vector<File>& files) {
    std::string label11 = Label(label);
    if (files.size() > rootEntries - 1)
        throw ToolError(std::to_string(files.size()) + " files: a floppy's root folder holds at most " +
                        std::to_string(rootEntries - 1) + " beside its volume label");
    std::vector<std::string> names;
    uint64_t clusters = 0;
    for (const File& f : files) {
        names.push_back(ShortName(f.name));
        for (std::size_t j = 0; j + 1 < names.size(); ++j)
            if (names[j] == names.back())
                throw ToolError("\"" + files[j].name + "\" and \"" + f.name + "\" are the same name on a floppy");
        clusters += ClustersFor(f.data.size());
    }
    if (clusters > clusterCount)
        throw ToolError("the files take " + std::to_string(clusters * sectorSize) + " bytes in whole sectors; " +
                        "a 1.44 MB floppy holds " + std::to_string(dataCapacity));

    std::vector<uint8_t> image(imageSize, 0);
    WriteBootSector(image.data(), label11, VolumeId(label11, files));
    uint8_t* fat = image.data() + sectorSize;
    SetFatEntry(fat, 0, 0xF00 | media);
    SetFatEntry(fat, 1, endOfChain);
    uint8_t* root = image.data() + rootSector * sectorSize;
    WriteEntry(root, label11, entry::volumeLabel, 0, 0);
    uint32_t next = firstCluster;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::vector<uint8_t>& data = files[i].data;
        uint32_t count = ClustersFor(data.size());
        WriteEntry(root + entry::size * (i + 1), names[i], entry::archive, uint16_t(count ? next : 0),
                   uint32_t(data.size()));
        for (uint32_t c = 0; c < count; ++c)
            SetFatEntry(fat, next + c, uint16_t(c + 1 < count ? next + c + 1 : endOfChain));
        if (!data.empty())
            std::memcpy(image.data() + (firstDataSector + next - firstCluster) * sectorSize, data.data(),
                        data.size());
        next += count;
    }
    std::memcpy(fat + fatSectors * sectorSize, fat, fatSectors * sectorSize);
    return image;
}

}  // namespace fat12

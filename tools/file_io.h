// Whole-file reads and writes for the packaging tool, with clear errors.
// Every file the tool writes is complete or absent: it is written under a
// temporary name beside its target and renamed into place only when whole.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, const uint8_t* data, std::size_t size);
inline void WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& data) {
    WriteWholeFile(path, data.data(), data.size());
}

// An output file under its temporary name (target + ".partial"): Commit()
// closes it, checked, and renames it over the target, which replaces a link
// there rather than writing through it. Without a commit it is removed.
class PartialFile {
public:
    explicit PartialFile(const std::filesystem::path& target);  // throws ToolError when it cannot be made
    ~PartialFile();
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    std::FILE* Get() const { return file_; }
    void Commit();  // throws ToolError: a write error (a full disk) or a failed rename

private:
    std::filesystem::path target_, temp_;
    std::FILE* file_ = nullptr;
};

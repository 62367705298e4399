// Whole-file reads and writes for the packaging tool, with clear errors.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, const uint8_t* data, std::size_t size);
inline void WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& data) {
    WriteWholeFile(path, data.data(), data.size());
}

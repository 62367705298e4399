// Whole-file reads and writes for the packaging tool, with clear errors.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

std::vector<uint8_t> readWholeFile(const std::filesystem::path& path);
void writeWholeFile(const std::filesystem::path& path, const uint8_t* data, std::size_t size);
inline void writeWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& data) {
    writeWholeFile(path, data.data(), data.size());
}

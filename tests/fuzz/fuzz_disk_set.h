// What the disk set targets share: a scratch folder of the process's own,
// an input cut into files at a marker, and the check of what extract leaves.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/file_io.h"
#include "tools/package.h"
#include "tools/pe_image.h"
#include "tools/progress.h"
#include "tools/stream_codec.h"
#include "tools/table_file.h"
#include "tools/tool_error.h"

namespace fuzz {

namespace fs = std::filesystem;

inline void Check(bool holds) {
    if (!holds) std::abort();
}

// Emptied for each input; removed when the fuzzer ends.
struct Scratch {
    fs::path root = fs::temp_directory_path() / ("wardpack-fuzz-" + std::to_string(getpid()));
    Scratch() { std::cerr.rdbuf(nullptr); }  // the tool's warnings, not the fuzzer's report
    ~Scratch() { fs::remove_all(root); }
    const fs::path& Fresh() {
        fs::remove_all(root);
        fs::create_directories(root);
        return root;
    }
};

// The input's files, separated by this marker (also in disk_set.dict).
constexpr char marker[] = "\n--next file--\n";

inline std::vector<std::vector<uint8_t>> Split(const uint8_t* data, std::size_t size) {
    std::vector<std::vector<uint8_t>> parts(1);
    const std::string bytes(reinterpret_cast<const char*>(data), size), cut(marker);
    std::size_t at = 0;
    for (std::size_t next; (next = bytes.find(cut, at)) != std::string::npos; at = next + cut.size()) {
        parts.back().assign(data + at, data + next);
        parts.emplace_back();
    }
    parts.back().assign(data + at, data + size);
    return parts;
}

inline void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

inline std::vector<uint8_t> BytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Every file extract leaves holds bytes decoded from the volumes, at its
// entry's place: the installer's table and the joined volumes, decoded here
// once more, say which.
inline void CheckExtracted(const std::vector<uint8_t>& installer, const std::vector<uint8_t>& archive,
                           const fs::path& outDir) {
    appended::Layout layout = ExecutableLayout(installer.data(), installer.size(), "installer");
    table::Appended found;
    std::string error;
    Check(table::ReadAppended(installer.data(), layout, found, error));
    const table::PackageTable& t = found.table;
    Progress quiet("decoding", true);
    std::vector<uint8_t> stream;
    DecodeStream(archive, t.decodedLength, &stream, nullptr, quiet);
    auto checkFile = [&](const fs::path& file, int64_t offset, int64_t size) {
        if (!fs::exists(file)) return;
        Check(offset + size <= int64_t(stream.size()));
        Check(BytesOf(file) == std::vector<uint8_t>(stream.begin() + offset, stream.begin() + offset + size));
    };
    checkFile(outDir / "Wardhavn.Exe", 0, t.entries.empty() ? t.decodedLength : t.entries[0].offset);
    for (const table::Entry& e : t.entries) {
        checkFile(outDir / e.name, e.offset, e.size);
        checkFile(outDir / "Help" / e.name, e.offset, e.size);
    }
}

// Verify and extract --force a disk set: each ends with a message, or with
// files that hold only what was decoded.
inline void UnpackBoth(const pack::UnpackOptions& options, const std::vector<uint8_t>& installer,
                       const std::vector<uint8_t>& archive, const fs::path& outDir) {
    std::ostringstream out;
    try {
        pack::Verify(options, {}, {}, out);
    } catch (const ToolError& e) {
        Check(*e.what() != '\0');
    }
    pack::UnpackOptions forced = options;
    forced.force = true;
    try {
        pack::Extract(forced, outDir, out);
    } catch (const ToolError& e) {
        Check(*e.what() != '\0');
        return;
    }
    CheckExtracted(installer, archive, outDir);
}

}  // namespace fuzz

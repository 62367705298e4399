#include "tools/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/tool_error.h"

namespace fs = std::filesystem;

std::vector<uint8_t> ReadWholeFile(const fs::path& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) throw ToolError(path.string() + ": is a directory, not a file");
    std::FILE* f = std::fopen(path.string().c_str(), "rb");
    if (!f) throw ToolError(path.string() + ": cannot open: " + std::strerror(errno));
    // One read into a buffer of the file's size; whatever a pipe or a
    // growing file brings beyond that follows in blocks.
    std::vector<uint8_t> data(fs::is_regular_file(path, ec) ? std::size_t(fs::file_size(path, ec)) : 0);
    if (ec) data.clear();
    data.resize(std::fread(data.data(), 1, data.size(), f));
    uint8_t buf[1 << 16];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) throw ToolError(path.string() + ": read error");
    return data;
}

PartialFile::PartialFile(const fs::path& target) : target_(target), temp_(target) {
    temp_ += ".partial";
    std::error_code ec;
    // Left by an earlier failure, or planted: a link there would be followed.
    if (fs::symlink_status(temp_, ec).type() != fs::file_type::not_found) fs::remove(temp_, ec);
    file_ = std::fopen(temp_.string().c_str(), "wb");
    if (!file_) throw ToolError(target.string() + ": cannot create: " + std::strerror(errno));
}

PartialFile::~PartialFile() {
    if (!file_) return;
    std::fclose(file_);
    std::error_code ec;
    fs::remove(temp_, ec);
}

void PartialFile::Commit() {
    bool written = std::ferror(file_) == 0;
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
    std::error_code ec;
    if (written) fs::rename(temp_, target_, ec);
    if (!written || ec) {
        fs::remove(temp_, ec);
        throw ToolError(target_.string() + (written ? ": cannot put in place" : ": write error (disk full?)"));
    }
}

void WriteWholeFile(const fs::path& path, const uint8_t* data, std::size_t size) {
    PartialFile out(path);
    if (size > 0 && std::fwrite(data, 1, size, out.Get()) != size)
        throw ToolError(path.string() + ": write error (disk full?)");
    out.Commit();
}

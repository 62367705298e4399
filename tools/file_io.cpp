#include "tools/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "tools/tool_error.h"

#ifndef O_BINARY
#define O_BINARY 0  // only Windows tells binary files from text
#endif

namespace fs = std::filesystem;

namespace {

const std::string temporaryPrefix = "~wardpack-partial-", temporarySuffix = ".tmp";
constexpr unsigned temporaryNames = 1000;

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A new empty file beside `target`, open for writing, under the first
// temporary name that no file has: created only if absent, so whatever is
// there stays untouched.
std::FILE* CreateTemporary(const fs::path& target, fs::path& temp) {
    for (unsigned n = 1; n <= temporaryNames; ++n) {
        temp = target.parent_path() / (temporaryPrefix + std::to_string(n) + temporarySuffix);
        int fd = open(temp.string().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
        if (file) return file;
        std::string why = std::strerror(errno);
        if (fd >= 0) {
            close(fd);
            std::error_code ec;
            fs::remove(temp, ec);
        }
        throw ToolError(target.string() + ": cannot create: " + why);
    }
    throw ToolError(target.string() + ": cannot create: its folder holds " + std::to_string(temporaryNames) +
                    " files " + temporaryPrefix + "N" + temporarySuffix + " already, left by earlier failures");
}

}  // namespace

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

bool IsTemporaryName(const std::string& name) {
    std::string lower = Lower(name);
    return lower.size() > temporaryPrefix.size() + temporarySuffix.size() &&
           lower.compare(0, temporaryPrefix.size(), temporaryPrefix) == 0 &&
           lower.compare(lower.size() - temporarySuffix.size(), temporarySuffix.size(), temporarySuffix) == 0;
}

PartialFile::PartialFile(const fs::path& target) : target_(target) {
    std::string name = target.filename().string();
    if (IsTemporaryName(name))
        throw ToolError("\"" + name + "\": a name of the form of the tool's temporary files (" + temporaryPrefix +
                        "N" + temporarySuffix + "); give the file another name");
    std::error_code ec;
    if (fs::symlink_status(target, ec).type() == fs::file_type::directory)
        throw ToolError(target.string() + ": a folder is in the file's place");
    file_ = CreateTemporary(target, temp_);
}

PartialFile::~PartialFile() {
    if (!file_) return;
    std::fclose(file_);
    std::error_code ec;
    fs::remove(temp_, ec);
}

fs::path PartialFile::Finish() {
    bool written = std::ferror(file_) == 0;
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
    if (!written) {
        std::error_code ec;
        fs::remove(temp_, ec);
        throw ToolError(target_.string() + ": write error (disk full?)");
    }
    return temp_;
}

void PartialFile::Commit() {
    fs::path temp = Finish();
    std::error_code ec;
    fs::rename(temp, target_, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw ToolError(target_.string() + ": cannot put in place: " + ec.message());
    }
}

void WriteWholeFile(const fs::path& path, const uint8_t* data, std::size_t size) {
    PartialFile out(path);
    if (size > 0 && std::fwrite(data, 1, size, out.Get()) != size)
        throw ToolError(path.string() + ": write error (disk full?)");
    out.Commit();
}

StagedFiles::~StagedFiles() {
    std::error_code ec;
    for (const Change& c : pending_) fs::remove(c.staged, ec);
    for (auto c = done_.rbegin(); c != done_.rend(); ++c) PutBack(*c);
}

void StagedFiles::Write(const fs::path& target, const uint8_t* data, std::size_t size) {
    PartialFile out(target);
    if (size > 0 && std::fwrite(data, 1, size, out.Get()) != size)
        throw ToolError(target.string() + ": write error (disk full?)");
    pending_.push_back(Change{target, out.Finish(), {}});
}

void StagedFiles::Remove(const fs::path& target) { pending_.push_back(Change{target, {}, {}}); }

void StagedFiles::Commit() {
    while (!pending_.empty()) {
        // Counted as done before anything is done for it, so that the destructor undoes a half.
        done_.push_back(pending_.front());
        pending_.erase(pending_.begin());
        Change& c = done_.back();
        MoveAside(c);
        if (c.staged.empty()) continue;
        std::error_code ec;
        fs::rename(c.staged, c.target, ec);
        if (ec) throw ToolError(c.target.string() + ": cannot put in place: " + ec.message());
        c.placed = true;
    }
}

void StagedFiles::Keep() {
    for (const Change& c : done_) {
        std::error_code ec;
        if (!c.earlier.empty() && !fs::remove(c.earlier, ec) && ec)
            std::cerr << "wardpack: warning: " << c.earlier.string() << ", the file " << c.target.string()
                      << " held before, could not be removed: " << ec.message() << "\n";
    }
    done_.clear();
}

// The file in a target's place goes under a temporary name beside it, to be
// put back or let go; a folder there is refused.
void StagedFiles::MoveAside(Change& c) {
    std::error_code ec;
    fs::file_type type = fs::symlink_status(c.target, ec).type();
    if (type == fs::file_type::not_found) return;
    if (type == fs::file_type::directory) throw ToolError(c.target.string() + ": a folder is in the file's place");
    fs::path aside;
    std::fclose(CreateTemporary(c.target, aside));
    fs::rename(c.target, aside, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(aside, ignored);
        throw ToolError(c.target.string() + ": cannot be replaced: " + ec.message());
    }
    c.earlier = aside;
}

void StagedFiles::PutBack(const Change& c) {
    std::error_code ec;
    if (!c.placed) fs::remove(c.staged, ec);
    if (!c.earlier.empty()) {
        fs::rename(c.earlier, c.target, ec);
        if (ec)
            std::cerr << "wardpack: error: " << c.target.string() << " cannot be put back (" << ec.message()
                      << "): what it held is in " << c.earlier.string()
                      << (c.placed ? ", and the new file stays in its place\n" : "\n");
    } else if (c.placed && !fs::remove(c.target, ec) && ec) {
        std::cerr << "wardpack: error: " << c.target.string() << ", new, cannot be removed again: " << ec.message()
                  << "\n";
    }
}

void MadeFolders::Make(const fs::path& folder) {
    std::vector<fs::path> missing;
    std::error_code ec;
    for (fs::path p = folder; !p.empty() && !fs::exists(fs::symlink_status(p, ec)); p = p.parent_path())
        missing.push_back(p);
    // Counted before they are made: a half-made chain goes again too.
    made_.insert(made_.end(), missing.rbegin(), missing.rend());
    fs::create_directories(folder, ec);
    if (ec) throw ToolError(folder.string() + ": cannot create: " + ec.message());
}

MadeFolders::~MadeFolders() {
    std::error_code ec;
    for (auto f = made_.rbegin(); f != made_.rend(); ++f)
        if (fs::is_directory(fs::symlink_status(*f, ec))) fs::remove(*f, ec);  // only when empty
}

// Whole-file reads and writes for the packaging tool, with clear errors.
// Every file the tool writes is complete or absent: it is written under a
// temporary name beside its target and renamed into place only when whole.
// A temporary name is made afresh, never the name of a file already there,
// and has a form that no disk set and no package table uses:
// "~wardpack-partial-N.tmp", longer than any entry's name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, const uint8_t* data, std::size_t size);
inline void WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& data) {
    WriteWholeFile(path, data.data(), data.size());
}

// Whether `name` has the form of the tool's temporary names, in any case.
bool IsTemporaryName(const std::string& name);

// An output file under a temporary name beside its target. Commit() closes
// it, checked, and renames it over the target, which replaces a link there
// rather than writing through it. Without a commit it is removed.
class PartialFile {
public:
    // Throws ToolError when it cannot be made, when a folder is in the target's
    // place or the target's name has the form of a temporary name.
    explicit PartialFile(const std::filesystem::path& target);
    ~PartialFile();
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    std::FILE* Get() const { return file_; }
    void Commit();  // throws ToolError: a write error (a full disk) or a failed rename
    // Closes it, checked, and hands it over: the whole file under its temporary name.
    std::filesystem::path Finish();

private:
    std::filesystem::path target_, temp_;
    std::FILE* file_ = nullptr;
};

// Files that take their places together or not at all. Each is written whole
// under a temporary name; Commit() puts every one in place and takes away
// every file to remove, keeping the files they replace aside under temporary
// names. Keep() then lets those go. Without Keep(), the destructor puts back
// what was there before and says on stderr what it could not.
class StagedFiles {
public:
    StagedFiles() = default;
    ~StagedFiles();
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;

    void Write(const std::filesystem::path& target, const uint8_t* data, std::size_t size);  // throws ToolError
    void Remove(const std::filesystem::path& target);  // goes at the next commit, when it is there
    void Commit();  // throws ToolError; whatever it did is undone unless Keep() follows
    void Keep();

private:
    struct Change {
        std::filesystem::path target, staged, earlier;  // staged empty: a removal; earlier empty: none was there
        bool placed = false;
    };
    void MoveAside(Change& change);
    void PutBack(const Change& change);
    std::vector<Change> pending_, done_;
};

// Folders made for a command's outputs. Without Keep(), the destructor removes
// each one it made again, the last made first, when it is empty: a command
// that fails leaves no folder of its own and takes none that it did not make.
class MadeFolders {
public:
    MadeFolders() = default;
    ~MadeFolders();
    MadeFolders(const MadeFolders&) = delete;
    MadeFolders& operator=(const MadeFolders&) = delete;

    void Make(const std::filesystem::path& folder);  // and its missing parents; throws ToolError
    void Keep() { made_.clear(); }

private:
    std::vector<std::filesystem::path> made_;  // in the order they are made
};

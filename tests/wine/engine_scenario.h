// What the engine's scenarios share: a small product with every kind of
// placement, and the checks of an installed result.
#pragma once

#include "tests/wine/installer_fixture.h"

using ProductFiles = std::vector<ProductFile>;

// The main executable first, then: a library, a help file, files of 0, 2048
// and 4096 bytes, a .LIB and a .DTP. About 27 KB, none of it compressible.
ProductFiles SmallProduct();

// Where an installed entry belongs: help files in the Windows help directory.
std::string PlacedPath(const std::string& installDir, const std::string& name);

// Every file of `files` at its place with its content, the main executable
// as Wardhavn.Exe; `except` names entries the caller checks itself.
void ExpectInstalled(const std::string& installDir, const ProductFiles& files,
                     const std::vector<std::string>& except = {});

// The help files of `files` removed from the Windows help directory.
void RemoveHelpFiles(const ProductFiles& files);

class EngineTest : public InstallerTest {
protected:
    void TearDown() override;
    ProductFiles product_ = SmallProduct();
};

// A file's bytes while the installer may still hold it open for writing.
std::string ReadShared(const std::string& path);
// Its size, read from the directory without opening it.
uint64_t FileSize(const std::string& path);
// A file of `size` zero bytes, made at once: the file system leaves a hole.
bool WriteZeros(const std::string& path, uint64_t size);
// An existing file lengthened (or cut) without writing: Wine keeps the hole
// sparse, so a test may hand the installer gigabytes that take no room.
bool SetFileLength(const std::string& path, uint64_t length);
// A file held open by this process, as another program would; closed on destruction.
class HeldFile {
public:
    HeldFile(const std::string& path, DWORD access, DWORD share);
    ~HeldFile();
    bool Ok() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

extern const char* const joiningLabel;
extern const char* const unpackingLabel;

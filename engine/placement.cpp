#include "engine/placement.h"

#include "engine/archive_io.h"
#include "engine/package_table.h"
#include "setup/context.h"

namespace {

// Placement paints nothing and reads no messages: it always runs to its end.
void copyEntry(FileVar& decoded, FileVar& target, int32_t size) {
    uint8_t block[blockSize];
    int32_t copied = 0;
    while (copied < size) {
        uint32_t want = size - copied < blockSize ? size - copied : blockSize;
        uint32_t n = checkedRead(decoded, block, want);
        if (n == 0) raiseIoError(ioReadPastEnd, decoded.name);
        checkedWrite(target, block, n);
        copied += static_cast<int32_t>(n);
    }
}

bool keptIfPresent(const PackageEntry& e) {
    std::string ext = UpperExtension(e.name);
    return (ext == ".LIB" || ext == ".DTP") && fileExists(PathJoin(ctx.installDir, e.name));
}

std::string targetPath(const PackageEntry& e) {
    if (UpperExtension(e.name) == ".HLP") return PathJoin(PathJoin(ctx.windowsDir, "Help"), e.name);
    return PathJoin(ctx.installDir, e.name);
}

// A file in use (or a missing help directory): the entry goes to a ".$$$"
// substitute in the installation directory, renamed over the original when
// Windows next starts. The line stands even when the substitute fails too.
int createSubstitute(FileVar& target, PackageEntry& e, std::vector<std::string>& renameLines) {
    std::string old = ShortPathOf(PathJoin(ctx.installDir, e.name));
    e.name = ReplaceExtension(e.name, ".$$$").substr(0, 20);
    std::string substitute = PathJoin(ctx.installDir, e.name);
    int result = fileOpen(target, substitute, FileMode::create);
    renameLines.push_back(old + "=" + ShortPathOf(substitute));
    return result;
}

void placeEntry(FileVar& decoded, PackageEntry& e, std::vector<std::string>& renameLines) {
    checkedSeek(decoded, static_cast<uint32_t>(e.offset));
    if (keptIfPresent(e)) return;
    FileVar target;
    int result = fileOpen(target, targetPath(e), FileMode::create);
    if (result != 0) result = createSubstitute(target, e, renameLines);
    if (result != 0) return;
    try {
        copyEntry(decoded, target, e.size);
    } catch (...) {
        fileClose(target);
        throw;
    }
    checkedClose(target);
}

// With entries the main executable ends where the first begins; without, it
// is the whole stream, less what the decoder's last match wrote beyond it.
uint32_t mainExecutableEnd() {
    return static_cast<uint32_t>(ctx.packageHead ? ctx.packageHead->offset : ctx.unpackedSize);
}

}  // namespace

std::string ShortPathOf(const std::string& path) {
    char shortPath[256];
    DWORD n = GetShortPathNameA(path.c_str(), shortPath, 255);
    return n == 0 || n > 255 ? path : std::string(shortPath, n);
}

void PlaceProductFiles(std::vector<std::string>& renameLines) {
    FileVar decoded;
    checkedOpen(decoded, PathJoin(ctx.installDir, product.mainExecutable), FileMode::readWrite);
    try {
        if (checkedSize(decoded) < static_cast<uint32_t>(ctx.unpackedSize))
            throw EInOutError(ioReadPastEnd, ioErrorText(ioReadPastEnd) + ": " + decoded.name +
                                                 " (the unpacked stream is shorter than the package table says)");
        for (ctx.packageTail = ctx.packageHead; ctx.packageTail; ctx.packageTail = ctx.packageTail->next)
            placeEntry(decoded, *ctx.packageTail, renameLines);
        checkedSeek(decoded, mainExecutableEnd());
        if (int r = fileTruncate(decoded)) raiseIoError(r, decoded.name);
    } catch (...) {
        fileClose(decoded);
        throw;
    }
    checkedClose(decoded);
    releasePackageTable();
}

#include "engine/placement.h"

#include "engine/archive_io.h"
#include "engine/package_table.h"
#include "runtime/paths.h"
#include "state/context.h"

namespace {

const size_t nameCapacity = 20;  // of a PackageEntry's name

// The decoded file while placement holds it open.
FileVar* openDecoded;

// A failure closes it first: the unpacking page's clean-up then can delete it.
void CloseDecoded() {
    if (openDecoded) FileClose(*openDecoded);
    openDecoded = nullptr;
}

// Placement paints nothing and reads no messages: it always runs to its end.
void CopyEntry(FileVar& decoded, FileVar& target, int32_t size) {
    uint8_t block[blockSize];
    int32_t copied = 0;
    while (copied < size) {
        uint32_t want = size - copied < blockSize ? size - copied : blockSize;
        uint32_t n = CheckedRead(decoded, block, want);
        if (n == 0) RaiseIoError(ioReadPastEnd, decoded.name);
        CheckedWrite(target, block, n);
        copied += static_cast<int32_t>(n);
    }
}

bool KeptIfPresent(const PackageEntry& e) {
    String ext = UpperExtension(e.name);
    return (ext == ".LIB" || ext == ".DTP") && FileExists(PathJoin(ctx.installDir, e.name));
}

String TargetPath(const PackageEntry& e) {
    if (UpperExtension(e.name) == ".HLP") return PathJoin(PathJoin(ctx.windowsDir, "Help"), e.name);
    return PathJoin(ctx.installDir, e.name);
}

bool Listed(const String& list, const String& name) {
    for (size_t at = 0, end; (end = list.find('|', at)) != String::npos; at = end + 1)
        if (SameTextIgnoringCase(list.substr(at, end - at), name)) return true;
    return false;
}

// A name this installation uses in its directory: the main executable's, an
// entry's (its substitute's once it has one), or one a queued rename names.
bool Taken(const String& name, const RenameQueue& renames) {
    if (SameTextIgnoringCase(name, product.mainExecutable) || Listed(renames.names, name)) return true;
    for (const PackageEntry* e = ctx.packageHead; e; e = e->next)
        if (SameTextIgnoringCase(name, e->name)) return true;
    return false;
}

// Fewer than a thousand names are ever taken (255 entries, a substitute each,
// and the main executable's two), so a free one is always found.
String SubstituteName(const String& name, const RenameQueue& renames) {
    for (int k = 0; k < 999; ++k) {
        String candidate = SubstituteCandidate(name, k);
        // Cut short, a name may end in a dot, which Windows drops: the blocked name again.
        if (candidate.back() != '.' && !Taken(candidate, renames)) return candidate;
    }
    return SubstituteCandidate(name, 999);
}

// A file in use (or a missing help directory): the entry goes to a substitute
// in the installation directory, renamed over the original when Windows next
// starts.
void CreateSubstitute(FileVar& target, PackageEntry& e, RenameQueue& renames) {
    String blocked = e.name;
    e.name = SubstituteName(blocked, renames);
    String substitute = PathJoin(ctx.installDir, e.name);
    int result = FileOpen(target, substitute, FileMode::create);
    if (result != 0) RaiseIoError(result, substitute);
    QueueRename(renames, blocked, e.name);
}

void PlaceEntry(FileVar& decoded, PackageEntry& e, RenameQueue& renames) {
    CheckedSeek(decoded, static_cast<uint32_t>(e.offset));
    if (KeptIfPresent(e)) return;
    FileVar target;
    if (FileOpen(target, TargetPath(e), FileMode::create) != 0) CreateSubstitute(target, e, renames);
    CopyEntry(decoded, target, e.size);
    CheckedClose(target);
}

// With entries the main executable ends where the first begins; without, it
// is the whole stream, less what the decoder's last match wrote beyond it.
uint32_t MainExecutableEnd() {
    return static_cast<uint32_t>(ctx.packageHead ? ctx.packageHead->offset : ctx.unpackedSize);
}

// Filled on first use; the completion reads the same record.
bool NtFamily() {
    OSVERSIONINFOA& version = ctx.versionInfo;
    if (version.dwOSVersionInfoSize == 0) {
        version.dwOSVersionInfoSize = 148;
        GetVersionExA(&version);
    }
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

// The extension counts; the rest of the name is cut to make room.
String SubstituteCandidate(const String& name, int k) {
    if (k == 0) return ReplaceExtension(name, ".$$$").substr(0, nameCapacity);
    String number = DecimalText(k);
    String extension = "." + String(3 - number.size(), '$') + number;
    return ReplaceExtension(name, "").substr(0, nameCapacity - extension.size()) + extension;
}

void QueueRename(RenameQueue& queue, const String& blocked, const String& substitute) {
    queue.lines += ShortPathOf(PathJoin(ctx.installDir, blocked)) + "=" +
                   ShortPathOf(PathJoin(ctx.installDir, substitute)) + "\r\n";
    queue.names += blocked + "|" + substitute + "|";
}

void CommitRenames(const RenameQueue& queue) {
    CheckedWrite(ctx.winInitFile, queue.lines.c_str(), static_cast<uint32_t>(queue.lines.size()));
    // The 95 family's MoveFileExA fails whatever it is asked.
    if (queue.names.empty() || !NtFamily()) return;
    for (size_t at = 0, middle, end; (middle = queue.names.find('|', at)) != String::npos; at = end + 1) {
        end = queue.names.find('|', middle + 1);
        String blocked = PathJoin(ctx.installDir, queue.names.substr(at, middle - at));
        String substitute = PathJoin(ctx.installDir, queue.names.substr(middle + 1, end - middle - 1));
        CheckedMoveAtRestart(substitute, blocked, true);
    }
}

void PlaceProductFiles(RenameQueue& renames) {
    FileVar decoded;
    CheckedOpen(decoded, PathJoin(ctx.installDir, product.mainExecutable), FileMode::readWrite);
    openDecoded = &decoded;
    FailureCleanup close(CloseDecoded);
    if (CheckedSize(decoded) < static_cast<uint32_t>(ctx.unpackedSize))
        RaiseError(ErrorClass::inOut, ioReadPastEnd,
                   IoErrorText(ioReadPastEnd) + ": " + decoded.name +
                       " (the unpacked stream is shorter than the package table says)");
    for (ctx.packageTail = ctx.packageHead; ctx.packageTail; ctx.packageTail = ctx.packageTail->next)
        PlaceEntry(decoded, *ctx.packageTail, renames);
    CheckedSeek(decoded, MainExecutableEnd());
    CheckedTruncate(decoded);
    CheckedClose(decoded);
    openDecoded = nullptr;
    ReleasePackageTable();
}

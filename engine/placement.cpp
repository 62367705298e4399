#include "engine/placement.h"

#include "engine/archive_io.h"
#include "engine/package_table.h"
#include "engine/run_journal.h"
#include "runtime/paths.h"
#include "state/context.h"

namespace {

const size_t nameCapacity = 20;  // of a PackageEntry's name

// The decoded file and an entry's target while placement holds them open.
FileVar *openDecoded, *openTarget;

// A failure closes them first: the clean-ups then can delete them.
void CloseDecoded() {
    if (openDecoded) {
        FileClose(*openDecoded);
        FileClose(*openTarget);
    }
    openDecoded = nullptr;
}

// Creates the file. One that was not there before is noted as this run's;
// one that was goes aside whole until every file is in place. A file in use
// cannot be renamed, and a read-only file or a file that has the name set
// aside for it (a user's) cannot be replaced: each fails here and gets a
// substitute instead. A folder of that name fails the run: no rename at the
// restart could put the file there. The journal has each step first.
int CreateTarget(FileVar& target, const String& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed && (attributes & FILE_ATTRIBUTE_DIRECTORY)) RaiseIoError(ERROR_ACCESS_DENIED, path);
    if (existed && ((attributes & FILE_ATTRIBUTE_READONLY) || FileExists(AsidePath(path)))) return ERROR_ACCESS_DENIED;
    JournalNote(existed ? '~' : '+', path);
    if (existed && !MoveFileA(path.c_str(), AsidePath(path).c_str())) return static_cast<int>(GetLastError());
    int result = FileOpen(target, path, FileMode::create);
    if (result != 0 && existed) MoveFileA(AsidePath(path).c_str(), path.c_str());
    if (result == 0) (existed ? ctx.replacedFiles : ctx.addedFiles) += path + "|";
    return result;
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

// A file, not a folder: a missing path's attributes have every bit set.
bool KeptIfPresent(const PackageEntry& e) {
    String ext = UpperExtension(e.name);
    return (ext == ".LIB" || ext == ".DTP") &&
           !(GetFileAttributesA(PathJoin(ctx.installDir, e.name).c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

String TargetPath(const PackageEntry& e) {
    if (HelpFile(e.name)) return PathJoin(PathJoin(ctx.windowsDir, "Help"), e.name);
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
// and the main executable's two), so a free one is found unless the folder
// holds hundreds of files of the same stem.
String SubstituteName(const String& name, const RenameQueue& renames) {
    for (int k = 0; k <= 999; ++k) {
        String candidate = SubstituteCandidate(name, k);
        // Cut short, a name may end in a dot, which Windows drops: the blocked name again.
        // A file already of that name is someone's: replaced, it would be lost at the end.
        if (candidate.back() != '.' && !Taken(candidate, renames) && !FileExists(PathJoin(ctx.installDir, candidate)))
            return candidate;
    }
    RaiseIoError(ERROR_FILE_EXISTS, PathJoin(ctx.installDir, SubstituteCandidate(name, 999)));
}

// A file in use (or a missing help directory): the entry goes to a substitute
// in the installation directory, renamed over the original when Windows next
// starts.
void CreateSubstitute(FileVar& target, PackageEntry& e, RenameQueue& renames) {
    String blocked = e.name;
    e.name = SubstituteName(blocked, renames);
    String substitute = PathJoin(ctx.installDir, e.name);
    int result = CreateTarget(target, substitute);
    if (result != 0) RaiseIoError(result, substitute);
    QueueRename(renames, blocked, e.name);
}

void PlaceEntry(FileVar& decoded, FileVar& target, PackageEntry& e, RenameQueue& renames) {
    CheckedSeek(decoded, static_cast<uint32_t>(e.offset));
    if (KeptIfPresent(e)) return;
    if (CreateTarget(target, TargetPath(e)) != 0) CreateSubstitute(target, e, renames);
    else if (HelpFile(e.name)) (ctx.sharedFiles += TargetPath(e)) += '|';
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

const char sessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char pendingValue[] = "PendingFileRenameOperations";

// The NT family's key of moves, open to read and write; raises when it cannot be.
HKEY SessionManager() {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (result != ERROR_SUCCESS) RaiseIoError(result, pendingValue);
    return key;
}

// The list's pairs "source\0destination\0" (a deletion's destination empty),
// without the empty string that closes it or a pair cut short.
String PendingList() {
    HKEY key = SessionManager();
    DWORD type = 0, size = 0;
    String list;
    if (RegQueryValueExA(key, pendingValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_MULTI_SZ) {
        list = String(size, '\0');
        if (RegQueryValueExA(key, pendingValue, nullptr, &type, reinterpret_cast<BYTE*>(list.data()), &size) != ERROR_SUCCESS)
            size = 0;
    }
    RegCloseKey(key);
    size_t end = 0;
    // Odd strings are sources, which are never empty; even ones destinations.
    for (size_t at = 0, strings = 1; at < size && (list[at] != '\0' || strings % 2 == 0); ++strings) {
        while (at < size && list[at] != '\0') ++at;
        if (++at <= size && strings % 2 == 0) end = at;
    }
    return list.substr(0, end);
}

// A path of the list without its "!" and "\??\".
void AppendUnmarked(String& to, const char* entry) {
    if (*entry == '!') ++entry;
    // "\??\" is four single-byte characters: read byte by byte, it is read right.
    if (entry[0] == '\\' && entry[1] == '?' && entry[2] == '?' && entry[3] == '\\') entry += 4;
    to += entry;
}

// The pairs of the list as "destination=source" lines.
String MovesOf(const String& list) {
    String lines;
    for (size_t at = 0, second; at < list.size(); at = list.find('\0', second) + 1) {
        second = list.find('\0', at) + 1;
        AppendUnmarked(lines, list.c_str() + second);
        lines += "=";
        AppendUnmarked(lines, list.c_str() + at);
        lines += "\r\n";
    }
    return lines;
}

// The lines of `moves` that `waiting` does not hold.
String NewMoves(const String& waiting, const String& moves) {
    String added;
    for (size_t at = 0, end; (end = moves.find('\n', at)) != String::npos; at = end + 1) {
        String line = moves.substr(at, end + 1 - at);
        if (!MoveWaiting(waiting, line.substr(line[0] == '!'))) added += line;
    }
    return added;
}

}  // namespace

String AsidePath(const String& path) { return path + ".~$$"; }

void DropAsides() {
    const String& replaced = ctx.replacedFiles;
    for (size_t at = 0, end; (end = replaced.find('|', at)) != String::npos; at = end + 1)
        DeleteFileA(AsidePath(replaced.substr(at, end - at)).c_str());
}

// The extension counts; the rest of the name is cut to make room.
String SubstituteCandidate(const String& name, int k) {
    if (k == 0) return LeadingCharacters(ReplaceExtension(name, ".$$$"), nameCapacity);
    String number = DecimalText(k);
    String extension = "." + String(3 - number.size(), '$') + number;
    return LeadingCharacters(ReplaceExtension(name, ""), nameCapacity - extension.size()) + extension;
}

void QueueRename(RenameQueue& queue, const String& blocked, const String& substitute) {
    queue.lines += ShortPathOf(PathJoin(ctx.installDir, blocked)) + "=" +
                   ShortPathOf(PathJoin(ctx.installDir, substitute)) + "\r\n";
    queue.names += blocked + "|" + substitute + "|";
}

void CommitRenames(const RenameQueue& queue) {
    QueueLines(queue.lines);
    String moves;
    for (size_t at = 0, middle, end; (middle = queue.names.find('|', at)) != String::npos; at = end + 1) {
        end = queue.names.find('|', middle + 1);
        String blocked = PathJoin(ctx.installDir, queue.names.substr(at, middle - at));
        // The start-up's rename will not replace a read-only file: its marks go
        // only now, once every file is placed; the rename replaces it whole.
        SetFileAttributesA(blocked.c_str(), FILE_ATTRIBUTE_NORMAL);
        moves += "!" + blocked + "=" + PathJoin(ctx.installDir, queue.names.substr(middle + 1, end - middle - 1)) + "\r\n";
    }
    // The 95 family's MoveFileExA fails whatever it is asked.
    if (!moves.empty() && NtFamily()) QueueMoves(moves);
}

String WaitingLines() {
    FileVar& f = ctx.winInitFile;
    uint32_t size = CheckedSize(f);
    String text(size, '\0');
    CheckedSeek(f, 0);
    CheckedReadExact(f, text.data(), size);  // and the next line goes at the end again
    return text;
}

String WaitingMoves() { return MovesOf(PendingList()); }

bool MoveWaiting(const String& waiting, const String& text) {
    for (size_t at = 0; at < waiting.size(); ++at) {
        if (at > 0 && waiting[at - 1] != '\n') continue;
        size_t from = at + (waiting[at] == '!');
        if (SameTextIgnoringCase(waiting.substr(from, text.size()), text)) return true;
    }
    return false;
}

void QueueLines(const String& lines) {
    String added = NewMoves(WaitingLines(), lines);
    CheckedWrite(ctx.winInitFile, added.c_str(), static_cast<uint32_t>(added.size()));
}

// Written back whole with the new pairs: two moves queued together are never
// found one without the other.
void QueueMoves(const String& moves) {
    String list = PendingList(), added = NewMoves(MovesOf(list), moves);
    if (added.empty()) return;
    for (size_t at = 0, equals, end; (end = added.find('\r', at)) != String::npos; at = end + 2) {
        equals = added.find('=', at);
        list += "\\??\\";
        list.append(added.c_str() + equals + 1, end - equals - 1);
        list += '\0';
        if (added[at] == '!') list += added[at++];
        list += "\\??\\";
        list.append(added.c_str() + at, equals - at);
        list += '\0';
    }
    list += '\0';
    HKEY key = SessionManager();
    LONG result = RegSetValueExA(key, pendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list.c_str()),
                                 static_cast<DWORD>(list.size()));
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) RaiseIoError(result, pendingValue);
}

void PlaceProductFiles(RenameQueue& renames) {
    FileVar decoded, target;
    CheckedOpen(decoded, PathJoin(ctx.installDir, product.mainExecutable), FileMode::readWrite);
    openDecoded = &decoded;
    openTarget = &target;
    FailureCleanup close(CloseDecoded);
    if (CheckedSize(decoded) < static_cast<uint32_t>(ctx.unpackedSize))
        RaiseError(ErrorClass::inOut, ioReadPastEnd,
                   IoErrorText(ioReadPastEnd) + ": " + decoded.name +
                       " (the unpacked stream is shorter than the package table says)");
    for (ctx.packageTail = ctx.packageHead; ctx.packageTail; ctx.packageTail = ctx.packageTail->next)
        PlaceEntry(decoded, target, *ctx.packageTail, renames);
    CheckedSeek(decoded, MainExecutableEnd());
    CheckedTruncate(decoded);
    CheckedClose(decoded);
    openDecoded = nullptr;
    ReleasePackageTable();
}

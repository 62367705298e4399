#include "sample/uninstall/win_init.h"

#include "runtime/file_io.h"
#include "runtime/paths.h"

namespace {

String WinInitPath(const Installation& at) { return PathJoin(at.windowsDir, "WinInit.Ini"); }

// Where a new text waits to take the file's place (see WriteText).
String NextPath(const String& path) { return ReplaceExtension(path, ".$$$"); }

// A missing file reads as empty; false when one is there but cannot be read.
// A replacement cut off half-way is finished or dropped first.
bool ReadText(const String& path, String& text) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) MoveFileA(NextPath(path).c_str(), path.c_str());
    else DeleteFileA(NextPath(path).c_str());
    text.clear();
    FileVar f;
    int result = FileOpen(f, path, FileMode::readOnly);
    if (result == ERROR_FILE_NOT_FOUND) return true;
    uint32_t size = 0, got = 0;
    if (result != 0 || FileSize(f, size) != 0) return false;
    text = String(size, '\0');
    return FileRead(f, text.data(), size, got) == 0 && got == size && FileClose(f) == 0;
}

bool WriteAll(const String& path, FileMode mode, const String& text) {
    FileVar f;
    uint32_t put = 0;
    if (FileOpen(f, path, mode) != 0) return false;
    bool written = FileWrite(f, text.c_str(), static_cast<uint32_t>(text.size()), put) == 0 && put == text.size();
    return FileClose(f) == 0 && written;
}

// Never a file cut short, which would lose other programs' lines too: the new
// text is written beside it and then takes its place, in one step where the
// system can (not the 95 family: there the old file goes first).
bool WriteText(const String& path, const String& text) {
    String next = NextPath(path);
    if (!WriteAll(next, FileMode::create, text)) {
        DeleteFileA(next.c_str());
        return false;
    }
    if (MoveFileExA(next.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileA(path.c_str());
    return MoveFileA(next.c_str(), path.c_str()) != 0;
}

String Trimmed(const String& line) {
    size_t start = 0, end = line.size();
    while (start < end && (line[start] == ' ' || line[start] == '\t')) ++start;
    while (end > start && (line[end - 1] == ' ' || line[end - 1] == '\t' || line[end - 1] == '\r')) --end;
    return line.substr(start, end - start);
}

// Calls `visit` with each line's bounds: [at, end) without its line feed.
template <class Visit>
void ForEachLine(const String& text, Visit visit) {
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == String::npos) end = text.size();
        visit(at, end);
    }
}

// The last section header of the text ("[Name]" opening a line), or empty.
String LastSection(const String& text) {
    String section;
    ForEachLine(text, [&](size_t at, size_t end) {
        String line = Trimmed(text.substr(at, end - at));
        if (!line.empty() && line[0] == '[') section = line;
    });
    return section;
}

// Calls `visit` with each "destination=source" line's two sides, blanks trimmed.
template <class Visit>
void ForEachMove(const String& text, Visit visit) {
    ForEachLine(text, [&](size_t at, size_t end) {
        String line = Trimmed(text.substr(at, end - at));
        size_t equals = line.find('=');
        if (equals != String::npos) visit(Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)));
    });
}

// Rewrites the file without the moves `drop` picks (given destination and
// source); false when none is picked, or when it cannot be rewritten (noted).
template <class Drop>
bool DropLines(Installation& at, const String& text, Drop drop) {
    String kept;
    bool dropped = false;
    ForEachLine(text, [&](size_t from, size_t end) {
        String line = Trimmed(text.substr(from, end - from));
        size_t equals = line.find('=');
        if (equals != String::npos && drop(Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)))) {
            dropped = true;
            return;
        }
        kept += text.substr(from, end < text.size() ? end + 1 - from : end - from);
    });
    if (!dropped) return false;
    if (WriteText(WinInitPath(at), kept)) return true;
    NoteLeftover(at, "the pending lines in " + WinInitPath(at));
    return false;
}

}  // namespace

bool TakeBackPendingLines(Installation& at, const String& aside, const String& destination,
                          bool (*ours)(const Installation&, const String&), String& sources) {
    String text, taken;
    bool others = false;
    if (!ReadText(WinInitPath(at), text)) return false;
    ForEachMove(text, [&](const String& to, const String& from) {
        if (!SameTextIgnoringCase(to, destination)) return;
        if (ours(at, from)) taken += from + "\n";
        else others = true;
    });
    if (taken.empty()) return false;
    // Another move onto the destination still waits: the file there must go aside first still.
    bool dropped = DropLines(at, text, [&](const String& to, const String& from) {
        return SameTextIgnoringCase(to, destination) ? ours(at, from)
                                                     : !others && SameTextIgnoringCase(to + "=" + from, aside);
    });
    if (dropped) sources = taken;
    return dropped;
}

bool TakeBackLinesFrom(Installation& at, const String& source) {
    String text;
    return ReadText(WinInitPath(at), text) &&
           DropLines(at, text, [&](const String&, const String& from) { return SamePath(from, source); });
}

bool PendingLineQueued(const Installation& at, const String& line) {
    String text;
    bool found = false;
    if (!ReadText(WinInitPath(at), text)) return false;
    ForEachLine(text, [&](size_t from, size_t end) {
        found = found || SameTextIgnoringCase(Trimmed(text.substr(from, end - from)), line);
    });
    return found;
}

// Appended in one write: the lines before them are never rewritten.
bool QueueWinInitLines(Installation& at, const String& lines) {
    String text, added;
    bool read = ReadText(WinInitPath(at), text);
    if (!text.empty() && text.back() != '\n') added += "\r\n";
    if (!SameTextIgnoringCase(LastSection(text), "[Rename]")) added += "[Rename]\r\n";
    if (read && WriteAll(WinInitPath(at), FileMode::append, added + lines)) return true;
    NoteLeftover(at, "the lines for the next start in " + WinInitPath(at));
    return false;
}

#include "sample/uninstall/pending_moves.h"

#include <windows.h>

namespace {

const char sessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char pendingValue[] = "PendingFileRenameOperations";

// A path as the list spells it, its "!" and "\??\" taken off.
String ListedPath(const String& entry) {
    size_t from = !entry.empty() && entry[0] == '!' ? 1 : 0;
    if (entry.size() >= from + 4 && entry.substr(from, 4) == "\\??\\") from += 4;
    return entry.substr(from);
}

// The zero-terminated string of the list at `pos`; `pos` moves past it.
String NextString(const String& list, size_t& pos) {
    size_t end = list.find('\0', pos);
    if (end == String::npos) end = list.size();
    String s = list.substr(pos, end - pos);
    pos = end + 1;
    return s;
}

String ReadList(HKEY key) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, pendingValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ || size == 0)
        return String();
    String list(size, '\0');
    if (RegQueryValueExA(key, pendingValue, nullptr, &type, reinterpret_cast<BYTE*>(list.data()), &size) !=
        ERROR_SUCCESS)
        return String();
    return list.substr(0, size);
}

// The open Session Manager key, 0 when it cannot be opened.
HKEY OpenSessionManager() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// Calls `visit` with each waiting move's destination and source, without their marks.
template <class Visit>
void ForEachPendingMove(Visit visit) {
    HKEY key = OpenSessionManager();
    if (!key) return;
    String list = ReadList(key);
    RegCloseKey(key);
    for (size_t pos = 0; pos < list.size() && list[pos] != '\0';) {
        String from = ListedPath(NextString(list, pos));
        String to = pos < list.size() ? ListedPath(NextString(list, pos)) : String();
        visit(to, from);
    }
}

// Rewrites the list without the moves `drop` picks (given destination and
// source); false when none is picked, or when it cannot be rewritten (noted).
template <class Drop>
bool DropMoves(Installation& at, Drop drop) {
    HKEY key = OpenSessionManager();
    if (!key) return false;
    String list = ReadList(key), kept;
    bool dropped = false;
    for (size_t pos = 0; pos < list.size() && list[pos] != '\0';) {
        String from = NextString(list, pos);
        String to = pos < list.size() ? NextString(list, pos) : String();
        if (drop(ListedPath(to), ListedPath(from))) {
            dropped = true;
            continue;
        }
        kept += from + String(1, '\0') + to + String(1, '\0');
    }
    // The list ends in an empty string.
    kept += String(1, '\0');
    if (dropped && RegSetValueExA(key, pendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.c_str()),
                                  static_cast<DWORD>(kept.size())) != ERROR_SUCCESS) {
        NoteLeftover(at, String("the moves waiting for the next start (") + pendingValue + ")");
        dropped = false;
    }
    RegCloseKey(key);
    return dropped;
}

}  // namespace

bool PendingMoveQueued(const String& source, const String& destination) {
    bool queued = false;
    ForEachPendingMove([&](const String& to, const String& from) {
        queued = queued || (SameTextIgnoringCase(from, source) && SameTextIgnoringCase(to, destination));
    });
    return queued;
}

bool TakeBackPendingMoves(Installation& at, const String& asideFrom, const String& asideTo, const String& destination,
                          bool (*ours)(const Installation&, const String&), String& sources) {
    String taken;
    bool others = false;
    ForEachPendingMove([&](const String& to, const String& from) {
        if (!SameTextIgnoringCase(to, destination)) return;
        if (ours(at, from)) taken += from + "\n";
        else others = true;
    });
    if (taken.empty()) return false;
    bool dropped = DropMoves(at, [&](const String& to, const String& from) {
        return SameTextIgnoringCase(to, destination)
                   ? ours(at, from)
                   : !others && SameTextIgnoringCase(from, asideFrom) && SameTextIgnoringCase(to, asideTo);
    });
    if (dropped) sources = taken;
    return dropped;
}

bool TakeBackMovesFrom(Installation& at, const String& source) {
    return DropMoves(at, [&](const String&, const String& from) { return SameTextIgnoringCase(from, source); });
}

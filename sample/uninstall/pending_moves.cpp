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

}  // namespace

bool PendingMoveQueued(const String& source, const String& destination) {
    HKEY key = OpenSessionManager();
    if (!key) return false;
    String list = ReadList(key);
    RegCloseKey(key);
    for (size_t pos = 0; pos < list.size() && list[pos] != '\0';) {
        String from = ListedPath(NextString(list, pos));
        String to = pos < list.size() ? ListedPath(NextString(list, pos)) : String();
        if (SameTextIgnoringCase(from, source) && SameTextIgnoringCase(to, destination)) return true;
    }
    return false;
}

bool DropPendingMoves(Installation& at, bool (*ours)(const Installation&, const String&, const String&),
                      String& source) {
    HKEY key = OpenSessionManager();
    if (!key) return false;
    String list = ReadList(key), kept;
    bool dropped = false;
    for (size_t pos = 0; pos < list.size() && list[pos] != '\0';) {
        String from = NextString(list, pos);
        String to = pos < list.size() ? NextString(list, pos) : String();
        if (ours(at, ListedPath(from), ListedPath(to))) {
            dropped = true;
            source = ListedPath(from);
            continue;
        }
        kept += from + String(1, '\0') + to + String(1, '\0');
    }
    // The list ends in an empty string.
    kept += String(1, '\0');
    if (dropped && RegSetValueExA(key, pendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.c_str()),
                                  static_cast<DWORD>(kept.size())) != ERROR_SUCCESS)
        NoteLeftover(at, String("the moves waiting for the next start (") + pendingValue + ")");
    RegCloseKey(key);
    return dropped;
}

#include "system/registry.h"

#include <vector>

namespace {

std::string quoted(const char* before, const std::string& name) {
    return std::string(before) + "'" + name + "'";
}

[[noreturn]] void raiseCreateFailed(const std::string& path) {
    throw ERegistryException("Failed to create key " + path);
}

[[noreturn]] void raiseSetFailed(const std::string& name) { throw ERegistryException(quoted("Failed to set data for ", name)); }
[[noreturn]] void raiseGetFailed(const std::string& name) { throw ERegistryException(quoted("Failed to get data for ", name)); }
[[noreturn]] void raiseInvalidType(const std::string& name) { throw ERegistryException(quoted("Invalid data type for ", name)); }

// Puts a section's key in place of the open key for one read or write and
// restores the open key afterwards, also when that read or write raises.
class BorrowedKey {
public:
    BorrowedKey(HKEY& slot, HKEY borrowed) : slot_(slot), saved_(slot) { slot_ = borrowed; }
    ~BorrowedKey() {
        RegCloseKey(slot_);
        slot_ = saved_;
    }
    BorrowedKey(const BorrowedKey&) = delete;
    BorrowedKey& operator=(const BorrowedKey&) = delete;

private:
    HKEY& slot_;
    HKEY saved_;
};

}  // namespace

RegDataKind DataKindOfType(DWORD registryType) {
    switch (registryType) {
    case REG_SZ: return RegDataKind::string;
    case REG_EXPAND_SZ: return RegDataKind::expandString;
    case REG_DWORD: return RegDataKind::integer;
    case REG_BINARY: return RegDataKind::binary;
    default: return RegDataKind::unknown;
    }
}

DWORD TypeOfDataKind(RegDataKind kind) {
    switch (kind) {
    case RegDataKind::string: return REG_SZ;
    case RegDataKind::expandString: return REG_EXPAND_SZ;
    case RegDataKind::integer: return REG_DWORD;
    case RegDataKind::binary: return REG_BINARY;
    default: return REG_NONE;
    }
}

TRegistry::TRegistry() = default;

TRegistry::~TRegistry() { ReleaseKey(); }

void TRegistry::ReleaseKey() {
    if (!keyHandle) return;
    RegCloseKey(keyHandle);
    keyHandle = nullptr;
    keyPath.clear();
}

void TRegistry::SelectRoot(HKEY root) {
    if (root == rootHandle) return;
    rootHandle = root;
    ReleaseKey();
}

HKEY TRegistry::baseKeyFor(std::string& path, bool& relative) const {
    relative = path.empty() || path[0] != '\\';
    if (!relative) path.erase(0, 1);
    return relative && keyHandle ? keyHandle : rootHandle;
}

bool TRegistry::OpenPath(const std::string& path, bool create) {
    std::string subkey = path;
    bool relative;
    HKEY base = baseKeyFor(subkey, relative);
    HKEY opened = nullptr;
    LONG result;
    if (create && !subkey.empty())
        result = RegCreateKeyExA(base, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                 &opened, nullptr);
    else
        result = RegOpenKeyExA(base, subkey.c_str(), 0, KEY_ALL_ACCESS, &opened);
    if (result != ERROR_SUCCESS) return false;
    std::string newPath = keyHandle && relative ? keyPath + "\\" + subkey : subkey;
    ReleaseKey();
    keyHandle = opened;
    keyPath = newPath;
    return true;
}

bool TRegistry::MakeKey(const std::string& path) {
    std::string subkey = path;
    bool relative;
    HKEY base = baseKeyFor(subkey, relative);
    HKEY made = nullptr;
    if (RegCreateKeyExA(base, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &made,
                        nullptr) != ERROR_SUCCESS)
        raiseCreateFailed(path);
    RegCloseKey(made);
    return true;
}

HKEY TRegistry::OpenSubkey(const std::string& path) {
    std::string subkey = path;
    bool relative;
    HKEY base = baseKeyFor(subkey, relative);
    HKEY opened = nullptr;
    if (RegOpenKeyExA(base, subkey.c_str(), 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS) return nullptr;
    return opened;
}

bool TRegistry::HasValue(const std::string& name) {
    DWORD type = 0, size = 0;
    return RegQueryValueExA(keyHandle, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

void TRegistry::PutString(const std::string& name, const std::string& text) {
    if (RegSetValueExA(keyHandle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1)) != ERROR_SUCCESS)
        raiseSetFailed(name);
}

std::string TRegistry::GetString(const std::string& name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(keyHandle, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return std::string();
    std::vector<char> data(size);
    if (RegQueryValueExA(keyHandle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        raiseGetFailed(name);
    RegDataKind kind = DataKindOfType(type);
    if (kind != RegDataKind::string && kind != RegDataKind::expandString) raiseInvalidType(name);
    // The stored data need not end in a zero, nor stop at the first one.
    std::string text(data.data(), size);
    return text.substr(0, text.find('\0'));
}

TRegIniFile::TRegIniFile(const std::string& path) : iniPath(path) { OpenPath(path, true); }

void TRegIniFile::WriteEntry(const std::string& section, const std::string& ident, const std::string& value) {
    MakeKey(section);
    HKEY key = OpenSubkey(section);
    if (!key) return;
    BorrowedKey borrowed(keyHandle, key);
    PutString(ident, value);
}

std::string TRegIniFile::ReadEntry(const std::string& section, const std::string& ident,
                                   const std::string& fallback) {
    HKEY key = OpenSubkey(section);
    if (!key) return fallback;
    BorrowedKey borrowed(keyHandle, key);
    return HasValue(ident) ? GetString(ident) : fallback;
}

#include "system/registry.h"

#include "runtime/error.h"
#include "runtime/system_dlls.h"

namespace {

[[noreturn]] void RaiseRegistryError(const char* what, const String& name) {
    RaiseError(ErrorClass::registry, 0, String(what) + "'" + name + "'");
}

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

REGSAM NativeRegistryView() {
    // Looked up, not imported: 95 and NT 4.0 would refuse to load the installer.
    typedef BOOL(WINAPI * Wow64Query)(HANDLE, PBOOL);
    Wow64Query query = LoadedFunction<Wow64Query>("KERNEL32", "IsWow64Process");
    BOOL wow64 = FALSE;
    if (query) query(CurrentProcess(), &wow64);
    return wow64 ? KEY_WOW64_64KEY : 0;
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

HKEY TRegistry::BaseKeyFor(String& path, bool& relative) const {
    relative = path.empty() || path[0] != '\\';
    if (!relative) path = path.substr(1);
    return relative && keyHandle ? keyHandle : rootHandle;
}

bool TRegistry::OpenPath(const String& path, bool create) {
    String subkey = path;
    bool relative;
    HKEY base = BaseKeyFor(subkey, relative);
    HKEY opened = nullptr;
    LONG result;
    if (create && !subkey.empty())
        result = RegCreateKeyExA(base, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                 &opened, nullptr);
    else
        result = RegOpenKeyExA(base, subkey.c_str(), 0, access, &opened);
    if (result != ERROR_SUCCESS) return false;
    String newPath = keyHandle && relative ? keyPath + "\\" + subkey : subkey;
    ReleaseKey();
    keyHandle = opened;
    keyPath = newPath;
    return true;
}

bool TRegistry::MakeKey(const String& path) {
    String subkey = path;
    bool relative;
    HKEY base = BaseKeyFor(subkey, relative);
    HKEY made = nullptr;
    if (RegCreateKeyExA(base, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &made,
                        nullptr) != ERROR_SUCCESS)
        RaiseError(ErrorClass::registry, 0, "Failed to create key " + path);
    RegCloseKey(made);
    return true;
}

HKEY TRegistry::OpenSubkey(const String& path) {
    String subkey = path;
    bool relative;
    HKEY base = BaseKeyFor(subkey, relative);
    HKEY opened = nullptr;
    if (RegOpenKeyExA(base, subkey.c_str(), 0, access, &opened) != ERROR_SUCCESS) return nullptr;
    return opened;
}

bool TRegistry::HasValue(const String& name) {
    DWORD type = 0, size = 0;
    return RegQueryValueExA(keyHandle, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

void TRegistry::PutString(const String& name, const String& text) {
    if (RegSetValueExA(keyHandle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1)) != ERROR_SUCCESS)
        RaiseRegistryError("Failed to set data for ", name);
}

String TRegistry::GetString(const String& name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(keyHandle, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return String();
    String data(size, '\0');
    if (RegQueryValueExA(keyHandle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        RaiseRegistryError("Failed to get data for ", name);
    RegDataKind kind = DataKindOfType(type);
    if (kind != RegDataKind::string && kind != RegDataKind::expandString)
        RaiseRegistryError("Invalid data type for ", name);
    // The stored data need not end in a zero, nor stop at the first one.
    String text = data.substr(0, size);
    return text.substr(0, text.find('\0'));
}

TRegIniFile::TRegIniFile(const String& path) : iniPath(path) { OpenPath(path, true); }

void TRegIniFile::WriteEntry(const String& section, const String& ident, const String& value) {
    MakeKey(section);
    HKEY key = OpenSubkey(section);
    if (!key) return;
    BorrowedKey borrowed(keyHandle, key);
    PutString(ident, value);
}

String TRegIniFile::ReadEntry(const String& section, const String& ident,
                                   const String& fallback) {
    HKEY key = OpenSubkey(section);
    if (!key) return fallback;
    BorrowedKey borrowed(keyHandle, key);
    return HasValue(ident) ? GetString(ident) : fallback;
}

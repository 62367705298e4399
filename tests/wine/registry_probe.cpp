#include "tests/wine/registry_probe.h"

#include <vector>

std::ostream& operator<<(std::ostream& out, const RegValue& v) {
    if (!v.present) return out << "(no value)";
    out << "type " << v.type << " \"";
    for (char c : v.data) {
        if (c == '\0') out << "\\0";
        else out << c;
    }
    return out << "\"";
}

RegValue ReadRegValue(HKEY root, const std::string& path, const std::string& name, REGSAM view) {
    RegValue v;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return v;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::vector<char> data(size + 1);
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) ==
            ERROR_SUCCESS)
            v = RegValue(type, std::string(data.data(), size));
    }
    RegCloseKey(key);
    return v;
}

bool WriteRegValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                   const std::string& data, REGSAM view) {
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                            static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

void RestoreRegValue(HKEY root, const std::string& path, const std::string& name, const RegValue& value,
                     REGSAM view) {
    if (value.present) {
        WriteRegValue(root, path, name, value.type, value.data, view);
        return;
    }
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void DeleteKeyTree(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    std::vector<std::string> children;
    char child[256];
    DWORD size = sizeof child;
    for (DWORD i = 0; RegEnumKeyExA(key, i, child, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; ++i) {
        children.push_back(child);
        size = sizeof child;
    }
    for (const std::string& c : children) DeleteKeyTree(key, c);
    RegCloseKey(key);
    RegDeleteKeyA(root, path.c_str());
}

std::string RegText(const RegValue& v) { return v.data.substr(0, v.data.find('\0')); }

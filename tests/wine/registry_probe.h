// The tests' own view of the registry, through the plain Reg* calls: what
// the installer wrote, set-ups of values, and putting things back afterwards.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>

struct RegValue {
    DWORD type = REG_NONE;
    std::string data;  // the stored bytes, terminating zero included
    bool present = false;
    bool operator==(const RegValue& o) const { return present == o.present && type == o.type && data == o.data; }
    RegValue() = default;
    RegValue(DWORD t, const std::string& d) : type(t), data(d), present(true) {}
};
std::ostream& operator<<(std::ostream& out, const RegValue& v);

// `view`: 0, or KEY_WOW64_64KEY for the 64-bit view of a 64-bit prefix.
RegValue ReadRegValue(HKEY root, const std::string& path, const std::string& name, REGSAM view = 0);
// Creates the key when needed.
bool WriteRegValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                   const std::string& data, REGSAM view = 0);
// Puts `value` back as it was: written, or deleted when it was not present.
void RestoreRegValue(HKEY root, const std::string& path, const std::string& name, const RegValue& value,
                     REGSAM view = 0);
bool KeyExists(HKEY root, const std::string& path);
void DeleteKeyTree(HKEY root, const std::string& path);

// A REG_SZ value's text without its terminating zero.
std::string RegText(const RegValue& v);

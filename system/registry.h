// A thin object layer over the registry: TRegistry holds one open key and
// reads and writes values in it; TRegIniFile views a key path like an ini
// file (sections are subkeys, idents are value names).
//
// Path rule of every operation that takes a key path: a leading backslash
// makes it absolute (taken below the root key, without that backslash); any
// other path is relative, taken below the open key, or below the root key
// when none is open. Keys are opened and created with KEY_ALL_ACCESS, plus
// the view a caller selects (SelectView).
#pragma once

#include <windows.h>

#include "runtime/text.h"

// Failures raise ERegistryException ("Failed to create key %s", "Failed to set data for '%s'", ...).

// The layer's data kinds and the registry types they stand for.
enum class RegDataKind { unknown = 0, string = 1, expandString = 2, integer = 3, binary = 4 };

RegDataKind DataKindOfType(DWORD registryType);  // any type without a kind of its own is unknown

// KEY_WOW64_64KEY when this 32-bit program runs on 64-bit Windows (WOW64),
// where its HKEY_LOCAL_MACHINE\Software is otherwise the 32-bit copy that
// 64-bit Windows itself never reads; 0 everywhere else, where the flag is
// unknown (95, NT 4.0) or refused (Windows 2000).
REGSAM NativeRegistryView();

class TRegistry {
public:
    TRegistry();
    virtual ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    void ReleaseKey();
    // Keys opened from now on are taken from this registry view (0, or
    // NativeRegistryView()); the open key stays as it is.
    void SelectView(REGSAM view) { access = KEY_ALL_ACCESS | view; }
    // Switching to another root releases the open key; the same root changes nothing.
    void SelectRoot(HKEY root);
    // Makes `path` the open key, creating it when `create` is set. False, and
    // nothing changed, when the key cannot be had.
    bool OpenPath(const String& path, bool create);
    // Creates the key (or finds it present) and closes it again; raises on failure.
    bool MakeKey(const String& path);
    // A new handle of an existing key, owned by the caller; 0 when it cannot be opened.
    HKEY OpenSubkey(const String& path);
    bool HasValue(const String& name);
    void PutString(const String& name, const String& text);
    // "" for a missing or empty value; cut at the first zero; raises for a non-string value.
    String GetString(const String& name);

    HKEY CurrentKey() const { return keyHandle; }
    const String& CurrentPath() const { return keyPath; }

protected:
    HKEY keyHandle = nullptr;
    HKEY rootHandle = HKEY_CURRENT_USER;
    String keyPath;
    REGSAM access = KEY_ALL_ACCESS;

private:
    // Where `path` is taken from, with the leading backslash of an absolute path removed.
    HKEY BaseKeyFor(String& path, bool& relative) const;
};

class TRegIniFile : public TRegistry {
public:
    // Opens `path` below HKEY_CURRENT_USER, creating it when absent.
    explicit TRegIniFile(const String& path);

    void WriteEntry(const String& section, const String& ident, const String& value);
    String ReadEntry(const String& section, const String& ident, const String& fallback);

    const String& IniPath() const { return iniPath; }

private:
    String iniPath;
};

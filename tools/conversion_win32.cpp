// Code page conversions through UTF-16, as Windows makes them.
#include <windows.h>

#include <string>

#include "tools/name_text.h"

namespace names {

namespace {

bool Convert(const std::string& in, unsigned from, unsigned to, std::string& out) {
    if (in.empty()) return out.clear(), true;
    int wide = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), int(in.size()), nullptr, 0);
    if (wide <= 0) return false;
    std::wstring text(std::size_t(wide), L'\0');
    MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), int(in.size()), text.data(), wide);
    // UTF-8 takes no default character: its conversion fails on its own.
    BOOL defaulted = FALSE;
    BOOL* usedDefault = to == CP_UTF8 ? nullptr : &defaulted;
    DWORD flags = to == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    int bytes = WideCharToMultiByte(to, flags, text.data(), wide, nullptr, 0, nullptr, usedDefault);
    if (bytes <= 0 || defaulted) return false;
    out.assign(std::size_t(bytes), '\0');
    WideCharToMultiByte(to, flags, text.data(), wide, out.data(), bytes, nullptr, usedDefault);
    return !defaulted;
}

}  // namespace

bool FromUtf8(const std::string& text, unsigned codePage, std::string& out) {
    return IsTargetCodePage(codePage) && Convert(text, CP_UTF8, codePage, out);
}

bool ToUtf8(const std::string& bytes, unsigned codePage, std::string& out) {
    return (IsTargetCodePage(codePage) || codePage == utf8) && Convert(bytes, codePage, CP_UTF8, out);
}

bool ToWide(const std::string& bytes, unsigned codePage, std::wstring& out) {
    if (!IsTargetCodePage(codePage) && codePage != utf8) return false;
    if (bytes.empty()) return out.clear(), true;
    int wide = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()), nullptr, 0);
    if (wide <= 0) return false;
    out.assign(std::size_t(wide), L'\0');
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()), out.data(), wide) ==
           wide;
}

// The system's own upper-case table, the one its file systems compare names by.
bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.data(), int(a.size()), b.data(), int(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace names

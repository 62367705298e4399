// Code page conversions through the C library's iconv.
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "tools/name_text.h"
#include "tools/tool_error.h"

namespace names {

namespace {

const char* IconvName(unsigned codePage) {
    switch (codePage) {
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1252: return "CP1252";
    case utf8: return "UTF-8";
    default: return nullptr;
    }
}

bool Convert(const std::string& in, const char* fromName, const char* toName, std::string& out) {
    if (!fromName || !toName) return false;
    iconv_t cd = iconv_open(toName, fromName);
    if (cd == iconv_t(-1)) return false;
    std::string buffer(in.size() * 4 + 4, '\0');  // room for a wchar_t a byte
    char* source = const_cast<char*>(in.data());
    char* target = buffer.data();
    std::size_t left = in.size(), room = buffer.size();
    // A character without a counterpart stops the conversion (EILSEQ), as does half of one (EINVAL).
    bool whole = iconv(cd, &source, &left, &target, &room) != std::size_t(-1) && left == 0 &&
                 iconv(cd, nullptr, nullptr, &target, &room) != std::size_t(-1);
    iconv_close(cd);
    if (whole) out.assign(buffer.data(), buffer.size() - room);
    return whole;
}

// A UTF-8 LC_CTYPE of the names' own: towupper_l reads it, and the process's
// locale, which the rest of the tool runs under, stays as it is.
locale_t UnicodeCase() {
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    if (!locale) throw ToolError("the C library has no C.UTF-8 locale, without which names cannot be compared "
                                 "as Windows compares them");
    return locale;
}

}  // namespace

bool FromUtf8(const std::string& text, unsigned codePage, std::string& out) {
    return Convert(text, IconvName(utf8), IconvName(codePage), out);
}

bool ToUtf8(const std::string& bytes, unsigned codePage, std::string& out) {
    return Convert(bytes, IconvName(codePage), IconvName(utf8), out);
}

bool ToWide(const std::string& bytes, unsigned codePage, std::wstring& out) {
    std::string wide;
    if (!Convert(bytes, IconvName(codePage), "WCHAR_T", wide)) return false;
    out.assign(wide.size() / sizeof(wchar_t), L'\0');
    std::memcpy(out.data(), wide.data(), out.size() * sizeof(wchar_t));
    return true;
}

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    locale_t locale = UnicodeCase();
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [locale](wchar_t x, wchar_t y) {
               return towupper_l(wint_t(x), locale) == towupper_l(wint_t(y), locale);
           });
}

}  // namespace names

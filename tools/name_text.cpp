#include "tools/name_text.h"

#include <cstdio>
#include <cstring>

#include "runtime/code_page.h"
#include "runtime/text.h"
#include "tools/tool_error.h"

namespace names {

bool IsTargetCodePage(unsigned codePage) {
    for (unsigned known : {932u, 936u, 949u, 950u, 1252u})
        if (codePage == known) return true;
    return false;
}

namespace {

std::string Hex(unsigned char b) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", b);
    return hex;
}

}  // namespace

std::string Escaped(const std::string& bytes, bool utf8Text) {
    std::string shown;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        // U+0080..U+009F, the C1 controls, are C2 80..C2 9F in UTF-8.
        bool c1 = b == 0xC2 && i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) < 0xA0;
        if (!c1 && ((b >= 0x20 && b < 0x7F && b != '\\') || (utf8Text && b >= 0x80))) {
            shown += char(b);
            continue;
        }
        shown += Hex(b);
        if (c1) shown += Hex(static_cast<unsigned char>(bytes[++i]));
    }
    return shown;
}

std::string Shown(const std::string& bytes, unsigned codePage) {
    std::string text;
    if (codePage && ToUtf8(bytes, codePage, text)) return Escaped(text, true);
    return Escaped(bytes);
}

std::size_t Columns(const std::string& text) {
    std::size_t columns = 0;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        std::size_t length = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        unsigned long c = length == 1 ? b : b & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k) c = c << 6 | (text[i + k] & 0x3F);
        // East Asian wide characters: CJK, kana, Hangul and the full-width forms.
        bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                    (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                    (c >= 0xFFE0 && c <= 0xFFE6);
        columns += wide ? 2 : 1;
        i += length;
    }
    return columns;
}

bool SameFileName(const std::string& a, unsigned codePageA, const std::string& b, unsigned codePageB) {
    if (!codePageA || !codePageB) return SameTextIgnoringCase(a, b);
    std::wstring wideA, wideB;
    return ToWide(a, codePageA, wideA) && ToWide(b, codePageB, wideB) && SameIgnoringCase(wideA, wideB);
}

std::string ShortNameProblem(const std::string& name, unsigned codePage) {
    std::size_t part[2] = {0, 0}, dots = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(name[i]);
        if (LeadByteIn(codePage, b)) {
            if (++i == name.size()) return "ends in half a character";
            part[dots] += 2;
        } else if (b == '.') {
            if (++dots > 1) return "has more than one dot";
        } else if (b == ' ' || std::strchr("+,;=[]", b)) {
            return "has a character an 8.3 name does not hold";
        } else {
            ++part[dots];
        }
    }
    if (part[0] < 1 || part[0] > 8 || part[1] > 3 || (dots && part[1] == 0))
        return "takes " + std::to_string(part[0]) + " + " + std::to_string(part[1]) + " bytes in code page " +
               std::to_string(codePage) + ": an 8.3 name has 1 to 8 before the dot and up to 3 after it";
    return "";
}

std::string StoredName(const std::string& listName, unsigned codePage) {
    std::string shown = "\"" + Shown(listName, utf8) + "\": ";
    if (codePage == 0) {
        for (char c : listName)
            if (static_cast<unsigned char>(c) >= 0x80)
                throw ToolError(shown + "not plain ASCII; name the target Windows' code page with --code-page " +
                                "(932, 936, 949, 950 or 1252) to store it in its bytes");
        return listName;
    }
    std::string stored;
    if (!FromUtf8(listName, codePage, stored))
        throw ToolError(shown + "cannot be written in code page " + std::to_string(codePage));
    if (std::string problem = ShortNameProblem(stored, codePage); !problem.empty())
        throw ToolError(shown + "not an 8.3 name: " + problem);
    return stored;
}

}  // namespace names

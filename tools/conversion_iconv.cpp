// Code page conversions through the C library's iconv.
#include <iconv.h>

#include <cerrno>
#include <string>

#include "tools/name_text.h"

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

bool Convert(const std::string& in, unsigned from, unsigned to, std::string& out) {
    const char *fromName = IconvName(from), *toName = IconvName(to);
    if (!fromName || !toName) return false;
    iconv_t cd = iconv_open(toName, fromName);
    if (cd == iconv_t(-1)) return false;
    std::string buffer(in.size() * 4 + 4, '\0');
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

}  // namespace

bool FromUtf8(const std::string& text, unsigned codePage, std::string& out) {
    return Convert(text, utf8, codePage, out);
}

bool ToUtf8(const std::string& bytes, unsigned codePage, std::string& out) {
    return Convert(bytes, codePage, utf8, out);
}

}  // namespace names

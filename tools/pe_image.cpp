#include "tools/pe_image.h"

#include <cstring>

#include "tools/tool_error.h"

namespace {

struct Bytes {
    const uint8_t* data;
    std::size_t size;
};

bool ReadAt(void* file, uint32_t at, void* out, uint32_t size) {
    const Bytes& b = *static_cast<const Bytes*>(file);
    if (at > b.size || size > b.size - at) return false;
    std::memcpy(out, b.data + at, size);
    return true;
}

}  // namespace

appended::Layout ExecutableLayout(const uint8_t* data, std::size_t size, const std::string& what) {
    if (size >= UINT32_MAX) throw ToolError(what + ": larger than 4 GB, more than an executable can be");
    appended::Layout layout;
    Bytes bytes{data, size};
    switch (appended::Locate(ReadAt, &bytes, uint32_t(size), layout)) {
    case appended::Fault::none: return layout;
    case appended::Fault::noMzHeader: throw ToolError(what + ": not a Windows executable (no MZ header)");
    case appended::Fault::noPeHeader: throw ToolError(what + ": not a Windows executable (no PE header)");
    case appended::Fault::headerCutShort: throw ToolError(what + ": executable header is cut short");
    case appended::Fault::sectionsCutShort: throw ToolError(what + ": section table is cut short");
    case appended::Fault::certificatesInImage:
        throw ToolError(what + ": not an installer (its certificate table starts inside its headers or sections)");
    case appended::Fault::imageCutShort: break;
    }
    throw ToolError(what + ": executable is cut short (" + std::to_string(size) + " bytes, image needs " +
                    std::to_string(layout.imageEnd) + ")");
}

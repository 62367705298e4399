#include "tools/pe_image.h"

#include <cstring>

#include "engine/table_layout.h"
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

uint32_t ChecksumField(const uint8_t* data, std::size_t size) {
    if (size < 64) return 0;
    uint32_t pe = uint32_t(table::GetInt32(data + 0x3C));
    if (pe > size || size - pe < 24) return 0;
    uint32_t optionalSize = data[pe + 20] | uint32_t(data[pe + 21]) << 8;
    std::size_t field = std::size_t(pe) + 24 + 64;
    // A shorter optional header ends before the field: those bytes are the section table's.
    return optionalSize >= 68 && field <= size - 4 ? uint32_t(field) : 0;
}

uint32_t PeChecksum(const uint8_t* data, std::size_t size, uint32_t field) {
    auto byte = [&](std::size_t i) -> uint32_t {
        return i >= size || (field && i >= field && i < field + 4) ? 0 : data[i];
    };
    uint32_t sum = 0;
    for (std::size_t i = 0; i < size; i += 2) {
        sum += byte(i) | byte(i + 1) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + uint32_t(size);
}

void StoreChecksum(std::vector<uint8_t>& file) {
    uint32_t field = ChecksumField(file.data(), file.size());
    if (field) table::PutInt32(&file[field], int32_t(PeChecksum(file.data(), file.size(), field)));
}

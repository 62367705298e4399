#include "tools/pe_image.h"

#include <algorithm>

#include "tools/tool_error.h"

namespace {

uint32_t U16(const uint8_t* p) { return p[0] | (uint32_t(p[1]) << 8); }
uint32_t U32(const uint8_t* p) { return U16(p) | (U16(p + 2) << 16); }

}  // namespace

std::size_t ExecutableImageEnd(const uint8_t* data, std::size_t size, const std::string& what) {
    auto fail = [&](const std::string& why) -> std::size_t { throw ToolError(what + ": " + why); };
    if (size < 64 || data[0] != 'M' || data[1] != 'Z') return fail("not a Windows executable (no MZ header)");
    uint64_t pe = U32(data + 0x3C);
    if (pe + 24 > size || data[pe] != 'P' || data[pe + 1] != 'E' || data[pe + 2] || data[pe + 3])
        return fail("not a Windows executable (no PE header)");
    const uint8_t* coff = data + pe + 4;
    uint32_t sections = U16(coff + 2);
    uint64_t symbols = U32(coff + 8), symbolCount = U32(coff + 12);
    uint64_t optionalSize = U16(coff + 16);
    uint64_t opt = pe + 24;
    if (opt + optionalSize > size || optionalSize < 64) return fail("executable header is cut short");
    uint32_t magic = U16(data + opt);
    uint64_t end = U32(data + opt + 60);  // SizeOfHeaders
    // A header too short to hold the directory count has no directories.
    uint64_t countField = magic == 0x20B ? 108 : 92;
    uint64_t directories = opt + countField + 4;
    uint64_t directoryCount = countField + 4 <= optionalSize ? U32(data + opt + countField) : 0;
    if (directoryCount > 4 && directories + 5 * 8 <= opt + optionalSize) {
        // The certificate area is addressed by file offset, unlike the other directories.
        uint64_t certOffset = U32(data + directories + 32), certSize = U32(data + directories + 36);
        if (certSize) end = std::max(end, certOffset + certSize);
    }
    uint64_t table = opt + optionalSize;
    if (table + uint64_t(sections) * 40 > size) return fail("section table is cut short");
    for (uint32_t i = 0; i < sections; ++i) {
        const uint8_t* s = data + table + 40 * i;
        uint64_t rawSize = U32(s + 16), rawPointer = U32(s + 20);
        if (rawSize) end = std::max(end, rawPointer + rawSize);
    }
    if (symbols && symbolCount) {
        uint64_t strings = symbols + symbolCount * 18;
        uint64_t stringsSize = strings + 4 <= size ? U32(data + strings) : 0;
        end = std::max(end, strings + std::max<uint64_t>(stringsSize, 4));
    }
    if (end > size) return fail("executable is cut short (" + std::to_string(size) + " bytes, image needs " +
                                std::to_string(end) + ")");
    return static_cast<std::size_t>(end);
}

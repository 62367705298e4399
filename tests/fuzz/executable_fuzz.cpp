// libFuzzer target for the executable-image and certificate-table reader
// (engine/appended_data.h), which the installer and every command of the tool
// run over an installer's file first: any bytes are an installer. Each must be
// refused with a message or laid out so that what the readers and build do
// with it stays inside the file:
//   - the appended data lies after the headers and sections, within the file;
//   - a certificate table that ends the file starts after them too, after at
//     most 7 bytes of padding, and the fields build clears to remove the
//     signature (the security directory entry, the checksum) lie before it;
//   - a table read there ends the appended data.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/pe_image.h"
#include "tools/table_file.h"
#include "tools/tool_error.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    appended::Layout layout;
    try {
        layout = ExecutableLayout(data, size, "installer");
    } catch (const ToolError& e) {
        Check(*e.what() != '\0');
        return 0;
    }
    Check(layout.imageEnd <= layout.start && layout.start <= layout.end && layout.end <= size);
    if (layout.signedAtEnd) {
        Check(uint64_t(layout.certificates) + layout.certificatesSize == size);
        Check(layout.end <= layout.certificates && layout.certificates - layout.end <= 7);
        Check(layout.securityEntry + 8 <= layout.end && layout.checksumField + 4 <= layout.end);
    }
    table::Appended found;
    std::string error;
    if (!table::ReadAppended(data, layout, found, error)) {
        Check(!error.empty());
        return 0;
    }
    Check(found.tableStart >= layout.start && found.tableStart + found.tableSize == layout.end);
    Check(found.record.size == found.tableStart - layout.start);
    return 0;
}

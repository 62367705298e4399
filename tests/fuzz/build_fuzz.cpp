// libFuzzer target for build given a hostile installer: any bytes are the
// installer a maker downloaded, built with a small product into a disk set,
// replacing a table it may carry. Build must refuse it with a message or
// write a set whose installer lists as sound, unsigned, with a record, and
// carries the whole file's checksum where its header has room for one.
#include "tests/fuzz/fuzz_disk_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::Scratch scratch;
    const fuzz::fs::path& root = scratch.Fresh();
    fuzz::WriteFile(root / "product/Main.Exe", std::vector<uint8_t>(300, 'M'));
    fuzz::WriteFile(root / "product/Guide.HLP", std::vector<uint8_t>(200, 'H'));
    std::ofstream(root / "files.lst") << "Main.Exe\nGuide.HLP\n";
    fuzz::WriteFile(root / "Setup.exe", std::vector<uint8_t>(data, data + size));
    pack::BuildOptions options;
    options.productDir = root / "product";
    options.fileList = root / "files.lst";
    options.installer = root / "Setup.exe";
    options.outDir = root / "out";
    options.replaceTable = true;
    options.quiet = true;
    std::ostringstream out;
    try {
        pack::Build(options, out);
    } catch (const ToolError& e) {
        fuzz::Check(*e.what() != '\0');
        return 0;
    }
    std::vector<uint8_t> built = fuzz::BytesOf(root / "out/disk1/Setup.exe");
    appended::Layout layout = ExecutableLayout(built.data(), built.size(), "built");
    fuzz::Check(!layout.signedAtEnd);
    if (uint32_t field = ChecksumField(built.data(), built.size()))
        fuzz::Check(field + 4 <= layout.start &&
                    uint32_t(table::GetInt32(&built[field])) == PeChecksum(built.data(), built.size(), field));
    table::Appended found;
    std::string error;
    fuzz::Check(table::ReadAppended(built.data(), layout, found, error));
    fuzz::Check(found.record.presence == integrity::Presence::present && table::Check(found.table).empty());
    return 0;
}

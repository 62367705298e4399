// libFuzzer target for a disk set read from its folders, as verify and
// extract take one that a maker received: the input is the installer and the
// three volumes, separated by a marker line, written as disk1/ to disk3/.
// Each command must end with a message or, for extract --force, with files
// that hold nothing but what the volumes decode to (fuzz_disk_set.h).
#include "tests/fuzz/fuzz_disk_set.h"

#include "tools/disk_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::Scratch scratch;
    const fuzz::fs::path& root = scratch.Fresh();
    std::vector<std::vector<uint8_t>> parts = fuzz::Split(data, size);
    parts.resize(1 + diskset::diskCount);
    fuzz::WriteFile(root / "set/disk1/Setup.exe", parts[0]);
    std::vector<uint8_t> archive;
    for (unsigned d = 1; d <= diskset::diskCount; ++d) {
        fuzz::WriteFile(root / "set" / diskset::DiskFolder(d) / diskset::VolumeName(d), parts[d]);
        archive.insert(archive.end(), parts[d].begin(), parts[d].end());
    }
    pack::UnpackOptions options;
    options.quiet = true;
    options.disks = {root / "set"};
    fuzz::UnpackBoth(options, parts[0], archive, root / "x");
    return 0;
}

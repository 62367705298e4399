// libFuzzer target for a disk set read from floppy images, as verify and
// extract take copies read back from floppies: the input is the three
// images, separated by a marker line. Each command must end with a message
// or, for extract --force, with files that hold nothing but what the volumes
// in the images decode to (fuzz_disk_set.h).
#include "tests/fuzz/fuzz_disk_set.h"

#include "tools/disk_set.h"
#include "tools/fat12_reader.h"

namespace {

// As the tool matches them: in any case.
std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

// The installer and the volumes as the images hold them, when every image reads.
bool FilesOfImages(const std::vector<std::vector<uint8_t>>& images, std::vector<uint8_t>& installer,
                   std::vector<uint8_t>& archive) {
    std::vector<uint8_t> volumes[diskset::diskCount];
    for (const std::vector<uint8_t>& image : images) {
        fat12::Volume v;
        try {
            v = fat12::ReadImage(image.data(), image.size());
        } catch (const ToolError&) {
            return false;
        }
        for (const fat12::File& f : v.files) {
            if (Upper(f.name) == "SETUP.EXE") installer = f.data;
            for (unsigned d = 1; d <= diskset::diskCount; ++d)
                if (Upper(f.name) == "WARDHAVN.00" + std::to_string(d)) volumes[d - 1] = f.data;
        }
    }
    for (const std::vector<uint8_t>& v : volumes) archive.insert(archive.end(), v.begin(), v.end());
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::Scratch scratch;
    const fuzz::fs::path& root = scratch.Fresh();
    std::vector<std::vector<uint8_t>> images = fuzz::Split(data, size);
    images.resize(diskset::diskCount);
    pack::UnpackOptions options;
    options.quiet = true;
    for (unsigned d = 1; d <= diskset::diskCount; ++d) {
        fuzz::WriteFile(root / diskset::ImageName(d), images[d - 1]);
        options.disks.push_back(root / diskset::ImageName(d));
    }
    std::vector<uint8_t> installer, archive;
    if (!FilesOfImages(images, installer, archive)) {
        // An image that does not read is named, and nothing is unpacked.
        fuzz::UnpackBoth(options, {}, {}, root / "x");
        fuzz::Check(!fuzz::fs::exists(root / "x" / "Wardhavn.Exe"));
        return 0;
    }
    fuzz::UnpackBoth(options, installer, archive, root / "x");
    return 0;
}

// libFuzzer target for the floppy image reader: any bytes are an image read
// back from a floppy. Each must be refused with a message or read as a volume
// that holds no more than the image does: files of distinct names whose bytes,
// together, fit in the image (no cluster is read twice). Whatever it reads,
// the writer must write back, with the same layout, and the reader read again
// the same.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "tools/fat12_image.h"
#include "tools/fat12_reader.h"
#include "tools/tool_error.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

// FAT names ignore case, and the writer stores them in capitals.
bool SameFiles(const fat12::Volume& a, const fat12::Volume& b) {
    if (a.files.size() != b.files.size()) return false;
    for (std::size_t i = 0; i < a.files.size(); ++i)
        if (Upper(a.files[i].name) != Upper(b.files[i].name) || a.files[i].data != b.files[i].data) return false;
    return true;
}

// The writer takes plain 8.3 names and a floppy's room only: anything else it refuses.
void CheckWrittenBack(const fat12::Volume& read) {
    std::vector<uint8_t> image;
    try {
        image = fat12::MakeImage("FUZZ", read.files);
    } catch (const ToolError&) {
        return;
    }
    fat12::Volume back = fat12::ReadImage(image.data(), image.size());
    Check(back.label == "FUZZ" && SameFiles(back, read));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fat12::Volume volume;
    try {
        volume = fat12::ReadImage(data, size);
    } catch (const ToolError& e) {
        Check(*e.what() != '\0');
        return 0;
    }
    uint64_t total = 0;
    std::set<std::string> names;
    for (const fat12::File& f : volume.files) {
        Check(!f.name.empty() && names.insert(f.name).second);
        total += f.data.size();
    }
    Check(total <= size);
    CheckWrittenBack(volume);
    return 0;
}

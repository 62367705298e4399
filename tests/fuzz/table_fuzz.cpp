// libFuzzer target for the package table check: any bytes are the end of an
// installer's file. The installer and wardpack read the table with the same
// layout and refuse it with the same check (engine/table_layout.h); here it
// is read through the tool's parser. Each input must be refused with a
// message or accepted as a table that is safe to place, which is judged
// here from first principles, not by the check's own rules:
//   - the byte map read plainly from the end gives the same entries;
//   - the main executable is not empty, every entry's bytes lie after it and
//     inside the decoded stream, and together they fit in it;
//   - every name makes one plain file in the folder: no directory or drive,
//     no character Windows refuses, no trailing dot or space that Windows
//     would drop, no device, and no two entries share a file;
//   - what the tool writes back reads back the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/table_file.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

int32_t Int32At(const uint8_t* p) { return int32_t(uint32_t(p[0]) | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); }

std::string Folded(const std::string& name) {
    std::string f = name;
    for (char& c : f)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return f;
}

bool IsDevice(const std::string& name) {
    std::string stem = Folded(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (const char* d : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
        if (stem == d) return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

bool MakesOnePlainFile(const std::string& name) {
    if (name.empty() || name.size() > 19) return false;
    for (unsigned char c : name)
        if (c < 0x20 || std::strchr("\\/:<>\"|?*", c)) return false;
    return name.back() != '.' && name.back() != ' ' && !IsDevice(name);
}

void CheckSafeToPlace(const table::PackageTable& t) {
    Check(t.decodedLength > 0);
    int64_t mainEnd = t.entries.empty() ? t.decodedLength : t.entries[0].offset;
    Check(mainEnd > 0);
    int64_t total = mainEnd;
    for (std::size_t i = 0; i < t.entries.size(); ++i) {
        const table::Entry& e = t.entries[i];
        Check(e.size >= 0 && e.offset >= mainEnd && int64_t(e.offset) + e.size <= t.decodedLength);
        total += e.size;
        Check(MakesOnePlainFile(e.name));
        for (std::size_t j = 0; j < i; ++j) Check(Folded(e.name) != Folded(t.entries[j].name));
    }
    Check(total <= t.decodedLength);
}

// The byte map as the installer walks it: trailer, then records from the end.
void CheckSameAsPlainReading(const uint8_t* data, std::size_t size, const table::PackageTable& t) {
    std::size_t count = data[size - 5];
    Check(t.decodedLength == Int32At(data + size - 4));
    Check(t.entries.size() == count);
    const uint8_t* record = data + size - 5 - 28 * count;
    for (std::size_t i = 0; i < count; ++i, record += 28) {
        Check(t.entries[i].name == std::string(reinterpret_cast<const char*>(record + 1), record[0]));
        Check(t.entries[i].offset == Int32At(record + 20));
        Check(t.entries[i].size == Int32At(record + 24));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    table::PackageTable t;
    std::string error;
    if (!table::Parse(data, size, t, error)) {
        Check(!error.empty());
        return 0;
    }
    CheckSameAsPlainReading(data, size, t);
    // Whatever lies before the table, a record found there stays within the file.
    table::FoundRecord record = table::FindRecord(data, 0, size - table::TableSize(t.entries.size()));
    Check(record.size == size - table::TableSize(t.entries.size()));
    Check(record.presence != integrity::Presence::present || record.record.volumeCount <= integrity::maxVolumes);
    std::vector<std::string> problems = table::Check(t);
    for (const std::string& p : problems) Check(!p.empty());
    if (!problems.empty()) return 0;

    CheckSafeToPlace(t);
    std::vector<uint8_t> written = table::Serialise(t);
    table::PackageTable back;
    Check(table::Parse(written.data(), written.size(), back, error));
    Check(back.decodedLength == t.decodedLength && back.entries.size() == t.entries.size());
    for (std::size_t i = 0; i < t.entries.size(); ++i)
        Check(back.entries[i].name == t.entries[i].name && back.entries[i].offset == t.entries[i].offset &&
              back.entries[i].size == t.entries[i].size);
    return 0;
}

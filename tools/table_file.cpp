#include "tools/table_file.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "runtime/crc32.h"
#include "tools/name_text.h"

namespace table {

std::vector<uint8_t> Serialise(const PackageTable& t) {
    if (t.entries.size() > maxEntries)
        throw std::invalid_argument("a table holds at most 255 entries, not " + std::to_string(t.entries.size()));
    std::vector<uint8_t> out(TableSize(t.entries.size()), 0);
    uint8_t* record = out.data();
    for (const Entry& e : t.entries) {
        if (e.name.size() > nameCapacity)
            throw std::invalid_argument("name longer than 19 characters: " + e.name);
        record[0] = static_cast<uint8_t>(e.name.size());
        std::copy(e.name.begin(), e.name.end(), record + nameField);
        PutInt32(record + offsetField, e.offset);
        PutInt32(record + sizeField, e.size);
        record += recordSize;
    }
    record[0] = static_cast<uint8_t>(t.entries.size());
    PutInt32(record + 1, t.decodedLength);
    if (t.codePage && !t.entries.empty()) {
        if (t.entries[0].name.size() > longestNameBesideMark)
            throw std::invalid_argument("no room to record the code page beside " + t.entries[0].name);
        uint8_t* mark = out.data() + codePageMark;
        mark[0] = 'C', mark[1] = 'P', mark[2] = uint8_t(t.codePage), mark[3] = uint8_t(t.codePage >> 8);
    }
    return out;
}

namespace {

// The code page build recorded, or 0: a table of an older build, or made by
// hand, holds zeros or leftovers of a longer name there.
unsigned RecordedCodePage(const uint8_t* first) {
    const uint8_t* mark = first + codePageMark;
    if (first[0] > longestNameBesideMark || mark[0] != 'C' || mark[1] != 'P') return 0;
    unsigned codePage = mark[2] | unsigned(mark[3]) << 8;
    return names::IsTargetCodePage(codePage) ? codePage : 0;
}

}  // namespace

bool Parse(const uint8_t* image, std::size_t size, PackageTable& out, std::string& error) {
    out = PackageTable{};
    if (size < trailerSize) {
        error = std::to_string(size) + " bytes after the executable image are too short for a package table";
        return false;
    }
    const uint8_t* trailer = image + size - trailerSize;
    std::size_t count = trailer[0];
    out.decodedLength = GetInt32(trailer + 1);
    if (size < TableSize(count)) {
        error = "the table's count (" + std::to_string(count) + " entries, " + std::to_string(TableSize(count)) +
                " bytes) is larger than the data after the executable image (" + std::to_string(size) + " bytes)";
        return false;
    }
    const uint8_t* record = image + size - TableSize(count);
    if (count > 0) out.codePage = RecordedCodePage(record);
    for (std::size_t i = 0; i < count; ++i, record += recordSize) {
        std::size_t length = record[0];
        if (length > nameCapacity) {
            error = "entry " + std::to_string(i + 1) + " has a name length of " + std::to_string(length) +
                    " (at most 19)";
            return false;
        }
        out.entries.push_back({std::string(reinterpret_cast<const char*>(record + nameField), length),
                               GetInt32(record + offsetField), GetInt32(record + sizeField)});
    }
    return true;
}

std::vector<std::string> Check(const PackageTable& t) {
    std::vector<EntryView> views;
    for (const Entry& e : t.entries) views.push_back({e.name.data(), e.name.size(), e.offset, e.size});
    std::vector<std::string> problems;
    CheckTable(views.data(), views.size(), t.decodedLength,
               [](void* context, const String& problem) {
                   static_cast<std::vector<std::string>*>(context)->push_back(problem.c_str());
               },
               &problems);
    return problems;
}

std::string NameProblemText(const std::string& name) {
    const char* problem = NameProblem(name.data(), name.size());
    return problem ? problem : "";
}

namespace {

// A version 1 record has no checksum of its own; its identity, the CRC-32 of
// the table and every volume, must be what its CRC-32s and lengths combine to.
bool FieldsAgree(const integrity::Record& r) {
    uint32_t identity = r.tableCrc;
    for (unsigned v = 0; v < r.volumeCount; ++v) identity = Crc32Combine(identity, r.volumeCrc[v], r.volumeLength[v]);
    return identity == r.identity;
}

// The installer counts the bytes it joins in a signed 32-bit number: volumes
// that together pass it are no set's.
bool LengthsPossible(const integrity::Record& r) {
    uint64_t total = 0;
    for (unsigned v = 0; v < r.volumeCount; ++v) total += r.volumeLength[v];
    return total <= uint64_t(INT32_MAX);
}

}  // namespace

FoundRecord FindRecord(const uint8_t* file, std::size_t start, std::size_t tableStart) {
    FoundRecord found;
    found.size = tableStart - start;
    if (found.size == 0) return found;
    found.presence = integrity::Presence::damaged;
    std::string between = "the " + std::to_string(found.size) + " bytes between the executable image and the table";
    uint32_t bodySize = 0;
    std::size_t body = found.size - std::min(found.size, integrity::tailSize);
    if (found.size < integrity::tailSize ||
        integrity::ReadTail(file + tableStart - integrity::tailSize, body, bodySize) == integrity::Presence::absent) {
        found.damage = between + " are not an integrity record";
    } else if (bodySize != body) {
        found.damage = between + " are not an integrity record of " + std::to_string(bodySize) +
                       " bytes and its tail, as the tail says";
    } else if (!integrity::ReadBody(file + start, body, found.record)) {
        found.damage = "the integrity record fails its own check";
    } else if (!LengthsPossible(found.record)) {
        found.damage = "the integrity record's volumes add up to more bytes than any disk set holds";
    } else if (found.record.version == 1 && !FieldsAgree(found.record)) {
        found.damage = "the integrity record's fields do not agree (its identity is not what its CRC-32s make)";
    } else {
        found.presence = integrity::Presence::present;
    }
    return found;
}

bool ReadAppended(const uint8_t* file, const appended::Layout& layout, Appended& out, std::string& error) {
    out = Appended{};
    if (!Parse(file + layout.start, layout.end - layout.start, out.table, error)) return false;
    out.tableSize = TableSize(out.table.entries.size());
    out.tableStart = layout.end - out.tableSize;
    out.record = FindRecord(file, layout.start, out.tableStart);
    return true;
}

std::vector<uint8_t> SerialiseRecord(const integrity::Record& r) {
    std::size_t bodySize = integrity::BodySize(r.volumeCount);
    std::vector<uint8_t> out(bodySize + integrity::tailSize);
    integrity::WriteBody(r, out.data());
    integrity::WriteTail(uint32_t(bodySize), out.data() + bodySize);
    return out;
}

uint32_t Crc32(const uint8_t* data, std::size_t size, uint32_t crc) { return Crc32Update(crc, data, size); }

}  // namespace table

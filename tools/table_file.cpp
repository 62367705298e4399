#include "tools/table_file.h"

#include <algorithm>
#include <stdexcept>

#include "runtime/crc32.h"

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
    return out;
}

bool Parse(const uint8_t* image, std::size_t size, PackageTable& out, std::string& error) {
    out = PackageTable{};
    if (size < trailerSize) {
        error = "file of " + std::to_string(size) + " bytes is too short for a package table";
        return false;
    }
    const uint8_t* trailer = image + size - trailerSize;
    std::size_t count = trailer[0];
    out.decodedLength = GetInt32(trailer + 1);
    if (size < TableSize(count)) {
        error = "the table's count (" + std::to_string(count) + " entries, " + std::to_string(TableSize(count)) +
                " bytes) is larger than the file (" + std::to_string(size) + " bytes)";
        return false;
    }
    const uint8_t* record = image + size - TableSize(count);
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

FoundRecord FindRecord(const uint8_t* image, std::size_t tableStart) {
    FoundRecord found;
    if (tableStart < integrity::tailSize) return found;
    std::size_t tailAt = tableStart - integrity::tailSize;
    uint32_t bodySize = 0;
    found.presence = integrity::ReadTail(image + tailAt, tailAt, bodySize);
    if (found.presence != integrity::Presence::present) return found;
    if (!integrity::ReadBody(image + tailAt - bodySize, bodySize, found.record))
        found.presence = integrity::Presence::damaged;
    else
        found.size = integrity::tailSize + bodySize;
    return found;
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

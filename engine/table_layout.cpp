#include "engine/table_layout.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <stdexcept>

namespace table {

namespace {

void putInt32(uint8_t* p, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t getInt32(const uint8_t* p) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
    return static_cast<int32_t>(u);
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::vector<uint8_t> serialise(const PackageTable& t) {
    if (t.entries.size() > maxEntries)
        throw std::invalid_argument("a table holds at most 255 entries, not " + std::to_string(t.entries.size()));
    std::vector<uint8_t> out(tableSize(t.entries.size()), 0);
    uint8_t* record = out.data();
    for (const Entry& e : t.entries) {
        if (e.name.size() > nameCapacity)
            throw std::invalid_argument("name longer than 19 characters: " + e.name);
        record[0] = static_cast<uint8_t>(e.name.size());
        std::copy(e.name.begin(), e.name.end(), record + nameField);
        putInt32(record + offsetField, e.offset);
        putInt32(record + sizeField, e.size);
        record += recordSize;
    }
    record[0] = static_cast<uint8_t>(t.entries.size());
    putInt32(record + 1, t.decodedLength);
    return out;
}

bool parse(const uint8_t* image, std::size_t size, PackageTable& out, std::string& error) {
    out = PackageTable{};
    if (size < trailerSize) {
        error = "file of " + std::to_string(size) + " bytes is too short for a package table";
        return false;
    }
    const uint8_t* trailer = image + size - trailerSize;
    std::size_t count = trailer[0];
    out.decodedLength = getInt32(trailer + 1);
    if (size < tableSize(count)) {
        error = "the table's count (" + std::to_string(count) + " entries, " + std::to_string(tableSize(count)) +
                " bytes) is larger than the file (" + std::to_string(size) + " bytes)";
        return false;
    }
    const uint8_t* record = image + size - tableSize(count);
    for (std::size_t i = 0; i < count; ++i, record += recordSize) {
        Entry e;
        std::size_t length = record[0];
        if (length > nameCapacity) {
            error = "entry " + std::to_string(i + 1) + " has a name length of " + std::to_string(length) +
                    " (at most 19)";
            return false;
        }
        e.name.assign(reinterpret_cast<const char*>(record + nameField), length);
        e.offset = getInt32(record + offsetField);
        e.size = getInt32(record + sizeField);
        out.entries.push_back(std::move(e));
    }
    return true;
}

std::string nameProblem(const std::string& name) {
    if (name.empty()) return "empty name";
    if (name.size() > nameCapacity) return "name longer than 19 characters";
    if (name.find_first_of("/\\:") != std::string::npos) return "name has a directory part";
    for (unsigned char c : name)
        if (c < 0x20 || std::string("<>\"|?*").find(static_cast<char>(c)) != std::string::npos)
            return "name has a character Windows does not allow in file names";
    if (name.back() == '.' || name.back() == ' ') return "name ends in a dot or a space";
    std::string stem = upper(name.substr(0, name.find('.')));
    static const std::set<std::string> devices = {"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3", "COM4",
                                                  "LPT1", "LPT2", "LPT3"};
    if (devices.count(stem)) return "name is a reserved device name";
    return "";
}

std::vector<std::string> check(const PackageTable& t) {
    std::vector<std::string> problems;
    std::set<std::string> seen;
    int64_t expected = t.entries.empty() ? 0 : t.entries.front().offset;
    if (!t.entries.empty() && t.entries.front().offset <= 0)
        problems.push_back("the first offset (the main executable's length) is " +
                           std::to_string(t.entries.front().offset) + ", not above 0");
    for (std::size_t i = 0; i < t.entries.size(); ++i) {
        const Entry& e = t.entries[i];
        std::string label = "entry " + std::to_string(i + 1) + " (" + e.name + ")";
        std::string bad = nameProblem(e.name);
        if (!bad.empty()) problems.push_back(label + ": " + bad);
        if (!seen.insert(upper(e.name)).second) problems.push_back(label + ": name appears twice");
        if (e.size < 0) problems.push_back(label + ": negative size " + std::to_string(e.size));
        if (e.offset != expected)
            problems.push_back(label + ": offset " + std::to_string(e.offset) + ", expected " +
                               std::to_string(expected) + " (entries must follow each other without gaps)");
        expected = int64_t(e.offset) + e.size;
    }
    if (t.entries.empty()) {
        if (t.decodedLength <= 0)
            problems.push_back("decoded length " + std::to_string(t.decodedLength) +
                               ": the stream holds at least the main executable");
    } else if (int64_t(t.decodedLength) != expected) {
        problems.push_back("decoded length " + std::to_string(t.decodedLength) + ", expected " +
                           std::to_string(expected) + " (the last offset plus its size)");
    }
    return problems;
}

}  // namespace table

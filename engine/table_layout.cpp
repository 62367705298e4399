#include "engine/table_layout.h"

#include "runtime/paths.h"

namespace table {

// Written out, the compiler makes one load of it on a little-endian machine.
int32_t GetInt32(const uint8_t* p) {
    return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void PutInt32(uint8_t* p, int32_t value) {
    uint32_t u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

namespace {

bool IsOneOf(char c, const char* chars) {
    for (; *chars; ++chars)
        if (*chars == c) return true;
    return false;
}

String Label(std::size_t index, const EntryView& e) {
    return "entry " + DecimalText(static_cast<int64_t>(index) + 1) + " (" + String(e.name, e.nameLength) + ")";
}

}  // namespace

const char* NameProblem(const char* name, std::size_t length) {
    if (length == 0) return "empty name";
    if (length > nameCapacity) return "name longer than 19 characters";
    // By character: a trail byte may equal a separator or a forbidden sign.
    for (std::size_t i = 0; i < length; i = NextChar(name, length, i))
        if (IsOneOf(name[i], "/\\:")) return "name has a directory part";
    for (std::size_t i = 0; i < length; i = NextChar(name, length, i))
        if (static_cast<unsigned char>(name[i]) < 0x20 || IsOneOf(name[i], "<>\"|?*"))
            return "name has a character Windows does not allow in file names";
    if (name[length - 1] == '.' || name[length - 1] == ' ') return "name ends in a dot or a space";
    if (ReservedDeviceName(String(name, length))) return "name is a reserved device name";
    return nullptr;
}

void CheckTable(const EntryView* entries, std::size_t count, int32_t decodedLength, ProblemProc report,
                void* context) {
    int64_t expected = count == 0 ? 0 : entries[0].offset;
    if (count > 0 && entries[0].offset <= 0)
        report(context, "the first offset (the main executable's length) is " + DecimalText(entries[0].offset) +
                            ", not above 0");
    for (std::size_t i = 0; i < count; ++i) {
        const EntryView& e = entries[i];
        String label = Label(i, e);
        if (const char* bad = NameProblem(e.name, e.nameLength)) report(context, label + ": " + bad);
        for (std::size_t j = 0; j < i; ++j) {
            if (SameTextIgnoringCase(String(e.name, e.nameLength), String(entries[j].name, entries[j].nameLength))) {
                report(context, label + ": name appears twice");
                break;
            }
        }
        if (e.size < 0) report(context, label + ": negative size " + DecimalText(e.size));
        if (e.offset != expected)
            report(context, label + ": offset " + DecimalText(e.offset) + ", expected " + DecimalText(expected) +
                                " (entries must follow each other without gaps)");
        expected = int64_t(e.offset) + e.size;
    }
    if (count == 0) {
        if (decodedLength <= 0)
            report(context, "decoded length " + DecimalText(decodedLength) +
                                ": the stream holds at least the main executable");
    } else if (int64_t(decodedLength) != expected) {
        report(context, "decoded length " + DecimalText(decodedLength) + ", expected " + DecimalText(expected) +
                            " (the last offset plus its size)");
    }
}

}  // namespace table

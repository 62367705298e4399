#include "engine/package_table.h"

#include <cstring>

#include "engine/table_layout.h"
#include "setup/context.h"

namespace {

const int ioBadTable = 13;  // the system's "invalid data"

std::string ownFileName() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

void appendEntry(PackageEntry* e) {
    if (!ctx.packageHead) ctx.packageHead = e;
    else ctx.packageTail->next = e;
    ctx.packageTail = e;
}

// A seek before the start of the file (a count larger than the file holds)
// fails like any other seek.
void seekFromEnd(FileVar& f, uint32_t size, uint32_t back) {
    if (back > size) raiseIoError(131, f.name);  // "Seek before start of file"
    checkedSeek(f, size - back);
}

[[noreturn]] void refuseTable(const std::string& path, const std::string& problems) {
    throw EInOutError(ioBadTable, "Damaged package table in " + path + problems);
}

PackageEntry* readEntry(FileVar& f, unsigned index) {
    uint8_t record[table::recordSize];
    checkedReadExact(f, record, sizeof record);
    if (record[0] > table::nameCapacity)
        refuseTable(f.name, "\nentry " + std::to_string(index + 1) + ": name length " + std::to_string(record[0]) +
                                ", at most 19");
    PackageEntry* e = new PackageEntry{};
    e->name.assign(reinterpret_cast<const char*>(record + table::nameField), record[0]);
    std::memcpy(&e->offset, record + table::offsetField, 4);
    std::memcpy(&e->size, record + table::sizeField, 4);
    e->next = nullptr;
    return e;
}

// Refused before anything is copied: a name with a directory part, a device
// name, negative, overlapping or out-of-stream ranges could write outside the
// installation directory or make the placement loop run wild.
void checkTable(const std::string& path) {
    table::PackageTable t;
    t.decodedLength = ctx.unpackedSize;
    for (PackageEntry* e = ctx.packageHead; e; e = e->next) t.entries.push_back({e->name, e->offset, e->size});
    std::vector<std::string> problems = table::check(t);
    if (problems.empty()) return;
    // A few lines name the fault; a table damaged throughout would fill the screen.
    const size_t shown = 6;
    std::string lines;
    for (size_t i = 0; i < problems.size() && i < shown; ++i) lines += "\n" + problems[i];
    if (problems.size() > shown) lines += "\n(" + std::to_string(problems.size() - shown) + " more)";
    refuseTable(path, lines);
}

}  // namespace

void loadPackageTableFrom(const std::string& path) {
    FileVar f;
    checkedOpen(f, path, FileMode::readOnly);
    try {
        uint32_t size = checkedSize(f);
        seekFromEnd(f, size, 4);
        checkedReadExact(f, &ctx.unpackedSize, 4);
        uint8_t count = 0;
        seekFromEnd(f, size, table::trailerSize);
        checkedReadExact(f, &count, 1);
        ctx.packageHead = nullptr;
        seekFromEnd(f, size, static_cast<uint32_t>(table::tableSize(count)));
        for (unsigned i = 0; i < count; ++i) appendEntry(readEntry(f, i));
    } catch (...) {
        fileClose(f);
        throw;
    }
    checkedClose(f);
    checkTable(path);
}

void loadPackageTable() {
    loadPackageTableFrom(ownFileName());
}

void releasePackageTable() {
    while (ctx.packageHead) {
        PackageEntry* next = ctx.packageHead->next;
        delete ctx.packageHead;
        ctx.packageHead = next;
    }
    ctx.packageTail = nullptr;
}

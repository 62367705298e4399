#include "engine/package_table.h"

#include <cstring>

#include "engine/appended_data.h"
#include "engine/integrity_record.h"
#include "engine/table_layout.h"
#include "runtime/crc32.h"
#include "runtime/paths.h"
#include "state/context.h"

namespace {

void AppendEntry(PackageEntry* e) {
    if (!ctx.packageHead) ctx.packageHead = e;
    else ctx.packageTail->next = e;
    ctx.packageTail = e;
}

// A seek before the start of the appended data (a count larger than it
// holds) fails like a seek before the start of the file.
void SeekBack(FileVar& f, const appended::Layout& data, uint32_t back) {
    if (back > data.end - data.start) RaiseIoError(ioSeekBeforeStart, f.name);
    CheckedSeek(f, data.end - back);
}

bool ReadAt(void* file, uint32_t at, void* out, uint32_t size) {
    FileVar& f = *static_cast<FileVar*>(file);
    uint32_t got = 0;
    return FileSeek(f, at) == 0 && FileRead(f, out, size, got) == 0 && got == size;
}

[[noreturn]] void RefuseTable(const String& path, const String& problems) {
    RaiseError(ErrorClass::inOut, ioBadData, "Damaged package table in " + path + problems);
}

PackageEntry* ReadEntry(FileVar& f, unsigned index, uint32_t& tableCrc) {
    uint8_t record[table::recordSize];
    CheckedReadExact(f, record, sizeof record);
    tableCrc = Crc32Update(tableCrc, record, sizeof record);
    if (record[0] > table::nameCapacity)
        RefuseTable(f.name, "\nentry " + DecimalText(index + 1) + ": name length " + DecimalText(record[0]) +
                                ", at most 19");
    PackageEntry* e = new PackageEntry{};
    e->name = String(reinterpret_cast<const char*>(record + table::nameField), record[0]);
    e->offset = table::GetInt32(record + table::offsetField);
    e->size = table::GetInt32(record + table::sizeField);
    e->next = nullptr;
    return e;
}

// A few lines name the fault; a table damaged throughout would fill the screen.
struct Refusal {
    String lines;
    unsigned count = 0;
};
const unsigned shownProblems = 6;

void NoteProblem(void* context, const String& problem) {
    Refusal& r = *static_cast<Refusal*>(context);
    if (++r.count <= shownProblems) r.lines += "\n" + problem;
}

// An entry under the main executable's name, or its staged name, would be
// placed through a substitute whose rename line puts the entry's bytes over
// the product's executable at the next start.
void CheckAgainstMainExecutable(table::ProblemProc report, void* context) {
    const String main = UnstagedExecutable(product.mainExecutable);
    const String staged = ReplaceExtension(main, ".$$$");
    unsigned index = 0;
    for (PackageEntry* e = ctx.packageHead; e; e = e->next) {
        ++index;
        if (SameTextIgnoringCase(e->name, main) || SameTextIgnoringCase(e->name, staged))
            report(context, "entry " + DecimalText(index) + " (" + e->name + "): name is the main executable's");
    }
}

// Refused before anything is copied: a name with a directory part, a device
// name, negative, overlapping or out-of-stream ranges could write outside the
// installation directory or make the placement loop run wild.
void CheckLoadedTable(const String& path) {
    table::EntryView views[table::maxEntries];  // the count is one byte
    unsigned count = 0;
    for (PackageEntry* e = ctx.packageHead; e; e = e->next)
        views[count++] = {e->name.c_str(), e->name.size(), e->offset, e->size};
    Refusal refusal;
    table::CheckTable(views, count, ctx.unpackedSize, NoteProblem, &refusal);
    CheckAgainstMainExecutable(NoteProblem, &refusal);
    if (refusal.count == 0) return;
    if (refusal.count > shownProblems) refusal.lines += "\n(" + DecimalText(refusal.count - shownProblems) + " more)";
    RefuseTable(path, refusal.lines);
}

// The most a record takes, and a record with the largest table: the appended
// data of an installer this build can install is never longer.
const uint32_t mostRecord = integrity::BodySize(integrity::maxVolumes) + integrity::tailSize;
const uint32_t mostAppended = table::TableSize(table::maxEntries) + mostRecord;

// Whether the `size` bytes between the image and the table are a record of
// this build's version for the product's disks, whole and sound.
bool SoundRecord(const uint8_t* bytes, uint32_t size, integrity::Record& r) {
    uint32_t body = size - integrity::tailSize, bodySize = 0;
    return size >= integrity::tailSize && size <= mostRecord &&
           integrity::ReadTail(bytes + body, body, bodySize) == integrity::Presence::present && bodySize == body &&
           integrity::ReadBody(bytes, body, r) && r.version == integrity::version &&
           r.volumeCount == product.diskCount;
}

// The integrity record between the image and the table, when anything lies
// there: bytes that are not a record of this build's version, whole and
// matching its own checksum, are a damaged installer file (disk 1), refused
// before anything is copied; so is a table that does not match the record.
void ReadIntegrityRecord(FileVar& f, uint32_t recordStart, uint32_t tableStart, uint32_t tableCrc) {
    uint32_t size = tableStart - recordStart;
    ctx.recordPresent = size != 0;
    if (!ctx.recordPresent) return;
    uint8_t bytes[mostRecord];
    integrity::Record r;
    if (size <= mostRecord) {
        CheckedSeek(f, recordStart);
        CheckedReadExact(f, bytes, size);
    }
    if (!SoundRecord(bytes, size, r))
        RefuseTable(f.name, "\ndisk 1 is damaged: the integrity record before the table does not hold");
    if (r.tableCrc != tableCrc) RefuseTable(f.name, "\nthe table does not match its checksum");
    for (int v = 0; v < product.diskCount; ++v) {
        ctx.volumeLength[v] = r.volumeLength[v];
        CopyMemory(ctx.volumeDigest[v], r.volumeDigest[v], sha256Size);
    }
    CopyMemory(ctx.streamDigest, r.streamDigest, sha256Size);
}

// From the appended data (`held` bytes, the table last): the table's sizes,
// help files last, and the volumes' length when a sound record is before it.
void NoteRunSizes(const uint8_t* bytes, uint32_t held) {
    RunSizes& run = ctx.runSizes;
    const uint8_t* end = bytes + held;
    run.stream = static_cast<uint32_t>(table::GetInt32(end - 4));
    uint32_t count = end[-5], tableSize = static_cast<uint32_t>(table::TableSize(count));
    if (tableSize > held) return;
    const uint8_t* record = end - tableSize;
    run.files = new uint32_t[count];
    run.fileCount = count;
    for (uint32_t i = 0; i < count; ++i, record += table::recordSize) {
        String name(reinterpret_cast<const char*>(record + table::nameField),
                    record[0] < table::nameCapacity ? record[0] : table::nameCapacity);
        uint32_t size = static_cast<uint32_t>(table::GetInt32(record + table::sizeField));
        if (HelpFile(name)) run.files[count - ++run.helpCount] = size;
        else run.files[i - run.helpCount] = size;
    }
    integrity::Record r;
    uint64_t archive = 0;
    if (held > tableSize && SoundRecord(bytes, held - tableSize, r))
        for (int v = 0; v < product.diskCount; ++v) archive += r.volumeLength[v];
    run.archive = archive >> 32 ? ~0u : static_cast<uint32_t>(archive);
}

}  // namespace

// The table ends the appended data, which may end before a signature's
// certificate table (engine/appended_data.h).
void LoadPackageTableFrom(const String& path) {
    FileVar f;
    CheckedOpen(f, path, FileMode::readOnly);
    appended::Layout data;
    if (appended::Locate(ReadAt, &f, CheckedSize(f), data) != appended::Fault::none)
        RefuseTable(path, "\nthe executable's headers are damaged");
    uint8_t length[4];
    SeekBack(f, data, 4);
    CheckedReadExact(f, length, 4);
    ctx.unpackedSize = table::GetInt32(length);
    uint8_t count = 0;
    SeekBack(f, data, table::trailerSize);
    CheckedReadExact(f, &count, 1);
    ctx.packageHead = nullptr;
    uint32_t tableSize = static_cast<uint32_t>(table::TableSize(count)), tableCrc = 0;
    SeekBack(f, data, tableSize);
    for (unsigned i = 0; i < count; ++i) AppendEntry(ReadEntry(f, i, tableCrc));
    tableCrc = Crc32Update(Crc32Update(tableCrc, &count, 1), length, 4);
    ReadIntegrityRecord(f, data.start, data.end - tableSize, tableCrc);
    CheckedClose(f);
    CheckLoadedTable(path);
}

void loadPackageTable() { LoadPackageTableFrom(OwnFileName()); }

bool HelpFile(const String& name) { return UpperExtension(name) == ".HLP"; }

// Read, not checked: the joining page loads the table and reports its faults.
// A file that cannot be read leaves the sizes at nothing.
void CountRoomNeeded() {
    FileVar f;
    uint32_t size = 0, held = 0;
    appended::Layout data;
    uint8_t* bytes = new uint8_t[mostAppended];
    if (FileOpen(f, OwnFileName(), FileMode::readOnly) == 0 && FileSize(f, size) == 0 &&
        appended::Locate(ReadAt, &f, size, data) == appended::Fault::none &&
        data.end - data.start <= mostAppended && ReadAt(&f, data.start, bytes, data.end - data.start))
        held = data.end - data.start;
    if (held >= table::trailerSize) NoteRunSizes(bytes, held);
    delete[] bytes;
}

void ReleasePackageTable() {
    while (ctx.packageHead) {
        PackageEntry* next = ctx.packageHead->next;
        delete ctx.packageHead;
        ctx.packageHead = next;
    }
    ctx.packageTail = nullptr;
}

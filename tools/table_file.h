// The package file table as the packaging tool handles it: built from and
// read into standard containers. The byte map and the checks are the
// installer's own (engine/table_layout.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/appended_data.h"
#include "engine/integrity_record.h"
#include "engine/table_layout.h"

namespace table {

struct Entry {
    std::string name;
    int32_t offset = 0;
    int32_t size = 0;
};

struct PackageTable {
    std::vector<Entry> entries;
    int32_t decodedLength = 0;
    unsigned codePage = 0;  // the names' ANSI code page where build was told it; 0: not known
};

// Where the names' code page is recorded: the last 4 bytes of the first
// entry's name field, "CP" and the number (16-bit), which the installer never
// reads, since names stored in a code page are 8.3 names of at most 12 bytes.
constexpr std::size_t codePageMark = 16;
constexpr std::size_t longestNameBesideMark = codePageMark - nameField;

// The table's bytes, ready to append. Unused name bytes are zero but for the
// code page's mark. Throws std::invalid_argument for more than 255 entries, a
// name over 19 bytes, or a first name too long to leave room for the mark.
std::vector<uint8_t> Serialise(const PackageTable& t);

// Reads the table from the end of the `size` bytes appended to an executable.
// False with `error` set when they are too short for the trailer or for the
// records the count names.
bool Parse(const uint8_t* image, std::size_t size, PackageTable& out, std::string& error);

// Every problem of the table the installer would refuse, one line each; empty when sound.
std::vector<std::string> Check(const PackageTable& t);

// Why a name cannot be an entry's name ("" when it can).
std::string NameProblemText(const std::string& name);

// The integrity record between the executable image and the table, as the
// installer judges it: nothing there is no record; anything else is a record
// of a known version, whole, that passes its own check (version 2: its
// checksum; version 1: its fields agree), or else damaged.
struct FoundRecord {
    integrity::Presence presence = integrity::Presence::absent;
    integrity::Record record;
    std::size_t size = 0;  // the bytes between the image and the table
    std::string damage;    // why a damaged record is not believed
};
FoundRecord FindRecord(const uint8_t* file, std::size_t start, std::size_t tableStart);

// What an installer's file carries after its executable image.
struct Appended {
    PackageTable table;
    std::size_t tableStart = 0, tableSize = 0;
    FoundRecord record;
};
// Reads the table that ends the appended data `layout` finds
// (engine/appended_data.h) and the record before it. False with `error` set
// when the data is too short for the trailer or for the records the count names.
bool ReadAppended(const uint8_t* file, const appended::Layout& layout, Appended& out, std::string& error);

// The record's bytes (body and tail), ready to go between the image and the table.
std::vector<uint8_t> SerialiseRecord(const integrity::Record& r);

uint32_t Crc32(const uint8_t* data, std::size_t size, uint32_t crc = 0);

}  // namespace table

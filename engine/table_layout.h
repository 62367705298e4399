// The package file table appended to the installer's executable file: where
// each of the product's files lies in the decoded stream (the main executable
// first, then every other file, back to back) and how long that stream is.
//
// Byte map, at the very end of the file (integers little-endian, N entries):
//
//   file size - 5 - 28*N   N records of 28 bytes, in stream order:
//                            +0   1  name length L, 0..19
//                            +1  19  name bytes; only the first L count
//                            +20  4  offset in the decoded stream, int32
//                            +24  4  size in bytes, int32
//   file size - 5          1  N, 0..255
//   file size - 4          4  decoded length of the whole stream, int32
//
// No signature, version or checksum: the table is found from the end alone.
// A well-formed table: the first offset is the main executable's length (> 0),
// each further offset is the previous offset plus its size, and the decoded
// length is the last offset plus its size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/text.h"

namespace table {

constexpr std::size_t recordSize = 28;
constexpr std::size_t nameCapacity = 19;
constexpr std::size_t nameField = 1;      // offset of the name bytes in a record
constexpr std::size_t offsetField = 20;
constexpr std::size_t sizeField = 24;
constexpr std::size_t trailerSize = 5;    // count byte + decoded length
constexpr std::size_t maxEntries = 255;

// Bytes the table occupies at the end of the file.
constexpr std::size_t TableSize(std::size_t entries) { return entries * recordSize + trailerSize; }

// Little-endian 32-bit fields of the records and the trailer.
int32_t GetInt32(const uint8_t* p);
void PutInt32(uint8_t* p, int32_t value);

// One entry as the check sees it, whoever holds the names.
struct EntryView {
    const char* name;
    std::size_t nameLength;
    int32_t offset;
    int32_t size;
};

// Why a name cannot be an entry's name, or null when it can: empty, longer
// than 19 bytes, with a directory part, or not a valid Windows file name.
const char* NameProblem(const char* name, std::size_t length);

// Checks the invariants of a well-formed table and of names the installer can
// place, calling `report` once for every problem found, in table order.
using ProblemProc = void (*)(void* context, const String& problem);
void CheckTable(const EntryView* entries, std::size_t count, int32_t decodedLength, ProblemProc report,
                void* context);

}  // namespace table

// The integrity record: what a disk set must hold, written by the packaging
// tool between the installer's executable image and the package table
// (engine/table_layout.h, engine/appended_data.h), so that it too is found
// from the end of the appended data. Whatever reads only the table reads the
// same table and never looks at it; a set without one installs unchecked.
//
// Byte map, ending where the table begins (T = its start), integers
// little-endian, V volumes:
//
//   T - 12 - B   B bytes  body, B = 52 + 40*V:
//                           +0   2  format version, 3
//                           +2   2  V, 1..9 (the installer's disk count)
//                           +4   4  identity of the disk set: CRC-32 of the
//                                   table's bytes followed by every volume's
//                           +8   4  CRC-32 of the table: its TableSize(N) bytes
//                           +12  4  CRC-32 of the decoded stream, all its
//                                   decoded-length bytes
//                           +16  8V per volume, disk 1 first: its length
//                                   (uint32), then the CRC-32 of its bytes
//                           +16+8V   32  SHA-256 of the decoded stream
//                           +48+8V   32V SHA-256 of each volume, disk 1 first
//                           +48+40V  4  CRC-32 of the body's bytes before it
//   T - 12       4  B
//   T - 8        8  signature "WHRECORD"
//
// Why the digests: a CRC-32 is linear, so four chosen bytes give any value;
// a signature covers the installer's file with this record, and through the
// SHA-256s every byte of the volumes beside it. The CRC-32s stay for older
// readers and for telling damage apart.
//
// Earlier builds wrote version 2 (B = 20 + 8*V: no digests) and version 1
// (B = 16 + 8*V: no digests and no checksum of its own, believed only where
// its fields agree with each other: the packaging tool checks that the
// identity is what the CRC-32s and lengths combine to). The packaging tool
// reads all three; the installer, only the version it is built with. A record
// is believed only once checked as a whole: one that fails is damage of disk
// 1, which carries it.
//
// CRC-32 is zlib's (runtime/crc32.h); SHA-256 is FIPS 180-4's (runtime/sha256.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/sha256.h"

namespace integrity {

constexpr std::size_t tailSize = 12;  // body length and signature
constexpr std::size_t maxVolumes = 9;
constexpr uint16_t version = 3;  // the one the tool writes and the installer reads
extern const char signature[8];

constexpr std::size_t BodySize(std::size_t volumes) { return 52 + 40 * volumes; }
constexpr std::size_t BodySizeVersion2(std::size_t volumes) { return 20 + 8 * volumes; }
constexpr std::size_t BodySizeVersion1(std::size_t volumes) { return 16 + 8 * volumes; }
// Where the digests start in a body: after the fields every version has.
constexpr std::size_t DigestsAt(std::size_t volumes) { return BodySizeVersion1(volumes); }

struct Record {
    uint16_t version = integrity::version;
    uint32_t identity = 0;
    uint32_t tableCrc = 0;
    uint32_t streamCrc = 0;
    uint16_t volumeCount = 0;
    uint32_t volumeLength[maxVolumes] = {};
    uint32_t volumeCrc[maxVolumes] = {};
    // Version 3 only; zero in the older ones.
    uint8_t streamDigest[sha256Size] = {};
    uint8_t volumeDigest[maxVolumes][sha256Size] = {};
};

enum class Presence { absent, present, damaged };

// From the 12 bytes before the table: absent without the signature; with it,
// the body's length, damaged when no body of any version and 1 to 9
// volumes has that length or when it would start before `available` bytes
// (those before the tail) allow.
Presence ReadTail(const uint8_t* tail, std::size_t available, uint32_t& bodySize);

// The body's fields; false for an unknown version, a volume count that does
// not match its length, or a version 2 or 3 body that fails its own checksum.
bool ReadBody(const uint8_t* body, std::size_t size, Record& out);

// The body's bytes for `r` in the current version; `out` holds BodySize(r.volumeCount) bytes.
void WriteBody(const Record& r, uint8_t* out);
// The tail for a body of `bodySize` bytes.
void WriteTail(uint32_t bodySize, uint8_t* out);

// What a volume copied from its disk is, against the record's length and digest for it.
enum class VolumeCheck {
    sound,
    otherLength,  // not this set's disk (or a copy cut short)
    damaged,      // the right length, other bytes
};
VolumeCheck CheckVolume(uint32_t wantLength, const uint8_t* wantDigest, uint64_t length, const uint8_t* digest);

bool SameDigest(const uint8_t* a, const uint8_t* b);

}  // namespace integrity

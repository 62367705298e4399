#include "engine/integrity_record.h"

#include "engine/table_layout.h"
#include "runtime/crc32.h"

namespace integrity {

const char signature[8] = {'W', 'H', 'R', 'E', 'C', 'O', 'R', 'D'};

namespace {

uint16_t GetInt16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void PutInt16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

uint32_t GetUint32(const uint8_t* p) { return static_cast<uint32_t>(table::GetInt32(p)); }
void PutUint32(uint8_t* p, uint32_t value) { table::PutInt32(p, static_cast<int32_t>(value)); }

}  // namespace

Presence ReadTail(const uint8_t* tail, std::size_t available, uint32_t& bodySize) {
    for (std::size_t i = 0; i < sizeof signature; ++i)
        if (tail[4 + i] != static_cast<uint8_t>(signature[i])) return Presence::absent;
    bodySize = GetUint32(tail);
    // Version 1 bodies are 16 + 8V bytes, version 2 bodies 20 + 8V.
    bool known = bodySize >= BodySizeVersion1(1) && bodySize <= BodySize(maxVolumes) && bodySize % 4 == 0;
    return known && bodySize <= available ? Presence::present : Presence::damaged;
}

bool ReadBody(const uint8_t* body, std::size_t size, Record& out) {
    if (size < BodySizeVersion1(1)) return false;
    out.version = GetInt16(body);
    out.volumeCount = GetInt16(body + 2);
    if (out.volumeCount < 1 || out.volumeCount > maxVolumes) return false;
    std::size_t fields = BodySizeVersion1(out.volumeCount);
    if (out.version == 1 ? size != fields
                         : out.version != version || size != fields + 4 ||
                               GetUint32(body + fields) != Crc32Update(0, body, fields))
        return false;
    out.identity = GetUint32(body + 4);
    out.tableCrc = GetUint32(body + 8);
    out.streamCrc = GetUint32(body + 12);
    for (unsigned v = 0; v < out.volumeCount; ++v) {
        out.volumeLength[v] = GetUint32(body + 16 + 8 * v);
        out.volumeCrc[v] = GetUint32(body + 20 + 8 * v);
    }
    return true;
}

void WriteBody(const Record& r, uint8_t* out) {
    PutInt16(out, version);
    PutInt16(out + 2, r.volumeCount);
    PutUint32(out + 4, r.identity);
    PutUint32(out + 8, r.tableCrc);
    PutUint32(out + 12, r.streamCrc);
    for (unsigned v = 0; v < r.volumeCount; ++v) {
        PutUint32(out + 16 + 8 * v, r.volumeLength[v]);
        PutUint32(out + 20 + 8 * v, r.volumeCrc[v]);
    }
    std::size_t fields = BodySizeVersion1(r.volumeCount);
    PutUint32(out + fields, Crc32Update(0, out, fields));
}

void WriteTail(uint32_t bodySize, uint8_t* out) {
    PutUint32(out, bodySize);
    for (std::size_t i = 0; i < sizeof signature; ++i) out[4 + i] = static_cast<uint8_t>(signature[i]);
}

VolumeCheck CheckVolume(uint32_t wantLength, uint32_t wantCrc, uint64_t length, uint32_t crc) {
    if (length != wantLength) return VolumeCheck::otherLength;
    return crc == wantCrc ? VolumeCheck::sound : VolumeCheck::damaged;
}

}  // namespace integrity

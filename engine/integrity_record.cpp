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
    // Version 1 bodies are 16 + 8V bytes, version 2 bodies 20 + 8V, version 3 52 + 40V.
    bool known = bodySize >= BodySizeVersion1(1) && bodySize <= BodySize(maxVolumes) && bodySize % 4 == 0;
    return known && bodySize <= available ? Presence::present : Presence::damaged;
}

bool ReadBody(const uint8_t* body, std::size_t size, Record& out) {
    if (size < BodySizeVersion1(1)) return false;
    out.version = GetInt16(body);
    out.volumeCount = GetInt16(body + 2);
    if (out.volumeCount < 1 || out.volumeCount > maxVolumes) return false;
    // Versions 2 and 3 end in the CRC-32 of the bytes before it.
    std::size_t sealed = out.version == 2   ? BodySizeVersion2(out.volumeCount)
                         : out.version == 3 ? BodySize(out.volumeCount)
                                            : 0;
    if (out.version == 1 ? size != BodySizeVersion1(out.volumeCount)
                         : sealed == 0 || size != sealed || GetUint32(body + sealed - 4) != Crc32Update(0, body, sealed - 4))
        return false;
    out.identity = GetUint32(body + 4);
    out.tableCrc = GetUint32(body + 8);
    out.streamCrc = GetUint32(body + 12);
    for (unsigned v = 0; v < out.volumeCount; ++v) {
        out.volumeLength[v] = GetUint32(body + 16 + 8 * v);
        out.volumeCrc[v] = GetUint32(body + 20 + 8 * v);
    }
    if (out.version == 3) {
        const uint8_t* digests = body + DigestsAt(out.volumeCount);
        for (unsigned i = 0; i < sha256Size; ++i) {
            out.streamDigest[i] = digests[i];
            for (unsigned v = 0; v < out.volumeCount; ++v)
                out.volumeDigest[v][i] = digests[sha256Size * (1 + v) + i];
        }
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
    uint8_t* digests = out + DigestsAt(r.volumeCount);
    for (unsigned i = 0; i < sha256Size; ++i) {
        digests[i] = r.streamDigest[i];
        for (unsigned v = 0; v < r.volumeCount; ++v) digests[sha256Size * (1 + v) + i] = r.volumeDigest[v][i];
    }
    std::size_t fields = BodySize(r.volumeCount) - 4;
    PutUint32(out + fields, Crc32Update(0, out, fields));
}

void WriteTail(uint32_t bodySize, uint8_t* out) {
    PutUint32(out, bodySize);
    for (std::size_t i = 0; i < sizeof signature; ++i) out[4 + i] = static_cast<uint8_t>(signature[i]);
}

bool SameDigest(const uint8_t* a, const uint8_t* b) {
    for (std::size_t i = 0; i < sha256Size; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

VolumeCheck CheckVolume(uint32_t wantLength, const uint8_t* wantDigest, uint64_t length, const uint8_t* digest) {
    if (length != wantLength) return VolumeCheck::otherLength;
    return SameDigest(digest, wantDigest) ? VolumeCheck::sound : VolumeCheck::damaged;
}

}  // namespace integrity

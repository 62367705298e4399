#include "engine/appended_data.h"

#include "engine/integrity_record.h"
#include "engine/table_layout.h"

// The procedures stay out of line (noinline): inlined into the installer's
// loader, they take more room there.
namespace appended {

namespace {

uint32_t U16(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8; }
uint32_t U32(const uint8_t* p) { return static_cast<uint32_t>(table::GetInt32(p)); }

// Offsets past 4 GB lie past every file: sums stop at the largest value.
uint32_t Sum(uint32_t a, uint32_t b) { return a + b < a ? UINT32_MAX : a + b; }
uint32_t Max(uint32_t a, uint32_t b) { return a > b ? a : b; }

struct File {
    ReadProc read;
    void* file;
    uint32_t size;

    bool At(uint32_t at, uint8_t* out, uint32_t count) const { return read(file, at, out, count); }
};

__attribute__((noinline)) Fault ReadHeaders(const File& f, Layout& out) {
    // The PE signature, the file header and the optional header up to the
    // security directory's entry (the fifth), in either optional header's form.
    uint8_t h[24 + 152];
    const uint8_t* opt = h + 24;
    if (!f.At(0, h, 64) || h[0] != 'M' || h[1] != 'Z') return Fault::noMzHeader;
    uint32_t pe = U32(h + 0x3C);
    if (!f.At(pe, h, 24) || U32(h) != 0x4550) return Fault::noPeHeader;  // "PE\0\0"
    uint32_t sections = U16(h + 6), optionalSize = U16(h + 20);
    out.coffSymbols = U32(h + 12) && U32(h + 16);
    uint32_t at = pe + 24, sectionTable = at + optionalSize;  // pe + 24 lies in the file: no overflow
    if (optionalSize < 64 || !f.At(at, h + 24, optionalSize < 152 ? optionalSize : 152))
        return Fault::headerCutShort;
    uint32_t end = U32(opt + 60);  // SizeOfHeaders
    out.checksumField = at + 64;
    // A header too short to hold the directory count has no directories.
    uint32_t count = U16(opt) == 0x20B ? 108 : 92, entry = count + 4 + 4 * 8;
    if (entry + 8 <= optionalSize && U32(opt + count) > 4) {
        out.securityEntry = at + entry;
        out.certificates = U32(opt + entry);
        out.certificatesSize = U32(opt + entry + 4);
    }
    if (sectionTable > f.size || sections > (f.size - sectionTable) / 40) return Fault::sectionsCutShort;
    end = Max(end, sectionTable + 40 * sections);  // the headers hold what was read, whatever SizeOfHeaders says
    for (uint32_t i = 0; i < sections; ++i) {
        f.At(sectionTable + 40 * i + 16, h, 8);
        if (U32(h)) end = Max(end, Sum(U32(h + 4), U32(h)));  // raw data's offset + size
    }
    out.imageEnd = end;
    return Fault::none;
}

// Whether data appended from `start` can end at `end`: a table whose count
// leaves nothing, or exactly an integrity record's tail and body, before it.
__attribute__((noinline)) bool Fits(const File& f, uint32_t start, uint32_t end) {
    if (end == start) return true;
    uint8_t b[integrity::tailSize];
    if (end - start < table::trailerSize) return false;
    f.At(end - table::trailerSize, b, 1);
    uint32_t tableSize = static_cast<uint32_t>(table::TableSize(b[0]));
    if (tableSize > end - start) return false;
    uint32_t gap = end - tableSize - start, bodySize = 0;
    if (gap == 0) return true;
    if (gap < integrity::tailSize) return false;
    f.At(end - tableSize - integrity::tailSize, b, integrity::tailSize);
    return integrity::ReadTail(b, gap - integrity::tailSize, bodySize) == integrity::Presence::present &&
           bodySize == gap - integrity::tailSize;
}

// Before a certificate table: the first end that fits, counting 0 to 7 zero
// bytes of padding. When none fits the data is damaged; its reader finds out
// how, from the table's start.
uint32_t EndBeforeCertificates(const File& f, uint32_t start, uint32_t certificates) {
    uint8_t b[1];
    for (uint32_t end = certificates; end + 7 >= certificates; --end) {
        if (Fits(f, start, end)) return end;
        if (end == start || !f.At(end - 1, b, 1) || b[0] != 0) break;
    }
    return certificates;
}

}  // namespace

__attribute__((noinline)) Fault Locate(ReadProc read, void* file, uint32_t size, Layout& out) {
    File f{read, file, size};
    Fault fault = ReadHeaders(f, out);
    if (fault != Fault::none) return fault;
    uint32_t certificatesEnd = Sum(out.certificates, out.certificatesSize);
    // A certificate table among the headers or sections overlaps the bytes a signature covers.
    if (out.certificatesSize && out.certificates < out.imageEnd) return Fault::certificatesInImage;
    out.signedAtEnd = out.certificatesSize && certificatesEnd == size;
    if (out.certificatesSize && !out.signedAtEnd) out.imageEnd = Max(out.imageEnd, certificatesEnd);
    if (out.imageEnd > size) return Fault::imageCutShort;
    out.start = out.imageEnd;
    out.end = out.signedAtEnd ? EndBeforeCertificates(f, out.start, out.certificates) : size;
    return Fault::none;
}

}  // namespace appended

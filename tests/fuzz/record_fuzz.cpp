// libFuzzer target for the integrity record: any bytes are what follows an
// installer's executable image, a record and a table. The record is read in
// time that does not grow with the lengths it declares (a slow input is a
// finding: the short and long runs give each a time limit), and one that is
// believed
//   - declares volumes that a set the installer joins can hold;
//   - of version 1, has the identity its CRC-32s and lengths combine to,
//     combined here plainly over zeros where the lengths are small;
//   - reads back the same once written in the current version.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/crc32.h"
#include "tools/table_file.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

// The register is affine in its input: the second part counts as zeros after
// the first, less zeros alone, plus itself.
uint32_t CombinedOverZeros(uint32_t first, uint32_t second, uint32_t length) {
    static const std::vector<uint8_t> zeros(1 << 16);
    return Crc32Update(first, zeros.data(), length) ^ Crc32Update(0, zeros.data(), length) ^ second;
}

void CheckVersionOne(const integrity::Record& r) {
    uint32_t identity = r.tableCrc;
    for (unsigned v = 0; v < r.volumeCount; ++v) {
        if (r.volumeLength[v] > (1u << 16)) return;
        identity = CombinedOverZeros(identity, r.volumeCrc[v], r.volumeLength[v]);
    }
    Check(identity == r.identity);
}

void CheckWrittenBack(const integrity::Record& r, const uint8_t* tableBytes, std::size_t tableSize) {
    std::vector<uint8_t> again = table::SerialiseRecord(r);
    std::size_t recordSize = again.size();
    again.insert(again.end(), tableBytes, tableBytes + tableSize);
    table::FoundRecord back = table::FindRecord(again.data(), 0, recordSize);
    Check(back.presence == integrity::Presence::present && back.record.version == integrity::version);
    Check(back.record.identity == r.identity && back.record.tableCrc == r.tableCrc &&
          back.record.streamCrc == r.streamCrc && back.record.volumeCount == r.volumeCount);
    Check(std::equal(r.volumeLength, r.volumeLength + r.volumeCount, back.record.volumeLength) &&
          std::equal(r.volumeCrc, r.volumeCrc + r.volumeCount, back.record.volumeCrc));
    Check(integrity::SameDigest(r.streamDigest, back.record.streamDigest));
    for (unsigned v = 0; v < r.volumeCount; ++v) Check(integrity::SameDigest(r.volumeDigest[v], back.record.volumeDigest[v]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    appended::Layout layout;
    layout.end = uint32_t(size);
    table::Appended found;
    std::string error;
    if (!table::ReadAppended(data, layout, found, error)) return 0;
    const table::FoundRecord& record = found.record;
    if (record.presence == integrity::Presence::damaged) Check(!record.damage.empty());
    if (record.presence != integrity::Presence::present) return 0;
    const integrity::Record& r = record.record;
    uint64_t total = 0;
    for (unsigned v = 0; v < r.volumeCount; ++v) total += r.volumeLength[v];
    Check(total <= uint64_t(INT32_MAX));
    if (r.version == 1) CheckVersionOne(r);
    CheckWrittenBack(r, data + found.tableStart, found.tableSize);
    return 0;
}

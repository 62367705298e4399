#include "runtime/room_needed.h"

namespace {

// `bytes` rounded up to whole clusters of 2^shift bytes, in 512-byte units.
// Shifts only: Setup.exe has no division to call on, and 32-bit steps are
// the cheapest on an 80386.
uint32_t Units(uint32_t bytes, unsigned shift) {
    uint32_t clusters = (bytes >> shift) + ((bytes & ((1u << shift) - 1)) != 0);
    return clusters << (shift - 9);
}

}  // namespace

uint32_t RoomNeededKilobytes(const RunSizes& run, uint32_t clusterBytes, bool helpOnDrive) {
    unsigned shift = 9;
    while (shift < 31 && (1u << shift) < (clusterBytes ? clusterBytes : 32768)) ++shift;
    uint32_t stream = Units(run.stream, shift), files = 0;
    uint32_t archive = run.archive ? Units(run.archive, shift)
                                   : stream + Units(run.stream >> 3, shift) + (1u << (shift - 9));
    uint32_t count = helpOnDrive ? run.fileCount : run.fileCount - run.helpCount;
    for (uint32_t i = 0; i < count; ++i) files += Units(run.files[i], shift);
    return (stream + (archive > files ? archive : files) + 1) >> 1;
}

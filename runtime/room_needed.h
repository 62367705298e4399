// The room an installation takes on its directory's drive at the run's peak,
// in whole clusters. Portable and table-free: the engine reads the sizes from
// the package table after the licence page, the destination page counts them
// once it knows the drive's allocation unit.
//
// The run on that drive: joining writes the archive; unpacking writes the
// decoded stream beside it, then deletes the archive; placement writes every
// entry's file while the stream is still there; the stream is then cut to the
// main executable. Files that exist already are kept until the run ends, so
// every entry counts in full. The peak is the larger of
//   archive + stream    and    stream + every file placed on the drive,
// each file rounded up to whole clusters (an empty file takes none).
#pragma once

#include <cstdint>

struct RunSizes {
    // The volumes' length together, from the integrity record; 0 when the
    // installer carries none: the codec's worst case (the stream and an
    // eighth, for data that does not compress) and a cluster are counted.
    uint32_t archive;
    uint32_t stream;     // the decoded stream's length, from the table's trailer
    // Each entry's size, help files last: those go to the Windows directory's
    // Help folder and count only when it is on the same drive.
    uint32_t* files;
    uint32_t fileCount;  // at most 255: the table's count is one byte
    uint32_t helpCount;  // how many of them are help files
};

// Kilobytes the run needs on a drive with clusters of `clusterBytes` (0: not
// known, taken as 32 KB, the largest common FAT16 cluster); a cluster that is
// no power of two, or smaller than 512 bytes, counts as the next one up. With
// at most 255 files of under 4 GB each the count cannot wrap: it stays under
// 2^31 KB, whatever the sizes.
uint32_t RoomNeededKilobytes(const RunSizes& run, uint32_t clusterBytes, bool helpOnDrive);

// Reads the files of a FAT12 volume's root folder from its image: a floppy
// copied with dd, an image MakeImage wrote, or one mtools has changed since.
// Any bytes are safe to give: the boot sector's geometry is checked before
// anything is read by it, and every cluster chain is followed within the
// disk, never through a cluster twice (which also ends a loop).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/fat12_layout.h"

namespace fat12 {

struct Volume {
    std::string label;        // the root folder's volume label (or the boot sector's), "" when none
    std::vector<File> files;  // the root folder's files in folder order, named "NAME.EXT"; folders are left out
};

// Throws ToolError saying what makes the image unreadable: not a FAT12
// volume, cut short, or a file whose clusters the FAT does not lead through.
Volume ReadImage(const uint8_t* image, std::size_t size);

}  // namespace fat12

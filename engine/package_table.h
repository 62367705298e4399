// The package file table appended to the installer's own file (its byte map is
// in engine/table_layout.h), read into a list of entries in SetupContext.
#pragma once

#include <cstdint>

#include "runtime/text.h"

struct PackageEntry {
    String name;      // a counted string of at most 20 characters
    int32_t offset;   // in the decoded stream
    int32_t size;
    PackageEntry* next;
};

// Fills unpackedSize, packageHead and packageTail from the running installer's
// file, then refuses a table the installer could not place safely. Every file
// step is checked (EInOutError); so is the table (EInOutError naming the fault).
void loadPackageTable();

// The same from any file carrying a table.
void LoadPackageTableFrom(const String& path);

// What the destination page counts an installation's room by (SetupContext's
// runSizes): the decoded stream's length, each entry's size and the volumes'
// length, from the running installer's file. Checks nothing.
void CountRoomNeeded();

// Whether an entry goes to the Windows directory's Help folder.
bool HelpFile(const String& name);

// Releases every entry; packageHead and packageTail end null.
void ReleasePackageTable();

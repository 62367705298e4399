// The files the installation placed: the product's in the installation
// folder (and the substitutes of those it could not replace), its help files
// in the Windows help folder, and at last, when none of them stays, the
// uninstaller itself and the folder.
// A file is the installation's only when its name is the product's (or a
// stand-in for one) and its content is what was shipped under that name;
// any other file stays, whatever it is called.
#pragma once

#include "sample/uninstall/installation.h"

void RemovePlacedFiles(Installation& at);
// Once the installation is removed: its entry in the installer's record of the
// help files installations share, and the record's key, and the product's, when
// nothing else is left in them.
void ForgetSharedFiles(const Installation& at);

// Deletes `path` (counting it removed), clearing its read-only attribute;
// false, noted as left over with why, when it is there afterwards.
bool RemoveFile(Installation& at, const String& path);

// Whether the file at `path` holds the shipped content of the product's file `name`.
bool HoldsShippedFile(const Installation& at, const String& name, const String& path);

// Removes `path` when Windows next starts, the family's way; false, noted, when
// it cannot be queued. Already queued, it is not queued again.
bool RemoveAtNextStart(Installation& at, const String& path);
// Moves `from` over `to` when Windows next starts, replacing it; false, noted,
// when it cannot be queued. Already queued, it is not queued again.
bool RenameAtNextStart(Installation& at, const String& from, const String& to);
// Whether that move waits already.
bool RenameQueued(const Installation& at, const String& from, const String& to);

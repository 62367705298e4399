// The files the installation placed: the product's in the installation
// folder (and the substitutes of those it could not replace), its help files
// in the Windows help folder, and at last the uninstaller itself and the folder.
#pragma once

#include "sample/uninstall/installation.h"

void RemovePlacedFiles(Installation& at);

// Removes `path` when Windows next starts, the family's way; false, noted, when it cannot be queued.
bool RemoveAtNextStart(Installation& at, const String& path);
// Renames `from` over `to` when Windows next starts (after the removals queued before it).
bool RenameAtNextStart(Installation& at, const String& from, const String& to);

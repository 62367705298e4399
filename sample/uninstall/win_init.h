// WinInit.Ini in the Windows directory: the "[Rename]" lines ("destination=
// source", "NUL=file" to delete) that the 95 family carries out at its next start.
#pragma once

#include "sample/uninstall/installation.h"

// When a line of WinInit.Ini reads `destination` "=" a source that `ours`
// accepts (ignoring case and blanks), that line and every line reading
// `first` go, and `source` is that line's source. False when there is none.
bool RemovePendingPair(Installation& at, const String& first, const String& destination,
                       bool (*ours)(const Installation&, const String&), String& source);

// Whether a line of WinInit.Ini reads `line` (ignoring case and blanks).
bool PendingLineQueued(const Installation& at, const String& line);

// Adds `lines` (each ending in CR LF) to the file's "[Rename]" section,
// opening one when the file does not end in it. False, noted, on failure.
bool QueueWinInitLines(Installation& at, const String& lines);

// WinInit.Ini in the Windows directory: the "[Rename]" lines ("destination=
// source", "NUL=file" to delete) that the 95 family carries out at its next start.
#pragma once

#include "sample/uninstall/installation.h"

// Takes out of WinInit.Ini every line moving a file onto `destination` from
// a source `ours` accepts, and every line reading `aside` (the file there
// moved away first) unless another file's move onto it stays. `sources` gets
// the taken lines' sources, one a line ("\n"). False when none was there, or
// when the file cannot be rewritten (noted: then nothing is taken).
bool TakeBackPendingLines(Installation& at, const String& aside, const String& destination,
                          bool (*ours)(const Installation&, const String&), String& sources);
// Takes out every line whose source is `source` (in any spelling); false when none.
bool TakeBackLinesFrom(Installation& at, const String& source);

// Whether a line of WinInit.Ini reads `line` (ignoring case and blanks).
bool PendingLineQueued(const Installation& at, const String& line);

// Adds `lines` (each ending in CR LF) to the file's "[Rename]" section,
// opening one when the file does not end in it. False, noted, on failure.
bool QueueWinInitLines(Installation& at, const String& lines);

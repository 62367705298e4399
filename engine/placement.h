// Cutting the product's files out of the decoded stream into their places.
//
//   installDir\<mainExecutable>   the decoded stream: main executable, then
//                                 every entry's bytes at its offset
//   installDir\<name>             each entry, except an existing .LIB or .DTP
//   <windowsDir>\Help\<name>      each .HLP entry
//   installDir\<name>.$$$         a substitute when the target cannot be
//                                 created; "old=new" (short paths) is queued
//                                 for WinInit.Ini
// Finally the stream is cut back to the main executable and the list released.
#pragma once

#include "runtime/text.h"

// The system's short (8.3) form of a path; the path itself when there is none.
String ShortPathOf(const String& path);

// One WinInit.Ini rename line, "blocked=substitute" and CR LF, added to `lines`.
void AddRenameLine(String& lines, const String& blocked, const String& substitute);

// Every file step is checked: a failed read, write (a full disk) or a decoded
// stream shorter than the table raises EInOutError naming the file. Rename
// lines for substitutes are added to `renameLines`.
void PlaceProductFiles(String& renameLines);

// Path and file-name helpers shared by every part of the installer.
#pragma once

#include "runtime/text.h"

// Directory + name with exactly one backslash between them; an empty directory
// gives the name alone, a directory ending in a backslash gets none added.
String PathJoin(const String& directory, const String& name);

// Everything up to and including the last backslash or colon; empty when there is none.
String DirectoryPart(const String& path);
// Everything after the last backslash or colon.
String FilePart(const String& path);

// The extension from the last dot, upper-cased, when no backslash or colon follows that dot; else empty.
String UpperExtension(const String& name);

// `name` with its extension (from the last dot) replaced by `extension`; appended when there is none.
String ReplaceExtension(const String& name, const String& extension);

// Whether Windows opens a device for this file name, whatever the extension
// and however many blanks follow the stem: "com9 .txt" is the serial port.
bool ReservedDeviceName(const String& name);

// The main executable's own name when `name` is its staged ".$$$" copy (the
// restart renames that copy into place); any other name unchanged.
String UnstagedExecutable(const String& name);

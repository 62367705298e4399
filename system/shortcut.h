// The product's shortcut in the Start menu's Programs folder, named after the
// program group the user chose.
#pragma once

#include "runtime/text.h"

// The user's Programs folder: the registry's "Shell Folders" value, else the
// shell's own answer; empty when neither knows it.
String ProgramsFolder();

// Whether `name` + ".LNK" names one file in the Programs folder and nothing
// else: not blank or dots alone, no folder part or character a file name
// cannot hold, no device, a path that fits.
bool UsableGroupName(const String& name);

// Saves PathJoin(Programs folder, groupName + ".LNK") through the shell link
// object: target the main executable in installDir, working directory
// installDir, shown normally. A shortcut that cannot be made is reported in a
// box. groupName keeps the appended ".LNK".
void MakeProgramShortcut();

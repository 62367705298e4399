// The product's shortcut in the Start menu's Programs folder, named after the
// program group the user chose.
#pragma once

#include "runtime/text.h"

// The user's Programs folder: the registry's "Shell Folders" value, else the
// shell's own answer; empty when neither knows it.
String ProgramsFolder();

// Saves PathJoin(Programs folder, groupName + ".LNK") through the shell link
// object: target the main executable in installDir, working directory
// installDir, shown normally. Reports nothing; a shortcut that cannot be made
// is simply missing. groupName keeps the appended ".LNK".
void MakeProgramShortcut();

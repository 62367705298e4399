// The product's shortcut in the Start menu's Programs folder, named after the
// program group the user chose.
#pragma once

// Saves PathJoin(Programs folder, groupName + ".LNK") through the shell link
// object: target the main executable in installDir, working directory
// installDir, shown normally. Reports nothing; a shortcut that cannot be made
// is simply missing. groupName keeps the appended ".LNK".
void MakeProgramShortcut();

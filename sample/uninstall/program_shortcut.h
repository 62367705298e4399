// The product's shortcut in the Start menu's Programs folder. Its name is the
// program group the user typed, so it is found by its target instead.
#pragma once

#include "sample/uninstall/installation.h"

// Removes every shortcut in the Programs folder, or one folder below it (a
// group name may name an existing folder), whose target is this
// installation's main executable (or, moved, the former folder's).
void RemoveProgramShortcut(Installation& at);

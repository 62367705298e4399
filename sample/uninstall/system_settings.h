// What the installation changed in Windows itself, each undone only while it
// still points at this installation (moved, at its missing former copy):
// the uninstall entry, the shell setting and the replaced Task Manager.
#pragma once

#include "sample/uninstall/installation.h"

// Sets the installation's former folder when the user moved it here from
// where the uninstall entry says it is.
void FindFormerFolder(Installation& at);
// Whether the product's uninstall entry names this very uninstaller (or, moved, the former folder's).
bool EntryNamesThisUninstaller(const Installation& at);
void RemoveUninstallEntry(Installation& at);
// SYSTEM.INI's [Boot] "Shell" (95 family) or the Winlogon "Shell" (NT family) back to the Explorer.
void RestoreShell(Installation& at);
// Drops the installer's rename lines while they wait; once carried out, queues the reverse.
void RestoreTaskManager(Installation& at);

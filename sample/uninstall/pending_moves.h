// The NT family's own list of moves for its next start: the value
// "PendingFileRenameOperations" (REG_MULTI_SZ) of the key
// HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Session Manager,
// two strings per move:
//   "\??\<source>"       the file to move (or delete)
//   "[!]\??\<dest>"      where it goes, "!" first when it may replace a file
//                        there; empty when the source is deleted
#pragma once

#include "sample/uninstall/installation.h"

// Whether the move of `source` onto `destination` (empty: its deletion) waits.
bool PendingMoveQueued(const String& source, const String& destination);

// Takes out every move that `ours` accepts (given its source and destination,
// without their prefixes); `source` is the source of the last one taken.
// False when none was there. A list that cannot be rewritten is noted.
bool DropPendingMoves(Installation& at, bool (*ours)(const Installation&, const String&, const String&),
                      String& source);

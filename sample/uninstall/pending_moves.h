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

// Takes out every move onto `destination` from a source `ours` accepts, and
// the move of `asideFrom` onto `asideTo` (the file there moved away first)
// unless another file's move onto it stays. `sources` gets the taken moves'
// sources, one a line ("\n"). False when none was there, or when the list
// cannot be rewritten (noted: then nothing is taken).
bool TakeBackPendingMoves(Installation& at, const String& asideFrom, const String& asideTo, const String& destination,
                          bool (*ours)(const Installation&, const String&), String& sources);
// Takes out every move of `source`; false when none.
bool TakeBackMovesFrom(Installation& at, const String& source);

// What a run does to the files, written down before it does it, so that a
// run cut off at any moment (killed, a power cut) is undone by the next one:
//
//   <windowsDir>\Wardhavn.Jnl       one entry per step, each ending in a zero byte
//     /PATH    the run made the installation folder PATH
//     +PATH    the run creates PATH, where nothing was
//     ~PATH    the run sets the earlier PATH aside as PATH.~$$
//
// An entry is written, in one write, before its step: a step cut off is in
// the journal, done or not, and undoing a step not done does nothing. The journal lives from
// the destination page until every file is in place; then the files are the
// run's for good and it goes (CommitJournal). Found at start-up, it is undone
// before anything else, last line first: files made are deleted, earlier
// files put back, the folder removed when empty. A cancel, a failure and the
// error report undo it the same way. Only what the journal names is touched:
// a user's file with a name the installer uses is never taken for its own.
#pragma once

#include "runtime/text.h"

void JournalNote(char step, const String& path);
// Sets ctx.undoLeftSome when a file made stays or an earlier file is not back.
void UndoJournal();
void CommitJournal();

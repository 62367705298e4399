// Cutting the product's files out of the decoded stream into their places.
//
//   installDir\<mainExecutable>   the decoded stream: main executable, then
//                                 every entry's bytes at its offset
//   installDir\<name>             each entry, except an existing .LIB or .DTP;
//                                 an existing file waits as <name>.~$$ until
//                                 every file is in place
//   <windowsDir>\Help\<name>      each .HLP entry
//   installDir\<name>.$$$         a substitute when the target cannot be
//                                 created (".$$1", ".$$2", ... when another
//                                 file of this installation has that name);
//                                 its rename is queued for the next start
// Finally the stream is cut back to the main executable and the list released.
#pragma once

#include "runtime/text.h"

// Renames that wait for the next start of Windows: a file of the installation
// directory that could not be replaced, and the substitute holding its new
// bytes. Nothing reaches the system before every file is in place: a rename
// of a file that a cancel or a failure removes would act at the next start.
struct RenameQueue {
    String lines;  // WinInit.Ini lines "blocked=substitute", short paths, each ending in CR LF
    String names;  // "blocked|substitute|" per rename ('|' is in no file name)
};

// The k-th name (0 to 999) a stand-in for `name` may take: ".$$$" first, then
// ".$$1" to ".$99" and ".100" to ".999", the name cut to at most 20 characters.
String SubstituteCandidate(const String& name, int k);

// Queues the rename of `substitute` over `blocked`, both names in installDir.
void QueueRename(RenameQueue& queue, const String& blocked, const String& substitute);

// Appends the lines to WinInit.Ini, which the 95 family carries out; the NT
// family reads only its own list, so there every rename is queued through the
// system as well. A failure of either raises EInOutError.
void CommitRenames(const RenameQueue& queue);

// What waits for the next start, one "destination=source" line (CR LF) per
// move: WinInit.Ini's lines, or the NT family's own list without the "!" and
// "\??\" of its paths; moves to add to it give "!" first where they may
// replace a file. An installation run again (after an interruption, or twice before a restart)
// finds its moves there and queues none of them twice.
String WaitingLines();
String WaitingMoves();
// Whether a line of `waiting` begins with `text` (after a "!"), ignoring case:
// "destination=source\r\n" is that move, "destination=" any move onto it.
bool MoveWaiting(const String& waiting, const String& text);
// Add, each in one write, the moves ("destination=source" lines, spelled as
// their record spells them) that do not wait already.
// A failure raises EInOutError.
void QueueLines(const String& lines);
void QueueMoves(const String& moves);

// A file that was there before the run waits under this name (its own
// with ".~$$" appended) until every file is in place: a failure puts it back
// whole, and a run cut off leaves it for the next run to put back first
// (engine/run_journal.h).
String AsidePath(const String& path);
// The run's files are all in place: what was set aside goes.
void DropAsides();

// Every file step is checked: a failed read, write (a full disk), a decoded
// stream shorter than the table, or a substitute that cannot be created
// either raises EInOutError naming the file.
void PlaceProductFiles(RenameQueue& renames);

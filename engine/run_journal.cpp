#include "engine/run_journal.h"

#include "engine/placement.h"
#include "runtime/file_io.h"
#include "runtime/paths.h"
#include "state/context.h"

namespace {

String JournalPath() { return PathJoin(ctx.windowsDir, "Wardhavn.Jnl"); }

// A second undo (a failure's clean-up after the error's) tells what the first did.
bool undoneWhole = true;

void UndoStep(char step, const char* p) {
    if (step == '+') undoneWhole &= DeleteFileA(p) || GetLastError() <= ERROR_PATH_NOT_FOUND;
    if (step == '/') RemoveFolder(p);  // one that holds anything else stays
    String aside = AsidePath(p);
    if (step == '~' && FileExists(aside)) {
        DeleteFileA(p);
        undoneWhole &= MoveFileA(aside.c_str(), p) != 0;
    }
}

}  // namespace

void JournalNote(char step, const String& path) {
    FileVar& f = ctx.journal;
    if (!f.IsOpen()) CheckedOpen(f, JournalPath(), FileMode::create);
    CheckedWriteLine(f, String(&step, 1) + path);
}

bool UndoJournal() {
    FileVar& f = ctx.journal;
    FileClose(f);
    uint32_t size = 0;
    if (FileOpen(f, JournalPath(), FileMode::readOnly) != 0 || FileSize(f, size) != 0) return undoneWhole;
    String text(size, '\0');
    char* s = text.data();
    FileRead(f, s, size, size);
    FileClose(f);
    // The current directory cannot be removed.
    SetCurrentDirectoryA(ctx.sourceDir.c_str());
    // Each line ends in a zero where its CR LF was (CR and LF are never a
    // second byte); last line first, the last perhaps cut short with its run.
    for (uint32_t i = 0; i < size; ++i)
        if (s[i] == '\r' || s[i] == '\n') s[i] = '\0';
    for (uint32_t end = size, start; end > 0; end = start ? start - 1 : 0) {
        for (start = end; start > 0 && s[start - 1]; --start) {}
        if (end - start > 1) UndoStep(s[start], s + start + 1);
    }
    DeleteFileA(JournalPath().c_str());
    return undoneWhole;
}

void CommitJournal() {
    FileClose(ctx.journal);
    DeleteFileA(JournalPath().c_str());
}

#include "engine/run_journal.h"

#include "engine/placement.h"
#include "runtime/file_io.h"
#include "runtime/paths.h"
#include "state/context.h"

namespace {

String JournalPath() { return PathJoin(ctx.windowsDir, "Wardhavn.Jnl"); }

void UndoStep(char step, const char* p) {
    if (step == '+') ctx.undoLeftSome |= !DeleteFileA(p) && GetLastError() > ERROR_PATH_NOT_FOUND;
    if (step == '/') RemoveFolder(p);  // one that holds anything else stays
    String aside = AsidePath(p);
    if (step == '~' && FileExists(aside)) {
        DeleteFileA(p);
        ctx.undoLeftSome |= !MoveFileA(aside.c_str(), p);
    }
}

}  // namespace

void JournalNote(char step, const String& path) {
    FileVar& f = ctx.journal;
    if (!f.IsOpen()) CheckedOpen(f, JournalPath(), FileMode::create);
    String entry = String(&step, 1) + path;
    CheckedWrite(f, entry.c_str(), static_cast<uint32_t>(entry.size() + 1));
}

void UndoJournal() {
    FileVar& f = ctx.journal;
    FileClose(f);
    uint32_t size = 0;
    if (FileOpen(f, JournalPath(), FileMode::readOnly) != 0 || FileSize(f, size) != 0) return;
    String text(size, '\0');
    char* s = text.data();
    FileRead(f, s, size, size);
    FileClose(f);
    // The current directory cannot be removed.
    SetCurrentDirectoryA(ctx.sourceDir.c_str());
    // Last entry first.
    for (uint32_t end = size, start; end > 0; end = start ? start - 1 : 0) {
        for (start = end; start > 0 && s[start - 1]; --start) {}
        if (end - start > 1) UndoStep(s[start], s + start + 1);
    }
    DeleteFileA(JournalPath().c_str());
}

void CommitJournal() {
    FileClose(ctx.journal);
    DeleteFileA(JournalPath().c_str());
}

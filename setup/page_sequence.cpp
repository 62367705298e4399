#include "setup/page_sequence.h"

#include "engine/joining_page.h"
#include "engine/package_table.h"
#include "engine/placement.h"
#include "engine/run_journal.h"
#include "engine/unpacking_page.h"
#include "pages/agreement_page.h"
#include "pages/conventions.h"
#include "pages/destination_page.h"
#include "pages/options_page.h"
#include "pages/program_group_page.h"
#include "resources/resource.h"
#include "runtime/paths.h"
#include "setup/completion.h"
#include "state/context.h"
#include "system/shortcut.h"

namespace {

enum class OnOther { abandon, next };            // a result other than 1
enum class OnMissing { abandon, endSilently };   // the template cannot be had

struct PageStep {
    const char* templateName;
    DLGPROC page;
    OnOther onOther;
    OnMissing onMissing;
    void (*afterAccept)();  // after a result of 1
    void (*afterShown)();   // after any result that does not abandon
};

// A file step that fails while this run writes its files, for a reason of
// the machine's (a full or vanished drive, a file held by another program),
// ends the run as a cancel would, with the reason.
void EndFailedInstallation(const String& reason) {
    AbandonCleanup(reason);
    FinalCleanup();
    ExitProcess(1);
}

void BeginWriting() {
    SetIoFailureHandler(EndFailedInstallation);
    if (ctx.installDirMade) JournalNote('/', ctx.installDir);
}
void EndWriting() { SetIoFailureHandler(nullptr); }

// While the last pages wait, another program may take files away: nothing
// is claimed over a folder that no longer holds what this run placed.
void CheckPlacedFiles() {
    String missing, placed = ctx.addedFiles + ctx.replacedFiles;
    placed += PathJoin(ctx.installDir, product.mainExecutable) + "|";
    for (size_t at = 0, end; (end = placed.find('|', at)) != String::npos; at = end + 1) {
        String path = placed.substr(at, end - at);
        if (!FileExists(path)) missing += (missing.empty() ? " " : ", ") + path;
    }
    if (!missing.empty()) EndFailedInstallation("these files it had placed are missing:" + missing);
}

void MakeShortcutOverWholeFiles() {
    CheckPlacedFiles();
    MakeProgramShortcut();
}

void CompleteOverWholeFiles() {
    CheckPlacedFiles();
    CompleteInstallation();
}

// The room needed is known before the destination page checks a drive.
const PageStep pageTable[] = {
    {LICENSE_PAGE, AgreementPage, OnOther::abandon, OnMissing::endSilently, CountRoomNeeded, nullptr},
    {DESTINATION_PAGE, DestinationPage, OnOther::abandon, OnMissing::abandon, BeginWriting, nullptr},
    {JOINING_PAGE, JoiningPage, OnOther::abandon, OnMissing::abandon, nullptr, nullptr},
    {UNPACKING_PAGE, UnpackingPage, OnOther::abandon, OnMissing::abandon, EndWriting, nullptr},
    {GROUP_PAGE, ProgramGroupPage, OnOther::next, OnMissing::abandon, MakeShortcutOverWholeFiles, nullptr},
    {OPTIONS_PAGE, OptionsPage, OnOther::next, OnMissing::abandon, nullptr, CompleteOverWholeFiles},
};

// False when the file stays: a missing file or folder counts as removed.
bool Removed(const char* path) { return DeleteFileA(path) || GetLastError() <= ERROR_PATH_NOT_FOUND; }

// Each file of a '|'-separated list handed to `step`, zero-terminated in place.
bool EachListed(String& list, bool (*step)(const char* path)) {
    bool all = true;
    for (size_t at = 0, end; (end = list.find('|', at)) != String::npos; at = end + 1) {
        list[end] = '\0';
        all &= step(list.c_str() + at);
    }
    return all;
}

}  // namespace

bool ShowPage(const char* templateName, DLGPROC page, int32_t& result) {
    HRSRC found = FindResourceA(ctx.instance, templateName, MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    HGLOBAL loaded = found ? LoadResource(ctx.instance, found) : nullptr;
    if (!loaded) return false;
    result = static_cast<int32_t>(DialogBoxParamA(ctx.instance, templateName, ctx.mainWindow, page, 0));
    FreeResource(loaded);
    return true;
}

void RunPages() {
    // The error report ends the run without its clean-up: what the run did goes all the same.
    FailureCleanup undo(UndoJournal);
    for (const PageStep& step : pageTable) {
        if (!ShowPage(step.templateName, step.page, ctx.pageResult)) {
            ctx.aborted = step.onMissing == OnMissing::abandon;
            return;
        }
        if (ctx.pageResult == 1 && step.afterAccept) step.afterAccept();
        if (ctx.pageResult != 1 && step.onOther == OnOther::abandon) {
            ctx.aborted = true;
            return;
        }
        if (step.afterShown) step.afterShown();
    }
}

void AbandonCleanup(const String& failure) {
    SetIoFailureHandler(nullptr);  // a failure from here on is reported as any other
    // Only a directory the user confirmed is ours to delete from: before that,
    // installDir is empty or still the installer's own directory.
    bool removed = true;
    if (ctx.installDirConfirmed) {
        // Until every file is in place the journal has all the run did; after, a failure takes what it added.
        UndoJournal();
        removed = !ctx.undoLeftSome;
        // An abandon after every file is in place (a page's template missing) takes the main executable.
        if (ctx.mainExecutableWritten) removed &= Removed(PathJoin(ctx.installDir, product.mainExecutable).c_str());
        if (!failure.empty()) removed &= EachListed(ctx.addedFiles, Removed);
        // A folder this run made goes again when nothing is left in it (the
        // current directory cannot be removed).
        if (ctx.installDirMade && SetCurrentDirectoryA(ctx.sourceDir.c_str())) RemoveFolder(ctx.installDir);
    }
    char text[1024];  // as much as the system's formatting writes
    const char* terminated = product.terminatedMessage.c_str();
    if (!failure.empty())
        wsprintfA(text, "%s could not be installed: %s.\r\n\r\n%s%s.\r\n%s", product.productName.c_str(),
                  failure.c_str(),
                  removed ? "The files it had added have been removed" : "Some files it had added stay in ",
                  removed ? "" : ctx.installDir.c_str(), terminated);
    MessageBoxA(ctx.mainWindow, failure.empty() ? terminated : text, product.productName.c_str(), MB_OK);
}

void FinalCleanup() {
    if (ctx.winInitFile.IsOpen()) CheckedClose(ctx.winInitFile);
    delete[] ctx.bufferA;
    delete[] ctx.bufferB;
    ctx.bufferA = ctx.bufferB = nullptr;
}

#include "setup/page_sequence.h"

#include "engine/joining_page.h"
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

const PageStep pageTable[] = {
    {LICENSE_PAGE, AgreementPage, OnOther::abandon, OnMissing::endSilently, nullptr, nullptr},
    {DESTINATION_PAGE, DestinationPage, OnOther::abandon, OnMissing::abandon, nullptr, nullptr},
    {JOINING_PAGE, JoiningPage, OnOther::abandon, OnMissing::abandon, nullptr, nullptr},
    {UNPACKING_PAGE, UnpackingPage, OnOther::abandon, OnMissing::abandon, nullptr, nullptr},
    {GROUP_PAGE, ProgramGroupPage, OnOther::next, OnMissing::abandon, MakeProgramShortcut, nullptr},
    {OPTIONS_PAGE, OptionsPage, OnOther::next, OnMissing::abandon, nullptr, CompleteInstallation},
};

void DeleteIfPresent(const String& path) {
    if (FileExists(path)) DeleteFileA(path.c_str());
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

void AbandonCleanup() {
    // Only a directory the user confirmed is ours to delete from: before that,
    // installDir is empty or still the installer's own directory.
    if (ctx.installDirConfirmed) {
        DeleteIfPresent(PathJoin(ctx.installDir, product.archiveName));
        if (ctx.mainExecutableWritten) DeleteIfPresent(PathJoin(ctx.installDir, product.mainExecutable));
    }
    MessageBoxA(ctx.mainWindow, product.terminatedMessage.c_str(), product.productName.c_str(), MB_OK);
}

void FinalCleanup() {
    if (ctx.winInitFile.IsOpen()) CheckedClose(ctx.winInitFile);
    delete[] ctx.bufferA;
    delete[] ctx.bufferB;
    ctx.bufferA = ctx.bufferB = nullptr;
}

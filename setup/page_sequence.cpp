#include "setup/page_sequence.h"

#include "engine/joining_page.h"
#include "engine/unpacking_page.h"
#include "pages/agreement_page.h"
#include "pages/conventions.h"
#include "pages/destination_page.h"
#include "pages/options_page.h"
#include "pages/program_group_page.h"
#include "setup/completion.h"
#include "setup/context.h"
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
    {"License", AgreementPage, OnOther::abandon, OnMissing::endSilently, nullptr, nullptr},
    {"Main", DestinationPage, OnOther::abandon, OnMissing::abandon, nullptr, nullptr},
    {"IProgress", JoiningPage, OnOther::abandon, OnMissing::abandon, nullptr, nullptr},
    {"Progress", UnpackingPage, OnOther::abandon, OnMissing::abandon, nullptr, nullptr},
    {"Group", ProgramGroupPage, OnOther::next, OnMissing::abandon, MakeProgramShortcut, nullptr},
    {"Replace", OptionsPage, OnOther::next, OnMissing::abandon, nullptr, CompleteInstallation},
};

void deleteIfPresent(const std::string& path) {
    if (fileExists(path)) DeleteFileA(path.c_str());
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
        deleteIfPresent(PathJoin(ctx.installDir, product.archiveName));
        deleteIfPresent(PathJoin(ctx.installDir, product.mainExecutable));
    }
    MessageBoxA(ctx.mainWindow, product.terminatedMessage.c_str(), product.productName.c_str(), MB_OK);
}

void FinalCleanup() {
    if (ctx.winInitFile.handle != INVALID_HANDLE_VALUE) checkedClose(ctx.winInitFile);
    delete[] ctx.bufferA;
    delete[] ctx.bufferB;
    ctx.bufferA = ctx.bufferB = nullptr;
}

#include "tests/wine/installer_fixture.h"

#include <cctype>

std::string FamilyParamName(const testing::TestParamInfo<Family>& info) { return FamilyName(info.param); }

void InstallerTest::SetUp() {
    std::string name = CurrentTestName();
    scratch_ = ScratchDir(name);
    disk_ = scratch_ + "\\disk1";
    MakeDirs(disk_);
    setupPath_ = disk_ + "\\Setup.exe";
    installDir_ = scratch_ + "\\INST";
    for (char& c : installDir_) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(CopyFileTo(BuiltSetupPath(), setupPath_)) << "no installer at " << BuiltSetupPath();
    RemoveTree(WinInitPath());
    DeleteFileA(WinInitPath().c_str());
}

void InstallerTest::TearDown() {
    run_.reset();
    // WinInit.Ini lines left for the next boot would rename files of later tests.
    RemoveTree(WinInitPath());
    DeleteFileA(WinInitPath().c_str());
}

SetupRun& InstallerTest::Start() {
    run_.reset(new SetupRun(setupPath_, GetParam()));
    return *run_;
}

void InstallerTest::EscapeAndConfirm(HWND page) {
    PressEscape(page);
    HWND box = run_->WaitWindow("Exit Wardhaven!");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "Do you really want to terminate the Setup program?");
    Click(box, IDYES);
    run_->WaitGone(box);
}

void InstallerTest::ExpectTerminated() {
    HWND box = run_->WaitWindow("Wardhaven!");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "The Installation process has been terminated.");
    // No page is open beside it, and the process ends once it is answered: shown once, nothing later.
    EXPECT_EQ(run_->Captions(), std::vector<std::string>{"Wardhaven!"});
    Click(box, IDOK);
    run_->WaitGone(box);
    EXPECT_EQ(run_->WaitExit(), 0u);
}

namespace {

// The caption a page shows before it has a procedure of its own that sets one.
std::string TemplateCaption(const std::string& caption) {
    if (caption == "Destination Directory") return "Installation";
    if (caption == "Program Group") return "DIALOG_1";
    if (caption == "Windows Interface") return "Replace Window components";
    return caption;
}

HWND WaitAnyDialog(SetupRun& run, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs && run.Running(); waited += 10) {
        std::vector<std::string> captions = run.Captions();
        if (!captions.empty()) return run.FindWindowNow(captions.front());
        Sleep(10);
    }
    return nullptr;
}

}  // namespace

HWND InstallerTest::AdvanceToPage(const std::string& caption) {
    for (int pages = 0; pages < 8; ++pages) {
        HWND page = WaitAnyDialog(*run_, 15000);
        if (!page) break;
        Settle(50);
        std::string now = WindowText(page);
        if (now == caption || now == TemplateCaption(caption)) return page;
        if (now == "Destination Directory" || now == "Installation") {
            interimPages_ = now == "Installation";
            SetItemText(page, 104, installDir_);
            PressEnter(page);
        } else if (now == "License Agreement" || now == "Progress" || now == "Program Group" || now == "DIALOG_1") {
            PressEnter(page);
        } else if (now != "Please Stand By...") {  // the work pages end by themselves
            ADD_FAILURE() << "\"" << now << "\" came on the way to \"" << caption << "\": " << MessageText(page);
            return nullptr;
        }
        if (!run_->WaitGone(page, 120000)) break;
    }
    ADD_FAILURE() << "page \"" << caption << "\" not reached; open dialogs: " << testing::PrintToString(run_->Captions());
    return nullptr;
}

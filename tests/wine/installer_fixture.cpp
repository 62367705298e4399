#include "tests/wine/installer_fixture.h"

std::string FamilyParamName(const testing::TestParamInfo<Family>& info) { return FamilyName(info.param); }

void InstallerTest::SetUp() {
    std::string name = CurrentTestName();
    scratch_ = ScratchDir(name);
    disk_ = scratch_ + "\\disk1";
    MakeDirs(disk_);
    setupPath_ = disk_ + "\\Setup.exe";
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

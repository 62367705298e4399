// The program group and options pages under Wine: their defaults, what OK and
// Cancel lead to, and that cancelling them asks nothing.
#include "resources/resource.h"
#include "tests/wine/installer_fixture.h"
#include "tests/wine/link_probe.h"

class ProgramGroup : public InstallerTest {};

TEST_P(ProgramGroup, EnterKeepsTheProductNameAndLeadsToOptions) {
    StageSmallDiskSet(true);
    HWND page = AdvanceToPage("Program Group");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ItemText(page, IDC_GROUP_EDIT), "Wardhaven!");
    EXPECT_EQ(FocusedControl(page), GetDlgItem(page, IDOK));
    PressEnter(page);
    ASSERT_TRUE(run_->WaitGone(page));
    HWND options = run_->WaitWindow("Windows Interface");
    ASSERT_NE(options, nullptr);
    PressEnter(options);
    FinishInstallation();
    LinkFile link = ReadLinkFile(ProgramsDir() + "\\Wardhaven!.LNK");
    ASSERT_TRUE(link.loaded) << "the shortcut carries the product name";
    EXPECT_STRCASEEQ(link.target.c_str(), InstalledFile("Wardhavn.Exe").c_str());
}

// The name is the shortcut's file name in the Programs folder, and only that:
// no folder part (which would put it elsewhere, the system folder or StartUp),
// no character or device name a file cannot have, nothing blank, a path that fits.
TEST_P(ProgramGroup, NamesThatAreNoFileNameOfTheirOwnBeepAndKeepThePage) {
    const std::string names[] = {"", "   ", "..", ". .", "StartUp\\Wardhaven", "..\\..\\..\\windows\\system32\\Wardhaven",
                                 "a/b", "C:Wardhaven", "a*", "a?", "a\"b", "a<b", "a>b", "a|b", "CON", "nul.txt",
                                 "Com1", "LPT9 ", std::string(240, 'x')};
    StageSmallDiskSet(true);
    HWND page = AdvanceToPage("Program Group");
    ASSERT_NE(page, nullptr);
    for (const std::string& name : names) {
        SetItemText(page, IDC_GROUP_EDIT, name);
        PressEnter(page);
        Settle(300);
        EXPECT_EQ(run_->Captions(), std::vector<std::string>{"Program Group"}) << "\"" << name << "\"";
        EXPECT_EQ(run_->FindWindowNow("Program Group"), page);
    }
    // Blanks and dots within a name are the user's to choose.
    SetItemText(page, IDC_GROUP_EDIT, " My Games 1.0");
    PressEnter(page);
    ASSERT_TRUE(run_->WaitGone(page));
    HWND options = run_->WaitWindow("Windows Interface");
    ASSERT_NE(options, nullptr);
    PressEnter(options);
    FinishInstallation();
    EXPECT_TRUE(FileExists(ProgramsDir() + "\\ My Games 1.0.LNK"));
}

TEST_P(ProgramGroup, EscapeOrCloseBoxSkipsWithoutAQuestionAndTheInstallationGoesOn) {
    const struct {
        const char* how;
        void (*cancel)(HWND);
    } ways[] = {{"Escape", PressEscape}, {"the close box", CloseBox}};
    StageSmallDiskSet(true);
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        run_.reset();
        HWND page = AdvanceToPage("Program Group");
        ASSERT_NE(page, nullptr);
        way.cancel(page);
        ASSERT_TRUE(run_->WaitGone(page));
        HWND options = run_->WaitWindow("Windows Interface");
        ASSERT_NE(options, nullptr);
        EXPECT_EQ(run_->Captions(), std::vector<std::string>{"Windows Interface"}) << "no question was asked";
        PressEnter(options);
        FinishInstallation();
        EXPECT_FALSE(FileExists(ProgramsDir() + "\\Wardhaven!.LNK"));
    }
}

INSTANTIATE_FOR_BOTH_FAMILIES(ProgramGroup);

class Options : public InstallerTest {};

TEST_P(Options, OpensUncheckedAndEveryCombinationIsTaken) {
    // {task manager, shell}: each box toggles on its own.
    const bool combinations[][2] = {{false, false}, {true, false}, {false, true}, {true, true}};
    StageSmallDiskSet(true);
    for (const auto& choice : combinations) {
        SCOPED_TRACE(testing::Message() << "task manager " << choice[0] << ", shell " << choice[1]);
        run_.reset();
        HWND page = AdvanceToPage("Windows Interface");
        ASSERT_NE(page, nullptr);
        EXPECT_FALSE(IsChecked(page, IDC_TASK_MANAGER_BOX));
        EXPECT_FALSE(IsChecked(page, IDC_SHELL_BOX));
        EXPECT_EQ(FocusedControl(page), GetDlgItem(page, IDOK));
        if (choice[0]) Click(page, IDC_TASK_MANAGER_BOX);
        if (choice[1]) Click(page, IDC_SHELL_BOX);
        Settle();
        EXPECT_EQ(IsChecked(page, IDC_TASK_MANAGER_BOX), choice[0]);
        EXPECT_EQ(IsChecked(page, IDC_SHELL_BOX), choice[1]);
        PressEnter(page);
        ASSERT_TRUE(run_->WaitGone(page));
        FinishInstallation();
    }
}

TEST_P(Options, CheckedBoxesThenCancelEndWithoutAQuestion) {
    // Escape, the Cancel button and the close box: each ends the page at once.
    StageSmallDiskSet(true);
    for (int how = 0; how < 3; ++how) {
        SCOPED_TRACE(testing::Message() << "way of cancelling " << how);
        run_.reset();
        HWND page = AdvanceToPage("Windows Interface");
        ASSERT_NE(page, nullptr);
        Click(page, IDC_TASK_MANAGER_BOX);
        Click(page, IDC_SHELL_BOX);
        Settle();
        EXPECT_TRUE(IsChecked(page, IDC_TASK_MANAGER_BOX));
        EXPECT_TRUE(IsChecked(page, IDC_SHELL_BOX));
        if (how == 0) PressEscape(page);
        if (how == 1) Click(page, IDCANCEL);
        if (how == 2) CloseBox(page);
        ASSERT_TRUE(run_->WaitGone(page));
        EXPECT_EQ(run_->FindWindowNow("Exit Wardhaven!"), nullptr);
        FinishInstallation();
    }
}

INSTANTIATE_FOR_BOTH_FAMILIES(Options);

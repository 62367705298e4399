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

// The name is one file's in the Programs folder: nothing blank, no folder part
// (the system folder, StartUp), no device, no character a file name cannot have,
// a path that fits. A shortcut that cannot be saved is reported.
TEST_P(ProgramGroup, NamesThatAreNoFileOfTheirOwnBeepAndKeepThePageAndAFailedSaveIsReported) {
    const std::string names[] = {"", "  ", "..", "StartUp\\W", "..\\..\\windows\\system32\\W", "a/b", "C:W", "a*", "a?",
                                 "a\"", "a<", "a>", "a|", "CON", "nul.txt", "Com1", "LPT9 ", std::string(240, 'x')};
    StageSmallDiskSet(true);
    HWND page = AdvanceToPage("Program Group");
    for (const std::string& name : names) {
        SetItemText(page, IDC_GROUP_EDIT, name);
        PressEnter(page);
        Settle(300);
        EXPECT_EQ(run_->Captions(), std::vector<std::string>{"Program Group"}) << "\"" << name << "\"";
    }
    const std::string held = ProgramsDir() + "\\ My Games 1.0.LNK";  // blanks and dots within are fine
    ASSERT_TRUE(WriteFileText(held, "held"));
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetItemText(page, IDC_GROUP_EDIT, " My Games 1.0");
    PressEnter(page);
    HWND box = run_->WaitWindow("Wardhaven!");
    EXPECT_EQ(Lower(MessageText(box)), Lower("The shortcut " + held + " could not be made."));
    Click(box, IDOK);
    PressEnter(run_->WaitWindow("Windows Interface"));
    FinishInstallation();
    CloseHandle(holder);
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

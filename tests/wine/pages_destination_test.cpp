// The destination page under Wine: which entries it refuses, what it creates,
// and where the abandon clean-up may delete afterwards.
#include <algorithm>

#include "resources/resource.h"
#include "tests/wine/installer_fixture.h"

namespace {

const char* const defaultDir = "C:\\Program Files\\Wardhaven";

std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(h, &data));
    FindClose(h);
    return names;
}

// The edit turns whatever reaches it into capitals, WM_SETTEXT included; a
// lower-case entry gets past only while its upper-case style is off.
void PutEntryAsIs(HWND page, const std::string& entry) {
    HWND edit = GetDlgItem(page, IDC_DESTINATION_EDIT);
    LONG style = GetWindowLongA(edit, GWL_STYLE);
    SetWindowLongA(edit, GWL_STYLE, style & ~ES_UPPERCASE);
    SetItemText(page, IDC_DESTINATION_EDIT, entry);
    SetWindowLongA(edit, GWL_STYLE, style);
}

}  // namespace

class Destination : public InstallerTest {
protected:
    // The joining page after this one stops at the disk 2 prompt.
    HWND Open() {
        StageSmallDiskSet(false);
        return AdvanceToPage("Destination Directory");
    }
    // Types `entry` and presses Enter: true when the page ends.
    bool Accepts(HWND page, const std::string& entry) {
        SetItemText(page, IDC_DESTINATION_EDIT, entry);
        PressEnter(page);
        return run_->WaitGone(page, 5000);
    }
    // Puts `entry` in and presses Enter: true when the page is still the only one open a while later.
    bool Refuses(HWND page, const std::string& entry) {
        PutEntryAsIs(page, entry);
        PressEnter(page);
        Settle(300);
        return run_->Captions() == std::vector<std::string>{"Destination Directory"} &&
               run_->FindWindowNow("Destination Directory") == page;
    }
    void PlantArchiveAndProgram(const std::string& dir) {
        ASSERT_TRUE(WriteFileText(dir + "\\Wardhaven._ZX", "archive"));
        ASSERT_TRUE(WriteFileText(dir + "\\Wardhavn.Exe", "program"));
        ASSERT_TRUE(WriteFileText(dir + "\\Readme.Txt", "other"));
    }
    void ExpectPlanted(const std::string& dir) {
        EXPECT_EQ(ReadFileText(dir + "\\Wardhaven._ZX"), "archive") << dir;
        EXPECT_EQ(ReadFileText(dir + "\\Wardhavn.Exe"), "program") << dir;
        EXPECT_EQ(ReadFileText(dir + "\\Readme.Txt"), "other") << dir;
    }
    // Cancels the disk prompt of the page after the destination page and expects the abandon.
    void AbandonOnNextPage() {
        HWND prompt = run_->WaitWindow("Wardhaven!");
        ASSERT_NE(prompt, nullptr);
        EXPECT_EQ(MessageText(prompt), "Please Insert Disk number 2");
        Click(prompt, IDCANCEL);
        run_->WaitGone(prompt);
        ExpectTerminated();
    }
};

TEST_P(Destination, UntouchedDefaultIsCreatedAndAccepted) {
    RemoveTree(defaultDir);
    ASSERT_FALSE(DirExists(defaultDir));
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    EXPECT_STRCASEEQ(ItemText(page, IDC_DESTINATION_EDIT).c_str(), defaultDir) << "shown in capitals by the edit's style";
    EXPECT_EQ(FocusedControl(page), GetDlgItem(page, IDOK));
    PressEnter(page);
    ASSERT_TRUE(run_->WaitGone(page, 5000));
    EXPECT_TRUE(DirExists(defaultDir));
    AbandonOnNextPage();
    RemoveTree(defaultDir);
}

TEST_P(Destination, BadlyFormedEntriesAndSystemFoldersBeepAndKeepThePage) {
    const std::string lower = scratch_ + "\\lower";
    // The Windows folder and its system folders too, however spelled, W: being another drive letter
    // for it (under Wine a link); drive-relative; so long that a 19-character name below passes 259.
    const std::string windows = WindowsDir();
    const std::string entries[] = {"", "C", "1:\\WARDHAVEN", "\\WHTEST\\X", " C:\\X",
                                   "c" + lower.substr(1), windows, windows + "\\", "C:\\WINDOWS",
                                   windows + "\\SYSTEM", windows + "\\SYSTEM32\\", windows + "\\.", "C:/WINDOWS",
                                   windows + "\\..\\WINDOWS", "C:\\\\WINDOWS", "C:\\.\\WINDOWS", "W:\\", "W:\\SYSTEM32",
                                   windows + "\\SYSTEM32\\.", windows + "\\SYSWOW64", windows + "\\SYSNATIVE", "C:WHREL",
                                   scratch_ + "\\" + std::string(239 - scratch_.size(), 'L'),
                                   scratch_ + "\\BLANK \\"};  // a folder's name ending in a blank, which it would lose
    std::string out, link = std::string(getenv("WINEPREFIX")) + "/dosdevices/w:";
    RunTool("Z:\\bin\\ln -sfn ../drive_c/windows " + link, out);  // started, not awaited
    for (int ms = 0; !DirExists("W:\\SYSTEM32"); ms += 50, Sleep(50)) ASSERT_LT(ms, 5000) << out;
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    for (const std::string& entry : entries) {
        EXPECT_TRUE(Refuses(page, entry)) << "\"" << entry << "\"";
        EXPECT_EQ(ItemText(page, IDC_DESTINATION_EDIT), entry) << "the entry stays for the user to edit";
    }
    EXPECT_FALSE(DirExists(lower) || DirExists(scratch_ + "\\BLANK")) << "refused before anything is created";
    EscapeAndConfirm(page);
    ExpectTerminated();
    RunTool("Z:\\bin\\rm " + link, out);
}

TEST_P(Destination, UnwritableOrTooSmallDriveIsRefusedInWordsAndNothingOfThePageStays) {
    const struct {
        int kb;
        bool readOnly;
        const char *entry, *says;
    } drives[] = {{1024, true, "H:\\", "Setup cannot write to H:\\: "},  // and why
                  // one cluster less than the stream's 367 beside the archive's 367
                  {2932, false, "H:\\WARD", "Wardhaven! needs 2936 KB free on the drive of H:\\WARD; 2932 KB are free."}};
    StageDiskSet({{"Wardhavn.Exe", NoiseBytes(1500000, 7)}}, "", false);  // the stream and an archive as large
    for (const auto& d : drives) {
        SmallDrive drive(d.kb, d.readOnly);
        if (!drive.mounted) GTEST_SKIP() << "mounting a small drive needs root";
        run_.reset();
        HWND page = AdvanceToPage("Destination Directory");
        SetItemText(page, IDC_DESTINATION_EDIT, d.entry);
        PressEnter(page);
        HWND box = run_->WaitWindow("Wardhaven!");
        EXPECT_EQ(MessageText(box).rfind(d.says, 0), 0u) << MessageText(box);
        EXPECT_EQ(GetWindow(box, GW_OWNER), page);
        Click(box, IDOK);
        run_->WaitGone(box);
        EscapeAndConfirm(page);  // the page stays
        ExpectTerminated();
        EXPECT_FALSE(DirExists("H:\\WARD") || FileExists("H:\\Wardhaven._ZX"));
    }
}

TEST_P(Destination, EscapeOrCloseBoxThenNoLeavesThePageAsItWas) {
    const struct {
        const char* how;
        void (*cancel)(HWND);
    } ways[] = {{"Escape", PressEscape}, {"the close box", CloseBox}};
    const std::string typed = "D:\\ELSEWHERE";
    HWND page = AdvanceToPage("Destination Directory");
    ASSERT_NE(page, nullptr);
    SetItemText(page, IDC_DESTINATION_EDIT, typed);
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        way.cancel(page);
        HWND box = run_->WaitWindow("Exit Wardhaven!");
        ASSERT_NE(box, nullptr);
        // The question has no owner: the page behind it is not disabled by it.
        EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
        EXPECT_TRUE(IsWindowEnabled(page));
        Click(box, IDNO);
        ASSERT_TRUE(run_->WaitGone(box));
        Settle();
        EXPECT_EQ(run_->Captions(), std::vector<std::string>{"Destination Directory"});
        EXPECT_EQ(run_->FindWindowNow("Destination Directory"), page);
        EXPECT_EQ(ItemText(page, IDC_DESTINATION_EDIT), typed);
    }
    EscapeAndConfirm(page);
    ExpectTerminated();
}

TEST_P(Destination, DriveLetterAndColonAloneAreAccepted) {
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(Accepts(page, "C:"));
    AbandonOnNextPage();
}

TEST_P(Destination, ExistingDirectoryIsAcceptedAndLeftAsItWas) {
    const std::string dir = scratch_ + "\\existing";
    MakeDirs(dir + "\\sub");
    ASSERT_TRUE(WriteFileText(dir + "\\keep.txt", "kept"));
    std::vector<std::string> before = Listing(dir);
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(Accepts(page, dir));
    // The joining page starts at once; its archive is all it adds.
    std::vector<std::string> accepted = Listing(dir);
    accepted.erase(std::remove(accepted.begin(), accepted.end(), "Wardhaven._ZX"), accepted.end());
    EXPECT_EQ(accepted, before);
    EXPECT_EQ(ReadFileText(dir + "\\keep.txt"), "kept");
    AbandonOnNextPage();
    EXPECT_EQ(Listing(dir), before);
}

TEST_P(Destination, MissingParentKeepsThePageSilentlyAndCreatesNothing) {
    const std::string parent = scratch_ + "\\missing", dir = parent + "\\deeper";
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(Refuses(page, dir)) << "no message, no next page";
    EXPECT_FALSE(DirExists(parent));
    // The user shortens the entry to one level and tries again.
    ASSERT_TRUE(Accepts(page, parent));
    EXPECT_TRUE(DirExists(parent));
    AbandonOnNextPage();
}

TEST_P(Destination, TrailingBackslashIsKeptAndNotDoubled) {
    const std::string dir = scratch_ + "\\slash";
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(Accepts(page, dir + "\\"));
    ASSERT_TRUE(DirExists(dir));
    // While the joining page waits for disk 2, its archive is there already.
    ASSERT_NE(run_->WaitWindow("Wardhaven!"), nullptr);
    EXPECT_TRUE(FileExists(dir + "\\Wardhaven._ZX"));
    ASSERT_TRUE(WriteFileText(dir + "\\Wardhavn.Exe", "program"));
    ASSERT_TRUE(WriteFileText(dir + "\\Readme.Txt", "other"));
    AbandonOnNextPage();
    EXPECT_FALSE(FileExists(dir + "\\Wardhaven._ZX"));
    EXPECT_TRUE(FileExists(dir + "\\Wardhavn.Exe")) << "this run has not written it";
    EXPECT_TRUE(FileExists(dir + "\\Readme.Txt"));
}

INSTANTIATE_FOR_EVERY_FAMILY(Destination);

// Cancelling before an installation directory is confirmed deletes nothing anywhere;
// afterwards it deletes the archive there, and the main executable only once this
// run has written it (Unpacking scenarios), nothing else.
class AbandonCleanup : public Destination {};

TEST_P(AbandonCleanup, OnDestinationPageDeletesNothingBesideTheInstaller) {
    PlantArchiveAndProgram(disk_);
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    EscapeAndConfirm(page);
    ExpectTerminated();
    ExpectPlanted(disk_);
}

TEST_P(AbandonCleanup, AfterRefusedEntryDeletesNothingInIt) {
    const std::string victim = scratch_ + "\\victim";
    MakeDirs(victim);
    PlantArchiveAndProgram(victim);
    PlantArchiveAndProgram(disk_);
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(Refuses(page, "c" + victim.substr(1)));
    EscapeAndConfirm(page);
    ExpectTerminated();
    ExpectPlanted(victim);
    ExpectPlanted(disk_);
}

TEST_P(AbandonCleanup, AfterConfirmedDirectoryDeletesTheArchiveThereOnly) {
    const std::string dir = scratch_ + "\\confirmed";
    MakeDirs(dir);
    // An earlier installation's files; no archive, whose name would have the folder refused.
    ASSERT_TRUE(WriteFileText(dir + "\\Wardhavn.Exe", "program"));
    ASSERT_TRUE(WriteFileText(dir + "\\Readme.Txt", "other"));
    PlantArchiveAndProgram(disk_);
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(Accepts(page, dir));
    AbandonOnNextPage();
    EXPECT_FALSE(FileExists(dir + "\\Wardhaven._ZX"));
    // An earlier installation's, never written by this run: as the shell, its
    // loss would leave the next start without one.
    EXPECT_EQ(ReadFileText(dir + "\\Wardhavn.Exe"), "program");
    EXPECT_EQ(ReadFileText(dir + "\\Readme.Txt"), "other");
    ExpectPlanted(disk_);
}

INSTANTIATE_FOR_BOTH_FAMILIES(AbandonCleanup);

// The sample's uninstaller, run as a person would from its uninstall entry
// after a complete installation (a program group, both options): what it
// takes away, what it keeps, and what it leaves for the next start, in both
// Windows families.
#include <algorithm>
#include <cctype>

#include "resources/resource.h"
#include "tests/wine/installer_fixture.h"
#include "tests/wine/link_probe.h"

namespace {

const char uninstallEntry[] = "Software\\microsoft\\windows\\currentversion\\uninstall\\Wardhaven!";
const char winlogon[] = "Software\\microsoft\\windows nt\\currentversion\\Winlogon";
const char question[] = "Do you want to remove Wardhaven! and all of its components?";
const char removed[] = "Wardhaven! has been removed from your computer.";

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> Lower(std::vector<std::string> v) {
    for (std::string& s : v) s = Lower(s);
    return v;
}

std::string ShortPathOf(const std::string& path) {
    char buffer[MAX_PATH] = "";
    DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer) : path;
}

std::string BuiltUninstaller() {
    std::string dir = DriverDir();
    for (int i = 0; i < 2; ++i) dir = dir.substr(0, dir.find_last_of('\\'));
    return dir + "\\sample\\UnInstal.Exe";
}

std::string ShellSetting(Family family) {
    if (family != Family::win98) return LogonShellValue();
    char value[MAX_PATH] = "";
    GetPrivateProfileStringA("Boot", "Shell", "(none)", value, sizeof value, SystemIniPath().c_str());
    return value;
}

}  // namespace

class Uninstall : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        programs_ = ProgramsDir();
        StageDiskSet(product_, "", true);
        for (char& c : installDir_) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    void TearDown() override {
        uninstall_.reset();
        InstallerTest::TearDown();
        DeleteFileA((WindowsHelpDir() + "\\Wardhavn.HLP").c_str());
        for (const char* name : {"TaskMan.Exe", "TaskMang.Exe", "TaskMan.$$$"})
            DeleteFileA((WindowsDir() + "\\" + name).c_str());
        if (!groupFolder_.empty()) RemoveTree(programs_ + "\\" + groupFolder_);
    }

    bool Nt() const { return GetParam() != Family::win98; }

    // Through every page: the group typed, both options chosen, restart and run declined.
    void Install(const std::string& group) {
        HWND page = AdvanceToPage("Program Group");
        ASSERT_NE(page, nullptr);
        SetItemText(page, IDC_GROUP_EDIT, group);
        PressEnter(page);
        run_->WaitGone(page);
        HWND options = run_->WaitWindow("Windows Interface");
        ASSERT_NE(options, nullptr);
        Click(options, IDC_TASK_MANAGER_BOX);
        Click(options, IDC_SHELL_BOX);
        Settle();
        Click(options, IDOK);
        run_->WaitGone(options);
        for (int prompt = 0; prompt < 2; ++prompt) {
            HWND box = run_->WaitWindow("Wardhaven!");
            ASSERT_NE(box, nullptr);
            Click(box, IDNO);
            run_->WaitGone(box);
        }
        EXPECT_EQ(run_->WaitExit(), 0u);
        ASSERT_TRUE(FileExists(programs_ + "\\" + group + ".LNK"));
    }

    // The uninstall entry's command, its quotes taken off as the shell would.
    std::string EntryCommand() {
        std::string command = RegText(ReadRegValue(HKEY_LOCAL_MACHINE, uninstallEntry, "UnInstallString"));
        if (!command.empty() && command[0] == '"') command = command.substr(1, command.find('"', 1) - 1);
        EXPECT_EQ(Lower(command), Lower(InstalledFile("UnInstal.Exe")));
        return command;
    }

    // Starts the command, answers the question, and returns the closing message.
    std::string RunUninstallCommand(bool yes) { return RunUninstaller(EntryCommand(), yes); }
    std::string RunUninstaller(const std::string& command, bool yes) {
        uninstall_.reset(new SetupRun(command, GetParam()));
        HWND box = uninstall_->WaitWindow("Wardhaven!");
        if (!box) return "(no question)";
        EXPECT_EQ(MessageText(box), question);
        Click(box, yes ? IDYES : IDNO);
        uninstall_->WaitGone(box);
        std::string text;
        if (yes) {
            HWND done = uninstall_->WaitWindow("Wardhaven!");
            if (!done) return "(no closing message)";
            text = MessageText(done);
            Click(done, IDOK);
        }
        EXPECT_EQ(uninstall_->WaitExit(), 0u);
        return text;
    }

    // The family's record of what goes at the next start, as the uninstaller queues it.
    void ExpectRemovedAtNextStart(const std::vector<std::string>& paths, const std::string& winInitBefore) {
        std::vector<std::string> pending;
        std::string lines;
        for (const std::string& path : paths) {
            pending.push_back("\\??\\" + path);
            pending.push_back("");
            lines += "NUL=" + ShortPathOf(path) + "\r\n";
        }
        pending.pop_back();
        if (Nt()) {
            EXPECT_EQ(Lower(PendingRenames()), Lower(pending));
            EXPECT_EQ(ReadFileText(WinInitPath()), winInitBefore);
        } else {
            EXPECT_EQ(Lower(ReadFileText(WinInitPath())), Lower(winInitBefore + lines));
        }
    }

    void ExpectProductFilesGone() {
        for (const ProductFile& file : product_)
            if (file.name != "UnInstal.Exe" && file.name != "Wardhavn.HLP") {
                EXPECT_FALSE(FileExists(InstalledFile(file.name))) << file.name;
            }
        EXPECT_FALSE(FileExists(WindowsHelpDir() + "\\Wardhavn.HLP"));
        EXPECT_TRUE(FileExists(InstalledFile("UnInstal.Exe"))) << "running: queued, not deleted";
    }

    void ExpectSystemRestored(const std::string& group) {
        EXPECT_FALSE(FileExists(programs_ + "\\" + group + ".LNK"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, uninstallEntry));
        EXPECT_EQ(ShellSetting(GetParam()), "Explorer.exe");
    }

    std::vector<ProductFile> product_ = {{"Wardhavn.Exe", "the product"},
                             {"TaskMan.Exe", "the product's task manager"},
                             {"UnInstal.Exe", ReadFileText(BuiltUninstaller())},
                             {"Wardhavn.HLP", "its help"},
                             {"ReadMe.Txt", "read me"}};
    std::string programs_;
    std::string groupFolder_;
    std::unique_ptr<SetupRun> uninstall_;
};

TEST_P(Uninstall, RemovesWhatTheInstallationPlacedAndChangedAndKeepsTheUsersFile) {
    installDir_ = scratch_ + "\\WARD HAVEN";  // a blank: the entry and the NT shell value are quoted
    Install("Wardhaven Desktop");
    ASSERT_TRUE(WriteFileText(InstalledFile("Notes.Txt"), "the user's own"));
    EXPECT_EQ(Lower(RunUninstallCommand(true)),
              Lower(std::string(removed) + "\r\n\r\nThe folder " + installDir_ +
                    " holds files that were not installed with Wardhaven!; it has been kept."));
    ExpectProductFilesGone();
    EXPECT_EQ(ReadFileText(InstalledFile("Notes.Txt")), "the user's own");
    ExpectSystemRestored("Wardhaven Desktop");
    // The Task Manager lines were still waiting: they go, and nothing else is queued but the uninstaller.
    ExpectRemovedAtNextStart({InstalledFile("UnInstal.Exe")}, "[Rename]\r\n");
}

TEST_P(Uninstall, AnEmptiedFolderGoesWithTheUninstallerAtTheNextStart) {
    groupFolder_ = "WhTestGroup";
    MakeDirs(programs_ + "\\" + groupFolder_);
    Install(groupFolder_ + "\\Wardhaven");
    EXPECT_EQ(RunUninstallCommand(true), removed);
    ExpectProductFilesGone();
    ExpectSystemRestored(groupFolder_ + "\\Wardhaven");
    ExpectRemovedAtNextStart({InstalledFile("UnInstal.Exe"), installDir_}, "[Rename]\r\n");
}

TEST_P(Uninstall, AStagedExecutableGoesWithTheOneItWasToReplace) {
    MakeDirs(installDir_);
    ASSERT_TRUE(WriteFileText(InstalledFile("Wardhavn.Exe"), "an earlier installation's"));
    Install("Wardhaven!");
    ASSERT_TRUE(FileExists(InstalledFile("Wardhavn.$$$")));
    EXPECT_EQ(RunUninstallCommand(true), removed);
    EXPECT_FALSE(FileExists(InstalledFile("Wardhavn.$$$")));
    ExpectProductFilesGone();
}

TEST_P(Uninstall, PendingTaskManagerFromAnotherDriveGoesWithTheCopyStagedForIt) {
    RemoveTree("D:\\WHTEST");
    MakeDirs("D:\\WHTEST");
    installDir_ = "D:\\WHTEST\\WARDHAVEN";
    Install("Wardhaven!");
    std::string staged = WindowsDir() + "\\TaskMan.$$$";
    ASSERT_TRUE(FileExists(staged));
    EXPECT_EQ(RunUninstallCommand(true), removed);
    EXPECT_FALSE(FileExists(staged));
    // Neither the lines nor the NT family's moves are left to bring it in.
    ExpectRemovedAtNextStart({InstalledFile("UnInstal.Exe"), installDir_}, "[Rename]\r\n");
    RemoveTree("D:\\WHTEST");
}

TEST_P(Uninstall, CarriedOutTaskManagerRenamesAreReversedAtTheNextStart) {
    std::string windowsTaskManager = WindowsDir() + "\\TaskMan.Exe";
    std::string saved = WindowsDir() + "\\TaskMang.Exe";
    ASSERT_TRUE(WriteFileText(windowsTaskManager, "Windows' own task manager"));
    Install("Wardhaven!");
    // The next start: the lines done, the two Task Managers moved.
    CarryOutRestart();
    ASSERT_EQ(ReadFileText(saved), "Windows' own task manager");
    EXPECT_EQ(RunUninstallCommand(true), removed);
    std::vector<std::string> want = {"\\??\\" + windowsTaskManager, "", "\\??\\" + saved, "!\\??\\" + windowsTaskManager,
                                     "\\??\\" + InstalledFile("UnInstal.Exe"), "", "\\??\\" + installDir_};
    if (Nt()) {
        EXPECT_EQ(Lower(PendingRenames()), Lower(want));
    } else {
        EXPECT_EQ(Lower(ReadFileText(WinInitPath())),
                  Lower("[Rename]\r\nNUL=" + ShortPathOf(windowsTaskManager) + "\r\n" + ShortPathOf(windowsTaskManager) +
                        "=" + ShortPathOf(saved) + "\r\nNUL=" + ShortPathOf(InstalledFile("UnInstal.Exe")) +
                        "\r\nNUL=" + ShortPathOf(installDir_) + "\r\n"));
    }
    EXPECT_EQ(ReadFileText(windowsTaskManager), "the product's task manager") << "replaced at the next start only";
}

TEST_P(Uninstall, SettingsThatNameAnotherInstallationAreLeftAlone) {
    Install("Wardhaven!");
    std::string command = EntryCommand();
    std::string other = "C:\\Other Place\\Wardhavn.Exe";
    ASSERT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, uninstallEntry, "UnInstallString", REG_SZ,
                              "\"C:\\Other Place\\UnInstal.Exe\"" + std::string(1, '\0')));
    if (Nt())
        ASSERT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, winlogon, "Shell", REG_SZ, "\"" + other + "\"" + '\0', NativeView()));
    else ASSERT_TRUE(WritePrivateProfileStringA("Boot", "Shell", other.c_str(), SystemIniPath().c_str()));
    std::string shell = ShellSetting(GetParam());
    EXPECT_EQ(RunUninstaller(command, true), removed);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, uninstallEntry));
    EXPECT_EQ(ShellSetting(GetParam()), shell);
    EXPECT_FALSE(FileExists(programs_ + "\\Wardhaven!.LNK"));
}

TEST_P(Uninstall, AFileInUseIsListedAndKeepsTheFolder) {
    Install("Wardhaven!");
    std::string readMe = InstalledFile("ReadMe.Txt");
    HANDLE held = CreateFileA(readMe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string text = RunUninstallCommand(true);
    CloseHandle(held);
    EXPECT_EQ(Lower(text), Lower("Wardhaven! has been removed, except for these items:\r\n\r\n" + readMe));
    EXPECT_TRUE(FileExists(readMe));
    EXPECT_FALSE(FileExists(InstalledFile("Wardhavn.Exe")));
    ExpectRemovedAtNextStart({InstalledFile("UnInstal.Exe")}, "[Rename]\r\n");
}

TEST_P(Uninstall, NoAtTheQuestionChangesNothing) {
    Install("Wardhaven!");
    std::string winInit = ReadFileText(WinInitPath());
    std::string shell = ShellSetting(GetParam());
    RegValue pending = PendingRenameValue();
    EXPECT_EQ(RunUninstallCommand(false), "");
    for (const ProductFile& file : product_)
        if (file.name != "Wardhavn.HLP") {
            EXPECT_TRUE(FileExists(InstalledFile(file.name))) << file.name;
        }
    EXPECT_TRUE(FileExists(WindowsHelpDir() + "\\Wardhavn.HLP"));
    EXPECT_TRUE(FileExists(programs_ + "\\Wardhaven!.LNK"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, uninstallEntry));
    EXPECT_EQ(ShellSetting(GetParam()), shell);
    EXPECT_EQ(ReadFileText(WinInitPath()), winInit);
    EXPECT_EQ(PendingRenameValue(), pending);
}

TEST_P(Uninstall, ACopyOutsideTheInstallationRemovesNothing) {
    Install("Wardhaven!");
    std::string elsewhere = scratch_ + "\\Elsewhere";
    MakeDirs(elsewhere);
    for (const char* name : {"ReadMe.Txt", "TaskMan.Exe"}) ASSERT_TRUE(WriteFileText(elsewhere + "\\" + name, "kept"));
    ASSERT_TRUE(CopyFileA(InstalledFile("UnInstal.Exe").c_str(), (elsewhere + "\\UnInstal.Exe").c_str(), FALSE));
    uninstall_.reset(new SetupRun(elsewhere + "\\UnInstal.Exe", GetParam()));
    HWND box = uninstall_->WaitWindow("Wardhaven!");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "Wardhaven! is not installed in " + elsewhere + "; nothing has been removed.");
    Click(box, IDOK);
    EXPECT_EQ(uninstall_->WaitExit(), 1u);
    for (const char* name : {"ReadMe.Txt", "TaskMan.Exe"}) EXPECT_EQ(ReadFileText(elsewhere + "\\" + name), "kept");
    EXPECT_TRUE(FileExists(InstalledFile("Wardhavn.Exe")));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, uninstallEntry));
}

INSTANTIATE_FOR_EVERY_FAMILY(Uninstall);

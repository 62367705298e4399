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
const char runOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char sharedFiles[] = "Software\\Wardhaven!\\Shared files";
const char keptHeading[] = "These files have the names of Wardhaven!'s files but other content; they have been kept:";
const char stillThere[] = "Wardhaven! has not been removed completely. These items are still there:\r\n\r\n";
const char runAgain[] =
    "\r\n\r\nWardhaven! stays in the list of programs to remove, with its uninstaller. Close Wardhaven! and any "
    "program using these items, or restart Windows (and make their drive writable if it is read-only); then run "
    "the uninstaller again.";

// What the user did since the installation (`share`: of the test's handle on
// the file), and why the first run says the product file stays (none: all go).
enum class Since { moved, productRunning, held, readOnly };
struct Afterwards { const char* what; Since since; DWORD share; const char* why; };
const Afterwards afterwards[] = {
    {"the folder moved elsewhere", Since::moved, 0, nullptr},
    {"the product running", Since::productRunning, 0, "it is in use, or access to it is denied"},
    {"a file held open without sharing", Since::held, 0, "it is in use"},
    {"a file held open for reading", Since::held, FILE_SHARE_READ, "it is in use"},
    // The delete reports success; the file stays until the holder lets go.
    {"a file held open that may be deleted", Since::held, FILE_SHARE_READ | FILE_SHARE_DELETE,
     "it was still there after it was deleted (its drive may be read-only, or a program may hold it)"},
    {"product files set read-only", Since::readOnly, 0, nullptr},
};

// Every DLL the installer's and the uninstaller's processes load under Wine
// (WINEDEBUG=+loaddll), and the usual victims on Windows.
const char* const plantedDlls[] = {
    "kernelbase.dll", "kernel32.dll", "msvcrt.dll", "ucrtbase.dll", "sechost.dll", "advapi32.dll", "zlib1.dll",
    "version.dll", "win32u.dll", "user32.dll", "gdi32.dll", "rpcrt4.dll", "combase.dll", "ole32.dll", "shcore.dll",
    "shlwapi.dll", "shell32.dll", "imm32.dll", "winex11.drv", "uxtheme.dll", "msimg32.dll", "userenv.dll",
    "setupapi.dll", "apphelp.dll", "propsys.dll", "dwmapi.dll", "cryptbase.dll", "oleacc.dll", "clbcatq.dll",
    "winmm.dll", "comctl32.dll"};

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
        DeleteFileA((WindowsHelpDir() + "\\TaskMan.HLP").c_str());
        for (const char* name : {"TaskMan.Exe", "TaskMang.Exe", "TaskMan.$$$", "TaskMan.$$1", "COMMAND.COM"})
            DeleteFileA((WindowsDir() + "\\" + name).c_str());
        RegValue none;
        RestoreRegValue(HKEY_LOCAL_MACHINE, runOnce, "Wardhaven! folder", none);
        if (!groupFolder_.empty()) RemoveTree(programs_ + "\\" + groupFolder_);
    }

    bool Nt() const { return GetParam() != Family::win98; }

    // Through every page: the group typed, both options chosen, restart and run declined.
    void Install(const std::string& group) {
        if (run_ && !run_->Running()) run_.reset();  // an earlier installation's; one started here is used
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
    std::string RunUninstaller(const std::string& command, bool yes, const std::string& currentDir = "") {
        uninstall_.reset(new SetupRun(command, GetParam(), currentDir));
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

    // The family's record of what goes at the next start, as the uninstaller
    // queues it. The 95 family's start-up removes no folder: none is queued there.
    void ExpectRemovedAtNextStart(const std::vector<std::string>& paths, const std::string& winInitBefore) {
        std::vector<std::string> pending;
        std::string lines;
        for (const std::string& path : paths) {
            pending.push_back("\\??\\" + path);
            pending.push_back("");
            if (!DirExists(path)) lines += "NUL=" + ShortPathOf(path) + "\r\n";
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
            if (file.name != "UnInstal.Exe" && file.name != "TaskMan.HLP") {
                EXPECT_FALSE(FileExists(InstalledFile(file.name))) << file.name;
            }
        EXPECT_FALSE(FileExists(WindowsHelpDir() + "\\TaskMan.HLP"));
        EXPECT_TRUE(FileExists(InstalledFile("UnInstal.Exe"))) << "running: queued, not deleted";
    }

    void ExpectSystemRestored(const std::string& group) {
        EXPECT_FALSE(FileExists(programs_ + "\\" + group + ".LNK"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, uninstallEntry));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Wardhaven!")) << "the record of shared files, emptied";
        EXPECT_EQ(ShellSetting(GetParam()), "Explorer.exe");
    }

    // The closing message when everything went and the folder emptied: the 95
    // family's start-up cannot remove a folder, and without the command
    // interpreter in the Windows folder the message says so.
    std::string RemovedAndEmptied(const std::string& waiting = "") const {
        std::string folder = Nt() ? "" : "The folder " + installDir_ + " will then be empty; you may delete it.";
        std::string lines = waiting + (waiting.empty() || folder.empty() ? "" : "\r\n") + folder;
        return std::string(removed) + (lines.empty() ? "" : "\r\n\r\nWhen Windows next starts:\r\n" + lines);
    }

    std::vector<ProductFile> product_ = {Shipped("Wardhavn.Exe"), Shipped("TaskMan.Exe"), Shipped("UnInstal.Exe"),
                                         Shipped("TaskMan.HLP"), Shipped("ReadMe.Txt")};
    std::string programs_;
    std::string groupFolder_;
    std::unique_ptr<SetupRun> uninstall_;
};

TEST_P(Uninstall, RemovesWhatTheInstallationPlacedAndChangedAndKeepsTheUsersFiles) {
    installDir_ = scratch_ + "\\WARD HAVEN";  // a blank: the entry and the NT shell value are quoted
    // A user's own layout and library: the installer leaves them, so must the uninstaller.
    MakeDirs(installDir_);
    for (const char* name : {"Desktop.DTP", "Shell.LIB"}) ASSERT_TRUE(WriteFileText(InstalledFile(name), "the user's own"));
    std::vector<ProductFile> product = product_;
    product.insert(product.end(), {{"Desktop.DTP", "the product's layout"}, {"Shell.LIB", "the product's library"}});
    StageDiskSet(product, "", true);
    Install("Wardhaven Desktop");
    ASSERT_TRUE(WriteFileText(InstalledFile("Notes.Txt"), "the user's own"));
    std::string text = Lower(RunUninstallCommand(true));
    EXPECT_EQ(text.rfind(Lower(std::string(removed) + "\r\n\r\n" + keptHeading + "\r\n"), 0), 0u) << text;
    for (const char* name : {"Desktop.DTP", "Shell.LIB", "Notes.Txt"})
        EXPECT_EQ(ReadFileText(InstalledFile(name)), "the user's own") << name;
    for (const char* name : {"Desktop.DTP", "Shell.LIB"})
        EXPECT_NE(text.find(Lower(InstalledFile(name))), std::string::npos) << name << " listed as kept";
    EXPECT_NE(text.find(Lower("The folder " + installDir_ + " holds files that were not installed")), std::string::npos);
    ExpectProductFilesGone();
    ExpectSystemRestored("Wardhaven Desktop");
    // The Task Manager lines were still waiting: they go, and nothing else is queued but the uninstaller.
    ExpectRemovedAtNextStart({InstalledFile("UnInstal.Exe")}, "[Rename]\r\n");
}

TEST_P(Uninstall, AnEmptiedFolderGoesWithTheUninstallerAtTheNextStart) {
    groupFolder_ = "WhTestGroup";
    MakeDirs(programs_ + "\\" + groupFolder_);
    Install("Wardhaven" + nameEnd_);  // the page takes no folder part: the user moves the shortcut there
    const std::string name = "\\Wardhaven" + nameEnd_ + ".LNK";
    ASSERT_TRUE(MoveFileA((programs_ + name).c_str(), (programs_ + "\\" + groupFolder_ + name).c_str()));
    EXPECT_EQ(Lower(RunUninstallCommand(true)), Lower(RemovedAndEmptied()));
    ExpectProductFilesGone();
    ExpectSystemRestored(groupFolder_ + "\\Wardhaven" + nameEnd_);
    ExpectRemovedAtNextStart({InstalledFile("UnInstal.Exe"), installDir_}, "[Rename]\r\n");
}

TEST_P(Uninstall, OnThe95FamilyAnEmptiedFolderGoesAfterTheRestartThroughRunOnce) {
    if (Nt()) GTEST_SKIP() << "the NT family's start-up removes an empty folder itself";
    // Where Windows keeps its command interpreter; cmd.exe does the same "rd".
    ASSERT_TRUE(CopyFileTo(WindowsDir() + "\\system32\\cmd.exe", WindowsDir() + "\\COMMAND.COM"));
    Install("Wardhaven!");
    EXPECT_EQ(RunUninstallCommand(true), removed);
    EXPECT_EQ(Lower(RegText(ReadRegValue(HKEY_LOCAL_MACHINE, runOnce, "Wardhaven! folder"))),
              Lower(ShortPathOf(WindowsDir() + "\\COMMAND.COM") + " /c rd " + ShortPathOf(installDir_)));
    CarryOutRestart();
    EXPECT_FALSE(DirExists(installDir_));
}

TEST_P(Uninstall, AStagedExecutableGoesAndTheOneItWasToReplaceIsKept) {
    MakeDirs(installDir_);
    ASSERT_TRUE(WriteFileText(InstalledFile("Wardhavn.Exe"), "an earlier installation's"));
    Install("Wardhaven!");
    ASSERT_TRUE(FileExists(InstalledFile("Wardhavn.$$$")));
    EXPECT_EQ(Lower(RunUninstallCommand(true)),
              Lower(std::string(removed) + "\r\n\r\n" + keptHeading + "\r\n" + InstalledFile("Wardhavn.Exe")));
    EXPECT_FALSE(FileExists(InstalledFile("Wardhavn.$$$")));
    EXPECT_EQ(ReadFileText(InstalledFile("Wardhavn.Exe")), "an earlier installation's");
}

TEST_P(Uninstall, AHelpFileThatWaitedForTheRestartInTheFolderGoesAndAnotherOneStays) {
    // Held open, the help folder's earlier TaskMan.HLP makes the installer put the
    // new one in this folder, under a substitute renamed at the restart.
    std::string earlier = WindowsHelpDir() + "\\TaskMan.HLP";
    MakeDirs(WindowsHelpDir());
    ASSERT_TRUE(WriteFileText(earlier, "an earlier help file"));
    HANDLE held = CreateFileA(earlier.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Install("Wardhaven!");
    EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, sharedFiles, installDir_), (RegValue{REG_SZ, std::string(1, '\0')}))
        << "a substitute in the folder is not shared";
    CloseHandle(held);
    CarryOutRestart();
    ASSERT_TRUE(FileExists(InstalledFile("TaskMan.HLP")));
    EXPECT_EQ(Lower(RunUninstallCommand(true)),
              Lower(std::string(removed) + "\r\n\r\n" + keptHeading + "\r\n" + earlier +
                    RemovedAndEmptied().substr(std::string(removed).size())));
    EXPECT_FALSE(FileExists(InstalledFile("TaskMan.HLP")));
    EXPECT_EQ(ReadFileText(earlier), "an earlier help file");
}

TEST_P(Uninstall, HelpFilesStayWhileAnotherInstallationUsesThem) {
    std::string one = installDir_, two = scratch_ + "\\TWO" + nameEnd_, help = WindowsHelpDir() + "\\TaskMan.HLP";
    Install("Wardhaven!");
    installDir_ = two;
    Install("Wardhaven!");
    Install("Wardhaven!");  // again into the same folder: it counts once
    installDir_ = one;
    EXPECT_EQ(Lower(RunUninstaller(InstalledFile("UnInstal.Exe"), true)),
              Lower(std::string(removed) + "\r\n\r\nThese files stay for the installation in " + two +
                    ", which uses them too:\r\n" + help + RemovedAndEmptied().substr(std::string(removed).size())));
    EXPECT_TRUE(FileExists(help));
    EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, sharedFiles, one).present);
    EXPECT_EQ(Lower(RegText(ReadRegValue(HKEY_LOCAL_MACHINE, sharedFiles, two))), Lower(help + "|"));
    // As if ONE's folder had been deleted by hand, its value left behind: that counts for nothing.
    ASSERT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, sharedFiles, one, REG_SZ, help + "|" + '\0'));
    installDir_ = two;
    RunUninstallCommand(true);
    EXPECT_FALSE(FileExists(help));
    EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, sharedFiles, two).present);
    // The last installation gone, so is the value of the one deleted by hand, and with it the record.
    EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, sharedFiles, one).present);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Wardhaven!"));
}

TEST_P(Uninstall, InADriveRootOnlyTheInstallationsOwnFilesGo) {
    // Generic names of the product's list in a root are anybody's.
    installDir_ = "D:";
    const std::vector<std::string> users = {"D:\\Tips.Txt", "D:\\History.Log"};
    for (const std::string& path : users) ASSERT_TRUE(WriteFileText(path, "the user's own"));
    Install("Wardhaven!");
    std::string text = Lower(RunUninstallCommand(true));
    for (const std::string& path : users) {
        EXPECT_EQ(ReadFileText(path), "the user's own") << path;
        EXPECT_NE(text.find(Lower(path)), std::string::npos) << path << " listed as kept: " << text;
        DeleteFileA(path.c_str());
    }
    for (const ProductFile& file : product_)
        if (file.name != "UnInstal.Exe" && file.name != "TaskMan.HLP") {
            EXPECT_FALSE(FileExists("D:\\" + file.name)) << file.name;
        }
    DeleteFileA("D:\\UnInstal.Exe");
}

TEST_P(Uninstall, PendingTaskManagerFromAnotherDriveGoesWithTheCopiesStagedForItHoweverOftenInstalled) {
    RemoveTree("D:\\WHTEST");
    MakeDirs("D:\\WHTEST");
    installDir_ = "D:\\WHTEST\\WARDHAVEN";
    ASSERT_TRUE(WriteFileText(WindowsDir() + "\\TaskMan.Exe", "Windows' own task manager"));
    // Twice before the restart: a staged copy and its move each time, the executable staged the second.
    Install("Wardhaven!");
    Install("Wardhaven!");
    std::vector<std::string> staged = {WindowsDir() + "\\TaskMan.$$$", WindowsDir() + "\\TaskMan.$$1"};
    for (const std::string& path : staged) ASSERT_TRUE(FileExists(path)) << path;
    EXPECT_EQ(Lower(RunUninstallCommand(true)), Lower(RemovedAndEmptied()));
    for (const std::string& path : staged) EXPECT_FALSE(FileExists(path)) << path;
    // Neither the lines nor the NT family's moves are left to bring a copy in or move the system's aside.
    ExpectRemovedAtNextStart({InstalledFile("UnInstal.Exe"), installDir_}, "[Rename]\r\n");
    CarryOutRestart();
    EXPECT_EQ(ReadFileText(WindowsDir() + "\\TaskMan.Exe"), "Windows' own task manager");
    EXPECT_FALSE(FileExists(WindowsDir() + "\\TaskMang.Exe"));
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
    EXPECT_EQ(Lower(RunUninstallCommand(true)), Lower(RemovedAndEmptied("The Windows Task Manager will be restored.")));
    // The saved one goes back over the product's: no removal first, which a second run would repeat.
    std::vector<std::string> want = {"\\??\\" + saved, "!\\??\\" + windowsTaskManager,
                                     "\\??\\" + InstalledFile("UnInstal.Exe"), "", "\\??\\" + installDir_};
    if (Nt()) {
        EXPECT_EQ(Lower(PendingRenames()), Lower(want));
    } else {
        EXPECT_EQ(Lower(ReadFileText(WinInitPath())),
                  Lower("[Rename]\r\n" + ShortPathOf(windowsTaskManager) + "=" + ShortPathOf(saved) + "\r\nNUL=" +
                        ShortPathOf(InstalledFile("UnInstal.Exe")) + "\r\n"));
    }
    EXPECT_EQ(ReadFileText(windowsTaskManager), ReadFileText(BuiltSample() + "\\TaskMan.Exe")) << "replaced at the next start only";
}

TEST_P(Uninstall, TheSystemsTaskManagerIsRestoredOnceHoweverOftenItRuns) {
    std::string windowsTaskManager = WindowsDir() + "\\TaskMan.Exe";
    ASSERT_TRUE(WriteFileText(windowsTaskManager, "Windows' own task manager"));
    Install("Wardhaven!");
    CarryOutRestart();
    // The product is the running shell: its executable stays, and so the uninstaller can run again.
    HANDLE shell = CreateFileA(InstalledFile("Wardhavn.Exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(shell, INVALID_HANDLE_VALUE);
    std::string first = RunUninstallCommand(true);
    EXPECT_NE(first.find("The Windows Task Manager will be restored."), std::string::npos) << first;
    std::string pendingAfterFirst = ReadFileText(WinInitPath()) + PendingRenameValue().data;
    std::string second = RunUninstaller(InstalledFile("UnInstal.Exe"), true);
    EXPECT_NE(second.find("The Windows Task Manager will be restored."), std::string::npos) << second;
    EXPECT_EQ(ReadFileText(WinInitPath()) + PendingRenameValue().data, pendingAfterFirst) << "nothing queued twice";
    CloseHandle(shell);
    CarryOutRestart();
    EXPECT_EQ(ReadFileText(windowsTaskManager), "Windows' own task manager");
    EXPECT_FALSE(FileExists(WindowsDir() + "\\TaskMang.Exe"));
}

TEST_P(Uninstall, SettingsThatNameAnotherInstallationAreLeftAlone) {
    Install("Wardhaven!");
    std::string command = EntryCommand();
    std::string other = "C:\\Other Place\\Wardhavn.Exe";
    // Installed there too: a folder the product has gone from would be this installation's former place.
    MakeDirs("C:\\Other Place");
    for (const char* name : {"Wardhavn.Exe", "UnInstal.Exe"})
        ASSERT_TRUE(CopyFileTo(InstalledFile(name), "C:\\Other Place\\" + std::string(name)));
    ASSERT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, uninstallEntry, "UnInstallString", REG_SZ,
                              "\"C:\\Other Place\\UnInstal.Exe\"" + std::string(1, '\0')));
    if (Nt())
        ASSERT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, winlogon, "Shell", REG_SZ, "\"" + other + "\"" + '\0', NativeView()));
    else ASSERT_TRUE(WritePrivateProfileStringA("Boot", "Shell", other.c_str(), SystemIniPath().c_str()));
    std::string shell = ShellSetting(GetParam());
    EXPECT_EQ(Lower(RunUninstaller(command, true)), Lower(RemovedAndEmptied()));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, uninstallEntry));
    EXPECT_EQ(ShellSetting(GetParam()), shell);
    EXPECT_FALSE(FileExists(programs_ + "\\Wardhaven!.LNK"));
    RemoveTree("C:\\Other Place");
}

TEST_P(Uninstall, NoProductFileStaysWithoutTheEntryAndTheSystemStartsWithItsOwnShellAndTaskManager) {
    std::string installed = installDir_, moved = scratch_ + "\\MOVED";
    std::string systemTaskManager = WindowsDir() + "\\TaskMan.Exe";
    for (const Afterwards& row : afterwards) {
        SCOPED_TRACE(row.what);
        RemoveTree(installDir_ = installed);
        saved_.Restore();
        ASSERT_TRUE(WriteFileText(systemTaskManager, "Windows' own task manager"));
        Install("Wardhaven!");
        std::unique_ptr<SetupRun> product;
        HANDLE held = INVALID_HANDLE_VALUE;
        std::string stays = InstalledFile(row.since == Since::productRunning ? "Wardhavn.Exe" : "ReadMe.Txt");
        if (row.since == Since::moved) {
            ASSERT_TRUE(MoveFileA(installDir_.c_str(), moved.c_str()));
            installDir_ = moved;
        } else if (row.since == Since::productRunning) {
            product.reset(new SetupRun(stays, GetParam()));
            ASSERT_NE(product->WaitWindow("Wardhaven!"), nullptr);
        } else if (row.since == Since::held) {
            held = CreateFileA(stays.c_str(), GENERIC_READ, row.share, nullptr, OPEN_EXISTING, 0, nullptr);
        } else {
            for (const char* name : {"Wardhavn.Exe", "TaskMan.Exe", "UnInstal.Exe", "ReadMe.Txt"})
                SetFileAttributesA(InstalledFile(name).c_str(), FILE_ATTRIBUTE_READONLY);
        }
        // Run from the folder, where a person finds it after moving it.
        std::string text = RunUninstaller(InstalledFile("UnInstal.Exe"), true);
        if (row.why) {
            EXPECT_EQ(Lower(text), Lower(stillThere + stays + ": " + row.why + runAgain));
            // Nothing waits for the restart: the uninstaller stays with its entry.
            EXPECT_TRUE(FileExists(stays) && FileExists(InstalledFile("UnInstal.Exe")));
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, uninstallEntry));
            EXPECT_EQ(ReadFileText(WinInitPath()) + std::to_string(PendingRenames().size()), "[Rename]\r\n0");
            CloseHandle(held);
            if (product) Click(product->WaitWindow("Wardhaven!"), IDOK);
            if (product) EXPECT_EQ(product->WaitExit(), 0u);
            text = RunUninstallCommand(true);
        }
        EXPECT_EQ(Lower(text), Lower(RemovedAndEmptied()));
        ExpectProductFilesGone();
        ExpectSystemRestored("Wardhaven!");
        CarryOutRestart();
        EXPECT_EQ(ReadFileText(systemTaskManager), "Windows' own task manager");
        EXPECT_FALSE(FileExists(WindowsDir() + "\\TaskMang.Exe") || FileExists(InstalledFile("UnInstal.Exe")));
    }
}

TEST_P(Uninstall, NoAtTheQuestionChangesNothing) {
    Install("Wardhaven!");
    std::string winInit = ReadFileText(WinInitPath());
    std::string shell = ShellSetting(GetParam());
    RegValue pending = PendingRenameValue();
    EXPECT_EQ(RunUninstallCommand(false), "");
    for (const ProductFile& file : product_)
        if (file.name != "TaskMan.HLP") {
            EXPECT_TRUE(FileExists(InstalledFile(file.name))) << file.name;
        }
    EXPECT_TRUE(FileExists(WindowsHelpDir() + "\\TaskMan.HLP"));
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

TEST_P(Uninstall, DllsPlantedBesideEitherProgramOrInTheCurrentFolderAreNeverLoaded) {
    // The disk set in a download folder, and the installation folder, each with a
    // DLL under every name; a copy of them in the folder both programs start in.
    std::string current = scratch_ + "\\current";
    const std::string folders[] = {disk_, current, installDir_};
    for (const std::string& folder : folders) {
        MakeDirs(folder);
        for (const char* name : plantedDlls)
            ASSERT_TRUE(CopyFileTo(DriverDir() + "\\planted.dll", folder + "\\" + name));
    }
    run_.reset(new SetupRun(setupPath_, GetParam(), current));
    Install("Wardhaven!");
    RunUninstaller(EntryCommand(), true, current);
    ExpectProductFilesGone();
    for (const std::string& folder : folders)
        for (const char* name : plantedDlls)
            EXPECT_FALSE(FileExists(folder + "\\" + name + ".loaded")) << folder << " " << name;
}

INSTANTIATE_FOR_EVERY_FAMILY(Uninstall);

// The end of an installation, driven through every page as a person would:
// the uninstall entry, the system changes of each option in both Windows
// families, the restart and run prompts, the program group shortcut, and the
// product started from its directory. The registry, WinInit.Ini, SYSTEM.INI
// and the shortcut are read back afterwards and put back as they were.
#include <algorithm>
#include <cctype>

#include "resources/resource.h"
#include "tests/wine/installer_fixture.h"
#include "tests/wine/link_probe.h"
#include "tests/wine/registry_probe.h"

namespace {

const char uninstallEntry[] = "Software\\microsoft\\windows\\currentversion\\uninstall\\Wardhaven!";
const char winlogon[] = "Software\\microsoft\\windows nt\\currentversion\\Winlogon";

const std::string runPrompt = "Wardhaven! has been successfully installed.\r\n\r\nDo you wish to run Wardhaven!?";
const std::string restartPrompt =
    "Wardhaven! had been successfully installed\r\n\r\n"
    "The system should be rebooted for the Wardhaven! changes to take effect.\r\n\r\n"
    "Reboot Windows?";
const std::string runAfterDeclinedRestart = "Do you wish to run Wardhaven!?";
const std::string taskManagerContent = "the product's task manager";
const std::string systemTaskManager = "Windows' own task manager";
const std::string taskManagerNotice =
    "The Windows Task Manager has not been replaced: TaskMan.Exe could not be copied into ";

std::string ProfileString(const std::string& file, const char* section, const char* key) {
    char value[1024] = "";
    GetPrivateProfileStringA(section, key, "(none)", value, sizeof value, file.c_str());
    return value;
}

// Both sides of every "destination=source" line below the section header.
std::vector<std::string> RenamePaths(const std::string& winInit) {
    std::vector<std::string> paths;
    size_t at = winInit.find("\r\n") + 2;
    for (size_t end; (end = winInit.find("\r\n", at)) != std::string::npos; at = end + 2) {
        std::string line = winInit.substr(at, end - at);
        size_t equals = line.find('=');
        paths.push_back(line.substr(0, equals));
        paths.push_back(line.substr(equals + 1));
    }
    return paths;
}

// A drive and 8.3 names only: no blank, a name of 1 to 8 characters and an extension of at most 3.
bool IsShortPath(const std::string& path) {
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return false;
    for (size_t at = 3, end; at < path.size(); at = end + 1) {
        end = std::min(path.find('\\', at), path.size());
        std::string name = path.substr(at, end - at);
        size_t dot = name.find('.');
        size_t base = std::min(dot, name.size());
        if (name.find(' ') != std::string::npos || base == 0 || base > 8) return false;
        if (dot != std::string::npos && (name.find('.', dot + 1) != std::string::npos || name.size() - dot - 1 > 3))
            return false;
    }
    return true;
}

std::string ProbePath() { return DriverDir() + "\\product_probe.exe"; }

// Waits for a file that another process writes.
std::string WaitFileText(const std::string& path, int timeoutMs = 15000) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        std::string text = ReadFileText(path);
        if (!text.empty() && text.back() == '\n') return text;
        Sleep(50);
    }
    return ReadFileText(path);
}

// The Task Managers of the Windows directory, the staged copy and the record
// of a carried-out WinInit.Ini: none before a test, none after it.
struct WindowsTaskManagers {
    WindowsTaskManagers() { Remove(); }
    ~WindowsTaskManagers() { Remove(); }
    static void Remove() {
        for (const char* name : {"TaskMan.Exe", "TaskMang.Exe", "TaskMan.$$$", "TaskMan.$$1"})
            DeleteFileA((WindowsDir() + "\\" + name).c_str());
    }
};

// A folder of drive D:, the prefix's second volume, made empty and removed after.
struct FolderOnDriveD {
    std::string path = "D:\\WHTEST";
    FolderOnDriveD() {
        RemoveTree(path);
        MakeDirs(path);
    }
    ~FolderOnDriveD() { RemoveTree(path); }
};

// The product installed into the root of C:, taken away before and after.
struct ProductInRootOfC {
    ProductInRootOfC() { Remove(); }
    ~ProductInRootOfC() { Remove(); }
    static void Remove() {
        for (const char* name : {"Wardhaven._ZX", "Wardhavn.Exe", "Wardhavn.$$$", "TaskMan.Exe", "UnInstal.Exe"})
            DeleteFileA((std::string("C:\\") + name).c_str());
    }
};

}  // namespace

class Completion : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        programs_ = ProgramsDir();
        // The product: the probe as its main executable, so that a started
        // product reports where it runs, and its task manager and uninstaller.
        StageDiskSet({{"Wardhavn.Exe", ReadFileText(ProbePath())},
                      {"TaskMan.Exe", taskManagerContent},
                      {"UnInstal.Exe", "the product's uninstaller"}},
                     "", true);
        // The destination box turns what is typed into capitals: so does the installer's record of it.
        for (char& c : installDir_) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }

    bool Nt() const { return GetParam() != Family::win98; }

    // Runs the installer up to the options page and leaves it with these
    // choices; only ends the run when the pages cannot choose anything yet.
    void ChooseOptions(bool makeShell, bool replaceTaskManager, bool accept) {
        HWND page = AdvanceToPage("Windows Interface");
        ASSERT_NE(page, nullptr);
        if (replaceTaskManager) Click(page, IDC_TASK_MANAGER_BOX);
        if (makeShell) Click(page, IDC_SHELL_BOX);
        Settle();
        EXPECT_EQ(IsChecked(page, IDC_TASK_MANAGER_BOX), replaceTaskManager);
        EXPECT_EQ(IsChecked(page, IDC_SHELL_BOX), makeShell);
        if (accept) Click(page, IDOK);
        else PressEscape(page);
        run_->WaitGone(page);
    }

    // The next box must be a final prompt with exactly this text; answers it.
    void AnswerPrompt(const std::string& text, bool yes) {
        HWND box = run_->WaitWindow("Wardhaven!");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageText(box), text);
        Click(box, yes ? IDYES : IDNO);
        run_->WaitGone(box);
    }

    void ExpectUninstallEntry() {
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, uninstallEntry, "DisplayName"),
                  (RegValue{REG_SZ, std::string("Wardhaven!") + '\0'}));
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, uninstallEntry, "UnInstallString"),
                  (RegValue{REG_SZ, installDir_ + "\\UnInstal.Exe" + '\0'}));
    }

    void ExpectShellUntouched() {
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, winlogon, "Shell", NativeView()), saved_.winlogonShell);
        EXPECT_EQ(ReadFileText(SystemIniPath()), saved_.systemIni);
    }

    void PlaceProbeAs(const std::string& name) {
        MakeDirs(installDir_);
        ASSERT_TRUE(CopyFileTo(ProbePath(), installDir_ + "\\" + name)) << ProbePath();
    }

    // A path of a rename line: the 95 family's start-up reads 8.3 paths only.
    std::string LinePath(const std::string& dir, const std::string& name) const {
        return (Nt() ? dir : ShortPathOf(dir)) + "\\" + name;
    }

    // The Task Manager's lines: the system's aside (unless `saved` already), the product's in from `source`.
    std::string TaskManagerLines(const std::string& source = "", bool saved = false) const {
        std::string w = WindowsDir(), from = source.empty() ? InstalledFile("TaskMan.Exe") : source;
        std::string aside = LinePath(w, "TaskMang.Exe") + "=" + LinePath(w, "TaskMan.Exe") + "\r\n";
        size_t cut = from.find_last_of('\\');
        return (saved ? "" : aside) + LinePath(w, "TaskMan.Exe") + "=" +
               LinePath(from.substr(0, cut), from.substr(cut + 1)) + "\r\n";
    }

    // The NT family's list after the same moves (the 95 family's MoveFileExA refuses them).
    std::vector<std::string> TaskManagerMoves(const std::string& source = "", bool saved = false) const {
        std::vector<std::string> moves = PendingRenames(saved_.pendingRenames);
        if (!Nt()) return moves;
        std::string w = WindowsDir(), from = source.empty() ? InstalledFile("TaskMan.Exe") : source;
        // Moved aside without "!": never over a saved one.
        if (!saved) moves.insert(moves.end(), {"\\??\\" + w + "\\TaskMan.Exe", "\\??\\" + w + "\\TaskMang.Exe"});
        moves.insert(moves.end(), {"\\??\\" + from, "!\\??\\" + w + "\\TaskMan.Exe"});
        return moves;
    }

    // Restart declined, then the run.
    void DeclineRestartAndRun() {
        AnswerPrompt(restartPrompt, false);
        AnswerPrompt(runAfterDeclinedRestart, false);
        EXPECT_EQ(run_->WaitExit(), 0u);
    }

    // The same installation again before the restart: the product's executable,
    // there now, is staged, and nothing the first one queued is queued twice;
    // `restaged` is the product's Task Manager staged anew, beside a waiting one.
    void InstallAgainBeforeTheRestart(std::string winInit, std::vector<std::string> moves,
                                      const std::string& restaged = "") {
        run_.reset();
        ChooseOptions(false, true, true);
        DeclineRestartAndRun();
        std::string exe = InstalledFile("Wardhavn.Exe"), staged = InstalledFile("Wardhavn.$$$");
        winInit += ShortPathOf(exe) + "=" + ShortPathOf(staged) + "\r\n";
        if (Nt()) moves.insert(moves.end(), {"\\??\\" + staged, "!\\??\\" + exe});
        if (!restaged.empty()) {
            winInit += TaskManagerLines(restaged, true);
            if (Nt()) moves.insert(moves.end(), {"\\??\\" + restaged, "!\\??\\" + WindowsDir() + "\\TaskMan.Exe"});
        }
        EXPECT_EQ(ReadFileText(WinInitPath()), winInit);
        EXPECT_EQ(Lower(PendingRenames()), Lower(moves));
    }

    // After the restart: the system's Task Manager saved, the product's in its place.
    void ExpectTaskManagersSwapped() {
        EXPECT_EQ(ReadFileText(WindowsDir() + "\\TaskMang.Exe"), systemTaskManager);
        EXPECT_EQ(ReadFileText(WindowsDir() + "\\TaskMan.Exe"), taskManagerContent);
    }

    WindowsTaskManagers taskManagers_;

    std::string programs_;
};

TEST_P(Completion, CancelledOptionsWriteOnlyTheUninstallEntryAndOfferToRun) {
    ChooseOptions(true, true, false);
    AnswerPrompt(runPrompt, false);
    EXPECT_EQ(run_->WaitExit(), 0u);
    ExpectUninstallEntry();
    ExpectShellUntouched();
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
}

TEST_P(Completion, NoOptionWithTheProductUnderItsOwnNameOffersToRunWithoutRestart) {
    ChooseOptions(false, false, true);
    AnswerPrompt(runPrompt, false);
    EXPECT_EQ(run_->WaitExit(), 0u);
    ExpectUninstallEntry();
    ExpectShellUntouched();
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
}

TEST_P(Completion, AStagedFileAsksForTheRestartAndChangesNothingElse) {
    // An earlier main executable, or any earlier file another program holds: the new one is staged beside it.
    for (const char* earlier : {"Wardhavn.Exe", "TaskMan.Exe"}) {
        RemoveTree(installDir_);
        DeleteFileA(WinInitPath().c_str());
        PlaceProbeAs(earlier);
        HANDLE held =
            CreateFileA(InstalledFile(earlier).c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
        run_.reset();
        ChooseOptions(false, false, true);
        AnswerPrompt(restartPrompt, false);
        AnswerPrompt(runAfterDeclinedRestart, false);
        EXPECT_EQ(run_->WaitExit(), 0u);
        CloseHandle(held);
        ExpectUninstallEntry();
        ExpectShellUntouched();
        std::string winInit = ReadFileText(WinInitPath());
        EXPECT_EQ(winInit.find("TaskMang"), std::string::npos) << winInit;
        EXPECT_NE(Lower(winInit).find(".$$$"), std::string::npos) << "the staged file's rename line: " << winInit;
    }
}

TEST_P(Completion, TaskManagerQueuesItsTwoMovesOnceHoweverOftenInstalledAndTheRestartSwapsTheTaskManagers) {
    ASSERT_TRUE(WriteFileText(WindowsDir() + "\\TaskMan.Exe", systemTaskManager));
    ChooseOptions(false, true, true);
    DeclineRestartAndRun();
    std::string winInit = ReadFileText(WinInitPath());
    EXPECT_EQ(winInit, "[Rename]\r\n" + TaskManagerLines());
    if (!Nt()) {
        ASSERT_NE(ShortPathOf(installDir_), installDir_) << "a long installation directory";
        for (const std::string& path : RenamePaths(winInit)) EXPECT_TRUE(IsShortPath(path)) << path;
    }
    // The NT family never reads WinInit.Ini: the same moves in its own list, in the same order.
    EXPECT_EQ(Lower(PendingRenames()), Lower(TaskManagerMoves()));
    ExpectUninstallEntry();
    ExpectShellUntouched();
    // Queued again, the system's would be moved aside a second time, over the saved one.
    InstallAgainBeforeTheRestart(winInit, TaskManagerMoves());
    // Wine carries out both lists whatever the family: the second pass must harm nothing.
    CarryOutRestart();
    ExpectTaskManagersSwapped();
    EXPECT_FALSE(FileExists(InstalledFile("TaskMan.Exe")));
}

TEST_P(Completion, TaskManagerOnAnotherDriveArrivesThroughACopyStagedInTheWindowsDirectoryHoweverOftenInstalled) {
    // Neither family moves a file from one volume to another at its start.
    FolderOnDriveD drive;
    installDir_ = drive.path + "\\WARDHAVEN";
    ASSERT_TRUE(WriteFileText(WindowsDir() + "\\TaskMan.Exe", systemTaskManager));
    ChooseOptions(false, true, true);
    DeclineRestartAndRun();
    std::string staged = WindowsDir() + "\\TaskMan.$$$";
    EXPECT_EQ(ReadFileText(staged), taskManagerContent);
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n" + TaskManagerLines(staged));
    EXPECT_EQ(Lower(PendingRenames()), Lower(TaskManagerMoves(staged)));
    std::string restaged = WindowsDir() + "\\TaskMan.$$1";
    InstallAgainBeforeTheRestart(ReadFileText(WinInitPath()), TaskManagerMoves(staged), restaged);
    EXPECT_EQ(ReadFileText(restaged), taskManagerContent);
    CarryOutRestart();
    ExpectTaskManagersSwapped();
    EXPECT_FALSE(FileExists(staged));
    EXPECT_FALSE(FileExists(restaged));
}

TEST_P(Completion, TaskManagerThatCannotBeStagedLeavesTheSystemsAloneAndTheMessageSaysSo) {
    FolderOnDriveD drive;
    installDir_ = drive.path + "\\WARDHAVEN";
    ASSERT_TRUE(WriteFileText(WindowsDir() + "\\TaskMan.Exe", systemTaskManager));
    HWND page = AdvanceToPage("Windows Interface");
    ASSERT_NE(page, nullptr);
    // Held open by another program, the product's Task Manager cannot be copied.
    HANDLE held = CreateFileA(InstalledFile("TaskMan.Exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Click(page, IDC_TASK_MANAGER_BOX);
    Click(page, IDOK);
    run_->WaitGone(page);
    // Nothing else waits for a restart: the run prompt, after the notice.
    AnswerPrompt(taskManagerNotice + WindowsDir() + ".\r\n\r\n" + runPrompt, false);
    CloseHandle(held);
    EXPECT_EQ(run_->WaitExit(), 0u);
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
    EXPECT_EQ(PendingRenameValue(), saved_.pendingRenames);
    EXPECT_FALSE(FileExists(WindowsDir() + "\\TaskMan.$$$"));
    CarryOutRestart();
    EXPECT_EQ(ReadFileText(WindowsDir() + "\\TaskMan.Exe"), systemTaskManager);
    EXPECT_FALSE(FileExists(WindowsDir() + "\\TaskMang.Exe"));
}

TEST_P(Completion, TaskManagerSavedByAnEarlierInstallationIsNeverMovedOver) {
    // The product's earlier copy in place, the system's own saved beside it.
    ASSERT_TRUE(WriteFileText(WindowsDir() + "\\TaskMang.Exe", systemTaskManager));
    ASSERT_TRUE(WriteFileText(WindowsDir() + "\\TaskMan.Exe", "an earlier installation's task manager"));
    ChooseOptions(false, true, true);
    DeclineRestartAndRun();
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n" + TaskManagerLines("", true));
    EXPECT_EQ(Lower(PendingRenames()), Lower(TaskManagerMoves("", true)));
    CarryOutRestart();
    ExpectTaskManagersSwapped();
}

TEST_P(Completion, ShellGoesWhereTheFamilyReadsIt) {
    ChooseOptions(true, false, true);
    AnswerPrompt(restartPrompt, false);
    AnswerPrompt(runAfterDeclinedRestart, false);
    EXPECT_EQ(run_->WaitExit(), 0u);
    ExpectUninstallEntry();
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
    std::string shell = installDir_ + "\\Wardhavn.Exe";
    if (Nt()) {
        // Under WOW64 in the 64-bit view, where the logon reads it.
        EXPECT_EQ(LogonShellValue(), shell);
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, winlogon, "Shell", NativeView()), (RegValue{REG_SZ, shell + '\0'}));
        EXPECT_EQ(ReadFileText(SystemIniPath()), saved_.systemIni);
    } else {
        // Wine's short names are hashed: ask the same prefix for the expected one.
        ASSERT_TRUE(FileExists(shell)) << "the short form needs the installed file";
        ASSERT_NE(ShortPathOf(shell), shell);
        EXPECT_EQ(Lower(ProfileString(SystemIniPath(), "Boot", "Shell")), Lower(ShortPathOf(shell)));
        EXPECT_EQ(ReadFileText(SystemIniPath()).rfind(saved_.systemIni, 0), 0u) << "the other sections stay";
        EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, winlogon, "Shell", NativeView()), saved_.winlogonShell);
    }
}

TEST_P(Completion, ShellAndTaskManagerTogether) {
    ChooseOptions(true, true, true);
    AnswerPrompt(restartPrompt, false);
    AnswerPrompt(runAfterDeclinedRestart, false);
    EXPECT_EQ(run_->WaitExit(), 0u);
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n" + TaskManagerLines());
    std::string shell = installDir_ + "\\Wardhavn.Exe";
    if (Nt()) EXPECT_EQ(LogonShellValue(), shell);
    else EXPECT_EQ(Lower(ProfileString(SystemIniPath(), "Boot", "Shell")), Lower(ShortPathOf(shell)));
}

TEST_P(Completion, AFolderOfTheDriveRootWhoseNameEndsInABackslashsByteGetsEveryFileAndLine) {
    // Under code page 932 予定表 (97 5C 92 E8 95 5C): a byte-wise join would
    // write "C:\予定表Wardhavn.Exe" and its kin into the root.
    installDir_ = GetACP() == 932 ? "C:\\\x97\x5C\x92\xE8\x95\x5C" : "C:\\WHONELVL";
    struct Gone {
        std::string dir;
        ~Gone() { RemoveTree(dir); }
    } gone{installDir_};
    RemoveTree(installDir_);
    ASSERT_TRUE(WriteFileText(WindowsDir() + "\\TaskMan.Exe", systemTaskManager));
    ChooseOptions(true, true, true);
    DeclineRestartAndRun();
    for (const char* name : {"Wardhavn.Exe", "TaskMan.Exe", "UnInstal.Exe"}) {
        EXPECT_TRUE(FileExists(InstalledFile(name))) << name;
        EXPECT_FALSE(FileExists(installDir_ + name)) << "joined without a backslash: " << name;
    }
    ExpectUninstallEntry();
    std::string shell = installDir_ + "\\Wardhavn.Exe";
    if (Nt()) EXPECT_EQ(LogonShellValue(), shell);
    else EXPECT_EQ(Lower(ProfileString(SystemIniPath(), "Boot", "Shell")), Lower(ShortPathOf(shell)));
    CarryOutRestart();
    ExpectTaskManagersSwapped();
}

TEST_P(Completion, CommandValuesAreQuotedWhenThePathHasABlank) {
    // Unquoted, Windows would run the part before the blank, the rest as its arguments.
    installDir_ += " FILES";
    ChooseOptions(true, false, true);
    AnswerPrompt(restartPrompt, false);
    AnswerPrompt(runAfterDeclinedRestart, false);
    EXPECT_EQ(run_->WaitExit(), 0u);
    EXPECT_EQ(RegText(ReadRegValue(HKEY_LOCAL_MACHINE, uninstallEntry, "UnInstallString")),
              "\"" + installDir_ + "\\UnInstal.Exe\"");
    std::string shell = installDir_ + "\\Wardhavn.Exe";
    if (Nt()) EXPECT_EQ(LogonShellValue(), "\"" + shell + "\"");
    else EXPECT_EQ(Lower(ProfileString(SystemIniPath(), "Boot", "Shell")), Lower(ShortPathOf(shell))) << "8.3, no blank";
}

TEST_P(Completion, ShellPathOfTheLongestAcceptedDestinationIsWrittenWhole) {
    if (Nt()) GTEST_SKIP() << "the NT family's registry value has no fixed buffer";
    // The longest destination the page accepts, 239 characters: with "\Wardhavn.EXE" 252.
    installDir_ += "\\" + std::string(238 - installDir_.size(), 'L');
    ASSERT_EQ(installDir_.size(), 239u);
    MakeDirs(installDir_.substr(0, installDir_.find_last_of('\\')));
    ChooseOptions(true, false, true);
    AnswerPrompt(restartPrompt, false);
    AnswerPrompt(runAfterDeclinedRestart, false);
    EXPECT_EQ(run_->WaitExit(), 0u);
    EXPECT_EQ(Lower(ProfileString(SystemIniPath(), "Boot", "Shell")), Lower(ShortPathOf(installDir_ + "\\Wardhavn.Exe")));
    ExpectUninstallEntry();
}

TEST_P(Completion, RestartDeclinedRunAcceptedStartsTheProductInItsDirectory) {
    // The probe stands for the product; with a copy present the new one is
    // staged, and the product's own file is what the shell can start.
    PlaceProbeAs("Wardhavn.Exe");
    ChooseOptions(false, true, true);
    AnswerPrompt(restartPrompt, false);
    AnswerPrompt(runAfterDeclinedRestart, true);
    EXPECT_EQ(run_->WaitExit(), 0u);
    std::string started = WaitFileText(installDir_ + "\\started.txt");
    EXPECT_EQ(Lower(started), Lower(installDir_ + "\\Wardhavn.Exe\n" + installDir_ + "\n"));
}

TEST_P(Completion, RunAcceptedAfterCancelledOptionsStartsTheProduct) {
    PlaceProbeAs("Wardhavn.Exe");
    ChooseOptions(false, false, false);
    AnswerPrompt(restartPrompt, false);  // the staged executable waits for it
    AnswerPrompt(runAfterDeclinedRestart, true);
    EXPECT_EQ(run_->WaitExit(), 0u);
    std::string started = WaitFileText(installDir_ + "\\started.txt");
    EXPECT_EQ(Lower(started), Lower(installDir_ + "\\Wardhavn.Exe\n" + installDir_ + "\n"));
}

// Carried out by the restart itself, so in a prefix of its own (see CMakeLists.txt).
TEST_P(Completion, DISABLED_RestartAcceptedRestartsWithTheRenameLinesOnDisk) {
    std::string moved = WindowsDir() + "\\TaskMan.Exe";
    DeleteFileA(moved.c_str());
    ChooseOptions(false, true, true);
    AnswerPrompt(restartPrompt, true);
    EXPECT_EQ(run_->WaitExit(), 0u) << "ended by the restart, or finished on its own";
    // The restart carries out the rename lines: they were on disk before it was asked for.
    std::string text;
    for (int waited = 0; waited < 20000 && (text = ReadFileText(moved)).empty(); waited += 100) Sleep(100);
    EXPECT_EQ(text, taskManagerContent);
    EXPECT_FALSE(FileExists(installDir_ + "\\TaskMan.Exe"));
    EXPECT_EQ(run_->Captions(), std::vector<std::string>{});
    DeleteFileA(moved.c_str());
    DeleteFileA((WindowsDir() + "\\wininit.bak").c_str());
}

INSTANTIATE_FOR_EVERY_FAMILY(Completion);

class GroupShortcut : public Completion {
protected:
    // After the program group page: the options cancelled, the run declined.
    void FinishWithoutOptions(HWND page) {
        run_->WaitGone(page);
        HWND options = run_->WaitWindow("Windows Interface");
        ASSERT_NE(options, nullptr);
        PressEscape(options);
        AnswerPrompt(runPrompt, false);
        EXPECT_EQ(run_->WaitExit(), 0u);
    }
};

TEST_P(GroupShortcut, TheNameTypedOnThePageNamesTheShortcut) {
    // Typed with a closing dot and blank, the folder is the one Windows makes, without them.
    const std::string made = installDir_;
    installDir_ += ". ";
    HWND page = AdvanceToPage("Program Group");
    installDir_ = made;
    ASSERT_NE(page, nullptr);
    SetItemText(page, IDC_GROUP_EDIT, "Games");
    PressEnter(page);
    ASSERT_NO_FATAL_FAILURE(FinishWithoutOptions(page));
    ExpectUninstallEntry();
    LinkFile link = ReadLinkFile(programs_ + "\\Games.LNK");
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(Lower(link.target), Lower(installDir_ + "\\Wardhavn.Exe"));
    EXPECT_EQ(Lower(link.workingDir), Lower(installDir_));
    EXPECT_EQ(link.showCommand, static_cast<uint32_t>(SW_SHOWNORMAL));
}

// Another program takes a placed file while the page waits: Setup names it,
// claims nothing (no shortcut, no entry), takes away what it added and fails.
TEST_P(GroupShortcut, FileTakenAwayWhileThePageWaitsIsNamedAndNothingIsClaimed) {
    HWND page = AdvanceToPage("Program Group");
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(DeleteFileA(InstalledFile("TaskMan.Exe").c_str()));
    PressEnter(page);
    ExpectFailedInstallation("these files it had placed are missing: " + InstalledFile("TaskMan.Exe"));
    EXPECT_FALSE(FileExists(programs_ + "\\Wardhaven!.LNK"));
    EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, uninstallEntry, "UnInstallString").present);
    EXPECT_FALSE(DirExists(installDir_)) << "the folder the run made, empty again";
}

TEST_P(GroupShortcut, CancelledPageMakesNoShortcutAndTheInstallationGoesOn) {
    HWND page = AdvanceToPage("Program Group");
    ASSERT_NE(page, nullptr);
    PressEscape(page);
    ASSERT_NO_FATAL_FAILURE(FinishWithoutOptions(page));
    EXPECT_FALSE(FileExists(programs_ + "\\Wardhaven!.LNK"));
    ExpectUninstallEntry();
}

TEST_P(GroupShortcut, DriveAloneIsKeptAsTypedForTheWorkingDirectory) {
    ProductInRootOfC product;
    installDir_ = "C:";
    HWND page = AdvanceToPage("Program Group");
    ASSERT_NE(page, nullptr);
    PressEnter(page);
    ASSERT_NO_FATAL_FAILURE(FinishWithoutOptions(page));
    LinkFile link = ReadLinkFile(programs_ + "\\Wardhaven!.LNK");
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.workingDir, "C:");
    EXPECT_EQ(Lower(link.target), "c:\\wardhavn.exe");
    ExpectUninstallEntry();
}

INSTANTIATE_FOR_BOTH_FAMILIES(GroupShortcut);

// Unpacking and placing the product: a first and an earlier installation,
// files kept, help files, files in use and their substitutes, cancelling,
// WM_QUIT, an empty table.
#include "tests/wine/engine_scenario.h"

class Unpacking : public EngineTest {
protected:
    void TearDown() override {
        // A test that moved the help directory away puts it back.
        if (DirExists(WindowsHelpDir() + ".away")) {
            RemoveTree(WindowsHelpDir());
            MoveFileA((WindowsHelpDir() + ".away").c_str(), WindowsHelpDir().c_str());
        }
        EngineTest::TearDown();
    }
    void InstallAll() {
        PassQuestionPages();
        ASSERT_NE(WaitProgress(unpackingLabel), nullptr);
        FinishInstallation();
    }
    // A product whose decoding takes a while (the reader drains the queue per byte).
    void StageLargerProduct() {
        product_[0].content = NoiseBytes(150000, 11);
        StageDiskSet(product_, "60000,60000");
    }
    std::string RenameLine(const std::string& blocked, const std::string& substitute) {
        return ShortPathOf(blocked) + "=" + ShortPathOf(substitute) + "\r\n";
    }
    // Names in the installation directory; a blocked file that does not exist
    // stands as typed on the destination page (the edit makes it upper case).
    std::string RenameLineOfNames(const std::string& blocked, const std::string& substitute) {
        std::string path = FileExists(InstalledFile(blocked)) ? ShortPathOf(InstalledFile(blocked))
                                                                : TypedInstallDir() + "\\" + blocked;
        return path + "=" + ShortPathOf(InstalledFile(substitute)) + "\r\n";
    }
    // The NT family does not read WinInit.Ini: there each substitute is queued
    // through the system as well, to be moved over the file it stands for.
    void ExpectSystemRenames(const std::vector<std::pair<std::string, std::string>>& blockedAndSubstitutes) {
        auto lower = [](std::vector<std::string> v) {
            for (std::string& s : v) CharLowerA(&s[0]);
            return v;
        };
        std::vector<std::string> want = PendingRenames(saved_.pendingRenames);
        if (GetParam() == Family::nt)
            for (const auto& [blocked, substitute] : blockedAndSubstitutes) {
                want.push_back("\\??\\" + TypedInstallDir() + "\\" + substitute);
                want.push_back("!\\??\\" + TypedInstallDir() + "\\" + blocked);
            }
        EXPECT_EQ(lower(PendingRenames()), lower(want));
    }
};

TEST_P(Unpacking, FirstInstallationPlacesEveryFileWithoutRenameLines) {
    StageDiskSet(product_, "9000,9000");
    InstallAll();
    // Sizes 0, 2048 and 4096 among them; the stream is cut back to the main executable.
    ExpectInstalled(installDir_, product_);
    EXPECT_FALSE(FileExists(InstalledFile("Wardhavn.$$$")));
    EXPECT_FALSE(FileExists(InstalledFile("Guide.HLP"))) << "help files go to the Windows help directory";
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
    ExpectSystemRenames({});
}

TEST_P(Unpacking, EarlierInstallationStagesTheMainExecutable) {
    MakeDirs(installDir_);
    ASSERT_TRUE(WriteFileText(InstalledFile("Wardhavn.Exe"), "the earlier version"));
    StageDiskSet(product_, "9000,9000");
    InstallAll();
    EXPECT_EQ(ReadFileText(InstalledFile("Wardhavn.Exe")), "the earlier version");
    // The staged name was the one cut back to the main executable.
    EXPECT_TRUE(ReadFileText(InstalledFile("Wardhavn.$$$")) == product_[0].content);
    ExpectInstalled(installDir_, product_, {"Wardhavn.Exe"});
    EXPECT_EQ(ReadFileText(WinInitPath()),
              "[Rename]\r\n" + RenameLine(InstalledFile("Wardhavn.Exe"), InstalledFile("Wardhavn.$$$")));
    ExpectSystemRenames({{"Wardhavn.Exe", "Wardhavn.$$$"}});
}

TEST_P(Unpacking, ExistingLibAndDtpAreKeptOthersOverwritten) {
    MakeDirs(installDir_);
    ASSERT_TRUE(WriteFileText(InstalledFile("shell.lib"), "user's library"));
    ASSERT_TRUE(WriteFileText(InstalledFile("DESKTOP.dtp"), "user's desktop"));
    ASSERT_TRUE(WriteFileText(InstalledFile("Tools.Dll"), "old tools"));
    ASSERT_TRUE(WriteFileText(InstalledFile("Four.Dat"), std::string(9000, 'x')));
    StageDiskSet(product_, "9000,9000");
    InstallAll();
    EXPECT_EQ(ReadFileText(InstalledFile("Shell.LIB")), "user's library");
    EXPECT_EQ(ReadFileText(InstalledFile("Desktop.DTP")), "user's desktop");
    ExpectInstalled(installDir_, product_, {"Shell.LIB", "Desktop.DTP"});
}

TEST_P(Unpacking, HelpFileWithoutHelpDirectoryGetsASubstitute) {
    ASSERT_TRUE(DirExists(WindowsHelpDir()));
    ASSERT_TRUE(MoveFileA(WindowsHelpDir().c_str(), (WindowsHelpDir() + ".away").c_str()));
    StageDiskSet(product_, "9000,9000");
    InstallAll();
    EXPECT_TRUE(ReadFileText(InstalledFile("Guide.$$$")) == product_[2].content);
    EXPECT_FALSE(FileExists(InstalledFile("Guide.HLP")));
    ExpectInstalled(installDir_, product_, {"Guide.HLP"});
    // The blocked file does not exist, so it stands as typed on the destination
    // page (the edit control makes it upper case).
    EXPECT_EQ(ReadFileText(WinInitPath()),
              "[Rename]\r\n" + TypedInstallDir() + "\\Guide.HLP=" + ShortPathOf(InstalledFile("Guide.$$$")) + "\r\n");
    ExpectSystemRenames({{"Guide.HLP", "Guide.$$$"}});
}

TEST_P(Unpacking, FileInUseGetsASubstituteAndARenameLine) {
    MakeDirs(installDir_);
    ASSERT_TRUE(WriteFileText(InstalledFile("Tools.Dll"), "running tools"));
    {
        HeldFile inUse(InstalledFile("Tools.Dll"), GENERIC_READ, 0);
        ASSERT_TRUE(inUse.Ok());
        StageDiskSet(product_, "9000,9000");
        InstallAll();
    }
    EXPECT_EQ(ReadFileText(InstalledFile("Tools.Dll")), "running tools");
    EXPECT_TRUE(ReadFileText(InstalledFile("Tools.$$$")) == product_[1].content);
    ExpectInstalled(installDir_, product_, {"Tools.Dll"});
    EXPECT_EQ(ReadFileText(WinInitPath()),
              "[Rename]\r\n" + RenameLine(InstalledFile("Tools.Dll"), InstalledFile("Tools.$$$")));
    ExpectSystemRenames({{"Tools.Dll", "Tools.$$$"}});
}

TEST_P(Unpacking, SubstitutesOfOneInstallationGetDistinctNames) {
    // An update (the main executable is staged), no help directory and the
    // task manager in use: each of two pairs would share a ".$$$" name.
    product_ = {{"Wardhavn.Exe", NoiseBytes(9000, 1)}, {"TaskMan.Exe", NoiseBytes(3000, 2)},
                {"TaskMan.HLP", NoiseBytes(2000, 3)}, {"Wardhavn.HLP", NoiseBytes(1000, 4)}};
    struct Substitute {
        std::string blocked, substitute;
        size_t file;
    };
    const Substitute want[] = {
        {"Wardhavn.Exe", "Wardhavn.$$$", 0},
        {"TaskMan.Exe", "TaskMan.$$$", 1},
        {"TaskMan.HLP", "TaskMan.$$1", 2},
        {"Wardhavn.HLP", "Wardhavn.$$1", 3},
    };
    MakeDirs(installDir_);
    ASSERT_TRUE(WriteFileText(InstalledFile("Wardhavn.Exe"), "the earlier version"));
    ASSERT_TRUE(WriteFileText(InstalledFile("TaskMan.Exe"), "running task manager"));
    ASSERT_TRUE(MoveFileA(WindowsHelpDir().c_str(), (WindowsHelpDir() + ".away").c_str()));
    {
        HeldFile inUse(InstalledFile("TaskMan.Exe"), GENERIC_READ, 0);
        ASSERT_TRUE(inUse.Ok());
        StageDiskSet(product_, "6000,6000");
        InstallAll();
    }
    std::string lines = "[Rename]\r\n";
    std::vector<std::pair<std::string, std::string>> renames;
    for (const Substitute& s : want) {
        EXPECT_TRUE(ReadFileText(InstalledFile(s.substitute)) == product_[s.file].content) << s.substitute;
        lines += RenameLineOfNames(s.blocked, s.substitute);
        renames.push_back({s.blocked, s.substitute});
    }
    EXPECT_EQ(ReadFileText(WinInitPath()), lines);
    ExpectSystemRenames(renames);
}

// A substitute's name is never one a file already has: with every one of
// them taken by the user's files, the run fails and each stays as it was.
TEST_P(Unpacking, SubstituteThatCannotBeCreatedIsReported) {
    MakeDirs(installDir_);
    ASSERT_TRUE(WriteFileText(InstalledFile("Tools.Dll"), "running tools"));
    ASSERT_TRUE(WriteFileText(InstalledFile("Tools.$$$"), "held as well"));
    for (int k = 1; k <= 999; ++k) {
        std::string number = std::to_string(k);
        ASSERT_TRUE(WriteFileText(InstalledFile("Tools." + std::string(3 - number.size(), '$') + number), number));
    }
    HeldFile inUse(InstalledFile("Tools.Dll"), GENERIC_READ, 0);
    HeldFile substituteInUse(InstalledFile("Tools.$$$"), GENERIC_READ, 0);
    ASSERT_TRUE(inUse.Ok() && substituteInUse.Ok());
    StageDiskSet(product_, "9000,9000");
    PassQuestionPages();
    ExpectFailedInstallation("File exists: " + TypedInstallDir() + "\\Tools.999");
    EXPECT_TRUE(FileExists(InstalledFile("Tools.$$$"))) << "there before the run";
    for (const auto& [name, content] : {std::pair{"Tools.$$1", "1"}, {"Tools.$99", "99"}, {"Tools.100", "100"}, {"Tools.999", "999"}})
        EXPECT_EQ(ReadFileText(InstalledFile(name)), content) << name;
    // No line names a substitute that does not hold the file.
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
    ExpectSystemRenames({});
    EXPECT_FALSE(FileExists(InstalledFile("Wardhavn.Exe"))) << "the unpacked stream is left as the main executable";
}

TEST_P(Unpacking, CancelWhileDecodingPlacesNothing) {
    StageLargerProduct();
    PassQuestionPages();
    HWND page = WaitProgress(unpackingLabel);
    ASSERT_NE(page, nullptr);
    Click(page, IDCANCEL);
    HWND question = run_->WaitWindow("Exit Wardhaven!");
    ASSERT_NE(question, nullptr);
    Click(question, IDYES);
    ExpectTerminated();
    EXPECT_FALSE(FileExists(InstalledFile("Wardhaven._ZX")));
    EXPECT_FALSE(FileExists(InstalledFile("Wardhavn.Exe")));
    for (size_t i = 1; i < product_.size(); ++i)
        EXPECT_FALSE(FileExists(PlacedPath(installDir_, product_[i].name))) << product_[i].name;
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
}

TEST_P(Unpacking, CancelWhileDecodingKeepsTheEarlierInstallationAndQueuesNoRename) {
    MakeDirs(installDir_);
    ASSERT_TRUE(WriteFileText(InstalledFile("Wardhavn.Exe"), "the earlier version"));
    StageLargerProduct();
    PassQuestionPages();
    HWND page = WaitProgress(unpackingLabel);
    ASSERT_NE(page, nullptr);
    Click(page, IDCANCEL);
    HWND question = run_->WaitWindow("Exit Wardhaven!");
    ASSERT_NE(question, nullptr);
    Click(question, IDYES);
    ExpectTerminated();
    EXPECT_EQ(ReadFileText(InstalledFile("Wardhavn.Exe")), "the earlier version");
    EXPECT_FALSE(FileExists(InstalledFile("Wardhavn.$$$")));
    // A queued line would rename a file that no longer exists over the earlier version.
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
}

TEST_P(Unpacking, QuitMessageDuringTheWorkDoesNotEndTheInstaller) {
    StageLargerProduct();
    PassQuestionPages();
    HWND page = WaitProgress(unpackingLabel);
    ASSERT_NE(page, nullptr);
    DWORD thread = GetWindowThreadProcessId(page, nullptr);
    for (int i = 0; i < 5 && IsWindow(page); ++i) {
        EXPECT_TRUE(PostThreadMessageA(thread, WM_QUIT, 0, 0));
        Sleep(20);
    }
    EXPECT_TRUE(IsWindow(page)) << "decoding ended before the quit messages were sent";
    ASSERT_TRUE(run_->WaitGone(page, 120000));
    // Had the quit stayed in the queue, the next page's loop would end at once.
    HWND next = run_->WaitWindow("Program Group");
    ASSERT_NE(next, nullptr);
    Settle(300);
    EXPECT_TRUE(IsWindowVisible(next));
    FinishInstallation();
    ExpectInstalled(installDir_, product_);
}

TEST_P(Unpacking, EmptyTableInstallsTheMainExecutableAlone) {
    product_.resize(1);
    StageDiskSet(product_, "3000,3000");
    InstallAll();
    ExpectInstalled(installDir_, product_);
    WIN32_FIND_DATAA data;
    int files = 0;
    HANDLE h = FindFirstFileA((installDir_ + "\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do files += !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        while (FindNextFileA(h, &data));
        FindClose(h);
    }
    EXPECT_EQ(files, 1);
}

INSTANTIATE_FOR_BOTH_FAMILIES(Unpacking);

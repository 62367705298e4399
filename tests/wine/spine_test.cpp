// The installer's spine under Wine: the page order, cancelling, WinInit.Ini,
// missing templates and the unhandled-error report.
#include "tests/wine/installer_fixture.h"

namespace {

const char uninstallEntry[] = "Software\\microsoft\\windows\\currentversion\\uninstall\\Wardhaven!";

// Hides one dialog template of a copy of the installer by renaming it in the
// resource directory (last letter to 'Z', which keeps the names sorted).
bool RemoveTemplate(const std::string& exe, const std::string& name) {
    std::string image = ReadFileText(exe), key(2, '\0');
    key[0] = static_cast<char>(name.size());
    for (char c : name) key += std::string{c, '\0'};
    size_t at = image.find(key);
    if (at == std::string::npos) return false;
    image[at + key.size() - 2] = 'Z';
    return WriteFileText(exe, image);
}

}  // namespace

class PageSequence : public InstallerTest {};

// The harness itself: a test program that the test runner kills when its time
// runs out takes the installer it started with it, so that the next run does
// not meet that installer still running.
TEST(Driver, InstallerOfAKilledTestProgramEndsWithIt) {
    const std::string setup = ScratchDir("Driver.KilledTestProgram") + "\\Setup.exe";
    ASSERT_TRUE(CopyFileTo(BuiltSetupPath(), setup));
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string cmd = "\"" + std::string(self) + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION test{};
    SetEnvironmentVariableA("WH_START_AND_WAIT", setup.c_str());
    BOOL started = CreateProcessA(self, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &test);
    SetEnvironmentVariableA("WH_START_AND_WAIT", nullptr);
    ASSERT_TRUE(started);
    HWND page = nullptr;
    for (int ms = 0; ms < 30000 && !(page = FindWindowA("#32770", "License Agreement")); ms += 50) Sleep(50);
    ASSERT_NE(page, nullptr) << "the installer did not start";
    DWORD pid = 0;
    GetWindowThreadProcessId(page, &pid);
    HANDLE installer = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    ASSERT_NE(installer, nullptr);
    TerminateProcess(test.hProcess, 1);
    EXPECT_EQ(WaitForSingleObject(installer, 30000), WAIT_OBJECT_0) << "the installer outlived its test program";
    TerminateProcess(installer, 1);
    for (HANDLE h : {installer, test.hProcess, test.hThread}) CloseHandle(h);
}

TEST_P(PageSequence, EscapeYesOnAgreementTerminatesOnce) {
    SetupRun& run = Start();
    HWND page = run.WaitWindow("License Agreement");
    ASSERT_NE(page, nullptr);
    EscapeAndConfirm(page);
    ExpectTerminated();
}

TEST_P(PageSequence, EscapeNoOnAgreementKeepsThePage) {
    SetupRun& run = Start();
    HWND page = run.WaitWindow("License Agreement");
    ASSERT_NE(page, nullptr);
    PressEscape(page);
    HWND box = run.WaitWindow("Exit Wardhaven!");
    ASSERT_NE(box, nullptr);
    Click(box, IDNO);
    ASSERT_TRUE(run.WaitGone(box));
    Settle();
    EXPECT_EQ(run.FindWindowNow("License Agreement"), page) << "the same page stays open";
    EXPECT_TRUE(IsWindowEnabled(page));
    EscapeAndConfirm(page);
    ExpectTerminated();
}

TEST_P(PageSequence, EnterOnAgreementLeadsToDestination) {
    SetupRun& run = Start();
    HWND page = run.WaitWindow("License Agreement");
    ASSERT_NE(page, nullptr);
    PressEnter(page);
    ASSERT_TRUE(run.WaitGone(page));
    HWND destination = run.WaitWindow("Destination Directory", 5000);
    if (!destination) destination = run.WaitWindow("Installation");  // before the page sets its caption
    ASSERT_NE(destination, nullptr);
    EscapeAndConfirm(destination);
    ExpectTerminated();
}

TEST_P(PageSequence, CloseBoxOnAgreementAsksLikeEscape) {
    SetupRun& run = Start();
    HWND page = run.WaitWindow("License Agreement");
    ASSERT_NE(page, nullptr);
    CloseBox(page);
    HWND box = run.WaitWindow("Exit Wardhaven!");
    ASSERT_NE(box, nullptr);
    Click(box, IDYES);
    ExpectTerminated();
}

// One of Setup and the uninstaller at a time: a second copy of either is
// refused while the other shows a box, touches nothing and fails.
TEST_P(PageSequence, SecondCopyOrTheUninstallerWhileAPageIsShownSaysSoAndTouchesNothing) {
    HWND page = Start().WaitWindow("License Agreement");
    const std::string winInit = ReadFileText(WinInitPath());
    const std::string uninstaller = scratch_ + "\\UnInstal.Exe";
    ASSERT_TRUE(CopyFileTo(DriverDir() + "\\..\\..\\sample\\UnInstal.Exe", uninstaller));
    const struct {
        std::string program, text;
    } seconds[] = {
        {setupPath_, "Setup or the uninstaller of Wardhaven! is already running."},
        {uninstaller, "Setup or the uninstaller of Wardhaven! is running: run the uninstaller again once it has "
                      "finished. Nothing has been removed."},
    };
    for (const auto& s : seconds) {
        SetupRun second(s.program, GetParam());
        HWND box = second.WaitWindow("Wardhaven!");
        EXPECT_EQ(MessageText(box), s.text);
        Click(box, IDOK);
        EXPECT_EQ(second.WaitExit(), 1u);
    }
    EXPECT_EQ(ReadFileText(WinInitPath()), winInit);
    EscapeAndConfirm(page);  // the first goes on
    ExpectTerminated();
    // The uninstaller's own box holds its turn: Setup waits for it.
    SetupRun uninstall(uninstaller, GetParam());
    HWND refusal = uninstall.WaitWindow("Wardhaven!");
    ASSERT_NE(refusal, nullptr);
    SetupRun setup(setupPath_, GetParam());
    HWND box = setup.WaitWindow("Wardhaven!");
    EXPECT_EQ(MessageText(box), seconds[0].text);
    Click(box, IDOK);
    EXPECT_EQ(setup.WaitExit(), 1u);
    Click(refusal, IDOK);
    uninstall.WaitExit();
}

TEST_P(PageSequence, PagesAreCentredOnTheScreen) {
    SetupRun& run = Start();
    HWND page = run.WaitWindow("License Agreement");
    ASSERT_NE(page, nullptr);
    RECT r;
    GetWindowRect(page, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    EXPECT_EQ(r.left, GetSystemMetrics(SM_CXSCREEN) / 2 - w / 2);
    EXPECT_EQ(r.top, GetSystemMetrics(SM_CYSCREEN) / 2 - h / 2);
    Screenshot(CurrentTestName());
    EscapeAndConfirm(page);
    ExpectTerminated();
}

TEST_P(PageSequence, MissingAgreementTemplateEndsSilently) {
    ASSERT_TRUE(RemoveTemplate(setupPath_, "LICENSE"));
    SetupRun& run = Start();
    EXPECT_EQ(run.WaitExit(), 0u);
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
}

TEST_P(PageSequence, MissingDestinationTemplateAbandons) {
    ASSERT_TRUE(RemoveTemplate(setupPath_, "MAIN"));
    SetupRun& run = Start();
    HWND page = run.WaitWindow("License Agreement");
    ASSERT_NE(page, nullptr);
    PressEnter(page);
    ExpectTerminated();
}

TEST_P(PageSequence, MissingLaterTemplateAbandonsWhereItsPageWouldCome) {
    // The pages before it are answered as a person taking the defaults would;
    // then the installation is abandoned, whatever those pages left behind.
    const char* const templates[] = {"IPROGRESS", "PROGRESS", "GROUP", "REPLACE"};
    StageSmallDiskSet(true);
    const std::string staged = ReadFileText(setupPath_);
    for (const std::string name : templates) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(WriteFileText(setupPath_, staged));
        ASSERT_TRUE(RemoveTemplate(setupPath_, name));
        RemoveTree(installDir_);
        run_.reset();
        PassQuestionPages();
        if (name == "REPLACE") {
            HWND group = run_->WaitWindow("Program Group", 15000, "Please Stand By...");
            ASSERT_NE(group, nullptr);
            PressEnter(group);
        }
        ExpectTerminated();
        EXPECT_FALSE(FileExists(InstalledFile("Wardhaven._ZX")));
        EXPECT_FALSE(FileExists(InstalledFile("Wardhavn.Exe")));
        EXPECT_EQ(FileExists(InstalledFile("Tools.Dll")), name == "GROUP" || name == "REPLACE") << "placed files stay";
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, uninstallEntry)) << "no completion";
    }
}

INSTANTIATE_FOR_BOTH_FAMILIES(PageSequence);

class WinInitFile : public InstallerTest {};

TEST_P(WinInitFile, HoldsRenameLineAfterStartUp) {
    SetupRun& run = Start();
    HWND page = run.WaitWindow("License Agreement");
    ASSERT_NE(page, nullptr);
    EscapeAndConfirm(page);
    ExpectTerminated();
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
}

TEST_P(WinInitFile, KeepsLinesQueuedByAnotherProgram) {
    // Lines already in a "[Rename]" section are followed without a second
    // header: an abandoned run adds nothing.
    const std::string queued = "[Rename]\r\nC:\\OTHER\\OLD.DLL=C:\\OTHER\\NEW.DLL\r\nNUL=C:\\OTHER\\TEMP.TMP";
    const std::string otherLast = "[rename]\r\nA=B\r\n[Other]\r\nKey=[Rename]\r\n";
    const struct {
        const char* what;
        std::string before, after;
    } cases[] = {
        {"no line end after the last line", queued, queued + "\r\n"},
        {"an earlier run's header", "[Rename]\r\n", "[Rename]\r\n"},
        {"the header in other letters", "[RENAME]\r\nA=B\r\n", "[RENAME]\r\nA=B\r\n"},
        {"another section last", otherLast, otherLast + "[Rename]\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileText(WinInitPath(), c.before));
        run_.reset();
        HWND page = Start().WaitWindow("License Agreement");
        ASSERT_NE(page, nullptr);
        EscapeAndConfirm(page);
        ExpectTerminated();
        EXPECT_EQ(ReadFileText(WinInitPath()), c.after);
    }
}

TEST_P(WinInitFile, UnopenableFileEndsWithTheErrorReport) {
    // A folder in its place: the open for writing is refused.
    ASSERT_TRUE(CreateDirectoryA(WinInitPath().c_str(), nullptr));
    SetupRun& run = Start();
    HWND box = run.WaitWindow("Application Error");
    ASSERT_NE(box, nullptr);
    std::string text = MessageText(box);
    EXPECT_EQ(text.rfind("Exception EInOutError in module Setup.exe at ", 0), 0u) << text;
    EXPECT_NE(text.find(".\nAccess denied"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '.') << text;
    EXPECT_EQ(run.FindWindowNow("License Agreement"), nullptr);
    Click(box, IDOK);
    EXPECT_EQ(run.WaitExit(), 1u);
}

INSTANTIATE_FOR_BOTH_FAMILIES(WinInitFile);

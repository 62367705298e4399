#include "tests/wine/installer_fixture.h"

#include <algorithm>

#include "tests/wine/link_probe.h"

std::string FamilyParamName(const testing::TestParamInfo<Family>& info) { return FamilyName(info.param); }

void InstallerTest::SetUp() {
    std::string name = CurrentTestName();
    scratch_ = ScratchDir(name);
    disk_ = scratch_ + "\\disk1";
    MakeDirs(disk_);
    setupPath_ = disk_ + "\\Setup.exe";
    installDir_ = scratch_ + "\\Wardhaven";
    ASSERT_TRUE(CopyFileTo(BuiltSetupPath(), setupPath_)) << "no installer at " << BuiltSetupPath();
    RemoveTree(WinInitPath());
    DeleteFileA(WinInitPath().c_str());
    saved_ = SystemState::Save();
}

void InstallerTest::TearDown() {
    run_.reset();
    // WinInit.Ini lines left for the next boot would rename files of later tests.
    RemoveTree(WinInitPath());
    DeleteFileA(WinInitPath().c_str());
    saved_.Restore();
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

// The pages in their order. A progress page is captioned "Progress" by its
// template; the working page sets "Please Stand By...".
const char* const pageOrder[] = {"License Agreement", "Destination Directory", "Progress", "Progress",
                                 "Program Group", "Windows Interface"};
const char* const workingCaption = "Please Stand By...";

bool isProgressStep(const std::string& caption) { return caption == "Progress"; }

}  // namespace

// The next progress page; `interim` when it still carries its template's caption
// and waits for a key instead of working.
HWND InstallerTest::WaitProgressPage(bool& interim) {
    for (int waited = 0; waited < 15000 && run_->Running(); waited += 10) {
        if (HWND page = run_->FindWindowNow(workingCaption)) {
            interim = false;
            return page;
        }
        if (HWND page = run_->FindWindowNow("Progress")) {
            interim = true;
            return page;
        }
        Sleep(10);
    }
    return run_->WaitWindow(workingCaption, 0);  // reports what is open instead
}

HWND InstallerTest::AdvanceToPage(const std::string& caption) {
    if (!run_) Start();
    for (const std::string step : pageOrder) {
        bool progress = isProgressStep(step), interim = false;
        HWND page = progress ? WaitProgressPage(interim) : run_->WaitWindow(step);
        if (!page) return nullptr;
        interimProgress_ = interimProgress_ || interim;
        if (caption == step || (progress && caption == workingCaption)) return page;
        if (step == "Destination Directory") SetItemText(page, 104, installDir_);
        if (!progress || interim) PressEnter(page);
        if (!run_->WaitGone(page, progress ? 600000 : 15000)) {
            ADD_FAILURE() << "the page \"" << step << "\" did not end";
            return nullptr;
        }
    }
    ADD_FAILURE() << "no page \"" << caption << "\"";
    return nullptr;
}

void InstallerTest::CancelProgressPage(HWND page) {
    Click(page, IDCANCEL);
    for (int waited = 0; waited < 5000; waited += 10) {
        if (HWND box = run_->FindWindowNow("Exit Wardhaven!")) {
            Click(box, IDYES);
            run_->WaitGone(box);
            break;
        }
        if (!IsWindow(page) || !IsWindowVisible(page)) break;
        Sleep(10);
    }
    run_->WaitGone(page);
}

void InstallerTest::FinishAfterOptions() {
    while (run_->Running()) {
        if (HWND box = run_->FindWindowNow("Wardhaven!")) {
            Click(box, IDNO);
            run_->WaitGone(box);
        }
        Sleep(10);
    }
    EXPECT_EQ(run_->WaitExit(), 0u);
}

namespace {

const char uninstallEntry[] = "Software\\microsoft\\windows\\currentversion\\uninstall\\Wardhaven!";
const char winlogonKey[] = "Software\\microsoft\\windows nt\\currentversion\\Winlogon";

std::string systemIniPath() { return WindowsDir() + "\\system.ini"; }

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    while (FindNextFileA(h, &data));
    FindClose(h);
    return names;
}

}  // namespace

SystemState SystemState::Save() {
    SystemState s;
    s.winlogonShell = ReadRegValue(HKEY_LOCAL_MACHINE, winlogonKey, "Shell");
    s.systemIni = ReadFileText(systemIniPath());
    s.programs = filesIn(ProgramsDir());
    return s;
}

void SystemState::Restore() const {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, uninstallEntry);
    RestoreRegValue(HKEY_LOCAL_MACHINE, winlogonKey, "Shell", winlogonShell);
    if (ReadFileText(systemIniPath()) != systemIni) WriteFileText(systemIniPath(), systemIni);
    std::string dir = ProgramsDir();
    for (const std::string& name : filesIn(dir))
        if (std::find(programs.begin(), programs.end(), name) == programs.end()) DeleteFileA((dir + "\\" + name).c_str());
}

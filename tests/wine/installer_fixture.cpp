#include "resources/resource.h"
#include "tests/wine/installer_fixture.h"

#include <algorithm>
#include <cctype>

#include "engine/integrity_record.h"
#include "engine/table_layout.h"
#include "tests/wine/link_probe.h"

std::string FamilyParamName(const testing::TestParamInfo<Family>& info) { return FamilyName(info.param); }

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> Lower(std::vector<std::string> v) {
    for (std::string& s : v) s = Lower(s);
    return v;
}

std::vector<Family> FamiliesHere() {
    if (RunningUnderWow64()) return {Family::wow64};
    return {Family::nt, Family::win98};
}

void InstallerTest::SetUp() {
    std::string name = CurrentTestName();
    scratch_ = ScratchDir(name);
    nameEnd_ = GetACP() == 932 ? "\x95\x5C" : "";
    disk_ = scratch_ + "\\disk1" + nameEnd_;
    MakeDirs(disk_);
    setupPath_ = disk_ + "\\Setup.exe";
    setDir_ = scratch_ + "\\set";
    installDir_ = scratch_ + "\\Wardhaven" + nameEnd_;
    ASSERT_TRUE(CopyFileTo(BuiltSetupPath(), setupPath_)) << "no installer at " << BuiltSetupPath();
    RemoveTree(WinInitPath());
    DeleteFileA(WinInitPath().c_str());
    DeleteFileA(JournalPath().c_str());
    saved_ = SystemState::Save();
}

void InstallerTest::TearDown() {
    run_.reset();
    // WinInit.Ini lines left for the next boot would rename files of later tests,
    // and a journal left by a run cut off would undo paths of theirs.
    RemoveTree(WinInitPath());
    DeleteFileA(WinInitPath().c_str());
    DeleteFileA(JournalPath().c_str());
    saved_.Restore();
}

SetupRun& InstallerTest::Start() {
    run_.reset(new SetupRun(setupPath_, GetParam()));
    return *run_;
}

void InstallerTest::EscapeAndConfirm(HWND page) {
    // Just after a box of the page's own has gone, the focus may still be on
    // its button: a key posted there would be lost.
    for (int waited = 0; waited < 3000 && !IsChild(page, FocusedControl(page)); waited += 20) Settle(20);
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

// The pages in their order, by the captions they show.
const char* const workingCaption = "Please Stand By...";
const char* const pageOrder[] = {"License Agreement", "Destination Directory", workingCaption, workingCaption,
                                 "Program Group", "Windows Interface"};

}  // namespace

HWND InstallerTest::AdvanceToPage(const std::string& caption) {
    if (!run_) Start();
    for (const std::string step : pageOrder) {
        bool progress = step == workingCaption;
        // The progress pages end by themselves: the next page is waited for as long as one is open.
        if (progress && caption != workingCaption) continue;
        HWND page = run_->WaitWindow(step, 15000, workingCaption);
        if (!page || caption == step) return page;
        if (step == "Destination Directory") SetItemText(page, IDC_DESTINATION_EDIT, installDir_);
        PressEnter(page);
        if (!run_->WaitGone(page)) {
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

namespace {

const char uninstallEntry[] = "Software\\microsoft\\windows\\currentversion\\uninstall\\Wardhaven!";
const char winlogonKey[] = "Software\\microsoft\\windows nt\\currentversion\\Winlogon";
const char sessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";

}  // namespace

RegValue PendingRenameValue() {
    return ReadRegValue(HKEY_LOCAL_MACHINE, sessionManagerKey, "PendingFileRenameOperations");
}

std::vector<std::string> PendingRenames(const RegValue& value) {
    std::vector<std::string> strings;
    for (size_t at = 0; at < value.data.size();) {
        size_t end = value.data.find('\0', at);
        if (end == std::string::npos) end = value.data.size();
        strings.push_back(value.data.substr(at, end - at));
        at = end + 1;
    }
    // A deletion's destination is empty; only the list's closing ones go.
    while (!strings.empty() && strings.back().empty()) strings.pop_back();
    return strings;
}

size_t IntegrityRecordBody(const std::string& image) {
    size_t count = static_cast<uint8_t>(image[image.size() - table::trailerSize]);
    size_t tableStart = image.size() - table::TableSize(count);
    uint32_t bodySize = 0;
    const uint8_t* tail = reinterpret_cast<const uint8_t*>(image.data()) + tableStart - integrity::tailSize;
    if (integrity::ReadTail(tail, tableStart - integrity::tailSize, bodySize) != integrity::Presence::present)
        return std::string::npos;
    return tableStart - integrity::tailSize - bodySize;
}

void InstallerTest::DropIntegrityRecord() {
    std::string image = ReadFileText(setupPath_);
    size_t body = IntegrityRecordBody(image);
    ASSERT_NE(body, std::string::npos) << "the tool writes a record";
    size_t count = static_cast<uint8_t>(image[image.size() - table::trailerSize]);
    image.erase(body, image.size() - table::TableSize(count) - body);
    ASSERT_TRUE(WriteFileText(setupPath_, image));
}

void CarryOutRestart() {
    std::string out;
    EXPECT_EQ(RunTool("wineboot.exe -r", out), 0u) << out;
    DeleteFileA((WindowsDir() + "\\wininit.bak").c_str());
}

SystemState SystemState::Save() {
    SystemState s;
    s.winlogonShell = ReadRegValue(HKEY_LOCAL_MACHINE, winlogonKey, "Shell", NativeView());
    s.pendingRenames = PendingRenameValue();
    s.systemIni = ReadFileText(SystemIniPath());
    s.programs = FilesIn(ProgramsDir());
    return s;
}

void SystemState::Restore() const {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, uninstallEntry);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Wardhaven!");  // the installations' record of shared files
    RestoreRegValue(HKEY_LOCAL_MACHINE, winlogonKey, "Shell", winlogonShell, NativeView());
    // Left queued, a later start of the prefix would move test files about.
    RestoreRegValue(HKEY_LOCAL_MACHINE, sessionManagerKey, "PendingFileRenameOperations", pendingRenames);
    if (ReadFileText(SystemIniPath()) != systemIni) WriteFileText(SystemIniPath(), systemIni);
    std::string dir = ProgramsDir();
    for (const std::string& name : FilesIn(dir))
        if (std::find(programs.begin(), programs.end(), name) == programs.end()) DeleteFileA((dir + "\\" + name).c_str());
}

std::string LogonShellValue() {
    if (!RunningUnderWow64()) return RegText(ReadRegValue(HKEY_LOCAL_MACHINE, winlogonKey, "Shell"));
    std::string out;
    RunTool(WindowsDir() + "\\sysnative\\reg.exe query \"HKLM\\" + winlogonKey + "\" /v Shell", out);
    // "    Shell    REG_SZ    <value>"
    size_t type = out.find("REG_SZ");
    if (type == std::string::npos) return "(none: " + out + ")";
    size_t start = out.find_first_not_of(' ', type + 6), end = out.find_first_of("\r\n", start);
    return out.substr(start, end - start);
}

// ---- Disk sets made by the packaging tool ----

std::string WindowsHelpDir() { return WindowsDir() + "\\Help"; }

std::string BuiltWardpackPath() {
    std::string setup = BuiltSetupPath();  // <tree>\setup\Setup.exe
    std::string tree = setup.substr(0, setup.find_last_of('\\'));
    return tree.substr(0, tree.find_last_of('\\')) + "\\tools\\wardpack.exe";
}

std::string NoiseBytes(size_t size, uint32_t seed) {
    std::string s(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

DWORD RunTool(const std::string& commandLine, std::string& output) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string log = std::string(temp) + "whtool-" + std::to_string(GetCurrentProcessId()) + ".log";
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    DWORD code = 255;
    if (CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 300000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    } else {
        output = "cannot start: " + commandLine;
    }
    CloseHandle(out);
    output += ReadFileText(log);
    DeleteFileA(log.c_str());
    return code;
}

std::string BuiltSample() {
    std::string dir = DriverDir();
    for (int i = 0; i < 2; ++i) dir = dir.substr(0, dir.find_last_of('\\'));
    return dir + "\\sample";
}

ProductFile Shipped(const std::string& name) {
    return {name, ReadFileText(name == "UnInstal.Exe" ? BuiltSample() + "\\UnInstal.Exe"
                                                      : BuiltSample() + "\\product\\" + name)};
}

std::string ShortPathOf(const std::string& path) {
    char buffer[MAX_PATH] = "";
    DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : path;
}

void InstallerTest::StageDiskSet(const std::vector<ProductFile>& files, const std::string& volumeSizes,
                                 bool laterVolumesBeside) {
    std::string product = scratch_ + "\\product", list;
    MakeDirs(product);
    for (const ProductFile& f : files) {
        ASSERT_TRUE(WriteFileText(product + "\\" + f.name, f.content)) << f.name;
        list += f.name + "\r\n";
    }
    ASSERT_TRUE(WriteFileText(scratch_ + "\\files.lst", list));
    std::string cmd = "\"" + BuiltWardpackPath() + "\" -q build --product \"" + product + "\" --list \"" + scratch_ +
                      "\\files.lst\" --installer \"" + installerImage_ + "\" --installer-name Setup.exe --out \"" +
                      setDir_ + "\"";
    if (!volumeSizes.empty()) cmd += " --volume-sizes " + volumeSizes;
    std::string output;
    ASSERT_EQ(RunTool(cmd, output), 0u) << cmd << "\n" << output;
    ASSERT_TRUE(CopyFileTo(setDir_ + "\\disk1\\Setup.exe", setupPath_));
    ASSERT_TRUE(CopyFileTo(VolumeInSet(1), VolumeBeside(1)));
    if (laterVolumesBeside) {
        InsertVolume(2);
        InsertVolume(3);
    }
}

std::string InstallerTest::VolumeInSet(int k) const {
    return setDir_ + "\\disk" + std::to_string(k) + "\\Wardhavn.00" + std::to_string(k);
}

std::string InstallerTest::VolumeBeside(int k) const { return disk_ + "\\Wardhavn.00" + std::to_string(k); }

void InstallerTest::StageSmallDiskSet(bool laterVolumesBeside) {
    StageDiskSet({{"Wardhavn.Exe", NoiseBytes(3000, 21)}, {"Tools.Dll", NoiseBytes(1000, 22)}}, "1000,1000",
                 laterVolumesBeside);
}

void InstallerTest::InsertVolume(int k) { ASSERT_TRUE(CopyFileTo(VolumeInSet(k), VolumeBeside(k))) << k; }

void InstallerTest::PassQuestionPages() {
    SetupRun& run = run_ ? *run_ : Start();
    HWND agreement = run.WaitWindow("License Agreement");
    ASSERT_NE(agreement, nullptr);
    PressEnter(agreement);
    ASSERT_TRUE(run.WaitGone(agreement));
    HWND destination = run.WaitWindow("Destination Directory");
    ASSERT_NE(destination, nullptr);
    SetItemText(destination, IDC_DESTINATION_EDIT, installDir_);
    PressEnter(destination);
    ASSERT_TRUE(run.WaitGone(destination));
}

HWND InstallerTest::WaitProgress(const std::string& label, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs && run_->Running(); waited += 2) {
        HWND page = run_->FindWindowNow("Please Stand By...");
        if (page && ItemText(page, IDC_LABEL) == label) return page;
        Sleep(2);
    }
    return run_->WaitWindow("Please Stand By... (" + label + ")", 0);  // fails, naming what is open
}

void InstallerTest::FinishInstallation() {
    // The later pages answer Cancel (no shortcut, no system change); a final
    // question answers No.
    for (int waited = 0; waited < 30000 && run_->Running(); waited += 20) {
        for (const char* caption : {"Program Group", "Windows Interface"})
            if (HWND page = run_->FindWindowNow(caption)) {
                Settle(50);
                PressEscape(page);
                run_->WaitGone(page);
            }
        if (HWND box = run_->FindWindowNow("Wardhaven!")) {
            Settle(50);
            Click(box, GetDlgItem(box, IDNO) ? IDNO : IDOK);
            run_->WaitGone(box);
        }
        Sleep(20);
    }
    EXPECT_EQ(run_->WaitExit(), 0u);
}

std::string InstallerTest::TypedInstallDir() const {
    std::string typed = installDir_;
    CharUpperA(&typed[0]);
    return typed;
}

void InstallerTest::ExpectFailedInstallation(const std::string& reason, const std::string& left) {
    HWND box = run_->WaitWindow("Wardhaven!");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "Wardhaven! could not be installed: " + reason + ".\r\n\r\n" + left +
                                    ".\r\nThe Installation process has been terminated.");
    Click(box, IDOK);
    EXPECT_EQ(run_->WaitExit(), 1u) << "a failure's exit code";
}

uint64_t FreeBytesOnH() {
    ULARGE_INTEGER available{}, size{};
    return GetDiskFreeSpaceExA("H:\\", &available, &size, nullptr) ? available.QuadPart : 0;
}

// Wine does not wait for a host program: the drive is watched until it has the size asked for, or is gone.
SmallDrive::SmallDrive(int kb, bool readOnly) {
    std::string out, m = std::string(getenv("WINEPREFIX")) + "/small-drive", size = std::to_string(kb) + "k";
    RunTool("Z:\\bin\\sh -c \"mkdir -p " + m + " && mount -t tmpfs -o size=" + size + (readOnly ? ",ro" : "") +
                " tmpfs " + m + " && ln -sfn " + m + " " + m + "/../dosdevices/h:\"", out);
    // Long enough for a loaded machine: a drive seen late would skip the test's rows in silence.
    for (int ms = 0; ms < 30000 && !(mounted = FreeBytesOnH() == uint64_t(kb) << 10); ms += 50) Sleep(50);
}

SmallDrive::~SmallDrive() {
    std::string out, m = std::string(getenv("WINEPREFIX")) + "/small-drive";
    RunTool("Z:\\bin\\sh -c \"rm -f " + m + "/../dosdevices/h: ; umount -l " + m + " ; rmdir " + m + "\"", out);
    for (int ms = 0; ms < 30000 && FreeBytesOnH(); ms += 50) Sleep(50);
}

void InstallerTest::ExpectErrorReport(const std::string& expected, const std::string& alsoExpected) {
    HWND box = run_->WaitWindow("Application Error");
    ASSERT_NE(box, nullptr);
    std::string text = MessageText(box);
    EXPECT_EQ(text.rfind("Exception EInOutError in module Setup.exe at ", 0), 0u) << text;
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    EXPECT_NE(text.find(alsoExpected), std::string::npos) << text;
    Click(box, IDOK);
    EXPECT_EQ(run_->WaitExit(), 1u);
}

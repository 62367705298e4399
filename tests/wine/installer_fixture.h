// A fresh stage for one installer run: a scratch "disk" folder holding a copy
// of Setup.exe, no WinInit.Ini left from an earlier run, and the Windows family
// the test asks for.
#pragma once

#include <gtest/gtest.h>

#include "tests/wine/driver.h"
#include "tests/wine/registry_probe.h"

// What a finished installation changes outside its own folders: the uninstall
// entry, the shell settings, the NT family's pending renames and the Programs
// folder. Saved before each test and put back after it.
struct SystemState {
    RegValue winlogonShell;
    RegValue pendingRenames;
    std::string systemIni;
    std::vector<std::string> programs;  // file names in the Programs folder
    static SystemState Save();
    void Restore() const;
};

// One file of a product to pack: its name in the file list and its bytes.
struct ProductFile {
    std::string name;
    std::string content;
};

class InstallerTest : public testing::TestWithParam<Family> {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the staged installer.
    SetupRun& Start();
    // Cancels the page with Escape, answers the "Exit Wardhaven!" question with Yes.
    void EscapeAndConfirm(HWND page);
    // Expects the terminated message exactly once, answers it, and a clean exit.
    void ExpectTerminated();

    // Starts the installer (unless it runs already) and goes on to the first page
    // with this caption, answering each page before it as a person taking the
    // defaults would: "I Agree"; `installDir_` typed on the destination page;
    // the progress pages left to finish. Set up the disks here when the pages
    // before the target need them. 0 (and a failure) when the page does not come.
    HWND AdvanceToPage(const std::string& caption);
    // Cancels a progress page with its Cancel button, answering Yes if it asks.
    void CancelProgressPage(HWND page);
    std::string scratch_;   // C:\whtest\<test>
    std::string disk_;      // scratch\disk1, where Setup.exe runs from
    std::string setupPath_;
    std::string installDir_;  // scratch\Wardhaven, where AdvanceToPage installs
    std::string nameEnd_;  // under code page 932 the folders' names end in 表 (95 5C), a backslash's byte
    SystemState saved_;
    std::unique_ptr<SetupRun> run_;

    // ---- Disk sets made by the packaging tool ----

    // Writes the product into scratch\product (the first file is the main
    // executable), runs the built wardpack.exe with the built Setup.exe as the
    // installer into scratch\set, and puts disk 1 (Setup.exe carrying the
    // table, and Wardhavn.001) where the installer runs from. `volumeSizes`
    // "A,B" fixes volumes 1 and 2 (empty: the tool's floppy plan). With
    // `laterVolumesBeside`, volumes 2 and 3 go beside it too (the disks copied
    // into one folder); otherwise InsertVolume() brings them when asked.
    void StageDiskSet(const std::vector<ProductFile>& files, const std::string& volumeSizes = "",
                      bool laterVolumesBeside = true);
    // Two small files on three volumes: for scenarios that pass the progress
    // pages (all volumes beside) or stop at the disk 2 prompt (held back).
    void StageSmallDiskSet(bool laterVolumesBeside);
    std::string VolumeInSet(int k) const;     // volume k as the tool made it
    std::string VolumeBeside(int k) const;    // volume k beside the installer
    void InsertVolume(int k);                 // as a disk change would
    std::string InstalledFile(const std::string& name) const { return installDir_ + "\\" + name; }

    // Agreement: "I Agree"; destination: installDir_ typed, Enter. Returns
    // when the destination page has gone (the joining page comes next).
    void PassQuestionPages();
    // The progress page whose label reads `label` ("Installing ..." for the
    // joining page, "Uncompressing ..." for the unpacking page).
    HWND WaitProgress(const std::string& label, int timeoutMs = 15000);
    // Leaves whatever the installer still shows (program group and options
    // pages, final prompts) with its Cancel or No answer, and expects a clean exit.
    void FinishInstallation();
    // Waits for the error report, checks that its text holds `expected` (and
    // `alsoExpected`), answers it and expects exit code 1.
    void ExpectErrorReport(const std::string& expected, const std::string& alsoExpected = "");
    // The box of an installation ended by a failed file step (`reason`: what and which file), answered: exit code 1.
    void ExpectFailedInstallation(const std::string& reason, const std::string& left = "The files it had added have been removed");
    // installDir_ as the installer holds it: the destination edit makes it upper case.
    std::string TypedInstallDir() const;

    std::string setDir_;      // scratch\set: disk1, disk2, disk3 from the tool
    std::string installerImage_ = BuiltSetupPath();  // the Setup.exe StageDiskSet packs
    // The staged set as an older build (or a hand) made it: no integrity
    // record, so volumes a test writes its own way are not checked.
    void DropIntegrityRecord();
};

// Drive H: of the prefix on a tmpfs of `kb` KB for the test's lifetime; mounting needs root.
struct SmallDrive {
    SmallDrive(int kb, bool readOnly = false);
    ~SmallDrive();
    bool mounted;
};
uint64_t FreeBytesOnH();

// Where the integrity record's body starts in an installer image, or npos without one.
size_t IntegrityRecordBody(const std::string& image);

// The NT family's renames for its next start, as MoveFileExA queues them.
RegValue PendingRenameValue();
// Its strings in order: per rename the source, then the destination ("!" first
// when it may replace a file).
std::vector<std::string> PendingRenames(const RegValue& value = PendingRenameValue());

// What a restart of Windows carries out, as Wine's wineboot does it whatever
// the family: the lines of WinInit.Ini, then the NT family's list of moves.
void CarryOutRestart();

// The journal of a run's file steps, which the next run undoes when it is left.
inline std::string JournalPath() { return WindowsDir() + "\\Wardhavn.Jnl"; }

// Where the product's help files go: the Windows help directory.
std::string WindowsHelpDir();
// Deterministic bytes that do not compress (so volume sizes are predictable).
std::string NoiseBytes(size_t size, uint32_t seed);
// Runs a console program of this tree and waits; its output lands in `output`.
DWORD RunTool(const std::string& commandLine, std::string& output);
std::string BuiltWardpackPath();
// The sample product as this build makes it (<tree>\sample), and one of its
// files as the build ships it: the uninstaller removes only files of that content.
std::string BuiltSample();
ProductFile Shipped(const std::string& name);
// The path's short form from the system, or the path itself when it has none.
std::string ShortPathOf(const std::string& path);

// The Winlogon "Shell" value where the family's logon reads it; under WOW64
// as the 64-bit reg.exe reads it, not through this 32-bit process's view.
std::string LogonShellValue();

std::string FamilyParamName(const testing::TestParamInfo<Family>& info);

// Paths compare ignoring case: Windows keeps whichever spelling it was given.
std::string Lower(std::string s);
std::vector<std::string> Lower(std::vector<std::string> v);

#define INSTANTIATE_FOR_BOTH_FAMILIES(suite) \
    INSTANTIATE_TEST_SUITE_P(Families, suite, testing::Values(Family::nt, Family::win98), FamilyParamName)

// Both families in a 32-bit prefix; in a 64-bit one the NT family under WOW64 alone.
std::vector<Family> FamiliesHere();
#define INSTANTIATE_FOR_EVERY_FAMILY(suite) \
    INSTANTIATE_TEST_SUITE_P(Families, suite, testing::ValuesIn(FamiliesHere()), FamilyParamName)

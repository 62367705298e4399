// A fresh stage for one installer run: a scratch "disk" folder holding a copy
// of Setup.exe, no WinInit.Ini left from an earlier run, and the Windows family
// the test asks for.
#pragma once

#include <gtest/gtest.h>

#include "tests/wine/driver.h"
#include "tests/wine/registry_probe.h"

// What a finished installation changes outside its own folders: the uninstall
// entry, the shell settings and the Programs folder. Saved before each test and
// put back after it.
struct SystemState {
    RegValue winlogonShell;
    std::string systemIni;
    std::vector<std::string> programs;  // file names in the Programs folder
    static SystemState Save();
    void Restore() const;
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
    // Declines the prompts that follow the options page and expects a clean exit.
    void FinishAfterOptions();

    HWND WaitProgressPage(bool& interim);

    std::string scratch_;   // C:\whtest\<test>
    std::string disk_;      // scratch\disk1, where Setup.exe runs from
    std::string setupPath_;
    std::string installDir_;  // scratch\Wardhaven, where AdvanceToPage installs
    bool interimProgress_ = false;  // a progress page was still a bare template: nothing unpacked
    SystemState saved_;
    std::unique_ptr<SetupRun> run_;
};

std::string FamilyParamName(const testing::TestParamInfo<Family>& info);

#define INSTANTIATE_FOR_BOTH_FAMILIES(suite) \
    INSTANTIATE_TEST_SUITE_P(Families, suite, testing::Values(Family::nt, Family::win98), FamilyParamName)

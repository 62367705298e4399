// A fresh stage for one installer run: a scratch "disk" folder holding a copy
// of Setup.exe, no WinInit.Ini left from an earlier run, and the Windows family
// the test asks for.
#pragma once

#include <gtest/gtest.h>

#include "tests/wine/driver.h"

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
    // Answers every page before the one captioned `caption` as a person taking
    // the defaults would, except that the destination is installDir_; returns
    // that page (0 and a failure when another window comes instead).
    HWND AdvanceToPage(const std::string& caption);

    std::string scratch_;   // C:\whtest\<test>
    std::string disk_;      // scratch\disk1, where Setup.exe runs from
    std::string setupPath_;
    std::string installDir_;  // scratch\INST, in capitals as the destination box writes it
    bool interimPages_ = false;  // the destination page was still the bare template: no directory chosen
    std::unique_ptr<SetupRun> run_;
};

std::string FamilyParamName(const testing::TestParamInfo<Family>& info);

#define INSTANTIATE_FOR_BOTH_FAMILIES(suite) \
    INSTANTIATE_TEST_SUITE_P(Families, suite, testing::Values(Family::nt, Family::win98), FamilyParamName)

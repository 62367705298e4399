// The sample product's programs, built without a C runtime like the installer:
// each starts, shows its window (the uninstaller its question) under its own
// caption and ends when closed.
#include "tests/wine/installer_fixture.h"

namespace {

struct SampleProgram {
    const char* file;
    const char* caption;
    int closeButton;
};

// The uninstaller asks first; No leaves everything as it was.
const SampleProgram samplePrograms[] = {
    {"Wardhavn.Exe", "Wardhaven!", IDOK},
    {"TaskMan.Exe", "Wardhaven! Task Manager", IDOK},
    {"UnInstal.Exe", "Wardhaven!", IDNO},
};

std::string BuiltSamplePath(const char* file) { return BuiltSample() + "\\" + file; }

}  // namespace

class SamplePrograms : public testing::TestWithParam<Family> {};

TEST_P(SamplePrograms, EachStartsShowsItselfAndEndsWhenClosed) {
    for (const SampleProgram& program : samplePrograms) {
        SetupRun run(BuiltSamplePath(program.file), GetParam());
        HWND window = run.WaitWindow(program.caption);
        ASSERT_NE(window, nullptr) << program.file;
        Click(window, program.closeButton);
        EXPECT_EQ(run.WaitExit(), 0u) << program.file;
    }
}

INSTANTIATE_FOR_BOTH_FAMILIES(SamplePrograms);

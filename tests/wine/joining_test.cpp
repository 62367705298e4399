// Joining the volumes: where they are found, the disk prompts, cancelling,
// empty and read-only volumes.
#include "tests/wine/engine_scenario.h"

class Joining : public EngineTest {};

TEST_P(Joining, AllVolumesBesideInstallWithoutAPrompt) {
    StageDiskSet(product_, "9000,9000");
    PassQuestionPages();
    ASSERT_NE(WaitProgress("Uncompressing the Wardhaven! files."), nullptr);
    FinishAfterUnpacking();
    ExpectInstalled(installDir_, product_);
    EXPECT_FALSE(FileExists(InstalledFile("Wardhaven._ZX")));
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
}

INSTANTIATE_FOR_BOTH_FAMILIES(Joining);

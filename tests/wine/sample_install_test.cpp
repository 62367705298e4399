// The full-size sample product, installed from its three floppies as a person
// would: disk 1 in the drive, disks 2 and 3 put in its place when asked for.
// signed-sample.sh makes the disk set, signed, and its floppy images
// (WH_SAMPLE_DISKSET names its folder); the disks are the images' files as
// mtools reads them back, in its images\disk1..3. Without it the scenario is
// skipped.
#include "tests/wine/engine_scenario.h"

class FullSample : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        char dir[MAX_PATH] = "";
        if (!GetEnvironmentVariableA("WH_SAMPLE_DISKSET", dir, sizeof dir)) GTEST_SKIP() << "no WH_SAMPLE_DISKSET";
        set_ = dir;
        product_.clear();
        WIN32_FIND_DATAA data;
        HANDLE h = FindFirstFileA((set_ + "\\product\\*").c_str(), &data);
        if (h != INVALID_HANDLE_VALUE) {
            do
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    product_.push_back({data.cFileName, ReadFileText(set_ + "\\product\\" + data.cFileName)});
            while (FindNextFileA(h, &data));
            FindClose(h);
        }
        // ExpectInstalled takes the first file as the main executable.
        for (size_t i = 0; i < product_.size(); ++i)
            if (product_[i].name == "Wardhavn.Exe") std::swap(product_[0], product_[i]);
    }
    std::string FromImage(int k) const { return set_ + "\\images\\disk" + std::to_string(k); }
    std::string set_;
};

TEST_P(FullSample, InstallsFromThreeFloppies) {
    ASSERT_GE(product_.size(), 31u);
    ASSERT_EQ(product_[0].name, "Wardhavn.Exe");
    // The signed installer with a byte of its table flipped is refused.
    ASSERT_TRUE(CopyFileTo(set_ + "\\flipped\\Setup.exe", setupPath_));
    PassQuestionPages();
    ExpectErrorReport("Damaged package table in " + setupPath_ + "\n", "the table does not match its checksum");
    run_.reset();
    DeleteFileA(WinInitPath().c_str());
    ASSERT_TRUE(ChangeDisk(disk_, FromImage(1)));
    ASSERT_TRUE(FileExists(setupPath_)) << "no Setup.exe on the first image";
    PassQuestionPages();
    for (int k = 2; k <= 3; ++k) {
        HWND prompt = run_->WaitWindow("Wardhaven!", 60000);
        ASSERT_NE(prompt, nullptr);
        EXPECT_EQ(MessageText(prompt), "Please Insert Disk number " + std::to_string(k));
        ASSERT_TRUE(ChangeDisk(disk_, FromImage(k)));
        ASSERT_FALSE(FileExists(VolumeBeside(k - 1))) << "the disk before is still in the drive";
        Click(prompt, IDOK);
        ASSERT_TRUE(run_->WaitGone(prompt));
    }
    HWND unpacking = WaitProgress(unpackingLabel, 60000);
    ASSERT_NE(unpacking, nullptr);
    ASSERT_TRUE(run_->WaitGone(unpacking, 600000));
    FinishInstallation();
    ExpectInstalled(installDir_, product_);
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
}

INSTANTIATE_FOR_BOTH_FAMILIES(FullSample);

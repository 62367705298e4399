// Joining the volumes: where they are found, the disk prompts, cancelling, a
// quit message, empty and read-only volumes.
#include <functional>

#include "tests/crc_forge.h"
#include "tests/wine/engine_scenario.h"

namespace {

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

const char* const wrongDisk = "This is not the appropriate disk.\r\nPlease insert the correct disk and Press Enter";

}  // namespace

class Joining : public EngineTest {
protected:
    // The disk prompt for disk k, checked and returned.
    HWND WaitDiskPrompt(int k) {
        HWND box = run_->WaitWindow("Wardhaven!");
        if (box) {
            EXPECT_EQ(MessageText(box), "Please Insert Disk number " + std::to_string(k));
        }
        return box;
    }
    void Answer(HWND box, int id) {
        Click(box, id);
        EXPECT_TRUE(run_->WaitGone(box));
    }
    // Disk 3 asked for while the archive holds volumes 1 and 2 exactly; given, the installation ends.
    void FinishFromDisk3() {
        HWND prompt = WaitDiskPrompt(3);
        ASSERT_NE(prompt, nullptr);
        EXPECT_TRUE(ReadShared(InstalledFile("Wardhaven._ZX")) == VolumesJoined(2));
        InsertVolume(3);
        Answer(prompt, IDOK);
        ASSERT_NE(WaitProgress(unpackingLabel), nullptr);
        FinishInstallation();
        ExpectInstalled(installDir_, product_);
    }
    // Another product of the same file sizes (a marker and zeros), its stream's
    // last bytes chosen to give the set's stream CRC-32, packed by the tool
    // into volume 1's length, whose last bytes give that volume's CRC-32.
    std::string ForgedFirstVolume(const std::string& volume) {
        std::string stream, original;
        for (const ProductFile& f : product_) {
            std::string bytes(f.content.size(), '\0');
            size_t marker = std::min<size_t>(7, bytes.size());
            original += f.content;
            stream += bytes.replace(0, marker, "forged!", marker);
        }
        RestoreCrc32(reinterpret_cast<uint8_t*>(&stream[0]), stream.size(), Crc32Update(0, original.data(), original.size()));
        std::string in = scratch_ + "\\forged.bin", out = scratch_ + "\\forged.lzh", log;
        EXPECT_TRUE(WriteFileText(in, stream));
        EXPECT_EQ(RunTool("\"" + BuiltWardpackPath() + "\" -q encode \"" + in + "\" \"" + out + "\"", log), 0u) << log;
        std::string forged = ReadFileText(out);
        EXPECT_LT(forged.size() + 4, volume.size());
        forged.resize(volume.size());
        RestoreCrc32(reinterpret_cast<uint8_t*>(&forged[0]), forged.size(), Crc32Update(0, volume.data(), volume.size()));
        return forged;
    }
    std::string VolumesJoined(int last) {
        std::string all;
        for (int k = 1; k <= last; ++k) all += ReadFileText(VolumeInSet(k));
        return all;
    }
};

TEST_P(Joining, AllVolumesBesideInstallWithoutAPrompt) {
    StageDiskSet(product_, "9000,9000");
    PassQuestionPages();
    // No prompt can have come between: the unpacking page follows directly.
    ASSERT_NE(WaitProgress(unpackingLabel), nullptr);
    EXPECT_EQ(run_->FindWindowNow("Wardhaven!"), nullptr);
    FinishInstallation();
    ExpectInstalled(installDir_, product_);
    EXPECT_FALSE(FileExists(InstalledFile("Wardhaven._ZX")));
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
}

TEST_P(Joining, MissingDiskOkShowsWrongDiskThenAsksAgain) {
    StageDiskSet(product_, "9000,9000", false);
    PassQuestionPages();
    HWND prompt = WaitDiskPrompt(2);
    ASSERT_NE(prompt, nullptr);
    Answer(prompt, IDOK);
    HWND wrong = run_->WaitWindow("");
    ASSERT_NE(wrong, nullptr);
    EXPECT_EQ(MessageText(wrong), wrongDisk);
    EXPECT_EQ(GetDlgItem(wrong, IDCANCEL), nullptr) << "the wrong-disk box has OK alone";
    Answer(wrong, IDOK);
    prompt = WaitDiskPrompt(2);
    ASSERT_NE(prompt, nullptr);
    InsertVolume(2);
    Answer(prompt, IDOK);
    FinishFromDisk3();
}

TEST_P(Joining, AVolumeThatFailsItsCheckIsTakenOutAndAnotherCopyAskedFor) {
    // A worn copy (one bit flipped), then another set's disk (another length):
    // each is refused at its disk; a sound copy then goes on, a Cancel abandons.
    // Last another product packed into disk 1's volume, its CRC-32 and the
    // decoded stream's restored by four chosen bytes each: refused by its
    // SHA-256 before a file of it is placed.
    const struct {
        const char* what;
        int disk;
        std::function<std::string(std::string)> damage;
        std::string told;
        bool thenSound;
    } cases[] = {
        {"a flipped bit", 2, [](std::string v) { return v[v.size() / 2] ^= 0x10, v; },
         "Disk 2 is damaged: Wardhavn.002 on it does not hold what disk 2 of this set holds.", true},
        {"another length", 2, [](std::string v) { return v + "x"; },
         "The disk in the drive is not disk 2 of this set, or its Wardhavn.002 is incomplete.", false},
        {"another product, its CRC-32s restored", 1, [this](std::string v) { return ForgedFirstVolume(v); },
         "Disk 1 is damaged: Wardhavn.001 on it does not hold what disk 1 of this set holds.", false},
    };
    StageDiskSet(product_, "9000,9000", false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string n = std::to_string(c.disk);
        const std::string again =
            "\r\nInsert another copy of disk " + n + " and press OK, or press Cancel to stop the installation.";
        run_.reset();
        RemoveTree(installDir_);  // the product a sound copy installed
        RemoveHelpFiles(product_);
        ASSERT_TRUE(WriteFileText(VolumeBeside(1), ReadFileText(VolumeInSet(1))));
        DeleteFileA(VolumeBeside(2).c_str());
        DeleteFileA(VolumeBeside(3).c_str());
        if (c.disk == 1) ASSERT_TRUE(WriteFileText(VolumeBeside(1), c.damage(ReadFileText(VolumeInSet(1)))));
        PassQuestionPages();
        if (c.disk == 2) {
            HWND prompt = WaitDiskPrompt(2);
            ASSERT_NE(prompt, nullptr);
            ASSERT_TRUE(WriteFileText(VolumeBeside(2), c.damage(ReadFileText(VolumeInSet(2)))));
            Answer(prompt, IDOK);
        }
        HWND refusal = run_->WaitWindow("Wardhaven!");
        ASSERT_NE(refusal, nullptr);
        EXPECT_EQ(MessageText(refusal), c.told + again);
        // The bytes that failed are out of the archive again.
        EXPECT_TRUE(ReadShared(InstalledFile("Wardhaven._ZX")) == VolumesJoined(c.disk - 1));
        if (!c.thenSound) {
            Answer(refusal, IDCANCEL);
            ExpectTerminated();
            EXPECT_FALSE(FileExists(InstalledFile("Wardhaven._ZX")));
            for (size_t i = 0; i < product_.size(); ++i)
                EXPECT_FALSE(FileExists(PlacedPath(installDir_, i ? product_[i].name : "Wardhavn.Exe")))
                    << product_[i].name;
            continue;
        }
        InsertVolume(2);
        Answer(refusal, IDOK);
        FinishFromDisk3();
    }
}

TEST_P(Joining, DiskInsertedWhileAskedThenCancelCopiesIt) {
    StageDiskSet(product_, "9000,9000", false);
    PassQuestionPages();
    HWND prompt = WaitDiskPrompt(2);
    ASSERT_NE(prompt, nullptr);
    InsertVolume(2);
    Answer(prompt, IDCANCEL);
    prompt = WaitDiskPrompt(3);
    ASSERT_NE(prompt, nullptr);
    InsertVolume(3);
    Answer(prompt, IDCANCEL);
    ASSERT_NE(WaitProgress(unpackingLabel), nullptr);
    FinishInstallation();
    ExpectInstalled(installDir_, product_);
}

TEST_P(Joining, MissingDiskCancelAbandons) {
    StageDiskSet(product_, "9000,9000", false);
    PassQuestionPages();
    HWND prompt = WaitDiskPrompt(2);
    ASSERT_NE(prompt, nullptr);
    EXPECT_TRUE(ReadShared(InstalledFile("Wardhaven._ZX")) == VolumesJoined(1));
    Answer(prompt, IDCANCEL);
    ExpectTerminated();
    EXPECT_FALSE(FileExists(InstalledFile("Wardhaven._ZX")));
    EXPECT_FALSE(FileExists(InstalledFile("Wardhavn.Exe")));
    EXPECT_FALSE(DirExists(installDir_)) << "the folder the page made, empty again";
}

TEST_P(Joining, CancelWhileCopyingStopsAfterTheBlock) {
    StageDiskSet(product_, "9000,9000");
    // A first volume far larger than a floppy keeps the copy busy long enough
    // to press Cancel; it is never decoded.
    const size_t big = 8 << 20;
    ASSERT_TRUE(WriteFileText(VolumeBeside(1), NoiseBytes(big, 9)));
    PassQuestionPages();
    HWND page = WaitProgress(joiningLabel);
    ASSERT_NE(page, nullptr);
    Click(page, IDCANCEL);
    HWND question = run_->WaitWindow("Exit Wardhaven!");
    ASSERT_NE(question, nullptr);
    // Copying waits for the answer; what was copied is whole blocks.
    size_t copied = ReadShared(InstalledFile("Wardhaven._ZX")).size();
    EXPECT_GT(copied, 0u);
    EXPECT_LT(copied, big) << "the copy ended before Cancel was pressed";
    EXPECT_EQ(copied % 2048, 0u);
    Answer(question, IDYES);
    // No disk is asked for after a cancel.
    ExpectTerminated();
    EXPECT_FALSE(FileExists(InstalledFile("Wardhaven._ZX")));
}

TEST_P(Joining, QuitMessageWhileCopyingIsDropped) {
    StageDiskSet(product_, "9000,9000", false);
    DropIntegrityRecord();  // the volume below is not the set's
    const uint64_t big = 16 << 20;  // copied for about a second; never decoded
    ASSERT_TRUE(WriteZeros(VolumeBeside(1), big));
    PassQuestionPages();
    HWND page = WaitProgress(joiningLabel);
    ASSERT_NE(page, nullptr);
    DWORD thread = GetWindowThreadProcessId(page, nullptr);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(PostThreadMessageA(thread, WM_QUIT, 0, 0));
        Sleep(20);
    }
    EXPECT_LT(FileSize(InstalledFile("Wardhaven._ZX")), big) << "the copy ended before the quit messages";
    // A quit left in the queue would end the disk prompt's loop at once.
    HWND prompt = WaitDiskPrompt(2);
    ASSERT_NE(prompt, nullptr);
    Settle(300);
    EXPECT_TRUE(IsWindowVisible(prompt));
    EXPECT_EQ(FileSize(InstalledFile("Wardhaven._ZX")), big) << "the first volume is copied whole";
    Answer(prompt, IDCANCEL);
    ExpectTerminated();
    DeleteFileA(VolumeBeside(1).c_str());
}

TEST_P(Joining, EmptyVolumeCopiesNothingAndTheNextDiskIsAskedFor) {
    StageDiskSet(product_, "0,9000", false);
    ASSERT_EQ(ReadFileText(VolumeBeside(1)).size(), 0u);
    PassQuestionPages();
    HWND prompt = WaitDiskPrompt(2);
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(ReadShared(InstalledFile("Wardhaven._ZX")).size(), 0u);
    InsertVolume(2);
    InsertVolume(3);
    Answer(prompt, IDOK);
    ASSERT_NE(WaitProgress(unpackingLabel), nullptr);
    FinishInstallation();
    ExpectInstalled(installDir_, product_);
}

TEST_P(Joining, ReadOnlyMediaInstall) {
    StageDiskSet(product_, "9000,9000");
    // As on a write-protected floppy or a CD: read-only files that another
    // program reads and no one may write. An open asking for write access fails.
    std::vector<std::unique_ptr<HeldFile>> held;
    for (int k = 1; k <= 3; ++k) {
        ASSERT_TRUE(SetFileAttributesA(VolumeBeside(k).c_str(), FILE_ATTRIBUTE_READONLY));
        held.emplace_back(new HeldFile(VolumeBeside(k), GENERIC_READ, FILE_SHARE_READ));
        ASSERT_TRUE(held.back()->Ok());
        HeldFile writer(VolumeBeside(k), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_FALSE(writer.Ok()) << "volume " << k << " could be opened for writing";
    }
    ASSERT_TRUE(SetFileAttributesA(setupPath_.c_str(), FILE_ATTRIBUTE_READONLY));
    PassQuestionPages();
    ASSERT_NE(WaitProgress(unpackingLabel), nullptr);
    FinishInstallation();
    ExpectInstalled(installDir_, product_);
}

TEST_P(Joining, FolderNameTheCodePageCannotSayInstallsThroughItsShortNameOrIsRefusedBeforeAnyPage) {
    if (GetACP() != 1252) GTEST_SKIP() << "for the Western code page, which has no Cyrillic";
    std::wstring disk = Wide(scratch_) + L"\\\u041D\u0430\u0431\u043E\u0440 \u0434\u0438\u0441\u043A\u043E\u0432\\";
    StageDiskSet(product_, "9000,9000");
    CreateDirectoryW(disk.c_str(), nullptr);
    for (const std::string& name : FilesIn(disk_))
        ASSERT_TRUE(CopyFileW(Wide(disk_ + "\\" + name).c_str(), (disk + Wide(name)).c_str(), FALSE)) << name;
    run_.reset(new SetupRun(disk + L"Setup.exe", GetParam()));
    if (GetParam() == Family::nt) {
        PassQuestionPages();
        FinishInstallation();
        return ExpectInstalled(installDir_, product_);
    }
    HWND box = run_->WaitWindow("Wardhaven!");  // the first window; nothing is written before it
    EXPECT_EQ(MessageText(box), "This folder's name is too long or not plain: start Setup from another folder.");
    Click(box, IDOK);
    EXPECT_EQ(run_->WaitExit(), 1u);
    EXPECT_FALSE(FileExists(WinInitPath()));
}

INSTANTIATE_FOR_BOTH_FAMILIES(Joining);

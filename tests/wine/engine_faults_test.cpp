// Damage the installer must refuse rather than install: a package table that
// points outside the installation directory or out of the stream, a cut-short
// archive or one far shorter than its table says, an archive held by another
// program, a missing first volume. Each ends with the error report, and
// nothing is placed.
#include <cstring>

#include "engine/integrity_record.h"
#include "resources/resource.h"
#include "runtime/crc32.h"
#include "tests/wine/engine_scenario.h"

namespace {

// The package table at the end of an installer image, edited in place. Edited
// by hand, the table has no integrity record: its checksum would no longer hold.
class TableImage {
public:
    explicit TableImage(const std::string& path) : path_(path), image_(ReadFileText(path)) {
        size_t body = IntegrityRecordBody(image_);
        if (body != std::string::npos) image_.erase(body, image_.size() - 5 - 28 * Count() - body);
    }
    int Count() const { return static_cast<uint8_t>(image_[image_.size() - 5]); }
    void SetName(int entry, const std::string& name, int length = -1) {
        char* r = Record(entry);
        r[0] = static_cast<char>(length < 0 ? name.size() : length);
        std::memcpy(r + 1, name.data(), name.size() < 19 ? name.size() : 19);
    }
    void SetOffset(int entry, int32_t v) { std::memcpy(Record(entry) + 20, &v, 4); }
    void SetSize(int entry, int32_t v) { std::memcpy(Record(entry) + 24, &v, 4); }
    int32_t Offset(int entry) { return Get(Record(entry) + 20); }
    int32_t DecodedLength() { return Get(&image_[image_.size() - 4]); }
    void SetDecodedLength(int32_t v) { std::memcpy(&image_[image_.size() - 4], &v, 4); }
    bool Save() { return WriteFileText(path_, image_); }

private:
    char* Record(int entry) { return &image_[image_.size() - 5 - 28 * (Count() - entry + 1)]; }  // 1-based
    static int32_t Get(const char* p) {
        int32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    std::string path_, image_;
};

struct Damage {
    const char* what;
    void (*apply)(TableImage&);
    const char* reported;  // a line of the report
};

// Entries of SmallProduct: 1 Tools.Dll, 2 Guide.HLP, 3 Empty.Dat, 4 Two.Dat, ...
const Damage damages[] = {
    {"a parent directory", [](TableImage& t) { t.SetName(1, "..\\Evil.Dll"); },
     "entry 1 (..\\Evil.Dll): name has a directory part"},
    {"a drive", [](TableImage& t) { t.SetName(1, "C:Evil.Dll"); }, "entry 1 (C:Evil.Dll): name has a directory part"},
    {"a slash", [](TableImage& t) { t.SetName(4, "/Evil.Dat"); }, "entry 4 (/Evil.Dat): name has a directory part"},
    {"dots alone", [](TableImage& t) { t.SetName(4, ".."); }, "entry 4 (..): name ends in a dot or a space"},
    {"a device", [](TableImage& t) { t.SetName(4, "AUX.Dat"); }, "entry 4 (AUX.Dat): name is a reserved device name"},
    {"a console device", [](TableImage& t) { t.SetName(4, "conin$ .Dat"); },
     "entry 4 (conin$ .Dat): name is a reserved device name"},
    {"the main executable's name", [](TableImage& t) { t.SetName(4, "WARDHAVN.EXE"); },
     "entry 4 (WARDHAVN.EXE): name is the main executable's"},
    {"its staged name", [](TableImage& t) { t.SetName(2, "wardhavn.$$$"); },
     "entry 2 (wardhavn.$$$): name is the main executable's"},
    {"a name too long", [](TableImage& t) { t.SetName(4, "Two.Dat", 40); }, "entry 4: name length 40, at most 19"},
    {"a negative size", [](TableImage& t) { t.SetSize(2, -3000); }, "entry 2 (Guide.HLP): negative size -3000"},
    {"a negative offset", [](TableImage& t) { t.SetOffset(3, -100); }, "entry 3 (Empty.Dat): offset -100"},
    {"overlapping entries", [](TableImage& t) { t.SetOffset(4, t.Offset(4) - 100); }, "entry 4 (Two.Dat): offset"},
    {"an entry beyond the stream", [](TableImage& t) { t.SetDecodedLength(t.DecodedLength() - 500); },
     "decoded length"},
};

}  // namespace

class EngineFaults : public EngineTest {
protected:
    void ExpectNothingInstalled() {
        EXPECT_FALSE(FileExists(InstalledFile("Wardhaven._ZX")));
        EXPECT_FALSE(FileExists(InstalledFile("Wardhavn.Exe")));
        for (size_t i = 1; i < product_.size(); ++i)
            EXPECT_FALSE(FileExists(PlacedPath(installDir_, product_[i].name))) << product_[i].name;
        EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
    }
};

TEST_P(EngineFaults, DamagedTableIsRefusedBeforeAnythingIsCopied) {
    StageDiskSet(product_, "9000,9000");
    std::string pristine = ReadFileText(setupPath_);
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        ASSERT_TRUE(WriteFileText(setupPath_, pristine));
        DeleteFileA(WinInitPath().c_str());
        TableImage table(setupPath_);
        ASSERT_EQ(table.Count(), static_cast<int>(product_.size()) - 1);
        d.apply(table);
        ASSERT_TRUE(table.Save());
        run_.reset();
        PassQuestionPages();
        ExpectErrorReport("Damaged package table in " + setupPath_ + "\n", d.reported);
        ExpectNothingInstalled();
        EXPECT_FALSE(FileExists(scratch_ + "\\Evil.Dll"));
        EXPECT_FALSE(FileExists("C:\\Evil.Dll"));
    }
}

// A worn record is disk 1's damage: never read as no record (a bit of its
// signature, 8 bytes of it cut), never blamed on a sound disk 2 (a bit of
// volume 2's CRC-32), nor left to fail the unpacked files (the stream's).
TEST_P(EngineFaults, WornRecordIsRefusedAsDiskOnesDamageBeforeAnythingIsCopied) {
    StageDiskSet(product_, "9000,9000");
    const std::string pristine = ReadFileText(setupPath_);
    const size_t body = IntegrityRecordBody(pristine), tail = body + integrity::BodySize(3);
    for (size_t at : {tail + 6, size_t(0), body + 28, body + 12}) {  // 0: the signature's 8 bytes cut
        std::string image = pristine;
        if (at) image[at] ^= 0x02;
        else image.erase(tail + 4, 8);
        ASSERT_TRUE(WriteFileText(setupPath_, image));
        DeleteFileA(WinInitPath().c_str());
        run_.reset();
        PassQuestionPages();
        ExpectErrorReport("Damaged package table in " + setupPath_ + "\n", "disk 1 is damaged");
        ExpectNothingInstalled();
    }
}

TEST_P(EngineFaults, CutShortArchiveIsReportedAndNothingIsPlaced) {
    MakeDirs(installDir_);
    ASSERT_TRUE(WriteFileText(InstalledFile("Wardhavn.Exe"), "the earlier version"));
    StageDiskSet(product_, "9000,9000");
    DropIntegrityRecord();  // with one, the short volume is refused at its disk
    std::string last = ReadFileText(VolumeBeside(3));
    ASSERT_TRUE(WriteFileText(VolumeBeside(3), last.substr(0, last.size() - 300)));
    PassQuestionPages();
    ExpectErrorReport("Read beyond end of file: " + TypedInstallDir() + "\\Wardhaven._ZX",
                      " (the archive is incomplete: a volume was cut short).");
    // The earlier version stays, and no rename would replace it.
    EXPECT_EQ(ReadFileText(InstalledFile("Wardhavn.Exe")), "the earlier version");
    EXPECT_FALSE(FileExists(InstalledFile("Wardhavn.$$$")));
    EXPECT_FALSE(FileExists(InstalledFile("Wardhaven._ZX")));
    for (size_t i = 1; i < product_.size(); ++i)
        EXPECT_FALSE(FileExists(PlacedPath(installDir_, product_[i].name))) << product_[i].name;
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
}

// A table that is sound in itself but names a stream of almost 2 GB, over
// volumes of a few kilobytes: the decoder must stop where the archive ends,
// not fill the disk, and the report must come at once.
TEST_P(EngineFaults, HugeDecodedLengthOverTinyVolumesIsReportedPromptly) {
    StageSmallDiskSet(true);
    TableImage table(setupPath_);
    int last = table.Count();
    table.SetSize(last, INT32_MAX - table.Offset(last));
    table.SetDecodedLength(INT32_MAX);
    ASSERT_TRUE(table.Save());
    PassQuestionPages();
    ASSERT_NE(WaitProgress(unpackingLabel), nullptr);
    DWORD start = GetTickCount();
    ExpectErrorReport("Read beyond end of file: " + TypedInstallDir() + "\\Wardhaven._ZX",
                      " (the archive is incomplete: a volume was cut short).");
    EXPECT_LT(GetTickCount() - start, 5000u) << "ms from the unpacking page to the report";
    EXPECT_FALSE(DirExists(installDir_)) << "the folder the run made goes with all it held";
    EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
}

TEST_P(EngineFaults, DecodedStreamThatFailsTheRecordsChecksumIsRefusedAtUnpacking) {
    StageDiskSet(product_, "9000,9000");
    // Volumes that pass their checks, a stream digest that does not hold in
    // a record sound in itself (resealed with its own CRC-32).
    std::string image = ReadFileText(setupPath_);
    size_t body = IntegrityRecordBody(image), fields = integrity::BodySize(3) - 4;
    ASSERT_NE(body, std::string::npos);
    image[body + integrity::DigestsAt(3)] ^= 0x01;
    uint32_t seal = Crc32Update(0, &image[body], fields);
    std::memcpy(&image[body + fields], &seal, 4);
    ASSERT_TRUE(WriteFileText(setupPath_, image));
    PassQuestionPages();
    ExpectErrorReport("Invalid data: " + TypedInstallDir() + "\\Wardhavn.Exe",
                      " (the unpacked files do not match the disk set's digest: the archive is damaged).");
    ExpectNothingInstalled();
}

// The page asks for the run's peak, 2,964 KB: 372 clusters of stream beside
// 369 of files. A drive with that much free installs. Another program taking
// two clusters of it after the page ends the run as a failure: nothing the
// run added stays, and a file that was there before stays with its content.
TEST_P(EngineFaults, DriveWithThePagesFigureInstallsAndFilledAfterThePageKeepsNothingAdded) {
    product_ = {{"Wardhavn.Exe", NoiseBytes(20000, 1)}, {"Old.Dat", "new"}, {"New.Dat", "new"},
                {"Big.Dat", std::string(1500000, 'a')}};  // 1,523,006 bytes of stream in a small archive
    installDir_ = "H:\\WARD";
    StageDiskSet(product_, "3000,3000", false);
    for (size_t taken : {8192, 0}) {
        SmallDrive drive(2964 + 4);  // and Old.Dat's cluster
        if (!drive.mounted) GTEST_SKIP() << "mounting a small drive needs root";
        MakeDirs(installDir_);
        ASSERT_TRUE(WriteFileText(InstalledFile("Old.Dat"), "old"));
        DeleteFileA(VolumeBeside(2).c_str());
        DeleteFileA(VolumeBeside(3).c_str());
        run_.reset();
        PassQuestionPages();
        HWND prompt = run_->WaitWindow("Wardhaven!");
        ASSERT_TRUE(WriteFileText("H:\\filler", std::string(taken, 'f')));
        InsertVolume(2);
        InsertVolume(3);
        Click(prompt, IDOK);
        run_->WaitGone(prompt);
        if (taken == 0) {
            FinishInstallation();
            ExpectInstalled(installDir_, product_);
            continue;
        }
        ExpectFailedInstallation("Disk full: H:\\WARD\\Big.Dat");
        EXPECT_EQ(FilesIn(installDir_), std::vector<std::string>{"Old.Dat"});
        EXPECT_EQ(ReadFileText(InstalledFile("Old.Dat")), "old");
        EXPECT_EQ(ReadFileText(WinInitPath()), "[Rename]\r\n");
    }
}

// A file of the archive's name is not the run's (one it left when cut off is
// undone at start-up): the folder is refused before the file is touched,
// whether another program holds it or not.
TEST_P(EngineFaults, AFileOfTheArchivesNameIsRefusedOnTheDestinationPageAndKept) {
    MakeDirs(installDir_);
    ASSERT_TRUE(WriteFileText(InstalledFile("Wardhaven._ZX"), "the user's own"));
    StageDiskSet(product_, "9000,9000");
    for (bool held : {true, false}) {
        std::unique_ptr<HeldFile> holder;
        if (held) holder.reset(new HeldFile(InstalledFile("Wardhaven._ZX"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
        HWND page = AdvanceToPage("Destination Directory");
        ASSERT_NE(page, nullptr);
        SetItemText(page, IDC_DESTINATION_EDIT, installDir_);
        PressEnter(page);
        HWND box = run_->WaitWindow("Wardhaven!");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageText(box), "Setup cannot write to " + TypedInstallDir() + ": File exists.") << held;
        Click(box, IDOK);
        run_->WaitGone(box);
        EscapeAndConfirm(page);
        ExpectTerminated();
        run_.reset();
        EXPECT_EQ(ReadFileText(InstalledFile("Wardhaven._ZX")), "the user's own");
        EXPECT_EQ(FilesIn(installDir_), std::vector<std::string>{"Wardhaven._ZX"});
    }
}

TEST_P(EngineFaults, MissingFirstVolumeIsReported) {
    StageDiskSet(product_, "9000,9000");
    ASSERT_TRUE(DeleteFileA(VolumeBeside(1).c_str()));
    PassQuestionPages();
    ExpectFailedInstallation("File not found: " + VolumeBeside(1));
    ExpectNothingInstalled();
}

TEST_P(EngineFaults, VolumesPastTheSigned32BitCountAreRefusedBeforeTheyAreCopied) {
    StageDiskSet(product_, "9000,9000");
    // With volume 1's 9,000 bytes, one byte more than 2,147,483,647.
    ASSERT_TRUE(SetFileLength(VolumeBeside(2), (uint64_t(1) << 31) - 9000));
    PassQuestionPages();
    ExpectErrorReport("File too large: " + VolumeBeside(2), " (the volumes add up to more than 2,147,483,647 bytes).");
    // The archive of volume 1 alone goes, and the folder the run made with it.
    EXPECT_FALSE(DirExists(installDir_));
    DeleteFileA(VolumeBeside(2).c_str());
}

INSTANTIATE_FOR_BOTH_FAMILIES(EngineFaults);

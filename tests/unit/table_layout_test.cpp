#include <gtest/gtest.h>

#include "runtime/code_page.h"
#include "tools/table_file.h"

namespace {

std::vector<uint8_t> FileWithTable(std::size_t imageSize, const table::PackageTable& t) {
    std::vector<uint8_t> file(imageSize, 0xCC);
    std::vector<uint8_t> bytes = table::Serialise(t);
    file.insert(file.end(), bytes.begin(), bytes.end());
    return file;
}

table::PackageTable ThreeEntries() {
    table::PackageTable t;
    t.entries = {{"A.DAT", 40000, 1000}, {"B.HLP", 41000, 2500}, {"C.LIB", 43500, 500}};
    t.decodedLength = 44000;
    return t;
}

TEST(TableLayoutTest, WorkedExampleLandsAtTheStatedBytes) {
    // A 100,000-byte installer with 3 entries: records from 99,911, count at 99,995, length at 99,996.
    std::vector<uint8_t> file = FileWithTable(100000 - table::TableSize(3), ThreeEntries());
    ASSERT_EQ(file.size(), 100000u);
    EXPECT_EQ(file[99995], 3);
    EXPECT_EQ(file[99996] | file[99997] << 8 | file[99998] << 16 | file[99999] << 24, 44000);
    EXPECT_EQ(file[99911], 5) << "name length of the first record";
    EXPECT_EQ(std::string(file.begin() + 99912, file.begin() + 99917), "A.DAT");
    EXPECT_EQ(file[99911 + 20] | file[99911 + 21] << 8 | file[99911 + 22] << 16, 40000);

    table::PackageTable back;
    std::string error;
    ASSERT_TRUE(table::Parse(file.data(), file.size(), back, error)) << error;
    ASSERT_EQ(back.entries.size(), 3u);
    EXPECT_EQ(back.entries[1].name, "B.HLP");
    EXPECT_EQ(back.entries[2].offset, 43500);
    EXPECT_EQ(back.entries[2].size, 500);
    EXPECT_EQ(back.decodedLength, 44000);
    EXPECT_TRUE(table::Check(back).empty());
}

TEST(TableLayoutTest, OnlyTheCountedNameBytesAreTheName) {
    table::PackageTable t;
    t.entries = {{"ABCDEFGHIJKLMNOPQRS", 10, 5}};  // 19 characters, the longest
    t.decodedLength = 15;
    std::vector<uint8_t> file = FileWithTable(64, t);
    file[64] = 3;  // leftovers of the longer name stay in the record
    table::PackageTable back;
    std::string error;
    ASSERT_TRUE(table::Parse(file.data(), file.size(), back, error));
    EXPECT_EQ(back.entries[0].name, "ABC");
    file[64] = 19;
    ASSERT_TRUE(table::Parse(file.data(), file.size(), back, error));
    EXPECT_EQ(back.entries[0].name, "ABCDEFGHIJKLMNOPQRS");
}

TEST(TableLayoutTest, LargestAndEmptyTables) {
    table::PackageTable t;
    for (int i = 0; i < 255; ++i) t.entries.push_back({"F" + std::to_string(i), 100 + i, 1});
    t.decodedLength = 355;
    std::vector<uint8_t> file = FileWithTable(10, t);
    EXPECT_EQ(file.size() - 10, 7145u) << "255 records begin 7,145 bytes before the end";
    table::PackageTable back;
    std::string error;
    ASSERT_TRUE(table::Parse(file.data(), file.size(), back, error));
    EXPECT_EQ(back.entries.size(), 255u);
    EXPECT_TRUE(table::Check(back).empty());

    table::PackageTable none;
    none.decodedLength = 1234;
    file = FileWithTable(0, none);
    ASSERT_TRUE(table::Parse(file.data(), file.size(), back, error));
    EXPECT_TRUE(back.entries.empty());
    EXPECT_EQ(back.decodedLength, 1234);
}

TEST(TableLayoutTest, ShortFilesAndImpossibleCountsAreErrors) {
    table::PackageTable back;
    std::string error;
    std::vector<uint8_t> tiny = {1, 2, 3, 4};
    EXPECT_FALSE(table::Parse(tiny.data(), tiny.size(), back, error));
    EXPECT_NE(error.find("too short"), std::string::npos) << error;

    std::vector<uint8_t> file(100, 0);
    file[95] = 200;  // 200 records cannot fit in 100 bytes
    EXPECT_FALSE(table::Parse(file.data(), file.size(), back, error));
    EXPECT_NE(error.find("larger than the data"), std::string::npos) << error;

    std::vector<uint8_t> badLength = FileWithTable(0, ThreeEntries());
    badLength[0] = 20;
    EXPECT_FALSE(table::Parse(badLength.data(), badLength.size(), back, error));
}

TEST(TableLayoutTest, CheckNamesEveryBrokenInvariant) {
    table::PackageTable t = ThreeEntries();
    t.entries[1].offset = 41001;        // a gap
    t.entries[2].name = "a.dat";        // the same name as entry 1 to Windows
    t.decodedLength = 50000;            // not the last offset plus size
    std::vector<std::string> problems = table::Check(t);
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_NE(problems[0].find("offset 41001, expected 41000"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("twice"), std::string::npos) << problems[1];
    EXPECT_NE(problems[2].find("offset 43500, expected 43501"), std::string::npos) << problems[2];
    EXPECT_NE(problems[3].find("decoded length 50000, expected 44000"), std::string::npos) << problems[3];

    table::PackageTable zeroMain = ThreeEntries();
    for (auto& e : zeroMain.entries) e.offset -= 40000;
    zeroMain.decodedLength -= 40000;
    EXPECT_EQ(table::Check(zeroMain).size(), 1u) << "an empty main executable";
}

TEST(TableLayoutTest, NamesTheInstallerCannotPlaceAreRefused) {
    EXPECT_EQ(table::NameProblemText("Wardhavn.HLP"), "");
    EXPECT_NE(table::NameProblemText("TwentyCharacters.Txt"), "");
    EXPECT_NE(table::NameProblemText("Help\\Topic.HLP"), "");
    EXPECT_NE(table::NameProblemText("sub/file"), "");
    EXPECT_NE(table::NameProblemText(""), "");
    EXPECT_NE(table::NameProblemText("what?.txt"), "");
    EXPECT_NE(table::NameProblemText("nul.txt"), "");
    EXPECT_NE(table::NameProblemText("trailing."), "");
    UseCodePage(932);
    EXPECT_EQ(table::NameProblemText("\x95\x5C.TXT") + table::NameProblemText("\x83\x7C.TXT"), "") << "trail bytes 5C, 7C";
    UseCodePage(0);

    table::PackageTable t;
    t.entries = {{"TwentyCharacters.Txt", 1, 1}};
    EXPECT_THROW(table::Serialise(t), std::invalid_argument);
    t.entries.assign(256, {"X", 1, 0});
    EXPECT_THROW(table::Serialise(t), std::invalid_argument);
}

TEST(TableLayoutTest, EveryReservedDeviceNameIsRefusedWhateverFollowsItsStem) {
    // The stem before the first dot decides, in any case and with blanks before the dot.
    for (const char* name : {"CON", "prn.txt", "Aux.Dat", "nul.tar.gz", "CONIN$", "conout$.Log", "Clock$.Dat",
                             "COM1", "com5.txt", "COM9.Dat", "lpt4", "LPT9.PRN", "CON .txt", "com7  .Dat"})
        EXPECT_EQ(table::NameProblemText(name), "name is a reserved device name") << name;
    for (const char* name : {"COM0.Dat", "COM10.Dat", "LPT.Dat", "CONSOLE.Txt", "CLOCK.Dat", "NULL", "AUX_.Dat",
                             "A.CON", "X CON.Dat", "CONIN.Dat"})
        EXPECT_EQ(table::NameProblemText(name), "") << name;
}

}  // namespace

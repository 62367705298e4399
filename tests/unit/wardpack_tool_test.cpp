// The packaging tool as a product maker runs it: every command through its
// command line, on small products made here.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "tests/crc_forge.h"
#include "tests/unit/command_run.h"
#include "tools/package.h"
#include "tools/table_file.h"
#include "tools/tool_error.h"

namespace fs = std::filesystem;

namespace {

// The integrity record of a three-disk set, between the installer's image and its table.
constexpr std::size_t recordSize = integrity::tailSize + integrity::BodySize(3);

std::string Escape(const std::string& bytes) {
    std::string escaped;
    for (unsigned char b : bytes) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", b);
        escaped += b >= 0x80 || b == 0x5C ? hex : std::string(1, char(b));
    }
    return escaped;
}

bool IsHelp(const std::string& name) { return name.size() > 4 && name.substr(name.size() - 4) == ".HLP"; }

CommandRun Wardpack(const std::string& args) { return RunCommand(std::string(WARDPACK_PATH) + " -q " + args); }

// As on a disk that holds no file past `bytes`: a file-size limit whose signal
// is ignored, so that a write past it fails as on a full disk.
CommandRun WardpackOnFullDisk(std::size_t bytes, const std::string& args) {
    return RunCommand("trap '' XFSZ; ulimit -f " + std::to_string(bytes / 512) + "; " + WARDPACK_PATH + " -q " + args);
}

std::vector<uint8_t> BytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& p, const std::vector<uint8_t>& data) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
}

void WriteText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// Every file and folder under `root`, with the files' bytes: what a failed command leaves as it found it.
std::map<std::string, std::vector<uint8_t>> Contents(const fs::path& root) {
    std::map<std::string, std::vector<uint8_t>> all;
    for (const auto& e : fs::recursive_directory_iterator(root))
        all[fs::relative(e.path(), root).string()] = e.is_regular_file() ? BytesOf(e.path()) : std::vector<uint8_t>{};
    return all;
}

std::string Names(const std::map<std::string, std::vector<uint8_t>>& contents) {
    std::string names;
    for (const auto& [name, bytes] : contents) names += name + " (" + std::to_string(bytes.size()) + ") ";
    return names;
}

// A small but well-formed Windows executable: headers and one 1 KB section.
std::vector<uint8_t> TinyExecutable() {
    std::vector<uint8_t> exe(0x600, 0);
    exe[0] = 'M';
    exe[1] = 'Z';
    exe[0x3C] = 0x80;
    uint8_t* pe = &exe[0x80];
    pe[0] = 'P';
    pe[1] = 'E';
    pe[4] = 0x4C;
    pe[5] = 0x01;  // i386
    pe[6] = 1;     // one section
    pe[20] = 0xE0; // optional header size
    uint8_t* opt = pe + 24;
    opt[0] = 0x0B;
    opt[1] = 0x01;                 // PE32
    opt[60] = 0x00, opt[61] = 0x02; // SizeOfHeaders 0x200
    opt[92] = 16;                   // directories
    uint8_t* section = opt + 0xE0;
    std::memcpy(section, ".text", 5);
    section[16 + 1] = 0x04;  // SizeOfRawData 0x400
    section[20 + 1] = 0x02;  // PointerToRawData 0x200
    for (int i = 0x200; i < 0x600; ++i) exe[i] = uint8_t(i * 7);
    return exe;
}

// Where TinyExecutable's optional header keeps the PE checksum.
constexpr std::size_t checksumAt = 0x80 + 24 + 64;

uint32_t StoredChecksum(const std::vector<uint8_t>& file) { return uint32_t(table::GetInt32(&file[checksumAt])); }

// The PE checksum of a whole file, summed otherwise than the tool sums it:
// all words at once, the carries folded in at the end.
uint32_t FileChecksum(std::vector<uint8_t> file) {
    std::fill_n(file.begin() + checksumAt, 4, 0);
    uint64_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 2) sum += file[i] + (i + 1 < file.size() ? file[i + 1] << 8 : 0);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return uint32_t(sum + file.size());
}

std::string Hex(uint32_t value) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

class WardpackTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("wardpack-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "product");
        Write(dir / "Setup.exe", TinyExecutable());
    }
    void TearDown() override { fs::remove_all(dir); }

    // A product: the main executable and `files` (name, size), mixed content.
    void MakeProduct(const std::vector<std::pair<std::string, std::size_t>>& files) {
        std::mt19937 rng(1);
        std::string list = "# test product\r\nMain.Exe\r\n";
        Write(dir / "product" / "Main.Exe", TinyExecutable());
        for (const auto& [name, size] : files) {
            std::vector<uint8_t> data(size);
            for (std::size_t i = 0; i < size; ++i) data[i] = i % 3 ? uint8_t('a' + i % 17) : uint8_t(rng());
            Write(dir / "product" / name, data);
            list += name + "\n";
        }
        WriteText(dir / "files.lst", list);
    }

    std::string BuildArgs(const std::string& extra = "") {
        return "build --product " + (dir / "product").string() + " --list " + (dir / "files.lst").string() +
               " --installer " + (dir / "Setup.exe").string() + " --out " + (dir / "out").string() + " " + extra;
    }

    fs::path dir;
};

TEST_F(WardpackTest, BuiltDiskSetListsVerifiesAndExtractsByteForByte) {
    MakeProduct({{"Tools.Exe", 5000}, {"Guide.HLP", 20000}, {"Empty.Dat", 0}, {"Core.LIB", 300000},
                 {"Nineteen_Chars_.DTP", 777}});
    CommandRun built = Wardpack(BuildArgs("--volume-sizes 60000,70000"));
    ASSERT_EQ(built.status, 0) << built.output;
    EXPECT_EQ(built.output, "") << "-q silences the report";

    CommandRun listed = Wardpack("list " + (dir / "out/disk1/Setup.exe").string());
    EXPECT_EQ(listed.status, 0) << listed.output;
    EXPECT_NE(listed.output.find("table: sound"), std::string::npos) << listed.output;
    EXPECT_NE(listed.output.find("Nineteen_Chars_.DTP"), std::string::npos);

    // The installer on disk 1 is the given image with the record and the table behind it.
    std::vector<uint8_t> setup = BytesOf(dir / "out/disk1/Setup.exe");
    EXPECT_EQ(setup.size(), TinyExecutable().size() + recordSize + table::TableSize(5));
    EXPECT_EQ(BytesOf(dir / "out/disk1/Wardhavn.001").size(), 60000u);
    EXPECT_EQ(BytesOf(dir / "out/disk2/Wardhavn.002").size(), 70000u);
    // The PE checksum is the whole file's (of odd length: its last byte a word of its own), not the image's.
    ASSERT_EQ(setup.size() % 2, 1u);
    EXPECT_EQ(StoredChecksum(setup), FileChecksum(setup)) << "the image's was " << Hex(FileChecksum(TinyExecutable()));

    CommandRun verified = Wardpack("verify " + (dir / "out").string() + " --product " + (dir / "product").string() +
                            " --list " + (dir / "files.lst").string());
    EXPECT_EQ(verified.status, 0) << verified.output;
    EXPECT_NE(verified.output.find("disk set: verified"), std::string::npos) << verified.output;

    CommandRun extracted = Wardpack("extract " + (dir / "out").string() + " " + (dir / "x").string());
    ASSERT_EQ(extracted.status, 0) << extracted.output;
    EXPECT_EQ(BytesOf(dir / "x/Wardhavn.Exe"), BytesOf(dir / "product/Main.Exe"));
    EXPECT_EQ(BytesOf(dir / "x/Help/Guide.HLP"), BytesOf(dir / "product/Guide.HLP"));
    for (const char* name : {"Tools.Exe", "Empty.Dat", "Core.LIB", "Nineteen_Chars_.DTP"})
        EXPECT_EQ(BytesOf(dir / "x" / name), BytesOf(dir / "product" / name)) << name;

    // The same inputs give the same disks.
    std::vector<uint8_t> volume1 = BytesOf(dir / "out/disk1/Wardhavn.001");
    ASSERT_EQ(Wardpack(BuildArgs("--volume-sizes 60000,70000")).status, 0);
    EXPECT_EQ(BytesOf(dir / "out/disk1/Wardhavn.001"), volume1);
    EXPECT_EQ(BytesOf(dir / "out/disk1/Setup.exe"), setup);
}

// Every single-bit flip of a small set's volumes and of its table is caught
// by the installer's checks (a volume against the record as it is joined, the
// table against the record's checksum as it is loaded); `verify`, which goes
// through the files and the decoder, is shown on a seeded sample of them.
TEST_F(WardpackTest, EveryFlippedBitOfTheVolumesAndTheTableIsCaught) {
    MakeProduct({{"Tools.Exe", 3000}, {"Guide.HLP", 2000}});
    ASSERT_EQ(Wardpack(BuildArgs("--volume-sizes 600,700")).status, 0);
    const fs::path setupPath = dir / "out/disk1/Setup.exe";
    std::vector<uint8_t> setup = BytesOf(setupPath);
    table::PackageTable t;
    std::string error;
    ASSERT_TRUE(table::Parse(setup.data(), setup.size(), t, error)) << error;
    const std::size_t tableSize = table::TableSize(t.entries.size()), tableStart = setup.size() - tableSize;
    table::FoundRecord found = table::FindRecord(setup.data(), TinyExecutable().size(), tableStart);
    ASSERT_EQ(found.presence, integrity::Presence::present);
    const integrity::Record& r = found.record;

    const fs::path volumes[] = {dir / "out/disk1/Wardhavn.001", dir / "out/disk2/Wardhavn.002",
                                dir / "out/disk3/Wardhavn.003"};
    std::size_t missed = 0, flips = 0;
    auto check = [&](unsigned v, const std::vector<uint8_t>& bytes) {
        uint8_t digest[sha256Size];
        Sha256Of(bytes.data(), bytes.size(), digest);
        return integrity::CheckVolume(r.volumeLength[v], r.volumeDigest[v], bytes.size(), digest);
    };
    for (unsigned v = 0; v < 3; ++v) {
        std::vector<uint8_t> bytes = BytesOf(volumes[v]);
        ASSERT_EQ(check(v, bytes), integrity::VolumeCheck::sound);
        for (std::size_t bit = 0; bit < bytes.size() * 8; ++bit, ++flips) {
            bytes[bit / 8] ^= uint8_t(1u << bit % 8);
            missed += check(v, bytes) == integrity::VolumeCheck::sound;
            bytes[bit / 8] ^= uint8_t(1u << bit % 8);
        }
    }
    for (std::size_t bit = 0; bit < tableSize * 8; ++bit, ++flips) {
        std::vector<uint8_t> flipped = setup;
        flipped[tableStart + bit / 8] ^= uint8_t(1u << bit % 8);
        table::PackageTable back;
        bool refused = !table::Parse(flipped.data(), flipped.size(), back, error) || !table::Check(back).empty() ||
                       table::TableSize(back.entries.size()) != tableSize ||
                       table::Crc32(flipped.data() + tableStart, tableSize) != r.tableCrc;
        missed += !refused;
    }
    EXPECT_EQ(missed, 0u) << "of " << flips << " flips";
    RecordProperty("flips", static_cast<int>(flips));

    std::mt19937 rng(7);
    for (int trial = 0; trial < 600; ++trial) {
        unsigned which = rng() % 4;
        fs::path path = which < 3 ? volumes[which] : setupPath;
        std::vector<uint8_t> original = BytesOf(path), flipped = original;
        std::size_t from = which < 3 ? 0 : tableStart, span = which < 3 ? original.size() : tableSize;
        std::size_t bit = from * 8 + rng() % (span * 8);
        flipped[bit / 8] ^= uint8_t(1u << bit % 8);
        Write(path, flipped);
        pack::UnpackOptions options;
        options.disks = {dir / "out"};
        options.quiet = true;
        std::ostringstream out;
        bool verified = false;
        try {
            verified = pack::Verify(options, "", "", out);
        } catch (const ToolError&) {
        }
        EXPECT_FALSE(verified) << path << " bit " << bit << "\n" << out.str();
        Write(path, original);
    }
}

// Names in the target's code page are stored as its bytes, 8.3 there, and
// listed, verified and unpacked as UTF-8 again by the code page the table
// records (a trail byte 0x5C included); without it they are shown escaped.
// Beside each, a name Windows keeps apart though only an accent or width differs.
TEST_F(WardpackTest, NamesInATargetCodePageRoundTrip) {
    struct Case {
        unsigned codePage;
        std::string name, bytes;
        std::string beside = "A.Dat";  // another file to Windows too
    };
    const Case cases[] = {
        {932, "説明書.TXT", "\x90\xE0\x96\xBE\x8F\x91.TXT"},
        {932, "表.HLP", "\x95\x5C.HLP"},
        {950, "許可.TXT", "\xB3\x5C\xA5\x69.TXT"},
        {936, "说明.TXT", "\xCB\xB5\xC3\xF7.TXT"},
        {1252, "É.TXT", "\xC9.TXT", "E.TXT"},
        {932, "Ａ.TXT", "\x82\x60.TXT", "A.TXT"},
    };
    for (const Case& c : cases) {
        MakeProduct({{c.name, 3000}, {c.beside, 10}});
        CommandRun built = Wardpack(BuildArgs("--code-page " + std::to_string(c.codePage)));
        ASSERT_EQ(built.status, 0) << c.name << ": " << built.output;
        std::vector<uint8_t> setup = BytesOf(dir / "out/disk1/Setup.exe");
        table::PackageTable t;
        std::string error;
        ASSERT_TRUE(table::Parse(setup.data(), setup.size(), t, error)) << error;
        EXPECT_EQ(t.entries[0].name, c.bytes) << c.name;
        EXPECT_EQ(t.codePage, c.codePage) << c.name;

        CommandRun listed = Wardpack("list " + (dir / "out/disk1").string());
        EXPECT_EQ(listed.status, 0) << listed.output;
        EXPECT_NE(listed.output.find("1  " + c.name + " "), std::string::npos) << listed.output;
        CommandRun verified = Wardpack("verify " + (dir / "out").string() + " --product " + (dir / "product").string() +
                                       " --list " + (dir / "files.lst").string());
        EXPECT_EQ(verified.status, 0) << verified.output;
        fs::path folder = IsHelp(c.name) ? dir / "x/Help" : dir / "x";
        ASSERT_EQ(Wardpack("extract " + (dir / "out").string() + " " + (dir / "x").string()).status, 0) << c.name;
        EXPECT_EQ(BytesOf(folder / c.name), BytesOf(dir / "product" / c.name)) << c.name;

        setup[setup.size() - 5 - 2 * 28 + 16] = 0;  // the recorded code page's mark
        Write(dir / "Unmarked.exe", setup);
        listed = Wardpack("list " + (dir / "Unmarked.exe").string());
        EXPECT_NE(listed.output.find(Escape(c.bytes)), std::string::npos) << listed.output;
        EXPECT_NE(Wardpack("list --code-page " + std::to_string(c.codePage) + " " + (dir / "Unmarked.exe").string())
                      .output.find("1  " + c.name + " "),
                  std::string::npos);
        fs::remove_all(dir / "x");
        fs::remove_all(dir / "product");
        fs::create_directories(dir / "product");
    }

    // A name of escape sequences never reaches the terminal as such.
    std::vector<uint8_t> setup = BytesOf(dir / "out/disk1/Setup.exe");
    const std::string hostile = "\x1B[1A\x1B[2K\x1B[32mOK";
    uint8_t* record = &setup[setup.size() - 5 - 2 * 28];
    record[0] = uint8_t(hostile.size());
    std::memcpy(record + 1, hostile.data(), hostile.size());
    Write(dir / "Hostile.exe", setup);
    CommandRun listed = Wardpack("list " + (dir / "Hostile.exe").string());
    EXPECT_EQ(listed.output.find('\x1B'), std::string::npos) << listed.output;
    EXPECT_NE(listed.output.find("\\x1B[1A\\x1B[2K\\x1B[32mOK"), std::string::npos) << listed.output;
}

TEST_F(WardpackTest, TinyPayloadLeavesLaterVolumesEmptyAndOneFolderWorks) {
    MakeProduct({{"A.Txt", 10}});
    ASSERT_EQ(Wardpack(BuildArgs()).status, 0);
    EXPECT_EQ(BytesOf(dir / "out/disk2/Wardhavn.002").size(), 0u);
    EXPECT_EQ(BytesOf(dir / "out/disk3/Wardhavn.003").size(), 0u);
    fs::create_directories(dir / "flat");
    for (const char* f : {"disk1/Setup.exe", "disk1/Wardhavn.001", "disk2/Wardhavn.002", "disk3/Wardhavn.003"})
        fs::copy_file(dir / "out" / f, dir / "flat" / fs::path(f).filename());
    CommandRun verified = Wardpack("verify " + (dir / "flat").string());
    EXPECT_EQ(verified.status, 0) << verified.output;
}

TEST_F(WardpackTest, BadProductsAreRefusedWithTheirReason) {
    struct Bad {
        const char* what;
        std::vector<std::pair<std::string, std::size_t>> files;
        std::string extra;
        std::string message;
    };
    std::vector<std::pair<std::string, std::size_t>> many;
    for (int i = 0; i < 256; ++i) many.push_back({"F" + std::to_string(i) + ".Dat", 1});
    std::vector<Bad> cases = {
        {"long name", {{"TwentyCharacters.Txt", 5}}, "", "longer than 19"},
        {"duplicate", {{"Data.Txt", 5}, {"DATA.TXT", 5}}, "", "\"Data.Txt\" and \"DATA.TXT\": name appears twice"},
        {"device name", {{"com7 .Log", 5}}, "", "reserved device name"},
        {"main's name", {{"WARDHAVN.EXE", 5}}, "", "as \"Wardhavn.Exe\", and \"WARDHAVN.EXE\": name appears twice"},
        {"too many", many, "", "at most 255"},
        {"does not fit", {{"Big.Dat", 200000}}, "--disk-size 20480", "does not fit"},
        {"volume too big", {{"Big.Dat", 200000}}, "--disk-size 40960 --volume-sizes 40000,0", "does not fit disk 1"},
        {"volume sizes", {{"Big.Dat", 2000}}, "--volume-sizes 12x,3", "two byte counts"},
        {"signed volume size", {{"Big.Dat", 2000}}, "--volume-sizes ' -5,3'", "two byte counts"},
        {"volume sizes past 64 bits", {{"Big.Dat", 2000}}, "--volume-sizes 18446744073709551615,1", "exceed"},
        {"negative disk size", {{"Big.Dat", 2000}}, "--disk-size -1", "--disk-size: -1 is not a byte count"},
        {"negative signature room", {{"Big.Dat", 2000}}, "--signature-room -1", "--signature-room: -1 is not"},
        {"cluster size past 32 bits", {{"Big.Dat", 2000}}, "--cluster-size 4294967296", "is not a byte count"},
        {"signature room past 64 bits", {{"Big.Dat", 2000}}, "--signature-room 18446744073709551616", "is not a"},
        {"installer named as a volume", {{"A.Txt", 5}}, "--installer-name WARDHAVN.001", "a volume's name"},
        {"installer outside disk 1", {{"A.Txt", 5}}, "--installer-name ../Outside.exe", "directory part"},
        {"installer named as a temporary file", {{"A.Txt", 5}}, "--installer-name ~WARDPACK-PARTIAL-1.TMP",
         "the tool's temporary files"},
        {"not plain ASCII, no code page", {{"説明書.TXT", 5}}, "", "\"説明書.TXT\": not plain ASCII"},
        {"nine double-byte characters", {{"一二三四五六七八九.TXT", 5}}, "--code-page 932", "takes 18 + 3 bytes"},
        {"a lead byte at byte 8", {{"ABCDEFG表.TXT", 5}}, "--code-page 950", "takes 9 + 3 bytes"},
        {"no such character there", {{"Ключ.TXT", 5}}, "--code-page 1252", "cannot be written in code page 1252"},
        {"not 8.3 in a code page", {{"Nineteen_Chars_.DTP", 5}}, "--code-page 1252", "not an 8.3 name"},
        // Windows upper-cases every letter, not ASCII's alone: each pair is one file there.
        {"accented letters", {{"É.TXT", 5}, {"é.TXT", 5}}, "--code-page 1252", "\"É.TXT\" and \"é.TXT\": name appears"},
        {"full-width letters", {{"Ａ.TXT", 5}, {"ａ.TXT", 5}}, "--code-page 932", "\"Ａ.TXT\" and \"ａ.TXT\": name"},
        {"Greek letters", {{"Α.TXT", 5}, {"α.TXT", 5}}, "--code-page 932", "\"Α.TXT\" and \"α.TXT\": name appears"},
        {"ASCII in a code page", {{"Data.Txt", 5}, {"DATA.TXT", 5}}, "--code-page 932", "\"Data.Txt\" and \"DATA.TXT\""},
        {"main's name in a code page", {{"É.EXE", 5}}, "--code-page 1252 --main-name é.exe", "\"é.exe\", and \"É.EXE\""},
    };
    for (const Bad& c : cases) {
        MakeProduct(c.files);
        CommandRun run = Wardpack(BuildArgs(c.extra));
        EXPECT_NE(run.status, 0) << c.what;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.what << ": " << run.output;
        fs::remove_all(dir / "product");
        fs::create_directories(dir / "product");
    }

    MakeProduct({{"A.Txt", 5}});
    WriteText(dir / "files.lst", "Main.Exe\nsub/A.Txt\n");
    CommandRun run = Wardpack(BuildArgs());
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("directory part"), std::string::npos) << run.output;

    WriteText(dir / "files.lst", "Main.Exe\nMissing.Txt\n");
    run = Wardpack(BuildArgs());
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("no such file"), std::string::npos) << run.output;

    // Past 32 bits: a sparse file of 2 GiB is refused before it is read.
    WriteText(dir / "files.lst", "Main.Exe\nHuge.Dat\n");
    { std::ofstream(dir / "product/Huge.Dat"); }
    fs::resize_file(dir / "product/Huge.Dat", uint64_t(1) << 31);
    run = Wardpack(BuildArgs());
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("2,147,483,647"), std::string::npos) << run.output;
}

TEST_F(WardpackTest, BuildWarnsOfNamesWhoseSubstitutesCollide) {
    // The installer's substitute for a file it cannot replace: the name with ".$$$".
    struct Case {
        std::vector<std::pair<std::string, std::size_t>> files;
        std::string warning;  // empty: none
    };
    const Case cases[] = {
        {{{"TaskMan.Exe", 5}, {"TaskMan.HLP", 5}},
         "\"TaskMan.Exe\" and \"TaskMan.HLP\" both have the substitute name TaskMan.$$$"},
        {{{"WARDHAVN.HLP", 5}}, "\"Wardhavn.Exe\" and \"WARDHAVN.HLP\" both have the substitute name Wardhavn.$$$"},
        {{{"Tools.Dll", 5}, {"Tools.$$$", 5}},
         "the substitute name Tools.$$$ of \"Tools.Dll\" is the name of \"Tools.$$$\""},
        {{{"Tools.Dll", 5}, {"Other.Dll", 5}, {"Tools.Dll.Txt", 5}}, ""},
    };
    for (const Case& c : cases) {
        MakeProduct(c.files);
        CommandRun run = Wardpack(BuildArgs());
        EXPECT_EQ(run.status, 0) << run.output;
        if (c.warning.empty()) EXPECT_EQ(run.output.find("warning"), std::string::npos) << run.output;
        else EXPECT_NE(run.output.find("wardpack: warning: " + c.warning), std::string::npos) << run.output;
        fs::remove_all(dir / "product");
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "product");
    }
}

TEST_F(WardpackTest, InstallerMustBeAnExecutableAndCarryNoTableUnlessReplaced) {
    MakeProduct({{"A.Txt", 100}});
    WriteText(dir / "Setup.exe", "not an executable at all, just some text for the test");
    CommandRun run = Wardpack(BuildArgs());
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("not a Windows executable"), std::string::npos) << run.output;

    Write(dir / "Setup.exe", TinyExecutable());
    ASSERT_EQ(Wardpack(BuildArgs()).status, 0);
    fs::copy_file(dir / "out/disk1/Setup.exe", dir / "Setup.exe", fs::copy_options::overwrite_existing);
    run = Wardpack(BuildArgs());
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("already carries a package table"), std::string::npos) << run.output;
    run = Wardpack(BuildArgs("--replace-table"));
    EXPECT_EQ(run.status, 0) << run.output;
    std::vector<uint8_t> replaced = BytesOf(dir / "out/disk1/Setup.exe");
    EXPECT_EQ(replaced.size(), TinyExecutable().size() + recordSize + table::TableSize(1));
    EXPECT_EQ(StoredChecksum(replaced), FileChecksum(replaced)) << "not the replaced table's";

    // The file ends inside an optional header too short for the directory count.
    std::vector<uint8_t> cut = TinyExecutable();
    cut[0x80 + 20] = 64;
    cut.resize(0x80 + 24 + 64);
    Write(dir / "Setup.exe", cut);
    run = Wardpack(BuildArgs());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("cut short"), std::string::npos) << run.output;

    std::vector<uint8_t> junk = TinyExecutable();
    junk.insert(junk.end(), {1, 2, 3});
    Write(dir / "Setup.exe", junk);
    run = Wardpack(BuildArgs());
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("not a package table"), std::string::npos) << run.output;

    junk[0x80 + 12] = 0x10, junk[0x80 + 16] = 1;  // a COFF symbol table, as a debug build has
    Write(dir / "Setup.exe", junk);
    EXPECT_NE(Wardpack(BuildArgs()).output.find("COFF symbol table"), std::string::npos);

    // Signed, its certificate table among the headers: SizeOfHeaders 0, no sections.
    std::vector<uint8_t> inHeaders = TinyExecutable();
    inHeaders.resize(0x200);
    inHeaders[0x80 + 6] = 0, inHeaders[0x80 + 24 + 61] = 0;
    table::PutInt32(&inHeaders[0x80 + 24 + 128], 0x100);
    table::PutInt32(&inHeaders[0x80 + 24 + 132], 0x100);
    Write(dir / "Setup.exe", inHeaders);
    for (const std::string& command : {BuildArgs(), "list " + (dir / "Setup.exe").string()}) {
        run = Wardpack(command);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.output.find("not an installer (its certificate table starts inside"), std::string::npos)
            << run.output;
    }
}

TEST_F(WardpackTest, DamagedDiskSetsFailTheirChecks) {
    MakeProduct({{"A.Txt", 30000}, {"B.Dat", 30000}});
    ASSERT_EQ(Wardpack(BuildArgs("--volume-sizes 3000,3000")).status, 0);
    fs::path volume3 = dir / "out/disk3/Wardhavn.003";
    std::vector<uint8_t> original = BytesOf(volume3);

    CommandRun run;
    for (std::size_t lost : {1, 100}) {
        std::vector<uint8_t> shorter(original.begin(), original.end() - lost);
        Write(volume3, shorter);
        run = Wardpack("verify " + (dir / "out").string());
        EXPECT_EQ(run.status, 2) << run.output;
        EXPECT_NE(run.output.find("end early"), std::string::npos) << lost << " lost: " << run.output;
        EXPECT_NE(Wardpack("extract " + (dir / "out").string() + " " + (dir / "x").string()).status, 0);
        // Forced, it writes only the files decoded whole, names the others and fails.
        run = Wardpack("extract --force " + (dir / "out").string() + " " + (dir / "x").string());
        EXPECT_EQ(run.status, 2) << run.output;
        EXPECT_NE(run.output.find("they are not written:\n  B.Dat"), std::string::npos) << run.output;
        EXPECT_FALSE(fs::exists(dir / "x/B.Dat"));
        EXPECT_EQ(BytesOf(dir / "x/A.Txt"), BytesOf(dir / "product/A.Txt"));
        fs::remove_all(dir / "x");
    }

    for (std::size_t extra : {1, 50}) {
        std::vector<uint8_t> longer = original;
        longer.insert(longer.end(), extra, 0xAB);
        Write(volume3, longer);
        run = Wardpack("verify " + (dir / "out").string());
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.output.find("hold " + std::to_string(extra) + " bytes after the end of the stream"),
                  std::string::npos)
            << run.output;
    }

    std::vector<uint8_t> flipped = original;
    flipped[flipped.size() / 2] ^= 0x10;
    Write(volume3, flipped);
    run = Wardpack("verify " + (dir / "out").string() + " --product " + (dir / "product").string() + " --list " +
                   (dir / "files.lst").string());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("DIFFERS"), std::string::npos) << run.output;
    // The record names the damaged volume; extract refuses it unless forced, and says so.
    EXPECT_NE(run.output.find(volume3.string() + ": not this set's volume 3"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("another set's volume of the same length, or a damaged copy"), std::string::npos);
    std::string extract = "extract " + (dir / "out").string() + " " + (dir / "x").string();
    run = Wardpack(extract);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("--force unpacks it all the same"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(dir / "x/Wardhavn.Exe"));
    run = Wardpack("extract --force " + (dir / "out").string() + " " + (dir / "x").string());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("warning: unpacking a disk set that failed its checks"), std::string::npos);

    // Without a record (an older build's set) only what was checked before is checked, and said.
    std::vector<uint8_t> setup = BytesOf(dir / "out/disk1/Setup.exe");
    std::vector<uint8_t> older(setup.begin(), setup.end() - table::TableSize(2) - recordSize);
    older.insert(older.end(), setup.end() - table::TableSize(2), setup.end());
    Write(dir / "out/disk1/Setup.exe", older);
    run = Wardpack("verify " + (dir / "out").string());
    EXPECT_NE(run.output.find("integrity record: none"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("damaged"), std::string::npos) << run.output;
    Write(dir / "out/disk1/Setup.exe", setup);
    Write(volume3, original);

    // Another product in disk 1's volume, its CRC-32 and the stream's restored
    // by four chosen bytes each: the SHA-256s name both, forced or not.
    std::vector<uint8_t> sound, volume1 = BytesOf(dir / "out/disk1/Wardhavn.001");
    for (const char* name : {"Main.Exe", "A.Txt", "B.Dat"}) {
        std::vector<uint8_t> bytes = BytesOf(dir / "product" / name);
        sound.insert(sound.end(), bytes.begin(), bytes.end());
    }
    std::vector<uint8_t> stream(sound.size(), 0), forged;
    RestoreCrc32(stream.data(), stream.size(), table::Crc32(sound.data(), sound.size()));
    Write(dir / "forged.bin", stream);
    ASSERT_EQ(Wardpack("encode " + (dir / "forged.bin").string() + " " + (dir / "forged.lzh").string()).status, 0);
    forged = BytesOf(dir / "forged.lzh");
    ASSERT_LT(forged.size() + 4, volume1.size());
    forged.resize(volume1.size());
    RestoreCrc32(forged.data(), forged.size(), table::Crc32(volume1.data(), volume1.size()));
    Write(dir / "out/disk1/Wardhavn.001", forged);
    for (const char* command : {"verify ", "extract --force "}) {
        run = Wardpack(command + (dir / "out").string() + (*command == 'e' ? " " + (dir / "x").string() : ""));
        EXPECT_EQ(run.status, *command == 'v' ? 2 : 0) << run.output;  // forced, it goes on
        EXPECT_NE(run.output.find("Wardhavn.001: not this set's volume 1: its CRC-32 matches, its SHA-256 does not"),
                  std::string::npos) << run.output;
        EXPECT_NE(run.output.find("the decoded stream does not match the record's SHA-256"), std::string::npos)
            << run.output;
    }
    fs::remove_all(dir / "x");
    Write(dir / "out/disk1/Wardhavn.001", volume1);

    // A table edited by hand fails the record's checksum, even when sound in itself.
    std::vector<uint8_t> renamed = setup;
    renamed[renamed.size() - 5 - 28 + 1] = 'C';  // "B.Dat" -> "C.Dat"
    Write(dir / "Renamed.exe", renamed);
    run = Wardpack("list " + (dir / "Renamed.exe").string());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("does not match the record's checksum"), std::string::npos) << run.output;

    fs::remove(volume3);
    run = Wardpack("verify " + (dir / "out").string());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("Wardhavn.003 is missing"), std::string::npos) << run.output;

    // A table with a gap.
    setup[setup.size() - 5 - 28 + 20] ^= 1;  // second entry's offset
    Write(dir / "Broken.exe", setup);
    run = Wardpack("list " + (dir / "Broken.exe").string());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("NOT sound"), std::string::npos) << run.output;
}

// A worn record is disk 1's damage, never read as none (a bit of its
// signature, 8 bytes of it cut) nor blamed on a sound disk 2 (a bit of volume
// 2's CRC-32). A record of the earlier version 1 is read while its fields agree.
TEST_F(WardpackTest, WornRecordIsDiskOnesDamageAndVersionOneIsStillRead) {
    MakeProduct({{"A.Txt", 30000}});
    ASSERT_EQ(Wardpack(BuildArgs("--volume-sizes 3000,3000")).status, 0);
    const fs::path setupPath = dir / "out/disk1/Setup.exe";
    const std::vector<uint8_t> setup = BytesOf(setupPath);
    const std::size_t body = TinyExecutable().size(), tail = body + integrity::BodySize(3);
    for (std::size_t at : {tail + 6, body + 28, std::size_t(0)}) {  // 0: the signature's 8 bytes cut
        std::vector<uint8_t> worn = setup;
        if (at) worn[at] ^= 0x40;
        else worn.erase(worn.begin() + tail + 4, worn.begin() + tail + 12);
        Write(setupPath, worn);
        CommandRun run = Wardpack("verify " + (dir / "out").string());
        EXPECT_EQ(run.status, 2) << run.output;
        EXPECT_NE(run.output.find("disk 1 is damaged: " + setupPath.string() + ": the"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("Wardhavn.002: not this set's"), std::string::npos) << run.output;
        EXPECT_EQ(Wardpack("extract " + (dir / "out").string() + " " + (dir / "x").string()).status, 1);
    }
    // The same fields without the digests (version 2), and without its own CRC-32 either (version 1).
    const std::size_t fields = integrity::BodySizeVersion1(3);
    std::vector<uint8_t> v1 = setup, v2 = setup;
    v2.erase(v2.begin() + body + fields, v2.begin() + tail - 4);
    v2[body] = 2, table::PutInt32(&v2[body + fields + 4], int32_t(integrity::BodySizeVersion2(3)));
    table::PutInt32(&v2[body + fields], int32_t(table::Crc32(&v2[body], fields)));
    v1.erase(v1.begin() + body + fields, v1.begin() + tail);
    v1[body] = 1, table::PutInt32(&v1[body + fields], int32_t(fields));
    for (std::vector<uint8_t>* older : {&v1, &v2}) std::fill_n(older->begin() + checksumAt, 4, 0);  // as those builds left it
    CommandRun run;
    for (const std::vector<uint8_t>* older : {&v2, &v1}) {
        Write(setupPath, *older);
        run = Wardpack("verify " + (dir / "out").string());
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find(older == &v1 ? "integrity record: version 1" : "integrity record: version 2"),
                  std::string::npos) << run.output;
        EXPECT_NE(run.output.find("checked by CRC-32 alone"), std::string::npos) << run.output;
    }
    // Declared lengths no set holds, or long ones that do not agree: damage, told at once.
    struct Lengths {
        uint32_t first, others;
        const char* damage;
    } const declared[] = {{0xFFFFFFFF, 0xFFFFFFFF, "add up to more bytes"}, {0x7FFFFFF0, 0, "do not agree"}};
    for (const Lengths& l : declared) {
        std::vector<uint8_t> lengths = v1;
        for (unsigned v = 0; v < 3; ++v) table::PutInt32(&lengths[body + 16 + 8 * v], int32_t(v ? l.others : l.first));
        Write(setupPath, lengths);
        run = RunCommand("timeout 10 " + std::string(WARDPACK_PATH) + " list " + setupPath.string());
        EXPECT_EQ(run.status, 2) << run.output;
        EXPECT_NE(run.output.find(l.damage), std::string::npos) << run.output;
    }
}

// Signed after build (osslsigncode, a throw-away certificate; 7 bytes of
// padding for one entry, 3 for two; signed-sample.sh checks the rest): the
// set reads. Build given a signed installer removes the signature, says so,
// and writes what the unsigned one gives.
TEST_F(WardpackTest, SignedInstallerIsReadBeforeItsSignature) {
    const std::string cert = (dir / "c.pem").string(), key = (dir / "k.pem").string(),
                      setup = (dir / "out/disk1/Setup.exe").string();
    ASSERT_EQ(RunCommand("openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=T -keyout " + key + " -out " + cert).status, 0);
    auto sign = [&](const std::string& f) {
        return RunCommand("osslsigncode sign -certs " + cert + " -key " + key + " -in " + f + " -out " + f + ".s && mv " +
                          f + ".s " + f).status;
    };
    for (std::size_t entries : {1, 2}) {
        std::vector<std::pair<std::string, std::size_t>> files = {{"A.Txt", 3000}, {"B.Dat", 500}};
        MakeProduct({files.begin(), files.begin() + entries});
        ASSERT_EQ(Wardpack(BuildArgs()).status, 0);
        const std::vector<uint8_t> unsignedSetup = BytesOf(setup);
        ASSERT_EQ(sign(setup), 0);
        EXPECT_EQ(RunCommand("osslsigncode verify -CAfile " + cert + " -in " + setup).status, 0);
        CommandRun listed = Wardpack("list " + setup);
        EXPECT_NE(listed.output.find(entries == 1 ? "after 7 bytes" : "after 3 bytes"), std::string::npos) << listed.output;
        EXPECT_EQ(Wardpack("verify " + (dir / "out").string()).status, 0);
        // The signing tool's checksum covers the certificate table: verify checks the file as it stands.
        std::vector<uint8_t> signedSetup = BytesOf(setup);
        EXPECT_EQ(StoredChecksum(signedSetup), FileChecksum(signedSetup));
        signedSetup.back() ^= 0x01;
        Write(setup, signedSetup);
        CommandRun verified = Wardpack("verify " + (dir / "out").string());
        EXPECT_EQ(verified.status, 2) << verified.output;
        EXPECT_NE(verified.output.find("Setup.exe: its PE checksum " + Hex(StoredChecksum(signedSetup)) +
                                       " is not the file's own " + Hex(FileChecksum(signedSetup))),
                  std::string::npos)
            << verified.output;
        ASSERT_EQ(sign((dir / "Setup.exe").string()), 0);
        CommandRun rebuilt = Wardpack(BuildArgs());
        EXPECT_NE(rebuilt.output.find("its signature is removed"), std::string::npos) << rebuilt.output;
        EXPECT_EQ(BytesOf(setup), unsignedSetup);
        Write(dir / "Setup.exe", TinyExecutable());
    }
}

// verify checks the installer's PE checksum against the file as it stands:
// a byte changed anywhere, the checksum itself included, is named with both
// values, as is a set whose installer kept its bare image's checksum. A
// checksum of 0 is none, as Windows takes it for an ordinary executable.
TEST_F(WardpackTest, VerifyNamesAnInstallerWhoseChecksumIsNotTheFilesOwn) {
    MakeProduct({{"A.Txt", 3000}});
    ASSERT_EQ(Wardpack(BuildArgs()).status, 0);
    const fs::path setupPath = dir / "out/disk1/Setup.exe";
    const std::vector<uint8_t> built = BytesOf(setupPath);
    auto put = [](std::vector<uint8_t>& f, uint32_t checksum) { table::PutInt32(&f[checksumAt], int32_t(checksum)); };
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> change;
        int status;
        const char* shown;  // besides the problem that names both checksums
    };
    const Case cases[] = {
        {"as built", nullptr, 0, "(matches)"},
        {"a byte of the code", [](auto& f) { f[0x300] ^= 0x04; }, 2, "DOES NOT MATCH"},
        {"a byte of the checksum", [](auto& f) { f[checksumAt + 2] ^= 0x01; }, 2, "DOES NOT MATCH"},
        {"a byte of the record", [](auto& f) { f[0x600 + 30] ^= 0x80; }, 2, "disk 1 is damaged"},
        {"a byte of the table", [](auto& f) { f[f.size() - 5 - 28 + 1] = 'B'; }, 2, "does not match the record's checksum"},
        {"the bare image's checksum", [&](auto& f) { put(f, FileChecksum(TinyExecutable())); }, 2, "DOES NOT MATCH"},
        {"none", [&](auto& f) { put(f, 0); }, 0, "PE checksum: none"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> changed = built;
        if (c.change) c.change(changed);
        Write(setupPath, changed);
        CommandRun run = Wardpack("verify " + (dir / "out").string());
        EXPECT_EQ(run.status, c.status) << c.what << ": " << run.output;
        EXPECT_NE(run.output.find(c.shown), std::string::npos) << c.what << ": " << run.output;
        std::string problem = setupPath.string() + ": its PE checksum " + Hex(StoredChecksum(changed)) +
                              " is not the file's own " + Hex(FileChecksum(changed));
        EXPECT_EQ(run.output.find(problem) != std::string::npos, c.status == 2) << c.what << ": " << run.output;
    }
}

TEST_F(WardpackTest, ExtractNeverWritesAnEntryOverTheMainExecutable) {
    MakeProduct({{"WARDHAVN.EXE", 100}});
    ASSERT_EQ(Wardpack(BuildArgs("--main-name Main.Exe")).status, 0);
    CommandRun run = Wardpack("extract " + (dir / "out").string() + " " + (dir / "x").string());
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("--main-name"), std::string::npos) << run.output;
    run = Wardpack("extract --main-name Main.Exe " + (dir / "out").string() + " " + (dir / "x").string());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(BytesOf(dir / "x/Main.Exe"), BytesOf(dir / "product/Main.Exe"));
}

TEST_F(WardpackTest, ImagesAreWrittenFromTheDiskFoldersOrNotAtAll) {
    MakeProduct({{"A.Txt", 3000}});
    CommandRun built = Wardpack(BuildArgs("--images"));
    ASSERT_EQ(built.status, 0) << built.output;
    std::vector<std::vector<uint8_t>> images;
    for (const char* name : {"disk1.img", "disk2.img", "disk3.img"}) {
        images.push_back(BytesOf(dir / "out" / name));
        EXPECT_EQ(images.back().size(), 1474560u) << name;
    }
    ASSERT_EQ(Wardpack("images " + (dir / "out").string()).status, 0);
    EXPECT_EQ(BytesOf(dir / "out/disk1.img"), images[0]) << "the images command makes what build made";

    struct Bad {
        const char* what;
        std::string args, message;
    };
    WriteText(dir / "out/disk2/Long name.txt", "x");
    const Bad cases[] = {
        {"a name a floppy cannot hold", "images " + (dir / "out").string(), "Long name.txt\": not an 8.3 name"},
        {"no disk folders", "images " + (dir / "product").string(), "no such folder"},
        {"a disk bigger than a floppy", BuildArgs("--images --disk-size 2000000"), "--images makes 1.44 MB floppies"},
    };
    for (const Bad& c : cases) {
        CommandRun run = Wardpack(c.args);
        EXPECT_EQ(run.status, 1) << c.what;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.what << ": " << run.output;
        EXPECT_FALSE(fs::exists(dir / "out/disk1.img")) << c.what;
    }

    fs::remove(dir / "out/disk2/Long name.txt");
    Write(dir / "out/disk1/SIGNED.DAT", std::vector<uint8_t>(1457000));  // as a signature too big for its room
    CommandRun full = Wardpack("images " + (dir / "out").string());
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.output.find("disk 1 is too full for its image"), std::string::npos) << full.output;
    EXPECT_NE(full.output.find(" bytes over"), std::string::npos) << full.output;
    fs::remove(dir / "out/disk1/SIGNED.DAT");
    ASSERT_EQ(Wardpack(BuildArgs("--images")).status, 0);
    ASSERT_EQ(Wardpack(BuildArgs()).status, 0);
    EXPECT_FALSE(fs::exists(dir / "out/disk1.img")) << "an image of an earlier build stays beside new folders";
}

TEST_F(WardpackTest, ImagesReplaceOnlyTheirOwnAndAllThreeOrNone) {
    MakeProduct({{"A.Txt", 3000}});
    // A folder that is no disk set: its disk1.img is somebody else's.
    WriteText(dir / "product/disk1.img", "a user's image");
    EXPECT_EQ(Wardpack("images " + (dir / "product").string()).status, 1);
    EXPECT_EQ(BytesOf(dir / "product/disk1.img").size(), 14u);

    ASSERT_EQ(Wardpack(BuildArgs("--images")).status, 0);
    std::vector<uint8_t> before[3];
    for (int d = 0; d < 3; ++d) before[d] = BytesOf(dir / "out" / ("disk" + std::to_string(d + 1) + ".img"));
    WriteText(dir / "out/disk1/NEW.TXT", "changes disk 1's image");
    fs::remove(dir / "out/disk3.img");
    fs::create_directories(dir / "out/disk3.img/x");  // the last image cannot be replaced
    auto earlier = Contents(dir / "out");
    CommandRun run = Wardpack("images " + (dir / "out").string());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("disk3.img: a folder"), std::string::npos) << run.output;
    EXPECT_TRUE(Contents(dir / "out") == earlier) << Names(Contents(dir / "out"));
    for (int d = 0; d < 2; ++d)
        EXPECT_EQ(BytesOf(dir / "out" / ("disk" + std::to_string(d + 1) + ".img")), before[d]) << "disk " << d + 1;

    // Out of room for the images: the disk folders stay the earlier build's too.
    fs::remove_all(dir / "out/disk3.img");
    fs::remove(dir / "out/disk1/NEW.TXT");
    ASSERT_EQ(Wardpack(BuildArgs("--images")).status, 0);
    earlier = Contents(dir / "out");
    MakeProduct({{"A.Txt", 3000}, {"B.Txt", 9000}});
    run = WardpackOnFullDisk(1 << 20, BuildArgs("--images"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("disk full"), std::string::npos) << run.output;
    EXPECT_TRUE(Contents(dir / "out") == earlier) << Names(Contents(dir / "out"));
}

TEST_F(WardpackTest, OutputsAreWholeOrAbsentAndExtractStaysInItsFolder) {
    MakeProduct({{"Tools.Exe", 5000}, {"Guide.HLP", 3000}, {"Core.LIB", 4000}});
    ASSERT_EQ(Wardpack(BuildArgs()).status, 0);
    std::string out = (dir / "out").string(), x = (dir / "x").string();
    // A later file that cannot be written: what was written before goes again.
    EXPECT_EQ(WardpackOnFullDisk(4096, "extract " + out + " " + x).status, 1);
    EXPECT_FALSE(fs::exists(dir / "x")) << "a failed extract takes away the folders it made";
    fs::create_directories(dir / "out2/disk3/Wardhavn.003/x");
    EXPECT_EQ(Wardpack(BuildArgs().replace(BuildArgs().find(out), out.size(), (dir / "out2").string())).status, 1);
    EXPECT_FALSE(fs::exists(dir / "out2/disk1")) << "a failed build takes away the folders it made";
    EXPECT_TRUE(fs::exists(dir / "out2/disk3/Wardhavn.003/x")) << "and only those";
    EXPECT_EQ(WardpackOnFullDisk(512, "encode " + (dir / "product/Core.LIB").string() + " " + (dir / "s").string()).status, 1);
    EXPECT_FALSE(fs::exists(dir / "s"));
    // An earlier extraction, and a user's file of any name, stay as they were when the next one fails.
    ASSERT_EQ(Wardpack("extract " + out + " " + x).status, 0);
    WriteText(dir / "x/Tools.Exe.partial", "a user's file");
    auto earlier = Contents(dir / "x");
    MakeProduct({{"Tools.Exe", 3000}, {"Guide.HLP", 3000}, {"Core.LIB", 5000}});
    ASSERT_EQ(Wardpack(BuildArgs()).status, 0);
    EXPECT_EQ(WardpackOnFullDisk(4096, "extract " + out + " " + x).status, 1);
    EXPECT_TRUE(Contents(dir / "x") == earlier) << Names(Contents(dir / "x"));
    ASSERT_EQ(Wardpack("extract " + out + " " + x).status, 0);
    EXPECT_EQ(BytesOf(dir / "x/Tools.Exe.partial").size(), 13u);
    fs::remove_all(dir / "x");

    // Links in the output folder are replaced, never written through.
    fs::create_directories(dir / "x");
    WriteText(dir / "outside", "kept");
    fs::create_symlink(dir / "outside", dir / "x/Tools.Exe");
    ASSERT_EQ(Wardpack("extract " + out + " " + x).status, 0);
    EXPECT_EQ(BytesOf(dir / "outside").size(), 4u);
    EXPECT_EQ(BytesOf(dir / "x/Tools.Exe"), BytesOf(dir / "product/Tools.Exe"));
    fs::remove_all(dir / "x");
    fs::create_directories(dir / "x");
    fs::create_directory_symlink(dir / "product", dir / "x/Help");
    CommandRun run = Wardpack("extract " + out + " " + x);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("a symbolic link"), std::string::npos) << run.output;

    // A file named Help beside help files could not be unpacked: refused at build.
    MakeProduct({{"Help", 10}, {"Guide.HLP", 10}});
    run = Wardpack(BuildArgs());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("\"Help\" is the name of the folder"), std::string::npos) << run.output;

    // No name of the set or of the table is a temporary name of another.
    fs::remove_all(dir / "x");
    MakeProduct({{"Notes.Txt.partial", 100}, {"Notes.Txt", 200}});
    ASSERT_EQ(Wardpack(BuildArgs("--installer-name Wardhavn.001.partial")).status, 0);
    EXPECT_EQ(Wardpack("list --installer-name Wardhavn.001.partial " + out + "/disk1").status, 0);
    ASSERT_EQ(Wardpack("extract --installer-name Wardhavn.001.partial " + out + " " + x).status, 0);
    EXPECT_EQ(BytesOf(dir / "x/Notes.Txt.partial"), BytesOf(dir / "product/Notes.Txt.partial"));
    EXPECT_EQ(BytesOf(dir / "x/Notes.Txt"), BytesOf(dir / "product/Notes.Txt"));
}

TEST_F(WardpackTest, FloppyImagesAreCheckedAsTheFoldersAre) {
    MakeProduct({{"A.Txt", 3000}, {"Guide.HLP", 2000}});
    ASSERT_EQ(Wardpack(BuildArgs("--images --volume-sizes 500,500")).status, 0);
    std::string image[] = {(dir / "out/disk1.img").string(), (dir / "out/disk2.img").string(),
                           (dir / "out/disk3.img").string()};
    std::string against = " --product " + (dir / "product").string() + " --list " + (dir / "files.lst").string();
    for (const std::string& disks : {image[0] + " " + image[1] + " " + image[2],
                                     image[2] + " " + (dir / "out/disk2").string() + " " + image[0]}) {
        CommandRun verified = Wardpack("verify " + disks + against);
        EXPECT_EQ(verified.status, 0) << verified.output;
        EXPECT_NE(verified.output.find("disk set: verified"), std::string::npos) << verified.output;
    }
    CommandRun listed = Wardpack("list " + image[0]);
    EXPECT_EQ(listed.status, 0) << listed.output;
    EXPECT_NE(listed.output.find("disk1.img: SETUP.EXE: 2 entries"), std::string::npos) << listed.output;
    CommandRun extracted = Wardpack("extract " + image[0] + " " + image[1] + " " + image[2] + " " + (dir / "x").string());
    ASSERT_EQ(extracted.status, 0) << extracted.output;
    EXPECT_EQ(BytesOf(dir / "x/Help/Guide.HLP"), BytesOf(dir / "product/Guide.HLP"));

    struct Bad {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;  // to disk 2's image
        std::string disks;
        int status;
        std::string message;
    };
    std::string all = image[0] + " " + image[1] + " " + image[2];
    const Bad cases[] = {
        {"cut short", [](auto& im) { im.resize(700000); }, all, 1, "disk2.img: cut short"},
        {"boot sector lost", [](auto& im) { std::fill(im.begin(), im.begin() + 512, 0); }, all, 1,
         "disk2.img: not a FAT12 floppy image"},
        {"a byte of the volume changed", [](auto& im) { im[33 * 512 + 100] ^= 0x10; }, all, 2, "FAILED"},
        {"disk 2 left out", nullptr, image[0] + " " + image[2], 1, "volume Wardhavn.002 is missing"},
        {"disk 1 twice", nullptr, image[0] + " " + image[0] + " " + image[2], 1, "Setup.exe is on two disks"},
    };
    std::vector<uint8_t> original = BytesOf(image[1]);
    for (const Bad& c : cases) {
        std::vector<uint8_t> damaged = original;
        if (c.damage) c.damage(damaged);
        Write(image[1], damaged);
        CommandRun run = Wardpack("verify " + c.disks + against);
        EXPECT_EQ(run.status, c.status) << c.what << ": " << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.what << ": " << run.output;
    }
}

TEST_F(WardpackTest, BareStreamsRoundTripAtAnySize) {
    std::mt19937 rng(4);
    for (std::size_t size : {0u, 1u, 2u, 61u, 4097u, 100003u, 600011u}) {  // the last: several output blocks
        std::vector<uint8_t> data(size);
        for (auto& b : data) b = uint8_t(rng() % 5 ? 'x' : rng());
        Write(dir / "in", data);
        for (const char* parse : {"optimal", "greedy"}) {
            ASSERT_EQ(Wardpack("encode --parse " + std::string(parse) + " " + (dir / "in").string() + " " +
                               (dir / "s").string())
                          .status,
                      0);
            CommandRun run = Wardpack("decode --size " + std::to_string(size) + " " + (dir / "s").string() + " " +
                               (dir / "out").string());
            ASSERT_EQ(run.status, 0) << run.output;
            EXPECT_EQ(BytesOf(dir / "out"), data) << size << " bytes, " << parse;
        }
    }
    EXPECT_NE(Wardpack("decode --size -5 " + (dir / "s").string() + " " + (dir / "out").string()).status, 0);
    EXPECT_NE(Wardpack("decode --size 10 " + (dir / "nothing").string() + " " + (dir / "out").string()).status, 0);
    CommandRun unknown = Wardpack("bogus");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.output, "wardpack: error: unknown command \"bogus\"; see wardpack --help\n");
    // An option no one knows, where the command should be, is named: the first wrong word is.
    const std::pair<const char*, const char*> unknownOptions[] = {{"--frob", "--frob"}, {"--frob bogus", "--frob"},
                                                                  {"-Z", "-Z"}};
    for (const auto& [args, named] : unknownOptions) {
        unknown = Wardpack(args);
        EXPECT_EQ(unknown.status, 1) << args;
        EXPECT_EQ(unknown.output, "wardpack: error: unknown option \"" + std::string(named) + "\"; see wardpack --help\n");
    }
    CommandRun help = Wardpack("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("verify"), std::string::npos);
    CommandRun version = Wardpack("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "wardpack " WARDPACK_VERSION "\n");
}

TEST_F(WardpackTest, DecodeWritesExactlySizeBytesWhenTheLastMatchRunsPast) {
    // Zero bits: a literal 't', then a 60-byte match of it; 2 bytes were asked for.
    Write(dir / "s", std::vector<uint8_t>(4, 0));
    CommandRun run = Wardpack("decode --size 2 " + (dir / "s").string() + " " + (dir / "out").string());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(BytesOf(dir / "out"), std::vector<uint8_t>(2, 't'));
}

TEST_F(WardpackTest, DecodingACutStreamFailsAndLeavesNoOutput) {
    std::vector<uint8_t> data(5000);
    std::mt19937 rng(5);
    for (auto& b : data) b = uint8_t(rng() % 3 ? 'x' : rng());
    Write(dir / "in", data);
    ASSERT_EQ(Wardpack("encode " + (dir / "in").string() + " " + (dir / "s").string()).status, 0);
    std::vector<uint8_t> stream = BytesOf(dir / "s");
    std::string decode = "decode --size 5000 " + (dir / "s").string() + " " + (dir / "out").string();

    stream.push_back(0xAB);  // a byte after the end is no part of the stream
    Write(dir / "s", stream);
    CommandRun run = Wardpack(decode);
    EXPECT_EQ(run.output.find("warning"), std::string::npos) << run.output;
    EXPECT_EQ(BytesOf(dir / "out"), data);

    fs::remove(dir / "out");
    stream.resize(stream.size() - 2);  // the stream's own last byte gone
    Write(dir / "s", stream);
    run = Wardpack(decode);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("ends early"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(dir / "out")) << "a cut-short product is no output";
    EXPECT_FALSE(fs::exists(dir / "out.partial"));
}

}  // namespace

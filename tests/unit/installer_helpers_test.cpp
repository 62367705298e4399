// The installer's portable helpers: path building, the page centring
// arithmetic, the room an installation needs, the backdrop's colour rules
// and the unhandled-error text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "backdrop/gradient.h"
#include "pages/centre.h"
#include "runtime/bytes.h"
#include "runtime/code_page.h"
#include "runtime/crc32.h"
#include "runtime/exception.h"
#include "runtime/paths.h"
#include "runtime/room_needed.h"
#include "runtime/sha256.h"
#include "tests/string_print.h"

TEST(PathJoin, EmptyDirectoryGivesTheNameAlone) {
    EXPECT_EQ(PathJoin("", "Wardhavn.Exe"), "Wardhavn.Exe");
}

TEST(PathJoin, DirectoryEndingInBackslashGetsNoSecondOne) {
    EXPECT_EQ(PathJoin("C:\\", "Wardhavn.Exe"), "C:\\Wardhavn.Exe");
    EXPECT_EQ(PathJoin("C:\\Program Files\\Wardhaven\\", "A.DLL"), "C:\\Program Files\\Wardhaven\\A.DLL");
}

TEST(PathJoin, OtherDirectoriesGetOneBackslash) {
    EXPECT_EQ(PathJoin("C:\\Program Files\\Wardhaven", "A.DLL"), "C:\\Program Files\\Wardhaven\\A.DLL");
    // A bare drive is joined like any directory: no normalisation.
    EXPECT_EQ(PathJoin("C:", "A.DLL"), "C:\\A.DLL");
}

TEST(PathParts, DirectoryPartKeepsTheLastSeparator) {
    EXPECT_EQ(DirectoryPart("A:\\Setup.exe"), "A:\\");
    EXPECT_EQ(DirectoryPart("C:Setup.exe"), "C:");
    EXPECT_EQ(DirectoryPart("Setup.exe"), "");
    EXPECT_EQ(DirectoryPart("\\\\server\\share\\d\\Setup.exe"), "\\\\server\\share\\d\\");
}

TEST(PathParts, ExtensionIsFromTheLastDotOfTheFileName) {
    EXPECT_EQ(UpperExtension("Wardhavn.Exe"), ".EXE");
    EXPECT_EQ(UpperExtension("Wardhavn.$$$"), ".$$$");
    EXPECT_EQ(UpperExtension("a.b.lib"), ".LIB");
    EXPECT_EQ(UpperExtension("README"), "");
    // A dot in a directory name is no extension.
    EXPECT_EQ(UpperExtension("C:\\My.Dir\\README"), "");
    EXPECT_EQ(UpperExtension("C:.x\\y"), "");
}

TEST(PathParts, ReplaceExtensionAppendsWhenThereIsNone) {
    EXPECT_EQ(ReplaceExtension("Wardhavn.Exe", ".$$$"), "Wardhavn.$$$");
    EXPECT_EQ(ReplaceExtension("Wardhavn.001", ".002"), "Wardhavn.002");
    EXPECT_EQ(ReplaceExtension("README", ".$$$"), "README.$$$");
}

TEST(Crc32, MatchesTheCommonCheckValueWholeAndInPieces) {
    const char text[] = "123456789";
    EXPECT_EQ(Crc32Update(0, text, 9), 0xCBF43926u);
    EXPECT_EQ(Crc32Update(Crc32Update(0, text, 4), text + 4, 5), 0xCBF43926u);
    EXPECT_EQ(Crc32Update(0, text, 0), 0u);
}

// FIPS 180-4's examples, and a million bytes fed in pieces that straddle the
// 64-byte blocks and the length's own 8 bytes.
TEST(Sha256, MatchesTheStandardsExamplesWholeAndInPieces) {
    auto hex = [](Sha256& s) {
        uint8_t d[sha256Size];
        Sha256Finish(s, d);
        std::string t;
        for (uint8_t b : d) t += "0123456789abcdef"[b >> 4], t += "0123456789abcdef"[b & 15];
        return t;
    };
    const std::pair<std::string, std::string> examples[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    };
    for (const auto& [message, digest] : examples) {
        Sha256 s;
        Sha256Start(s);
        Sha256Update(s, message.data(), message.size());
        EXPECT_EQ(hex(s), digest) << message;
    }
    const std::string million(1000000, 'a');
    Sha256 s;
    Sha256Start(s);
    for (std::size_t at = 0, piece = 1; at < million.size(); at += piece, piece = piece * 7 % 131 + 1)
        Sha256Update(s, million.data() + at, std::min(piece, million.size() - at));
    EXPECT_EQ(hex(s), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(ByteClamps, SmallerAndLarger) {
    EXPECT_EQ(ByteMin(3, 200), 3);
    EXPECT_EQ(ByteMax(3, 200), 200);
    EXPECT_EQ(ByteMin(255, 255), 255);
}

TEST(CentredOffset, TruncatesTowardZero) {
    EXPECT_EQ(CentredOffset(1024, 473), 512 - 236);
    EXPECT_EQ(CentredOffset(801, 300), 400 - 150);
}

TEST(CentredOffset, PageLargerThanTheScreenGoesNegative) {
    EXPECT_EQ(CentredOffset(640, 1001), 320 - 500);
    EXPECT_EQ(CentredOffset(0, 3), -1);
}

// A stream of 6,601 bytes: a 1,000-byte main executable, then files of 1,
// 0, 600 and 5,000 bytes; the help file (last) is a further 5,000 bytes.
TEST(RoomNeeded, EachFileTakesWholeClustersAtTheLargerOfTheTwoPeaks) {
    uint32_t files[] = {1, 0, 600, 5000, 5000}, big[] = {0x7fffffff, 0x7fffffff}, huge[255];
    const struct { uint32_t cluster, archive; bool help; uint32_t kb; } rows[] = {
        {512, 4000, false, 13},    // 6.5 KB of stream + files of 0.5, 0, 1 and 5 KB
        {4096, 4000, false, 24},   // 8 KB + files of 4, 0, 4 and 8 KB
        {32768, 4000, false, 128}, // 32 KB + a cluster for each file but the empty one
        {32768, 4000, true, 160},  // and the help file, on the Windows directory's drive
        {0, 4000, false, 128},     // not known: 32 KB
        {3072, 4000, false, 24},   // no power of two: 4 KB
        {4096, 40000, false, 48},  // 8 KB + the archive's 40 KB
        {512, 0, false, 15}};      // 6.5 KB + no record: 6.5 + an eighth (1 KB) + a cluster
    for (const auto& r : rows)
        EXPECT_EQ(RoomNeededKilobytes({r.archive, 6601, files, 5, 1}, r.cluster, r.help), r.kb) << r.cluster;
    // 2 GB files beside a 2 GB stream: 6 GB; the largest table a byte counts,
    // every size 4 GB less one byte: 1 TB.
    EXPECT_EQ(RoomNeededKilobytes({1, 0x7fffffff, big, 2, 0}, 4096, true), 6u << 20);
    std::fill(huge, huge + 255, ~0u);
    EXPECT_EQ(RoomNeededKilobytes({~0u, ~0u, huge, 255, 0}, 32768, true), 1u << 30);
}

TEST(Gradient, StepsAreTheLargestChannelDistance) {
    EXPECT_EQ(GradientSteps({0, 0, 255}, {0, 0, 0}), 255);
    EXPECT_EQ(GradientSteps({10, 200, 30}, {40, 20, 30}), 180);
    EXPECT_EQ(GradientSteps({7, 7, 7}, {7, 7, 7}), 0);
}

TEST(Gradient, EachChannelMovesOneStepAndStopsAtItsTarget) {
    Rgb c{0, 100, 255};
    const Rgb target{2, 100, 250};
    c = StepToward(c, target);
    EXPECT_EQ(c.r, 1);
    EXPECT_EQ(c.g, 100);
    EXPECT_EQ(c.b, 254);
    for (int i = 0; i < 10; ++i) c = StepToward(c, target);
    EXPECT_EQ(c.r, 2);
    EXPECT_EQ(c.b, 250);
    Rgb edge = StepToward({255, 0, 0}, {255, 0, 0});
    EXPECT_EQ(edge.r, 255);
    EXPECT_EQ(edge.g, 0);
}

TEST(TitleShadow, LuminanceRoundsHalvesToEven) {
    EXPECT_EQ(Luminance({255, 255, 0}), 227);   // the yellow title
    EXPECT_EQ(Luminance({0, 0, 255}), 28);
    // 750 hundredths: 7.5 goes to 8, the even neighbour
    EXPECT_EQ(Luminance({25, 0, 0}), 8);
    // 450 hundredths: 4.5 goes to 4
    EXPECT_EQ(Luminance({15, 0, 0}), 4);
}

TEST(TitleShadow, WhiteBelow128BlackFrom128) {
    // 0.59 * 216 = 127.44 and 0.59 * 217 = 128.03
    EXPECT_EQ(Luminance({0, 216, 0}), 127);
    EXPECT_EQ(Luminance({0, 217, 0}), 128);
    Rgb white = ShadowFor({0, 216, 0}), black = ShadowFor({0, 217, 0});
    EXPECT_EQ(white.r + white.g + white.b, 3 * 255);
    EXPECT_EQ(black.r + black.g + black.b, 0);
    Rgb yellowShadow = ShadowFor({255, 255, 0});
    EXPECT_EQ(yellowShadow.r, 0);
}

TEST(UnhandledErrorText, NamesClassModuleAddressAndMessage) {
    EXPECT_EQ(UnhandledErrorText("EInOutError", "Setup.exe", 0x401A2B, "File not found"),
              "Exception EInOutError in module Setup.exe at 00401A2B.\nFile not found.");
}

TEST(UnhandledErrorText, NoSecondPeriod) {
    EXPECT_EQ(UnhandledErrorText("ElzhException", "Setup.exe", 0, "Done."),
              "Exception ElzhException in module Setup.exe at 00000000.\nDone.");
    EXPECT_EQ(UnhandledErrorText("E", "m", 0, ""), "Exception E in module m at 00000000.\n.");
}

TEST(IoErrors, RaisedErrorCarriesCodeAndReadableText) {
    try {
        RaiseIoError(5, "C:\\WINDOWS\\WinInit.Ini");
        FAIL() << "no exception";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Code(), 5);
        EXPECT_STREQ(e.ClassName(), "EInOutError");
        EXPECT_EQ(e.Message(), "Access denied: C:\\WINDOWS\\WinInit.Ini");
    }
    EXPECT_EQ(IoErrorText(ioDiskFull), "Disk full");
    EXPECT_EQ(IoErrorText(ioReadPastEnd), "Read beyond end of file");
    EXPECT_EQ(IoErrorText(9999), "I/O error 9999");
}

TEST(PathParts, UnstagedExecutableIsTheNameTheRestartRestores) {
    EXPECT_EQ(UnstagedExecutable("Wardhavn.$$$"), "Wardhavn.Exe");
    EXPECT_EQ(UnstagedExecutable("WARDHAVN.$$$"), "WARDHAVN.Exe");
    EXPECT_EQ(UnstagedExecutable("Wardhavn.Exe"), "Wardhavn.Exe");
    EXPECT_EQ(UnstagedExecutable("C:\\a.$$$\\Wardhavn"), "C:\\a.$$$\\Wardhavn");
}

TEST(CountedString, AppendingAndAssigningFromItselfSurvivesTheMove) {
    String s("abc");
    s += s;
    EXPECT_EQ(s, "abcabc");
    s.append(s.c_str() + 1, 2);  // the source lies in the storage that grows
    EXPECT_EQ(s, "abcabcbc");
    s = s.c_str() + 6;
    EXPECT_EQ(s, "bc");
    String grown;
    for (int i = 0; i < 5000; ++i) grown += static_cast<char>('a' + i % 26);
    EXPECT_EQ(grown.size(), 5000u);
    EXPECT_EQ(grown.substr(4990), "yzabcdefgh");
}

TEST(CountedString, CountedNotTerminated) {
    String s("a\0b", 3);
    EXPECT_EQ(s.size(), 3u);
    EXPECT_FALSE(s == "a") << "the zero is a character like any other";
    EXPECT_EQ(s.find('b'), 2u);
    EXPECT_EQ(String().c_str()[0], '\0') << "an empty string still hands a Windows call its text";
}

TEST(CountedString, SearchesAndCutsAtTheEdges) {
    const String path("C:\\a.b\\c");
    EXPECT_EQ(path.find_last_of("\\:"), 6u);
    EXPECT_EQ(path.find_first_of("\\:", 3), 6u);
    EXPECT_EQ(path.rfind('.'), 4u);
    EXPECT_EQ(path.find('x'), String::npos);
    EXPECT_EQ(path.find_last_of("xyz"), String::npos);
    EXPECT_EQ(path.substr(8), "");
    EXPECT_EQ(path.substr(99), "");
    EXPECT_EQ(path.substr(3, 3), "a.b");
}

TEST(NumberText, DecimalAndHexadecimal) {
    const std::pair<int64_t, const char*> decimals[] = {
        {0, "0"}, {-1, "-1"}, {2147483647, "2147483647"}, {INT64_MIN, "-9223372036854775808"}};
    for (auto [value, want] : decimals) EXPECT_EQ(DecimalText(value), want);
    EXPECT_EQ(HexText(0x401A2B, 8), "00401A2B");
    EXPECT_EQ(HexText(0, 8), "00000000");
    EXPECT_EQ(HexText(0xFFFFFFFFu, 2), "FFFFFFFF") << "more digits when the value needs them";
    EXPECT_EQ(UpperCase("Wardhavn.$$$ \xE9"), "WARDHAVN.$$$ \xE9") << "only ASCII letters change";
}

// Double-byte code pages: a trail byte may equal `\\` or a letter. Shift-JIS
// (932): 表 95 5C, ソ 83 5C, 予 97 5C, ｱ (half-width, single byte) B1; Big5
// (950): 許 B3 5C, 功 A5 5C; and pairs 81 5C (936), 81 7C (949).
struct CodePageCase {
    unsigned codePage;
    const char* directory;  // joined with "A.DLL"
    const char* joined;
    const char* file;       // FilePart of `joined`'s directory without its last backslash
    const char* upper;      // UpperCase of `directory`
};

TEST(CodePages, PathHelpersNeverTakeATrailByteForASeparatorOrALetter) {
    const CodePageCase cases[] = {
        {932, "C:\\\x95\x5C", "C:\\\x95\x5C\\A.DLL", "\x95\x5C", "C:\\\x95\x5C"},
        {932, "C:\\\x83\x5C\x83\x74\x83\x67\\\x97\x5C", "C:\\\x83\x5C\x83\x74\x83\x67\\\x97\x5C\\A.DLL",
         "\x97\x5C", "C:\\\x83\x5C\x83\x74\x83\x67\\\x97\x5C"},
        {932, "c:\\\xB1\\", "c:\\\xB1\\A.DLL", "\xB1", "C:\\\xB1\\"},   // a half-width kana is one byte
        {932, "c:\\\x82\x61x", "c:\\\x82\x61x\\A.DLL", "\x82\x61x", "C:\\\x82\x61X"},  // 82 61 keeps its 'a'
        {950, "C:\\\xB3\x5C\xA5\x5C", "C:\\\xB3\x5C\xA5\x5C\\A.DLL", "\xB3\x5C\xA5\x5C", "C:\\\xB3\x5C\xA5\x5C"},
        {936, "d:\\\x81\x5C", "d:\\\x81\x5C\\A.DLL", "\x81\x5C", "D:\\\x81\x5C"},
        {949, "d:\\\x81\x7C", "d:\\\x81\x7C\\A.DLL", "\x81\x7C", "D:\\\x81\x7C"},
        // On a single-byte code page every byte is a character, as before.
        {1252, "C:\\\x95\x5C", "C:\\\x95\x5C" "A.DLL", "\x95", "C:\\\x95\x5C"},
    };
    for (const auto& c : cases) {
        UseCodePage(c.codePage);
        SCOPED_TRACE(testing::Message() << "code page " << c.codePage << ", " << c.directory);
        String joined = PathJoin(c.directory, "A.DLL");
        EXPECT_EQ(joined, c.joined);
        EXPECT_EQ(FilePart(joined), "A.DLL");
        EXPECT_EQ(FilePart(DirectoryPart(joined).substr(0, DirectoryPart(joined).size() - 1)), c.file);
        EXPECT_EQ(UpperCase(c.directory), c.upper);
        EXPECT_TRUE(SameTextIgnoringCase(c.directory, c.upper));
    }
    UseCodePage(0);
}

TEST(CodePages, SearchesAndComparisonsWalkByCharacter) {
    UseCodePage(932);
    const String name("\x95\x5C.\x83\x5C");  // 表.ソ
    EXPECT_EQ(UpperExtension(name), ".\x83\x5C");
    EXPECT_EQ(name.rfind('\\'), String::npos);
    EXPECT_FALSE(name.endsWith('\\'));
    EXPECT_TRUE(String("\x95\x5C\\").endsWith('\\'));
    EXPECT_EQ(String("\x83\x7C|").find('|'), 2u) << "83 7C is one character, not a bar";
    EXPECT_FALSE(SameTextIgnoringCase("\x82\x61", "\x82\x41")) << "a trail byte is never folded";
    EXPECT_TRUE(SameTextIgnoringCase("\x82\x61" "a", "\x82\x61" "A"));
    EXPECT_EQ(NextChar(String("\x95"), 0), 1u) << "a lead byte at the end stands alone";
    EXPECT_EQ(LeadingCharacters("AB\x95\x5C", 3), "AB") << "a name cut to a field never keeps half a character";
    UseCodePage(0);
}

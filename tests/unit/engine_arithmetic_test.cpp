// The progress bar's arithmetic and the archive-end rule the unpacking page
// relies on: the decoder says whether its codes ran past the bytes delivered.
#include <gtest/gtest.h>

#include <random>

#include "engine/progress_arithmetic.h"
#include "lzh/lzh_encoder.h"
#include "tests/unit/lzh_reference.h"
#include "tests/unit/lzh_test_io.h"

TEST(ProgressArithmetic, RoundsHalvesToTheEvenNeighbour) {
    const std::pair<double, int32_t> cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {6.5, 6}, {7.5, 8},
                                                 {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {-2.51, -3}, {0.49, 0}, {0.51, 1},
                                                 {99.5, 100}, {2147483646.5, 2147483646}};
    for (auto [value, want] : cases) EXPECT_EQ(RoundHalfEven(value), want) << value;
    EXPECT_EQ(RoundHalfEven(1e12), INT32_MAX);
    EXPECT_EQ(RoundHalfEven(-1e12), INT32_MIN);
}

TEST(ProgressArithmetic, PercentAndFillOfTheJoiningPage) {
    // 229,670 of 3,281,000 is 7 % exactly; 17.29 pixels of a 247-pixel bar.
    ProgressPoint p = ProgressAt(229670, 3281000, 10, 247);
    EXPECT_EQ(p.percent, 7);
    EXPECT_EQ(p.fillX, 27);
    // 12.5 % and 37.5 % round to even; a fill of 2.5 pixels too.
    EXPECT_EQ(ProgressAt(1, 8, 0, 20).percent, 12);
    EXPECT_EQ(ProgressAt(3, 8, 0, 20).percent, 38);
    EXPECT_EQ(ProgressAt(1, 8, 0, 20).fillX, 2);
    EXPECT_EQ(ProgressAt(3, 8, 0, 20).fillX, 8);  // 7.5 -> 8
    EXPECT_EQ(ProgressAt(3281000, 3281000, 5, 100).percent, 100);
    EXPECT_EQ(ProgressAt(3281000, 3281000, 5, 100).fillX, 105);
}

TEST(ProgressArithmetic, BeyondTheTotalThePercentGrowsAndTheFillStopsAtTheBarsEnd) {
    EXPECT_EQ(ProgressAt(2 * 3281000, 3281000, 0, 100).percent, 200);
    EXPECT_EQ(ProgressAt(2 * 3281000, 3281000, 0, 100).fillX, 100);
    EXPECT_EQ(ProgressAt(3281001, 3281000, 7, 243).fillX, 250);
    // 16-bit GDI would draw a fill of 32,768 or more at the left of the screen.
    ProgressPoint huge = ProgressAt(INT32_MAX, 1, 100, 1000);
    EXPECT_EQ(huge.percent, INT32_MAX);
    EXPECT_EQ(huge.fillX, 1100);
    EXPECT_EQ(ProgressAt(-5, 10, 40, 100).fillX, 40);
    // An empty stream counts as done rather than dividing by zero.
    EXPECT_EQ(ProgressAt(0, 0, 0, 100).percent, 100);
}

TEST(JoinedCount, VolumesMayAddUpTo2147483647BytesAndNoMore) {
    const struct {
        int32_t joined;
        uint32_t more;
        bool holds;
    } cases[] = {{0, 0, true},          {0, INT32_MAX, true},         {0, 0x80000000u, false},
                 {0, UINT32_MAX, false}, {9000, INT32_MAX - 9000, true}, {9000, INT32_MAX - 8999, false},
                 {INT32_MAX, 0, true},   {INT32_MAX, 1, false},        {INT32_MAX - 2048, 2048, true}};
    for (const auto& c : cases) EXPECT_EQ(JoinedCountHolds(c.joined, c.more), c.holds) << c.joined << " + " << c.more;
}

TEST(ProgressArithmetic, BarInsideTheFrame) {
    // Frame (115,240)-(361,260) on a page at (100,200); border 1, caption 18.
    BarGeometry g = BarInFrame({115, 240, 361, 260}, {100, 200, 400, 340}, 1, 1, 18);
    EXPECT_EQ(g.barLeft, 14);
    EXPECT_EQ(g.barTop, 21);
    EXPECT_EQ(g.barRight, 256);
    EXPECT_EQ(g.barBottom, 37);
    EXPECT_EQ(g.barSpan, 243);
    EXPECT_EQ(g.textX, 14 + 121 - 10);
    EXPECT_EQ(g.textY, 21 + 8 - 8);
}

namespace {

// Decodes `stream` to `size` bytes; what the decoder made of its input.
LzhInputUse DecodeAndJudge(const std::vector<uint8_t>& stream, int32_t size) {
    lzhio::DecodeBytes(stream, size);
    return LzhLastInputUse();
}

std::vector<uint8_t> Sample(std::mt19937& rng, size_t size) {
    // Runs and noise mixed, so streams end on literals and on matches.
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size;) {
        size_t run = rng() % 80 + 1;
        uint8_t b = static_cast<uint8_t>(rng());
        bool repeat = rng() % 2;
        for (size_t k = 0; k < run && i < size; ++k, ++i) data[i] = repeat ? b : static_cast<uint8_t>(rng());
    }
    return data;
}

std::vector<uint8_t> Encoded(const std::vector<uint8_t>& data, LzhParse parse) {
    LzhEncodeOptions o;
    o.parse = parse;
    return LzhEncode(data.data(), data.size(), o);
}

}  // namespace

TEST(ArchiveEnd, ACompleteStreamIsNeverCutShortWhateverFollowsIt) {
    std::mt19937 rng(7);
    for (int i = 0; i < 400; ++i) {
        std::vector<uint8_t> data = Sample(rng, rng() % 3000 + 1);
        for (LzhParse parse : {LzhParse::greedy, LzhParse::optimal}) {
            std::vector<uint8_t> stream = Encoded(data, parse);
            size_t size = stream.size();
            for (size_t trailing = 0; trailing <= 3; ++trailing) {
                LzhInputUse use = DecodeAndJudge(stream, static_cast<int32_t>(data.size()));
                ASSERT_EQ(lzhio::io.output, data);
                ASSERT_FALSE(use.cutShort) << "sample " << i << ", " << trailing << " bytes after the stream";
                ASSERT_EQ(use.bytesUsed, size) << "sample " << i << ", " << trailing << " bytes after the stream";
                stream.push_back(static_cast<uint8_t>(rng()));
            }
        }
    }
}

TEST(ArchiveEnd, AStreamMissingItsLastBytesIsNoticed) {
    std::mt19937 rng(8);
    for (int i = 0; i < 200; ++i) {
        std::vector<uint8_t> data = Sample(rng, rng() % 3000 + 500);
        std::vector<uint8_t> stream = LzhEncode(data.data(), data.size());
        stream.resize(stream.size() - 64);
        EXPECT_TRUE(DecodeAndJudge(stream, static_cast<int32_t>(data.size())).cutShort);
        EXPECT_LT(lzhio::io.output.size(), data.size());
    }
}

// Each cut of 1 to 8 bytes, of encoder streams and of streams with up to 3
// bytes after their end: caught exactly when a code needed a bit of a lost
// byte (the encoder's last byte always holds one), and then nothing of that
// code is written. The plain decoder says which codes fit; on the whole
// stream it says how many bits the codes take.
TEST(ArchiveEnd, EveryCutOfOneToEightBytesIsCaughtExactlyWhenACodeLosesABit) {
    std::mt19937 rng(9);
    for (int i = 0; i < 300; ++i) {
        std::vector<uint8_t> data = Sample(rng, rng() % 2000 + 1);
        std::vector<uint8_t> stream = Encoded(data, i % 2 ? LzhParse::optimal : LzhParse::greedy);
        int32_t size = static_cast<int32_t>(data.size());
        size_t after = rng() % 4;
        for (size_t k = 0; k < after; ++k) stream.push_back(static_cast<uint8_t>(rng()));
        uint64_t bitsNeeded = reference::DecodeWithEnd(stream, size).bitsUsed;
        for (size_t cut = 1; cut <= 8 && cut <= stream.size(); ++cut) {
            std::vector<uint8_t> kept(stream.begin(), stream.end() - cut);
            reference::Decoded plain = reference::DecodeWithEnd(kept, size);
            LzhInputUse use = DecodeAndJudge(kept, size);
            SCOPED_TRACE("sample " + std::to_string(i) + ", cut " + std::to_string(cut));
            ASSERT_EQ(use.cutShort, bitsNeeded > 8 * kept.size());
            ASSERT_EQ(use.cutShort, cut > after);
            ASSERT_EQ(plain.cutShort, use.cutShort);
            ASSERT_EQ(lzhio::io.output, plain.out);
        }
    }
}

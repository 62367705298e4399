// The progress bar's arithmetic and the archive-end rule the unpacking page
// relies on: how far the decoder reads beyond the last byte it needs.
#include <gtest/gtest.h>

#include <random>

#include "engine/progress_arithmetic.h"
#include "lzh/lzh_encoder.h"
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

TEST(ProgressArithmetic, BeyondTheTotalKeepsGrowingAndNeverOverflows) {
    EXPECT_EQ(ProgressAt(2 * 3281000, 3281000, 0, 100).percent, 200);
    EXPECT_EQ(ProgressAt(2 * 3281000, 3281000, 0, 100).fillX, 200);
    ProgressPoint huge = ProgressAt(INT32_MAX, 1, 100, 1000);
    EXPECT_EQ(huge.percent, INT32_MAX);
    EXPECT_EQ(huge.fillX, INT32_MAX);
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

// Decodes `stream` to `size` bytes; the number of reads that found no byte.
long MissesDecoding(const std::vector<uint8_t>& stream, int32_t size) {
    lzhio::Reset(stream);
    long misses = 0;
    keepRunning = 1;
    decode(size, [](void* b, uint16_t c, uint16_t& a) { lzhio::ReadProc(b, c, a); }, lzhio::WriteProc);
    misses = lzhio::io.reads - static_cast<long>(lzhio::io.readPos);
    return misses;
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

}  // namespace

TEST(ArchiveEnd, TheDecoderReadsNoFurtherAheadThanTheReaderAllows) {
    std::mt19937 rng(7);
    long most = 0;
    for (int i = 0; i < 400; ++i) {
        std::vector<uint8_t> data = Sample(rng, rng() % 3000 + 1);
        for (LzhParse parse : {LzhParse::greedy, LzhParse::optimal}) {
            LzhEncodeOptions o;
            o.parse = parse;
            std::vector<uint8_t> stream = LzhEncode(data.data(), data.size(), o);
            long misses = MissesDecoding(stream, static_cast<int32_t>(data.size()));
            ASSERT_EQ(lzhio::io.output, data);
            most = std::max(most, misses);
        }
    }
    EXPECT_LE(most, lzhReadAhead);
}

TEST(ArchiveEnd, AStreamMissingItsLastBytesIsNoticed) {
    std::mt19937 rng(8);
    for (int i = 0; i < 200; ++i) {
        std::vector<uint8_t> data = Sample(rng, rng() % 3000 + 500);
        std::vector<uint8_t> stream = LzhEncode(data.data(), data.size());
        stream.resize(stream.size() - 64);
        EXPECT_GT(MissesDecoding(stream, static_cast<int32_t>(data.size())), lzhReadAhead);
    }
}

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

#include "lzh/lzh_decoder.h"
#include "lzh/lzh_tree.h"
#include "runtime/exception.h"
#include "tests/unit/lzh_reference.h"
#include "tests/unit/lzh_test_io.h"

namespace {

using lzhio::DecodeBytes;
using lzhio::DecodeInBlocks;
using lzhio::io;

std::vector<uint8_t> BytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Hand assembly of streams: the plain reference model gives each symbol's
// bits, distances are written out bit by bit here.
class StreamBuilder {
public:
    StreamBuilder& Bits(const std::string& zeroOnes) {
        for (char c : zeroOnes) bits_.push_back(c == '1');
        return *this;
    }
    StreamBuilder& Literal(uint8_t c) { return Symbol(c); }
    StreamBuilder& Match(int length, int distance) {
        Symbol(length + 253);
        int v = distance >> 6;
        // v's prefix: the leading bits of the first byte value of its run.
        int first = 0;
        while (reference::PositionHighOf(first) != v) ++first;
        int n = reference::PositionBitsOf(first);
        for (int k = 7; k >= 8 - n; --k) bits_.push_back((first >> k) & 1);
        for (int k = 5; k >= 0; --k) bits_.push_back((distance >> k) & 1);
        return *this;
    }
    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> out((bits_.size() + 7) / 8);
        for (size_t i = 0; i < bits_.size(); ++i)
            if (bits_[i]) out[i / 8] |= uint8_t(0x80 >> (i % 8));
        return out;
    }

private:
    StreamBuilder& Symbol(int s) {
        for (int b : model_.Code(s)) bits_.push_back(b);
        model_.Update(s);
        return *this;
    }
    reference::Model model_;
    std::vector<bool> bits_;
};

// Counting allocator, to see the tables taken and given back.
long acquired = 0, released = 0;
std::size_t askedSize = 0;
void* CountingAcquire(std::size_t size) {
    ++acquired;
    askedSize = size;
    return std::malloc(size);
}
bool CountingRelease(void* block) {
    ++released;
    std::free(block);
    return true;
}
void* FailingAcquire(std::size_t) { return nullptr; }
void* ThrowingAcquire(std::size_t) { throw std::bad_alloc(); }
bool FailingRelease(void* block) {
    ++released;
    std::free(block);
    return false;
}

class DecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        acquired = released = 0;
        askedSize = 0;
        SetLzhTableAllocator(CountingAcquire, CountingRelease);
        keepRunning = 1;
    }
    void TearDown() override {
        SetLzhTableAllocator(nullptr, nullptr);
        keepRunning = 1;
    }
};

TEST_F(DecoderTest, NoPositiveSizeTakesTablesButReadsAndWritesNothing) {
    for (int32_t size : {0, -1, INT32_MIN}) {
        acquired = released = 0;
        EXPECT_TRUE(DecodeBytes({0x12, 0x34}, size).empty()) << "size " << size;
        EXPECT_EQ(io.reads, 0) << "size " << size;
        EXPECT_EQ(acquired, 1);
        EXPECT_EQ(released, 1);
    }
    EXPECT_EQ(askedSize, 8488u) << "the whole state is the window and three tables";
}

TEST_F(DecoderTest, ClearedFlagAtEntryStopsBeforeTheFirstCode) {
    lzhio::Reset({0, 0, 0});
    keepRunning = 0;
    decode(100, lzhio::ReadProc, lzhio::WriteProc);
    EXPECT_EQ(io.reads, 0);
    EXPECT_EQ(io.writes, 0);
    EXPECT_EQ(released, 1);
}

TEST_F(DecoderTest, InitialTreeGivesEightAndNineBitCodes) {
    // eight 0 bits: symbol 116; nine 1 bits: symbol 115; 110001100: symbol 0.
    EXPECT_EQ(DecodeBytes({0x00}, 1), BytesOf("\x74"));
    EXPECT_EQ(DecodeBytes({0xFF, 0x80}, 1), BytesOf("\x73"));
    EXPECT_EQ(DecodeBytes({0xC6, 0x00}, 1), std::vector<uint8_t>{0});
}

TEST_F(DecoderTest, ZeroBitsGiveOneLiteralThenAWholeMatch) {
    // 0 bits: 't' (116), then after the update symbol 313, a 60-byte match
    // at distance 0, written whole although only one more byte was asked for.
    // 8 + 8 + 9 bits: four bytes.
    EXPECT_EQ(DecodeBytes({0, 0, 0, 0}, 2), std::vector<uint8_t>(61, 0x74));
    EXPECT_EQ(DecodeBytes({0}, 1), std::vector<uint8_t>(1, 0x74));
    EXPECT_EQ(io.oddCounts, 0);
}

TEST_F(DecoderTest, InputEndingUnderACodeStopsBeforeWritingIt) {
    struct Case {
        const char* what;
        std::vector<uint8_t> input;
        int32_t size;
        size_t written;
        bool cutShort;
        uint64_t bytesUsed;
    };
    const Case cases[] = {
        {"no input at all", {}, 2, 0, true, 0},
        {"a 9-bit symbol in 8 bits", {0xFF}, 1, 0, true, 1},
        {"a literal, then a match short of its last distance bit", {0, 0, 0}, 2, 1, true, 3},
        {"the whole match", {0, 0, 0, 0}, 2, 61, false, 4},
        {"the literal alone; the rest unread", {0, 0, 0, 0}, 1, 1, false, 1},
        {"a literal ending inside its byte", {0xC6, 0x00}, 1, 1, false, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeBytes(c.input, c.size).size(), c.written) << c.what;
        LzhInputUse use = LzhLastInputUse();
        EXPECT_EQ(use.cutShort, c.cutShort) << c.what;
        EXPECT_EQ(use.bytesUsed, c.bytesUsed) << c.what;
        EXPECT_LE(io.reads - long(io.readPos), 1) << c.what << ": asked again after the input ended";
    }
}

TEST_F(DecoderTest, MatchesRepeatAndOverlap) {
    StreamBuilder s;
    s.Literal('a').Match(5, 0);                    // distance 0 repeats the last byte
    s.Literal('x').Literal('y').Literal('z').Match(10, 2);  // shorter than its length: a pattern
    s.Match(4, 14);                                // "aaxy" from 15 back
    EXPECT_EQ(DecodeBytes(s.Bytes(), 23), BytesOf("aaaaaaxyzxyzxyzxyzxaaxy"));
}

TEST_F(DecoderTest, EarlyMatchReachingBeforeTheFirstByteYieldsSpaces) {
    StreamBuilder s;
    s.Literal('Q').Match(6, 2).Match(8, 100);     // 2 spaces and 'Q' twice, then 8 spaces from far back
    std::vector<uint8_t> out = DecodeBytes(s.Bytes(), 15);
    EXPECT_EQ(out, BytesOf("Q  Q  Q        "));
}

TEST_F(DecoderTest, EveryDistancePrefixLengthDecodes) {
    // One match per distance-code run (3 to 8 prefix bits), sources all inside a known block.
    std::vector<uint8_t> text;
    StreamBuilder s;
    std::mt19937 rng(7);
    for (int i = 0; i < 4000; ++i) {
        uint8_t c = uint8_t('A' + rng() % 26);
        text.push_back(c);
        s.Literal(c);
    }
    for (int d : {0, 63, 64, 255, 256, 767, 768, 1535, 1536, 3071, 3072, 3999}) {
        size_t from = text.size() - d - 1;
        for (int k = 0; k < 7; ++k) text.push_back(text[from + k]);
        s.Match(7, d);
    }
    EXPECT_EQ(DecodeBytes(s.Bytes(), int32_t(text.size())), text);
}

TEST_F(DecoderTest, TheFinalMatchIsWrittenWholeAndOnlyWhole) {
    StreamBuilder s;
    s.Literal('k').Match(60, 0);
    EXPECT_EQ(DecodeBytes(s.Bytes(), 2).size(), 61u);
    EXPECT_EQ(DecodeBytes(s.Bytes(), 61).size(), 61u);
}

TEST(TreeTest, RebuildWaitsForTheUpdateAfterTheRootReachesTheLimit) {
    lzh::Tree tree;
    lzh::ResetTree(tree);
    reference::Model model;
    std::mt19937 rng(11);
    // 314 + 32454 = 0x8000: the last of these increments reaches the limit.
    for (int i = 0; i < 32454; ++i) {
        unsigned s = rng() % 3 == 0 ? rng() % 314 : rng() % 40;
        lzh::UpdateTree(tree, s);
        model.Update(int(s));
    }
    ASSERT_EQ(tree.weight[lzh::root], 0x8000);
    unsigned before = 0;
    for (unsigned n = 0; n < lzh::nodeCount; ++n)
        if (tree.child[n] >= lzh::leafMark) before += tree.weight[n];
    EXPECT_EQ(before, 0x8000u) << "no rebuild yet: the leaves still sum to the root";

    lzh::UpdateTree(tree, 5);
    model.Update(5);
    unsigned leaves = 0;
    for (unsigned n = 0; n < lzh::nodeCount; ++n) {
        if (tree.child[n] >= lzh::leafMark) {
            EXPECT_GE(tree.weight[n], 1) << "leaf " << n;
            leaves += tree.weight[n];
        }
        if (n > 0) {
            EXPECT_LE(tree.weight[n - 1], tree.weight[n]) << "order at node " << n;
        }
        EXPECT_EQ(tree.weight[n], model.freq[n]) << "node " << n;
        EXPECT_EQ(tree.child[n], model.son[n]) << "node " << n;
    }
    EXPECT_LT(leaves, 0x8000u / 2 + 314 + 1);
    EXPECT_EQ(tree.weight[lzh::root], leaves);
}

TEST_F(DecoderTest, AgreesWithThePlainDecoderOnArbitraryStreams) {
    // Any bytes are a valid stream until they run out; random ones exercise
    // every symbol, distance and, over long inputs, rebuilds (some 62,000
    // codes of random input before the output reaches its largest size).
    std::mt19937 rng(2024);
    for (int round = 0; round < 40; ++round) {
        std::vector<uint8_t> in(1 + rng() % 80000);
        for (auto& b : in) b = uint8_t(rng());
        int32_t size = int32_t(rng() % 400000);
        reference::Decoded want = reference::DecodeWithEnd(in, size);
        ASSERT_EQ(DecodeBytes(in, size), want.out) << "round " << round;
        LzhInputUse use = LzhLastInputUse();
        EXPECT_EQ(use.cutShort, want.cutShort) << "round " << round;
        EXPECT_EQ(use.bytesUsed, want.cutShort ? in.size() : (want.bitsUsed + 7) / 8) << "round " << round;
    }
}

TEST_F(DecoderTest, BlockOutputEqualsTheByteProceduresAcrossFlushesAndCuts) {
    // Random streams: every distance, matches reaching back across a flush,
    // and inputs that end under a code.
    std::mt19937 rng(77);
    for (std::size_t bufferSize : {lzhBlockBufferMin, lzhBlockBufferMin + 13, std::size_t(1) << 16}) {
        for (int round = 0; round < 8; ++round) {
            std::vector<uint8_t> in(1 + rng() % 20000);
            for (auto& b : in) b = uint8_t(rng());
            int32_t size = int32_t(rng() % 100000);
            std::vector<uint8_t> want = DecodeBytes(in, size);
            LzhInputUse wantUse = LzhLastInputUse();
            ASSERT_EQ(DecodeInBlocks(in, size, bufferSize), want) << "buffer " << bufferSize << ", round " << round;
            LzhInputUse use = LzhLastInputUse();
            EXPECT_EQ(use.cutShort, wantUse.cutShort) << "buffer " << bufferSize << ", round " << round;
            EXPECT_EQ(use.bytesUsed, wantUse.bytesUsed) << "buffer " << bufferSize << ", round " << round;
        }
    }
    EXPECT_EQ(acquired, released);
}

TEST_F(DecoderTest, BlockOutputFollowsTheTreeThroughRebuildsAndEveryCut) {
    // Long arbitrary streams: the tree is rebuilt a few times and its top
    // changes shape often, so stale tables of the top would show.
    std::mt19937 rng(18);
    for (int round = 0; round < 3; ++round) {
        std::vector<uint8_t> in(100000 + rng() % 40000);
        for (auto& b : in) b = uint8_t(rng());
        reference::Decoded want = reference::DecodeWithEnd(in, 2000000);
        ASSERT_EQ(DecodeInBlocks(in, 2000000, std::size_t(1) << 16), want.out) << "round " << round;
        EXPECT_TRUE(LzhLastInputUse().cutShort) << "round " << round;
    }
    // Every cut of a literal-heavy stream ends as the byte procedures end.
    std::vector<uint8_t> text(2500);
    for (size_t i = 0; i < text.size(); ++i) text[i] = uint8_t(i * 7 / 5 + rng() % 23);
    std::vector<uint8_t> stream = reference::Encode(text);
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        std::vector<uint8_t> in(stream.begin(), stream.begin() + cut);
        std::vector<uint8_t> want = DecodeBytes(in, int32_t(text.size()));
        LzhInputUse wantUse = LzhLastInputUse();
        ASSERT_EQ(DecodeInBlocks(in, int32_t(text.size()), lzhBlockBufferMin), want) << "cut " << cut;
        LzhInputUse use = LzhLastInputUse();
        ASSERT_EQ(use.cutShort, wantUse.cutShort) << "cut " << cut;
        ASSERT_EQ(use.bytesUsed, wantUse.bytesUsed) << "cut " << cut;
    }
}

TEST_F(DecoderTest, BlockDecodingRefusesASmallBufferAndPassesFlushErrors) {
    try {
        DecodeInBlocks({0, 0, 0, 0}, 2, lzhBlockBufferMin - 1);
        FAIL() << "no exception";
    } catch (const ElzhException& e) {
        EXPECT_EQ(e.Message(), "LZH : Output buffer too small");
    }
    std::vector<uint8_t> buffer(lzhBlockBufferMin);
    std::vector<uint8_t> zeros(100);
    EXPECT_THROW(LzhDecodeBlocks(zeros.data(), zeros.size(), 100, buffer.data(), buffer.size(),
                                 [](void*, const uint8_t*, std::size_t) { throw std::runtime_error("disk full"); },
                                 nullptr),
                 std::runtime_error);
    EXPECT_EQ(acquired, 2);
    EXPECT_EQ(released, 2) << "the tables are given back on both ways out";
}

TEST_F(DecoderTest, DecodesTheIndependentEncodersStreams) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "Wardhaven installs from three disks; line " + std::to_string(i % 17) + "\n";
    for (bool matches : {false, true}) {
        std::vector<uint8_t> stream = reference::Encode(BytesOf(text), matches);
        EXPECT_EQ(DecodeBytes(stream, int32_t(text.size())), BytesOf(text)) << "matches " << matches;
    }
}

TEST_F(DecoderTest, FailuresToTakeOrGiveBackTablesRaiseTheTwoMessages) {
    SetLzhTableAllocator(FailingAcquire, CountingRelease);
    lzhio::Reset({0});
    try {
        decode(10, lzhio::ReadProc, lzhio::WriteProc);
        FAIL() << "no exception";
    } catch (const ElzhException& e) {
        EXPECT_STREQ(e.ClassName(), "ElzhException");
        EXPECT_EQ(e.Message(), "LZH : Cannot get memory for dictionary tables");
    }
    EXPECT_EQ(io.reads, 0);

    SetLzhTableAllocator(ThrowingAcquire, CountingRelease);
    int releasedBefore = released;
    EXPECT_THROW(decode(10, lzhio::ReadProc, lzhio::WriteProc), std::bad_alloc) << "an allocator's own error passes";
    EXPECT_EQ(released, releasedBefore) << "nothing was acquired, so nothing is released";

    SetLzhTableAllocator(CountingAcquire, FailingRelease);
    try {
        DecodeBytes({0}, 1);
        FAIL() << "no exception";
    } catch (const ElzhException& e) {
        EXPECT_EQ(e.Message(), "LZH : Error freeing memory for dictionary tables");
    }
    EXPECT_EQ(io.output.size(), 1u) << "decoding finished before the release";
}

void ThrowingRead(void*, uint16_t, uint16_t&) { throw std::runtime_error("disk gone"); }
int writesBeforeStop = 0;
void StoppingWrite(const void* buffer, uint16_t count, uint16_t& actual) {
    lzhio::WriteProc(buffer, count, actual);
    if (--writesBeforeStop == 0) keepRunning = 0;
}

TEST_F(DecoderTest, ProcedureExceptionsPassThroughAfterTheTablesAreReleased) {
    lzhio::Reset();
    EXPECT_THROW(decode(10, ThrowingRead, lzhio::WriteProc), std::runtime_error);
    EXPECT_EQ(acquired, 1);
    EXPECT_EQ(released, 1);
}

TEST_F(DecoderTest, ClearingTheFlagStopsAfterTheCurrentCode) {
    StreamBuilder s;
    s.Literal('a').Literal('b').Match(20, 1).Literal('c');
    lzhio::Reset(s.Bytes());
    writesBeforeStop = 3;  // cleared during the match's first byte
    decode(100, lzhio::ReadProc, StoppingWrite);
    std::string want = "ab";
    for (int i = 0; i < 10; ++i) want += "ab";
    EXPECT_EQ(io.output, BytesOf(want)) << "the whole match, then nothing";
    EXPECT_EQ(keepRunning, 0) << "decode never sets the flag";
}

}  // namespace

// Setup.exe carries this instead of its agreement text: a stale one would
// show the old wording (resources/pack-resources.sh).
TEST_F(DecoderTest, PackedAgreementUnpacksToItsSource) {
    auto read = [](const char* name) {
        std::ifstream in(std::string(WH_RESOURCES_DIR "/") + name, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    };
    std::vector<uint8_t> packed = read("license.lzh"), source = read("license.txt");
    ASSERT_GT(packed.size(), 8u);
    auto le32 = [&](size_t at) { return packed[at] | packed[at + 1] << 8 | packed[at + 2] << 16 | packed[at + 3] << 24; };
    EXPECT_EQ(size_t(le32(4)), packed.size() - 8) << "packed length";
    EXPECT_EQ(DecodeBytes({packed.begin() + 8, packed.end()}, le32(0)), source)
        << "license.lzh does not unpack to license.txt";
}

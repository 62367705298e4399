#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <stdexcept>
#include <string>

#include "lzh/lzh_decoder.h"
#include "lzh/lzh_tree.h"
#include "runtime/exception.h"
#include "tests/unit/lzh_reference.h"
#include "tests/unit/lzh_test_io.h"

namespace {

using lzhio::decodeBytes;
using lzhio::io;

std::vector<uint8_t> bytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Hand assembly of streams: the plain reference model gives each symbol's
// bits, distances are written out bit by bit here.
class StreamBuilder {
public:
    StreamBuilder& bits(const std::string& zeroOnes) {
        for (char c : zeroOnes) bits_.push_back(c == '1');
        return *this;
    }
    StreamBuilder& literal(uint8_t c) { return symbol(c); }
    StreamBuilder& match(int length, int distance) {
        symbol(length + 253);
        int v = distance >> 6;
        // v's prefix: the leading bits of the first byte value of its run.
        int first = 0;
        while (reference::positionHighOf(first) != v) ++first;
        int n = reference::positionBitsOf(first);
        for (int k = 7; k >= 8 - n; --k) bits_.push_back((first >> k) & 1);
        for (int k = 5; k >= 0; --k) bits_.push_back((distance >> k) & 1);
        return *this;
    }
    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> out((bits_.size() + 7) / 8);
        for (size_t i = 0; i < bits_.size(); ++i)
            if (bits_[i]) out[i / 8] |= uint8_t(0x80 >> (i % 8));
        return out;
    }

private:
    StreamBuilder& symbol(int s) {
        for (int b : model_.code(s)) bits_.push_back(b);
        model_.update(s);
        return *this;
    }
    reference::Model model_;
    std::vector<bool> bits_;
};

// Counting allocator, to see the tables taken and given back.
long acquired = 0, released = 0;
std::size_t askedSize = 0;
void* countingAcquire(std::size_t size) {
    ++acquired;
    askedSize = size;
    return std::malloc(size);
}
bool countingRelease(void* block) {
    ++released;
    std::free(block);
    return true;
}
void* failingAcquire(std::size_t) { return nullptr; }
void* throwingAcquire(std::size_t) { throw std::bad_alloc(); }
bool failingRelease(void* block) {
    ++released;
    std::free(block);
    return false;
}

class DecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        acquired = released = 0;
        askedSize = 0;
        setLzhTableAllocator(countingAcquire, countingRelease);
        keepRunning = 1;
    }
    void TearDown() override {
        setLzhTableAllocator(nullptr, nullptr);
        keepRunning = 1;
    }
};

TEST_F(DecoderTest, NoPositiveSizeTakesTablesButReadsAndWritesNothing) {
    for (int32_t size : {0, -1, INT32_MIN}) {
        acquired = released = 0;
        EXPECT_TRUE(decodeBytes({0x12, 0x34}, size).empty()) << "size " << size;
        EXPECT_EQ(io.reads, 0) << "size " << size;
        EXPECT_EQ(acquired, 1);
        EXPECT_EQ(released, 1);
    }
    EXPECT_EQ(askedSize, 8488u) << "the whole state is the window and three tables";
}

TEST_F(DecoderTest, ClearedFlagAtEntryStopsBeforeTheFirstCode) {
    lzhio::reset({0, 0, 0});
    keepRunning = 0;
    decode(100, lzhio::readProc, lzhio::writeProc);
    EXPECT_EQ(io.reads, 0);
    EXPECT_EQ(io.writes, 0);
    EXPECT_EQ(released, 1);
}

TEST_F(DecoderTest, InitialTreeGivesEightAndNineBitCodes) {
    // eight 0 bits: symbol 116; nine 1 bits: symbol 115; 110001100: symbol 0.
    EXPECT_EQ(decodeBytes({0x00}, 1), bytesOf("\x74"));
    EXPECT_EQ(decodeBytes({0xFF, 0x80}, 1), bytesOf("\x73"));
    EXPECT_EQ(decodeBytes({0xC6, 0x00}, 1), std::vector<uint8_t>{0});
}

TEST_F(DecoderTest, NoInputAtAllGivesOneLiteralThenAWholeMatch) {
    // 0 bits: 't' (116), then after the update symbol 313, a 60-byte match
    // at distance 0, written whole although only one more byte was asked for.
    EXPECT_EQ(decodeBytes({}, 2), std::vector<uint8_t>(61, 0x74));
    EXPECT_EQ(decodeBytes({}, 1), std::vector<uint8_t>(1, 0x74));
    EXPECT_EQ(io.oddCounts, 0);
}

TEST_F(DecoderTest, MatchesRepeatAndOverlap) {
    StreamBuilder s;
    s.literal('a').match(5, 0);                    // distance 0 repeats the last byte
    s.literal('x').literal('y').literal('z').match(10, 2);  // shorter than its length: a pattern
    s.match(4, 14);                                // "aaxy" from 15 back
    EXPECT_EQ(decodeBytes(s.bytes(), 23), bytesOf("aaaaaaxyzxyzxyzxyzxaaxy"));
}

TEST_F(DecoderTest, EarlyMatchReachingBeforeTheFirstByteYieldsSpaces) {
    StreamBuilder s;
    s.literal('Q').match(6, 2).match(8, 100);     // 2 spaces and 'Q' twice, then 8 spaces from far back
    std::vector<uint8_t> out = decodeBytes(s.bytes(), 15);
    EXPECT_EQ(out, bytesOf("Q  Q  Q        "));
}

TEST_F(DecoderTest, EveryDistancePrefixLengthDecodes) {
    // One match per distance-code run (3 to 8 prefix bits), sources all inside a known block.
    std::vector<uint8_t> text;
    StreamBuilder s;
    std::mt19937 rng(7);
    for (int i = 0; i < 4000; ++i) {
        uint8_t c = uint8_t('A' + rng() % 26);
        text.push_back(c);
        s.literal(c);
    }
    for (int d : {0, 63, 64, 255, 256, 767, 768, 1535, 1536, 3071, 3072, 3999}) {
        size_t from = text.size() - d - 1;
        for (int k = 0; k < 7; ++k) text.push_back(text[from + k]);
        s.match(7, d);
    }
    EXPECT_EQ(decodeBytes(s.bytes(), int32_t(text.size())), text);
}

TEST_F(DecoderTest, TheFinalMatchIsWrittenWholeAndOnlyWhole) {
    StreamBuilder s;
    s.literal('k').match(60, 0);
    EXPECT_EQ(decodeBytes(s.bytes(), 2).size(), 61u);
    EXPECT_EQ(decodeBytes(s.bytes(), 61).size(), 61u);
}

TEST(TreeTest, RebuildWaitsForTheUpdateAfterTheRootReachesTheLimit) {
    lzh::Tree tree;
    lzh::resetTree(tree);
    reference::Model model;
    std::mt19937 rng(11);
    // 314 + 32454 = 0x8000: the last of these increments reaches the limit.
    for (int i = 0; i < 32454; ++i) {
        unsigned s = rng() % 3 == 0 ? rng() % 314 : rng() % 40;
        lzh::updateTree(tree, s);
        model.update(int(s));
    }
    ASSERT_EQ(tree.weight[lzh::root], 0x8000);
    unsigned before = 0;
    for (unsigned n = 0; n < lzh::nodeCount; ++n)
        if (tree.child[n] >= lzh::leafMark) before += tree.weight[n];
    EXPECT_EQ(before, 0x8000u) << "no rebuild yet: the leaves still sum to the root";

    lzh::updateTree(tree, 5);
    model.update(5);
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
    // Any bytes are a valid stream; random ones exercise every symbol,
    // distance and, over long outputs, many rebuilds.
    std::mt19937 rng(2024);
    for (int round = 0; round < 40; ++round) {
        std::vector<uint8_t> in(1 + rng() % 20000);
        for (auto& b : in) b = uint8_t(rng());
        int32_t size = int32_t(rng() % 400000);
        std::vector<uint8_t> want = reference::decode(in, size);
        ASSERT_EQ(decodeBytes(in, size), want) << "round " << round;
    }
}

TEST_F(DecoderTest, DecodesTheIndependentEncodersStreams) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "Wardhaven installs from three disks; line " + std::to_string(i % 17) + "\n";
    for (bool matches : {false, true}) {
        std::vector<uint8_t> stream = reference::encode(bytesOf(text), matches);
        EXPECT_EQ(decodeBytes(stream, int32_t(text.size())), bytesOf(text)) << "matches " << matches;
    }
}

TEST_F(DecoderTest, FailuresToTakeOrGiveBackTablesRaiseTheTwoMessages) {
    setLzhTableAllocator(failingAcquire, countingRelease);
    lzhio::reset({0});
    try {
        decode(10, lzhio::readProc, lzhio::writeProc);
        FAIL() << "no exception";
    } catch (const ElzhException& e) {
        EXPECT_STREQ(e.className(), "ElzhException");
        EXPECT_EQ(e.message(), "LZH : Cannot get memory for dictionary tables");
    }
    EXPECT_EQ(io.reads, 0);

    setLzhTableAllocator(throwingAcquire, countingRelease);
    int releasedBefore = released;
    EXPECT_THROW(decode(10, lzhio::readProc, lzhio::writeProc), std::bad_alloc) << "an allocator's own error passes";
    EXPECT_EQ(released, releasedBefore) << "nothing was acquired, so nothing is released";

    setLzhTableAllocator(countingAcquire, failingRelease);
    try {
        decodeBytes({0}, 1);
        FAIL() << "no exception";
    } catch (const ElzhException& e) {
        EXPECT_EQ(e.message(), "LZH : Error freeing memory for dictionary tables");
    }
    EXPECT_EQ(io.output.size(), 1u) << "decoding finished before the release";
}

void throwingRead(void*, uint16_t, uint16_t&) { throw std::runtime_error("disk gone"); }
int writesBeforeStop = 0;
void stoppingWrite(const void* buffer, uint16_t count, uint16_t& actual) {
    lzhio::writeProc(buffer, count, actual);
    if (--writesBeforeStop == 0) keepRunning = 0;
}

TEST_F(DecoderTest, ProcedureExceptionsPassThroughAfterTheTablesAreReleased) {
    lzhio::reset();
    EXPECT_THROW(decode(10, throwingRead, lzhio::writeProc), std::runtime_error);
    EXPECT_EQ(acquired, 1);
    EXPECT_EQ(released, 1);
}

TEST_F(DecoderTest, ClearingTheFlagStopsAfterTheCurrentCode) {
    StreamBuilder s;
    s.literal('a').literal('b').match(20, 1).literal('c');
    lzhio::reset(s.bytes());
    writesBeforeStop = 3;  // cleared during the match's first byte
    decode(100, lzhio::readProc, stoppingWrite);
    std::string want = "ab";
    for (int i = 0; i < 10; ++i) want += "ab";
    EXPECT_EQ(io.output, bytesOf(want)) << "the whole match, then nothing";
    EXPECT_EQ(keepRunning, 0) << "decode never sets the flag";
}

}  // namespace

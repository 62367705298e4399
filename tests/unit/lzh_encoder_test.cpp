#include <gtest/gtest.h>

#include <random>
#include <string>

#include "bench/corpus.h"
#include "lzh/lzh_encoder.h"
#include "tests/unit/lzh_reference.h"
#include "tests/unit/lzh_test_io.h"

namespace {

std::vector<uint8_t> BytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> Encode(const std::vector<uint8_t>& data, LzhParse parse) {
    LzhEncodeOptions options;
    options.parse = parse;
    return LzhEncode(data.data(), data.size(), options);
}

std::vector<uint8_t> SampleText(size_t size) {
    static const char* words[] = {"the", "shell", "window", "desktop", "Wardhaven", "program", "group",
                                  "install", "disk", "file", "of", "and", "a", "to", "menu", "help"};
    std::mt19937 rng(5);
    std::string s;
    while (s.size() < size) {
        s += words[rng() % 16];
        s += rng() % 9 == 0 ? ".\r\n" : " ";
    }
    s.resize(size);
    return BytesOf(s);
}

// Something shaped like code: opcodes, little-endian addresses, zero padding, strings.
std::vector<uint8_t> ExecutableLike(size_t size) {
    std::mt19937 rng(9);
    std::vector<uint8_t> v;
    while (v.size() < size) {
        switch (rng() % 5) {
        case 0: v.insert(v.end(), {0x55, 0x8B, 0xEC, 0x83, 0xEC, uint8_t(rng() % 64)}); break;
        case 1: {
            uint32_t a = 0x401000 + rng() % 0x8000;
            v.insert(v.end(), {0xE8, uint8_t(a), uint8_t(a >> 8), uint8_t(a >> 16), 0});
            break;
        }
        case 2: v.insert(v.end(), rng() % 40, 0); break;
        case 3: {
            auto t = SampleText(rng() % 30);
            v.insert(v.end(), t.begin(), t.end());
            break;
        }
        default: v.push_back(uint8_t(rng()));
        }
    }
    v.resize(size);
    return v;
}

struct Case {
    const char* name;
    std::vector<uint8_t> data;
};

std::vector<Case> RoundTripCases() {
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"one byte", {0x41}});
    cases.push_back({"two bytes", {0x00, 0xFF}});
    cases.push_back({"spaces, matching the initial window", std::vector<uint8_t>(100, ' ')});
    cases.push_back({"short run", std::vector<uint8_t>(61, 'z')});
    cases.push_back({"text", SampleText(50000)});
    cases.push_back({"a block and part of the next", SampleText(4096 + 100)});
    std::mt19937 rng(3);
    std::vector<uint8_t> noise(70000);
    for (auto& b : noise) b = uint8_t(rng());
    cases.push_back({"random", noise});
    cases.push_back({"executable-like", ExecutableLike(120000)});
    std::vector<uint8_t> mixed = SampleText(3000);
    mixed.insert(mixed.end(), 9000, 0);
    mixed.insert(mixed.end(), noise.begin(), noise.begin() + 5000);
    cases.push_back({"mixed", mixed});
    return cases;
}

TEST(EncoderTest, RoundTripsThroughBothDecodersInBothParses) {
    for (const Case& c : RoundTripCases()) {
        for (LzhParse parse : {LzhParse::greedy, LzhParse::optimal}) {
            std::vector<uint8_t> stream = Encode(c.data, parse);
            const char* mode = parse == LzhParse::greedy ? "greedy" : "optimal";
            int32_t size = int32_t(c.data.size());
            EXPECT_EQ(lzhio::DecodeBytes(stream, size), c.data) << c.name << ", " << mode;
            EXPECT_EQ(lzhio::DecodeInBlocks(stream, size), c.data) << c.name << ", " << mode << ", blocks";
            EXPECT_EQ(reference::Decode(stream, size), c.data) << c.name << ", " << mode << ", plain decoder";
        }
    }
}

TEST(EncoderTest, RoundTripsTheBenchCorpusInBothParses) {
    // Real executables, bitmaps and text, 4 MB: what the match finder meets in a product.
    std::vector<uint8_t> corpus = ProductCorpus();
    for (LzhParse parse : {LzhParse::greedy, LzhParse::optimal}) {
        std::vector<uint8_t> stream = Encode(corpus, parse);
        EXPECT_TRUE(lzhio::DecodeBytes(stream, int32_t(corpus.size())) == corpus) << (parse == LzhParse::greedy ? "greedy" : "optimal");
        EXPECT_TRUE(lzhio::DecodeInBlocks(stream, int32_t(corpus.size())) == corpus) << "blocks";
    }
}

TEST(EncoderTest, LongZeroRunsRebuildTheTreeManyTimes) {
    // 3 MB of zeros is about 52,000 matches of 60: the root passes 0x8000 again and again.
    std::vector<uint8_t> zeros(3 * 1024 * 1024, 0);
    zeros[1234567] = 7;
    for (LzhParse parse : {LzhParse::greedy, LzhParse::optimal}) {
        std::vector<uint8_t> stream = Encode(zeros, parse);
        EXPECT_LT(stream.size(), zeros.size() / 20);
        EXPECT_EQ(reference::Decode(stream, int32_t(zeros.size())), zeros);
        EXPECT_EQ(lzhio::DecodeBytes(stream, int32_t(zeros.size())), zeros);
    }
}

// Noise repeated once: its only matches lie exactly a window's length back.
std::vector<uint8_t> RepeatedAWindowBack() {
    std::mt19937 rng(11);
    std::vector<uint8_t> v(2 * 4096);
    for (size_t i = 0; i < 4096; ++i) v[i] = v[i + 4096] = uint8_t(rng());
    return v;
}

TEST(EncoderTest, GreedyParseIsTheFormatsClassicStream) {
    // Longest match, nearest on ties, literal below 3: the plain encoder's choices, bit for bit.
    for (const auto& data : {SampleText(6000), ExecutableLike(6000), RepeatedAWindowBack(), BytesOf("A"), BytesOf("")}) {
        std::vector<uint8_t> ours = Encode(data, LzhParse::greedy), plain = reference::Encode(data);
        size_t at = 0;
        while (at < ours.size() && at < plain.size() && ours[at] == plain[at]) ++at;
        EXPECT_EQ(ours.size(), plain.size());
        EXPECT_EQ(at, plain.size()) << "streams part at byte " << at << " of " << data.size() << " input bytes";
    }
}

TEST(EncoderTest, LastByteIsPaddedWithZeroBits) {
    // 'A' (65) has a 9-bit code in the initial tree: two bytes, seven pad bits.
    std::vector<uint8_t> stream = Encode(BytesOf("A"), LzhParse::optimal);
    ASSERT_EQ(stream.size(), 2u);
    EXPECT_EQ(stream[1] & 0x7F, 0);
}

TEST(EncoderTest, OptimalParseBeatsGreedy) {
    for (const auto& data : {SampleText(200000), ExecutableLike(200000)}) {
        size_t greedy = Encode(data, LzhParse::greedy).size();
        size_t optimal = Encode(data, LzhParse::optimal).size();
        EXPECT_LT(optimal, greedy);
    }
}

TEST(EncoderTest, OptimalParseIsNoLargerThanGreedyOnRuns) {
    // Every block end falls inside a run: a parse that stops at block ends pays for a short match at each.
    std::vector<uint8_t> pairs;
    for (int i = 0; i < 100000; ++i) pairs.insert(pairs.end(), {'a', 'b'});
    for (const auto& data : {std::vector<uint8_t>(300000, 0), pairs}) {
        EXPECT_LE(Encode(data, LzhParse::optimal).size(), Encode(data, LzhParse::greedy).size());
    }
}

TEST(EncoderTest, OptimalParseKeepsItsSizes) {
    // Sizes as of the last change to the parse: a lost match or a costlier path shows up here.
    struct Sized {
        const char* name;
        std::vector<uint8_t> data;
        size_t atMost;
    };
    for (const Sized& c : {Sized{"text", SampleText(200000), 34250}, Sized{"executable-like", ExecutableLike(200000), 41609}}) {
        EXPECT_LE(Encode(c.data, LzhParse::optimal).size(), c.atMost) << c.name;
    }
}

TEST(EncoderTest, ReportsProgressUpToTheTotal) {
    std::vector<uint8_t> data = SampleText(100000);
    for (LzhParse parse : {LzhParse::greedy, LzhParse::optimal}) {
        size_t last = 0, calls = 0;
        bool ordered = true;
        LzhEncodeOptions options;
        options.parse = parse;
        options.progress = [&](size_t done, size_t total) {
            ordered = ordered && done >= last && total == data.size();
            last = done;
            ++calls;
        };
        LzhEncode(data.data(), data.size(), options);
        EXPECT_TRUE(ordered);
        EXPECT_GT(calls, 1u);
        EXPECT_EQ(last, data.size());
    }
}

}  // namespace

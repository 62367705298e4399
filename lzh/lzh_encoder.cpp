#include "lzh/lzh_encoder.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "lzh/lzh_format.h"
#include "lzh/lzh_tree.h"

namespace {

using namespace lzh;

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

    // Appends the low `count` bits of `value`, highest first (count <= 24).
    void Put(uint32_t value, unsigned count) {
        acc_ = (acc_ << count) | (value & ((1u << count) - 1));
        held_ += count;
        while (held_ >= 8) {
            held_ -= 8;
            out_.push_back(static_cast<uint8_t>(acc_ >> held_));
        }
        acc_ &= (1u << held_) - 1;
    }
    // Pads the last byte with zero bits.
    void Flush() {
        if (held_ > 0) out_.push_back(static_cast<uint8_t>(acc_ << (8 - held_)));
        held_ = 0;
        acc_ = 0;
    }

private:
    std::vector<uint8_t>& out_;
    uint32_t acc_ = 0;
    unsigned held_ = 0;
};

// Writes symbols with the adaptive code and distances with the fixed one.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<uint8_t>& out) : bits_(out) { ResetTree(tree_); }

    void PutLiteral(uint8_t byte) { PutSymbol(byte); }
    void PutMatch(unsigned length, unsigned distance) {
        PutSymbol(MatchSymbol(length));
        unsigned v = distance >> 6;
        unsigned prefixBits = DistancePrefixBits(v);
        bits_.Put(positionTables.firstByte[v] >> (8 - prefixBits), prefixBits);
        bits_.Put(distance & 0x3F, 6);
    }
    void Finish() { bits_.Flush(); }
    const Tree& CodeTree() const { return tree_; }

private:
    void PutSymbol(unsigned s) {
        // Walk from the leaf up: a node at an odd index is its parent's second child.
        uint16_t path[nodeCount];
        unsigned depth = 0;
        for (unsigned k = tree_.parent[s + leafMark]; k != root; k = tree_.parent[k]) path[depth++] = static_cast<uint16_t>(k & 1);
        while (depth > 0) {
            unsigned chunk = std::min(depth, 16u);
            uint32_t code = 0;
            for (unsigned i = 0; i < chunk; ++i) code = (code << 1) | path[--depth];
            bits_.Put(code, chunk);
        }
        UpdateTree(tree_, s);
    }

    BitWriter bits_;
    Tree tree_;
};

// One candidate of a position: the nearest distance reaching `length`.
struct Match {
    unsigned length;
    unsigned distance;
};

// Hash chains over the history (4036 spaces, then the input). Each position
// is searched before it is inserted, so every chain slot it reads is intact.
class MatchFinder {
public:
    explicit MatchFinder(const uint8_t* data, std::size_t size)
        : history_(firstWrite + size), head_(hashSize, -1), prev_(windowSize, -1) {
        std::memset(history_.data(), initialFill, firstWrite);
        if (size) std::memcpy(history_.data() + firstWrite, data, size);
        for (std::size_t p = 0; p < firstWrite; ++p) Insert(p);
    }

    // Candidates at history position p with strictly growing lengths (3..maxLen),
    // each at the nearest distance that reaches it. Then inserts p.
    unsigned Search(std::size_t p, unsigned maxLen, Match* out) {
        unsigned found = 0;
        if (maxLen >= minMatch) {
            const uint8_t* cur = history_.data() + p;
            unsigned best = minMatch - 1;
            long c = head_[Hash(p)];
            for (unsigned chain = chainLimit; c >= 0 && chain > 0; --chain) {
                std::size_t back = p - static_cast<std::size_t>(c);
                if (back > windowSize) break;
                const uint8_t* cand = history_.data() + c;
                if (cand[best] == cur[best]) {
                    unsigned len = 0;
                    while (len < maxLen && cand[len] == cur[len]) ++len;
                    if (len > best) {
                        best = len;
                        out[found++] = Match{len, static_cast<unsigned>(back - 1)};
                        if (len == maxLen) break;
                    }
                }
                long next = prev_[static_cast<std::size_t>(c) & windowMask];
                if (next >= c) break;
                c = next;
            }
        }
        Insert(p);
        return found;
    }
    void Skip(std::size_t p) { Insert(p); }

private:
    static constexpr unsigned hashBits = 15;
    static constexpr std::size_t hashSize = std::size_t(1) << hashBits;
    static constexpr unsigned chainLimit = windowSize;  // the whole window: truly the longest match

    unsigned Hash(std::size_t p) const {
        const uint8_t* b = history_.data() + p;
        uint32_t v = b[0] | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16);
        return (v * 2654435761u) >> (32 - hashBits);
    }
    void Insert(std::size_t p) {
        if (p + minMatch > history_.size()) return;
        unsigned h = Hash(p);
        prev_[p & windowMask] = head_[h];
        head_[h] = static_cast<long>(p);
    }

    std::vector<uint8_t> history_;
    std::vector<long> head_;
    std::vector<long> prev_;
};

void EncodeGreedy(const uint8_t* data, std::size_t size, CodeWriter& out, const LzhEncodeOptions& options) {
    MatchFinder finder(data, size);
    Match matches[maxMatch];
    std::size_t nextReport = 0;
    for (std::size_t p = 0; p < size;) {
        unsigned maxLen = static_cast<unsigned>(std::min<std::size_t>(maxMatch, size - p));
        unsigned found = finder.Search(firstWrite + p, maxLen, matches);
        if (found > 0) {
            const Match& m = matches[found - 1];
            out.PutMatch(m.length, m.distance);
            for (unsigned k = 1; k < m.length; ++k) finder.Skip(firstWrite + p + k);
            p += m.length;
        } else {
            out.PutLiteral(data[p]);
            ++p;
        }
        if (options.progress && p >= nextReport) {
            options.progress(p, size);
            nextReport = p + 65536;
        }
    }
}

// The cheapest parse of one block, priced by the tree's current code lengths.
class BlockParser {
public:
    static constexpr std::size_t blockSize = 4096;

    BlockParser() : cost_(blockSize + 1), length_(blockSize + 1), distance_(blockSize + 1) {}

    void Parse(const uint8_t* data, std::size_t begin, std::size_t end, MatchFinder& finder, CodeWriter& out) {
        uint8_t lengths[symbolCount];
        SymbolCodeLengths(out.CodeTree(), lengths);
        std::size_t n = end - begin;
        std::fill(cost_.begin(), cost_.begin() + n + 1, std::numeric_limits<uint32_t>::max());
        cost_[0] = 0;
        Match matches[maxMatch];
        for (std::size_t i = 0; i < n; ++i) {
            uint32_t here = cost_[i];
            uint32_t lit = here + lengths[data[begin + i]];
            if (lit < cost_[i + 1]) {
                cost_[i + 1] = lit;
                length_[i + 1] = 1;
            }
            unsigned maxLen = static_cast<unsigned>(std::min<std::size_t>(maxMatch, n - i));
            unsigned found = finder.Search(firstWrite + begin + i, maxLen, matches);
            unsigned len = minMatch;
            for (unsigned m = 0; m < found; ++m) {
                uint32_t base = here + DistanceCodeBits(matches[m].distance);
                for (; len <= matches[m].length; ++len) {
                    uint32_t c = base + lengths[MatchSymbol(len)];
                    if (c < cost_[i + len]) {
                        cost_[i + len] = c;
                        length_[i + len] = static_cast<uint8_t>(len);
                        distance_[i + len] = static_cast<uint16_t>(matches[m].distance);
                    }
                }
            }
        }
        // Walk back from the end, then code the steps forwards.
        steps_.clear();
        for (std::size_t i = n; i > 0; i -= length_[i]) steps_.push_back(i);
        for (auto it = steps_.rbegin(); it != steps_.rend(); ++it) {
            std::size_t i = *it;
            if (length_[i] == 1) {
                out.PutLiteral(data[begin + i - 1]);
            } else {
                out.PutMatch(length_[i], distance_[i]);
            }
        }
    }

private:
    std::vector<uint32_t> cost_;
    std::vector<uint8_t> length_;
    std::vector<uint16_t> distance_;
    std::vector<std::size_t> steps_;
};

void EncodeOptimal(const uint8_t* data, std::size_t size, CodeWriter& out, const LzhEncodeOptions& options) {
    MatchFinder finder(data, size);
    BlockParser parser;
    for (std::size_t begin = 0; begin < size; begin += BlockParser::blockSize) {
        std::size_t end = std::min(size, begin + BlockParser::blockSize);
        parser.Parse(data, begin, end, finder, out);
        if (options.progress) options.progress(end, size);
    }
}

}  // namespace

std::vector<uint8_t> LzhEncode(const uint8_t* data, std::size_t size, const LzhEncodeOptions& options) {
    std::vector<uint8_t> out;
    out.reserve(size / 2 + 16);
    CodeWriter writer(out);
    if (options.parse == LzhParse::greedy) {
        EncodeGreedy(data, size, writer, options);
    } else {
        EncodeOptimal(data, size, writer, options);
    }
    writer.Finish();
    if (options.progress) options.progress(size, size);
    return out;
}

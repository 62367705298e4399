#include "lzh/lzh_encoder.h"

#include <algorithm>
#include <cmath>
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

// Binary search trees over the history (4036 spaces, then the input), one per
// hash of the first three bytes, ordered by their first 60 bytes, newest position
// at the root. The newest position sharing any prefix with the searched one is
// therefore on the search path, so one walk yields the nearest distance for
// every length, as a whole-window scan would, at a fraction of the compares.
class MatchFinder {
public:
    explicit MatchFinder(const uint8_t* data, std::size_t size)
        : history_(firstWrite + size + maxMatch, 0), head_(hashSize, -1), tree_(2 * ringSize, -1) {
        std::memset(history_.data(), initialFill, firstWrite);
        if (size) std::memcpy(history_.data() + firstWrite, data, size);
        for (std::size_t p = 0; p < firstWrite; ++p) Walk(p, 0, nullptr);
    }

    // Candidates at history position p with strictly growing lengths (3..maxLen),
    // each at the nearest distance that reaches it. Then inserts p.
    unsigned Search(std::size_t p, unsigned maxLen, Match* out) { return Walk(p, maxLen, out); }
    void Skip(std::size_t p) { Walk(p, 0, nullptr); }

private:
    static constexpr unsigned hashBits = 15;
    static constexpr std::size_t hashSize = std::size_t(1) << hashBits;
    // Twice the window: the slot a new position takes never belongs to a node still in reach.
    static constexpr std::size_t ringSize = 2 * windowSize;
    static constexpr std::size_t ringMask = ringSize - 1;

    static unsigned Hash(const uint8_t* b) {
        uint32_t v = b[0] | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16);
        return (v * 2654435761u) >> (32 - hashBits);
    }

    // Inserts p as the root of its tree, splitting the old tree around it, and
    // reports the matches met on the way. The trees always compare 60 bytes
    // (the history is padded for it), so their order never depends on how
    // much input is left; `clip` only shortens what is reported.
    unsigned Walk(std::size_t p, unsigned clip, Match* out) {
        const uint8_t* cur = history_.data() + p;
        unsigned h = Hash(cur);
        long c = head_[h];
        head_[h] = static_cast<long>(p);
        long* left = &tree_[2 * (p & ringMask)];
        long* right = left + 1;
        unsigned leftLen = 0, rightLen = 0, best = minMatch - 1, found = 0;
        for (;;) {
            if (c < 0 || p - static_cast<std::size_t>(c) > windowSize) {
                *left = *right = -1;
                break;
            }
            long* pair = &tree_[2 * (static_cast<std::size_t>(c) & ringMask)];
            const uint8_t* cand = history_.data() + c;
            unsigned len = std::min(leftLen, rightLen);
            if (cand[len] == cur[len]) {
                while (++len < maxMatch && cand[len] == cur[len]) {
                }
                if (len > best) {
                    best = len;
                    unsigned reach = std::min(len, clip);
                    if (out && reach >= minMatch && (found == 0 || out[found - 1].length < reach)) {
                        out[found++] = Match{reach, static_cast<unsigned>(p - static_cast<std::size_t>(c) - 1)};
                    }
                    if (len == maxMatch) {
                        // Equal on every compared byte: p replaces c in the tree.
                        *left = pair[0];
                        *right = pair[1];
                        break;
                    }
                }
            }
            if (cand[len] < cur[len]) {
                *left = c;
                left = pair + 1;
                c = *left;
                leftLen = len;
            } else {
                *right = c;
                right = pair;
                c = *right;
                rightLen = len;
            }
        }
        return found;
    }

    std::vector<uint8_t> history_;
    std::vector<long> head_;
    std::vector<long> tree_;
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

// The cheapest parse of one block, priced by the tree as the block starts.
// The path is chosen through a margin past the block's end and kept up to the
// first code that reaches that end, so a block end never cuts a match short;
// the next block starts where that code stops.
class BlockParser {
public:
    static constexpr std::size_t blockSize = 4096;
    static constexpr std::size_t margin = 256;

    BlockParser(const uint8_t* data, std::size_t size) : data_(data), size_(size), finder_(data, size), first_(1, 0) {}

    // Codes the input from `begin` to at least the block's end; returns where the last code ends.
    std::size_t Parse(std::size_t begin, CodeWriter& out) {
        std::size_t target = std::min(size_, begin + blockSize);
        std::size_t horizon = std::min(size_, target + margin);
        Scan(begin, horizon);
        uint32_t lengths[symbolCount];
        SymbolPrices(out.CodeTree(), lengths);
        std::size_t n = horizon - begin;
        cost_.assign(n + 1, std::numeric_limits<uint32_t>::max());
        length_.resize(n + 1);
        distance_.resize(n + 1);
        cost_[0] = 0;
        const uint8_t* block = data_ + begin;
        for (std::size_t i = 0; i < n; ++i) {
            uint32_t here = cost_[i];
            uint32_t lit = here + lengths[block[i]];
            if (lit < cost_[i + 1]) {
                cost_[i + 1] = lit;
                length_[i + 1] = 1;
            }
            unsigned reach = static_cast<unsigned>(std::min<std::size_t>(maxMatch, n - i));
            unsigned len = minMatch;
            for (uint32_t m = first_[i]; m < first_[i + 1] && len <= reach; ++m) {
                const Match& match = matches_[m];
                uint32_t base = here + bitPrice * DistanceCodeBits(match.distance);
                for (unsigned last = std::min(match.length, reach); len <= last; ++len) {
                    uint32_t c = base + lengths[MatchSymbol(len)];
                    // On a tie the later start wins: the odd short match of a run then
                    // falls at the far end, in the margin, not at the block's start.
                    if (c <= cost_[i + len]) {
                        cost_[i + len] = c;
                        length_[i + len] = static_cast<uint8_t>(len);
                        distance_[i + len] = static_cast<uint16_t>(match.distance);
                    }
                }
            }
        }
        // Walk back from the horizon, then code forwards the steps that start inside the block.
        steps_.clear();
        for (std::size_t i = n; i > 0; i -= length_[i]) steps_.push_back(i);
        std::size_t done = 0;
        for (auto it = steps_.rbegin(); it != steps_.rend() && done < target - begin; ++it) {
            std::size_t i = *it;
            if (length_[i] == 1) {
                out.PutLiteral(block[i - 1]);
            } else {
                out.PutMatch(length_[i], distance_[i]);
            }
            done = i;
        }
        return begin + done;
    }

private:
    static constexpr uint32_t bitPrice = 256;

    // Each symbol's share of the tree's weight, in 1/256 bits. Whole code
    // lengths tie often; the shares break those ties towards the symbols
    // the tree is about to make cheaper.
    static void SymbolPrices(const Tree& tree, uint32_t prices[symbolCount]) {
        double total = tree.weight[root];
        for (unsigned s = 0; s < symbolCount; ++s) {
            double share = tree.weight[tree.parent[s + leafMark]] / total;
            prices[s] = static_cast<uint32_t>(-std::log2(share) * bitPrice + 0.5);
        }
    }

    // Searches every position up to `horizon` once, keeping the candidates
    // of those from `begin` on (the margin is parsed again by the next block).
    void Scan(std::size_t begin, std::size_t horizon) {
        std::size_t drop = begin - base_;
        if (drop > 0) {
            uint32_t gone = first_[drop];
            matches_.erase(matches_.begin(), matches_.begin() + gone);
            first_.erase(first_.begin(), first_.begin() + static_cast<std::ptrdiff_t>(drop));
            for (uint32_t& f : first_) f -= gone;
            base_ = begin;
        }
        Match found[maxMatch];
        for (; scanned_ < horizon; ++scanned_) {
            unsigned maxLen = static_cast<unsigned>(std::min<std::size_t>(maxMatch, size_ - scanned_));
            unsigned count = finder_.Search(firstWrite + scanned_, maxLen, found);
            matches_.insert(matches_.end(), found, found + count);
            first_.push_back(static_cast<uint32_t>(matches_.size()));
        }
    }

    const uint8_t* data_;
    std::size_t size_;
    MatchFinder finder_;
    std::size_t base_ = 0;     // the input position of first_[0]
    std::size_t scanned_ = 0;  // positions searched so far
    std::vector<uint32_t> first_;  // candidates of position base_ + k: matches_[first_[k] .. first_[k + 1])
    std::vector<Match> matches_;
    std::vector<uint32_t> cost_;
    std::vector<uint8_t> length_;
    std::vector<uint16_t> distance_;
    std::vector<std::size_t> steps_;
};

void EncodeOptimal(const uint8_t* data, std::size_t size, CodeWriter& out, const LzhEncodeOptions& options) {
    BlockParser parser(data, size);
    for (std::size_t begin = 0; begin < size;) {
        begin = parser.Parse(begin, out);
        if (options.progress) options.progress(begin, size);
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

#include "lzh/lzh_tree.h"

#include <algorithm>
#include <cstring>

namespace lzh {

void ResetTree(Tree& t) {
    for (unsigned i = 0; i < symbolCount; ++i) {
        t.weight[i] = 1;
        t.child[i] = static_cast<uint16_t>(i + leafMark);
        t.parent[i + leafMark] = static_cast<uint16_t>(i);
    }
    for (unsigned i = 0, j = symbolCount; j < nodeCount; ++j, i += 2) {
        t.weight[j] = static_cast<uint16_t>(t.weight[i] + t.weight[i + 1]);
        t.child[j] = static_cast<uint16_t>(i);
        t.parent[i] = t.parent[i + 1] = static_cast<uint16_t>(j);
    }
    t.weight[nodeCount] = 0xFFFF;
    t.parent[root] = 0;
}

void RebuildTree(Tree& t) {
    // Leaves to the front, in index order, with halved weights.
    unsigned j = 0;
    for (unsigned i = 0; i < nodeCount; ++i) {
        if (t.child[i] >= leafMark) {
            t.weight[j] = static_cast<uint16_t>((t.weight[i] + 1) / 2);
            t.child[j] = t.child[i];
            ++j;
        }
    }
    // Pair them up; a new node goes after all nodes of equal weight. The
    // first j weights are in order, so the place is found by halving.
    for (unsigned i = 0, j = symbolCount; j < nodeCount; ++j, i += 2) {
        unsigned f = t.weight[i] + t.weight[i + 1];
        unsigned k = static_cast<unsigned>(std::upper_bound(t.weight, t.weight + j, f) - t.weight);
        std::memmove(&t.weight[k + 1], &t.weight[k], (j - k) * sizeof t.weight[0]);
        std::memmove(&t.child[k + 1], &t.child[k], (j - k) * sizeof t.child[0]);
        t.weight[k] = static_cast<uint16_t>(f);
        t.child[k] = static_cast<uint16_t>(i);
    }
    for (unsigned i = 0; i < nodeCount; ++i) {
        unsigned k = t.child[i];
        t.parent[k] = static_cast<uint16_t>(i);
        if (k < leafMark) t.parent[k + 1] = static_cast<uint16_t>(i);
    }
}

void SymbolCodeLengths(const Tree& t, uint8_t lengths[symbolCount]) {
    uint8_t depth[nodeCount];
    depth[root] = 0;
    // Parents sit above their children, so one downward sweep settles every depth.
    for (unsigned n = root + 1; n-- > 0;) {
        unsigned c = t.child[n];
        unsigned d = depth[n] + 1u;
        uint8_t dd = d > 255 ? 255 : static_cast<uint8_t>(d);
        if (c >= leafMark) {
            lengths[c - leafMark] = depth[n];
        } else {
            depth[c] = depth[c + 1] = dd;
        }
    }
}

}  // namespace lzh

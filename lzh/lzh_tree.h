// The adaptive Huffman tree over the 314 symbols of the LZH stream, kept
// exactly as every coder of the format keeps it, so that encoder and decoder
// stay in step bit for bit.
//
// State and invariants:
//   weight[0..626]  node weights, non-decreasing by index (the sibling
//                   property: the tree is always a Huffman tree of its
//                   weights). weight[627] is a fixed 0xFFFF sentinel that
//                   stops the upward scan of an update.
//   child[n]        for an inner node the index of its first child, the
//                   second being child[n] + 1; siblings therefore always sit
//                   at an even index and the odd one after it. For a leaf,
//                   627 + symbol.
//   parent[0..626]  each node's parent; parent[626] (the root's) is 0, which
//                   ends upward walks since node 0 is never an inner node.
//   parent[627+s]   the leaf that currently holds symbol s.
// A parent always has a higher index than its children (its weight is
// strictly larger, every weight being at least 1).
// The tree is rebuilt, halving every weight, at the first update after the
// root weight has reached 0x8000.
#pragma once

#include <cstddef>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "lzh/lzh_format.h"

namespace lzh {

struct Tree {
    uint16_t weight[nodeCount + 1];
    uint16_t child[nodeCount];
    uint16_t parent[nodeCount + symbolCount];
};

// The initial tree: every symbol weight 1; symbols 116-313 get 8-bit codes,
// symbols 0-115 9-bit codes.
void ResetTree(Tree& t);

// Halves the weights (rounding up) and builds the tree afresh from them.
void RebuildTree(Tree& t);

// The last node from `from` on that is lighter than k (`from` itself is). The
// weights rise by index and the sentinel ends the scan. With SSE2 eight
// weights are compared at once: the end of a scan of unknown length is a
// branch no predictor foresees. The block read may pass the weights by up to
// 14 bytes, which stay inside the tree (child[] follows) and cannot matter,
// since the sentinel is never lighter.
inline unsigned LastLighter(const Tree& t, unsigned from, unsigned k) {
#if defined(__SSE2__)
    const __m128i key = _mm_set1_epi16(static_cast<short>(k));
    const char* weights = reinterpret_cast<const char*>(&t) + offsetof(Tree, weight);
    for (unsigned l = from;; l += 8) {
        __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 2 * (l + 1)));
        // k - w saturates to 0 exactly where w >= k: the nodes that are not lighter.
        __m128i notLighter = _mm_cmpeq_epi16(_mm_subs_epu16(key, next), _mm_setzero_si128());
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(notLighter));
        if (mask) return l + (static_cast<unsigned>(__builtin_ctz(mask)) >> 1);
    }
#else
    const uint16_t* weight = t.weight;
    unsigned l = from;
    while (k > weight[l + 1]) ++l;
    return l;
#endif
}

// The move of an update: node n, now weighing k and heavier than its right
// neighbour, trades places with the last node still lighter, l, which is
// returned; their subtrees go with them. `inner` tells whether either of the
// two was an inner node (then the shape of the tree above the leaves changed).
inline unsigned MovePastLighter(Tree& t, unsigned n, unsigned k, bool& inner) {
    uint16_t* weight = t.weight;
    uint16_t* child = t.child;
    uint16_t* parent = t.parent;
    unsigned l = LastLighter(t, n + 1, k);
    weight[n] = weight[l];
    weight[l] = static_cast<uint16_t>(k);
    unsigned i = child[n];
    parent[i] = static_cast<uint16_t>(l);
    if (i < leafMark) parent[i + 1] = static_cast<uint16_t>(l);
    unsigned j = child[l];
    child[l] = static_cast<uint16_t>(i);
    parent[j] = static_cast<uint16_t>(n);
    if (j < leafMark) parent[j + 1] = static_cast<uint16_t>(n);
    child[n] = static_cast<uint16_t>(j);
    inner = i < leafMark || j < leafMark;
    return l;
}

// Counts one more occurrence at node n and all its ancestors, moving a node
// that became heavier than its right neighbours past them (to the last node
// still lighter) so the weights stay in order. `innerMove(n, l)` hears of
// every move that took an inner node along, which changed the tree's shape
// above the leaves. Inline: the decoders' hot path.
template <class InnerMove>
inline void UpdateFrom(Tree& t, unsigned n, InnerMove innerMove) {
    uint16_t* weight = t.weight;
    do {
        unsigned k = ++weight[n];
        if (k > weight[n + 1]) {
            bool inner;
            unsigned l = MovePastLighter(t, n, k, inner);
            if (inner) innerMove(n, l);
            n = l;
        }
        n = t.parent[n];
    } while (n != 0);
}

inline void UpdateFrom(Tree& t, unsigned n) {
    UpdateFrom(t, n, [](unsigned, unsigned) {});
}

// Counts one more occurrence of symbol s; rebuilds first if the root weight
// reached the limit at an earlier update.
inline void UpdateTree(Tree& t, unsigned s) {
    if (t.weight[root] == rebuildWeight) RebuildTree(t);
    UpdateFrom(t, t.parent[s + leafMark]);
}

// The current code length of every symbol (its leaf's depth), for cost estimates.
void SymbolCodeLengths(const Tree& t, uint8_t lengths[symbolCount]);

}  // namespace lzh

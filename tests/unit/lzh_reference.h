// A second, deliberately plain coder of the LZH format for the tests: every
// step written out as the format describes it, sharing no code with lzh/.
// The decoder and encoder under test are checked against it, so a mistake in
// the shared tree code cannot hide behind a round trip.
#pragma once

#include <cstdint>
#include <vector>

namespace reference {

class Model {
public:
    Model() {
        freq.assign(628, 0);
        son.assign(627, 0);
        prnt.assign(941, 0);
        for (int i = 0; i < 314; i++) {
            freq[i] = 1;
            son[i] = i + 627;
            prnt[i + 627] = i;
        }
        int i = 0;
        for (int j = 314; j <= 626; j++) {
            freq[j] = freq[i] + freq[i + 1];
            son[j] = i;
            prnt[i] = j;
            prnt[i + 1] = j;
            i += 2;
        }
        freq[627] = 0xFFFF;
        prnt[626] = 0;
    }

    void Update(int c) {
        if (freq[626] == 0x8000) Rebuild();
        int n = prnt[c + 627];
        do {
            freq[n] = (freq[n] + 1) & 0xFFFF;
            unsigned k = freq[n];
            if (k > freq[n + 1]) {
                int l = n + 1;
                while (k > freq[l + 1]) l++;
                freq[n] = freq[l];
                freq[l] = k;
                int i = son[n];
                prnt[i] = l;
                if (i < 627) prnt[i + 1] = l;
                int j = son[l];
                son[l] = i;
                prnt[j] = n;
                if (j < 627) prnt[j + 1] = n;
                son[n] = j;
                n = l;
            }
            n = prnt[n];
        } while (n != 0);
    }

    // Bits of symbol c, root first.
    std::vector<int> Code(int c) const {
        std::vector<int> up;
        for (int k = prnt[c + 627]; k != 626; k = prnt[k]) up.push_back(son[prnt[k]] == k ? 0 : 1);
        return std::vector<int>(up.rbegin(), up.rend());
    }

    std::vector<unsigned> freq;
    std::vector<int> son;
    std::vector<int> prnt;

private:
    void Rebuild() {
        int j = 0;
        for (int i = 0; i < 627; i++) {
            if (son[i] >= 627) {
                freq[j] = (freq[i] + 1) / 2;
                son[j] = son[i];
                j++;
            }
        }
        int i = 0;
        for (j = 314; j < 627; j++) {
            unsigned f = freq[i] + freq[i + 1];
            int k = j - 1;
            while (f < freq[k]) k--;
            k++;
            for (int m = j; m > k; m--) {
                freq[m] = freq[m - 1];
                son[m] = son[m - 1];
            }
            freq[k] = f;
            son[k] = i;
            i += 2;
        }
        for (i = 0; i < 627; i++) {
            int k = son[i];
            if (k >= 627) {
                prnt[k] = i;
            } else {
                prnt[k] = i;
                prnt[k + 1] = i;
            }
        }
    }
};

inline int PositionBitsOf(int b) {
    return b < 0x20 ? 3 : b < 0x50 ? 4 : b < 0x90 ? 5 : b < 0xC0 ? 6 : b < 0xF0 ? 7 : 8;
}
inline int PositionHighOf(int b) {
    if (b < 0x20) return 0;
    if (b < 0x50) return 1 + (b - 0x20) / 16;
    if (b < 0x90) return 4 + (b - 0x50) / 8;
    if (b < 0xC0) return 12 + (b - 0x90) / 4;
    if (b < 0xF0) return 24 + (b - 0xC0) / 2;
    return 48 + (b - 0xF0);
}

// What the plain decoder produced, and how much of its input the codes took.
struct Decoded {
    std::vector<uint8_t> out;
    uint64_t bitsUsed = 0;  // bits of the codes written
    bool cutShort = false;  // a code needed a bit beyond the input: it was not written
};

// The format's decoder, with its 16-bit bit buffer, over a byte vector. Bits
// past its end read as 0, but a code that took one is dropped and decoding
// ends there. Writes whole matches, like the real one.
inline Decoded DecodeWithEnd(const std::vector<uint8_t>& in, long textSize) {
    Model m;
    Decoded result;
    std::vector<uint8_t>& out = result.out;
    unsigned window[4096];
    for (int i = 0; i < 4096; i++) window[i] = i < 4036 ? 0x20 : 0;
    size_t pos = 0;
    unsigned bitBuffer = 0, bitCount = 0;
    uint64_t taken = 0;
    const uint64_t available = uint64_t(in.size()) * 8;
    auto fill = [&] {
        while (bitCount <= 8) {
            unsigned byte = pos < in.size() ? in[pos] : 0;
            pos++;
            bitBuffer |= byte << (8 - bitCount);
            bitBuffer &= 0xFFFF;
            bitCount += 8;
        }
    };
    auto readBit = [&] {
        fill();
        unsigned b = bitBuffer >> 15;
        bitBuffer = (bitBuffer << 1) & 0xFFFF;
        bitCount--;
        taken++;
        return b;
    };
    auto readByte = [&] {
        fill();
        unsigned b = bitBuffer >> 8;
        bitBuffer = (bitBuffer << 8) & 0xFFFF;
        bitCount -= 8;
        taken += 8;
        return b;
    };
    unsigned r = 4036;
    long produced = 0;
    while (produced < textSize) {
        int n = m.son[626];
        while (n < 627) n = m.son[n + readBit()];
        int s = n - 627;
        m.Update(s);
        if (taken > available) break;
        if (s < 256) {
            out.push_back(uint8_t(s));
            window[r] = s;
            r = (r + 1) & 0xFFF;
            produced++;
        } else {
            unsigned b = readByte();
            int high = PositionHighOf(b);
            int extra = PositionBitsOf(b) - 2;
            for (int k = 0; k < extra; k++) b = ((b << 1) + readBit()) & 0xFFFF;
            if (taken > available) break;
            unsigned d = high * 64 + (b & 0x3F);
            unsigned start = (r - d - 1) & 0xFFF;
            for (int k = 0; k <= s - 254; k++) {
                unsigned c = window[(start + k) & 0xFFF];
                out.push_back(uint8_t(c));
                window[r] = c;
                r = (r + 1) & 0xFFF;
                produced++;
            }
        }
        result.bitsUsed = taken;
    }
    result.cutShort = taken > available;
    return result;
}

inline std::vector<uint8_t> Decode(const std::vector<uint8_t>& in, long textSize) {
    return DecodeWithEnd(in, textSize).out;
}

// A straightforward encoder: literals, and matches found by brute force
// (nearest longest, or only those a caller asks for via `useMatches`).
inline std::vector<uint8_t> Encode(const std::vector<uint8_t>& text, bool useMatches = true) {
    Model m;
    std::vector<int> bits;
    auto symbol = [&](int s) {
        for (int b : m.Code(s)) bits.push_back(b);
        m.Update(s);
    };
    std::vector<uint8_t> history(4036, 0x20);
    history.insert(history.end(), text.begin(), text.end());
    size_t p = 4036;
    while (p < history.size()) {
        size_t bestLen = 0, bestBack = 0;
        if (useMatches) {
            size_t limit = std::min<size_t>(60, history.size() - p);
            for (size_t back = 1; back <= 4096 && back <= p; back++) {
                size_t len = 0;
                while (len < limit && history[p - back + len] == history[p + len]) len++;
                if (len > bestLen) {
                    bestLen = len;
                    bestBack = back;
                }
            }
        }
        if (bestLen >= 3) {
            symbol(int(bestLen) + 253);
            int d = int(bestBack) - 1;
            int v = d >> 6;
            int firstByte = 0;
            while (PositionHighOf(firstByte) != v) firstByte++;
            int nbits = PositionBitsOf(firstByte);
            for (int k = nbits - 1; k >= 0; k--) bits.push_back(((firstByte >> (8 - nbits)) >> k) & 1);
            for (int k = 5; k >= 0; k--) bits.push_back((d >> k) & 1);
            p += bestLen;
        } else {
            symbol(history[p]);
            p++;
        }
    }
    std::vector<uint8_t> out((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); i++)
        if (bits[i]) out[i / 8] |= uint8_t(0x80 >> (i % 8));
    return out;
}

}  // namespace reference

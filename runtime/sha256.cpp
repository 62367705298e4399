#include "runtime/sha256.h"

namespace {

const uint32_t roundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

const uint32_t initialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                  0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

uint32_t Rotate(uint32_t x, int n) { return x >> n | x << (32 - n); }

// The schedule is kept as a ring of 16 words: w[i & 15] holds word i.
void Compress(uint32_t* state, const uint8_t* block) {
    uint32_t w[16], v[8];
    for (int i = 0; i < 8; ++i) v[i] = state[i];
    for (int i = 0; i < 64; ++i) {
        uint32_t word;
        if (i < 16) {
            const uint8_t* p = block + 4 * i;
            word = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        } else {
            uint32_t a = w[(i - 15) & 15], b = w[(i - 2) & 15];
            word = w[i & 15] + (Rotate(a, 7) ^ Rotate(a, 18) ^ a >> 3) + w[(i - 7) & 15] +
                   (Rotate(b, 17) ^ Rotate(b, 19) ^ b >> 10);
        }
        w[i & 15] = word;
        uint32_t e = v[4], a = v[0];
        uint32_t t1 = v[7] + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & v[5]) ^ (~e & v[6])) +
                      roundConstants[i] + word;
        uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
        for (int k = 7; k > 0; --k) v[k] = v[k - 1];
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; ++i) state[i] += v[i];
}

unsigned Used(const Sha256& s) { return (s.bits[0] >> 3) & 63; }

}  // namespace

void Sha256Start(Sha256& s) {
    for (int i = 0; i < 8; ++i) s.state[i] = initialState[i];
    s.bits[0] = s.bits[1] = 0;
}

void Sha256Update(Sha256& s, const void* data, std::size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (size--) {
        unsigned used = Used(s);
        s.block[used] = *p++;
        s.bits[0] += 8;
        if (s.bits[0] < 8) ++s.bits[1];
        if (used == 63) Compress(s.state, s.block);
    }
}

void Sha256Finish(Sha256& s, uint8_t digest[sha256Size]) {
    uint32_t bits[2] = {s.bits[0], s.bits[1]};
    uint8_t pad = 0x80;
    Sha256Update(s, &pad, 1);
    pad = 0;
    while (Used(s) != 56) Sha256Update(s, &pad, 1);
    for (int i = 0; i < 8; ++i) {  // the length, most significant byte first
        pad = static_cast<uint8_t>(bits[i < 4] >> (24 - 8 * (i % 4)));
        Sha256Update(s, &pad, 1);
    }
    for (int i = 0; i < 32; ++i) digest[i] = static_cast<uint8_t>(s.state[i / 4] >> (24 - 8 * (i % 4)));
}

void Sha256Of(const void* data, std::size_t size, uint8_t digest[sha256Size]) {
    Sha256 s;
    Sha256Start(s);
    Sha256Update(s, data, size);
    Sha256Finish(s, digest);
}

// SHA-256 (FIPS 180-4), small and portable: the installer has no C runtime,
// and the system's own cryptography offers no SHA-256 before Windows XP SP3.
// Words are read and written a byte at a time, so the 80386 build needs no
// byte-swap instruction.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t sha256Size = 32;

struct Sha256 {
    uint32_t state[8];
    uint32_t bits[2];       // message length in bits, low word first: no 64-bit arithmetic
    uint8_t block[64];      // the bytes of a block not yet compressed
};

void Sha256Start(Sha256& s);
void Sha256Update(Sha256& s, const void* data, std::size_t size);
// Finishes the message (`s` must be started again before more use).
void Sha256Finish(Sha256& s, uint8_t digest[sha256Size]);
// The digest of bytes held whole.
void Sha256Of(const void* data, std::size_t size, uint8_t digest[sha256Size]);

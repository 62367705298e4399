// The LZH stream decoder: LZSS over a 4096-byte window, literals and match
// lengths coded with an adaptive Huffman code, distances with a fixed prefix
// code. It pulls and pushes one byte at a time through the caller's procedures.
//
// Stream map (no header, no trailer, no end code; the caller knows the length):
//
//   bits, most significant bit of each byte first, codes not byte-aligned:
//   code   := symbol [distance]
//   symbol := adaptive Huffman code, root to leaf, 0 = first child, 1 = second
//             0..255    a literal byte
//             256..313  a match of length symbol - 253 (3..60), then a distance
//   distance := prefix (3..8 bits) of v = the upper 6 bits, then 6 plain bits
//               v  0      prefix 000          (3 bits)
//               v  1..3   prefix 0010..0100   (4 bits)
//               v  4..11  prefix 01010..10001 (5 bits)
//               v 12..23  6 bits, v 24..47 7 bits, v 48..63 8 bits (11110000..11111111)
//             a distance value d copies from d + 1 bytes back; copies may
//             overlap the bytes they produce
//   window   := 4096-byte ring; bytes 0..4035 start as spaces (0x20), the
//               first output byte goes to 4036
//   last byte: the final code's bits, padded with zero bits
//
// The tree is updated after every symbol (lzh_tree.h) and rebuilt when the
// root weight has reached 0x8000.
#pragma once

#include <cstddef>
#include <cstdint>

#include "state/keep_running.h"

// Fetch up to `count` bytes into `buffer`; `actual` says how many came. The
// decoder always asks for 1; an `actual` other than 1 ends the input there.
using LzhReadProc = void (*)(void* buffer, uint16_t count, uint16_t& actual);
// Store `count` bytes from `buffer`. The decoder always passes 1 and ignores `actual`.
using LzhWriteProc = void (*)(const void* buffer, uint16_t count, uint16_t& actual);

// The messages of the decoder's own errors (ElzhException).
extern const char* const lzhNoMemoryMessage;     // "LZH : Cannot get memory for dictionary tables"
extern const char* const lzhFreeFailedMessage;   // "LZH : Error freeing memory for dictionary tables"

// Decodes until at least textSize bytes have been written (the final match is
// written whole, so up to 59 more may follow), keepRunning is 0 between two
// codes, or the input has ended under a code: a code that needs a bit of a
// byte the reader did not deliver is not written, and decoding stops there.
// textSize <= 0 reads and writes nothing. Not reentrant: the state is
// process-wide. An error raised by a procedure passes through; the tables are
// released on the way.
void decode(int32_t textSize, LzhReadProc readProc, LzhWriteProc writeProc);

// The same decoding for a caller that holds the whole stream in memory,
// without a call per byte: the decoded bytes are gathered in the caller's
// `buffer` (its first 4096 bytes keep the window) and handed to `flush` a
// block at a time, in order; `context` is passed through. The bytes, the
// stopping rules, LzhLastInputUse(), the tables and the errors are those of
// decode() with a reader of `input` and a writer that appends. A buffer
// smaller than lzhBlockBufferMin raises ElzhException (lzhSmallBufferMessage);
// some 64 KiB and more keeps the flushes rare.
using LzhFlushProc = void (*)(void* context, const uint8_t* data, std::size_t size);
constexpr std::size_t lzhBlockBufferMin = 8192;
extern const char* const lzhSmallBufferMessage;  // "LZH : Output buffer too small"
void LzhDecodeBlocks(const uint8_t* input, std::size_t inputSize, int32_t textSize, uint8_t* buffer,
                     std::size_t bufferSize, LzhFlushProc flush, void* context);

// What the last decode() (or LzhDecodeBlocks()) made of its input, for its caller to judge (zlib's
// Z_BUF_ERROR, not a guess from the reader's side). The reader is asked up to
// 3 bytes beyond the bits in use; those are not counted as used.
//   cutShort   it stopped because a code needed a bit the reader did not
//              deliver: the stream is incomplete. A reader that answers no
//              byte for its own reason (a cancel) looks the same to it.
//   bytesUsed  the bytes holding the bits its codes used, the final partly
//              used one included (its padding bits are no part of a code);
//              when cut short, every byte delivered.
// A decode that ended by a raised error leaves both cleared.
struct LzhInputUse {
    bool cutShort;
    uint64_t bytesUsed;
};
LzhInputUse LzhLastInputUse();

// The decoder's whole state, 8,488 bytes, acquired per call through the
// procedures below (null: no memory; false: the release failed). Defaults are
// malloc and free; tests count the calls.
constexpr std::size_t lzhTablesSize = 8488;
using LzhAcquireProc = void* (*)(std::size_t size);
using LzhReleaseProc = bool (*)(void* block);
void SetLzhTableAllocator(LzhAcquireProc acquire, LzhReleaseProc release);

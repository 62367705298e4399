// The decoder's read and write procedures: the archive comes in and the
// decoded stream goes out through 2048-byte buffers (bufferA, bufferB, with
// 1-based positions readPos and writePos), the queue is drained after every
// byte delivered, and the unpacking bar moves once per full output buffer.
//
// The unpacking page opens archiveHandle and outputHandle, sets readPos 1,
// readCount 0 and writePos 1, runs the decoder, then calls OutputWriter once
// with count 0 to write what is left in the buffer.
#pragma once

#include <cstdint>

constexpr uint16_t blockSize = 2048;

// A failed read raises EInOutError naming the archive. At the archive's end
// the answer is 0 bytes, without draining; the decoder then knows whether its
// codes needed more (LzhLastInputUse).
void ArchiveReader(void* destination, uint16_t count, uint16_t& got);

// A failed or short write raises EInOutError (a full disk). Count 0 flushes.
void OutputWriter(const void* source, uint16_t count, uint16_t& put);

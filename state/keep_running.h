// The process-wide continue flag: non-zero while long work may go on. A
// confirmed cancel clears it; the copy loop, the decoder and the decoder's
// reader and writer test it. Portable: the decoder and the tools share it.
#pragma once

#include <cstdint>

extern int32_t keepRunning;

#include <windows.h>

#include "runtime/text.h"

// The system's ANSI code page decides; ASCII is never a lead byte, so most
// characters cost no call.
bool IsLeadByte(char c) {
    return static_cast<unsigned char>(c) >= 0x80 && IsDBCSLeadByte(static_cast<BYTE>(c));
}

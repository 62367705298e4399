#include <windows.h>

#include "runtime/code_page.h"
#include "runtime/text.h"

// The system's ANSI code page decides, unless the packaging tool chose its
// target's (the installer never chooses); ASCII is never a lead byte, so most
// characters cost no call.
bool IsLeadByte(char c) {
    if (unsigned chosen = ChosenCodePage()) return LeadByteIn(chosen, static_cast<unsigned char>(c));
    return static_cast<unsigned char>(c) >= 0x80 && IsDBCSLeadByte(static_cast<BYTE>(c));
}

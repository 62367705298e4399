// The double-byte ANSI code pages, for the portable build: the packaging tool
// writes names in a target's code page, and the native tests try the installer's
// text helpers under each. On Windows the system's own code page answers
// IsLeadByte (text.h) unless a code page was chosen.
#pragma once

// Whether `byte` is a lead byte of `codePage`: 932 (Japanese), 936 (Simplified
// Chinese), 949 (Korean), 950 (Traditional Chinese); every other code page is
// single-byte.
bool LeadByteIn(unsigned codePage, unsigned char byte);

// The code page IsLeadByte answers for from now on (at start: none, which is
// single-byte in the portable build and the system's on Windows).
void UseCodePage(unsigned codePage);
unsigned ChosenCodePage();

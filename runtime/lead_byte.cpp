#include "runtime/code_page.h"
#include "runtime/text.h"

bool IsLeadByte(char c) { return LeadByteIn(ChosenCodePage(), static_cast<unsigned char>(c)); }

#include "runtime/code_page.h"

namespace {

unsigned chosenCodePage = 0;

}  // namespace

bool LeadByteIn(unsigned codePage, unsigned char byte) {
    switch (codePage) {
    case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950: return byte >= 0x81 && byte <= 0xFE;
    default: return false;
    }
}

void UseCodePage(unsigned codePage) { chosenCodePage = codePage; }

unsigned ChosenCodePage() { return chosenCodePage; }

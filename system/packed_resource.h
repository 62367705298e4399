// Resources kept LZH-packed (resources/pack-resources.sh makes them): the
// unpacked and the packed length, 4 bytes each, little-endian, then the
// stream. The agreement's text takes half its bytes so.
#pragma once

#include <windows.h>

#include "runtime/text.h"

// The unpacked bytes of RCDATA resource `name`; empty when it is missing or cut short.
String UnpackResource(const char* name);

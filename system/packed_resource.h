// Resources kept LZH-packed (resources/pack-resources.sh makes them): the
// unpacked and the packed length, 4 bytes each, little-endian, then the
// stream. The logo and the agreement's text take a third of their bytes so.
#pragma once

#include <windows.h>

#include "runtime/text.h"

// The unpacked bytes of RCDATA resource `name`; empty when it is missing or cut short.
String UnpackResource(const char* name);
// A bitmap for the screen from a packed BITMAP resource's bytes, as
// LoadBitmapA makes one from the plain resource; null when it cannot be made.
HBITMAP UnpackBitmap(const char* name);

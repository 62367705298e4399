// The second page: the installation directory, checked for form (a drive and
// a full path, short enough for every file placed in it, never the Windows
// folder or a system folder under any spelling, no part ending in a blank),
// created one level deep, checked for writing and room, and made the current
// directory.
#pragma once

#include <windows.h>

#include "runtime/text.h"

// Creates `path` (its parent must exist; failures are not reported) and makes
// it the current directory, once a file can be written there and its drive has
// room for the installation; otherwise a box owned by `page` says what is
// missing, and a folder made here is removed again. True, and `path` is the
// confirmed installDir, when it is entered.
bool CreateInstallDir(HWND page, const String& path);

INT_PTR CALLBACK DestinationPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The second page: the installation directory, checked for form (a drive and
// a full path, short enough for every file placed in it, never the Windows
// folder or a system folder under any spelling), created one level deep and
// made the current directory.
#pragma once

#include <windows.h>

#include "runtime/text.h"

// Creates `path` (its parent must exist; failures are not reported) and makes
// it the current directory. True, and `path` is the confirmed installDir, when
// the change succeeded.
bool CreateInstallDir(const String& path);

INT_PTR CALLBACK DestinationPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

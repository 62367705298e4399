// The joining page (template "IProgress"): loads the package table, then
// copies the volume files of disks 1, 2 and 3 from the installer's directory
// into the archive file in the installation directory, asking for each later
// disk in turn. Ends with keepRunning: 1 when every volume was copied.
#pragma once

#include <windows.h>

INT_PTR CALLBACK JoiningPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

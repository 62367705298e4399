// The unpacking page (template "Progress"): decodes the archive into the main
// executable's file (a ".$$$" staged copy when an earlier one exists), deletes
// the archive, places the product's files and cuts the stream back to the
// main executable. Ends with keepRunning: 1 when everything was done.
#pragma once

#include <windows.h>

INT_PTR CALLBACK UnpackingPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The fifth page: the name of the Start menu program group, taken as typed.
#pragma once

#include <windows.h>

INT_PTR CALLBACK ProgramGroupPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

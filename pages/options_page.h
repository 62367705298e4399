// The last page: whether the product becomes the Windows shell and whether it
// replaces the Task Manager. Only records the choices; the completion acts on them.
#pragma once

#include <windows.h>

INT_PTR CALLBACK OptionsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

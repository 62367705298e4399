// The full-screen window behind the pages: gradient, title, logo, notice.
// It takes no input; closing or destroying it posts WM_QUIT.
#pragma once

#include <windows.h>

LRESULT CALLBACK BackdropProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Redraws the whole window, whatever part is invalid.
void PaintBackdrop();

// What every page shares: placing itself on the screen, the cancel question,
// and the frame of a question page (OK ends with 1, Cancel with 0 after the
// question or at once, destruction with 0).
#pragma once

#include <windows.h>

#include "pages/centre.h"

// Centres the page on the whole screen, at the top of the z-order, size unchanged.
void CenterPage(HWND page);

// "Do you really want to terminate the Setup program?", caption "Exit " + product name,
// Yes/No, no icon, no owner. True when the answer is Yes; false at once while
// the question is open already.
bool ConfirmCancel();

enum class CancelRule {
    confirm,    // agreement and destination pages: ask first
    immediate,  // program group and options pages: end with 0 at once
};

// The shared handling of a question page's messages, for a page procedure to
// fall back on: WM_INITDIALOG centres and focuses OK, id 1 ends with 1, id 2
// follows `rule`, WM_DESTROY ends with 0. Always answers FALSE.
INT_PTR QuestionPageFrame(HWND page, UINT message, WPARAM wParam, CancelRule rule);

#include "pages/options_page.h"

#include "pages/conventions.h"
#include "setup/context.h"

namespace {

const int taskManagerBox = 103;
const int shellBox = 104;

// Both boxes start unchecked on every family: the page sets no state of its own.
void openOptions(HWND page) { SetWindowTextA(page, "Windows Interface"); }

void acceptOptions(HWND page) {
    ctx.replaceTaskManager = IsDlgButtonChecked(page, taskManagerBox) == BST_CHECKED;
    ctx.makeShell = IsDlgButtonChecked(page, shellBox) == BST_CHECKED;
}

}  // namespace

INT_PTR CALLBACK OptionsPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        openOptions(page);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) acceptOptions(page);
        break;
    }
    return QuestionPageFrame(page, message, wParam, CancelRule::immediate);
}

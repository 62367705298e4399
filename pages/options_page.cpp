#include "pages/options_page.h"

#include "pages/conventions.h"
#include "resources/resource.h"
#include "state/context.h"

namespace {

// Both boxes start unchecked on every family: the page sets no state of its own.
void OpenOptions(HWND page) { SetWindowTextA(page, "Windows Interface"); }

void AcceptOptions(HWND page) {
    ctx.replaceTaskManager = IsDlgButtonChecked(page, IDC_TASK_MANAGER_BOX) == BST_CHECKED;
    ctx.makeShell = IsDlgButtonChecked(page, IDC_SHELL_BOX) == BST_CHECKED;
}

}  // namespace

INT_PTR CALLBACK OptionsPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OpenOptions(page);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) AcceptOptions(page);
        break;
    }
    return QuestionPageFrame(page, message, wParam, CancelRule::immediate);
}

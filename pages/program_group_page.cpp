#include "pages/program_group_page.h"

#include "pages/conventions.h"
#include "resources/resource.h"
#include "state/context.h"
#include "system/shortcut.h"

namespace {

void OpenProgramGroup(HWND page) {
    SetWindowTextA(page, "Program Group");
    SetDlgItemTextA(page, IDC_GROUP_EDIT, product.groupName.c_str());
}

// A name that cannot be the shortcut's own file name in the Programs folder gets a beep.
void AcceptProgramGroup(HWND page) {
    char name[255] = "";
    GetDlgItemTextA(page, IDC_GROUP_EDIT, name, sizeof name);
    if (!UsableGroupName(name)) {
        MessageBeep(MB_OK);
        return;
    }
    product.groupName = name;
    EndDialog(page, 1);
}

}  // namespace

INT_PTR CALLBACK ProgramGroupPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OpenProgramGroup(page);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            AcceptProgramGroup(page);
            return FALSE;
        }
        break;
    }
    return QuestionPageFrame(page, message, wParam, CancelRule::immediate);
}

#include "pages/program_group_page.h"

#include "pages/conventions.h"
#include "resources/resource.h"
#include "state/context.h"

namespace {

void OpenProgramGroup(HWND page) {
    SetWindowTextA(page, "Program Group");
    SetDlgItemTextA(page, IDC_GROUP_EDIT, product.groupName.c_str());
}

// No check at all: an empty name or one a file name cannot hold is the shortcut step's affair.
void AcceptProgramGroup(HWND page) {
    char name[255] = "";
    GetDlgItemTextA(page, IDC_GROUP_EDIT, name, sizeof name);
    product.groupName = name;
}

}  // namespace

INT_PTR CALLBACK ProgramGroupPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OpenProgramGroup(page);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) AcceptProgramGroup(page);
        break;
    }
    return QuestionPageFrame(page, message, wParam, CancelRule::immediate);
}

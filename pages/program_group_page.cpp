#include "pages/program_group_page.h"

#include "pages/conventions.h"
#include "setup/context.h"

namespace {

const int groupEdit = 102;

void openProgramGroup(HWND page) {
    SetWindowTextA(page, "Program Group");
    SetDlgItemTextA(page, groupEdit, product.groupName.c_str());
}

// No check at all: an empty name or one a file name cannot hold is the shortcut step's affair.
void acceptProgramGroup(HWND page) {
    char name[255] = "";
    GetDlgItemTextA(page, groupEdit, name, sizeof name);
    product.groupName = name;
}

}  // namespace

INT_PTR CALLBACK ProgramGroupPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        openProgramGroup(page);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) acceptProgramGroup(page);
        break;
    }
    return QuestionPageFrame(page, message, wParam, CancelRule::immediate);
}

#include "pages/conventions.h"

#include "state/context.h"

void CenterPage(HWND page) {
    RECT r;
    GetWindowRect(page, &r);
    SetWindowPos(page, HWND_TOP, CentredOffset(ctx.screenWidth, r.right - r.left),
                 CentredOffset(ctx.screenHeight, r.bottom - r.top), 0, 0, SWP_NOSIZE);
}

bool ConfirmCancel() {
    // The box has no owner: while it is open the page still takes a Cancel.
    if (ctx.exitQuestionOpen) return false;
    ctx.exitQuestionOpen = true;
    String caption = "Exit " + product.productName;
    bool yes = MessageBoxA(nullptr, product.cancelQuestion.c_str(), caption.c_str(), MB_YESNO) == IDYES;
    ctx.exitQuestionOpen = false;
    return yes;
}

INT_PTR QuestionPageFrame(HWND page, UINT message, WPARAM wParam, CancelRule rule) {
    switch (message) {
    case WM_INITDIALOG:
        CenterPage(page);
        SetFocus(GetDlgItem(page, IDOK));
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) EndDialog(page, 1);
        if (LOWORD(wParam) == IDCANCEL && (rule == CancelRule::immediate || ConfirmCancel()))
            EndDialog(page, 0);
        break;
    case WM_DESTROY:
        EndDialog(page, 0);
        break;
    }
    return FALSE;
}

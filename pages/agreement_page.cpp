#include "pages/agreement_page.h"

#include "pages/conventions.h"
#include "resources/resource.h"
#include "state/context.h"
#include "system/packed_resource.h"

namespace {

// Where the product name goes in the packed text (resources/license.txt).
const char productNameMark = '@';

// The pixel box of the text, in the page's client area: it does not scale with the dialog font.
const RECT agreementBox = {10, 30, 10 + 380, 30 + 200};

void CreateAgreementEdit(HWND page) {
    String text = AgreementText();
    // No tab stop and no font of its own: Tab passes it by, and it draws in the system font.
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY;
    ctx.agreementEdit = CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", text.c_str(), style, agreementBox.left,
                                        agreementBox.top, agreementBox.right - agreementBox.left,
                                        agreementBox.bottom - agreementBox.top, page, nullptr, ctx.instance,
                                        nullptr);
}

}  // namespace

String AgreementText() {
    String packed = UnpackResource(MAKEINTRESOURCEA(AGREEMENT_TEXT)), text;
    for (size_t i = 0; i < packed.size(); ++i) {
        if (packed[i] == productNameMark) text += product.productName;
        else text += packed[i];
    }
    return text;
}

INT_PTR CALLBACK AgreementPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        CreateAgreementEdit(page);
        break;
    }
    return QuestionPageFrame(page, message, wParam, CancelRule::confirm);
}

#include "pages/agreement_page.h"

#include "pages/conventions.h"
#include "state/context.h"

namespace {

// Marks where the product name goes; the pieces around it carry the blanks.
const char* const productNameHere = nullptr;
const char blockBreak[] = "\r\n\r\n";

// Blocks: opening sentence, the licence with its heading, maintenance, the
// warranty disclaimer in three paragraphs, acknowledgment, trademark notice.
// Each heading stands alone between two breaks; the text ends without one.
const char* const agreementPieces[] = {
    "This copy of ", productNameHere, " is licensed to you, not sold. You may ",
    "install and use it only if you accept every ", "one of the terms and conditions of this ",
    "License Agreement, which are set out below:", blockBreak,
    "LICENSE TO USE \r\n\r\n",
    "The Wardhaven Software Foundation grants you a ", "non-exclusive and non-transferable license to install ",
    productNameHere, " on computers that you own or control, and to use it there for ",
    "your own purposes, at home or at work. You may make copies of ", productNameHere,
    " for backup and archival purposes, provided that each copy carries the copyright ",
    "notice of the original. You may not sell, rent, lease, lend or sublicense ", productNameHere,
    " to anyone, nor may you modify, translate, decompile, ", "disassemble or otherwise reverse engineer ",
    "it, except to the extent that the law that applies ", "to you expressly permits this in spite of this ",
    "restriction. Nor may you use it to provide services ", "to third parties on a time-sharing, rental ",
    "or service bureau basis. You may not remove or ", "change any notice of copyright or ownership in ",
    productNameHere, " or in its documentation. This license ends automatically if ",
    "you break any of its terms; you must then destroy every copy of ", productNameHere,
    " in your possession or control.", blockBreak,
    "SOFTWARE MAINTENANCE", blockBreak,
    "The authors of ", productNameHere, " are under no obligation to provide maintenance, support, updates or ",
    "corrections for it. Any updates, fixes or additional components for ", productNameHere,
    " that may be made available to you are covered by ", "this License Agreement, unless they come with ",
    "license terms of their own. The authors may change ", "or discontinue any such service at any time.",
    blockBreak,
    "LIMITED WARRANTY AND DISCLAIMER OF WARRANTY", blockBreak,
    productNameHere, " and its documentation are provided \"as is\", without warranty of ",
    "any kind, either express or implied, including but not limited to ",
    "the implied warranties of merchantability and fitness for a particular ",
    "purpose. The entire risk as to the quality and performance of ", productNameHere, " lies with you. Should ",
    productNameHere, " prove defective, you alone bear the cost of all ",
    "necessary servicing, repair or correction. Some ", "jurisdictions do not allow the exclusion of implied ",
    "warranties, so the above exclusion may not apply to you.", blockBreak,
    "The above is the only warranty of any kind given for ", productNameHere,
    " by its authors. No oral or written information or advice given ",
    "by the authors, their distributors, agents or employees creates ",
    "any other warranty or in any way increases the scope of this ",
    "warranty, and you may not rely on any such information or advice.", blockBreak,
    "In no event shall the authors or distributors of ", productNameHere,
    " be liable to you for any damages, whether direct, indirect, ",
    "incidental, special or consequential, including lost ",
    "profits, lost savings, loss of data or interruption of ",
    "business, arising out of the use of or the inability to use ", productNameHere,
    ", even if they have been advised of the possibility of such damages. Some ",
    "jurisdictions do not allow the exclusion ", "or limitation of liability for incidental ",
    "or consequential damages, so the above limitation may not apply to you. In any ",
    "case, their liability shall not exceed the price you paid for this license.", blockBreak,
    "ACKNOWLEDGMENT", blockBreak,
    "By installing or using ", productNameHere,
    " you acknowledge that you have read this License Agreement, that ",
    "you understand it and that you agree to be bound by its terms and ",
    "conditions. You also agree that this agreement is the complete and ",
    "exclusive statement of the agreement between you and the authors of ", productNameHere,
    ", and that it supersedes any proposal or prior agreement, oral ",
    "or written, and any other communication relating to its subject ",
    "matter. If any provision of this agreement is held to be ",
    "unenforceable, the remaining provisions stay in full force and effect.", blockBreak,
    productNameHere, " and the ", productNameHere, " logo are trademarks of the Wardhaven Software ",
    "Foundation. Windows is a trademark of ",
    "Microsoft Corporation. All other names are the property of their respective owners.",
};

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
    String text;
    for (const char* piece : agreementPieces) text += piece ? piece : product.productName;
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

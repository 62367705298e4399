// The first page: the licence agreement in a read-only text box, "I Agree" or "Exit".
#pragma once

#include <windows.h>

#include "runtime/text.h"

// The agreement text, with the product name inserted where the wording names the product.
String AgreementText();

INT_PTR CALLBACK AgreementPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

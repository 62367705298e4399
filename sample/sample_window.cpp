// A stand-in program of the sample product: one box that says which part of
// the sample it is, and closes normally. SAMPLE_TITLE and SAMPLE_TEXT come
// from the build, one executable per part. A dialog, so that the system's
// modal loop serves it on every Windows the installer supports.
#include <windows.h>

#include "sample/sample_window.h"

namespace {

INT_PTR CALLBACK SampleDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowTextA(dialog, SAMPLE_TITLE);
        SetDlgItemTextA(dialog, IDC_SAMPLE_TEXT, SAMPLE_TEXT);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return DialogBoxParamA(instance, SAMPLE_DIALOG, nullptr, SampleDialog, 0) == -1 ? 1 : 0;
}

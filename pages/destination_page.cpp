#include "pages/destination_page.h"

#include "pages/conventions.h"
#include "runtime/file_io.h"
#include "runtime/paths.h"
#include "resources/resource.h"
#include "state/context.h"

namespace {

void OpenDestination(HWND page) {
    // Until an entry is confirmed, installDir names the installer's own directory.
    ctx.installDir = ctx.sourceDir;
    SetWindowTextA(page, "Destination Directory");
    SetDlgItemTextA(page, IDC_DESTINATION_EDIT, product.defaultInstallDir.c_str());
}

// A capital drive letter and a colon; nothing after them is looked at.
bool WellFormed(const String& entry) {
    return entry.size() >= 2 && entry[0] >= 'A' && entry[0] <= 'Z' && entry[1] == ':';
}

// The same folder, however spelled: case, a closing backslash, the 8.3 form.
bool SameFolder(String a, const String& b) {
    if (a.size() > 3 && a[a.size() - 1] == '\\') a = a.substr(0, a.size() - 1);
    return SameTextIgnoringCase(a, b) || SameTextIgnoringCase(ShortPathOf(a), ShortPathOf(b));
}

// The Windows folder and its system folder (SYSTEM on the 95 family,
// SYSTEM32 on NT): the product's TaskMan.Exe would overwrite the system's,
// and its generic file names would mix with the system's own.
bool SystemFolder(const String& entry) {
    String windows = ctx.windowsDir;
    return SameFolder(entry, windows) || SameFolder(entry, PathJoin(windows, "SYSTEM")) ||
           SameFolder(entry, PathJoin(windows, "SYSTEM32"));
}

void AcceptDestination(HWND page) {
    char entry[255] = "";
    GetDlgItemTextA(page, IDC_DESTINATION_EDIT, entry, sizeof entry);
    ctx.installDir = entry;
    if (!WellFormed(ctx.installDir) || SystemFolder(ctx.installDir)) {
        MessageBeep(MB_OK);  // the default sound
        return;
    }
    // A directory that cannot be made or entered leaves the page open without a word.
    if (CreateInstallDir(ctx.installDir)) EndDialog(page, 1);
}

}  // namespace

bool CreateInstallDir(const String& path) {
    // Already there, or not creatable: entering it below is the only test that counts.
    CreateDirectoryA(path.c_str(), nullptr);
    if (!SetCurrentDirectoryA(path.c_str())) return false;
    ctx.installDir = path;
    ctx.installDirConfirmed = true;
    return true;
}

INT_PTR CALLBACK DestinationPage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OpenDestination(page);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            AcceptDestination(page);
            return FALSE;
        }
        break;
    }
    return QuestionPageFrame(page, message, wParam, CancelRule::confirm);
}

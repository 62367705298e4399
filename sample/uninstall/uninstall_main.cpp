// The sample product's uninstaller: run from the installation folder (the
// uninstall entry's command), it asks first, then takes away what the
// installation placed and changed, and says what it could not. Anywhere
// else it removes nothing.
#include <windows.h>

#include "sample/uninstall/installation.h"
#include "sample/uninstall/placed_files.h"
#include "sample/uninstall/program_shortcut.h"
#include "sample/uninstall/system_settings.h"
#include "state/context.h"

namespace {

bool Confirmed() {
    String text = "Do you want to remove " + product.productName + " and all of its components?";
    return MessageBoxA(nullptr, text.c_str(), product.productName.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Each line of a list ends in CR LF; the last one's is not shown.
String Lines(const String& list) { return list.substr(0, list.size() - 2); }

void Report(const Installation& at) {
    const String& name = product.productName;
    String text = !at.leftovers.empty()
                      ? name + " has not been removed completely. These items are still there:\r\n\r\n" +
                            Lines(at.leftovers) + "\r\n\r\n" + name +
                            " stays in the list of programs to remove, with its uninstaller. Close " + name +
                            " and any program using these items, or restart Windows (and make their drive writable "
                            "if it is read-only); then run the uninstaller again."
                  : at.removedAny ? name + " has been removed from your computer."
                                  : "Nothing of " + name + " was left to remove.";
    if (!at.kept.empty())
        text += "\r\n\r\nThese files have the names of " + name + "'s files but other content; they have been kept:\r\n" +
                Lines(at.kept);
    if (!at.sharedWith.empty()) text += "\r\n\r\n" + Lines(at.sharedWith);
    if (at.folderKept)
        text += "\r\n\r\nThe folder " + at.dir + " holds files that were not installed with " + name +
                "; it has been kept.";
    if (!at.waiting.empty()) text += "\r\n\r\nWhen Windows next starts:\r\n" + Lines(at.waiting);
    MessageBoxA(nullptr, text.c_str(), name.c_str(),
                MB_OK | (at.leftovers.empty() ? MB_ICONINFORMATION : MB_ICONWARNING));
}

void Refuse(const String& text) { MessageBoxA(nullptr, text.c_str(), product.productName.c_str(), MB_OK | MB_ICONSTOP); }

// Copied elsewhere (into the Windows folder, say), the uninstaller would take
// files that merely share the product's names: it works only where the product
// is installed, by its executable or by its uninstall entry.
bool HoldsInstallation(const Installation& at) { return HoldsProduct(at.dir) || EntryNamesThisUninstaller(at); }

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Not while Setup runs: it may be placing the very files this would take.
    CreateEventA(nullptr, TRUE, FALSE, runningEvent);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        Refuse("Setup or the uninstaller of " + product.productName +
               " is running: run the uninstaller again once it has finished. Nothing has been removed.");
        return 1;
    }
    Installation at = FindInstallation();
    FindFormerFolder(at);
    // Without its own folder every relative name would land in the current one.
    if (at.dir.empty() || at.windowsDir.empty()) {
        Refuse("The installation folder cannot be found; nothing has been removed.");
        return 1;
    }
    if (!HoldsInstallation(at)) {
        Refuse(product.productName + " is not installed in " + at.dir + "; nothing has been removed.");
        return 1;
    }
    if (!Confirmed()) return 0;
    // A current folder cannot be removed, not even at the next start.
    SetCurrentDirectoryA(at.windowsDir.c_str());
    // The settings first: the 8.3 spellings they are compared in need the files
    // still there, and a shell or a Task Manager move still naming the product
    // must not lose its file. The entry last, and only when nothing is left:
    // until it goes, the uninstaller can be run again from it.
    RestoreShell(at);
    RestoreTaskManager(at);
    if (at.leftovers.empty()) {
        RemoveProgramShortcut(at);
        RemovePlacedFiles(at);
    }
    if (at.leftovers.empty()) {
        ForgetSharedFiles(at);
        RemoveUninstallEntry(at);
    }
    Report(at);
    return 0;
}

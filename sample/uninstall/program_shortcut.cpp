#include "sample/uninstall/program_shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include "runtime/guards.h"
#include "runtime/paths.h"
#include "sample/uninstall/placed_files.h"
#include "sample/uninstall/product_files.h"
#include "system/shortcut.h"

namespace {

// The published identifiers, spelled out here so that no import library of GUIDs is needed.
const CLSID shellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID shellLinkInterface = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID persistFileInterface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The shortcut's target as the shell link object reads it; empty when it cannot.
String LinkTarget(const String& path) {
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0) return String();
    ComRef<IShellLinkA> link;
    ComRef<IPersistFile> file;
    CoCreateInstance(shellLinkClass, nullptr, CLSCTX_INPROC_SERVER, shellLinkInterface, link.Receive());
    if (!link.Get() || FAILED(link->QueryInterface(persistFileInterface, file.Receive())) ||
        FAILED(file->Load(wide, STGM_READ)))
        return String();
    char target[MAX_PATH + 1] = "";
    WIN32_FIND_DATAA data;
    if (FAILED(link->GetPath(target, sizeof target, &data, 0))) return String();
    return target;
}

// The shortcuts in `folder`; with `descend`, those of each folder in it as well.
void RemoveLinksIn(Installation& at, const String& folder, bool descend) {
    String product = PathJoin(at.dir, productFiles[0].name);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(PathJoin(folder, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        String name = found.cFileName;
        String path = PathJoin(folder, name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (descend && name != "." && name != "..") RemoveLinksIn(at, path, false);
        } else if (UpperExtension(name) == ".LNK") {
            String target = LinkTarget(path);
            if (SamePath(target, product) || InFormerFolder(at, target, productFiles[0].name)) RemoveFile(at, path);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

}  // namespace

void RemoveProgramShortcut(Installation& at) {
    String folder = ProgramsFolder();
    if (folder.empty()) return;
    ComInit com;
    RemoveLinksIn(at, folder, true);
}

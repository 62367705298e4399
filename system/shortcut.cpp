#include "system/shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include "setup/context.h"
#include "system/registry.h"

namespace {

// The published identifiers, spelled out here so that no import library of GUIDs is needed.
const CLSID shellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID shellLinkInterface = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID persistFileInterface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const int widePathSize = 255;

std::string ProgramsFolder() {
    std::string folder;
    {
        TRegIniFile explorer("Software\\microsoft\\windows\\currentversion\\explorer");
        folder = explorer.ReadEntry("Shell Folders", "programs", "");
    }
    // Without the value the save would land in the current directory; the
    // shell knows the folder even when that registry copy of it is missing.
    if (folder.empty()) {
        char path[MAX_PATH] = "";
        if (SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAMS, FALSE)) folder = path;
    }
    return folder;
}

// False when the path does not fit: a cut path would name another file.
bool ToWidePath(const std::string& path, WCHAR (&wide)[widePathSize]) {
    return MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, widePathSize) > 0;
}

}  // namespace

void MakeProgramShortcut() {
    std::string folder = ProgramsFolder();
    HRESULT com = CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    CoCreateInstance(shellLinkClass, nullptr, CLSCTX_INPROC_SERVER, shellLinkInterface,
                     reinterpret_cast<void**>(&link));
    if (link) {
        // A staged executable becomes the product's own file at the restart: the shortcut outlives the stage.
        std::string target = PathJoin(ctx.installDir, UnstagedExecutable(product.mainExecutable));
        link->SetPath(target.c_str());
        link->SetWorkingDirectory(ctx.installDir.c_str());
        link->SetShowCmd(SW_SHOWNORMAL);
        link->QueryInterface(persistFileInterface, reinterpret_cast<void**>(&file));
    }
    product.groupName += ".LNK";
    WCHAR wide[widePathSize];
    if (file && !folder.empty() && ToWidePath(PathJoin(folder, product.groupName), wide)) file->Save(wide, FALSE);
    if (file) file->Release();
    if (link) link->Release();
    if (SUCCEEDED(com)) CoUninitialize();
}

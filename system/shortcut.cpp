#include "system/shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include "runtime/guards.h"
#include "runtime/paths.h"
#include "runtime/system_dlls.h"
#include "state/context.h"
#include "system/registry.h"

namespace {

// The published identifiers, spelled out here so that no import library of GUIDs is needed.
const CLSID shellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID shellLinkInterface = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID persistFileInterface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const int widePathSize = 255;

// Through the item-list calls every shell since the first 32-bit one has;
// the item list is the shell allocator's to free. SHELL32 is not imported:
// it would load SHLWAPI and SHCORE by bare name before the entry point runs.
String ProgramsFolderFromShell() {
    auto location = SystemFunction<decltype(&SHGetSpecialFolderLocation)>("SHELL32", "SHGetSpecialFolderLocation");
    auto pathOf = SystemFunction<decltype(&SHGetPathFromIDListA)>("SHELL32", "SHGetPathFromIDListA");
    auto allocator = SystemFunction<decltype(&SHGetMalloc)>("SHELL32", "SHGetMalloc");
    LPITEMIDLIST list = nullptr;
    if (!location || !pathOf || !allocator) return String();
    if (FAILED(location(nullptr, CSIDL_PROGRAMS, &list)) || !list) return String();
    char path[MAX_PATH] = "";
    BOOL found = pathOf(list, path);
    ComRef<IMalloc> shellMemory;
    if (SUCCEEDED(allocator(reinterpret_cast<IMalloc**>(shellMemory.Receive())))) shellMemory->Free(list);
    return found ? String(path) : String();
}

}  // namespace

String ProgramsFolder() {
    String folder;
    {
        TRegIniFile explorer("Software\\microsoft\\windows\\currentversion\\explorer");
        folder = explorer.ReadEntry("Shell Folders", "programs", "");
    }
    // Without the value the save would land in the current directory; the
    // shell knows the folder even when that registry copy of it is missing.
    return folder.empty() ? ProgramsFolderFromShell() : folder;
}

namespace {

// False when the path does not fit: a cut path would name another file.
bool ToWidePath(const String& path, WCHAR (&wide)[widePathSize]) {
    return MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, widePathSize) > 0;
}

}  // namespace

bool UsableGroupName(const String& name) {
    bool blank = true;
    for (size_t i = 0; i < name.size(); ++i) blank = blank && (name[i] == ' ' || name[i] == '.');
    return !blank && name.find_first_of("\\/:*?\"<>|") == String::npos && !ReservedDeviceName(name) &&
           PathJoin(ProgramsFolder(), name + ".LNK").size() < widePathSize;
}

void MakeProgramShortcut() {
    String folder = ProgramsFolder();
    ComInit com;
    ComRef<IShellLinkA> link;
    ComRef<IPersistFile> file;
    CoCreateInstance(shellLinkClass, nullptr, CLSCTX_INPROC_SERVER, shellLinkInterface, link.Receive());
    if (link.Get()) {
        // A staged executable becomes the product's own file at the restart: the shortcut outlives the stage.
        String target = PathJoin(ctx.installDir, UnstagedExecutable(product.mainExecutable));
        link->SetPath(target.c_str());
        link->SetWorkingDirectory(ctx.installDir.c_str());
        link->SetShowCmd(SW_SHOWNORMAL);
        link->QueryInterface(persistFileInterface, file.Receive());
    }
    product.groupName += ".LNK";
    String path = PathJoin(folder, product.groupName);
    WCHAR wide[widePathSize];
    if (file.Get() && !folder.empty() && ToWidePath(path, wide) && SUCCEEDED(file->Save(wide, FALSE))) return;
    char text[1024];  // as much as the system's formatting writes
    wsprintfA(text, "The shortcut %s could not be made.", path.c_str());
    MessageBoxA(ctx.mainWindow, text, product.productName.c_str(), MB_OK);
}

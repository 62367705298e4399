#include "tests/wine/link_probe.h"

#include <windows.h>
#include <shlobj.h>

#include "tests/wine/driver.h"

LinkFile ReadLinkFile(const std::string& path) {
    LinkFile link;
    HRESULT com = CoInitialize(nullptr);
    IShellLinkA* shell = nullptr;
    IPersistFile* file = nullptr;
    CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                     reinterpret_cast<void**>(&shell));
    if (shell) shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (file && SUCCEEDED(file->Load(wide, STGM_READ))) {
        char text[MAX_PATH] = "";
        link.loaded = true;
        if (shell->GetPath(text, sizeof text, nullptr, 0) == S_OK) link.target = text;
        text[0] = 0;
        if (shell->GetWorkingDirectory(text, sizeof text) == S_OK) link.workingDir = text;
    }
    if (file) file->Release();
    if (shell) shell->Release();
    if (SUCCEEDED(com)) CoUninitialize();
    std::string bytes = ReadFileText(path);
    if (bytes.size() >= 0x40)
        link.showCommand = static_cast<uint8_t>(bytes[0x3C]) | static_cast<uint8_t>(bytes[0x3D]) << 8 |
                           static_cast<uint8_t>(bytes[0x3E]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bytes[0x3F])) << 24;
    return link;
}

std::string ProgramsDir() {
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAMS, FALSE);
    return path;
}

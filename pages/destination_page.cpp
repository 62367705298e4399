#include "pages/destination_page.h"

#include "pages/conventions.h"
#include "runtime/file_io.h"
#include "runtime/guards.h"
#include "runtime/paths.h"
#include "runtime/system_dlls.h"
#include "resources/resource.h"
#include "state/context.h"

namespace {

void OpenDestination(HWND page) {
    // Until an entry is confirmed, installDir names the installer's own directory.
    ctx.installDir = ctx.sourceDir;
    SetWindowTextA(page, "Destination Directory");
    SetDlgItemTextA(page, IDC_DESTINATION_EDIT, product.defaultInstallDir.c_str());
}

// A capital drive letter and a colon, alone or followed by a separator: "C:X"
// would name a folder below whatever drive C:'s current directory is.
bool WellFormed(const String& entry) {
    return entry.size() >= 2 && entry[0] >= 'A' && entry[0] <= 'Z' && entry[1] == ':' &&
           (entry.size() == 2 || entry[2] == '\\' || entry[2] == '/');
}

// The longest name placed in installDir: a package entry's or its substitute's
// (the table's 19-character name field); the archive's is shorter.
const size_t longestPlacedName = 19;

// Whether a file's path below the entry would pass the system's limit.
bool TooLong(const String& entry) {
    return PathJoin(entry, String(longestPlacedName, 'X')).size() >= MAX_PATH;
}

// The full path as the system reads it ('.', '..', '/' and doubled
// backslashes resolved), without a closing backslash but a root's; the path
// itself when it cannot be resolved.
String FullPath(const String& path) {
    typedef DWORD(WINAPI * FullPathName)(LPCSTR, DWORD, LPSTR, LPSTR*);
    FullPathName resolve = LoadedFunction<FullPathName>("KERNEL32", "GetFullPathNameA");
    char full[MAX_PATH], *name;
    DWORD n = resolve ? resolve(path.c_str(), MAX_PATH, full, &name) : 0;
    if (n < 3 || n >= MAX_PATH) return path;
    if (n > 3 && full[n - 1] == '\\') --n;
    return String(full, n);
}

// Volume serial and file index of an existing folder, where the system tells
// them (the NT family): another drive letter for it (SUBST, a mapped drive)
// has the same.
bool Identity(const String& path, BY_HANDLE_FILE_INFORMATION& info) {
    typedef BOOL(WINAPI * FileInformation)(HANDLE, BY_HANDLE_FILE_INFORMATION*);
    FileInformation query = LoadedFunction<FileInformation>("KERNEL32", "GetFileInformationByHandle");
    ScopedHandle folder(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return query && folder.Valid() && query(folder.Get(), &info);
}

// One folder, however it is spelled or reached.
bool SameFolder(const String& a, const String& b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    if (Identity(a, x) && Identity(b, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
        x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow)
        return true;
    // Case and the short (8.3) spelling of the parts that exist do not count either.
    String p = FullPath(a), q = FullPath(b);
    return SameTextIgnoringCase(p, q) || SameTextIgnoringCase(ShortPathOf(p), ShortPathOf(q));
}

// The Windows folder and its system folders (SYSTEM on the 95 family,
// SYSTEM32 on NT, and under WOW64 SysWOW64 and Sysnative, where a 32-bit
// program reaches the 64-bit one): the product's TaskMan.Exe would overwrite
// the system's, and its generic file names would mix with the system's own.
bool SystemFolder(const String& entry) {
    static const char* const folders[] = {"", "SYSTEM", "SYSTEM32", "SYSWOW64", "SYSNATIVE"};
    // "C:" alone places its files in the drive's root.
    String target = entry.size() == 2 ? entry + "\\" : entry;
    for (const char* folder : folders)
        if (SameFolder(target, PathJoin(ctx.windowsDir, folder))) return true;
    return false;
}

// Windows drops a blank that ends a folder's name when it makes the folder:
// every later path through the name as typed would lead nowhere.
bool BlankEndsPart(const String& entry) {
    for (size_t at = entry.find(' '); at != String::npos; at = entry.find(' ', at + 1))
        if (at + 1 == entry.size() || entry[at + 1] == '\\' || entry[at + 1] == '/') return true;
    return false;
}

void AcceptDestination(HWND page) {
    char entry[255] = "";
    GetDlgItemTextA(page, IDC_DESTINATION_EDIT, entry, sizeof entry);
    ctx.installDir = entry;
    if (!WellFormed(ctx.installDir) || BlankEndsPart(ctx.installDir) || TooLong(ctx.installDir) ||
        SystemFolder(ctx.installDir)) {
        MessageBeep(MB_OK);  // the default sound
        return;
    }
    // A directory that cannot be made or entered leaves the page open without a word.
    if (CreateInstallDir(page, ctx.installDir)) EndDialog(page, 1);
}

// Bytes this user may still write on the folder's drive; as many as can be
// when the system cannot tell.
uint64_t FreeBytes(const String& dir) {
    typedef BOOL(WINAPI * FreeSpaceEx)(LPCSTR, ULARGE_INTEGER*, ULARGE_INTEGER*, ULARGE_INTEGER*);
    typedef BOOL(WINAPI * FreeSpace)(LPCSTR, DWORD*, DWORD*, DWORD*, DWORD*);
    ULARGE_INTEGER available;
    if (auto ex = LoadedFunction<FreeSpaceEx>("KERNEL32", "GetDiskFreeSpaceExA"))
        return ex(PathJoin(dir, "").c_str(), &available, nullptr, nullptr) ? available.QuadPart : ~0ull;
    // The first Windows 95 has only this call, for a drive's root, and caps
    // its figures near 2 GB: a figure of a gigabyte or more is plenty.
    DWORD sectors, bytes, clusters, total;
    auto old = LoadedFunction<FreeSpace>("KERNEL32", "GetDiskFreeSpaceA");
    if (!old || !old((dir.substr(0, 2) + "\\").c_str(), &sectors, &bytes, &clusters, &total)) return ~0ull;
    uint64_t left = uint64_t(clusters) * (sectors * bytes);
    return left >> 30 ? ~0ull : left;
}

String Kilobytes(uint64_t bytes) { return DecimalText(static_cast<int64_t>(bytes >> 10)) + " KB"; }

// What keeps the installation from the folder, in the user's words; empty
// when nothing does. The archive's own file is made and removed again.
String Shortcoming(const String& dir) {
    String probe = PathJoin(dir, product.archiveName);
    FileVar file;
    int result = FileOpen(file, probe, FileMode::create);
    if (result != 0) return "Setup cannot write to " + dir + ": " + IoErrorText(result) + ".";
    FileClose(file);
    DeleteFileA(probe.c_str());
    uint64_t free = FreeBytes(dir);
    if (free >= ctx.roomNeeded) return String();
    return product.productName + " needs " + Kilobytes(ctx.roomNeeded + 1023) + " free on the drive of " + dir +
           "; " + Kilobytes(free) + " are free.";
}

}  // namespace

bool CreateInstallDir(HWND page, const String& path) {
    // Already there, or not creatable: entering it below is the test that counts.
    bool made = CreateDirectoryA(path.c_str(), nullptr);
    if (!SetCurrentDirectoryA(path.c_str())) return false;
    String shortcoming = Shortcoming(path);
    if (shortcoming.empty()) {
        ctx.installDir = path;
        ctx.installDirConfirmed = true;
        return true;
    }
    // The current directory cannot be removed.
    SetCurrentDirectoryA(ctx.sourceDir.c_str());
    typedef BOOL(WINAPI * RemoveFolder)(LPCSTR);
    RemoveFolder remove = LoadedFunction<RemoveFolder>("KERNEL32", "RemoveDirectoryA");
    if (made && remove) remove(path.c_str());
    MessageBoxA(page, shortcoming.c_str(), product.productName.c_str(), MB_OK);
    return false;
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

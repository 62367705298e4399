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
// Byte indexes are safe here: a letter and a colon are single-byte characters.
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
    // No final part: a closing backslash, which a byte test could not tell from a trail byte.
    if (n > 3 && (!name || !*name)) --n;
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

// Windows drops the dots and blanks that end a folder's name when it makes
// the folder: the entry names the folder made, as every later path must. A
// last part of dots and blanks alone ("..") is left to the checks. Bytes are
// safe here: a trail byte is never a dot or a blank.
String WithoutClosingDots(const String& entry) {
    size_t part = entry.find_last_of("\\/:") + 1, end = entry.size();
    while (end > part && (entry[end - 1] == '.' || entry[end - 1] == ' ')) --end;
    return end > part ? entry.substr(0, end) : entry;
}

void AcceptDestination(HWND page) {
    char entry[255] = "";
    GetDlgItemTextA(page, IDC_DESTINATION_EDIT, entry, sizeof entry);
    ctx.installDir = WithoutClosingDots(entry);
    if (!WellFormed(ctx.installDir) || BlankEndsPart(ctx.installDir) || TooLong(ctx.installDir) ||
        SystemFolder(ctx.installDir)) {
        MessageBeep(MB_OK);  // the default sound
        return;
    }
    // A directory that cannot be made or entered leaves the page open without a word.
    if (CreateInstallDir(page, ctx.installDir)) EndDialog(page, 1);
}

// Kilobytes this user may still write on the current directory's drive, as
// many as can be when the system cannot tell; and the drive's cluster size in
// bytes, 0 when it cannot tell.
DWORD FreeKilobytes(DWORD& cluster) {
    typedef BOOL(WINAPI * FreeSpaceEx)(LPCSTR, ULARGE_INTEGER*, ULARGE_INTEGER*, ULARGE_INTEGER*);
    typedef BOOL(WINAPI * FreeSpace)(LPCSTR, DWORD*, DWORD*, DWORD*, DWORD*);
    ULARGE_INTEGER available;
    available.QuadPart = ~0ull;
    DWORD sectors, bytes, clusters, total;
    FreeSpace old = LoadedFunction<FreeSpace>("KERNEL32", "GetDiskFreeSpaceA");
    bool told = old && old(nullptr, &sectors, &bytes, &clusters, &total);
    cluster = told ? sectors * bytes : 0;
    if (auto ex = LoadedFunction<FreeSpaceEx>("KERNEL32", "GetDiskFreeSpaceExA"))
        ex(nullptr, &available, nullptr, nullptr);
    // The first Windows 95 has only the older call, which caps its figures
    // near 2 GB: a gigabyte or more, far more than three disks unpack to,
    // counts as plenty whichever call tells it.
    else if (told)
        available.QuadPart = uint64_t(clusters) * cluster;
    return available.QuadPart >> 30 ? ~0u : available.LowPart >> 10;
}

// Fills `text` with what keeps the installation from the current directory,
// `dir`, in the user's words; false when nothing does. The archive's own
// file is made there and removed again.
bool Shortcoming(const char* dir, char* text) {
    const char* probe = product.archiveName.c_str();
    // A file of the archive's name with anything in it is not this run's (a
    // run cut off is undone at start-up): it stays, and the folder is refused.
    // An empty one, as a probe cut off leaves, holds nothing to lose.
    HANDLE file = CreateFileA(probe, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE) {
        error = GetFileSize(file, nullptr) ? ERROR_FILE_EXISTS : 0;
        CloseHandle(file);
    }
    if (error) {
        wsprintfA(text, "Setup cannot write to %s: %s.", dir, IoErrorText(static_cast<int>(error)).c_str());
        return true;
    }
    DeleteFileA(probe);
    DWORD cluster, left = FreeKilobytes(cluster);
    // Help files go to the Windows directory's drive: this one when the letter is the same.
    DWORD need = RoomNeededKilobytes(ctx.runSizes, cluster, ((ctx.windowsDir[0] ^ dir[0]) & ~0x20) == 0);
    wsprintfA(text, "%s needs %lu KB free on the drive of %s; %lu KB are free.", product.productName.c_str(), need,
              dir, left);
    return left < need;
}

}  // namespace

bool CreateInstallDir(HWND page, const String& path) {
    const char* dir = path.c_str();
    // Already there, or not creatable: entering it below is the test that counts.
    bool made = CreateDirectoryA(dir, nullptr);
    if (!SetCurrentDirectoryA(dir)) return false;
    char shortcoming[512];
    if (!Shortcoming(dir, shortcoming)) {
        ctx.installDir = path;
        ctx.installDirConfirmed = true;
        ctx.installDirMade = made;
        return true;
    }
    // The current directory cannot be removed.
    SetCurrentDirectoryA(ctx.sourceDir.c_str());
    if (made) RemoveFolder(path);
    MessageBoxA(page, shortcoming, product.productName.c_str(), MB_OK);
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

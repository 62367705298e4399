// The installation the uninstaller removes: the folder it runs from, the
// Windows directory and family it runs on, and what it could not remove.
#pragma once

#include "runtime/text.h"

struct Installation {
    String dir;         // the uninstaller's own folder, without a closing backslash
    String ownPath;     // the running uninstaller
    String windowsDir;
    // Where the uninstall entry says it is installed, when that folder holds no
    // copy of the product any more and this one does: the user moved it here.
    String formerDir;
    bool ntFamily = false;
    String leftovers;   // one line per item that could not be removed, each ending in CR LF
    String kept;        // files with the product's names but not its content, one a line
    // Help files other installations use too, kept for them: a paragraph per
    // installation, its lines ending in CR LF, a blank line between two.
    String sharedWith;
    String waiting;     // what the next start of Windows will do, one sentence a line
    bool folderKept = false;  // it holds files the installation did not place
    bool removedAny = false;  // a file or a setting of the installation went
};

Installation FindInstallation();

// Without a closing backslash, except a drive's root ("C:\").
String FolderOf(const String& path);
// Whether `dir` holds the product's main executable, or the copy staged for it.
bool HoldsProduct(const String& dir);

// The item stays: the closing message lists it, with why.
void NoteLeftover(Installation& at, const String& what, const String& why = "it could not be changed");

// Whether two spellings name the same file: alike ignoring case, or in their 8.3 forms.
bool SamePath(const String& a, const String& b);
// Whether `name` is a stand-in the installer made for `listed`: the same base
// with ".$$$", ".$$1" ... ".$99" or ".100" ... ".999" (a substitute in the
// installation folder, or the Task Manager staged in the Windows directory).
bool StandInFor(const String& name, const String& listed);
// In a moved installation: whether `path` is the former folder's file `name`,
// or a copy of that file that is missing wherever it was said to be.
bool InFormerFolder(const Installation& at, const String& path, const String& name);
bool MissingCopy(const Installation& at, const String& path, const String& name);
// A command value's program: the text inside leading quotes, else the whole value, blanks trimmed.
String CommandProgram(const String& value);

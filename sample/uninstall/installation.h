// The installation the uninstaller removes: the folder it runs from, the
// Windows directory and family it runs on, and what it could not remove.
#pragma once

#include "runtime/text.h"

struct Installation {
    String dir;         // the uninstaller's own folder, without a closing backslash
    String ownPath;     // the running uninstaller
    String windowsDir;
    bool ntFamily = false;
    String leftovers;   // one line per item that stays, each ending in CR LF
    bool folderKept = false;  // it holds files the installation did not place
};

Installation FindInstallation();

// The item stays: the closing message lists it.
void NoteLeftover(Installation& at, const String& what);

// Whether two spellings name the same file: alike ignoring case, or in their 8.3 forms.
bool SamePath(const String& a, const String& b);
// A command value's program: the text inside leading quotes, else the whole value, blanks trimmed.
String CommandProgram(const String& value);

// Table names as bytes of the target's ANSI code page, and as the maker sees
// them: the file list and the command line are UTF-8; the table holds the
// bytes the installer creates the files under; nothing reaches the terminal raw.
#pragma once

#include <string>

namespace names {

constexpr unsigned utf8 = 65001;  // Windows' number for UTF-8: the maker's own text

// 932, 936, 949, 950 or 1252: the code pages --code-page takes.
bool IsTargetCodePage(unsigned codePage);

// Whole conversions between UTF-8 and `codePage`; false when a character has
// no counterpart or the bytes are not text of the source.
bool FromUtf8(const std::string& text, unsigned codePage, std::string& out);
bool ToUtf8(const std::string& bytes, unsigned codePage, std::string& out);

// `bytes` of `codePage` (a target's, or utf8) as wide characters, which the C
// library and Windows upper-case one at a time; and two such names compared as
// Windows' file systems compare them, each character in its upper case
// (ToolError where the C library has no table to take it from).
bool ToWide(const std::string& bytes, unsigned codePage, std::wstring& out);
bool SameIgnoringCase(const std::wstring& a, const std::wstring& b);

// Whether Windows takes two names for one file: each character's upper case
// in Unicode, not in ASCII alone, so an accented, Greek or full-width letter
// is one name in either case. Each name is in its own code page (utf8 for the
// maker's text); where either has none (0), they are plain ASCII names,
// compared by their bytes with ASCII letters folded. Bytes that are not text
// of their code page name no file the other does.
bool SameFileName(const std::string& a, unsigned codePageA, const std::string& b, unsigned codePageB);

// Printable ASCII as it stands, every other byte as \xNN (a backslash too, so
// nothing reads two ways). `utf8Text`: whole UTF-8 characters past the C1
// controls stay as they are.
std::string Escaped(const std::string& bytes, bool utf8Text = false);

// A name in `codePage` (0: unknown) as the terminal shows it: converted to
// UTF-8 where it converts, escaped where not.
std::string Shown(const std::string& bytes, unsigned codePage);

// Columns `text` (UTF-8, as Shown gives it) takes on a terminal.
std::size_t Columns(const std::string& text);

// Why the bytes of `name` in `codePage` are not an 8.3 name ("" when they
// are): 1 to 8 bytes, then a dot and 1 to 3 bytes or nothing; a double-byte
// character is never cut.
std::string ShortNameProblem(const std::string& name, unsigned codePage);

// The table's bytes for a name of the file list: plain ASCII as it stands;
// anything else only with a target code page, converted and checked as an
// 8.3 name there. Throws ToolError naming the entry otherwise.
std::string StoredName(const std::string& listName, unsigned codePage);

}  // namespace names

// Paths built into fixed buffers. Every builder writes the whole path or
// answers false with an empty text: a path cut to fit would name some other
// place. Narrow text is scanned by characters of the file APIs' code page, so
// the second byte of a double-byte character is never taken for a separator.
#pragma once

#include <windows.h>

// `folder`, a backslash unless it already ends with one (or is empty), then
// `name`.
bool JoinPath(char* out, int size, const char* folder, const char* name);

// Appends a backslash (unless `path` is empty or ends with one) and `name`,
// narrow or already wide.
bool AppendWideName(WCHAR* path, int size, const char* name);
bool AppendWideName(WCHAR* path, int size, const WCHAR* name);

// A backslash at the end of `path`, when there is room for it.
bool AppendWideSlash(WCHAR* path, int size);

// The last separator (backslash or slash) of `path`, or null.
const char* LastSeparator(const char* path);
const char* LastSeparator(const char* path, UINT codePage);
bool EndsWithSeparator(const char* path);

// The part of a path that starts at `from`, up to the first of the
// (single-byte) `separators` or the end, copied into `part`; answers where
// it ended (that separator or the closing 0), or null when it doesn't fit.
const char* NextPathPart(const char* from, const char* separators, char* part, int size);

// Cuts `path` at its last separator (narrow: backslash or slash; wide, a
// phone path the plug-in built: backslash). False, `path` whole, when it has
// none: a drive's root ("C:").
bool CutLastPart(char* path);
bool CutLastPart(WCHAR* path);

// Whether `text` starts with a drive's name: a letter, any case, and a colon.
bool StartsWithDrive(const char* text);
// A drive letter as the phone's drive numbers count it: a-z upper-cased,
// anything else as it is.
inline char UpperDriveLetter(char letter)
{
    return letter >= 'a' && letter <= 'z' ? (char)(letter - 'a' + 'A') : letter;
}

// The first character of `text` that is one of the (single-byte) `set`.
const char* FindAnyOf(const char* text, const char* set);
const char* FindAnyOf(const char* text, const char* set, UINT codePage);

// `text` for a box line: cut to `columns` by the host's own shortening,
// which keeps the end of a path. Display only, never a path to use.
void DisplayName(char* out, int size, const char* text, int columns);
void DisplayName(char* out, int size, const WCHAR* text, int columns);

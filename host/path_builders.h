// Paths built into fixed buffers. Every builder writes the whole path or
// answers false with an empty text: a path cut to fit would name some other
// place. Narrow text is scanned by characters of the file APIs' code page, so
// the second byte of a double-byte character is never taken for a separator.
#pragma once

#include <windows.h>

// `folder`, a backslash unless it already ends with one (or is empty), then
// `name`.
bool JoinPath(char* out, int size, const char* folder, const char* name);

// The phone path of an item: its folder, a backslash, its name, as the
// server takes it (UTF-16).
bool PhoneItemPath(WCHAR* out, int size, const char* folder, const char* name);

// Appends a backslash (unless `path` is empty or ends with one) and `name`,
// narrow or already wide.
bool AppendWideName(WCHAR* path, int size, const char* name);
bool AppendWideName(WCHAR* path, int size, const WCHAR* name);

// A backslash at the end of `path`, when there is room for it.
bool AppendWideSlash(WCHAR* path, int size);

// The last separator (backslash or slash) of `path`, or NULL.
const char* LastSeparator(const char* path);
const char* LastSeparator(const char* path, UINT codePage);
bool EndsWithSeparator(const char* path);

// The first character of `text` that is one of the (single-byte) `set`.
const char* FindAnyOf(const char* text, const char* set);
const char* FindAnyOf(const char* text, const char* set, UINT codePage);

// `text` for a box line: cut to `columns` by the host's own shortening,
// which keeps the end of a path. Display only, never a path to use.
void DisplayName(char* out, int size, const char* text, int columns);
void DisplayName(char* out, int size, const WCHAR* text, int columns);

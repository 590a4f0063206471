// Folders on the PC, by their UTF-16 paths.
#pragma once

#include <windows.h>

bool IsLocalDirectory(const WCHAR* path);
// Makes `path` and every missing folder above it; true when it exists as a
// folder afterwards.
bool MakeLocalDirectory(const WCHAR* path);

// False for a path whose last part Windows would not store as given: one
// the system takes for a device (nul.txt, CONIN$ ...), or a name ending in
// a dot or a space, which Windows drops.
bool IsStorableLocalPath(const WCHAR* path);

// The last part of a path.
const WCHAR* LastPathPart(const WCHAR* path);

// Removes `path` (a file, or a folder with everything in it); read-only
// marks don't stop it. True when nothing of it is left.
bool RemoveLocalTree(const WCHAR* path);

// A copy's destination on the PC, made ready before the first file, as the
// host's own copy does: several items (no mask) always go into a folder, so
// the destination gets its final backslash; the folder a destination names
// (ending with a separator) or holds (before a mask in its last part) is
// made with every missing folder above it. `destination` is a narrow path of
// `size` bytes. False when that folder can't be made.
bool PrepareLocalDestination(char* destination, int size, int count);

// The destination the host proposes, copied into `out` (`size` bytes) with
// its final backslash when there is room for it.
void TakeHostDestination(char* out, int size, const char* given);

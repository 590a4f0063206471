// Folders on the PC, by their UTF-16 paths.
#pragma once

#include <windows.h>

bool IsLocalDirectory(const WCHAR* path);
// Makes `path` and every missing folder above it; true when it exists as a
// folder afterwards.
bool MakeLocalDirectory(const WCHAR* path);

// False for a name Windows would not store as given: a device name (nul,
// con, aux, prn, com1-com9, lpt1-lpt9, in any case, with or without an
// extension), or a name ending in a dot or a space, which Windows drops.
bool IsStorableLocalName(const WCHAR* name);

// The last part of a path.
const WCHAR* LastPathPart(const WCHAR* path);

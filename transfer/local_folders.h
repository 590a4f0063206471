// Folders on the PC, by their UTF-16 paths.
#pragma once

#include <windows.h>

bool IsLocalDirectory(const WCHAR* path);
// Makes `path` and every missing folder above it; true when it exists as a
// folder afterwards.
bool MakeLocalDirectory(const WCHAR* path);

// Copies into fixed-size buffers that never write past `size` elements
// (terminator included), whatever the input's length.
#pragma once

#include <windows.h>

char* CopyBounded(char* dst, const char* src, int size);
char* AppendBounded(char* dst, const char* src, int size);
WCHAR* CopyBoundedWide(WCHAR* dst, const WCHAR* src, int size);
WCHAR* AppendBoundedWide(WCHAR* dst, const WCHAR* src, int size);

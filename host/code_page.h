// The one place that names the code page of narrow texts.
#pragma once

#include <windows.h>

// The code page the process's narrow file APIs use: OEM under FAR, which
// switches them to OEM at start-up and hands plug-ins OEM texts, ANSI under a
// host that leaves them alone. Every conversion between narrow text and
// UTF-16 uses it, so names on the panel, on the PC and on the phone agree.
UINT NarrowCodePage();

// Narrow to UTF-16 and back, whole string with its terminator. Each returns
// the number of units written, terminator included, or 0 when the text does
// not fit `size` or does not convert; on 0 the buffer holds an empty text.
int NarrowToWide(const char* text, WCHAR* out, int size);
int WideToNarrow(const WCHAR* text, char* out, int size);

// The host's standard functions that Kelp relies on, with the 1.70 host's
// exact behaviour, including its quirks: a plug-in tested against kinder
// versions would misbehave under the real host.
//
// All of them work on narrow OEM texts in place and take the host's calling
// convention, so their addresses go straight into the host's tables.
#pragma once

#include <windows.h>

namespace host_emu {

// ProcessName flags (the low byte of Flags, with PN_GENERATENAME, limits the
// source to its first N characters).
enum : DWORD {
    PN_CMPNAME = 0x0,
    PN_CMPNAMELIST = 0x1000,
    PN_GENERATENAME = 0x2000,
    PN_SKIPPATH = 0x100000,
};

// "..." plus the tail when too long; 3 or fewer columns keep the head only.
char* WINAPI TruncStr(char* str, int maxLength);
// Like TruncStr, but a drive or UNC root stays in front of the dots.
char* WINAPI TruncPathStr(char* str, int maxLength);
// Ends the path in the separator it mostly uses; TRUE for any non-NULL path.
BOOL WINAPI AddEndSlash(char* path);
// Just past the last separator (or a drive colon).
char* WINAPI PointToName(const char* path);
// Wildcard match (* ? [a-z]), case-insensitive in the OEM code page.
int WINAPI CmpName(const char* mask, const char* name, int skipPath);
// PN_GENERATENAME: param1 = source, param2 = mask in, name out (no size
// check, as in the host: give it at least 520 bytes).
// PN_CMPNAMELIST: param1 = comma-separated masks, param2 = name.
// PN_CMPNAME alone answers FALSE, as the 1.70 host does.
int WINAPI ProcessName(const char* param1, char* param2, DWORD flags);

}  // namespace host_emu

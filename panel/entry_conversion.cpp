// Turning the server's entries into the panel's items, and which names a
// panel may show at all.
#include "phone_listing.h"

#include "code_page.h"
#include "path_builders.h"

#include <cstring>

using namespace remote;

// Converts a field of at most `units` UTF-16 units into `out`. The server is
// outside input: a field without a terminator is not a name, and a name the
// narrow code page cannot spell exactly would name some other file on the PC,
// so both leave an empty text and report failure.
static bool ConvertName(const WCHAR* field, int units, char* out, int size)
{
    out[0] = 0;
    int len = 0;
    while (len < units && field[len]) ++len;
    if (len == units) return false;
    if (len == 0) return true;

    // UTF-8 spells every name; the platform refuses the exactness checks for it.
    BOOL usedDefault = FALSE;
    UINT codePage = NarrowCodePage();
    if (GetACP() == CP_UTF8 && codePage == CP_ACP) codePage = CP_UTF8;
    bool utf8 = codePage == CP_UTF8;
    int n = WideCharToMultiByte(codePage, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, field, len + 1, out,
                                size, NULL, utf8 ? NULL : &usedDefault);
    if (n == 0 || usedDefault) {
        out[0] = 0;
        return false;
    }
    return true;
}

int ConvertEntry(const RemoteEntry* entry, host::PluginPanelItem* item)
{
    host::FAR_FIND_DATA& data = item->FindData;
    memset(&data, 0, sizeof(data));

    bool nameOk = ConvertName(entry->name, 256, data.cFileName, sizeof(data.cFileName));
    bool shortOk = ConvertName(entry->shortName, 272, data.cAlternateFileName,
                               sizeof(data.cAlternateFileName));

    data.dwFileAttributes = entry->attributes;
    data.ftLastWriteTime = entry->lastWriteTime;
    data.nFileSizeLow = entry->size;
    return nameOk && shortOk ? 1 : 0;
}

bool IsPlainName(const char* name)
{
    if (!name[0]) return false;  // also a name that did not convert exactly
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return false;
    // By characters: a double-byte name whose second byte is 0x5C is no path.
    return FindAnyOf(name, "\\/:*?") == NULL;
}

bool IsDotName(const WCHAR* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

#include "path_builders.h"

#include "bounded_string.h"
#include "code_page.h"
#include "host_api.h"
#include "host_ui.h"

#include <cstring>
#include <cwchar>

const char* LastSeparator(const char* path, UINT codePage)
{
    const char* last = nullptr;
    for (const char* p = path; *p; p = CharNextExA((WORD)codePage, p, 0))
        if (*p == '\\' || *p == '/') last = p;
    return last;
}

const char* LastSeparator(const char* path) { return LastSeparator(path, NarrowCodePage()); }

const char* FindAnyOf(const char* text, const char* set, UINT codePage)
{
    for (const char* p = text; *p; p = CharNextExA((WORD)codePage, p, 0))
        if (strchr(set, *p)) return p;
    return nullptr;
}

const char* FindAnyOf(const char* text, const char* set)
{
    return FindAnyOf(text, set, NarrowCodePage());
}

const char* NextPathPart(const char* from, const char* separators, char* part, int size)
{
    const char* end = FindAnyOf(from, separators);
    if (!end) end = from + strlen(from);
    int length = (int)(end - from);
    if (length >= size) return nullptr;
    memcpy(part, from, length);
    part[length] = 0;
    return end;
}

bool CutLastPart(char* path)
{
    char* last = (char*)LastSeparator(path);
    if (!last) return false;
    *last = 0;
    return true;
}

bool CutLastPart(WCHAR* path)
{
    WCHAR* last = wcsrchr(path, L'\\');
    if (!last) return false;
    *last = 0;
    return true;
}

bool StartsWithDrive(const char* text)
{
    char c = text[0];
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && text[1] == ':';
}

bool EndsWithSeparator(const char* path)
{
    const char* last = LastSeparator(path);
    return last && last[1] == 0;
}

bool JoinPath(char* out, int size, const char* folder, const char* name)
{
    size_t folderLen = strlen(folder);
    bool slash = folderLen > 0 && !EndsWithSeparator(folder);
    size_t total = folderLen + (slash ? 1 : 0) + strlen(name);
    if (size <= 0 || total >= (size_t)size) {
        if (size > 0) out[0] = 0;
        return false;
    }
    memmove(out, folder, folderLen);
    if (slash) out[folderLen++] = '\\';
    strcpy(out + folderLen, name);
    return true;
}

bool AppendWideSlash(WCHAR* path, int size)
{
    int len = (int)wcslen(path);
    if (len > 0 && path[len - 1] == L'\\') return true;
    if (len + 1 >= size) {
        path[0] = 0;
        return false;
    }
    path[len] = L'\\';
    path[len + 1] = 0;
    return true;
}

bool AppendWideName(WCHAR* path, int size, const WCHAR* name)
{
    if (path[0] && !AppendWideSlash(path, size)) return false;
    int len = (int)wcslen(path);
    if (len + (int)wcslen(name) >= size) {
        path[0] = 0;
        return false;
    }
    wcscpy(path + len, name);
    return true;
}

bool AppendWideName(WCHAR* path, int size, const char* name)
{
    if (path[0] && !AppendWideSlash(path, size)) return false;
    int len = (int)wcslen(path);
    if (NarrowToWide(name, path + len, size - len) == 0) {
        path[0] = 0;
        return false;
    }
    return true;
}

void DisplayName(char* out, int size, const char* text, int columns)
{
    // The host shortens from the front, so the whole text must be in the
    // buffer first: cutting its tail would lose the part the host keeps.
    char whole[2 * host::NM];
    CopyBounded(whole, text, sizeof(whole));
    ShortenPath(whole, columns < size - 1 ? columns : size - 1);
    CopyBounded(out, whole, size);
}

void DisplayName(char* out, int size, const WCHAR* text, int columns)
{
    char narrow[2 * host::NM];
    if (!WideToNarrow(text, narrow, sizeof(narrow))) narrow[0] = 0;
    DisplayName(out, size, narrow, columns);
}

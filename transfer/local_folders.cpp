#include "local_folders.h"

#include "host_api.h"

#include <cwchar>
#include <cwctype>

bool IsLocalDirectory(const WCHAR* path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeLocalDirectory(const WCHAR* path)
{
    if (CreateDirectoryW(path, NULL)) return true;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) return IsLocalDirectory(path);
    if (error != ERROR_PATH_NOT_FOUND && error != ERROR_FILE_NOT_FOUND) return false;

    const WCHAR* lastSlash = wcsrchr(path, L'\\');
    if (!lastSlash) return false;
    WCHAR parent[host::NM];
    int length = (int)(lastSlash - path);
    if (length >= host::NM) return false;
    wmemcpy(parent, path, length);
    parent[length] = 0;
    if (!MakeLocalDirectory(parent)) return false;
    return CreateDirectoryW(path, NULL) != 0;
}

const WCHAR* LastPathPart(const WCHAR* path)
{
    const WCHAR* slash = wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}

bool IsStorableLocalName(const WCHAR* name)
{
    int len = (int)wcslen(name);
    if (len == 0 || name[len - 1] == L'.' || name[len - 1] == L' ') return false;

    // The device names hold before an extension too ("nul.txt").
    int stem = 0;
    while (stem < len && name[stem] != L'.') ++stem;
    WCHAR base[5] = {0};
    if (stem > 4) return true;
    for (int i = 0; i < stem; ++i) base[i] = (WCHAR)towlower(name[i]);

    static const WCHAR* const devices[] = {L"con", L"prn", L"aux", L"nul"};
    for (const WCHAR* device : devices)
        if (wcscmp(base, device) == 0) return false;
    if (stem == 4 && (wcsncmp(base, L"com", 3) == 0 || wcsncmp(base, L"lpt", 3) == 0) &&
        base[3] >= L'1' && base[3] <= L'9')
        return false;
    return true;
}

#include "local_folders.h"

#include "host_api.h"

#include <cwchar>

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

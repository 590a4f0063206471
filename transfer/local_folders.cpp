#include "local_folders.h"

#include "bounded_string.h"
#include "code_page.h"
#include "host_api.h"
#include "host_ui.h"
#include "path_builders.h"

#include <cstring>
#include <cwchar>

bool IsLocalDirectory(const WCHAR* path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeLocalDirectory(const WCHAR* path)
{
    if (CreateDirectoryW(path, nullptr)) return true;
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
    return CreateDirectoryW(path, nullptr) != 0;
}

const WCHAR* LastPathPart(const WCHAR* path)
{
    const WCHAR* slash = wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}

bool IsStorableLocalPath(const WCHAR* path)
{
    const WCHAR* name = LastPathPart(path);
    int len = (int)wcslen(name);
    if (len == 0 || name[len - 1] == L'.' || name[len - 1] == L' ') return false;

    // Windows knows which names are devices (nul.txt, "con .txt", CONIN$,
    // and whatever else the version in use adds): a device's full path is
    // \\.\NAME, whatever folder the name was put in.
    WCHAR full[host::NM];
    DWORD length = GetFullPathNameW(path, host::NM, full, nullptr);
    return !(length > 4 && length < host::NM && wcsncmp(full, L"\\\\.\\", 4) == 0);
}

bool RemoveLocalTree(const WCHAR* path)
{
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path) != 0;

    bool whole;
    {
        PcFolderSearch search(path);
        if (!search.Named()) return false;
        search.Open();
        whole = search.Each([](const WIN32_FIND_DATAW&, const WCHAR* child) {
            return child && RemoveLocalTree(child) ? (int)OpDone : (int)OpFailed;
        }) == OpDone;
    }  // the search is closed before its folder goes
    return RemoveDirectoryW(path) != 0 && whole;
}

bool PrepareLocalDestination(char* destination, int size, int count)
{
    // A destination too long to be a path is refused item by item later.
    if (strlen(destination) >= host::NM) return true;
    const char* last = LastSeparator(destination);
    bool masked = strpbrk(last ? last + 1 : destination, "*?") != nullptr;
    if (count > 1 && !masked && destination[0] && !EndsWithSeparator(destination)) {
        if ((int)strlen(destination) + 1 >= size) return true;
        strcat(destination, "\\");
        last = LastSeparator(destination);
    }
    if (!last || (!masked && last[1] != 0)) return true;

    char folder[host::NM];
    int length = (int)(last - destination);
    memcpy(folder, destination, length);
    folder[length] = 0;
    // A drive's root, "C:" or "\", is there or not; it can't be made.
    if (length == 0 || (length == 2 && folder[1] == ':')) return true;
    WCHAR wide[host::NM];
    return NarrowToWide(folder, wide, host::NM) != 0 && MakeLocalDirectory(wide);
}

void TakeHostDestination(char* out, int size, const char* given)
{
    CopyBounded(out, given, size);
    // The host's AddEndSlash writes past the text without a bound: it gets
    // the text only when there is room for one more character.
    if ((int)strlen(out) + 1 < size) AddFinalSlash(out);
}

using host::NM;

// How the narrow functions spell `wide`: best fits and the default
// character where the code page has no letter, as the host reads it.
static bool SpelledAs(const WCHAR* wide, const char* name)
{
    char spelled[NM];
    int n = WideCharToMultiByte(NarrowCodePage(), 0, wide, -1, spelled, sizeof(spelled), nullptr,
                                nullptr);
    return n > 0 && strcmp(spelled, name) == 0;
}

int FindLocalEntry(const WCHAR* folder, const char* name, const char* shortName, WCHAR* path,
                   WCHAR* realName)
{
    // The host's item holds both names as the narrow functions read them:
    // an entry must read as both (no short name, as the PC gives none to
    // a name that is one already, tells too).
    int matches = 0;
    WalkPcFolder(folder, [&](const WIN32_FIND_DATAW& found, const WCHAR*) {
        if (SpelledAs(found.cFileName, name) && SpelledAs(found.cAlternateFileName, shortName) &&
            ++matches == 1)
            CopyBoundedWide(realName, found.cFileName, NM);
        return (int)OpDone;
    });
    if (matches > 1) return LocalAmbiguous;
    // Nothing reads as the name: the name as given, which fails in the
    // copy's own words.
    if (!matches && !NarrowToWide(name, realName, NM)) return LocalNotFound;
    CopyBoundedWide(path, folder, NM);
    return AppendWideName(path, NM, realName) ? LocalFound : LocalNotFound;
}

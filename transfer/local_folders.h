// Folders on the PC, by their UTF-16 paths.
#pragma once

#include "bounded_string.h"
#include "host_api.h"
#include "op_result.h"
#include "path_builders.h"

#include <windows.h>

#include <cwchar>

// One search of a PC folder's entries, the one way every walk over a PC
// folder takes (the copy to the phone, the count before a copy, the removal
// of a tree), as WalkPhoneFolder is on the phone's side. It owns its search
// handle: opened by Open, closed once when the search ends.
class PcFolderSearch {
public:
    // `folder`: a PC path without its final backslash, which outlives the
    // search.
    explicit PcFolderSearch(const WCHAR* folder) : folder(folder), search(INVALID_HANDLE_VALUE)
    {
        CopyBoundedWide(pattern, folder, host::NM);
        named = AppendWideName(pattern, host::NM, L"*");
    }
    ~PcFolderSearch() { Close(); }
    PcFolderSearch(const PcFolderSearch&) = delete;
    PcFolderSearch& operator=(const PcFolderSearch&) = delete;

    // False when the folder's search pattern would not fit a host path: a
    // pattern cut to fit would search some other folder.
    bool Named() const { return named; }
    // Starts the search (again, after an earlier one); false when the folder
    // can't be searched.
    bool Open()
    {
        Close();
        broken = false;
        if (named) search = FindFirstFileW(pattern, &found);
        return search != INVALID_HANDLE_VALUE;
    }
    // After Each: the search failed before its end, so what the folder
    // holds past the entries handed out is unknown.
    bool Broken() const { return broken; }

    // Hands each entry of an open search but "." and ".." (a dot-file is a
    // file like any other) to visit(const WIN32_FIND_DATAW& found, const
    // WCHAR* path), `path` being its full path, or NULL when that would not
    // fit a host path, never cut to fit. The answers fold as FoldResult
    // does: OpCancelled at once when an entry's is, OpFailed when any
    // entry's is, else OpDone.
    template <class Visit>
    int Each(Visit visit)
    {
        int result = OpDone;
        for (bool more = search != INVALID_HANDLE_VALUE; more;) {
            if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) {
                WCHAR path[host::NM];
                CopyBoundedWide(path, folder, host::NM);
                bool fits = AppendWideName(path, host::NM, found.cFileName);
                if (!FoldResult(result, visit(found, fits ? path : (const WCHAR*)nullptr)))
                    return result;
            }
            more = FindNextFileW(search, &found) != 0;
            if (!more) broken = GetLastError() != ERROR_NO_MORE_FILES;
        }
        return result;
    }

private:
    void Close()
    {
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
        search = INVALID_HANDLE_VALUE;
    }

    const WCHAR* folder;
    WCHAR pattern[host::NM];
    bool named;
    bool broken = false;
    HANDLE search;
    WIN32_FIND_DATAW found;
};

// The walk over a PC folder in one call: OpFailed when it can't be
// searched, else the folded answers of Each.
template <class Visit>
int WalkPcFolder(const WCHAR* folder, Visit visit)
{
    PcFolderSearch search(folder);
    return search.Open() ? search.Each(visit) : OpFailed;
}

bool IsLocalDirectory(const WCHAR* path);

// The entry of the PC folder `folder` that the host names `name`. The host
// reads local names through the narrow functions, which spell a name the
// code page can't as a wildcard or a best fit that may be another entry's
// name ("Lodz.txt" for "Łódź.txt" beside a real "Lodz.txt"): found as the
// single entry whose name and short name the narrow functions spell as
// `name` and `shortName` (the short name tells such twins apart); two or
// more are LocalAmbiguous. Its full path goes to `path` and its real name
// to `realName` (NM units each).
enum { LocalFound, LocalNotFound, LocalAmbiguous };
int FindLocalEntry(const WCHAR* folder, const char* name, const char* shortName, WCHAR* path,
                   WCHAR* realName);
// Makes `path` and every missing folder above it; true when it exists as a
// folder afterwards.
bool MakeLocalDirectory(const WCHAR* path);

// False for a path whose last part Windows would not store as given: one
// the system takes for a device (nul.txt, CONIN$ ...), or a name ending in
// a dot or a space, which Windows drops.
bool IsStorableLocalPath(const WCHAR* path);

// The last part of a path.
const WCHAR* LastPathPart(const WCHAR* path);

// Removes `path` (a file, or a folder with everything in it); read-only
// marks don't stop it. True when nothing of it is left.
bool RemoveLocalTree(const WCHAR* path);

// A copy's destination on the PC, made ready before the first file, as the
// host's own copy does: several items (no mask) always go into a folder, so
// the destination gets its final backslash; the folder a destination names
// (ending with a separator) or holds (before a mask in its last part) is
// made with every missing folder above it. `destination` is a narrow path of
// `size` bytes. False when that folder can't be made.
bool PrepareLocalDestination(char* destination, int size, int count);

// The destination the host proposes, copied into `out` (`size` bytes) with
// its final backslash when there is room for it.
void TakeHostDestination(char* out, int size, const char* given);

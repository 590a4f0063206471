// The record of what Kelp's own operations changed in a phone folder.
#include "listing_changes.h"

#include "bounded_string.h"
#include "phone_listing.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

void ListingChanges::Begin(const char* in)
{
    if (folder[0] || count || unsure) {
        if (strcmp(folder, in) != 0) unsure = true;
        return;
    }
    CopyBounded(folder, in, sizeof(folder));
}

void ListingChanges::Note(Kind kind, const WCHAR* name)
{
    if (unsure) return;
    if (count == capacity) {
        int next = capacity < 16 ? 16 : capacity + capacity / 2;
        Change* grown = (Change*)realloc(list, (size_t)next * sizeof(Change));
        if (!grown) {
            unsure = true;
            return;
        }
        list = grown;
        capacity = next;
    }
    Change& c = list[count++];
    c.kind = kind;
    CopyBoundedWide(c.name, name, host::NM);
}

void ListingChanges::NoteLandedAt(const WCHAR* phonePath)
{
    WCHAR wideFolder[host::NM];
    if (!PhoneFolderPath(folder, wideFolder)) {
        unsure = true;
        return;
    }
    size_t length = wcslen(wideFolder);
    if (!length || wcslen(phonePath) <= length + 1 || phonePath[length] != L'\\') return;
    WCHAR head[host::NM];
    CopyBoundedWide(head, phonePath, (int)length + 1);
    // The drive letter and the folders in other letters are still this folder.
    if (!SameEntryName(head, wideFolder)) return;
    WCHAR child[host::NM];
    CopyBoundedWide(child, phonePath + length + 1, host::NM);
    if (WCHAR* rest = wcschr(child, L'\\')) *rest = 0;
    Note(Landed, child);
}

void ListingChanges::Append(const ListingChanges& from)
{
    Begin(from.folder);
    if (from.unsure) unsure = true;
    for (int i = 0; i < from.count && !unsure; ++i) Note(from.list[i].kind, from.list[i].name);
}

void ListingChanges::Drop()
{
    free(list);
    list = nullptr;
    count = capacity = 0;
    folder[0] = 0;
    unsure = ready = false;
    serial = 0;
}

// Upper case of a name; false when it does not map.
static bool UpperName(const WCHAR* name, WCHAR* out)
{
    int length = (int)wcslen(name);
    if (length >= host::NM) return false;
    if (!length) {
        out[0] = 0;
        return true;
    }
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, name, length, out, host::NM) != length)
        return false;
    out[length] = 0;
    return true;
}

bool SameEntryName(const WCHAR* a, const WCHAR* b)
{
    WCHAR upperA[host::NM], upperB[host::NM];
    if (!UpperName(a, upperA) || !UpperName(b, upperB)) return wcscmp(a, b) == 0;
    return wcscmp(upperA, upperB) == 0;
}

int EntryNameOrder(const WCHAR* a, const WCHAR* b)
{
    WCHAR upperA[host::NM], upperB[host::NM];
    int order = 0;
    if (UpperName(a, upperA) && UpperName(b, upperB)) order = wcscmp(upperA, upperB);
    return order ? order : wcscmp(a, b);
}

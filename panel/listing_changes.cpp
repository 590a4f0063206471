// The record of what Kelp's own operations changed in a phone folder.
#include "listing_changes.h"

#include "bounded_string.h"
#include "code_page.h"
#include "path_builders.h"

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

void ListingChanges::Note(Kind kind, const char* name)
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
    CopyBounded(c.name, name, sizeof(c.name));
}

void ListingChanges::NoteLandedAt(const char* phonePath)
{
    size_t length = strlen(folder);
    if (!length || strlen(phonePath) <= length + 1 || phonePath[length] != '\\') return;
    char head[host::NM];
    CopyBounded(head, phonePath, length + 1);
    // The drive letter and the folders in other letters are still this folder.
    if (!SameEntryName(head, folder)) return;
    char child[host::NM];
    CopyBounded(child, phonePath + length + 1, sizeof(child));
    // By characters: a double-byte name may hold a backslash's byte.
    if (char* rest = (char*)FindAnyOf(child, "\\")) *rest = 0;
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

// Upper case of a narrow name, in UTF-16; false when it does not convert.
static bool UpperName(const char* name, WCHAR* out)
{
    WCHAR wide[host::NM];
    if (!NarrowToWide(name, wide, host::NM)) return false;
    int length = (int)wcslen(wide);
    if (!length) {
        out[0] = 0;
        return true;
    }
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide, length, out, host::NM) != length)
        return false;
    out[length] = 0;
    return true;
}

bool SameEntryName(const char* a, const char* b)
{
    WCHAR upperA[host::NM], upperB[host::NM];
    if (!UpperName(a, upperA) || !UpperName(b, upperB)) return strcmp(a, b) == 0;
    return wcscmp(upperA, upperB) == 0;
}

int EntryNameOrder(const char* a, const char* b)
{
    WCHAR upperA[host::NM], upperB[host::NM];
    int order = 0;
    if (UpperName(a, upperA) && UpperName(b, upperB)) order = wcscmp(upperA, upperB);
    if (order) return order;
    WCHAR wideA[host::NM], wideB[host::NM];
    if (NarrowToWide(a, wideA, host::NM) && NarrowToWide(b, wideB, host::NM))
        return wcscmp(wideA, wideB);
    return strcmp(a, b);
}

// Where a SetDirectory argument leads. FAR hands a panel more than a child's
// name: ".." and "\" from the keys and from Find, the full folder it was
// once told as CurDir (a folder shortcut, the end of Find and of a folder's
// size count), and whatever the user typed after "cd".
#include "phone_panel.h"

#include "bounded_string.h"
#include "code_page.h"
#include "path_builders.h"

#include <cstring>

using namespace host;

int ResolveFolder(const char* current, const char* name, char* out)
{
    out[0] = 0;
    // An empty CurDir is the drive list: FAR restores it so after Find and
    // after a count begun there.
    if (!name[0]) return ResolveFull;
    if (strcmp(name, "\\") == 0) return ResolveDown;  // the drive list: one quick request

    const char* p = name;
    if (StartsWithDrive(name)) {
        // A drive's item ("C:"), or a full path as CurDir gives it
        // ("C:\x\y", a final backslash too), any case of the letter.
        out[0] = name[0];
        out[1] = ':';
        out[2] = 0;
        p = name + 2;
        if (*p == '\\') ++p;
        else if (*p) return ResolveRefused;
        if (!*p) return ResolveDown;
    } else {
        CopyBounded(out, current, NM);
    }

    // Leading ".." levels go up; after the first name, every part must be a
    // plain child's name: no "." or "..", wildcards, drive colons or empty
    // parts, which the server would take as they are.
    bool named = StartsWithDrive(name);
    bool up = false;
    for (;;) {
        char part[NM];
        const char* end = NextPathPart(p, "\\", part, NM);
        if (!end) return ResolveRefused;
        if (!named && strcmp(part, "..") == 0) {
            // ".." at the drive list stays there, as it always has.
            if (!CutLastPart(out)) out[0] = 0;  // from a drive's root: the drive list
            up = true;
        } else {
            char joined[NM];
            if (!IsPlainName(part) || !out[0] || !JoinPath(joined, NM, out, part))
                return ResolveRefused;
            CopyBounded(out, joined, NM);
            named = true;
        }
        if (!*end || !end[1]) break;  // a final backslash closes the path
        p = end + 1;
    }
    if (!named) return up ? ResolveUp : ResolveRefused;
    return StartsWithDrive(name) ? ResolveFull : ResolveDown;
}

// Two names one folder of the phone would take as the same entry.
static bool SameNameAnyCase(const WCHAR* a, const WCHAR* b)
{
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

// The phone's own name for the part `typed` of `parent` (the parts up to
// it, already spelled): from the listing FAR shows when `parent` is its
// folder, else from the entry the phone answers for. False, and nothing
// asked of a listing, when neither names it in a spelling the code page has.
static bool PhoneNameOf(PhoneLink& link, const OwnedListing& shown, const char* parent,
                        const char* typed, char* out)
{
    WCHAR wideTyped[NM];
    if (!NarrowToWide(typed, wideTyped, NM)) return false;
    if (shown.ready && strcmp(shown.folder, parent) == 0) {
        for (int i = 0; i < shown.count; ++i) {
            const char* name = shown.items[i].FindData.cFileName;
            WCHAR wideName[NM];
            if (!(shown.items[i].FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
                !NarrowToWide(name, wideName, NM) || !SameNameAnyCase(wideName, wideTyped))
                continue;
            CopyBounded(out, name, NM);
            return true;
        }
    }
    char path[NM];
    WCHAR widePath[NM];
    remote::RemoteEntry entry;
    if (!JoinPath(path, NM, parent, typed) || !PhoneFolderPath(path, widePath) ||
        link.EntryInfo(widePath, &entry) != remote::StatusOk ||
        !(entry.attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    entry.name[255] = 0;
    return SameNameAnyCase(entry.name, wideTyped) && WideToNarrow(entry.name, out, NM) > 0;
}

void SpellAsPhone(PhoneLink& link, const char* current, const OwnedListing& shown, char* folder)
{
    if (!StartsWithDrive(folder)) return;
    char spelled[NM];
    spelled[0] = UpperDriveLetter(folder[0]);
    spelled[1] = ':';
    spelled[2] = 0;
    // The parts the panel's folder has too, to the letter, are the phone's
    // already: they were spelled when the panel went there.
    size_t same = 0;
    if (current[0] && UpperDriveLetter(current[0]) == spelled[0]) {
        same = 1;
        while (folder[same] && folder[same] == current[same]) ++same;
    }
    const char* p = folder + 2;
    while (*p == '\\') {
        char typed[NM];
        const char* end = NextPathPart(p + 1, "\\", typed, NM);
        if (!end) return;
        bool known = (size_t)(end - folder) <= same && (current[end - folder] == 0 ||
                                                        current[end - folder] == '\\');
        char name[NM];
        if (known || !PhoneNameOf(link, shown, spelled, typed, name)) CopyBounded(name, typed, NM);
        char joined[NM];
        if (!JoinPath(joined, NM, spelled, name)) return;
        CopyBounded(spelled, joined, NM);
        p = end;
    }
    CopyBounded(folder, spelled, NM);
}

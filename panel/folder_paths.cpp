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

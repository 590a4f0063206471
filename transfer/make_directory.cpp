// Making a folder in the panel's folder on the phone. The host words its
// own failure box from the thread's last error, so every failure sets one.
#include "transfer.h"

#include "bounded_string.h"
#include "code_page.h"
#include "host_ui.h"
#include "message_ids.h"
#include "op_result.h"
#include "path_builders.h"
#include "phone_listing.h"
#include "transfer_prompts.h"

#include <cstring>
#include <cwchar>

using namespace host;
using namespace remote;

// Each part of `name` (parts apart by backslashes) names a child of its folder.
static bool IsFolderName(const char* name)
{
    char part[NM];
    for (const char* p = name;;) {
        const char* end = NextPathPart(p, "\\", part, (int)sizeof(part));
        if (!end || !IsPlainName(part)) return false;
        if (!*end) return true;
        p = end + 1;
    }
}

// What the host says for a failed DirMake, as the platform's error.
static DWORD MakeError(PhoneLink& link, LONG status, const WCHAR* path)
{
    if (link.Loss() != LinkServes) return ERROR_DEV_NOT_EXIST;
    switch (status) {
    case StatusExists: return ERROR_ALREADY_EXISTS;
    case StatusCancelled: return ERROR_CANCELLED;
    case StatusRefused: return ERROR_ACCESS_DENIED;
    case StatusNotAccepted: return ERROR_NOT_READY;
    case StatusNoServer: return ERROR_DEV_NOT_EXIST;
    }
    // The server's other codes say nothing we know: whether the parent is
    // there is worth one more question (a drive's root always is).
    WCHAR parent[NM];
    CopyBoundedWide(parent, path, NM);
    CutLastPart(parent);
    RemoteEntry entry;
    if (wcschr(parent, L'\\') && link.EntryInfo(parent, &entry) != StatusOk)
        return ERROR_PATH_NOT_FOUND;
    return ERROR_CANNOT_MAKE;
}

//   ╔═ Make folder ═════════════════════════════════════════════════════╗
//   ║ Create the folder                                                 ║
//   ║ name______________________________________________________________║
//   ╟───────────────────────────────────────────────────────────────────╢
//   ║                       [ Create ]   [ Cancel ]                     ║
//   ╚═══════════════════════════════════════════════════════════════════╝
int MakeDirectoryOnPhone(PhoneSide phone, ListingChanges& changes, char* name, int opMode)
{
    // The list of drives has no folder to make one in. Kelp says so itself
    // and answers -1, so the host adds no failure box of its own.
    if (!phone.folder[0]) {
        RefuseAtDriveList();
        return OpCancelled;
    }

    // The host hands in a buffer of one host path; the edited name is cut to it.
    // The first button ends where the copy dialog's does, whatever its
    // caption's length, so a long caption never runs into the second.
    int buttonLeft = 34 - (int)strlen(GetMsg(MMakeDirButton));
    InitDialogItem items[] = {
        {DI_DOUBLEBOX, 3, 1, 72, 6, 0, 0, 0, 0, (MsgItem)MMakeDirTitle, 0},
        {DI_TEXT, 5, 2, 70, 2, 0, 0, 0, 0, (MsgItem)MMakeDirLabel, 0},
        {DI_EDIT, 5, 3, 70, 3, 1, 0, 0, 0, TextItem(name), NM},
        {DI_TEXT, 3, 4, 0, 4, 0, 0, DIF_BOXCOLOR | DIF_SEPARATOR, 0, TextItem(""), 0},
        {DI_BUTTON, buttonLeft, 5, 30, 5, 0, 0, 0, 1, (MsgItem)MMakeDirButton, 0},
        {DI_BUTTON, 39, 5, 30, 5, 0, 0, 0, 0, (MsgItem)MCancelButton, 0},
    };
    if (RunDialog(-1, -1, 76, 8, nullptr, items, 6) != 4) return OpCancelled;

    if (!IsFolderName(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return OpFailed;
    }
    WCHAR path[NM];
    if (!PhoneFolderPath(phone.folder, path) || !AppendWideName(path, NM, name)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return OpFailed;
    }
    LONG status = phone.link.DirMake(path);
    // The name's first part is the child that is new (or holds what is).
    if (status == StatusOk) {
        changes.NoteLandedAt(path);
        return OpDone;
    }
    changes.Unsure();
    SetLastError(MakeError(phone.link, status, path));
    return OpFailed;
}

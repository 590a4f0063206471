// Making a folder in the panel's folder on the phone.
#include "transfer.h"

#include "host_ui.h"
#include "message_ids.h"
#include "op_result.h"
#include "path_builders.h"

#include <cstring>

using namespace host;
using namespace remote;

//   ╔═ Make folder ═════════════════════════════════════════════════════╗
//   ║ Create the folder                                                 ║
//   ║ name______________________________________________________________║
//   ╟───────────────────────────────────────────────────────────────────╢
//   ║                       [ Create ]   [ Cancel ]                     ║
//   ╚═══════════════════════════════════════════════════════════════════╝
int MakeDirectoryOnPhone(PhonePanel& panel, char* name, int opMode)
{
    // The host hands in a buffer of one host path; the edited name is cut to it.
    // The first button ends where the copy dialog's does, whatever its
    // caption's length, so a long caption never runs into the second.
    int buttonLeft = 34 - (int)strlen(GetMsg(MMakeDirButton));
    InitDialogItem items[] = {
        {DI_DOUBLEBOX, 3, 1, 72, 6, 0, 0, 0, 0, (MsgItem)MMakeDirTitle, 0},
        {DI_TEXT, 5, 2, 70, 2, 0, 0, 0, 0, (MsgItem)MMakeDirLabel, 0},
        {DI_EDIT, 5, 3, 70, 3, 1, 0, 0, 0, TextItem(name), NM},
        {DI_SINGLEBOX, 4, 4, 71, 4, 0, 0, 0, 0, TextItem(""), 0},
        {DI_BUTTON, buttonLeft, 5, 30, 5, 0, 0, 0, 1, (MsgItem)MMakeDirButton, 0},
        {DI_BUTTON, 39, 5, 30, 5, 0, 0, 0, 0, (MsgItem)MCancelButton, 0},
    };
    if (RunDialog(-1, -1, 76, 8, NULL, items, 6) != 4) return OpCancelled;

    WCHAR path[NM];
    if (!PhoneItemPath(path, NM, panel.curDir, name)) return OpFailed;
    return panel.link.DirMake(path) == StatusOk ? OpDone : OpFailed;
}

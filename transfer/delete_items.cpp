// Deleting files and whole trees on the phone, after confirmation. Deletion
// cannot be interrupted; a failure marks its item and the rest goes on.
#include "phone_panel.h"

#include "bounded_string.h"
#include "code_page.h"
#include "host_ui.h"
#include "message_ids.h"
#include "transfer_guards.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

using namespace host;
using namespace remote;

enum DirectoryAnswer { DeleteThis = 0, DeleteAll = 1, SkipThis = 2, StopHere = 3 };

//   ╔═ Delete ═════════════════════╗
//   ║    Do you wish to delete     ║
//   ║           name               ║
//   ║     [ Delete ] [ Cancel ]    ║
//   ╚══════════════════════════════╝
static bool ConfirmDelete(const char* itemLine, DWORD flags)
{
    const MsgItem lines[] = {MDeleteTitle, MDeleteQuestion, TextItem(itemLine), MDeleteButton,
                             MCancelButton};
    return ShowMessage(flags, NULL, lines, 5, 2) == 0;
}

//   ╔═ Delete folder ═════════════════════════╗
//   ║ The following folder will be deleted:   ║
//   ║ C:\path\folder                          ║
//   ║ [ Delete ] [ All ] [ Skip ] [ Stop ]    ║
//   ╚═════════════════════════════════════════╝
static int AskDeleteDirectory(const char* path)
{
    const MsgItem lines[] = {MDeleteDirTitle, MDeleteDirLabel, TextItem(path), MDeleteDir,
                             MDeleteDirAll,   MDeleteDirSkip,  MDeleteDirStop};
    return ShowMessage(FMSG_WARNING, NULL, lines, 7, 4);
}

int PhonePanel::DeleteFiles(PluginPanelItem* items, int count, int opMode)
{
    char itemLine[NM];
    if (count == 1) {
        CopyBounded(itemLine, items[0].FindData.cFileName, sizeof(itemLine));
        standardFunctions.TruncPathStr(itemLine, 40);
    } else {
        snprintf(itemLine, sizeof(itemLine), GetMsg(MDeleteItems), count);
    }
    if (!ConfirmDelete(itemLine, 0)) return 0;
    if (count > 1 && !ConfirmDelete(itemLine, FMSG_WARNING)) return 0;

    ScreenGuard screen(true);

    // A folder path cut short would name its parent's entries instead.
    if (strlen(curDir) + 1 >= NM) return 0;
    char base[NM];
    CopyBounded(base, curDir, sizeof(base));
    AppendBounded(base, "\\", sizeof(base));

    int result = 1;
    bool all = false;
    for (int i = 0; i < count; ++i) {
        const PluginPanelItem& item = items[i];
        if ((item.FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !all) {
            char path[NM];
            CopyBounded(path, base, sizeof(path));
            AppendBounded(path, item.FindData.cFileName, sizeof(path));
            int answer = AskDeleteDirectory(path);
            if (answer == SkipThis) continue;
            // Stop, and equally Esc or a box the host could not show: a
            // deletion nobody confirmed does not happen.
            if (answer != DeleteThis && answer != DeleteAll) break;
            if (answer == DeleteAll) all = true;
        }
        if (!DeleteItem(&item, base, opMode)) result = 0;
    }
    return result;
}

int PhonePanel::DeleteItem(const PluginPanelItem* item, const char* parentPath, int opMode)
{
    const char* name = item->FindData.cFileName;

    //   ╔═ Delete ═══════╗
    //   ║ Deleting       ║
    //   ║ name           ║
    //   ╚════════════════╝
    char shown[NM];
    CopyBounded(shown, name, sizeof(shown));
    standardFunctions.TruncPathStr(shown, 40);
    const MsgItem box[] = {MDeleteTitle, MDeleting, TextItem(shown)};
    ShowMessage(0, NULL, box, 3, 0);

    WCHAR path[NM];
    if (!NarrowToWide(parentPath, path, NM)) return 0;
    int len = (int)wcslen(path);
    if (!NarrowToWide(name, path + len, NM - len)) return 0;

    if (!(item->FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return link.FileDelete(path) == StatusOk ? 1 : 0;

    // Listed and removed with a trailing backslash; without room for it the
    // path would name something else.
    len = (int)wcslen(path);
    if (len + 1 >= NM) return 0;
    path[len] = L'\\';
    path[len + 1] = 0;

    int result = 1;
    {
        ListingGuard listing;
        if (!ListDirectory(&listing.items, &listing.count, OPM_FIND, path)) result = 0;
        for (int i = 0; i < listing.count; ++i) {
            const PluginPanelItem& entry = listing.items[i];
            if (entry.FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                char narrowPath[NM];
                if (!WideToNarrow(path, narrowPath, sizeof(narrowPath)) ||
                    !DeleteItem(&entry, narrowPath, opMode))
                    result = 0;
                continue;
            }
            WCHAR filePath[NM];
            CopyBoundedWide(filePath, path, NM);
            int used = (int)wcslen(filePath);
            if (!NarrowToWide(entry.FindData.cFileName, filePath + used, NM - used) ||
                link.FileDelete(filePath) != StatusOk)
                result = 0;
        }
    }

    // Removed even when something inside failed: the server refuses a folder
    // that still holds entries, and the item counts as failed either way.
    if (link.DirRemove(path) != StatusOk) result = 0;
    return result;
}

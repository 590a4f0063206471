// Copy and move from the PC into the panel's folder on the phone. It takes
// no heap memory: every level of a tree holds its paths, its search and its
// child item in fixed buffers.
#include "transfer.h"

#include "bounded_string.h"
#include "code_page.h"
#include "copy_run.h"
#include "host_ui.h"
#include "local_folders.h"
#include "message_ids.h"
#include "op_result.h"
#include "path_builders.h"
#include "phone_listing.h"
#include "transfer_guards.h"
#include "transfer_prompts.h"

#include <cstring>

using namespace host;
using namespace remote;

int PutFilesToPhone(PhoneSide phone, ListingChanges& changes, PluginPanelItem* items, int count,
                    int move, int opMode)
{
    phone.stop.Clear();
    if (!phone.folder[0]) {
        if (!(opMode & OPM_FIND)) RefuseAtDriveList();
        return OpFailed;
    }

    // Without the folder the names are relative to, nothing can be copied.
    WCHAR localDir[NM];
    DWORD length = GetCurrentDirectoryW(NM - 1, localDir);
    if (length == 0 || length >= NM - 1) return OpFailed;

    ScreenGuard screen(!(opMode & OPM_FIND));
    CopyRun run(phone, changes, move, opMode, ReadHostSettings());
    run.Start(move);
    if (run.CountTotal(items, count, localDir, 1) == OpCancelled) return OpCancelled;
    // The host hands back a file it had taken out for editing: it replaces
    // the phone's.
    if (opMode & OPM_EDIT) run.overwriteAll = true;

    int result = OpDone;
    for (int i = 0; i < count; ++i) {
        const FAR_FIND_DATA& data = items[i].FindData;
        WCHAR local[NM], name[NM], target[NM];
        int r = OpFailed;
        int found = FindLocalEntry(localDir, data.cFileName, data.cAlternateFileName, local, name);
        if (found == LocalAmbiguous) {
            // Never a file the user did not choose.
            r = run.AskError(data.cFileName, phone.folder, GetMsg(MNameNotDistinct), false);
            if (r != OpCancelled) r = OpFailed;
        } else if (found == LocalFound) {
            // The host's edited file comes back under the name it took out,
            // a stand-in's included: it goes to the entry it was.
            bool placed = opMode & OPM_EDIT
                              ? ShownEntryPath(phone.link, phone.folder, data.cFileName, target)
                              : PhoneFolderPath(phone.folder, target) &&
                                    AppendWideName(target, NM, name);
            if (placed) r = CopyItemToPhone(run, &items[i], local, target);
        }
        if (r == OpDone) changes.Note(ListingChanges::Landed, name);
        else changes.Unsure();
        if (!FoldResult(result, r)) break;
    }
    return result;
}

// The error question about a folder: the server's status, or a reason.
static int AskAboutFolder(CopyRun& run, PluginPanelItem* item, const WCHAR* phone, LONG status,
                          int reason)
{
    char shown[NM];
    WideToNarrow(phone, shown, sizeof(shown));
    if (reason) return run.AskError(item->FindData.cFileName, shown, GetMsg(reason));
    return run.AskError(item->FindData.cFileName, shown, status);
}

// A folder: searched on the PC first, then made on the phone (or filled,
// when it is there already), then its entries one by one; for a move,
// removed on the PC once emptied. A folder that can't be searched, or
// stops answering midway, fails: its copy would be missing what it holds.
static int CopyFolderToPhone(CopyRun& run, PluginPanelItem* item, const WCHAR* local,
                             const WCHAR* phone)
{
    PcFolderSearch search(local);
    if (!search.Named()) return OpFailed;
    // A retry starts again from the search.
    for (;;) {
        int answer;
        if (!search.Open()) {
            answer = AskAboutFolder(run, item, local, 0, MFolderNotRead);
        } else {
            LONG made = run.phone.link.DirMake(phone);
            if (run.phone.link.Loss() != LinkServes) return run.LinkEnded();
            if (made == StatusOk || made == StatusExists) break;
            answer = AskAboutFolder(run, item, phone, made, 0);
        }
        if (answer != OpDone) return answer;
    }

    PluginPanelItem child;
    memset(&child, 0, sizeof(child));
    int result = search.Each([&](const WIN32_FIND_DATAW& found, const WCHAR* childLocal) {
        child.FindData.dwFileAttributes = found.dwFileAttributes;
        child.FindData.ftLastWriteTime = found.ftLastWriteTime;
        child.FindData.nFileSizeLow = found.nFileSizeLow;
        child.FindData.nFileSizeHigh = found.nFileSizeHigh;
        WideToNarrow(found.cFileName, child.FindData.cFileName, sizeof(child.FindData.cFileName));
        WCHAR childPhone[NM];
        CopyBoundedWide(childPhone, phone, NM);
        if (!childLocal || !AppendWideName(childPhone, NM, found.cFileName)) return (int)OpFailed;
        return CopyItemToPhone(run, &child, childLocal, childPhone);
    });
    if (result == OpCancelled) return OpCancelled;
    if (search.Broken()) {
        // The rest of the folder is unknown: the item is not copied whole.
        int answer = AskAboutFolder(run, item, local, 0, MFolderNotRead);
        return answer == OpCancelled ? OpCancelled : OpFailed;
    }

    if (run.move && result == OpDone && !RemoveDirectoryW(local)) result = OpFailed;
    return result;
}

int CopyItemToPhone(CopyRun& run, PluginPanelItem* item, const WCHAR* local, const WCHAR* phone)
{
    SetProgressNames(run.progress, item->FindData.cFileName, phone);
    bool folder = (item->FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!run.Quiet() && folder) ShowFolderProgress(run.progress);
    if (!run.Quiet() && !folder) ShowProgress(run.progress, 0);
    // A stop asked for between two files ends the copy there, even when the
    // server sends no progress notices a box could answer.
    if (run.phone.stop.Asked()) return OpCancelled;

    if (folder)
        return CopyFolderToPhone(run, item, local, phone);
    return CopyOneFile(run, item, local, phone, CopyToPhone);
}

// Copy and move from the PC into the panel's folder on the phone. This
// direction asks nothing but the overwrite question: a failed file is
// skipped silently. It takes no heap memory: every level of a tree holds its
// paths, its search and its child item in fixed buffers.
#include "transfer.h"

#include "bounded_string.h"
#include "code_page.h"
#include "copy_run.h"
#include "host_ui.h"
#include "op_result.h"
#include "path_builders.h"
#include "transfer_guards.h"
#include "transfer_prompts.h"

#include <cstring>

using namespace host;
using namespace remote;

int PutFilesToPhone(PhonePanel& panel, PluginPanelItem* items, int count, int move, int opMode)
{
    panel.ClearFlags();

    // Without the folder the names are relative to, nothing can be copied.
    WCHAR localDir[NM];
    DWORD length = GetCurrentDirectoryW(NM - 1, localDir);
    if (length == 0 || length >= NM - 1) return OpFailed;

    ScreenGuard screen(!(opMode & OPM_FIND));
    CopyRun run = {panel, move, opMode, {}};
    BeginProgress(run.progress, panel, move);
    if (opMode & OPM_EDIT) panel.SetFlag(OpFlag::OverwriteAll);

    int result = OpDone;
    for (int i = 0; i < count; ++i) {
        const char* name = items[i].FindData.cFileName;
        WCHAR local[NM], phone[NM];
        CopyBoundedWide(local, localDir, NM);
        int r = OpFailed;
        if (AppendWideName(local, NM, name) && PhoneItemPath(phone, NM, panel.curDir, name))
            r = CopyItemToPhone(run, &items[i], local, phone);
        if (!FoldResult(result, r)) break;
    }
    return result;
}

// The file steps, apart from the folder steps so that the entry record for
// the overwrite prompt is not carried on every level of a deep tree.
static int CopyFileToPhone(CopyRun& run, PluginPanelItem* item, const WCHAR* local,
                           const WCHAR* phone)
{
    PhonePanel& panel = run.panel;
    PhoneLink& link = panel.link;
    LONG s = link.FileCopy(local, phone, CopyToPhone, run.Overwrite(), run.Progress(),
                           &run.progress);

    if (s == StatusExists) {
        if (panel.HasFlag(OpFlag::SkipAllExisting)) return OpFailed;
        RemoteEntry entry;
        if (link.EntryInfo(phone, &entry) != StatusOk) return OpFailed;
        PluginPanelItem existing;
        memset(&existing, 0, sizeof(existing));
        ConvertEntry(&entry, &existing);
        char phoneName[NM];
        WideToNarrow(phone, phoneName, sizeof(phoneName));
        int answer = AskOverwrite(panel, phoneName, item, &existing.FindData);
        if (answer != OpDone) return answer;
        s = link.FileCopy(local, phone, CopyToPhone, 1, run.Progress(), &run.progress);
    }
    if (s == StatusCancelled) return OpCancelled;
    if (s != StatusOk) return OpFailed;

    item->Flags &= ~PPIF_SELECTED;
    ++run.progress.doneCount;
    if (run.move) DeleteFileW(local);
    return OpDone;
}

// A folder: made on the phone (or filled, when it is there already), then
// its entries one by one; for a move, removed on the PC once emptied.
static int CopyFolderToPhone(CopyRun& run, const WCHAR* local, const WCHAR* phone)
{
    LONG made = run.panel.link.DirMake(phone);
    if (made != StatusOk && made != StatusExists) return OpFailed;

    // A pattern cut to fit would search some other folder.
    WCHAR pattern[NM];
    CopyBoundedWide(pattern, local, NM);
    if (!AppendWideName(pattern, NM, L"*.*")) return OpFailed;

    PluginPanelItem child;
    memset(&child, 0, sizeof(child));
    WIN32_FIND_DATAW found;
    int result = OpDone;
    {
        FindGuard search(FindFirstFileW(pattern, &found));
        for (bool more = search.IsOpen(); more; more = FindNextFileW(search.search, &found)) {
            // Dot names stay behind: "." and "..", and hidden dot-files alike.
            if (found.cFileName[0] == L'.') continue;
            child.FindData.dwFileAttributes = found.dwFileAttributes;
            child.FindData.ftLastWriteTime = found.ftLastWriteTime;
            child.FindData.nFileSizeLow = found.nFileSizeLow;
            child.FindData.nFileSizeHigh = found.nFileSizeHigh;
            WideToNarrow(found.cFileName, child.FindData.cFileName,
                         sizeof(child.FindData.cFileName));

            WCHAR childLocal[NM], childPhone[NM];
            CopyBoundedWide(childLocal, local, NM);
            CopyBoundedWide(childPhone, phone, NM);
            int r = OpFailed;
            if (AppendWideName(childLocal, NM, found.cFileName) &&
                AppendWideName(childPhone, NM, found.cFileName))
                r = CopyItemToPhone(run, &child, childLocal, childPhone);
            if (!FoldResult(result, r)) return result;
        }
    }

    if (run.move && result == OpDone && !RemoveDirectoryW(local)) result = OpFailed;
    return result;
}

int CopyItemToPhone(CopyRun& run, PluginPanelItem* item, const WCHAR* local,
                           const WCHAR* phone)
{
    SetProgressNames(run.progress, item->FindData.cFileName, phone);
    if (!run.Quiet()) ShowProgress(run.progress, 0);

    if (item->FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return CopyFolderToPhone(run, local, phone);
    return CopyFileToPhone(run, item, local, phone);
}

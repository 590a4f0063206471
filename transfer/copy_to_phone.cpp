// Copy and move from the PC into the panel's folder on the phone. This
// direction asks nothing but the overwrite question: a failed file is
// skipped silently. It takes no heap memory: every level of a tree holds its
// paths, its search and its child item in fixed buffers.
#include "phone_panel.h"

#include "bounded_string.h"
#include "code_page.h"
#include "host_ui.h"
#include "transfer_guards.h"

#include <cstring>

using namespace host;
using namespace remote;

// `folder`, a separator as the host adds one, then `name`; false when the
// whole does not fit a host path. The scratch buffer has room for both parts,
// so nothing is cut before the length is checked.
static bool JoinPath(char* out, const char* folder, const char* name)
{
    char joined[2 * NM + 2];
    CopyBounded(joined, folder, NM);
    standardFunctions.AddEndSlash(joined);
    AppendBounded(joined, name, sizeof(joined));
    if (strlen(joined) >= NM) return false;
    CopyBounded(out, joined, NM);
    return true;
}

int PhonePanel::PutFiles(PluginPanelItem* items, int count, int move, int opMode)
{
    InterlockedExchange(&opFlags, 0);

    // Without the folder the names are relative to, nothing can be copied.
    char localDir[NM];
    DWORD length = GetCurrentDirectoryA(NM - 1, localDir);
    if (length == 0 || length >= NM - 1) return 0;
    standardFunctions.AddEndSlash(localDir);

    ScreenGuard screen(!(opMode & OPM_FIND));
    char phoneDir[NM];
    CopyBounded(phoneDir, curDir, sizeof(phoneDir));
    AppendBounded(phoneDir, "\\", sizeof(phoneDir));

    BeginProgress(move);
    if (opMode & OPM_EDIT) SetFlag(OverwriteAll);

    int result = 1;
    for (int i = 0; i < count; ++i) {
        int r = CopyItemToPhone(&items[i], move, localDir, phoneDir, opMode);
        if (r == -1) return -1;
        if (r == 0) result = 0;
    }
    return result;
}

// The file steps, apart from the folder steps so that the entry record for
// the overwrite prompt is not carried on every level of a deep tree.
static int CopyFileToPhone(PhonePanel& panel, PluginPanelItem* item, int move,
                           const char* localPath, const char* phonePath, const WCHAR* wideLocal,
                           const WCHAR* widePhone, int opMode)
{
    PhoneLink& link = panel.link;
    ProgressFn progress = (opMode & OPM_FIND) ? NULL : CopyProgressCallback;
    LONG s = link.FileCopy(wideLocal, widePhone, CopyToPhone,
                           panel.HasFlag(OverwriteAll) ? 1 : 0, progress, &panel);

    if (s == StatusExists) {
        if (panel.HasFlag(SkipAllExisting)) return 0;
        RemoteEntry entry;
        if (link.EntryInfo(widePhone, &entry) != StatusOk) return 0;
        PluginPanelItem existing;
        memset(&existing, 0, sizeof(existing));
        ConvertEntry(&entry, &existing);
        int answer = panel.AskOverwrite(phonePath, item, &existing.FindData);
        if (answer == -1) return -1;
        if (answer != 1) return 0;
        s = link.FileCopy(wideLocal, widePhone, CopyToPhone, 1, progress, &panel);
    }
    if (s == StatusCancelled) return -1;
    if (s != StatusOk) return 0;

    item->Flags &= ~PPIF_SELECTED;
    ++panel.doneCount;
    if (move) DeleteFileA(localPath);
    return 1;
}

int PhonePanel::CopyItemToPhone(PluginPanelItem* item, int move, const char* localDir,
                                const char* phoneDir, int opMode)
{
    const char* name = item->FindData.cFileName;
    char phonePath[NM], localPath[NM];
    if (!JoinPath(phonePath, phoneDir, name) || !JoinPath(localPath, localDir, name)) return 0;

    WCHAR wideLocal[NM], widePhone[NM];
    if (!NarrowToWide(localPath, wideLocal, NM) || !NarrowToWide(phonePath, widePhone, NM))
        return 0;

    char nameText[NM], targetText[NM];
    CopyBounded(nameText, name, sizeof(nameText));
    standardFunctions.TruncPathStr(nameText, 40);
    CopyBounded(targetText, phonePath, sizeof(targetText));
    standardFunctions.TruncPathStr(targetText, 40);
    ProgressNamesGuard names(*this, nameText, targetText);

    if (!(opMode & OPM_FIND)) ShowProgress(0);

    if (!(item->FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return CopyFileToPhone(*this, item, move, localPath, phonePath, wideLocal, widePhone,
                               opMode);

    // A folder already on the phone is used and filled.
    LONG made = link.DirMake(widePhone);
    if (made != StatusOk && made != StatusExists) return 0;

    // A pattern cut to fit would search some other folder.
    if (strlen(localPath) + 4 >= NM) return 0;
    char pattern[NM];
    CopyBounded(pattern, localPath, sizeof(pattern));
    AppendBounded(pattern, "\\*.*", sizeof(pattern));

    PluginPanelItem child;
    memset(&child, 0, sizeof(child));
    WIN32_FIND_DATAA found;
    int result = 1;
    {
        FindGuard search(FindFirstFileA(pattern, &found));
        for (bool more = search.IsOpen(); more; more = FindNextFileA(search.search, &found)) {
            // Dot names stay behind: "." and "..", and hidden dot-files alike.
            if (found.cFileName[0] == '.') continue;
            memcpy(&child.FindData, &found, sizeof(child.FindData));
            int r = CopyItemToPhone(&child, move, localPath, phonePath, opMode);
            if (r == -1) return -1;
            if (r == 0) result = 0;
        }
    }

    if (move && result == 1 && !RemoveDirectoryA(localPath)) result = 0;
    return result;
}

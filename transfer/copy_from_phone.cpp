// Copy and move from the phone to the PC: single files and whole trees.
#include "transfer.h"

#include "bounded_string.h"
#include "code_page.h"
#include "copy_run.h"
#include "host_ui.h"
#include "local_folders.h"
#include "op_result.h"
#include "path_builders.h"
#include "transfer_guards.h"
#include "transfer_prompts.h"

#include <cstring>

using namespace host;
using namespace remote;

static bool LastComponentHasWildcards(const char* path)
{
    const char* last = LastSeparator(path);
    return strpbrk(last ? last + 1 : path, "*?") != NULL;
}

// Where an item named `name` lands for the destination the user gave: inside
// a folder destination under its own name, the destination itself, or the
// name a mask in the destination's last part makes of it.
static bool LocalTarget(const char* destination, const char* name, WCHAR* target)
{
    if (strlen(destination) >= NM) return false;  // cut to fit, it would name another place
    if (LastComponentHasWildcards(destination)) {
        // The host writes the generated name without a bound: the buffer has
        // room for mask and name.
        char generated[2 * NM];
        CopyBounded(generated, destination, sizeof(generated));
        if (standardFunctions.ProcessName(name, generated, PN_GENERATENAME))
            return strlen(generated) < NM && NarrowToWide(generated, target, NM) != 0;
    }
    if (!NarrowToWide(destination, target, NM)) return false;
    if (EndsWithSeparator(destination) || IsLocalDirectory(target))
        return AppendWideName(target, NM, name);
    return true;
}

int GetFilesFromPhone(PhonePanel& panel, PluginPanelItem* items, int count, int move,
                      char* destPath, int opMode)
{
    char destination[512];
    CopyBounded(destination, destPath, sizeof(destination));
    standardFunctions.AddEndSlash(destination);

    if (!(opMode & OPM_SILENT) && !AskCopyDestination(items, count, move, destination))
        return OpCancelled;
    // Typed without a PC root, the destination is a place on the phone.
    if (!(opMode & OPM_SILENT) && NamesPlaceOnPhone(destination))
        return CopyOnPhone(panel, items, count, move, destination, opMode);
    if (!PrepareLocalDestination(destination, sizeof(destination), count)) return OpFailed;

    ScreenGuard screen(!(opMode & OPM_FIND));
    panel.ClearFlags();
    CopyRun run = {panel, move, opMode, {}};
    BeginProgress(run.progress, panel, move);

    int result = OpDone;
    for (int i = 0; i < count; ++i) {
        const char* name = items[i].FindData.cFileName;
        WCHAR source[NM], target[NM];
        int r = OpFailed;
        if (IsPlainName(name) && PhoneItemPath(source, NM, panel.curDir, name) &&
            LocalTarget(destination, name, target))
            r = CopyItemFromPhone(run, &items[i], source, target);
        if (!FoldResult(result, r)) break;
    }
    return result;
}

// What the error prompt names as the destination: the folder the file was
// going into, as the user gave it, or the file itself when it lands under
// another name.
static void DestinationShown(char* out, int size, const WCHAR* target, const char* name)
{
    if (!WideToNarrow(target, out, size)) return;
    char* last = (char*)LastSeparator(out);
    if (last && strcmp(last + 1, name) == 0) last[1] = 0;
}

// The file steps: the copy, the overwrite question, the error question, and
// for a move the original's removal.
static int CopyFileFromPhone(CopyRun& run, PluginPanelItem* item, const WCHAR* source,
                             const WCHAR* target)
{
    PhonePanel& panel = run.panel;
    PhoneLink& link = panel.link;
    LONG s = link.FileCopy(source, target, CopyFromPhone, run.Overwrite(), run.Progress(),
                           &run.progress);

    if (s == StatusExists) {
        if (panel.HasFlag(OpFlag::SkipAllExisting)) return OpFailed;
        char targetName[NM];
        WIN32_FILE_ATTRIBUTE_DATA found;
        if (!WideToNarrow(target, targetName, sizeof(targetName)) ||
            !GetFileAttributesExW(target, GetFileExInfoStandard, &found))
            return OpFailed;
        FAR_FIND_DATA existing;
        memset(&existing, 0, sizeof(existing));
        existing.ftLastWriteTime = found.ftLastWriteTime;
        existing.nFileSizeLow = found.nFileSizeLow;
        int answer = AskOverwrite(panel, targetName, item, &existing);
        if (answer != OpDone) return answer;
        s = link.FileCopy(source, target, CopyFromPhone, 1, run.Progress(), &run.progress);
        if (s == StatusCancelled) return OpCancelled;
        if (s != StatusOk) return OpFailed;
    } else if (s == StatusCancelled) {
        return OpCancelled;
    } else {
        while (s != StatusOk) {
            if (panel.HasFlag(OpFlag::SkipAllErrors)) return OpFailed;
            char shown[NM];
            DestinationShown(shown, sizeof(shown), target, item->FindData.cFileName);
            int answer = AskOnCopyError(panel, item->FindData.cFileName, shown, run.move, s);
            if (answer == 0) return s == StatusCancelled ? OpCancelled : OpFailed;
            if (answer != 1) return OpCancelled;
            s = link.FileCopy(source, target, CopyFromPhone, run.Overwrite(), run.Progress(),
                              &run.progress);
        }
    }

    item->Flags &= ~PPIF_SELECTED;
    if (run.move) link.FileDelete(source);
    ++run.progress.doneCount;
    return OpDone;
}

// A folder: made on the PC (or merged into, as the other direction does),
// then filled item by item; for a move, removed on the phone once emptied.
static int CopyFolderFromPhone(CopyRun& run, const WCHAR* source, const WCHAR* target)
{
    if (!MakeLocalDirectory(target)) return OpFailed;

    WCHAR listed[NM];
    CopyBoundedWide(listed, source, NM);
    if (!AppendWideSlash(listed, NM)) return OpFailed;

    ListingGuard listing;
    if (!run.panel.ListDirectory(&listing.items, &listing.count, OPM_FIND, listed) ||
        listing.count == 0)
        return OpFailed;

    int result = OpDone;
    for (int i = 0; i < listing.count; ++i) {
        PluginPanelItem* child = &listing.items[i];
        WCHAR childSource[NM], childTarget[NM];
        CopyBoundedWide(childSource, source, NM);
        CopyBoundedWide(childTarget, target, NM);
        int r = OpFailed;
        if (AppendWideName(childSource, NM, child->FindData.cFileName) &&
            AppendWideName(childTarget, NM, child->FindData.cFileName))
            r = CopyItemFromPhone(run, child, childSource, childTarget);
        if (!FoldResult(result, r)) return result;
    }
    if (run.move && result == OpDone && run.panel.link.DirRemove(listed) != StatusOk)
        result = OpFailed;
    return result;
}

int CopyItemFromPhone(CopyRun& run, PluginPanelItem* item, const WCHAR* source,
                             const WCHAR* target)
{
    SetProgressNames(run.progress, item->FindData.cFileName, target);
    if (!run.Quiet()) ShowProgress(run.progress, 0);

    if (item->FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return CopyFolderFromPhone(run, source, target);
    return CopyFileFromPhone(run, item, source, target);
}

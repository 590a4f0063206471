// Copy and move from the phone to the PC: single files and whole trees.
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
#include "phone_walk.h"
#include "transfer_guards.h"
#include "transfer_prompts.h"

#include <cstring>

using namespace host;
using namespace remote;

static bool LastComponentHasWildcards(const char* path)
{
    const char* last = LastSeparator(path);
    return FindAnyOf(last ? last + 1 : path, "*?") != nullptr;
}

// Where an item lands for the destination the user gave: inside a folder
// destination under its real name `name`, the destination itself, or the
// name a mask in the destination's last part makes of the name it is shown
// by (the host's masks are narrow).
static bool LocalTarget(const char* destination, const PluginPanelItem& item, const WCHAR* name,
                        WCHAR* target)
{
    if (strlen(destination) >= NM) return false;  // cut to fit, it would name another place
    if (LastComponentHasWildcards(destination)) {
        // The host writes the generated name without a bound: the buffer has
        // room for mask and name.
        char generated[2 * NM];
        CopyBounded(generated, destination, sizeof(generated));
        if (GenerateName(item.FindData.cFileName, generated))
            return strlen(generated) < NM && NarrowToWide(generated, target, NM) != 0;
    }
    if (!NarrowToWide(destination, target, NM)) return false;
    if (EndsWithSeparator(destination) || IsLocalDirectory(target))
        return AppendWideName(target, NM, name);
    return true;
}

//   ╔═ Phone error ════════════════════════════╗
//   ║ The folder could not be made on the PC   ║
//   ║ Z:\...\afile\                            ║
//   ║                  [ Ok ]                  ║
//   ╚══════════════════════════════════════════╝
static void RefusePcDestination(const char* destination)
{
    char shown[NM];
    DisplayName(shown, sizeof(shown), destination, 60);
    const MsgItem lines[] = {MErrorTitle, MPcFolderNotMade, TextItem(shown)};
    ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, lines, 3, 0);
}

int GetFilesFromPhone(PhoneSide phone, CopiedFiles& copied, ListingChanges& changes,
                      PluginPanelItem* items, int count, int move, char* destPath, int opMode)
{
    if (!phone.folder[0]) {
        if (!QuietCopy(opMode)) RefuseAtDriveList();
        return OpFailed;
    }

    char destination[512];
    TakeHostDestination(destination, sizeof(destination), destPath);

    if (!(opMode & OPM_SILENT) && !AskCopyDestination(items, count, move, destination))
        return OpCancelled;
    // Typed without a PC root, the destination is a place on the phone.
    if (!(opMode & OPM_SILENT) && NamesPlaceOnPhone(destination))
        return CopyOnPhone(phone, changes, items, count, move, destination, opMode);
    if (!PrepareLocalDestination(destination, sizeof(destination), count)) {
        if (!QuietCopy(opMode)) RefusePcDestination(destination);
        return OpFailed;
    }

    ScreenGuard screen(!QuietCopy(opMode));
    phone.stop.Clear();
    CopyRun run(phone, changes, move, opMode, ReadHostSettings());
    // A plain silent copy is how the host starts a move into another
    // plug-in's panel: what it takes is kept for the delete that ends it.
    // Other copies leave that record alone (Find's come from another thread).
    if (!move && (opMode & ~OPM_TOPLEVEL) == OPM_SILENT) {
        copied.Start();
        run.copied = &copied;
    }
    run.Start(move);
    if (run.CountTotal(items, count, nullptr, 1) == OpCancelled) return OpCancelled;

    int result = OpDone;
    for (int i = 0; i < count; ++i) {
        // The PC file takes the entry's real name, not the panel's stand-in,
        // but in the host's folder for viewing and editing: the host opens
        // the file there by the item's name, and takes it back by it.
        WCHAR name[NM], source[NM], target[NM];
        int r = OpFailed;
        bool shownName = (opMode & (OPM_VIEW | OPM_EDIT)) != 0;
        if ((shownName ? NarrowToWide(items[i].FindData.cFileName, name, NM) != 0
                       : ItemRealName(items[i], name, NM)) &&
            IsPlainName(name) && PhoneEntryPath(source, phone.folder, items[i]) &&
            LocalTarget(destination, items[i], name, target))
            r = CopyItemFromPhone(run, &items[i], source, target);
        // A copy leaves the phone's folder as it was; a move takes the item.
        if (r != OpDone) changes.Unsure();
        else if (move) changes.Note(ListingChanges::Gone, name);
        if (!FoldResult(result, r)) break;
    }
    if (result != OpCancelled && !run.Quiet()) TellLeftBehind(run.left);
    return result;
}

// A folder: made on the PC (or merged into, as the other direction does),
// then filled item by item; for a move, removed on the phone once emptied.
// Whatever it can't hold is counted, so the operation says it once.
static int CopyFolderFromPhone(CopyRun& run, const WCHAR* source, const WCHAR* target)
{
    bool made = GetFileAttributesW(target) == INVALID_FILE_ATTRIBUTES;
    if (!MakeLocalDirectory(target)) {
        if (GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES)
            NoteLeftBehind(run.left, source, 1, LeftBehind::InTheWay);
        return OpFailed;
    }

    // The box counts the folder's entries as they come; Esc or a break
    // stops the listing between two hand-overs.
    auto reading = WatchListing([&](int entries) {
        if (run.Quiet()) return !run.phone.stop.Asked();
        return ShowReading(run.progress, entries) != 0;
    });
    int hidden = 0;
    int result = WalkPhoneFolder(run.phone.link, source, &hidden, &reading,
                                 [&](PluginPanelItem& child, const WCHAR* childSource) {
        WCHAR childTarget[NM], name[NM];
        CopyBoundedWide(childTarget, target, NM);
        if (!childSource || !ItemRealName(child, name, NM) ||
            !AppendWideName(childTarget, NM, name)) {
            NoteLeftBehind(run.left, source, 1, LeftBehind::TooLong);
            return (int)OpFailed;
        }
        return CopyItemFromPhone(run, &child, childSource, childTarget);
    });
    // A folder this copy made and nothing went into before it was stopped
    // goes again: a stop leaves nothing half made. (A folder that holds
    // anything is not removed.)
    if (result == OpCancelled && made) RemoveDirectoryW(target);
    if (hidden) {
        NoteLeftBehind(run.left, source, hidden, LeftBehind::Names);
        if (result == OpDone) result = OpFailed;
    }
    WCHAR removed[NM];
    if (run.move && result == OpDone &&
        (!FolderRequestPath(removed, source) || run.phone.link.DirRemove(removed) != StatusOk))
        result = OpFailed;
    return result;
}

// A name Windows would store as another (or as a device) is not copied: an
// overwrite would then replace a different file, and a move lose the
// original.
static int RefuseLocalName(CopyRun& run, PluginPanelItem* item, const WCHAR* target)
{
    char shown[NM];
    WideToNarrow(target, shown, sizeof(shown));
    // No retry can change a name: the question offers none.
    int answer = run.AskError(item->FindData.cFileName, shown, GetMsg(MNameNotForPc), false);
    return answer == OpCancelled ? OpCancelled : OpFailed;
}

int CopyItemFromPhone(CopyRun& run, PluginPanelItem* item, const WCHAR* source,
                      const WCHAR* target)
{
    SetProgressNames(run.progress, item->FindData.cFileName, target);
    bool folder = (item->FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!run.Quiet() && folder) ShowFolderProgress(run.progress);
    if (!run.Quiet() && !folder) ShowProgress(run.progress, 0);
    // A stop asked for between two files ends the copy there, even when the
    // server sends no progress notices a box could answer.
    if (run.phone.stop.Asked()) return OpCancelled;
    if (!IsStorableLocalPath(target)) return RefuseLocalName(run, item, target);

    if (folder)
        return CopyFolderFromPhone(run, source, target);
    return CopyOneFile(run, item, source, target, CopyFromPhone);
}

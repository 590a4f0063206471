// Deleting files and whole trees on the phone, after confirmation. A failure
// marks its item and the rest goes on; Esc or a break stops the delete
// between two requests, and what is deleted by then stays deleted.
#include "transfer.h"
#include "timings.h"

#include "bounded_string.h"
#include "code_page.h"
#include "host_settings.h"
#include "host_ui.h"
#include "message_ids.h"
#include "op_result.h"
#include "path_builders.h"
#include "phone_listing.h"
#include "phone_walk.h"
#include "transfer_guards.h"
#include "transfer_prompts.h"

#include <cstdio>
#include <cstring>

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
    return ShowMessage(flags, nullptr, lines, 5, 2) == 0;
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
    return ShowMessage(FMSG_WARNING, nullptr, lines, 7, 4);
}

// One delete: whether the user has asked it to stop (Esc, or a break), its
// answers that hold for the rest of it, and for the delete that ends a move,
// which files it may take.
struct DeleteRun {
    PhoneSide phone;
    // What the delete took from the phone side's folder.
    ListingChanges& changes;
    EscWatch keys;
    CopiedFiles* only;  // the move's copied files; null: everything selected
    int kept;           // files left for not being in `only`
    // Folders go without their question: "All" was answered, or the user
    // does not confirm them, or the host's silent delete asks nothing.
    bool allFolders;

    DeleteRun(PhoneSide side, ListingChanges& folderChanges, CopiedFiles* copied,
              bool foldersUnasked)
        : phone(side), changes(folderChanges), only(copied), kept(0), allFolders(foldersUnasked)
    {
    }
    bool Stopped()
    {
        if (keys.Typed(timing::DeleteKeyLookMs)) phone.stop.Ask();
        return phone.stop.Asked();
    }
    // A file is deleted when no copy restricts the delete, or when it is
    // still as the copy took it. `data` describes it now.
    bool MayDelete(const WCHAR* path, const FAR_FIND_DATA& data)
    {
        if (!only || only->Holds(path, data)) return true;
        ++kept;
        return false;
    }
    int DeleteOne(const WCHAR* path, const FAR_FIND_DATA& data)
    {
        if (!MayDelete(path, data)) return OpFailed;
        return phone.link.FileDelete(path) == StatusOk ? OpDone : OpFailed;
    }
};

//   ╔═ Delete ═════════════════════════════════════════════════════╗
//   ║ 2 entries changed or appeared after the copy and were kept   ║
//   ║                            [ OK ]                            ║
//   ╚══════════════════════════════════════════════════════════════╝
static void TellKept(int kept)
{
    char line[128];
    FormatCount(line, sizeof(line), MKeptSinceCopy, kept);
    const MsgItem lines[] = {MDeleteTitle, TextItem(line)};
    ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, lines, 2, 0);
}

//   ╔═ Delete ═══════════════════════════════════════════════════════════╗
//   ║ Nothing was deleted: no copy of these items came before this delete ║
//   ║                               [ OK ]                               ║
//   ╚════════════════════════════════════════════════════════════════════╝
static void TellNothingDeleted()
{
    const MsgItem lines[] = {MDeleteTitle, MNothingDeleted};
    ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, lines, 2, 0);
}

static int DeleteItem(DeleteRun& run, const PluginPanelItem* item, const WCHAR* path);

int DeleteFilesOnPhone(PhoneSide phone, CopiedFiles& copied, ListingChanges& changes,
                       PluginPanelItem* items, int count, int opMode)
{
    // A drive is no entry the server could delete.
    if (!phone.folder[0]) {
        RefuseAtDriveList();
        return OpFailed;
    }

    char itemLine[NM];
    if (count == 1)
        DisplayName(itemLine, sizeof(itemLine), items[0].FindData.cFileName, 40);
    else
        FormatCount(itemLine, sizeof(itemLine), MDeleteItems, count);
    // The host deletes the originals of a move into another panel silently:
    // the user confirmed the move, not a delete. Such a delete takes what
    // the move's silent copy took; with no such copy before it, it has
    // nothing to take, and asks nothing either (nobody confirmed it).
    bool ask = !(opMode & OPM_SILENT);
    if (!ask && !copied.Started()) {
        TellNothingDeleted();
        return OpFailed;
    }
    // The user's confirmations, followed as the host's own delete follows
    // them: with deletes unconfirmed a single file goes without a question,
    // while several items or a folder are still asked about once; the
    // second, warning question belongs to the delete confirmation alone.
    HostSettings settings = ReadHostSettings();
    bool folder = count > 0 && (items[0].FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    if (ask && (settings.ConfirmDelete() || count > 1 || folder) && !ConfirmDelete(itemLine, 0))
        return OpFailed;
    if (ask && settings.ConfirmDelete() && count > 1 && !ConfirmDelete(itemLine, FMSG_WARNING))
        return OpFailed;

    ScreenGuard screen(true);
    phone.stop.Clear();
    // The host's silent delete ends a move into another panel: it takes what
    // that move's copy took and found whole, not what the phone has now.
    DeleteRun run(phone, changes, ask ? nullptr : &copied, !ask || !settings.ConfirmNonEmptyFolder());

    int result = OpDone;
    for (int i = 0; i < count; ++i) {
        const PluginPanelItem& item = items[i];
        WCHAR path[NM];
        // A path cut short would name its parent's entries instead.
        if (!PhoneEntryPath(path, phone.folder, item)) {
            run.changes.Unsure();
            result = OpFailed;
            continue;
        }
        if ((item.FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !run.allFolders) {
            char shown[NM];
            WideToNarrow(path, shown, sizeof(shown));
            int answer = AskDeleteDirectory(shown);
            if (answer == SkipThis) continue;
            // Stop, and equally Esc or a box the host could not show: a
            // deletion nobody confirmed does not happen.
            if (answer != DeleteThis && answer != DeleteAll) {
                run.changes.Unsure();
                break;
            }
            if (answer == DeleteAll) run.allFolders = true;
        }
        int r = DeleteItem(run, &item, path);
        WCHAR real[NM];
        if (r == OpDone && ItemRealName(item, real, NM)) run.changes.Note(ListingChanges::Gone, real);
        else run.changes.Unsure();
        if (!FoldResult(result, r)) break;
    }
    if (run.kept) TellKept(run.kept);
    copied.Clear();
    // The host knows no cancelled delete; it reads the panel again either way.
    return result == OpDone ? OpDone : OpFailed;
}

// One item and, for a folder, everything in it. `path` is the item's own
// phone path.
static int DeleteItem(DeleteRun& run, const PluginPanelItem* item, const WCHAR* path)
{
    PhoneLink& link = run.phone.link;
    if (run.Stopped()) return OpCancelled;

    //   ╔═ Delete ═══════╗
    //   ║ Deleting       ║
    //   ║ name           ║
    //   ║ Reading the folder: 96 entries   (while a folder's listing comes)
    //   ╚════════════════╝
    char shown[NM];
    DisplayName(shown, sizeof(shown), item->FindData.cFileName, 40);
    MsgItem box[] = {MDeleteTitle, MDeleting, TextItem(shown), 0};
    ShowMessage(0, nullptr, box, 3, 0);

    if (!(item->FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // The host's item says how the file was listed; a restricted delete
        // asks how it is now.
        FAR_FIND_DATA now = item->FindData;
        if (run.only) {
            RemoteEntry entry;
            PluginPanelItem present;
            if (link.EntryInfo(path, &entry) != StatusOk) return OpFailed;
            ConvertEntry(&entry, &present);
            now = present.FindData;
        }
        return run.DeleteOne(path, now);
    }

    // Removed with a trailing backslash; without room for it the path would
    // name something else.
    WCHAR folder[NM];
    if (!FolderRequestPath(folder, path)) return OpFailed;

    // The box says how many of the folder's entries have come; Esc or a
    // break stops the listing between two hand-overs.
    char readLine[80];
    bool readShown = false;
    auto reading = WatchListing([&](int entries) {
        if (entries > 0) {
            FormatCount(readLine, sizeof(readLine), MReadingFolder, entries);
            box[3] = TextItem(readLine);
            ShowMessage(0, nullptr, box, 4, 0);
            readShown = true;
        }
        return !run.Stopped();
    });
    int keptBefore = run.kept;
    int result = WalkPhoneFolder(link, path, nullptr, &reading,
                                 [&](PluginPanelItem& entry, const WCHAR* entryPath) {
        if (readShown) {  // read: the box says what is deleted again
            ShowMessage(0, nullptr, box, 3, 0);
            readShown = false;
        }
        if (!entryPath) return (int)OpFailed;
        if (entry.FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return DeleteItem(run, &entry, entryPath);
        if (run.Stopped()) return (int)OpCancelled;
        return run.DeleteOne(entryPath, entry.FindData);
    });
    if (result == OpCancelled) return OpCancelled;

    // Removed even when something inside failed: the server refuses a folder
    // that still holds entries, and the item counts as failed either way.
    // A folder holding what a restricted delete kept is not asked for.
    if (keptBefore != run.kept) return OpFailed;
    if (link.DirRemove(folder) != StatusOk) result = OpFailed;
    return result;
}

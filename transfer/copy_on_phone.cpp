// Copy and move from one place on the phone to another (Shift+F6 renames,
// F5 to a phone folder). The server has no request that copies or renames on
// the phone, so each item travels through a private folder on the PC: out of
// the phone, back in under its new place, checked there, and for a move only
// then taken from where it was. Nothing leaves the phone before its copy is
// complete.
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

#include <cstdio>
#include <cstring>
#include <cwchar>

using namespace host;
using namespace remote;

bool NamesPlaceOnPhone(const char* d)
{
    bool drive = StartsWithDrive(d) && (d[2] == '\\' || d[2] == '/');
    bool server = (d[0] == '\\' || d[0] == '/') && (d[1] == '\\' || d[1] == '/');
    return !drive && !server;
}

namespace {

// The PC folder the items pass through, made for one operation and removed
// with everything in it on every way out.
struct TransitFolder {
    WCHAR path[NM];
    bool made = false;

    TransitFolder()
    {
        WCHAR base[NM];
        DWORD length = GetTempPathW(NM, base);
        if (length == 0 || length >= NM) return;
        for (int attempt = 0; attempt < 100 && !made; ++attempt) {
            WCHAR name[40];
            _snwprintf(name, 40, L"Kelp-%lx-%lx", GetCurrentProcessId(),
                       GetTickCount() + (DWORD)attempt);
            name[39] = 0;
            CopyBoundedWide(path, base, NM);
            if (!AppendWideName(path, NM, name)) return;
            made = CreateDirectoryW(path, nullptr) != 0;
            if (!made && GetLastError() != ERROR_ALREADY_EXISTS) return;
        }
    }
    ~TransitFolder()
    {
        if (made) RemoveLocalTree(path);
    }
    TransitFolder(const TransitFolder&) = delete;
    TransitFolder& operator=(const TransitFolder&) = delete;
};

// The phone path `typed` names, from the panel's folder `current` (a
// leading backslash: from its drive's root), into `out` without a final
// backslash. False for a part that names nothing on the phone, or ".."
// above the drive.
bool ResolvePhonePath(const char* current, const char* typed, char* out)
{
    CopyBounded(out, current, NM);
    const char* p = typed;
    if (*p == '\\' || *p == '/') {
        while (CutLastPart(out)) {}
        ++p;
    }
    for (;;) {
        char part[NM];
        const char* end = NextPathPart(p, "\\/", part, NM);
        if (!end) return false;
        if (strcmp(part, "..") == 0) {
            if (!CutLastPart(out)) return false;
        } else if (part[0] && strcmp(part, ".") != 0) {
            char joined[NM];
            if (!IsPlainName(part) || !JoinPath(joined, NM, out, part)) return false;
            CopyBounded(out, joined, NM);
        }
        if (!*end) return true;
        p = end + 1;
    }
}

bool IsPhoneFolder(PhoneLink& link, const char* path)
{
    if (!LastSeparator(path)) return true;  // a drive's root
    WCHAR wide[NM];
    RemoteEntry entry;
    return PhoneFolderPath(path, wide) && link.EntryInfo(wide, &entry) == StatusOk &&
           (entry.attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes the phone folder `path` and every missing folder above it.
bool MakePhoneFolders(PhoneLink& link, const char* path)
{
    if (IsPhoneFolder(link, path)) return true;
    char parent[NM];
    CopyBounded(parent, path, NM);
    WCHAR wide[NM];
    if (!CutLastPart(parent) || !MakePhoneFolders(link, parent) || !PhoneFolderPath(path, wide))
        return false;
    LONG made = link.DirMake(wide);
    return made == StatusOk || made == StatusExists;
}

// Whether everything of the phone item at `source` (as `now` describes it)
// is at `target` too, each file by its size. For a move each original file
// goes as soon as its copy is found, if it is still as this move took it
// out; a folder goes once it is empty.
int Settle(CopyRun& run, const WCHAR* source, const WCHAR* target, const FAR_FIND_DATA& now,
           int move)
{
    PhoneLink& link = run.phone.link;
    RemoteEntry found;
    if (link.EntryInfo(target, &found) != StatusOk) return OpFailed;
    bool folder = (now.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder != ((found.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) return OpFailed;
    if (!folder) {
        if (now.nFileSizeHigh != 0 || found.size != now.nFileSizeLow) return OpFailed;
        if (!move) return OpDone;
        // Written or changed on the phone since this move took it out: its
        // content never reached the target.
        if (!run.copied->Holds(source, now)) return OpFailed;
        return link.FileDelete(source) == StatusOk ? OpDone : OpFailed;
    }

    int result = WalkPhoneFolder(link, source, nullptr,
                                 [&](PluginPanelItem& child, const WCHAR* childSource) {
        WCHAR childTarget[NM], name[NM];
        CopyBoundedWide(childTarget, target, NM);
        if (!childSource || !ItemRealName(child, name, NM) ||
            !AppendWideName(childTarget, NM, name))
            return (int)OpFailed;
        // Each entry is settled, whatever became of the one before.
        return Settle(run, childSource, childTarget, child.FindData, move);
    });
    // The server refuses a folder that still holds what could not be listed.
    WCHAR removed[NM];
    if (move && result == OpDone &&
        (!FolderRequestPath(removed, source) || link.DirRemove(removed) != StatusOk))
        result = OpFailed;
    return result;
}

// One item: out, back in at `target`, checked, and for a move removed.
// An item whose copy is not found whole where it went adds to `unsettled`.
int CopyItemOnPhone(CopyRun& run, const WCHAR* transit, PluginPanelItem* item,
                    const WCHAR* source, const WCHAR* target, int move, int& unsettled)
{
    WCHAR local[NM];
    CopyBoundedWide(local, transit, NM);
    if (!AppendWideName(local, NM, item->FindData.cFileName)) return OpFailed;

    // The questions name where the item goes on the phone, not the PC
    // folder it passes through.
    WCHAR transitFolder[NM];
    char transitShown[NM], targetShown[NM];
    CopyBoundedWide(transitFolder, transit, NM);
    bool named = AppendWideSlash(transitFolder, NM) &&
                 WideToNarrow(transitFolder, transitShown, NM) &&
                 WideToNarrow(target, targetShown, NM);
    run.transit = named ? transitShown : nullptr;
    run.phoneTarget = named ? targetShown : nullptr;

    // The box counts the files that reach their new place, once each.
    PluginPanelItem copy = *item;
    int result;
    {
        UncountedLeg firstLeg(run.progress);
        result = CopyItemFromPhone(run, &copy, source, local);
    }
    if (result == OpDone) {
        copy = *item;
        result = CopyItemToPhone(run, &copy, local, target);
    }
    run.transit = run.phoneTarget = nullptr;
    RemoveLocalTree(local);
    if (result != OpDone) return result;

    // The item as it is now, not as the host listed it.
    RemoteEntry entry;
    PluginPanelItem present;
    if (run.phone.link.EntryInfo(source, &entry) != StatusOk) return OpFailed;
    ConvertEntry(&entry, &present);
    result = Settle(run, source, target, present.FindData, move);
    if (result == OpDone) item->Flags &= ~PPIF_SELECTED;
    else ++unsettled;
    return result;
}

// In the host's own words for a copy onto itself on its panels; the host
// then ends the whole operation, and so does the caller.
//   ╔═ Move ═════════════════╗
//   ║ Cannot copy the file   ║
//   ║ C:\docs\name           ║
//   ║ onto itself            ║
//   ║         [ Ok ]         ║
//   ╚════════════════════════╝
void RefuseOntoItself(const WCHAR* source, const PluginPanelItem& item, int move)
{
    char shown[NM];
    DisplayName(shown, sizeof(shown), source, 60);
    bool folder = (item.FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const MsgItem lines[] = {(MsgItem)(move ? MMoveTitle : MCopyTitle),
                             folder ? MCannotCopyFolder : MCannotCopyFile, TextItem(shown),
                             folder ? MFolderOntoItself : MOntoItself};
    ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, lines, 4, 0);
}

// `count` units of two phone paths name the same place: the phone, like
// the PC, tells names apart by the letters' Unicode upper case, not by A-Z
// alone ("Été" and "été", "Фото" and "фото" are one name).
bool SamePhonePlace(const WCHAR* a, const WCHAR* b, int count)
{
    WCHAR upperA[NM], upperB[NM];
    if (count <= 0) return count == 0;
    if (count > NM) return false;
    return LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, a, count, upperA, NM) == count &&
           LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, b, count, upperB, NM) == count &&
           wmemcmp(upperA, upperB, count) == 0;
}

// The target is the item itself, or inside it: the copy would go into what
// it copies, and a move would then delete its own copy.
bool OntoItself(const WCHAR* source, const WCHAR* target)
{
    int length = (int)wcslen(source);
    return (int)wcslen(target) >= length && SamePhonePlace(source, target, length) &&
           (target[length] == 0 || target[length] == L'\\');
}

// Source and target name the same place with the same final name: the
// item itself, whatever letters its folders are typed in.
bool SameFinalName(const WCHAR* source, const WCHAR* target)
{
    const WCHAR* a = wcsrchr(source, L'\\');
    const WCHAR* b = wcsrchr(target, L'\\');
    return wcscmp(a ? a + 1 : source, b ? b + 1 : target) == 0;
}

// A free name beside the phone item at `path`, into `out`: its own with
// ".kelp-N", taken only when the server says nothing has that name. A
// server that can't say (a refusal, an error) is asked about as a failure
// of the item, whose question names `shownTarget`.
int TemporaryPhoneName(CopyRun& run, const PluginPanelItem* item, const WCHAR* path,
                       const char* shownTarget, WCHAR* out)
{
    for (;;) {
        LONG s = StatusExists;  // every name taken
        for (int n = 1; n < 100; ++n) {
            WCHAR suffix[16];
            _snwprintf(suffix, 16, L".kelp-%d", n);
            suffix[15] = 0;
            CopyBoundedWide(out, path, NM);
            if ((int)(wcslen(out) + wcslen(suffix)) >= NM) return OpFailed;
            wcscat(out, suffix);
            RemoteEntry entry;
            s = run.phone.link.EntryInfo(out, &entry);
            if (s == StatusNotFound) return OpDone;
            if (s != StatusOk) break;
            s = StatusExists;
        }
        int answer = run.AskError(item->FindData.cFileName, shownTarget, s);
        if (answer != OpDone) return answer;
    }
}

// Whatever of a rename's item is at `temporary` goes back to `source`, its
// old name, after the rename stopped or failed between the two: nothing
// asked, nothing there overwritten (a file there whole lets its temporary
// copy go). OpDone once nothing is left at the temporary name.
int PutBack(CopyRun& run, const WCHAR* transit, const PluginPanelItem* item,
            const WCHAR* temporary, const WCHAR* source)
{
    PhoneLink& link = run.phone.link;
    RemoteEntry entry;
    LONG s = link.EntryInfo(temporary, &entry);
    if (s == StatusNotFound) return OpDone;  // the first leg made nothing
    if (s != StatusOk) return OpFailed;
    PluginPanelItem back;
    memset(&back, 0, sizeof(back));
    ConvertEntry(&entry, &back);
    CopyBounded(back.FindData.cFileName, item->FindData.cFileName, sizeof(back.FindData.cFileName));

    // The user's stop ended the rename; this puts it right (an Esc now
    // stops this too). The operation's answers are kept for its other items.
    run.phone.stop.Clear();
    int unsettled = 0, result;
    {
        SkipEverything quiet(run);
        UncountedLeg uncounted(run.progress);
        result = CopyItemOnPhone(run, transit, &back, temporary, source, 1, unsettled);
    }
    if (result == OpDone) return OpDone;  // settled, the temporary name gone
    if (result == OpCancelled || link.Loss() != LinkServes) return OpFailed;

    // A file skipped for being there already settles as one copied now.
    s = link.EntryInfo(temporary, &entry);
    if (s == StatusNotFound) return OpDone;
    if (s != StatusOk) return OpFailed;
    ConvertEntry(&entry, &back);
    return Settle(run, temporary, source, back.FindData, 1);
}

//   ╔═ Move ═══════════════════════════════════════════════════════╗
//   ║ The rename did not finish; the item is kept on the phone as  ║
//   ║ C:\docs\name.kelp-1                                          ║
//   ║                            [ Ok ]                            ║
//   ╚══════════════════════════════════════════════════════════════╝
void TellKeptAsTemporary(const WCHAR* temporary)
{
    char shown[NM];
    DisplayName(shown, sizeof(shown), temporary, 70);
    const MsgItem lines[] = {MMoveTitle, MKeptAsTemporary, TextItem(shown)};
    ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, lines, 3, 0);
}

// A rename that changes letter case alone. The phone takes both names for
// one, so the item can't go straight to its new name: that would copy it
// over itself and delete the only copy. It goes to a temporary name beside
// it first, checked there before the original goes, then to its new name,
// checked again before the temporary goes: at every moment one whole,
// checked copy is on the phone.
int RenameByCase(CopyRun& run, const WCHAR* transit, PluginPanelItem* item, const WCHAR* source,
                 const WCHAR* target, int& unsettled)
{
    char shownTarget[NM];
    WCHAR temporary[NM];
    if (!WideToNarrow(target, shownTarget, NM)) return OpFailed;
    int result = TemporaryPhoneName(run, item, source, shownTarget, temporary);
    if (result != OpDone) return result;
    FileCountMark counted(run.progress);
    int unsettledBefore = unsettled;
    DWORD flags = item->Flags;  // selected until the rename is whole
    result = CopyItemOnPhone(run, transit, item, source, temporary, 1, unsettled);
    item->Flags = flags;
    if (result == OpDone) {
        // The item as it now is, under its temporary name; the box and the
        // questions call it by the name the user knows.
        RemoteEntry entry;
        PluginPanelItem moved;
        memset(&moved, 0, sizeof(moved));
        result = OpFailed;
        if (run.phone.link.EntryInfo(temporary, &entry) == StatusOk) {
            ConvertEntry(&entry, &moved);
            CopyBounded(moved.FindData.cFileName, item->FindData.cFileName,
                        sizeof(moved.FindData.cFileName));
            counted.Restore();  // each file counts once
            result = CopyItemOnPhone(run, transit, &moved, temporary, target, 1, unsettled);
        }
        if (result == OpDone) {
            item->Flags &= ~PPIF_SELECTED;
            return OpDone;
        }
    }
    // Stopped or failed between the two names: the item goes back under its
    // old name, or one box says which name it has now.
    if (PutBack(run, transit, item, temporary, source) != OpDone) {
        unsettled = unsettledBefore;
        TellKeptAsTemporary(temporary);
    }
    return result;
}

//   ╔═ Copy ═══════════════════════════════════════╗
//   ║ The destination names no place on the phone  ║
//   ║ D:name                                       ║
//   ║                    [ Ok ]                    ║
//   ╚══════════════════════════════════════════════╝
// Why a copy on the phone did not start.
void RefuseDestination(int reason, const char* destination, int move)
{
    char shown[NM];
    DisplayName(shown, sizeof(shown), destination, 60);
    const MsgItem lines[] = {(MsgItem)(move ? MMoveTitle : MCopyTitle), (MsgItem)reason,
                             TextItem(shown)};
    ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, lines, 3, 0);
}

//   ╔═ Move ═══════════════════════════════════════════════════════╗
//   ║ 1 item was not found whole at its new place; what was not    ║
//   ║ stays where it was                                           ║
//   ║                            [ Ok ]                            ║
//   ╚══════════════════════════════════════════════════════════════╝
void TellUnsettled(int count, int move)
{
    char line[200];
    FormatCount(line, sizeof(line), MNotSettled, count);
    const MsgItem lines[] = {(MsgItem)(move ? MMoveTitle : MCopyTitle), TextItem(line)};
    ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, lines, 2, 0);
}

}  // namespace

int CopyOnPhone(PhoneSide phone, ListingChanges& changes, PluginPanelItem* items, int count,
                int move, const char* destination, int opMode)
{
    char place[NM];
    if (!ResolvePhonePath(phone.folder, destination, place)) {
        RefuseDestination(MNoPhonePlace, destination, move);
        return OpFailed;
    }

    ScreenGuard screen(!(opMode & OPM_FIND));
    phone.stop.Clear();
    // Both legs are plain copies: the only removal is Settle's, after the
    // check, of files the first leg took out.
    CopiedFiles takenOut;
    CopyRun run(phone, changes, 0, opMode, ReadHostSettings(), &takenOut);
    run.Start(move);
    if (run.CountTotal(items, count, nullptr, 2) == OpCancelled) return OpCancelled;

    // Several items, a final backslash or an existing folder: the items go
    // inside under their own names. The folder they go to is made when
    // missing, as the host's own copy makes it. One item typed as its own
    // name in other letters is that item, not a folder to go into.
    WCHAR widePlace[NM], first[NM];
    bool inside = count > 1 || EndsWithSeparator(destination) || IsPhoneFolder(phone.link, place);
    if (inside && count == 1 && !EndsWithSeparator(destination) &&
        PhoneFolderPath(place, widePlace) && PhoneEntryPath(first, phone.folder, items[0]) &&
        wcslen(first) == wcslen(widePlace) && SamePhonePlace(first, widePlace, (int)wcslen(first)))
        inside = false;
    // A typed name that is an entry's stand-in in the folder it names means
    // that entry: no entry of the folder has that name itself, and it is
    // the only name the user can see it by.
    char parent[NM];
    CopyBounded(parent, place, NM);
    bool placed = inside ? PhoneFolderPath(place, widePlace)
                         : CutLastPart(parent) &&
                               ShownEntryPath(phone.link, parent, place + strlen(parent) + 1,
                                              widePlace);

    // The PC's folder comes first: nothing is made on the phone for a copy
    // that could not pass.
    TransitFolder transit;
    if (!transit.made) {
        RefuseDestination(MTransitNotMade, destination, move);
        return OpFailed;
    }
    char folder[NM];
    CopyBounded(folder, place, NM);
    if ((!inside && !CutLastPart(folder)) || !MakePhoneFolders(phone.link, folder)) {
        changes.Unsure();  // some of the folders may be made
        RefuseDestination(MPhoneFolderNotMade, folder, move);
        return OpFailed;
    }

    int result = OpDone;
    int unsettled = 0;
    for (int i = 0; i < count; ++i) {
        WCHAR name[NM], source[NM], wideTarget[NM];
        CopyBoundedWide(wideTarget, widePlace, NM);
        int r = OpFailed;
        if (placed && ItemRealName(items[i], name, NM) && IsPlainName(name) &&
            PhoneEntryPath(source, phone.folder, items[i]) &&
            (!inside || AppendWideName(wideTarget, NM, name))) {
            if (!OntoItself(source, wideTarget)) {
                r = CopyItemOnPhone(run, transit.path, &items[i], source, wideTarget, move,
                                    unsettled);
            } else if (move && wcslen(source) == wcslen(wideTarget) &&
                       !SameFinalName(source, wideTarget)) {
                r = RenameByCase(run, transit.path, &items[i], source, wideTarget, unsettled);
            } else {
                RefuseOntoItself(source, items[i], move);
                r = OpCancelled;
            }
        }
        // The item landed where it went (in this folder or below it), and
        // for a move left.
        if (r != OpDone) {
            changes.Unsure();
        } else {
            if (move) changes.Note(ListingChanges::Gone, name);
            changes.NoteLandedAt(wideTarget);
        }
        if (!FoldResult(result, r)) break;
    }
    if (result != OpCancelled && !run.Quiet()) {
        TellLeftBehind(run.left);
        if (unsettled) TellUnsettled(unsettled, move);
    }
    return result;
}

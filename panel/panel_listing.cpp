// What the panel shows: the phone's drives at the top, a folder's entries
// below; and the drive figures for the information panel.
#include "phone_panel.h"

#include "bounded_string.h"
#include "code_page.h"
#include "host_ui.h"
#include "message_ids.h"
#include "path_builders.h"
#include "timings.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

using namespace host;
using namespace remote;

static void TellNotRead(const PhoneLink& link, const char* folder, LONG status);

// Closes an open enumeration on the phone once, on every way out.
struct DirHandleGuard {
    PhoneLink& link;
    DWORD handle;
    ~DirHandleGuard() { link.DirClose(handle); }
};

// The reads to hand over together so that a batch takes about
// ReadHandOverMs, from how long `reads` requests took (`elapsed` ms).
static int BatchFor(int reads, DWORD elapsed)
{
    if (elapsed == 0) return ReadBatchMax;
    DWORD fit = timing::ReadHandOverMs * (DWORD)(reads > 0 ? reads : 1) / elapsed;
    if (fit < 1) return 1;
    return fit < (DWORD)ReadBatchMax ? (int)fit : ReadBatchMax;
}

LONG ListPhoneFolder(PhoneLink& link, PluginPanelItem** items, int* count, const WCHAR* path,
                     int* leftOut, ListingWatch* watch)
{
    if (leftOut) *leftOut = 0;

    DWORD handle = 0;
    DWORD began = GetTickCount();
    LONG status = link.DirOpen(path, &handle);
    if (status != StatusOk) return status;
    DirHandleGuard close = {link, handle};
    // A batch of reads is one wait for the asking thread, which hears no stop
    // meanwhile: an operation's listing sizes its batches by the server's
    // pace, its opening first. A quick server still gets whole batches.
    int want = watch ? BatchFor(1, Elapsed(GetTickCount(), began)) : ReadBatchMax;
    int read = 0;
    int pending = 0;  // entries waiting for their stand-ins

    ListingItems list;
    RemoteEntry batch[ReadBatchMax];  // 34 KB, only while a folder is read
    do {
        if (watch && !watch->KeepReading(read)) return StatusCancelled;
        int got = 0;
        began = GetTickCount();
        status = link.DirReadSome(handle, batch, want, &got);
        read += got;
        if (watch) want = BatchFor(got, Elapsed(GetTickCount(), began));
        for (int i = 0; i < got; ++i) {
            // The phone is outside input: an entry that is no plain child of
            // this folder must reach neither the panel nor the recursive copy
            // and delete, or they would act outside the place the user chose.
            int added = AddListingEntry(list, &batch[i], &pending);
            if (added == EntryNoMemory) return StatusNotAccepted;
            if (added == EntryLeftOut && leftOut && !IsDotName(batch[i].name)) ++*leftOut;
        }
    } while (status == StatusOk);
    if (status != StatusEndOfList)
        return status;  // the server's, a stop, or a lost link (Loss() tells)
    if (pending && !NameStandIns(list)) return StatusNotAccepted;
    NoteStandInFolders(path, list);

    *count = list.count;
    *items = list.count ? list.Release() : nullptr;
    return StatusOk;
}

bool ShownEntryPath(PhoneLink& link, const char* folder, const char* name, WCHAR* out)
{
    WCHAR listed[NM];
    ListingItems listing;
    FolderNames names;
    int at = -1;
    if (ListingPath(folder, listed) &&
        ListPhoneFolder(link, &listing.items, &listing.count, listed) == StatusOk &&
        names.Build(listing))
        at = names.Find(name);
    if (at >= 0 && HasStandIn(listing.items[at]))
        return PhoneEntryPath(out, folder, listing.items[at]);
    return PhoneFolderPath(folder, out) && AppendWideName(out, NM, name);
}

// The drives as the panel's first level: one folder item per bit of the
// mask, A: to Z:. Bits above Z name no drive.
LONG PhonePanel::ListDrives(PluginPanelItem** items, int* count)
{
    DWORD mask = 0;
    LONG status = link.DriveList(&mask);
    if (status != StatusOk) return status;

    PluginPanelItem* list = (PluginPanelItem*)calloc(DriveLetters, sizeof(*list));
    if (!list) return StatusNotAccepted;
    int n = 0;
    for (int bit = 0; bit < DriveLetters; ++bit) {
        if (!(mask & (1u << bit))) continue;
        list[n].FindData.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
        list[n].FindData.cFileName[0] = (char)('A' + bit);
        list[n].FindData.cFileName[1] = ':';
        ++n;
    }
    *items = list;
    *count = n;
    return StatusOk;
}

LONG PhonePanel::ListFolder(const char* folder, PluginPanelItem** items, int* count,
                            int* leftOut, int opMode)
{
    // The box and Esc wherever FAR may draw: on its main thread, under
    // OPM_FIND too (a folder's size count, where FAR's own box says what
    // happens); never on Find's worker.
    bool attended = MayDraw();
    WaitRun run(waitBox, attended, (opMode & OPM_FIND) != 0);
    if (!folder[0]) {
        *leftOut = 0;
        return ListDrives(items, count);
    }
    WCHAR path[NM];
    if (!ListingPath(folder, path)) return StatusNotAccepted;  // nothing is asked
    // The box counts the entries as they come; it hears Esc itself.
    struct BoxCount : ListingWatch {
        WaitBox& box;
        explicit BoxCount(WaitBox& b) : box(b) {}
        bool KeepReading(int entries) override
        {
            box.RunRead(entries);
            return true;
        }
    } counted(waitBox);
    return ListPhoneFolder(link, items, count, path, leftOut, attended ? &counted : nullptr);
}

// The listing path ends with a backslash; without room for it the path
// would name another folder.
bool ListingPath(const char* folder, WCHAR* path)
{
    return PhoneFolderPath(folder, path) && AppendWideSlash(path, NM);
}

bool PhonePanel::FolderGone(const char* folder)
{
    if (!LastSeparator(folder)) {
        // A drive's root: gone when the phone no longer lists the drive.
        DWORD mask = 0;
        char letter = UpperDriveLetter(folder[0]);
        return letter >= 'A' && letter <= 'Z' && link.DriveList(&mask) == StatusOk &&
               !(mask & (1u << (letter - 'A')));
    }
    WCHAR path[NM];
    if (!PhoneFolderPath(folder, path)) return false;
    RemoteEntry entry;
    LONG status = link.EntryInfo(path, &entry);
    if (status == StatusOk) return !(entry.attributes & FILE_ATTRIBUTE_DIRECTORY);
    // A request refused, stopped or never answered says nothing of the folder.
    return status != StatusNotAccepted && status != StatusCancelled && !LinkLost();
}

int PhonePanel::GetFindData(PluginPanelItem** items, int* count, int opMode)
{
    // Find's and a size count's reads draw nothing, ask for no drive
    // figures and leave the panel FAR shows as it is.
    bool find = (opMode & OPM_FIND) != 0;
    // FAR reads what it shows (Ctrl+R, after an operation), whatever walk
    // did not come back, but for Find's "Go to": its read takes the walk's
    // folder. A walk's first read starts where FAR shows too.
    bool goTo = !find && place.GoingTo();
    if (find ? place.WalkOver() : !goTo) place.ComeBack();
    if (find && place.countBroken) return 0;
    Stop stop = place.enteringStopped;
    bool prepared = place.prepared.ready && strcmp(place.prepared.folder, place.curDir) == 0;
    bool fresh = InterlockedExchange(&freshAsked, 0) != 0;
    OwnedListing listing;
    bool patched = false;
    if (!find) {
        place.countBroken = false;
        // Right after Kelp's own operation in the folder FAR shows, that
        // folder is what FAR was shown with the operation's changes. Ctrl+R,
        // a "Go to", a stopped change of folder list as ever.
        patched = !goTo && !fresh && !stop && !prepared && PatchShown(listing);
        if (!patched) listing.Drop();
        // A copy from the phone leaves its figures as they were.
        if (!patched || place.changes.count) RefreshVolume();
        place.changes.Drop();
    }
    place.enteringStopped = NotStopped;
    bool backToShown = (place.upUnread || goTo) && !find;
    place.upUnread = false;
    if (patched) {
        // Made from `shown` with the changes: handed out below.
    } else if (prepared) {
        // The folder SetDirectory has just listed is handed out as it was read.
        listing.Take(place.prepared);
    } else if (stop && ShowAgain(stop, opMode, items, count)) {
        return 1;
    } else {
        place.prepared.Drop();
        // Otherwise the current folder is read again (Ctrl+R, a change made
        // by an operation). When the server says it is gone, FAR's own read
        // shows its nearest existing parent, as the host does on a local
        // disk; any other failure answers 0 and leaves the panel where it is,
        // but after a ".." or a "Go to": FAR would close the panel for it,
        // so the folder the user was in is shown again, as FAR showed it,
        // and the failure said.
        for (;; backToShown = false) {
            LONG status =
                ListFolder(place.curDir, &listing.items, &listing.count, &listing.leftOut, opMode);
            if (status == StatusOk) break;
            if (ShowAgain(HowStopped(status), opMode, items, count)) return 1;
            TellLinkLost(link, opMode);
            if (find && MayDraw()) place.countBroken = true;
            if (find || LinkLost()) return 0;
            if (status == StatusCancelled || !place.curDir[0] || !FolderGone(place.curDir)) {
                if (!backToShown || LinkLost()) return 0;
                char failed[NM];
                CopyBounded(failed, place.curDir, sizeof(failed));
                if (!HandOutShown(items, count)) return 0;
                TellNotRead(link, failed, status);
                return 1;
            }
            if (!CutLastPart(place.curDir)) place.curDir[0] = 0;  // a gone drive: the drive list
        }
        listing.ready = true;
        CopyBounded(listing.folder, place.curDir, sizeof(listing.folder));
    }

    *items = listing.items;
    *count = listing.count;
    if (find) {
        // Find's listings are its own until it hands them back.
        listing.items = nullptr;
    } else {
        leftOutNames = listing.leftOut;
        place.shown.Take(listing);
        place.findMoved = false;
    }
    return 1;
}

// Puts the server's record of a child into a listing of its folder: in place
// of the item of that name, else where the server would list it (in name
// order when the listing is in it, as a server that sorts gives it; at the
// end otherwise). False when the record makes no item the panel may show.
// The name of an item of a listing without stand-ins, in UTF-16: its real name.
static bool WideItemName(const PluginPanelItem& item, WCHAR* out)
{
    return NarrowToWide(item.FindData.cFileName, out, NM) != 0;
}

static bool AddEntryToListing(OwnedListing& listing, const RemoteEntry* entry)
{
    PluginPanelItem item;
    memset(&item, 0, sizeof(item));
    // An entry that would need a stand-in is no part of a patch: its
    // stand-in is chosen against the whole folder's names.
    if (!ConvertEntry(entry, &item) || !IsPlainName(item.FindData.cFileName)) return false;
    WCHAR name[NM], other[NM], previous[NM];
    if (!WideItemName(item, name)) return false;
    bool sorted = true;
    int at = listing.count;
    for (int i = 0; i < listing.count; ++i) {
        if (!WideItemName(listing.items[i], other)) return false;
        if (SameEntryName(other, name)) {
            listing.items[i] = item;
            return true;
        }
        if (i > 0 && EntryNameOrder(previous, other) > 0) sorted = false;
        if (at == listing.count && EntryNameOrder(other, name) > 0) at = i;
        CopyBoundedWide(previous, other, NM);
    }
    if (!sorted) at = listing.count;
    if (!listing.Add()) return false;
    memmove(&listing.items[at + 1], &listing.items[at],
            (size_t)(listing.count - at) * sizeof(PluginPanelItem));
    listing.items[at] = item;
    ++listing.count;
    return true;
}

bool PhonePanel::PatchShown(OwnedListing& listing)
{
    const ListingChanges& changes = place.changes;
    const OwnedListing& shown = place.shown;
    if (!place.ChangesHold() || !shown.ready || strcmp(changes.folder, shown.folder) != 0 ||
        strcmp(shown.folder, place.curDir) != 0 || !place.curDir[0])
        return false;

    // A folder with stand-ins is listed afresh: a change to its names may
    // change which stand-in an entry gets, which only the whole folder says.
    for (int i = 0; i < shown.count; ++i)
        if (HasStandIn(shown.items[i])) return false;
    for (int i = 0; i < shown.count; ++i) {
        PluginPanelItem* item = listing.Add();
        if (!item) return false;
        *item = shown.items[i];
        ++listing.count;
    }
    // In the order they happened: what went is taken out, and what landed
    // is asked for once, after everything (a name that went after landing
    // is not asked for).
    int asked = 0;
    const ListingChanges::Change** ask =
        (const ListingChanges::Change**)malloc((size_t)(changes.count + 1) * sizeof(*ask));
    if (!ask) return false;
    struct Freed {
        void* block;
        ~Freed() { free(block); }
    } freed = {(void*)ask};
    for (int c = 0; c < changes.count; ++c) {
        const ListingChanges::Change& change = changes.list[c];
        int pending = -1;
        for (int a = 0; a < asked && pending < 0; ++a)
            if (SameEntryName(ask[a]->name, change.name)) pending = a;
        if (change.kind == ListingChanges::Landed) {
            if (pending < 0) ask[asked++] = &change;
            continue;
        }
        if (pending >= 0) ask[pending] = ask[--asked];
        for (int i = 0; i < listing.count; ++i) {
            WCHAR name[NM];
            if (!WideItemName(listing.items[i], name)) return false;
            if (SameEntryName(name, change.name)) {
                memmove(&listing.items[i], &listing.items[i + 1],
                        (size_t)(listing.count - i - 1) * sizeof(PluginPanelItem));
                --listing.count;
                break;
            }
        }
    }
    // One request a landed item against two for each entry of a listing:
    // when more than a quarter of the folder landed, a listing is as cheap
    // and says everything.
    if (asked * 4 > listing.count + asked) return false;
    WCHAR path[NM];
    if (!ListingPath(place.curDir, path)) return false;
    WaitRun run(waitBox, MayDraw(), false);
    for (int a = 0; a < asked; ++a) {
        RemoteEntry entry;
        WCHAR entryPath[NM];
        if (!CopyBoundedWide(entryPath, path, NM) || !AppendWideName(entryPath, NM, ask[a]->name) ||
            link.EntryInfo(entryPath, &entry) != StatusOk || !AddEntryToListing(listing, &entry))
            return false;
    }
    listing.leftOut = shown.leftOut;
    listing.ready = true;
    CopyBounded(listing.folder, place.curDir, sizeof(listing.folder));
    return true;
}

PhonePanel::Stop PhonePanel::HowStopped(LONG status) const
{
    if (link.Loss() == LinkAbandoned) return LinkGivenUp;
    if (link.Loss() == LinkServes && status == StatusCancelled) return StoppedByUser;
    return NotStopped;
}

// After a read the user stopped, or a wait given up on, now or in the
// operation before, the panel shows what it showed: the host throws out a
// panel whose read fails. A link given up on gets that once; the read after
// it closes the panel, with a message.
bool PhonePanel::ShowAgain(Stop stop, int opMode, PluginPanelItem** items, int* count)
{
    if ((opMode & OPM_FIND) || !place.shown.ready || stop == NotStopped) return false;
    if (stop == LinkGivenUp) {
        if (place.shownAfterStop) return false;
        place.shownAfterStop = true;
    }
    return HandOutShown(items, count);
}

bool PhonePanel::HandOutShown(PluginPanelItem** items, int* count)
{
    if (!place.shown.ready) return false;
    place.BackToShown();
    leftOutNames = place.shown.leftOut;
    *items = place.shown.items;
    *count = place.shown.count;
    return true;
}

//   ╔═ Phone error ═════════════════════════════════╗
//   ║ The folder could not be read                  ║
//   ║ C:\top                                        ║
//   ║ The phone server did not accept the request   ║
//   ║                    [ Ok ]                     ║
//   ╚═══════════════════════════════════════════════╝
static void TellNotRead(const PhoneLink& link, const char* folder, LONG status)
{
    if (!MayDraw()) return;
    char shown[NM], text[128];
    // The list of drives has no path of its own; "\\" leads there.
    DisplayName(shown, sizeof(shown), folder[0] ? folder : "\\", 60);
    OutcomeText(link, status, text, sizeof(text));
    const MsgItem lines[] = {MErrorTitle, MFolderNotRead, TextItem(shown), TextItem(text)};
    ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, lines, 4, 0);
}

//   ╔═ Phone error ═════════════════════════════════╗
//   ║ The folder was not found on the phone         ║
//   ║ C:\nosuch                                     ║
//   ║                    [ Ok ]                     ║
//   ╚═══════════════════════════════════════════════╝
void PhonePanel::TellNotFound(const char* folder)
{
    if (!MayDraw()) return;
    char shown[NM];
    DisplayName(shown, sizeof(shown), folder[0] ? folder : "\\", 60);
    const MsgItem lines[] = {MErrorTitle, MFolderNotFound, TextItem(shown)};
    ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, lines, 3, 0);
}

// The array the panel keeps is freed when it is replaced, not here.
void PhonePanel::FreeFindData(PluginPanelItem* items, int count)
{
    if (items != place.shown.items) FreeListing(items, count);
}

void PhonePanel::RefreshVolume()
{
    if (!place.curDir[0]) {
        volume.validMark = 0;  // FAR's read of the drive list
    } else {
        char letter = UpperDriveLetter(place.curDir[0]);
        // A lost link keeps the figures the panel showed until it closes.
        LONG status = link.VolumeInfo(letter - 'A', &volume);
        if (status != StatusOk && !LinkLost()) volume.validMark = 0;
    }

    // Keep an information panel on the other side in step with the record.
    if (!MayDraw()) return;
    PanelInfo other;
    memset(&other, 0, sizeof(other));
    if (HostControl(INVALID_HANDLE_VALUE, FCTL_GETANOTHERPANELSHORTINFO, &other) &&
        other.PanelType == PTYPE_INFOPANEL)
        HostControl(INVALID_HANDLE_VALUE, FCTL_UPDATEANOTHERPANEL, (void*)1);
}

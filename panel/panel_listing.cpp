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
                     int* hidden, int* unshown, ListingWatch* watch)
{
    if (hidden) *hidden = 0;
    if (unshown) *unshown = 0;

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
            PluginPanelItem* item = list.Add();
            if (!item) return StatusNotAccepted;  // no memory for the listing
            // The phone is outside input: an entry that is not a plain child
            // of this folder (or whose name did not convert exactly) must
            // reach neither the panel nor the recursive copy and delete, or
            // they would act outside the place the user chose. "." and ".."
            // name no entry.
            int converted = ConvertEntry(&batch[i], item);
            if (IsPlainName(item->FindData.cFileName)) ++list.count;
            else if (hidden && !IsDotName(batch[i].name)) ++*hidden;
            if (unshown && !converted && !item->FindData.cFileName[0]) ++*unshown;
        }
    } while (status == StatusOk);
    if (status != StatusEndOfList)
        return status;  // the server's, a stop, or a lost link (Loss() tells)

    *count = list.count;
    *items = list.count ? list.Release() : NULL;
    return StatusOk;
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
                            int* unshown, int opMode)
{
    // The box and Esc wherever FAR may draw: on its main thread, under
    // OPM_FIND too (a folder's size count); never on Find's worker.
    WaitRun run(waitBox, MayDraw());
    if (!folder[0]) {
        *unshown = 0;
        return ListDrives(items, count);
    }
    WCHAR path[NM];
    if (!ListingPath(folder, path)) return StatusNotAccepted;  // nothing is asked
    return ListPhoneFolder(link, items, count, path, NULL, unshown);
}

// The listing path ends with a backslash; without room for it the path
// would name another folder.
bool ListingPath(const char* folder, WCHAR* path)
{
    return NarrowToWide(folder, path, NM) && AppendWideSlash(path, NM);
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
    if (!NarrowToWide(folder, path, NM)) return false;
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
    if (!find) {
        place.countBroken = false;
        RefreshVolume();
    }
    Stop stop = place.enteringStopped;
    place.enteringStopped = NotStopped;
    bool backToShown = (place.upUnread || goTo) && !find;
    place.upUnread = false;
    OwnedListing listing;
    if (place.prepared.ready && strcmp(place.prepared.folder, place.curDir) == 0) {
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
                ListFolder(place.curDir, &listing.items, &listing.count, &listing.unshown, opMode);
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
        listing.items = NULL;
    } else {
        hiddenNames = listing.unshown;
        place.shown.Take(listing);
        place.findMoved = false;
    }
    return 1;
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
    hiddenNames = place.shown.unshown;
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
    ShowMessage(FMSG_WARNING | FMSG_MB_OK, NULL, lines, 4, 0);
}

// The array the panel keeps is freed when it is replaced, not here.
void PhonePanel::FreeFindData(PluginPanelItem* items, int count)
{
    if (items != place.shown.items) free(items);
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

// What FAR shows and where the panel is: the moves the table in
// panel_place.h describes.
#include "panel_place.h"

#include "bounded_string.h"
#include "host_ui.h"

#include <cstring>

using namespace host;

void OwnedListing::Take(OwnedListing& from)
{
    if (&from == this) return;
    FreeListing(items, count);
    items = from.items;
    count = from.count;
    capacity = from.capacity;
    leftOut = from.leftOut;
    ready = from.ready;
    memcpy(folder, from.folder, sizeof(folder));
    from.items = nullptr;
    from.Drop();
}

void OwnedListing::Drop()
{
    Free();
    leftOut = 0;
    ready = false;
    folder[0] = 0;
}

// Operations that changed something on the phone, in every panel of the
// process.
static volatile LONG changesMade = 0;

void PanelPlace::BeginCall(int opMode, bool operation)
{
    prepared.Drop();
    // After another call (a walk, a change of folder) the changes no longer
    // lead from `shown` to the folder: the next read lists afresh.
    if (!operation && changes.ready) changes.Unsure();
    upUnread = false;
    if (opMode & OPM_FIND) {
        // A new walk (a folder's count after Find, a search after a count)
        // starts where FAR shows, not where another thread's walk ended nor
        // where a walk FAR has described since did.
        if (WalkOver()) ComeBack();
        return;
    }
    countBroken = false;
    if (!findMoved && !operation) return;
    // FAR names what it shows: an OPM_FIND sequence that did not end where
    // it began (a restore that failed, a search stopped part way, a Find
    // "from the current folder", which never restores) must not make an
    // F8 delete a namesake elsewhere. The transfers work in curDir, which
    // from here on is that folder for the whole call (the panel's lock keeps
    // Find's worker out meanwhile).
    if (shown.ready) CopyBounded(curDir, shown.folder, sizeof(curDir));
    findMoved = false;
}

void PanelPlace::ComeBack()
{
    if (!findMoved) return;
    if (shown.ready) CopyBounded(curDir, shown.folder, sizeof(curDir));
    findMoved = false;
    walkAsks = 0;
    countBroken = false;
}

void PanelPlace::Moved(bool find)
{
    findMoved = find;
    walkAsks = 0;
    if (find) walkThread = GetCurrentThreadId();
}

const char* PanelPlace::Describe()
{
    // FAR asks on the thread of a walk before it starts one and after it
    // ends: a walk left elsewhere ends here, but on FAR's main thread not
    // before a third ask, since Find's "Go to" is a walk and then the
    // panel's Update, which asks twice before its read. Another thread's
    // walk (Find's, while FAR's main thread draws) goes on where it is,
    // unseen.
    if (findMoved && !WalkedElsewhere() && (!MayDraw() || ++walkAsks > UpdateAsks)) ComeBack();
    // Until a read takes a walk's folder, CurDir and the title name the
    // folder FAR shows. The Update uses only the flags of what it asks
    // (CurDir is not read in UpdatePlugin) and asks again once it has read,
    // for the title and the redraw, which then name the new folder; an ask
    // that no read follows is a redraw, and must name what FAR shows.
    // Copied: Find's thread may move the panel once this call is over.
    CopyBounded(reportedDir, findMoved && shown.ready ? shown.folder : curDir,
                sizeof(reportedDir));
    return reportedDir;
}

void PanelPlace::BackToShown()
{
    CopyBounded(curDir, shown.folder, sizeof(curDir));
    findMoved = false;
}

void PanelPlace::Changed(const ListingChanges& operation)
{
    // A record older than another panel's change can no longer be trusted.
    if (changes.ready && changes.serial != InterlockedCompareExchange(&changesMade, 0, 0))
        changes.Unsure();
    changes.Append(operation);
    changes.ready = true;
    changes.serial = operation.Any() ? InterlockedIncrement(&changesMade)
                                     : InterlockedCompareExchange(&changesMade, 0, 0);
}

bool PanelPlace::ChangesHold() const
{
    return changes.ready && !changes.unsure &&
           changes.serial == InterlockedCompareExchange(&changesMade, 0, 0);
}

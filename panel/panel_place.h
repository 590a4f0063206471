// What FAR shows and where the panel is: the state that follows FAR's walks
// over the panel (panel_place.cpp), owned by the panel object and moved only
// by its calls, one at a time (the panel's lock).
//
// FAR walks a panel with OPM_FIND (a folder's size count, Find, a found
// file's fetch) and expects it back where the walk began; some walks never
// come back. The panel keeps the folder FAR shows apart from the one it is
// in, and what the next call makes of the difference:
//
//   state            moved by                        means for the next call
//   curDir           SetDirectory; a read falling    where requests go; what
//                    back to a parent; ComeBack      an OPM_FIND read lists
//   shown            a read without OPM_FIND         the folder FAR shows:
//                    (Take), nothing else            operations start there,
//                                                    a stopped read hands it out
//   prepared         SetDirectory's listing; any     the read of that folder
//                    other call drops it             that comes next takes it
//   findMoved,       SetDirectory under OPM_FIND     set: the panel is off
//   walkThread       (Moved); a read without it,     `shown`; an operation or
//                    ComeBack clear it               a change of folder goes
//                                                    back there first
//   walkAsks         description asks on the walk's  two: the next plain read
//                    thread; Moved clears it         is Find's "Go to"; a third
//                                                    ends the walk (ComeBack)
//   reportedDir      each description                CurDir and the title:
//                                                    `shown` while a walk is out
//   countBroken      a failed or stopped OPM_FIND    ".." and OPM_FIND reads are
//                    listing that may draw; cleared  refused, so FAR's count
//                    by any call without OPM_FIND    fails as on a refused ".."
//   upUnread         ".." without a listing; cleared the read that follows, if
//                    at the next call's start        it fails, shows `shown`
//   enteringStopped  SetDirectory's listing stopped  the read that follows
//                    (Esc, a link given up on)       hands out `shown` instead
//   shownAfterStop   `shown` handed out for a link   once only: the read after
//                    given up on                     it fails (the panel closes)
//   changes          an operation's export           the next plain read of
//                    (Changed); a plain read drops   `shown`'s folder is `shown`
//                    them; any other call makes      with them, not a listing;
//                    them unsure                     unsure or after Ctrl+R: one
#pragma once

#include "host_api.h"
#include "listing_changes.h"
#include "phone_listing.h"

// How a listing that failed was stopped, if it was: the user's Esc on a run
// of reads, or a link given up on.
enum ListingStop { NotStopped, StoppedByUser, LinkGivenUp };

// A listing array the panel owns: the folder SetDirectory read ahead for the
// host, or the one the host was last given. The array is freed when another
// is taken in its place and with the panel; it is never copied.
struct OwnedListing : ListingItems {
    int leftOut = 0;     // entries left out for their names (the information panel counts them)
    bool ready = false;  // holds a listing; an empty folder's has no items
    char folder[host::NM] = {};

    // Takes over `from`'s listing, freeing the one held; `from` is left empty.
    void Take(OwnedListing& from);
    void Drop();
};

struct PanelPlace {
    // Where SetDirectory moved the panel: FAR's sequences walk it with
    // OPM_FIND. No trailing backslash; empty at the drive list.
    char curDir[host::NM] = {};
    char reportedDir[host::NM] = {};  // CurDir as last handed to the host
    OwnedListing prepared;
    // What the host was last given for the panel without OPM_FIND. A read
    // the user stops with Esc hands it out once more, since the host throws
    // out a panel whose read fails.
    OwnedListing shown;
    bool findMoved = false;
    // The thread of the walk: FAR's main thread counting a folder or
    // fetching a found file, Find's worker searching. FAR ends none of them
    // with a read but "Go to", and some never come back where they began.
    DWORD walkThread = 0;
    // On FAR's main thread Find's "Go to" is a walk to the found item's
    // folder and then the panel's Update, which asks twice
    // (FileList::Update, then UpdatePlugin) and reads without OPM_FIND.
    int walkAsks = 0;
    enum { UpdateAsks = 2 };
    bool countBroken = false;
    bool shownAfterStop = false;
    bool upUnread = false;
    ListingStop enteringStopped = NotStopped;
    // What Kelp's own operations changed since FAR was last given `shown`.
    ListingChanges changes;

    // Before every call but a read: a listing prepared ahead is dropped.
    // Without OPM_FIND, an operation (copy, move, delete, make folder) works
    // in the folder FAR last received a listing of, always; a change of
    // folder starts there when an OPM_FIND sequence moved the panel since.
    // Under OPM_FIND, a walk that another thread left elsewhere, or that FAR
    // has described since, is no start.
    void BeginCall(int opMode, bool operation);
    // Back in the folder FAR shows, when an OPM_FIND walk left the panel
    // elsewhere: FAR calls without OPM_FIND (a read, a change of folder, the
    // panel's description on the walk's own thread) all work from there.
    void ComeBack();
    // SetDirectory moved the panel, under OPM_FIND or not.
    void Moved(bool find);
    // The host asks for the description: a walk on this thread may end
    // here; answers the folder to report as CurDir.
    const char* Describe();
    // The read hands out `shown`: the panel is back in its folder.
    void BackToShown();
    // An operation is over: what it changed, in the folder it worked in.
    // One that changed anything counts for the whole process, so a panel
    // whose record is older lists afresh (another panel's operation may
    // have changed its folder too).
    void Changed(const ListingChanges& operation);
    // The changes serve the read that comes next, when no other operation
    // of the process changed anything since.
    bool ChangesHold() const;

    // An OPM_FIND walk moved the panel, on a thread other than this one
    // (Find's worker, while FAR's main thread asks for the description).
    bool WalkedElsewhere() const { return findMoved && walkThread != GetCurrentThreadId(); }
    // ... or on this one, and FAR has asked for the description since: no
    // start for a new walk.
    bool WalkOver() const { return WalkedElsewhere() || (findMoved && walkAsks > 0); }
    // This thread's walk, then FAR's Update asking for the description: the
    // read without OPM_FIND that comes next is Find's "Go to".
    bool GoingTo() const { return findMoved && walkAsks > 0 && !WalkedElsewhere(); }
    // The folder FAR shows (the information panel describes it).
    const char* Showing() const { return shown.ready ? shown.folder : curDir; }
};

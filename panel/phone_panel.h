// Panel layer. It owns the panel object the host holds as its plug-in handle:
// opening and closing it with its link, navigation and the panel's
// description (phone_panel.cpp), the listing of drives and folders
// (panel_listing.cpp). What the layers above use without the panel object
// has headers of its own: a phone folder's listing and what the server's
// entries become on the host's side (phone_listing.h), what statuses say to
// the user and the stop request (status_text.h), the copy record
// (copied_files.h). The operations that change files are the transfer
// layer's (transfer/transfer.h), which never includes this header.
#pragma once

#include "copied_files.h"
#include "host_api.h"
#include "phone_link.h"
#include "phone_listing.h"
#include "status_text.h"
#include "wait_box.h"

#include <cstdlib>

// A listing array the panel owns: the folder SetDirectory read ahead for the
// host, or the one the host was last given. The array is freed when another
// is taken in its place and with the panel; it is never copied.
struct OwnedListing : ListingItems {
    int unshown = 0;     // names the console can't show (the information panel counts them)
    bool ready = false;  // holds a listing; an empty folder's has no items
    char folder[host::NM] = {};

    // Takes over `from`'s listing, freeing the one held; `from` is left empty.
    void Take(OwnedListing& from);
    void Drop();
};

// The phone path that lists `folder` (a folder as curDir holds one), with
// its final backslash; false when it would not fit a host path.
bool ListingPath(const char* folder, WCHAR* path);

// What a SetDirectory argument leads to (folder_paths.cpp): refused; up by
// ".." levels, needing no listing; down to a child, a drive or the drive
// list ("\\"), listed first; a full path ("C:\\x", as CurDir gives it).
enum { ResolveRefused, ResolveUp, ResolveDown, ResolveFull };
// The folder `name` leads to from `current`, into `out` (NM bytes).
int ResolveFolder(const char* current, const char* name, char* out);

class PhonePanel {
public:
    PhonePanel();
    ~PhonePanel();

    // FAR's main thread and Find's worker may both call a panel: one call
    // at a time, held by PanelCall for the length of an export. A thread
    // waiting for it keeps its messages flowing, as the link's waits do (a
    // server in this process is served through them).
    void Enter() { PumpingWaitOne(callLock, INFINITE); }
    void Leave() { ReleaseMutex(callLock); }
    // Before every call but a read: a listing prepared ahead is dropped.
    // Without OPM_FIND, an operation (copy, move, delete, make folder) works
    // in the folder FAR last received a listing of, always; a change of
    // folder starts there when an OPM_FIND sequence moved the panel since.
    // Under OPM_FIND, a walk that another thread left elsewhere, or that FAR
    // has described since, is no start.
    void BeginHostCall(int opMode, bool operation);
    // Back in the folder FAR shows, when an OPM_FIND walk left the panel
    // elsewhere: FAR calls without OPM_FIND (a read, a change of folder, the
    // panel's description on the walk's own thread) all work from there.
    void ComeBack();
    // An OPM_FIND walk moved the panel, on a thread other than this one
    // (Find's worker, while FAR's main thread asks for the description).
    bool WalkedElsewhere() const { return findMoved && walkThread != GetCurrentThreadId(); }
    // ... or on this one, and FAR has asked for the description since: no
    // start for a new walk.
    bool WalkOver() const { return WalkedElsewhere() || (findMoved && walkAsks > 0); }
    // This thread's walk, then FAR's Update asking for the description: the
    // read without OPM_FIND that comes next is Find's "Go to".
    bool GoingTo() const { return findMoved && walkAsks > 0 && !WalkedElsewhere(); }

    // Opening and closing; the handle the host holds is the panel itself.
    static HANDLE OpenPlugin(int openFrom, INT_PTR item);
    static void ClosePlugin(HANDLE handle);

    // Navigation and description (phone_panel.cpp).
    int SetDirectory(const char* name, int opMode);
    void GetOpenPluginInfo(host::OpenPluginInfo* info);
    int ProcessKey(int key, unsigned int controlState);
    int ProcessEvent(int event, void* param);
    static void FormatGrouped(LONGLONG value, char* text, int size);

    // Listing (panel_listing.cpp). Each lister fills a new array the caller
    // frees and answers the status that ended it; `hidden`, when given,
    // counts the entries left out for their names, `unshown` those of them
    // whose names did not convert (the console can't show them; the
    // information panel counts them).
    // ListDirectory takes a phone folder with its trailing backslash,
    // ListFolder a folder as curDir holds one ("" is the drive list), for
    // the host's call made with `opMode`.
    int GetFindData(host::PluginPanelItem** items, int* count, int opMode);
    void FreeFindData(host::PluginPanelItem* items, int count);
    LONG ListDirectory(host::PluginPanelItem** items, int* count, const WCHAR* path,
                       int* hidden = NULL, int* unshown = NULL);
    LONG ListDrives(host::PluginPanelItem** items, int* count);
    LONG ListFolder(const char* folder, host::PluginPanelItem** items, int* count,
                    int* unshown, int opMode);
    // How a listing that failed was stopped, if it was: the user's Esc on a
    // run of reads, or a link given up on.
    enum Stop { NotStopped, StoppedByUser, LinkGivenUp };
    Stop HowStopped(LONG status) const;
    bool ShowAgain(Stop stop, int opMode, host::PluginPanelItem** items, int* count);
    // Hands the host the listing it was last given, in its folder.
    bool HandOutShown(host::PluginPanelItem** items, int* count);
    // True when the server says `folder` is gone (not when it only failed).
    bool FolderGone(const char* folder);
    void RefreshVolume();
    bool LinkLost() const { return link.Loss() != LinkServes; }

    // Esc or a break asks the running operation to stop; the break may come
    // on another thread while a prompt asks on the host's: an interlocked OR
    // loses neither.
    void AskStop() { InterlockedOr(&opFlags, StopAsked); }

    // What an operation on the phone works with, for the length of one host
    // call: the link, the folder FAR shows (no trailing backslash; "" at the
    // drive list) and the stop word (StopAsked), which the host may set from
    // another thread.
    PhoneLink& Link() { return link; }
    const char* Folder() const { return curDir; }
    volatile LONG* StopWord() { return &opFlags; }
    // What the last copy into another plug-in's panel took (GetFiles with
    // OPM_SILENT alone): the host's silent delete of the same items, which
    // ends such a move, deletes these and nothing else, then forgets them.
    CopiedFiles& Copied() { return copied; }

    enum { DriveLetters = 26 };

private:
    // Where SetDirectory moved the panel, and what CurDir reports: FAR's
    // sequences (a folder's size, Find) walk it with OPM_FIND and expect it
    // back where they began. No trailing backslash; empty at the drive list.
    char curDir[host::NM];
    char reportedDir[host::NM];  // CurDir as last handed to the host
    char panelTitle[324];
    PhoneLink link;
    volatile LONG opFlags;
    host::InfoPanelLine infoLines[5];
    int hiddenNames;  // entries of the current folder whose names did not convert
    remote::RemoteVolume volume;
    // Read by SetDirectory for the read of that folder that comes next; any
    // other call in between drops it.
    OwnedListing prepared;
    // What the host was last given for the panel without OPM_FIND: the
    // folder FAR shows, which the operations it starts act on. A read the
    // user stops with Esc hands it out once more, since the host throws out
    // a panel whose read fails.
    OwnedListing shown;
    bool findMoved;  // an OPM_FIND call moved the panel since FAR last got a listing
    // The thread of that call. An OPM_FIND walk is its thread's: FAR's main
    // thread counting a folder or fetching a found file, Find's worker
    // searching. FAR ends none of them with a read but "Go to" (below), and
    // some never come back where they began.
    DWORD walkThread;
    // How often that thread asked for the description since the walk's last
    // step. On FAR's main thread Find's "Go to" is a walk to the found
    // item's folder and then the panel's Update, which asks twice
    // (FileList::Update, then UpdatePlugin) and reads without OPM_FIND: that
    // read takes the walk's folder. A third ask (the panel drawn first) or
    // any other call ends the walk.
    int walkAsks;
    enum { UpdateAsks = 2 };
    // A listing under OPM_FIND on FAR's main thread (F3 or Quick View
    // counting a folder) failed or was stopped: FAR's count fails only on a
    // refused "..", so ".." and reads under OPM_FIND are refused until the
    // count puts the panel back (a full path) or FAR calls otherwise.
    bool countBroken;
    bool shownAfterStop;   // ... once for a link given up on
    // SetDirectory went up without a listing (".." needs none). Should the
    // read that follows fail, and not for a folder that is gone, the host
    // would close the panel: it gets the folder it showed instead.
    bool upUnread;
    Stop enteringStopped;  // how SetDirectory's listing was stopped

    CopiedFiles copied;  // see Copied()
    WaitBox waitBox;     // the link's watcher: the box of a slow request

    // SetDirectory moved the panel, under OPM_FIND or not.
    void Moved(bool find);
    PhonePanel(const PhonePanel&) = delete;
    PhonePanel& operator=(const PhonePanel&) = delete;
    HANDLE callLock;  // a mutex: held again by the thread that holds it
};

// Holds the panel's call lock for as long as it lives.
struct PanelCall {
    PhonePanel& panel;
    explicit PanelCall(PhonePanel& p) : panel(p) { panel.Enter(); }
    ~PanelCall() { panel.Leave(); }

private:
    PanelCall(const PanelCall&);
    PanelCall& operator=(const PanelCall&);
};

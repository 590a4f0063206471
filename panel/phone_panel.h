// Panel layer. It owns the panel object the host holds as its plug-in handle:
// opening and closing it with its link, navigation and the panel's
// description (phone_panel.cpp), the listing of drives and folders
// (panel_listing.cpp), and what the server's entries and statuses become on
// the host's side (entry_conversion.cpp, status_text.cpp). The operations
// that change files are the transfer layer's (transfer/transfer.h).
#pragma once

#include "copied_files.h"
#include "host_api.h"
#include "phone_link.h"
#include "wait_box.h"

#include <cstdlib>

// Bits of PhonePanel::opFlags: the running operation's stop request, which
// the host may set from another thread. The answers that hold for the rest
// of one operation are that operation's own.
struct OpFlag {
    enum : LONG {
        Abort = 1,  // Esc or break: the running operation stops
    };
};

// A listing array the panel owns: the folder SetDirectory read ahead for the
// host, or the one the host was last given. The array is freed when another
// is taken in its place and with the panel; it is never copied.
struct OwnedListing {
    host::PluginPanelItem* items;
    int count;
    int unshown;  // names the console can't show (the information panel counts them)
    bool ready;   // holds a listing; an empty folder's has no items
    char folder[host::NM];

    OwnedListing() : items(NULL), count(0), unshown(0), ready(false) { folder[0] = 0; }
    ~OwnedListing() { free(items); }
    // Takes over `from`'s listing, freeing the one held; `from` is left empty.
    void Take(OwnedListing& from);
    void Drop();

private:
    OwnedListing(const OwnedListing&);
    OwnedListing& operator=(const OwnedListing&);
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
    virtual ~PhonePanel();

    // FAR's main thread and Find's worker may both call a panel: one call
    // at a time, held by PanelCall for the length of an export. A thread
    // waiting for it keeps its messages flowing, as the link's waits do (a
    // server in this process is served through them); FAR's main thread
    // waits as for the phone, with the box and Esc (wait_box.h).
    void Enter() { EnterPanel(callLock, waitBox); }
    void Leave() { ReleaseMutex(callLock); }
    // Before every call but a read: a listing prepared ahead is dropped.
    // Without OPM_FIND, an operation (copy, move, delete, make folder) works
    // in the folder FAR last received a listing of, always; a change of
    // folder starts there when an OPM_FIND sequence moved the panel since.
    void BeginHostCall(int opMode, bool operation);

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
    // True when the server says `folder` is gone (not when it only failed).
    bool FolderGone(const char* folder);
    void RefreshVolume();
    bool LinkLost() const { return link.Loss() != LinkServes; }

    bool HasFlag(LONG bit) const { return (opFlags & bit) != 0; }
    // The break event may come on another thread while a prompt sets its own
    // bit on the host's: an interlocked OR loses neither.
    void SetFlag(LONG bit) { InterlockedOr(&opFlags, bit); }
    void ClearFlags() { InterlockedExchange(&opFlags, 0); }

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
    // A listing under OPM_FIND on FAR's main thread (F3 or Quick View
    // counting a folder) failed or was stopped: FAR's count fails only on a
    // refused "..", so ".." and reads under OPM_FIND are refused until the
    // count puts the panel back (a full path) or FAR calls otherwise.
    bool countBroken;
    bool shownAfterStop;   // ... once for a link given up on
    Stop enteringStopped;  // how SetDirectory's listing was stopped

    // What the last copy into another plug-in's panel took (GetFiles with
    // OPM_SILENT alone): the host's silent delete of the same items, which
    // ends such a move, deletes these and nothing else, then forgets them.
    CopiedFiles copied;

    enum { DriveLetters = 26 };
    WaitBox waitBox;  // the link's watcher: the box of a slow request

private:
    PhonePanel(const PhonePanel&);
    PhonePanel& operator=(const PhonePanel&);
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

// Lists the phone folder `path` (with its trailing backslash) through `link`
// into a new array the caller frees, as PhonePanel::ListDirectory does.
LONG ListPhoneFolder(PhoneLink& link, host::PluginPanelItem** items, int* count, const WCHAR* path,
                     int* hidden = NULL, int* unshown = NULL);

// Fills the find data of `item` from a server entry; 1 when both names
// converted whole, 0 otherwise (the names are then still terminated).
int ConvertEntry(const remote::RemoteEntry* entry, host::PluginPanelItem* item);

// True for a name that addresses a child of its folder and nothing else: not
// empty, not "." or "..", no separators, drive colons or wildcards.
bool IsPlainName(const char* name);
// "." or "..", as the server's UTF-16 field holds them.
bool IsDotName(const WCHAR* name);

// The user's text for a status, cut to `size` bytes.
void StatusText(LONG status, char* buffer, int size);
// ... or, when the link is lost, for why it is.
void OutcomeText(const PhoneLink& link, LONG status, char* buffer, int size);
// Tells the user why the link is lost, once per loss, unless Find asked or
// this thread may not draw.
void TellLinkLost(PhoneLink& link, int opMode);

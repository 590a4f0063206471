// Panel layer. It owns the panel object the host holds as its plug-in handle:
// opening and closing it with its link, navigation and the panel's
// description (phone_panel.cpp), the listing of drives and folders
// (panel_listing.cpp). Its state is private; the exports get what an
// operation needs through Link, Folder, StopWord and Copied. What FAR shows
// and where the panel is, the state FAR's walks move, has an owner of its
// own with its table (panel_place.h). What the layers above use without the
// panel object has headers of its own: a phone folder's listing and what the server's
// entries become on the host's side (phone_listing.h), what statuses say to
// the user and the stop request (status_text.h), the copy record
// (copied_files.h), what an operation changed in its folder, which the read
// after it shows without listing the folder again (listing_changes.h). The
// operations that change files are the transfer layer's
// (transfer/transfer.h), which never includes this header.
#pragma once

#include "copied_files.h"
#include "host_api.h"
#include "panel_place.h"
#include "phone_link.h"
#include "phone_listing.h"
#include "status_text.h"
#include "wait_box.h"

#include <cstdlib>

// What a SetDirectory argument leads to (folder_paths.cpp): refused; up by
// ".." levels, needing no listing; down to a child, a drive or the drive
// list ("\\"), listed first; a full path ("C:\\x", as CurDir gives it).
enum { ResolveRefused, ResolveUp, ResolveDown, ResolveFull };
// The folder `name` leads to from `current`, into `out` (NM bytes).
int ResolveFolder(const char* current, const char* name, char* out);
// `folder` (NM bytes, a full path the panel listed) in the phone's own
// spelling, part by part past what it shares with `current`: the title and
// a shortcut saved there name the folders as the phone does, not as typed.
// A part the phone names in no spelling the code page has stays as typed.
void SpellAsPhone(PhoneLink& link, const char* current, const OwnedListing& shown, char* folder);

class PhonePanel {
public:
    PhonePanel();
    ~PhonePanel();

    // FAR's main thread and Find's worker may both call a panel: one call
    // at a time, held by PanelCall for the length of an export. A thread
    // waiting for it keeps its messages flowing, as the link's waits do (a
    // server in this process is served through them); FAR's main thread
    // waits as for the phone, with the box and Esc (wait_box.h).
    void Enter() { EnterPanel(callLock, waitBox); }
    void Leave() { ReleaseMutex(callLock); }
    // Before every call but a read: what it means for the walk state
    // (PanelPlace::BeginCall).
    void BeginHostCall(int opMode, bool operation) { place.BeginCall(opMode, operation); }

    // Opening and closing; the handle the host holds is the panel itself.
    static HANDLE OpenPlugin(int openFrom, INT_PTR item);
    static void ClosePlugin(HANDLE handle);

    // Navigation and description (phone_panel.cpp).
    int SetDirectory(const char* name, int opMode);
    void GetOpenPluginInfo(host::OpenPluginInfo* info);
    int ProcessKey(int key, unsigned int controlState);
    int ProcessEvent(int event, void* param);
    static void FormatGrouped(LONGLONG value, char* text, int size);

    // The host's reads (panel_listing.cpp).
    int GetFindData(host::PluginPanelItem** items, int* count, int opMode);
    void FreeFindData(host::PluginPanelItem* items, int count);
    bool LinkLost() const { return link.Loss() != LinkServes; }

    // An operation is over: what it changed in the folder it worked in
    // serves the read FAR makes next (PanelPlace::Changed).
    void AfterOperation(const ListingChanges& changes) { place.Changed(changes); }

    // Esc or a break asks the running operation to stop; the break may come
    // on another thread while a prompt asks on the host's: an interlocked OR
    // loses neither.
    void AskStop() { InterlockedOr(&opFlags, StopAsked); }

    // What an operation on the phone works with, for the length of one host
    // call: the link, the folder FAR shows (no trailing backslash; "" at the
    // drive list) and the stop word (StopAsked), which the host may set from
    // another thread.
    PhoneLink& Link() { return link; }
    const char* Folder() const { return place.curDir; }
    volatile LONG* StopWord() { return &opFlags; }
    // What the last copy into another plug-in's panel took (GetFiles with
    // OPM_SILENT alone): the host's silent delete of the same items, which
    // ends such a move, deletes these and nothing else, then forgets them.
    CopiedFiles& Copied() { return copied; }

    enum { DriveLetters = 26 };

private:
    // Listing (panel_listing.cpp). Each lister fills a new array the caller
    // frees and answers the status that ended it; `leftOut` counts the
    // entries left out for their names (the information panel counts
    // them). ListFolder takes a folder as curDir holds one ("" is the drive
    // list), for the host's call made with `opMode`.
    LONG ListDrives(host::PluginPanelItem** items, int* count);
    LONG ListFolder(const char* folder, host::PluginPanelItem** items, int* count,
                    int* leftOut, int opMode);
    using Stop = ListingStop;
    Stop HowStopped(LONG status) const;
    bool ShowAgain(Stop stop, int opMode, host::PluginPanelItem** items, int* count);
    // Hands the host the listing it was last given, in its folder.
    bool HandOutShown(host::PluginPanelItem** items, int* count);
    // Says that the folder the user asked to enter is not on the phone.
    void TellNotFound(const char* folder);
    // The listing FAR was shown with the changes of Kelp's own operations
    // since, into `listing`; false when a full listing must be made instead.
    bool PatchShown(OwnedListing& listing);
    // True when the server says `folder` is gone (not when it only failed).
    bool FolderGone(const char* folder);
    void RefreshVolume();

    // What FAR shows and where the panel is, with its table (panel_place.h).
    PanelPlace place;
    char panelTitle[324];
    PhoneLink link;
    volatile LONG opFlags;
    // Ctrl+R: the next read lists afresh. ProcessKey takes no lock: an
    // interlocked flag that read takes.
    volatile LONG freshAsked;
    host::InfoPanelLine infoLines[5];
    int leftOutNames;  // entries of the folder FAR shows left out for their names
    remote::RemoteVolume volume;
    CopiedFiles copied;  // see Copied()
    WaitBox waitBox;     // the link's watcher: the box of a slow request

    PhonePanel(const PhonePanel&) = delete;
    PhonePanel& operator=(const PhonePanel&) = delete;
    HANDLE callLock;  // a mutex: held again by the thread that holds it
};

// Holds the panel's call lock for as long as it lives.
struct PanelCall {
    PhonePanel& panel;
    explicit PanelCall(PhonePanel& p) : panel(p) { panel.Enter(); }
    ~PanelCall() { panel.Leave(); }

    PanelCall(const PanelCall&) = delete;
    PanelCall& operator=(const PanelCall&) = delete;
};

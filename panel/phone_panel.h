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

private:
    OwnedListing(const OwnedListing&);
    OwnedListing& operator=(const OwnedListing&);
};

// Statuses of the panel's own: a folder whose path would not fit a host
// path; a folder that opened but could not be read to its end.
enum : LONG { StatusPathTooLong = -104, StatusReadFailed = -105 };

class PhonePanel {
public:
    PhonePanel();
    virtual ~PhonePanel();

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
    bool ShowAgain(LONG status, int opMode, host::PluginPanelItem** items, int* count);
    void RefreshVolume();
    // Tells the user that the server is gone, unless the host asked for quiet.
    void ReportLostLink(LONG status, int opMode);

    bool HasFlag(LONG bit) const { return (opFlags & bit) != 0; }
    // The break event may come on another thread while a prompt sets its own
    // bit on the host's: an interlocked OR loses neither.
    void SetFlag(LONG bit) { InterlockedOr(&opFlags, bit); }
    void ClearFlags() { InterlockedExchange(&opFlags, 0); }

    char curDir[host::NM];  // no trailing backslash; empty at the drive list
    char panelTitle[324];
    PhoneLink link;
    volatile LONG opFlags;
    host::InfoPanelLine infoLines[5];
    int hiddenNames;  // entries of the current folder whose names did not convert
    remote::RemoteVolume volume;
    OwnedListing prepared;  // read by SetDirectory, not yet handed out
    // What the host was last given for the panel (Find's reads aside): a read
    // the user stops with Esc hands it out once more, since the host throws
    // out a panel whose read fails.
    OwnedListing shown;
    bool shownAfterStop;   // ... once for a link given up on
    LONG enteringStopped;  // SetDirectory's listing ended so (cancelled, abandoned)

    // What the last copy into another plug-in's panel took (GetFiles with
    // OPM_SILENT alone): the host's silent delete of the same items, which
    // ends such a move, deletes these and nothing else, then forgets them.
    CopiedFiles copied;

    enum { DriveLetters = 26 };
    WaitBox waitBox;  // the link's watcher: the box of a slow request
};

// True for a status after which the link serves no further request: the
// server went away, or the user stopped waiting for it.
inline bool LinkLost(LONG status)
{
    return status == StatusLinkBroken || status == StatusAbandoned;
}

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

// A phone folder's listing as the host's records: the one reader both the
// panel and the transfers list through, the array it fills and what an entry
// of the server's becomes on the host's side (entry_conversion.cpp): its own
// name where the narrow code page spells it, else a stand-in, with the real
// name carried in the item (ItemRealName reads it back, whoever copied the
// item since).
#pragma once

#include "host_api.h"
#include "phone_link.h"

#include <cstdlib>
#include <cstring>

// Frees a listing array and the real names its stand-ins carry.
void FreeListing(host::PluginPanelItem* items, int count);

// Owns a listing array until it is handed on, so every early return frees
// it (with the real names its items carry); never copied. Add grows it for the reader; a holder that keeps more of
// a listing (the panel's OwnedListing) builds on it.
struct ListingItems {
    host::PluginPanelItem* items = nullptr;
    int count = 0;
    int capacity = 0;

    ListingItems() = default;
    ~ListingItems() { FreeListing(items, count); }
    ListingItems(const ListingItems&) = delete;
    ListingItems& operator=(const ListingItems&) = delete;

    // The array for the host, which gives it back to FreeFindData.
    host::PluginPanelItem* Release()
    {
        host::PluginPanelItem* out = items;
        items = nullptr;
        count = 0;
        capacity = 0;
        return out;
    }
    void Free()
    {
        int n = count;
        FreeListing(Release(), n);
    }
    // A zeroed item past `count`, which the caller counts in when it keeps
    // it; NULL without memory for it.
    host::PluginPanelItem* Add()
    {
        if (count == capacity) {
            // Grown by half again each time: a fixed step makes a big folder's
            // listing quadratic in copying.
            int grown = capacity ? capacity + capacity / 2 : FirstCapacity;
            void* block = realloc(items, (size_t)grown * sizeof(host::PluginPanelItem));
            if (!block) return nullptr;
            items = (host::PluginPanelItem*)block;
            capacity = grown;
        }
        host::PluginPanelItem* item = &items[count];
        memset(item, 0, sizeof(*item));
        return item;
    }
    enum { FirstCapacity = 64 };
};

// Asked on the asking thread before each hand-over of entries of a listing
// an operation makes, with the number read so far: the operation's box says
// so and reads the keys. False stops the listing (StatusCancelled).
struct ListingWatch {
    virtual bool KeepReading(int entriesRead) = 0;
};

// Lists the phone folder `path` (with its trailing backslash) through `link`
// into a new array the caller frees with FreeListing. `leftOut`, when given,
// counts the entries left out for their names: those that are no plain child
// (IsPlainName). With a watch, entries are handed over in batches that take
// about timing::ReadHandOverMs each, however slow the server, so a stop is
// heard within that.
LONG ListPhoneFolder(PhoneLink& link, host::PluginPanelItem** items, int* count, const WCHAR* path,
                     int* leftOut = nullptr, ListingWatch* watch = nullptr);

// Folders shown under stand-ins (stand_in_folders.cpp). The panel holds its
// folder as FAR's CurDir does, narrow, a stand-in for each part the code
// page can't spell; the phone takes real names. Every listing records the
// stand-in folders it met (NoteStandInFolders, called by ListPhoneFolder on
// whatever thread lists); the record is the process's, behind a lock of its
// own, and the latest listing of a folder replaces what it said before.
void NoteStandInFolders(const WCHAR* path, const ListingItems& list);
// The real phone path of `folder` (as curDir holds one: no trailing
// backslash) into `out` (NM units): each part recorded as a stand-in
// becomes its folder's real name, any other is taken as spelled. False
// when it would not fit a host path.
bool PhoneFolderPath(const char* folder, WCHAR* out);
// The same with a final backslash: the path that lists `folder`.
bool ListingPath(const char* folder, WCHAR* path);
// Makes `folder` reachable by PhoneFolderPath where no listing met its
// parts yet (a shortcut, a typed path): each part the phone has under no
// such name of its own is looked for among its parent's stand-ins, by
// listing that parent. False when some part is neither.
bool LearnFolderPath(PhoneLink& link, const char* folder);

// The phone path of what the panel shows as `name` in `folder` (as curDir
// holds one), into `out` (NM units): the real name of the entry whose
// stand-in `name` is (as the host compares names), else `name` itself, as
// also when the folder can't be listed (it may not be there yet). False
// when the path would not fit.
bool ShownEntryPath(PhoneLink& link, const char* folder, const char* name, WCHAR* out);

// Fills the find data of `item` from a server entry: names that the narrow
// code page spells exactly, else empty (no stand-in: for an entry's sizes
// and times). 1 when both names converted whole, 0 otherwise.
int ConvertEntry(const remote::RemoteEntry* entry, host::PluginPanelItem* item);

// The names a folder's listing shows, case-insensitively: what a stand-in is
// chosen against. Built over one listing, which it reads by index.
class FolderNames {
public:
    ~FolderNames() { free(slots); }
    // Enters every named item of `list`; false without memory.
    bool Build(const ListingItems& list);
    // Enters list.items[index] (named) too.
    bool Add(int index);
    // Enters list.items[index] as `name`, the name it is about to take,
    // when no item holds that name: 1, else 0; -1 without memory.
    int Claim(int index, const char* name);
    // The index of the item shown as `name`, or -1.
    int Find(const char* name) const;

private:
    struct Slot {
        DWORD hash;
        int index;  // -1: free
    };
    bool Grow();
    int Find(const WCHAR* folded, DWORD hash) const;
    const ListingItems* listing = nullptr;
    Slot* slots = nullptr;
    int size = 0, used = 0;
};

// Adds a server entry to `list` as the panel shows it, the one rule for
// every listing, whole or grown by one: under its own name when the narrow
// code page spells it, else under a stand-in that `taken` (the names the
// folder's listing shows, this listing's items) does not hold, readable and
// the same on every read of the folder, carrying the entry's real name.
// An entry that is no plain child of its folder is left out.
enum { EntryAdded, EntryLeftOut, EntryNoMemory };
int AddListingEntry(ListingItems& list, FolderNames& taken, const remote::RemoteEntry* entry);
// The same in two steps, for a whole folder's listing: every entry is added
// first (one needing a stand-in counted in `pending`, not named yet), then
// the stand-ins are chosen once every own name of the folder is known, so an
// entry's own name is never taken by a stand-in. False without memory.
int AddListingEntry(ListingItems& list, const remote::RemoteEntry* entry, int* pending);
bool NameStandIns(ListingItems& list);

// The entry an item of a listing stands for, by its real name (UTF-16),
// into `out` (`size` units): from the stand-in's block, else from its
// cFileName. False when it does not fit or does not convert.
bool ItemRealName(const host::PluginPanelItem& item, WCHAR* out, int size);
// Whether the item is shown under a stand-in.
bool HasStandIn(const host::PluginPanelItem& item);
// The phone path of `item` in the panel's `folder` (as curDir holds one),
// by its real name; false when it would not fit a host path.
bool PhoneEntryPath(WCHAR* out, const char* folder, const host::PluginPanelItem& item);

// True for a name that addresses a child of its folder and nothing else: not
// empty, not "." or "..", no separators, drive colons or wildcards; the wide
// form also no control characters. (A name the PC can't store, a device's
// among them, is the copy's to refuse: the phone may hold it.)
bool IsPlainName(const char* name);
bool IsPlainName(const WCHAR* name);
// "." or "..", as the server's UTF-16 field holds them.
bool IsDotName(const WCHAR* name);

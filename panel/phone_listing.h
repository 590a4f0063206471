// A phone folder's listing as the host's records: the one reader both the
// panel and the transfers list through, the array it fills and what an entry
// of the server's becomes on the host's side (entry_conversion.cpp).
#pragma once

#include "host_api.h"
#include "phone_link.h"

#include <cstdlib>
#include <cstring>

// Owns a listing array until it is handed on, so every early return frees
// it; never copied. Add grows it for the reader; a holder that keeps more of
// a listing (the panel's OwnedListing) builds on it.
struct ListingItems {
    host::PluginPanelItem* items = nullptr;
    int count = 0;
    int capacity = 0;

    ListingItems() = default;
    ~ListingItems() { free(items); }
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
        free(Release());
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
// into a new array the caller frees. `hidden`, when given, counts the entries
// left out for their names, `unshown` those of them whose names did not
// convert. With a watch, entries are handed over in batches that take about
// timing::ReadHandOverMs each, however slow the server, so a stop is heard
// within that.
LONG ListPhoneFolder(PhoneLink& link, host::PluginPanelItem** items, int* count, const WCHAR* path,
                     int* hidden = NULL, int* unshown = NULL, ListingWatch* watch = NULL);

// Fills the find data of `item` from a server entry; 1 when both names
// converted whole, 0 otherwise (the names are then still terminated).
int ConvertEntry(const remote::RemoteEntry* entry, host::PluginPanelItem* item);

// True for a name that addresses a child of its folder and nothing else: not
// empty, not "." or "..", no separators, drive colons or wildcards.
bool IsPlainName(const char* name);
// "." or "..", as the server's UTF-16 field holds them.
bool IsDotName(const WCHAR* name);

// One way over a phone folder's entries, shared by the copy from the phone
// (and so the copy on it), the check after a copy on the phone, and the
// delete: list the folder, leave out what the listing hides, hand each entry
// with its full path, by its real name, to `visit`, which recurses into
// folders itself.
#pragma once

#include "bounded_string.h"
#include "op_result.h"
#include "path_builders.h"
#include "phone_listing.h"
#include "transfer_guards.h"

// `folder` is the folder's phone path without its final backslash; `hidden`,
// when given, counts the entries the listing left out for their names.
// visit(PluginPanelItem& entry, const WCHAR* path) answers an OpResult; a
// path that would not fit a host path is given as NULL, never cut to fit.
// `watch`, when given, is asked between the listing's hand-overs (see
// ListPhoneFolder). The answer: OpCancelled when the listing was stopped (by
// the watch, or by Esc in the waiting box over one slow read) and at once
// when an entry's is; OpFailed when the listing failed or any entry did;
// else OpDone.
template <class Visit>
int WalkPhoneFolder(PhoneLink& link, const WCHAR* folder, int* hidden, ListingWatch* watch,
                    Visit visit)
{
    WCHAR listed[host::NM];
    CopyBoundedWide(listed, folder, host::NM);
    if (!AppendWideSlash(listed, host::NM)) return OpFailed;
    ListingItems listing;
    LONG status = ListPhoneFolder(link, &listing.items, &listing.count, listed, hidden, watch);
    if (status != remote::StatusOk)
        return watch && status == remote::StatusCancelled && link.Loss() == LinkServes ? OpCancelled
                                                                                       : OpFailed;
    int result = OpDone;
    for (int i = 0; i < listing.count; ++i) {
        WCHAR path[host::NM], name[host::NM];
        CopyBoundedWide(path, folder, host::NM);
        bool fits = ItemRealName(listing.items[i], name, host::NM) &&
                    AppendWideName(path, host::NM, name);
        if (!FoldResult(result, visit(listing.items[i], fits ? path : (const WCHAR*)nullptr)))
            return result;
    }
    return result;
}

// A walk whose listing nobody watches.
template <class Visit>
int WalkPhoneFolder(PhoneLink& link, const WCHAR* folder, int* hidden, Visit visit)
{
    return WalkPhoneFolder(link, folder, hidden, (ListingWatch*)nullptr, visit);
}

// A watch over a listing from a callable: keepReading(entriesRead) answers
// false to stop.
template <class Fn>
struct ListingWatchOf : ListingWatch {
    Fn keepReading;
    explicit ListingWatchOf(Fn fn) : keepReading(fn) {}
    bool KeepReading(int entriesRead) override { return keepReading(entriesRead); }
};
template <class Fn>
ListingWatchOf<Fn> WatchListing(Fn keepReading)
{
    return ListingWatchOf<Fn>(keepReading);
}

// The path a folder is removed by: its own with the final backslash.
inline bool FolderRequestPath(WCHAR* out, const WCHAR* folder)
{
    CopyBoundedWide(out, folder, host::NM);
    return AppendWideSlash(out, host::NM);
}

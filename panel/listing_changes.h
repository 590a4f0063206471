// What Kelp's own operations did to one phone folder, in the order they did
// it: names that went and names that landed (made, copied in, renamed to).
// An operation fills it as it goes (transfer/), the export hands it to the
// panel when the operation is over (PanelPlace::Changed), and the panel's
// next read of that folder is the listing FAR was shown with these changes
// (panel_listing.cpp) instead of a full listing. One thread at a time: the
// operation's, then the panel's under its lock.
#pragma once

#include "host_api.h"

struct ListingChanges {
    enum Kind { Gone, Landed };
    struct Change {
        Kind kind;
        WCHAR name[host::NM];  // the entry's real name
    };

    char folder[host::NM] = {};  // where it happened, as curDir holds it
    Change* list = nullptr;
    int count = 0, capacity = 0;
    // Something happened that the record can't say exactly (a failure part
    // way, a stop, a lost link, another folder): the next read lists afresh.
    bool unsure = false;
    // Set by PanelPlace: an operation has handed its record over since the
    // last read; `serial` is the process's change count then.
    bool ready = false;
    LONG serial = 0;

    ListingChanges() = default;
    ~ListingChanges() { Drop(); }
    ListingChanges(const ListingChanges&) = delete;
    ListingChanges& operator=(const ListingChanges&) = delete;

    // An operation starts in `in` (no trailing backslash).
    void Begin(const char* in);
    // `name` (the real name) is a child of the folder: gone, or landed (its
    // record is to be asked for again). Without memory for it, the record
    // is unsure.
    void Note(Kind kind, const WCHAR* name);
    // A phone path the operation made something at: the child of the
    // folder it lies in, if any, landed.
    void NoteLandedAt(const WCHAR* phonePath);
    void Unsure() { unsure = true; }
    bool Any() const { return unsure || count > 0; }
    // Adds `from`'s changes after these; an operation in another folder
    // makes the record unsure.
    void Append(const ListingChanges& from);
    void Drop();
};

// Whether two names of one phone folder name one entry: the phone tells
// names apart by their letters' Unicode upper case, as the PC does.
bool SameEntryName(const WCHAR* a, const WCHAR* b);
// The order the server lists a folder in when it sorts it: by upper case,
// then as spelled. Negative, 0 or positive.
int EntryNameOrder(const WCHAR* a, const WCHAR* b);

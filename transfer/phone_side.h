// What an operation on the phone works with, lent by the panel for one
// host call: the link, the panel's folder, and the stop request, which the
// host may set from another thread (Esc, a break) while the operation runs.
#pragma once

#include "listing_changes.h"
#include "status_text.h"

struct StopRequest {
    volatile LONG* flags;  // the panel's; StopAsked is the request

    bool Asked() const { return (*flags & StopAsked) != 0; }
    // An interlocked OR: a break set meanwhile on another thread is kept.
    void Ask() { InterlockedOr(flags, StopAsked); }
    // A new operation starts with no stop asked.
    void Clear() { InterlockedExchange(flags, 0); }
};

struct PhoneSide {
    PhoneLink& link;
    const char* folder;  // no trailing backslash; "" at the list of drives
    StopRequest stop;
};

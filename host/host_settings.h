// The user's own settings that FAR keeps for its copy and delete, which the
// plug-in follows too (it has no settings of its own).
#pragma once

#include "host_api.h"

struct HostSettings {
    DWORD shown;          // FIS_* bits
    DWORD confirmations;  // FCS_* bits

    bool TimeInfo() const { return (shown & host::FIS_SHOWCOPYINGTIMEINFO) != 0; }
    bool TotalIndicator() const
    {
        return (shown & host::FIS_SHOWTOTALCOPYPROGRESSINDICATOR) != 0;
    }
    // Whether an overwrite asks first: a move and a copy each have their own.
    bool ConfirmOverwrite(int move) const
    {
        return (confirmations & (move ? host::FCS_MOVEOVERWRITE : host::FCS_COPYOVERWRITE)) != 0;
    }
    bool ConfirmDelete() const { return (confirmations & host::FCS_DELETE) != 0; }
    bool ConfirmNonEmptyFolder() const
    {
        return (confirmations & host::FCS_DELETENONEMPTYFOLDERS) != 0;
    }
};

// Asks the host, each time: the user may change them between two operations.
// Off the host's main thread: no time line, no total, every confirmation on.
HostSettings ReadHostSettings();

// What every item of one copy or move shares, in both directions.
#pragma once

#include "progress_box.h"
#include "transfer_prompts.h"

struct CopyRun {
    PhonePanel& panel;
    int move;
    int opMode;
    ProgressBox progress;
    LeftBehind left;
    // Files taken from the phone and found whole where they went, when a
    // delete may follow: only these may be deleted after the copy.
    CopiedFiles* copied = nullptr;

    // Find File copies for its own reading: no box, no progress.
    bool Quiet() const { return (opMode & host::OPM_FIND) != 0; }
    ProgressFn Progress() const { return Quiet() ? NULL : CopyProgressCallback; }
    LONG Overwrite() const { return panel.HasFlag(OpFlag::OverwriteAll) ? 1 : 0; }
};

// One item of a copy or move and, for a folder, everything in it, between
// its full phone path and its full PC path.
int CopyItemFromPhone(CopyRun& run, host::PluginPanelItem* item, const WCHAR* source,
                      const WCHAR* target);
int CopyItemToPhone(CopyRun& run, host::PluginPanelItem* item, const WCHAR* local,
                    const WCHAR* phone);

// One file, from `source` to `target`; `direction` is the server's
// CopyFromPhone or CopyToPhone, which also says which side each path is on.
int CopyOneFile(CopyRun& run, host::PluginPanelItem* item, const WCHAR* source,
                const WCHAR* target, LONG direction);

// A destination typed in the copy dialog names a place on the phone unless
// it is an absolute PC path: a drive letter and a separator, or \\server.
bool NamesPlaceOnPhone(const char* destination);
// Copies or moves items of the panel's folder to `destination` on the phone,
// relative to that folder; a leading backslash starts at the drive's root.
int CopyOnPhone(PhonePanel& panel, host::PluginPanelItem* items, int count, int move,
                const char* destination, int opMode);

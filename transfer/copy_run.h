// What every item of one copy or move shares, in both directions: the
// phone side it works on, the box, what was left behind, and the answers
// that hold for the rest of the operation.
#pragma once

#include "host_settings.h"
#include "copied_files.h"
#include "phone_side.h"
#include "progress_box.h"
#include "transfer_prompts.h"

// A copy for the host's own reading (Find File, Quick View): it draws no
// box and no message of its own.
inline bool QuietCopy(int opMode)
{
    return (opMode & (host::OPM_FIND | host::OPM_QUICKVIEW)) != 0;
}

struct CopyRun {
    // `userSettings`: the user's settings as the operation starts.
    CopyRun(PhoneSide side, ListingChanges& folderChanges, int moves, int mode,
            const HostSettings& userSettings, CopiedFiles* copiedFiles = nullptr)
        : phone(side), changes(folderChanges), move(moves), opMode(mode), progress{}, left{},
          copied(copiedFiles), settings(userSettings)
    {
    }

    PhoneSide phone;
    // What the operation did to the entries of the phone side's folder.
    ListingChanges& changes;
    int move;
    int opMode;
    ProgressBox progress;
    LeftBehind left;
    // Files taken from the phone and found whole where they went, when a
    // delete may follow: only these may be deleted after the copy.
    CopiedFiles* copied;
    // A copy on the phone passes its items through a PC folder (narrow,
    // with its final backslash): its questions name where the item goes on
    // the phone instead, never that folder.
    const char* transit = nullptr;
    const char* phoneTarget = nullptr;
    // "Overwrite all", "skip all" at the overwrite question, "skip all" at
    // the error question: each holds until the operation ends.
    bool overwriteAll = false;
    bool skipAllExisting = false;
    bool skipAllErrors = false;
    // The box's lines, and whether an overwrite asks.
    HostSettings settings;

    // Draws the box, saying copy or move (`shownMove`: a copy on the phone
    // is a move to the user while each of its legs copies), and takes an
    // overwrite the user does not want to confirm as "overwrite all".
    void Start(int shownMove);
    // With the user's total indicator on, adds up the items first (a
    // folder by listing it once) and gives the box the operation's size;
    // OpCancelled when the user stopped the count. The items are the
    // phone's, in its folder, or with `localFolder` the PC's there; each
    // file passes `legs` times.
    int CountTotal(const host::PluginPanelItem* items, int count, const WCHAR* localFolder,
                   int legs);

    // Find File copies for its own reading, and Quick View fetches the file
    // under the cursor at every cursor move: no box, no progress. Quick View
    // asks nothing either: a file it can't fetch shows nothing there.
    bool Quiet() const { return QuietCopy(opMode); }
    bool Unasked() const { return (opMode & host::OPM_QUICKVIEW) != 0; }
    ProgressFn Progress() const { return Quiet() ? nullptr : CopyProgressCallback; }
    LONG Overwrite() const { return overwriteAll ? 1 : 0; }

    // The questions, as results: OpDone go ahead (overwrite, retry),
    // OpFailed skip, OpCancelled stop the operation (Esc too). An earlier
    // "skip all", or Quick View, answers skip without asking.
    int AskOverwrite(const char* targetName, const host::PluginPanelItem* item,
                     const host::FAR_FIND_DATA* existing);
    int AskError(const char* name, const char* destination, const char* reason,
                 bool retry = true);
    int AskError(const char* name, const char* destination, LONG status);
    // A lost link ends the operation: OpCancelled, said once when the
    // server is gone.
    int LinkEnded();
};

// While it lives, the run's questions all answer skip and nothing is
// overwritten; the answers the user gave come back at its end, for the
// operation's other items.
class SkipEverything {
public:
    explicit SkipEverything(CopyRun& copy)
        : run(copy), overwriteAll(copy.overwriteAll), skipAllExisting(copy.skipAllExisting),
          skipAllErrors(copy.skipAllErrors)
    {
        run.overwriteAll = false;
        run.skipAllExisting = run.skipAllErrors = true;
    }
    ~SkipEverything()
    {
        run.overwriteAll = overwriteAll;
        run.skipAllExisting = skipAllExisting;
        run.skipAllErrors = skipAllErrors;
    }
    SkipEverything(const SkipEverything&) = delete;
    SkipEverything& operator=(const SkipEverything&) = delete;

private:
    CopyRun& run;
    bool overwriteAll, skipAllExisting, skipAllErrors;
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
// Copies or moves items of the phone side's folder to `destination` on the
// phone, relative to that folder; a leading backslash starts at the
// drive's root.
int CopyOnPhone(PhoneSide phone, ListingChanges& changes, host::PluginPanelItem* items,
                int count, int move,
                const char* destination, int opMode);

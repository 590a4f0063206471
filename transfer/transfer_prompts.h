// The questions a copy or move asks: where to, overwrite or not, and what to
// do about a file that failed. Each answers with the button chosen; the
// operation keeps the answers that hold for the rest of it (CopyRun).
#pragma once

#include "host_api.h"

// The copy dialog; true when the user confirmed `destination` (512 bytes,
// edited in place).
bool AskCopyDestination(const host::PluginPanelItem* items, int count, int move,
                        char* destination);
// The buttons in their order; Esc, or a box the host could not show, is
// Cancel: the host's own copy ends on Esc, and nothing unconfirmed happens.
enum class OverwriteAnswer { Overwrite, OverwriteAll, Skip, SkipAll, Cancel };
OverwriteAnswer AskOverwrite(const char* targetName, const host::PluginPanelItem* newItem,
                             const host::FAR_FIND_DATA* existing);
// The buttons in their order; Esc, or a box the host could not show, is
// Cancel. The first line says why: `reason`. Without `retry` the question
// offers no Retry, for a failure a second try can't mend.
enum class ErrorAnswer { Retry, Skip, SkipAll, Cancel };
ErrorAnswer AskOnCopyError(const char* sourceName, const char* destinationName, int move,
                           const char* reason, bool retry = true);

// Entries of copied folders that could not be copied, counted over one
// operation and said once at its end.
struct LeftBehind {
    enum : unsigned {
        Names = 1,      // names that cannot be shown or used here
        TooLong = 2,    // paths longer than a host path
        InTheWay = 4,   // a file where a folder goes
    };
    int count;
    unsigned reasons;
    char folder[host::NM];  // the first folder not copied whole
};
void NoteLeftBehind(LeftBehind& left, const WCHAR* folder, int count, unsigned reason);
void TellLeftBehind(const LeftBehind& left);

// Says that the list of drives has no place for what was asked.
void RefuseAtDriveList();

// The questions a copy or move asks: where to, overwrite or not, and what to
// do about a file that failed. Answers that hold for the rest of the
// operation are kept as the panel's flags.
#pragma once

#include "phone_panel.h"

// The copy dialog; true when the user confirmed `destination` (512 bytes,
// edited in place).
bool AskCopyDestination(const host::PluginPanelItem* items, int count, int move,
                        char* destination);
// 1 overwrite, 0 skip, -1 cancel.
int AskOverwrite(PhonePanel& panel, const char* targetName, const host::PluginPanelItem* newItem,
                 const host::FAR_FIND_DATA* existing);
// 1 retry, 0 skip, -1 cancel.
int AskOnCopyError(PhonePanel& panel, const char* sourceName, const char* destinationName,
                   int move, LONG status);

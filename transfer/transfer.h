// Transfer layer: the operations that change files. Copy and move from the
// phone (copy_from_phone.cpp) and to it (copy_to_phone.cpp), delete
// (delete_items.cpp), make folder (make_directory.cpp); the progress box and
// the questions they ask (progress_box.h, transfer_prompts.h); the PC's
// folders and the one walk over them (local_folders.h: PcFolderSearch,
// WalkPcFolder), as the phone's folders have theirs (phone_walk.h); the
// owners that close what they open (transfer_guards.h). Esc is read by the
// host layer's one poller (EscWatch), paths are split and cut by its path
// builders.
//
// Each operation is a free function over what it needs (phone_side.h): the
// panel lends its link, its folder and its stop request, and knows nothing
// of the operations, so this layer sits above the panel and never the other
// way round. Each answers as the host expects (OpResult: -1 cancelled,
// 0 failed, 1 done).
#pragma once

#include "copied_files.h"
#include "phone_side.h"

// `copied`: the panel's record of what its last silent copy took. A silent
// copy fills it; the silent delete that ends a move takes only that, and
// empties it. `changes`: begun in the phone side's folder, each operation
// notes there what it did to that folder's entries (an item that failed or
// a stop makes it unsure), for the export to hand to the panel.
int GetFilesFromPhone(PhoneSide phone, CopiedFiles& copied, ListingChanges& changes,
                      host::PluginPanelItem* items, int count, int move, char* destPath,
                      int opMode);
int PutFilesToPhone(PhoneSide phone, ListingChanges& changes, host::PluginPanelItem* items,
                    int count, int move, int opMode);
int DeleteFilesOnPhone(PhoneSide phone, CopiedFiles& copied, ListingChanges& changes,
                       host::PluginPanelItem* items, int count, int opMode);
int MakeDirectoryOnPhone(PhoneSide phone, ListingChanges& changes, char* name, int opMode);

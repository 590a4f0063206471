// The host's own sequences that move a plug-in panel besides Enter, played as
// FAR 1.75 (build 2634) plays them: far/plugapi.cpp FarGetPluginDirList and
// ScanPluginDir (F3 on a folder, Quick View over one), far/findfile.cpp
// PreparePluginList, ScanPluginTree and SetPluginDirectory (Find File),
// far/filelist.cpp and far/ffolders.cpp (folder shortcuts), far/execute.cpp
// IntChDir with far/filelist.cpp ChangeDir (the command line's "cd").
//
// Each talks to the plug-in through its exports directly, as the host does;
// a host call the plug-in makes meanwhile reaches the emulator as ever.
#pragma once

#include "host_emulator.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace host_emu {

enum { OPEN_SHORTCUT = 6 };

// What FarGetPluginDirList gives its caller: every file and folder below
// `dir`, named by their paths under it, and the sums F3 and Quick View show.
struct DirList {
    bool ok = false;  // FALSE: the count failed (the size is not shown)
    std::vector<std::string> names;
    unsigned folders = 0, files = 0;
    unsigned long long bytes = 0;
};

// F3 on the folder item `dir` (Quick View moving onto it plays the same).
// `escape`, when given, is asked between folders as CheckForEscSilent looks
// at the console; true stops the count as a confirmed Esc does. FAR's box,
// "Preparing files list" over the folder's name, stands over the whole walk.
DirList GetPluginDirList(HostEmulator& host, HANDLE panel, const std::string& dir,
                         std::function<bool()> escape = nullptr);

// F3 on the file item `item`, or Quick View moving the cursor onto it
// (`quick`): far/filelist.cpp has PluginsSet::GetFile fetch it into a new
// empty folder, `folder`, with GetFiles(item, 1, 0, folder, OPM_SILENT |
// OPM_VIEW, and OPM_QUICKVIEW for Quick View), then looks there for a file.
// Answers that file's path; "" when there is none or GetFiles did not answer
// 1 (the host then deletes what it found).
std::string FetchToView(HostEmulator& host, HANDLE panel, const host::PluginPanelItem& item,
                        const std::string& folder, bool quick);

// Find File over a plug-in panel: from the root (also what "all drives" and
// "in the path list" do there) or from the current folder.
enum class FindFrom { Root, Current };
struct FindRun {
    FindFrom from = FindFrom::Root;
    // Set by another thread to stop the search, as Find's dialog does; read
    // between two plug-in calls.
    std::atomic<bool> stop{false};
    // Called with each folder's full name before it is entered: a test's
    // chance to act in the middle of the search.
    std::function<void(const std::string&)> onFolder;
    std::vector<std::string> found;  // every item seen, as "Sub\name"
    // A search for text fetches every file it meets, each into a new folder
    // made in this one, with GetFiles(OPM_SILENT | OPM_FIND) under the
    // mutex; empty: no fetch.
    std::string fetchInto;
    int fetched = 0;  // fetches that answered 1
};
// Runs the search on the calling thread: run it on a thread of its own to
// play FAR, which searches on a worker and keeps its main thread for the
// dialog (and the panels' GetOpenPluginInfo). Plug-in calls are made under
// `pluginMutex` (FAR's hPluginMutex), when given.
void FindFiles(HostEmulator& host, HANDLE panel, FindRun& run, HANDLE pluginMutex = nullptr);

// Find's "Go to" on `found`, one of a run's found items (from the root its
// path starts at the drive), as FAR plays it on its main thread once the
// search is over and the dialog closed: the panel's description; from the
// root, "\" under OPM_FIND; for each folder on the path, a read of the
// folder it is in and SetDirectory(folder, OPM_FIND); then the panel's
// Update (ReadPanel: the description twice, the read), the cursor put on the
// item and the panel drawn (FE_REDRAW, the description).
struct GoTo {
    bool read = false;     // the Update's read answered TRUE (FALSE closed the panel)
    PanelListing listing;  // what it read
    std::string cursor;    // the item GoToFile put the cursor on; empty: none found
    std::string curDir, panelTitle;  // as the panel is drawn after it
};
GoTo FindGoTo(HostEmulator& host, HANDLE panel, FindFrom from, const std::string& found);

// FAR's refresh after an operation on `panel` (far/flplugin.cpp PluginGetFiles,
// PluginPutFilesToAnother, PluginDelete ...): the panel's
// Update(UPDATE_KEEP_SELECTION) (ReadPanel: the description twice, the
// read) and Redraw (FE_REDRAW, the description), then the same for the
// other panel when it is a plug-in's, `other` (null: a file panel). Answers
// whether the panel's read answered TRUE; `otherRead` gets the other's.
bool RefreshAfterOperation(HostEmulator& host, HANDLE panel, PanelListing& read,
                           HANDLE other = nullptr, PanelListing* otherRead = nullptr);
// Ctrl+R: far/filelist.cpp hands the key to the plug-in's ProcessKey first
// (SendKeyToPlugin: 'R' with PKF_CONTROL); unless it takes the key, the
// panel's Update and Redraw. Answers whether the read answered TRUE.
bool CtrlR(HostEmulator& host, HANDLE panel, PanelListing& read);

// A folder shortcut: what Ctrl+Shift+digit keeps of a plug-in panel.
struct FolderShortcut {
    std::string curDir, shortcutData;
};
FolderShortcut SaveShortcut(HostEmulator& host, HANDLE panel);
// RightCtrl+digit: OpenPlugin(OPEN_SHORTCUT, data), SetDirectory(saved
// CurDir, 0), then the panel's read. INVALID_HANDLE_VALUE when it did not
// open; the panel is then the host's to close.
HANDLE OpenShortcut(HostEmulator& host, const FolderShortcut& shortcut, PanelListing* read = nullptr);

// "cd <typed>" on the command line over the plug-in's panel: the drive
// letter upper-cased, SetDirectory(typed, 0), the panel read again. Answers
// SetDirectory's result; ".." at the drive list closes the panel instead.
int CommandLineCd(HostEmulator& host, HANDLE panel, const std::string& typed,
                  PanelListing* read = nullptr);

}  // namespace host_emu

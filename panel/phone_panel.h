// Panel subsystem. It owns the panel object the host holds as its plug-in
// handle: opening and closing it with its link, navigation and the panel's
// description (phone_panel.cpp), the listing of drives and folders
// (panel_listing.cpp). The transfers (transfer/) are operations of the same
// object, split into files by operation.
#pragma once

#include "host_api.h"
#include "phone_link.h"

// Bits of PhonePanel::opFlags.
enum : LONG {
    Abort = 1,            // Esc or break: the running copy stops
    OverwriteAll = 2,     // replace every further existing destination
    SkipAllExisting = 4,  // skip every further existing destination
    SkipAllErrors = 8,    // skip every further failed file without asking
};

// Indexes of PhonePanel::progressLines, in display order.
enum {
    ProgressTitle,
    ProgressAction,
    ProgressSource,
    ProgressTo,
    ProgressTarget,
    ProgressBar,
    ProgressSeparator,
    ProgressCounter,
    ProgressLineCount
};

// Texts the progress box and the prompts point at: a line the host draws as
// a rule across the box, and the empty line.
extern const char SeparatorLine[];
extern const char EmptyText[];

class PhonePanel {
public:
    PhonePanel();
    virtual ~PhonePanel();

    // Opening and closing; the handle the host holds is the panel itself.
    static HANDLE OpenPlugin(int openFrom, INT_PTR item);
    static void ClosePlugin(HANDLE handle);

    // Navigation and description (phone_panel.cpp).
    int SetDirectory(const char* name, int opMode);
    void GetOpenPluginInfo(host::OpenPluginInfo* info);
    int ProcessKey(int key, unsigned int controlState);
    int ProcessEvent(int event, void* param);
    static void FormatGrouped(LONGLONG value, char* text, int size);

    // Listing (panel_listing.cpp).
    int GetFindData(host::PluginPanelItem** items, int* count, int opMode);
    void FreeFindData(host::PluginPanelItem* items, int count);
    int ListDirectory(host::PluginPanelItem** items, int* count, int opMode, const WCHAR* path);
    void RefreshVolume();

    // Progress and prompts (transfer/progress_prompts.cpp).
    int BeginProgress(int move);
    int ShowProgress(int percent);
    bool AskCopyDestination(const host::PluginPanelItem* items, int count, int move,
                            char* destination);
    int AskOverwrite(const char* targetName, const host::PluginPanelItem* newItem,
                     const host::FAR_FIND_DATA* existing);
    int AskOnCopyError(const char* sourceName, const char* destinationName, int move,
                       LONG status);

    // Copy from the phone (transfer/copy_from_phone.cpp).
    int GetFiles(host::PluginPanelItem* items, int count, int move, char* destPath, int opMode);
    int CopyItemFromPhone(host::PluginPanelItem* item, int move, const char* phoneDir,
                          const char* destPath, int opMode);

    // Copy to the phone (transfer/copy_to_phone.cpp).
    int PutFiles(host::PluginPanelItem* items, int count, int move, int opMode);
    int CopyItemToPhone(host::PluginPanelItem* item, int move, const char* localDir,
                        const char* phoneDir, int opMode);

    // Delete and make folder (transfer/delete_items.cpp, transfer/make_directory.cpp).
    int DeleteFiles(host::PluginPanelItem* items, int count, int opMode);
    int DeleteItem(const host::PluginPanelItem* item, const char* parentPath, int opMode);
    int MakeDirectory(char* name, int opMode);

    bool HasFlag(LONG bit) const { return (opFlags & bit) != 0; }
    bool KeysDue();
    // The break event may come on another thread while a prompt sets its own
    // bit on the host's: an interlocked OR loses neither.
    void SetFlag(LONG bit) { InterlockedOr(&opFlags, bit); }

    char curDir[host::NM];     // no trailing backslash; empty at the drive list
    char panelTitle[324];
    PhoneLink link;
    volatile LONG opFlags;
    const char* progressLines[ProgressLineCount];
    char counterText[40];
    int doneCount;
    host::InfoPanelLine infoLines[4];
    remote::RemoteVolume volume;

    enum { KeyReadInterval = 20 };  // ms between two looks at the console's keys
    DWORD keysReadAt;               // tick of the last look; 0: none yet
};

// The progress function handed to FileCopy, with the panel as its context.
int CopyProgressCallback(int percent, void* context);

// True for a name that addresses a child of its folder and nothing else: not
// empty, not "." or "..", no separators, drive colons or wildcards.
bool IsPlainName(const char* name);

bool IsLocalDirectory(const char* path);
bool MakeLocalDirectory(const char* path);

// What the panel shows: the phone's drives at the top, a folder's entries
// below; and the drive figures for the information panel.
#include "phone_panel.h"

#include "code_page.h"
#include "host_ui.h"

#include <cstdlib>
#include <cstring>

using namespace host;
using namespace remote;

enum { GrowthStep = 11 };

// Owns a listing array until it is handed on, so every early return frees it.
struct ItemArray {
    PluginPanelItem* items = NULL;
    int count = 0;
    int capacity = 0;

    ~ItemArray() { free(items); }
    PluginPanelItem* Release()
    {
        PluginPanelItem* out = items;
        items = NULL;
        return out;
    }
    PluginPanelItem* Add()
    {
        if (count == capacity) {
            int grown = capacity + GrowthStep;
            void* block = realloc(items, (size_t)grown * sizeof(PluginPanelItem));
            if (!block) return NULL;
            items = (PluginPanelItem*)block;
            capacity = grown;
        }
        PluginPanelItem* item = &items[count];
        memset(item, 0, sizeof(*item));
        return item;
    }
};

// Closes an open enumeration on the phone once, on every way out.
struct DirHandleGuard {
    PhoneLink& link;
    DWORD handle;
    ~DirHandleGuard() { link.DirClose(handle); }
};

int PhonePanel::ListDirectory(PluginPanelItem** items, int* count, int opMode, const WCHAR* path)
{
    DWORD handle = 0;
    if (link.DirOpen(path, &handle) != StatusOk) return 0;
    DirHandleGuard close = {link, handle};

    ItemArray list;
    RemoteEntry entry;
    LONG status;
    int hidden = 0;
    while ((status = link.DirRead(handle, &entry)) == StatusOk) {
        PluginPanelItem* item = list.Add();
        if (!item) {
            status = StatusNotAccepted;
            break;
        }
        // The phone is outside input: an entry that is not a plain child of
        // this folder (or whose name did not convert exactly) must reach
        // neither the panel nor the recursive copy and delete, or they would
        // act outside the place the user chose.
        int converted = ConvertEntry(&entry, item);
        if (IsPlainName(item->FindData.cFileName)) ++list.count;
        else if (!converted) ++hidden;
    }
    if (status != StatusEndOfList) return 0;

    // The panel's own listing says how many names it could not show.
    if (!(opMode & OPM_FIND)) hiddenNames = hidden;

    *count = list.count;
    *items = list.count ? list.Release() : NULL;
    return 1;
}

int PhonePanel::GetFindData(PluginPanelItem** items, int* count, int opMode)
{
    RefreshVolume();
    if (!(opMode & OPM_FIND)) hiddenNames = 0;

    if (!curDir[0]) {
        DWORD mask = 0;
        if (link.DriveList(&mask) != StatusOk) return 0;
        int drives = 0;
        for (int bit = 0; bit < 32; ++bit)
            if (mask & (1u << bit)) ++drives;

        PluginPanelItem* list = (PluginPanelItem*)calloc(drives ? drives : 1, sizeof(*list));
        if (!list) return 0;
        int n = 0;
        for (int bit = 0; bit < 32; ++bit) {
            if (!(mask & (1u << bit))) continue;
            list[n].FindData.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
            list[n].FindData.cFileName[0] = (char)('A' + bit);
            list[n].FindData.cFileName[1] = ':';
            ++n;
        }
        *items = list;
        *count = n;
        return 1;
    }

    // Room for the converted folder and the backslash that ends a listing path.
    WCHAR path[262];
    int units = NarrowToWide(curDir, path, 261);
    if (units == 0) return 0;
    path[units - 1] = L'\\';
    path[units] = 0;
    return ListDirectory(items, count, opMode, path);
}

void PhonePanel::FreeFindData(PluginPanelItem* items, int count) { free(items); }

void PhonePanel::RefreshVolume()
{
    if (!curDir[0]) {
        volume.validMark = 0;
    } else {
        char letter = curDir[0];
        if (letter >= 'a' && letter <= 'z') letter = (char)(letter - 'a' + 'A');
        if (link.VolumeInfo(letter - 'A', &volume) != StatusOk) volume.validMark = 0;
    }

    // Keep an information panel on the other side in step with the record.
    PanelInfo other;
    memset(&other, 0, sizeof(other));
    if (startupInfo.Control(INVALID_HANDLE_VALUE, FCTL_GETANOTHERPANELSHORTINFO, &other) &&
        other.PanelType == PTYPE_INFOPANEL)
        startupInfo.Control(INVALID_HANDLE_VALUE, FCTL_UPDATEANOTHERPANEL, (void*)1);
}

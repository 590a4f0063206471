// The pass that adds up a copy before it starts, for the user's total
// indicator: files by their listed sizes, folders by one listing each.
#include "copy_run.h"
#include "timings.h"

#include "bounded_string.h"
#include "host_ui.h"
#include "local_folders.h"
#include "message_ids.h"
#include "path_builders.h"
#include "phone_walk.h"

#include <cstdio>

using namespace host;

namespace {

struct Tally {
    CopyRun& run;
    int files;
    unsigned __int64 bytes;
    DWORD drawnAt;     // 0: not drawn yet
    EscWatch keys;
    int reading;       // entries of the folder being listed; -1: none
};

unsigned __int64 SizeOf(DWORD high, DWORD low) { return (unsigned __int64)high << 32 | low; }

//   ╔═ Adding up ═══════════════════════╗
//   ║ 12 files, 3.4 MB                  ║
//   ║ Reading the folder: 96 entries    ║  while a folder is listed
//   ╚═══════════════════════════════════╝
// Drawn a few times a second at most; true once the user stopped the count
// (Esc here, a break, or a wait for the phone given up).
bool Stopped(Tally& t)
{
    DWORD now = GetTickCount();
    if (!t.drawnAt || Elapsed(now, t.drawnAt) >= timing::CountDrawMs) {
        t.drawnAt = now | 1;
        char size[40], line[100], reading[80];
        FormatAmount(size, sizeof(size), t.bytes, false);
        snprintf(line, sizeof(line), GetMsg(MCounted), t.files, size);
        if (t.reading > 0) FormatCount(reading, sizeof(reading), MReadingFolder, t.reading);
        const MsgItem lines[] = {MCountingTitle, TextItem(line), TextItem(reading)};
        ShowMessage(0, nullptr, lines, t.reading > 0 ? 3 : 2, 0);
    }
    if (t.keys.Typed()) t.run.phone.stop.Ask();
    return t.run.phone.stop.Asked() || t.run.phone.link.Loss() == LinkAbandoned;
}

// A folder that can't be listed adds nothing: the copy itself says what
// went wrong there.
int CountPhoneFolder(Tally& t, const WCHAR* folder)
{
    // Between two hand-overs of the listing the box counts its entries.
    auto reading = WatchListing([&](int entries) {
        t.reading = entries;
        return !Stopped(t);
    });
    return WalkPhoneFolder(t.run.phone.link, folder, nullptr, &reading,
                           [&](PluginPanelItem& entry, const WCHAR* path) {
        t.reading = -1;
        if (Stopped(t)) return (int)OpCancelled;
        if (!path) return (int)OpDone;
        if (entry.FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return CountPhoneFolder(t, path) == OpCancelled ? (int)OpCancelled : (int)OpDone;
        ++t.files;
        t.bytes += SizeOf(entry.FindData.nFileSizeHigh, entry.FindData.nFileSizeLow);
        return (int)OpDone;
    });
}

int CountLocalFolder(Tally& t, const WCHAR* folder)
{
    int result = WalkPcFolder(folder, [&](const WIN32_FIND_DATAW& found, const WCHAR* path) {
        if (Stopped(t)) return (int)OpCancelled;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            bool stopped = path && CountLocalFolder(t, path) == OpCancelled;
            return stopped ? (int)OpCancelled : (int)OpDone;
        }
        ++t.files;
        t.bytes += SizeOf(found.nFileSizeHigh, found.nFileSizeLow);
        return (int)OpDone;
    });
    // A folder that can't be searched adds nothing, as on the phone.
    return result == OpCancelled ? OpCancelled : OpDone;
}

}  // namespace

int CopyRun::CountTotal(const PluginPanelItem* items, int count, const WCHAR* localFolder,
                        int legs)
{
    if (!settings.TotalIndicator() || Quiet()) return OpDone;
    Tally t = {*this, 0, 0, 0, {}, -1};
    for (int i = 0; i < count; ++i) {
        const FAR_FIND_DATA& data = items[i].FindData;
        if (Stopped(t)) return OpCancelled;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ++t.files;
            t.bytes += SizeOf(data.nFileSizeHigh, data.nFileSizeLow);
            continue;
        }
        WCHAR path[NM];
        int r = OpDone;
        if (localFolder) {
            WCHAR name[NM];
            if (FindLocalEntry(localFolder, data.cFileName, data.cAlternateFileName, path, name) ==
                LocalFound)
                r = CountLocalFolder(t, path);
        } else if (PhoneEntryPath(path, phone.folder, items[i])) {
            r = CountPhoneFolder(t, path);
        }
        if (r == OpCancelled) return OpCancelled;
    }
    SetProgressTotal(progress, t.files, t.bytes * legs);
    ShowProgress(progress, 0);
    return OpDone;
}

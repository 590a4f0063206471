// Folders shown under stand-ins: the record of those the listings met, and
// the real phone path of a folder as the panel holds it (narrow, stand-ins
// and all).
#include "phone_listing.h"

#include "bounded_string.h"
#include "code_page.h"
#include "listing_changes.h"
#include "path_builders.h"

#include <cstdlib>
#include <cstring>

using namespace host;
using namespace remote;

namespace {

// A folder a listing showed under a stand-in: its parent's real path (no
// trailing backslash), the stand-in, and its real name.
struct StandInFolder {
    WCHAR parent[NM];
    WCHAR shown[NM];  // the stand-in, as the code page reads it
    WCHAR real[NM];
};

// Every listing of every thread (FAR's main thread, Find's worker) writes
// here and every path is read from here, under `lock`; the latest listing
// of a folder replaces what earlier ones said of it. The oldest record
// makes room for a new one: a folder it named is found again by listing
// its parent (LearnFolderPath).
enum { MaxStandInFolders = 1024 };
SRWLOCK lock = SRWLOCK_INIT;
StandInFolder* records = nullptr;
int used = 0, oldest = 0;

struct Held {
    bool exclusive;
    explicit Held(bool write) : exclusive(write)
    {
        if (write) AcquireSRWLockExclusive(&lock);
        else AcquireSRWLockShared(&lock);
    }
    ~Held()
    {
        if (exclusive) ReleaseSRWLockExclusive(&lock);
        else ReleaseSRWLockShared(&lock);
    }
};

// The real name of the folder shown as `part` in `parent`, into `out`; the
// host compares names case-insensitively, as the phone does.
bool RecordedName(const WCHAR* parent, const char* part, WCHAR* out)
{
    WCHAR shown[NM];
    if (!NarrowToWide(part, shown, NM)) return false;
    Held held(false);
    for (int i = 0; i < used; ++i)
        if (SameEntryName(records[i].shown, shown) && SameEntryName(records[i].parent, parent))
            return CopyBoundedWide(out, records[i].real, NM);
    return false;
}

}  // namespace

void NoteStandInFolders(const WCHAR* path, const ListingItems& list)
{
    bool any = false;
    for (int i = 0; i < list.count && !any; ++i)
        any = HasStandIn(list.items[i]) &&
              (list.items[i].FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    WCHAR parent[NM];
    if (!CopyBoundedWide(parent, path, NM)) return;
    size_t length = wcslen(parent);
    if (length > 2 && parent[length - 1] == L'\\') parent[length - 1] = 0;

    Held held(true);
    if (!records && !any) return;
    for (int i = 0; i < used;) {
        if (!SameEntryName(records[i].parent, parent)) {
            ++i;
            continue;
        }
        records[i] = records[--used];
    }
    if (!any) return;
    if (!records) {
        records = (StandInFolder*)malloc(MaxStandInFolders * sizeof(StandInFolder));
        if (!records) return;
    }
    for (int i = 0; i < list.count; ++i) {
        const PluginPanelItem& item = list.items[i];
        if (!HasStandIn(item) || !(item.FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        int at = used;
        if (used < MaxStandInFolders) {
            ++used;
        } else {
            at = oldest;
            oldest = (oldest + 1) % MaxStandInFolders;
        }
        StandInFolder& record = records[at];
        CopyBoundedWide(record.parent, parent, NM);
        if (!NarrowToWide(item.FindData.cFileName, record.shown, NM) ||
            !ItemRealName(item, record.real, NM))
            record.shown[0] = 0;  // names nothing
    }
}

bool PhoneFolderPath(const char* folder, WCHAR* out)
{
    out[0] = 0;
    const char* p = folder;
    for (;;) {
        char part[NM];
        const char* end = NextPathPart(p, "\\", part, NM);
        if (!end) return false;
        WCHAR real[NM];
        bool known = out[0] && RecordedName(out, part, real);
        if (!(known ? AppendWideName(out, NM, real) : AppendWideName(out, NM, part))) return false;
        if (!*end) return true;
        p = end + 1;
    }
}

bool LearnFolderPath(PhoneLink& link, const char* folder)
{
    char parent[NM];
    const char* last = LastSeparator(folder);
    if (!last || !CopyBounded(parent, folder, (int)(last - folder) + 1)) return false;
    if (LastSeparator(parent) && !LearnFolderPath(link, parent)) return false;
    // A stand-in is never another entry's own name: a part the phone has
    // under that very name is that entry.
    WCHAR path[NM];
    RemoteEntry entry;
    if (PhoneFolderPath(folder, path) && link.EntryInfo(path, &entry) == StatusOk) return true;
    WCHAR listed[NM];
    ListingItems listing;
    return ListingPath(parent, listed) &&
           ListPhoneFolder(link, &listing.items, &listing.count, listed) == StatusOk &&
           PhoneFolderPath(folder, path) && link.EntryInfo(path, &entry) == StatusOk;
}

// Turning the server's entries into the panel's items: their own names where
// the narrow code page spells them, stand-ins where it does not, and which
// names a folder holds at all.
#include "phone_listing.h"

#include "bounded_string.h"
#include "code_page.h"
#include "path_builders.h"

#include <cstddef>
#include <cstring>

using namespace host;
using namespace remote;

// The narrow code page, but UTF-8 where the process runs on it: it spells
// every name, and the platform refuses the exactness checks for it.
static UINT NamesCodePage()
{
    UINT codePage = NarrowCodePage();
    if (GetACP() == CP_UTF8 && codePage == CP_ACP) codePage = CP_UTF8;
    return codePage;
}

// The length of a field of at most `units` UTF-16 units; -1 without a
// terminator (the server is outside input: such a field is no name).
static int FieldLength(const WCHAR* field, int units)
{
    int len = 0;
    while (len < units && field[len]) ++len;
    return len == units ? -1 : len;
}

// Converts a field into `out`; a name the narrow code page cannot spell
// exactly would name some other file on the PC, so it leaves an empty text
// and reports failure.
static bool ConvertName(const WCHAR* field, int units, char* out, int size)
{
    out[0] = 0;
    int len = FieldLength(field, units);
    if (len < 0) return false;
    if (len == 0) return true;
    BOOL usedDefault = FALSE;
    UINT codePage = NamesCodePage();
    bool utf8 = codePage == CP_UTF8;
    int n = WideCharToMultiByte(codePage, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, field, len + 1, out,
                                size, nullptr, utf8 ? nullptr : &usedDefault);
    if (n == 0 || usedDefault) {
        out[0] = 0;
        return false;
    }
    return true;
}

int ConvertEntry(const RemoteEntry* entry, PluginPanelItem* item)
{
    FAR_FIND_DATA& data = item->FindData;
    memset(&data, 0, sizeof(data));

    bool nameOk = ConvertName(entry->name, 256, data.cFileName, sizeof(data.cFileName));
    bool shortOk = ConvertName(entry->shortName, 272, data.cAlternateFileName,
                               sizeof(data.cAlternateFileName));

    data.dwFileAttributes = entry->attributes;
    data.ftLastWriteTime = entry->lastWriteTime;
    data.nFileSizeLow = entry->size;
    return nameOk && shortOk ? 1 : 0;
}

// --- the real name a stand-in carries ---------------------------------------

// The block UserData points to. The host copies it by its first DWORD into
// every later item array (PPIF_USERDATA); the mark tells Kelp's own blocks
// from whatever else a host may hand back.
struct RealNameBlock {
    DWORD size;
    DWORD mark;
    WCHAR name[1];
};
enum : DWORD { RealNameMark = 0x4B6C524E };

static const RealNameBlock* RealNameOf(const PluginPanelItem& item)
{
    if (!(item.Flags & PPIF_USERDATA) || !item.UserData) return nullptr;
    const RealNameBlock* block = (const RealNameBlock*)item.UserData;
    DWORD head = offsetof(RealNameBlock, name);
    if (block->size < head + sizeof(WCHAR) || block->size > head + NM * sizeof(WCHAR) ||
        block->mark != RealNameMark)
        return nullptr;
    int units = (int)((block->size - head) / sizeof(WCHAR));
    return FieldLength(block->name, units) > 0 ? block : nullptr;
}

bool HasStandIn(const PluginPanelItem& item)
{
    return RealNameOf(item) != nullptr;
}

bool ItemRealName(const PluginPanelItem& item, WCHAR* out, int size)
{
    const RealNameBlock* block = RealNameOf(item);
    if (!block) return NarrowToWide(item.FindData.cFileName, out, size) != 0;
    int len = (int)wcslen(block->name);
    if (len >= size) {
        out[0] = 0;
        return false;
    }
    memcpy(out, block->name, (len + 1) * sizeof(WCHAR));
    return true;
}

bool PhoneEntryPath(WCHAR* out, const char* folder, const PluginPanelItem& item)
{
    WCHAR name[NM];
    if (!ItemRealName(item, name, NM) || !PhoneFolderPath(folder, out)) {
        out[0] = 0;
        return false;
    }
    return AppendWideName(out, NM, name);
}

void FreeListing(PluginPanelItem* items, int count)
{
    if (!items) return;
    for (int i = 0; i < count; ++i)
        if (items[i].Flags & PPIF_USERDATA) free((void*)items[i].UserData);
    free(items);
}

// --- names a folder holds -----------------------------------------------------

bool IsPlainName(const char* name)
{
    if (!name[0]) return false;  // also a name that did not convert exactly
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return false;
    // By characters: a double-byte name whose second byte is 0x5C is no path.
    return FindAnyOf(name, "\\/:*?") == nullptr;
}

bool IsPlainName(const WCHAR* name)
{
    if (!name[0] || IsDotName(name)) return false;
    for (const WCHAR* c = name; *c; ++c)
        if (*c < 0x20 || wcschr(L"\\/:*?", *c)) return false;
    return true;
}

bool IsDotName(const WCHAR* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// --- stand-ins ----------------------------------------------------------------

// A name as FAR compares names: case-insensitively. Folded to upper case in
// UTF-16 (empty for a name that does not convert); answers its hash, whose
// low bits place it in the table.
static DWORD FoldName(const char* name, WCHAR* folded)
{
    int n = MultiByteToWideChar(NamesCodePage(), 0, name, -1, folded, NM);
    if (n <= 1) n = 1;
    folded[n - 1] = 0;
    CharUpperBuffW(folded, n - 1);
    DWORD hash = 2166136261u;
    for (int i = 0; i < n - 1; ++i) hash = (hash ^ folded[i]) * 16777619u;
    return hash ^ (hash >> 16);
}

bool FolderNames::Grow()
{
    int grownSize = size ? size * 2 : 64;
    Slot* grown = (Slot*)malloc((size_t)grownSize * sizeof(Slot));
    if (!grown) return false;
    for (int i = 0; i < grownSize; ++i) grown[i].index = -1;
    for (int i = 0; i < size; ++i) {
        if (slots[i].index < 0) continue;
        int at = (int)(slots[i].hash & (DWORD)(grownSize - 1));
        while (grown[at].index >= 0) at = (at + 1) & (grownSize - 1);
        grown[at] = slots[i];
    }
    free(slots);
    slots = grown;
    size = grownSize;
    return true;
}

bool FolderNames::Build(const ListingItems& list)
{
    listing = &list;
    for (int i = 0; i < list.count; ++i)
        if (list.items[i].FindData.cFileName[0] && !Add(i)) return false;
    return true;
}

bool FolderNames::Add(int index)
{
    // A second own name of the same letters (the phone would not list one)
    // needs no entry: the first answers for both.
    return Claim(index, listing->items[index].FindData.cFileName) >= 0;
}

int FolderNames::Claim(int index, const char* name)
{
    WCHAR folded[NM];
    DWORD hash = FoldName(name, folded);
    if (Find(folded, hash) >= 0) return 0;
    if ((used + 1) * 2 > size && !Grow()) return -1;
    int at = (int)(hash & (DWORD)(size - 1));
    while (slots[at].index >= 0) at = (at + 1) & (size - 1);
    slots[at].hash = hash;
    slots[at].index = index;
    ++used;
    return 1;
}

int FolderNames::Find(const char* name) const
{
    WCHAR folded[NM];
    DWORD hash = FoldName(name, folded);
    return Find(folded, hash);
}

int FolderNames::Find(const WCHAR* folded, DWORD hash) const
{
    if (!size) return -1;
    WCHAR other[NM];
    for (int at = (int)(hash & (DWORD)(size - 1)); slots[at].index >= 0;
         at = (at + 1) & (size - 1)) {
        if (slots[at].hash != hash) continue;
        FoldName(listing->items[slots[at].index].FindData.cFileName, other);
        if (wcscmp(folded, other) == 0) return slots[at].index;
    }
    return -1;
}

enum { Placeholder = '_' };

// The stand-in's letters: each character of `name` as the code page's best
// fit spells it where that is a plain letter of a name, the placeholder for
// the rest (no fit, a control character, a separator or a wildcard). Whole
// characters only, up to `room` bytes.
static void FitLetters(const WCHAR* name, char* out, int room)
{
    UINT codePage = NamesCodePage();
    int len = 0;
    for (const WCHAR* c = name; *c;) {
        int units = IS_HIGH_SURROGATE(c[0]) && IS_LOW_SURROGATE(c[1]) ? 2 : 1;
        char fit[8];
        BOOL usedDefault = FALSE;
        // Every code page names spell ASCII as it is: no call for it.
        int n = *c < 0x80 ? (fit[0] = (char)*c, 1)
                : units == 1 ? WideCharToMultiByte(codePage, 0, c, 1, fit, sizeof(fit), nullptr,
                                                   codePage == CP_UTF8 ? nullptr : &usedDefault)
                             : 0;
        if (n <= 0 || usedDefault || (n == 1 && ((unsigned char)fit[0] < 0x20 ||
                                                 strchr("\\/:*?\"<>|", fit[0])))) {
            fit[0] = (char)Placeholder;
            n = 1;
        }
        if (len + n > room) break;
        memcpy(out + len, fit, n);
        len += n;
        c += units;
    }
    out[len] = 0;
    if (!IsPlainName(out)) memset(out, Placeholder, len);  // "." or ".." of fitted letters
}

// The stand-in with a mark of the real name before its extension
// ("Caf_~3F2A.txt"): the same real name gets the same mark on every read.
// Four digits tell apart a folder's usual handful of names that fit alike;
// past the first tries the mark takes eight, so a folder of more such names
// than four digits can hold still names every one.
enum { ShortMarkTries = 16 };
static void MarkedName(const char* fitted, const WCHAR* real, DWORD salt, char* out, int size)
{
    DWORD hash = 2166136261u ^ salt;
    for (const WCHAR* c = real; *c; ++c) hash = (hash ^ *c) * 16777619u;
    char mark[12];
    if (salt < ShortMarkTries) wsprintfA(mark, "~%04X", (unsigned)((hash ^ (hash >> 16)) & 0xFFFF));
    else wsprintfA(mark, "~%08X", (unsigned)hash);
    const char* dot = strrchr(fitted, '.');
    if (!dot || dot == fitted) dot = fitted + strlen(fitted);
    int stem = (int)(dot - fitted);
    int tail = (int)strlen(dot);
    int markLen = (int)strlen(mark);
    if (stem + markLen + tail >= size) stem = size - 1 - markLen - tail;
    if (stem < 0) {  // an extension that leaves no room: the mark alone
        stem = 0;
        tail = 0;
    }
    // Cut by whole characters of the code page.
    int cut = 0;
    for (const char* p = fitted; p < fitted + stem;) {
        const char* next = CharNextExA((WORD)NamesCodePage(), p, 0);
        if (next == p || next > fitted + stem) break;
        p = next;
        cut = (int)(p - fitted);
    }
    memcpy(out, fitted, cut);
    memcpy(out + cut, mark, markLen);
    memcpy(out + cut + markLen, dot, tail);
    out[cut + markLen + tail] = 0;
}

// Names list.items[index], which carries its real name: its fitted letters
// when no name of the folder is so, else those marked by its real name.
static bool GiveStandIn(ListingItems& list, FolderNames& taken, int index)
{
    PluginPanelItem& item = list.items[index];
    const WCHAR* real = ((const RealNameBlock*)item.UserData)->name;
    char fitted[NM], name[NM];
    FitLetters(real, fitted, NM - 1);
    CopyBounded(name, fitted, NM);
    for (DWORD salt = 0;; ++salt) {
        int claimed = taken.Claim(index, name);
        if (claimed < 0) return false;
        if (claimed) break;
        MarkedName(fitted, real, salt, name, sizeof(item.FindData.cFileName));
    }
    memcpy(item.FindData.cFileName, name, strlen(name) + 1);
    return true;
}

int AddListingEntry(ListingItems& list, const RemoteEntry* entry, int* pending)
{
    int len = FieldLength(entry->name, 256);
    // "." and ".." name no entry; the rest that is no plain child would
    // reach outside the place the user chose.
    if (len <= 0 || !IsPlainName(entry->name)) return EntryLeftOut;
    PluginPanelItem* item = list.Add();
    if (!item) return EntryNoMemory;
    ConvertEntry(entry, item);
    if (!item->FindData.cFileName[0]) {
        DWORD size = (DWORD)(offsetof(RealNameBlock, name) + (len + 1) * sizeof(WCHAR));
        RealNameBlock* block = (RealNameBlock*)malloc(size);
        if (!block) return EntryNoMemory;
        block->size = size;
        block->mark = RealNameMark;
        memcpy(block->name, entry->name, (len + 1) * sizeof(WCHAR));
        item->UserData = (DWORD_PTR)block;
        item->Flags |= PPIF_USERDATA;
        ++*pending;
    }
    ++list.count;
    return EntryAdded;
}

bool NameStandIns(ListingItems& list)
{
    FolderNames taken;
    if (!taken.Build(list)) return false;
    for (int i = 0; i < list.count; ++i)
        if (!list.items[i].FindData.cFileName[0] && !GiveStandIn(list, taken, i)) return false;
    return true;
}

int AddListingEntry(ListingItems& list, FolderNames& taken, const RemoteEntry* entry)
{
    int pending = 0;
    int added = AddListingEntry(list, entry, &pending);
    if (added != EntryAdded) return added;
    int index = list.count - 1;
    bool named = pending ? GiveStandIn(list, taken, index) : taken.Add(index);
    return named ? EntryAdded : EntryNoMemory;
}

// Copy and move from the phone to the PC: single files and whole trees.
#include "phone_panel.h"

#include "bounded_string.h"
#include "code_page.h"
#include "host_ui.h"
#include "transfer_guards.h"

#include <cstring>
#include <cwchar>

using namespace host;
using namespace remote;

// Converts `name` into the room left behind the text already in `path`.
static bool AppendConverted(WCHAR* path, int size, const char* name)
{
    int len = (int)wcslen(path);
    return NarrowToWide(name, path + len, size - len) != 0;
}

static bool EndsWithSlash(const char* path)
{
    size_t len = strlen(path);
    return len && (path[len - 1] == '\\' || path[len - 1] == '/');
}

static bool LastComponentHasWildcards(const char* path)
{
    const char* last = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') last = p + 1;
    return strpbrk(last, "*?") != NULL;
}

static bool IsExistingLocalDirectory(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int PhonePanel::GetFiles(PluginPanelItem* items, int count, int move, char* destPath, int opMode)
{
    char destination[512];
    CopyBounded(destination, destPath, sizeof(destination));
    standardFunctions.AddEndSlash(destination);

    if (!(opMode & OPM_SILENT) && !AskCopyDestination(items, count, move, destination))
        return -1;

    ScreenGuard screen(!(opMode & OPM_FIND));
    InterlockedExchange(&opFlags, 0);
    BeginProgress(move);

    int result = 1;
    for (int i = 0; i < count; ++i) {
        int r = CopyItemFromPhone(&items[i], move, curDir, destination, opMode);
        if (r == -1) return -1;
        if (r == 0) result = 0;
    }
    return result;
}

int PhonePanel::CopyItemFromPhone(PluginPanelItem* item, int move, const char* phoneDir,
                                  const char* destPath, int opMode)
{
    const char* name = item->FindData.cFileName;
    // A destination cut to fit would name another place: refuse it whole.
    if (strlen(destPath) >= NM || !IsPlainName(name)) return 0;

    // 1. The destination after the host's name generation: what a mask in
    // the destination's last component makes of this item's name. The host
    // writes it without a bound, so the buffer has room for mask and name.
    char generated[2 * NM];
    CopyBounded(generated, destPath, sizeof(generated));
    bool renamed = LastComponentHasWildcards(destPath) &&
                   standardFunctions.ProcessName(name, generated, PN_GENERATENAME);
    if (strlen(generated) >= NM) return 0;

    // 2. The phone source: folder, backslash, name.
    WCHAR source[NM];
    if (!NarrowToWide(phoneDir, source, NM)) return 0;
    AppendBoundedWide(source, L"\\", NM);
    if (!AppendConverted(source, NM, name)) return 0;

    // 3. The local target: inside a folder destination under the item's own
    // name, or the destination itself, or the name a mask generated.
    WCHAR target[NM];
    if (renamed) {
        if (!NarrowToWide(generated, target, NM)) return 0;
    } else {
        if (!NarrowToWide(destPath, target, NM)) return 0;
        if (EndsWithSlash(destPath)) {
            if (!AppendConverted(target, NM, name)) return 0;
        } else if (IsLocalDirectory(destPath)) {
            AppendBoundedWide(target, L"\\", NM);
            if (!AppendConverted(target, NM, name)) return 0;
        }
    }

    // 4. What the progress box names.
    char nameText[NM], targetText[NM];
    CopyBounded(nameText, name, sizeof(nameText));
    standardFunctions.TruncPathStr(nameText, 40);
    if (!WideToNarrow(target, targetText, sizeof(targetText))) return 0;
    standardFunctions.TruncPathStr(targetText, 40);
    ProgressNamesGuard names(*this, nameText, targetText);

    if (!(opMode & OPM_FIND)) ShowProgress(0);

    if (item->FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        char localDir[NM], phoneDirNarrow[NM];
        if (!WideToNarrow(target, localDir, sizeof(localDir))) return 0;
        if (!WideToNarrow(source, phoneDirNarrow, sizeof(phoneDirNarrow))) return 0;

        // An existing folder is merged into, as the other direction does.
        if (!MakeLocalDirectory(localDir) && !IsExistingLocalDirectory(localDir)) return 0;

        AppendBounded(localDir, "\\", sizeof(localDir));
        AppendBoundedWide(source, L"\\", NM);

        ListingGuard listing;
        if (!ListDirectory(&listing.items, &listing.count, OPM_FIND, source) ||
            listing.count == 0)
            return 0;

        int result = 1;
        for (int i = 0; i < listing.count; ++i) {
            int r = CopyItemFromPhone(&listing.items[i], move, phoneDirNarrow, localDir, opMode);
            if (r == -1) return -1;
            if (r == 0) result = 0;
        }
        if (move && result == 1 && link.DirRemove(source) != StatusOk) result = 0;
        return result;
    }

    ProgressFn progress = (opMode & OPM_FIND) ? NULL : CopyProgressCallback;
    LONG s = link.FileCopy(source, target, CopyFromPhone, HasFlag(OverwriteAll) ? 1 : 0,
                           progress, this);

    if (s == StatusExists) {
        if (HasFlag(SkipAllExisting)) return 0;
        char targetNarrow[NM];
        if (!WideToNarrow(target, targetNarrow, sizeof(targetNarrow))) return 0;
        WIN32_FIND_DATAA found;
        FindGuard search(FindFirstFileA(targetNarrow, &found));
        if (!search.IsOpen()) return 0;
        int answer = AskOverwrite(targetNarrow, item, (const FAR_FIND_DATA*)&found);
        if (answer == -1) return -1;
        if (answer != 1) return 0;
        s = link.FileCopy(source, target, CopyFromPhone, 1, progress, this);
        if (s == StatusCancelled) return -1;
        if (s != StatusOk) return 0;
    } else if (s == StatusCancelled) {
        return -1;
    } else {
        while (s != StatusOk) {
            if (HasFlag(SkipAllErrors)) return 0;
            int answer = AskOnCopyError(name, generated, move, s);
            if (answer == 0) return s == StatusCancelled ? -1 : 0;
            if (answer != 1) return -1;
            s = link.FileCopy(source, target, CopyFromPhone, HasFlag(OverwriteAll) ? 1 : 0,
                              progress, this);
        }
    }

    item->Flags &= ~PPIF_SELECTED;
    if (move) link.FileDelete(source);
    ++doneCount;
    return 1;
}

bool IsLocalDirectory(const char* path)
{
    WIN32_FIND_DATAA found;
    FindGuard search(FindFirstFileA(path, &found));
    return search.IsOpen() && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeLocalDirectory(const char* path)
{
    if (CreateDirectoryA(path, NULL)) return true;
    DWORD error = GetLastError();
    if (error != ERROR_PATH_NOT_FOUND && error != ERROR_FILE_NOT_FOUND) return false;

    // Scan by characters, so a double-byte character's second byte is never
    // taken for a backslash.
    const char* lastSlash = NULL;
    for (const char* p = path; *p; p = CharNextExA((WORD)NarrowCodePage(), p, 0))
        if (*p == '\\') lastSlash = p;
    if (!lastSlash) return false;

    char parent[NM];
    int length = (int)(lastSlash - path);
    if (length >= NM) return false;
    memcpy(parent, path, length);
    parent[length] = 0;
    if (!MakeLocalDirectory(parent)) return false;
    return CreateDirectoryA(path, NULL) != 0;
}

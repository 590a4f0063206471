// One file copied or moved, in either direction: the copy, the overwrite
// question, the error question, and for a move the original's removal once
// its copy is known to be there.
#include "copy_run.h"

#include "code_page.h"
#include "host_ui.h"
#include "message_ids.h"
#include "op_result.h"
#include "path_builders.h"
#include "phone_listing.h"
#include "transfer_prompts.h"

#include <cstring>

using namespace host;
using namespace remote;

// The destination's present file, for the overwrite question.
static bool ExistingFile(CopyRun& run, LONG direction, const WCHAR* target, FAR_FIND_DATA* out)
{
    memset(out, 0, sizeof(*out));
    if (direction == CopyFromPhone) {
        WIN32_FILE_ATTRIBUTE_DATA found;
        if (!GetFileAttributesExW(target, GetFileExInfoStandard, &found)) return false;
        out->ftLastWriteTime = found.ftLastWriteTime;
        out->nFileSizeLow = found.nFileSizeLow;
        out->nFileSizeHigh = found.nFileSizeHigh;
        return true;
    }
    RemoteEntry entry;
    if (run.phone.link.EntryInfo(target, &entry) != StatusOk) return false;
    PluginPanelItem existing;
    ConvertEntry(&entry, &existing);
    *out = existing.FindData;
    return true;
}

// True when the copy is there, whole: a move deletes nothing on the word of
// a completion alone, which a confused server may send for a copy that
// never happened. The phone gives sizes in 32 bits, so a phone file of
// 4 GiB and more is listed short by whole multiples of 4 GiB: a copy whose
// size matches the original's but for those is whole.
static bool Landed(CopyRun& run, LONG direction, const WCHAR* target, const FAR_FIND_DATA& original)
{
    if (direction == CopyFromPhone) {
        WIN32_FILE_ATTRIBUTE_DATA found;
        return GetFileAttributesExW(target, GetFileExInfoStandard, &found) &&
               !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
               found.nFileSizeLow == original.nFileSizeLow;
    }
    RemoteEntry entry;
    return run.phone.link.EntryInfo(target, &entry) == StatusOk &&
           !(entry.attributes & FILE_ATTRIBUTE_DIRECTORY) && entry.size == original.nFileSizeLow;
}

// A file from the phone that landed bigger than listed, by whole multiples
// of 4 GiB, is that big: the box counts its bytes as they are.
static void TakeLandedSize(ProgressBox& box, const WCHAR* target, const FAR_FIND_DATA& listed)
{
    WIN32_FILE_ATTRIBUTE_DATA found;
    if (GetFileAttributesExW(target, GetFileExInfoStandard, &found) &&
        found.nFileSizeLow == listed.nFileSizeLow && found.nFileSizeHigh > listed.nFileSizeHigh)
        GrowFileSize(box, (unsigned __int64)found.nFileSizeHigh << 32 | found.nFileSizeLow);
}

// What the error question names as the destination: the folder the file was
// going into, as the user gave it, or the file itself when it lands under
// another name.
static void DestinationShown(char* out, int size, const WCHAR* target, const char* name)
{
    if (!WideToNarrow(target, out, size)) return;
    char* last = (char*)LastSeparator(out);
    if (last && strcmp(last + 1, name) == 0) last[1] = 0;
}

void CopyRun::Start(int shownMove)
{
    if (!settings.ConfirmOverwrite(shownMove)) overwriteAll = true;
    // Quick View's fetch at a cursor move shows no box at all; with the
    // total indicator the box comes once the count is done, one box at a
    // time.
    bool counts = settings.TotalIndicator() && !Quiet();
    BeginProgress(progress, phone.stop, shownMove, settings.TimeInfo(),
                  !(opMode & OPM_QUICKVIEW) && !counts);
}

int CopyRun::AskOverwrite(const char* targetName, const PluginPanelItem* item,
                          const FAR_FIND_DATA* existing)
{
    if (skipAllExisting || Unasked()) return OpFailed;
    QuestionTime asking(progress);
    switch (::AskOverwrite(targetName, item, existing)) {
    case OverwriteAnswer::OverwriteAll: overwriteAll = true; return OpDone;
    case OverwriteAnswer::Overwrite: return OpDone;
    case OverwriteAnswer::SkipAll: skipAllExisting = true; return OpFailed;
    case OverwriteAnswer::Skip: return OpFailed;
    case OverwriteAnswer::Cancel: break;
    }
    return OpCancelled;
}

int CopyRun::AskError(const char* name, const char* destination, const char* reason, bool retry)
{
    if (skipAllErrors || Unasked()) return OpFailed;
    if (transit && phoneTarget && strncmp(destination, transit, strlen(transit)) == 0)
        destination = phoneTarget;
    QuestionTime asking(progress);
    switch (AskOnCopyError(name, destination, move, reason, retry)) {
    case ErrorAnswer::Retry: return OpDone;
    case ErrorAnswer::SkipAll: skipAllErrors = true; return OpFailed;
    case ErrorAnswer::Skip: return OpFailed;
    case ErrorAnswer::Cancel: break;
    }
    return OpCancelled;
}

int CopyRun::AskError(const char* name, const char* destination, LONG status)
{
    if (phone.link.Loss() != LinkServes) return LinkEnded();
    char text[60];
    StatusText(status, text, sizeof(text));
    return AskError(name, destination, text);
}

// A lost link serves nothing more: no Retry that can't succeed, nothing more
// made for the rest of the tree. A server found gone is told once; a wait
// the user gave up is the user's own stop.
int CopyRun::LinkEnded()
{
    TellLinkLost(phone.link, opMode);
    return OpCancelled;
}

// The error question for a file whose copy is done but whose move cannot
// end: the reason is said, a retry does the failed step again.
static int AskAboutFile(CopyRun& run, PluginPanelItem* item, const WCHAR* target, int reason)
{
    char shown[NM];
    DestinationShown(shown, sizeof(shown), target, item->FindData.cFileName);
    return run.AskError(item->FindData.cFileName, shown, GetMsg(reason));
}

// A move's last step: the original goes, or the item fails, said once.
static int RemoveOriginal(CopyRun& run, PluginPanelItem* item, const WCHAR* source,
                          const WCHAR* target, LONG direction)
{
    for (;;) {
        LONG s = StatusOk;
        if (direction == CopyFromPhone) s = run.phone.link.FileDelete(source);
        else if (!DeleteFileW(source)) s = StatusRefused;
        if (s == StatusOk) return OpDone;
        if (run.phone.link.Loss() != LinkServes) return run.LinkEnded();
        int answer = AskAboutFile(run, item, target, MOriginalKept);
        if (answer != OpDone) return answer;
    }
}

// The size of the PC file at `path` as it is now differs from its listing's.
static bool SizeChanged(const WCHAR* path, FAR_FIND_DATA& listed)
{
    WIN32_FILE_ATTRIBUTE_DATA now;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &now)) return false;
    if (now.nFileSizeLow == listed.nFileSizeLow && now.nFileSizeHigh == listed.nFileSizeHigh)
        return false;
    listed.nFileSizeLow = now.nFileSizeLow;
    listed.nFileSizeHigh = now.nFileSizeHigh;
    listed.ftLastWriteTime = now.ftLastWriteTime;
    return true;
}

int CopyOneFile(CopyRun& run, PluginPanelItem* item, const WCHAR* source, const WCHAR* target,
                LONG direction)
{
    PhoneLink& link = run.phone.link;
    LONG overwrite = run.Overwrite();
    // Every attempt starts the file's progress again.
    unsigned __int64 size =
        (unsigned __int64)item->FindData.nFileSizeHigh << 32 | item->FindData.nFileSizeLow;
    auto copy = [&]() {
        StartFileProgress(run.progress, size);
        return link.FileCopy(source, target, direction, overwrite, run.Progress(), &run.progress);
    };
    LONG s = copy();

    if (s == StatusExists) {
        if (run.skipAllExisting) return OpFailed;
        FAR_FIND_DATA existing;
        char shown[NM];
        if (!ExistingFile(run, direction, target, &existing) ||
            !WideToNarrow(target, shown, sizeof(shown)))
            return OpFailed;
        int answer = run.AskOverwrite(shown, item, &existing);
        if (answer != OpDone) return answer;
        overwrite = 1;
        s = copy();
    }

    for (;;) {
        while (s != StatusOk) {
            // Esc (in the box or the waiting box), a break, or the wait for the
            // phone given up: the user stopped, and knows. A cancel the server
            // sent by itself is a failure like any other.
            if ((s == StatusCancelled && run.phone.stop.Asked()) || link.Loss() == LinkAbandoned)
                return OpCancelled;
            char shown[NM];
            DestinationShown(shown, sizeof(shown), target, item->FindData.cFileName);
            int answer = run.AskError(item->FindData.cFileName, shown, s);
            if (answer != OpDone) return answer;
            s = copy();
        }
        if (direction == CopyFromPhone && !run.Quiet())
            TakeLandedSize(run.progress, target, item->FindData);
        EndFileProgress(run.progress);
        // A copy kept for a later delete, or a move's, must be there whole.
        bool keep = direction == CopyFromPhone && run.copied;
        if (!run.move && !keep) break;
        if (Landed(run, direction, target, item->FindData)) break;
        if (!run.move) return OpDone;  // copied, but not known whole: never deleted later
        if (link.Loss() != LinkServes) return run.LinkEnded();
        // The original stays, and the user hears why: a PC file written to
        // since the host listed it was copied as it is now (the user says
        // whether that copy will do); any other copy is not whole.
        int reason = direction == CopyToPhone && SizeChanged(source, item->FindData)
                         ? MSizeChanged
                         : MCopyNotWhole;
        int answer = AskAboutFile(run, item, target, reason);
        if (answer != OpDone) return answer;
        overwrite = 1;
        s = copy();
    }

    if (direction == CopyFromPhone && run.copied) run.copied->Add(source, item->FindData);
    if (run.move) {
        int removed = RemoveOriginal(run, item, source, target, direction);
        if (removed != OpDone) return removed;
    }
    item->Flags &= ~PPIF_SELECTED;
    ++run.progress.doneCount;
    return OpDone;
}

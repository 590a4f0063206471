#include "progress_box.h"
#include "timings.h"

#include "bounded_string.h"
#include "host_ui.h"
#include "message_ids.h"
#include "path_builders.h"
#include "user_formats.h"

#include <cstdio>
#include <cstring>

using namespace host;

namespace {

// The box's lines, in display order.
enum ProgressRow {
    RowTitle,
    RowAction,
    RowSource,
    RowTo,
    RowTarget,
    RowBar,
    RowSeparator,
    RowCounter,
    RowTime,  // only with the user's time information on
    RowTotalBar,    // only with the user's total indicator on
    RowTotalCount,
    RowCount
};

// A bar is 40 cells wide, or as wide as a wider time line, so that it
// fills the box as the host's own copy's does.
enum { BarCells = 40, MaxBarCells = 100 };

}  // namespace

void BeginProgress(ProgressBox& box, StopRequest stop, int move, bool timeLine, bool draw)
{
    box.stop = stop;
    box.move = move;
    box.source[0] = 0;
    box.target[0] = 0;
    box.doneCount = 0;
    box.keys = EscWatch();
    box.timeLine = timeLine;
    StartRate(box.rate, GetTickCount());
    box.fileSize = 0;
    box.fileDone = 0;
    box.totalFiles = 0;
    box.totalBytes = 0;
    box.doneBytes = 0;
    box.reading = -1;
    if (draw) ShowProgress(box, 0);
}

void StartFileProgress(ProgressBox& box, unsigned __int64 size)
{
    box.fileSize = size;
    box.fileDone = 0;
}

void GrowFileSize(ProgressBox& box, unsigned __int64 size)
{
    if (size <= box.fileSize) return;
    if (box.totalFiles) box.totalBytes += size - box.fileSize;
    // The rest of it counts as moved when the file ends.
    box.fileSize = size;
}

void EndFileProgress(ProgressBox& box)
{
    if (box.fileDone < box.fileSize) AddBytes(box.rate, box.fileSize - box.fileDone, GetTickCount());
    // The file's bytes move to the operation's; a second call adds nothing.
    box.doneBytes += box.fileSize;
    box.fileSize = 0;
    box.fileDone = 0;
}

void SetProgressTotal(ProgressBox& box, int files, unsigned __int64 bytes)
{
    box.totalFiles = files;
    box.totalBytes = bytes;
    StartRate(box.rate, GetTickCount());
}

// Bytes of the whole operation still to go; 0 once more was moved than
// counted (a file that grew).
static unsigned __int64 TotalLeft(const ProgressBox& box)
{
    unsigned __int64 done = box.doneBytes + box.fileDone;
    return done < box.totalBytes ? box.totalBytes - done : 0;
}

// A notice's percentage of the file, as bytes moved; a file starting again
// moves nothing until it passes what it had reached.
static void NoteFilePercent(ProgressBox& box, int percent, DWORD now)
{
    unsigned __int64 done = box.fileSize / 100 * percent + box.fileSize % 100 * percent / 100;
    if (done <= box.fileDone) return;
    AddBytes(box.rate, done - box.fileDone, now);
    box.fileDone = done;
}

static void FormatClock(char* out, int size, long seconds)
{
    if (seconds < 0) {
        snprintf(out, size, "--:--:--");
        return;
    }
    snprintf(out, size, "%02ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

void FormatAmount(char* out, int size, unsigned __int64 bytes, bool perSecond)
{
    static const int units[] = {MBytes, MKilobytes, MMegabytes, MGigabytes};
    static const int rates[] = {MBytesPerSecond, MKilobytesPerSecond, MMegabytesPerSecond,
                                MGigabytesPerSecond};
    int unit = 0;
    unsigned __int64 whole = 1;
    while (unit < 3 && bytes >= whole * 1024) {
        whole *= 1024;
        ++unit;
    }
    const char* name = GetMsg(perSecond ? rates[unit] : units[unit]);
    unsigned __int64 tenths = bytes * 10 / whole;
    if (unit == 0)
        snprintf(out, size, "%u %s", (unsigned)bytes, name);
    else
        snprintf(out, size, "%u%c%u %s", (unsigned)(tenths / 10), DecimalSeparator(),
                 (unsigned)(tenths % 10), name);
}

// "1.2 MB/s", right-aligned in a width that keeps the line's length, so the
// box does not change size as the figures do; blank while no speed is known.
static void FormatSpeed(char* out, int size, unsigned __int64 bytesPerSecond)
{
    char text[40] = "";
    if (bytesPerSecond) FormatAmount(text, sizeof(text), bytesPerSecond, true);
    snprintf(out, size, "%11s", text);
}

static void FormatTimeLine(char* out, int size, const ProgressBox& box, DWORD now)
{
    char taken[16], left[16], speed[40];
    FormatClock(taken, sizeof(taken), (long)(Elapsed(now, box.rate.startedAt) / 1000));
    // The operation's time left when its size is known, else the file's.
    unsigned __int64 bytesLeft = box.totalFiles ? TotalLeft(box) : box.fileSize - box.fileDone;
    FormatClock(left, sizeof(left), SecondsLeft(box.rate, bytesLeft, now));
    FormatSpeed(speed, sizeof(speed), BytesPerSecond(box.rate, now));
    snprintf(out, size, GetMsg(MTimeLine), taken, left, speed);
}

void SetProgressNames(ProgressBox& box, const char* source, const char* target)
{
    box.reading = -1;
    DisplayName(box.source, sizeof(box.source), source, ProgressBox::NameColumns);
    DisplayName(box.target, sizeof(box.target), target, ProgressBox::NameColumns);
}

void SetProgressNames(ProgressBox& box, const char* source, const WCHAR* target)
{
    box.reading = -1;
    DisplayName(box.source, sizeof(box.source), source, ProgressBox::NameColumns);
    DisplayName(box.target, sizeof(box.target), target, ProgressBox::NameColumns);
}

// An Esc is kept as Abort: read at the first draw of an item, whose answer
// the copy does not consult, it would otherwise be lost and the copy go on
// as if the user had never pressed it. A copy draws many times a second,
// and a person can't tell 20 ms apart.
static int KeepGoing(ProgressBox& box)
{
    if (box.keys.Typed()) box.stop.Ask();
    return box.stop.Asked() ? 0 : 1;
}

// A bar of BarCells cells, `p` percent of them full.
// A box made wider by its time line gets a bar of `cells`, up to MaxBarCells.
static void FillBar(char* bar, int p, int cells = BarCells)
{
    if (cells > MaxBarCells) cells = MaxBarCells;
    int filled = cells * (p / 5) / 20;
    memset(bar, 219, filled);                   // full block in the OEM code page
    memset(bar + filled, 176, cells - filled);  // light shade
    bar[cells] = 0;
}

//   ╔═ Copy ═══════════════════════════════════════════╗
//   ║ Copying                                          ║
//   ║ name                                             ║
//   ║ to                                               ║
//   ║ C:\...\target                                    ║
//   ║ ████████████████████░░░░░░░░░░░░░░░░░░░░░░░░░░░░ ║
//   ╟──────────────────────────────────────────────────╢
//   ║ 3 files copied                                   ║
//   ║ Time: 00:00:05  Remaining: 00:00:10     1.2 MB/s ║
//   ║ ██████████░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░ ║
//   ║ 3 of 12 files  1.5 MB of 7.9 MB                  ║
//   ╚══════════════════════════════════════════════════╝
// The time line only with the user's copying time information on (the box
// is then as wide as that line; without it the box is 40 columns inside),
// and the bars as wide as the box; the whole operation's bar and count only
// with the total indicator on. For a `folder` the action line says it is
// being made.
static int DrawProgress(ProgressBox& box, int percent, bool folder)
{
    int p = percent & 0xFFFF;
    if (p > 100) p = 100;  // the bar can't show more than full
    DWORD now = GetTickCount();
    NoteFilePercent(box, p, now);

    // The time line keeps one width; the bars take it.
    char timeLine[160];
    int cells = BarCells;
    if (box.timeLine) {
        FormatTimeLine(timeLine, sizeof(timeLine), box, now);
        if ((int)strlen(timeLine) > cells) cells = (int)strlen(timeLine);
    }
    char bar[MaxBarCells + 1];
    FillBar(bar, p, cells);

    char counter[40];
    snprintf(counter, sizeof(counter), GetMsg(MFilesCopied), box.doneCount);

    const char* lines[RowCount];
    lines[RowTitle] = GetMsg(box.move ? MMoveTitle : MCopyTitle);
    char reading[80];
    if (box.reading >= 0) FormatCount(reading, sizeof(reading), MReadingFolder, box.reading);
    lines[RowAction] = box.reading >= 0 ? reading : GetMsg(box.move ? MMoving : MCopying);
    lines[RowSource] = box.source;
    lines[RowTo] = GetMsg(MTo);
    lines[RowTarget] = box.target;
    lines[RowBar] = bar;
    lines[RowSeparator] = "\x01";  // a rule across the box
    lines[RowCounter] = counter;
    if (folder) lines[RowAction] = GetMsg(MMakingFolder);  // not copied as a file
    // The optional lines follow in their order, each only when shown.
    int count = RowTime;
    if (box.timeLine) lines[count++] = timeLine;
    char totalBar[MaxBarCells + 1], totalCount[160];
    if (box.totalFiles) {
        unsigned __int64 done = box.totalBytes - TotalLeft(box);
        FillBar(totalBar, box.totalBytes ? (int)(done * 100 / box.totalBytes) : 100, cells);
        char doneText[40], allText[40];
        FormatAmount(doneText, sizeof(doneText), done, false);
        FormatAmount(allText, sizeof(allText), box.totalBytes, false);
        int files = box.doneCount < box.totalFiles ? box.doneCount : box.totalFiles;
        snprintf(totalCount, sizeof(totalCount), GetMsg(MTotalFiles), files, box.totalFiles,
                 doneText, allText);
        lines[count++] = totalBar;
        lines[count++] = totalCount;
    }
    ShowRawMessage(FMSG_LEFTALIGN, nullptr, lines, count, 0);
    return KeepGoing(box);
}

int ShowReading(ProgressBox& box, int entries)
{
    // The box stays as it was until the first entries come.
    if (entries == 0) return KeepGoing(box);
    box.reading = entries;
    return ShowProgress(box, 0);
}

int CopyProgressCallback(int percent, void* context)
{
    return ShowProgress(*(ProgressBox*)context, percent);
}

int ShowProgress(ProgressBox& box, int percent)
{
    return DrawProgress(box, percent, false);
}

int ShowFolderProgress(ProgressBox& box)
{
    return DrawProgress(box, 0, true);
}

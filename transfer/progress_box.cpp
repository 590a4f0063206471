#include "progress_box.h"
#include "timings.h"

#include "bounded_string.h"
#include "host_ui.h"
#include "message_ids.h"
#include "path_builders.h"

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
    RowCount
};

enum { BarCells = 40 };

}  // namespace

void BeginProgress(ProgressBox& box, StopRequest stop, int move)
{
    box.stop = stop;
    box.move = move;
    box.source[0] = 0;
    box.target[0] = 0;
    box.doneCount = 0;
    box.keysReadAt = 0;
    ShowProgress(box, 0);
}

void SetProgressNames(ProgressBox& box, const char* source, const char* target)
{
    DisplayName(box.source, sizeof(box.source), source, ProgressBox::NameColumns);
    DisplayName(box.target, sizeof(box.target), target, ProgressBox::NameColumns);
}

void SetProgressNames(ProgressBox& box, const char* source, const WCHAR* target)
{
    DisplayName(box.source, sizeof(box.source), source, ProgressBox::NameColumns);
    DisplayName(box.target, sizeof(box.target), target, ProgressBox::NameColumns);
}

//   ╔═ Copy ═══════════════════════════════════╗
//   ║ Copying                                  ║
//   ║ name                                     ║
//   ║ to                                       ║
//   ║ C:\...\target                            ║
//   ║ ████████████████░░░░░░░░░░░░░░░░░░░░░░░░ ║
//   ╟──────────────────────────────────────────╢
//   ║ 3 files copied                           ║
//   ╚══════════════════════════════════════════╝
int ShowProgress(ProgressBox& box, int percent)
{
    int p = percent & 0xFFFF;
    if (p > 100) p = 100;  // the bar can't show more than full
    int filled = 2 * (p / 5);

    char bar[BarCells + 1];
    memset(bar, 219, filled);                      // full block in the OEM code page
    memset(bar + filled, 176, BarCells - filled);  // light shade
    bar[BarCells] = 0;

    char counter[40];
    snprintf(counter, sizeof(counter), GetMsg(MFilesCopied), box.doneCount);

    const char* lines[RowCount];
    lines[RowTitle] = GetMsg(box.move ? MMoveTitle : MCopyTitle);
    lines[RowAction] = GetMsg(box.move ? MMoving : MCopying);
    lines[RowSource] = box.source;
    lines[RowTo] = GetMsg(MTo);
    lines[RowTarget] = box.target;
    lines[RowBar] = bar;
    lines[RowSeparator] = "\x01";  // a rule across the box
    lines[RowCounter] = counter;
    ShowRawMessage(FMSG_LEFTALIGN, NULL, lines, RowCount, 0);

    // An Esc is kept as Abort: read at the first draw of an item, whose answer
    // the copy does not consult, it would otherwise be lost and the copy go
    // on as if the user had never pressed it.
    // A copy draws many times a second, and a person can't tell 20 ms apart.
    if (EscapeTypedEvery(timing::KeyLookMs, box.keysReadAt))
        box.stop.Ask();
    return box.stop.Asked() ? 0 : 1;
}

int CopyProgressCallback(int percent, void* context)
{
    return ShowProgress(*(ProgressBox*)context, percent);
}

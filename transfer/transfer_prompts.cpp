#include "transfer_prompts.h"

#include "bounded_string.h"
#include "code_page.h"
#include "host_ui.h"
#include "message_ids.h"
#include "path_builders.h"
#include "user_formats.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace host;

//   ╔═ Copy ════════════════════════════════════════════════════════════╗
//   ║ Copy "name" to:                                                   ║
//   ║ C:\destination\_________________________________________________  ║
//   ╟───────────────────────────────────────────────────────────────────╢
//   ║                       [ Copy ]   [ Cancel ]                       ║
//   ╚═══════════════════════════════════════════════════════════════════╝
bool AskCopyDestination(const PluginPanelItem* items, int count, int move, char* destination)
{
    char prompt[72];
    if (count == 1)
        snprintf(prompt, sizeof(prompt), GetMsg(move ? MMoveOneItem : MCopyOneItem),
                 items[0].FindData.cFileName);
    else
        FormatCount(prompt, sizeof(prompt), move ? MMoveManyItems : MCopyManyItems, count);

    int button = move ? MMoveButton : MCopyButton;
    int buttonLeft = 34 - (int)strlen(GetMsg(button));
    InitDialogItem items6[] = {
        {DI_DOUBLEBOX, 3, 1, 72, 6, 0, 0, 0, 0, (MsgItem)(move ? MMoveTitle : MCopyTitle), 0},
        {DI_TEXT, 5, 2, 70, 2, 0, 0, 0, 0, TextItem(prompt), 0},
        {DI_EDIT, 5, 3, 70, 3, 1, 0, 0, 0, TextItem(destination), 512},
        {DI_TEXT, 3, 4, 0, 4, 0, 0, DIF_BOXCOLOR | DIF_SEPARATOR, 0, TextItem(""), 0},
        {DI_BUTTON, buttonLeft, 5, 30, 5, 0, 0, 0, 1, (MsgItem)button, 0},
        {DI_BUTTON, 39, 5, 30, 5, 0, 0, 0, 0, (MsgItem)MCancel, 0},
    };
    return RunDialog(-1, -1, 76, 8, nullptr, items6, 6) == 4;
}

// A rule across a message box.
static const char SeparatorLine[] = "\x01";

// "Label  size  date time" for one side of the overwrite prompt, in columns
// of one width on both sides, so the two lines line up. A time the
// platform cannot convert leaves its columns empty.
static void SizeDateLine(char* line, int size, const char* label, const FAR_FIND_DATA* data)
{
    char date[32], time[32];
    FormatFileTime(data->ftLastWriteTime, date, sizeof(date), time, sizeof(time));
    // The whole 64-bit size, in plain digits as FAR's own question writes it.
    char bytes[24];
    _ui64toa((unsigned __int64)data->nFileSizeHigh << 32 | data->nFileSizeLow, bytes, 10);
    snprintf(line, size, "%-12s %10s %s %s", label, bytes, date, time);
}

//   ╔═ Warning ══════════════════════════════════════╗
//   ║ The destination already exists                 ║
//   ║ C:\...\name                                    ║
//   ╟────────────────────────────────────────────────╢
//   ║ New                1234 07.12.2026 10:00:00    ║
//   ║ Existing           5678 06.12.2026 09:00:00    ║
//   ╟────────────────────────────────────────────────╢
//   ║ [Overwrite] [All] [Skip] [Skip all] [Cancel]   ║
//   ╚════════════════════════════════════════════════╝
OverwriteAnswer AskOverwrite(const char* targetName, const PluginPanelItem* newItem,
                             const FAR_FIND_DATA* existing)
{
    char name[NM];
    DisplayName(name, sizeof(name), targetName, 60);

    char lineNew[60], lineExisting[60];
    SizeDateLine(lineNew, sizeof(lineNew), GetMsg(MNewFile), &newItem->FindData);
    SizeDateLine(lineExisting, sizeof(lineExisting), GetMsg(MExistingFile), existing);

    const MsgItem lines[] = {
        MOverwriteTitle,          MAlreadyExists, TextItem(name),
        TextItem(SeparatorLine),  TextItem(lineNew), TextItem(lineExisting),
        TextItem(SeparatorLine),  MOverwrite,     MOverwriteAll,
        MSkip,                    MSkipAll,       MOverwriteCancel,
    };
    int button = ShowMessage(FMSG_WARNING, nullptr, lines, 12, 5);
    if (button < 0 || button > (int)OverwriteAnswer::Cancel) return OverwriteAnswer::Cancel;
    return (OverwriteAnswer)button;
}

//   ╔═ Phone error ══════════════════════════╗
//   ║ Phone server error -5                  ║
//   ║ Cannot copy name                       ║
//   ║ to C:\...\name                         ║
//   ║ [Retry] [Skip] [Skip all] [Cancel]     ║
//   ╚════════════════════════════════════════╝
// Without `retry` (a failure no second try can mend) there is no Retry, and
// Skip takes the focus.
ErrorAnswer AskOnCopyError(const char* sourceName, const char* destinationName, int move,
                           const char* reason, bool retry)
{
    char statusLine[60];
    CopyBounded(statusLine, reason, sizeof(statusLine));

    char name[NM], sourceLine[80], destinationLine[80];
    DisplayName(name, sizeof(name), sourceName, 50);
    snprintf(sourceLine, sizeof(sourceLine), GetMsg(move ? MMoveFailed : MCopyFailed), name);
    DisplayName(name, sizeof(name), destinationName, 50);
    snprintf(destinationLine, sizeof(destinationLine), GetMsg(MErrorDestination), name);

    MsgItem lines[8] = {MErrorTitle, TextItem(statusLine), TextItem(sourceLine),
                        TextItem(destinationLine)};
    int n = 4;
    if (retry) lines[n++] = MRetry;
    lines[n++] = MErrorSkip;
    lines[n++] = MErrorSkipAll;
    lines[n++] = MCancel;
    int button = ShowMessage(FMSG_WARNING, nullptr, lines, n, n - 4);
    if (button >= 0 && !retry) ++button;  // the answers keep their meaning
    if (button < 0 || button > (int)ErrorAnswer::Cancel) return ErrorAnswer::Cancel;
    return (ErrorAnswer)button;
}

void NoteLeftBehind(LeftBehind& left, const WCHAR* folder, int count, unsigned reason)
{
    if (left.count == 0 && !WideToNarrow(folder, left.folder, sizeof(left.folder)))
        left.folder[0] = 0;
    left.count += count;
    left.reasons |= reason;
}

//   ╔═ Entries left behind ══════════════════╗
//   ║ Not everything in C:\...\folder was copied
//   ║ 3 entries were left behind:            ║
//   ║ paths longer than 259 characters       ║
//   ║                 [ OK ]                 ║
//   ╚════════════════════════════════════════╝
void TellLeftBehind(const LeftBehind& left)
{
    if (left.count == 0) return;
    char folder[NM], folderLine[80], countLine[80];
    DisplayName(folder, sizeof(folder), left.folder, 40);
    snprintf(folderLine, sizeof(folderLine), GetMsg(MTreeIncomplete), folder);
    FormatCount(countLine, sizeof(countLine), MEntriesLeftOut, left.count);

    MsgItem lines[6] = {MLeftBehindTitle, TextItem(folderLine), TextItem(countLine)};
    int n = 3;
    if (left.reasons & LeftBehind::Names) lines[n++] = MReasonNames;
    if (left.reasons & LeftBehind::TooLong) lines[n++] = MReasonTooLong;
    if (left.reasons & LeftBehind::InTheWay) lines[n++] = MReasonInTheWay;
    ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, lines, n, 0);
}

void RefuseAtDriveList()
{
    const MsgItem lines[] = {MErrorTitle, MNotAtDriveList};
    ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, lines, 2, 0);
}

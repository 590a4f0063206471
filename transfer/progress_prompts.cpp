// The progress box and the questions a copy asks: where to, overwrite or not,
// and what to do about a failed file.
#include "phone_panel.h"

#include "bounded_string.h"
#include "host_ui.h"
#include "message_ids.h"

#include <cstdio>
#include <cstring>

using namespace host;

enum { BarCells = 40 };


int PhonePanel::BeginProgress(int move)
{
    progressLines[ProgressTitle] = GetMsg(move ? MMoveTitle : MCopyTitle);
    progressLines[ProgressAction] = GetMsg(move ? MMoving : MCopying);
    progressLines[ProgressTo] = GetMsg(MTo);
    doneCount = 0;
    snprintf(counterText, sizeof(counterText), GetMsg(MFilesCopied), doneCount);
    progressLines[ProgressSource] = EmptyText;
    progressLines[ProgressTarget] = EmptyText;
    return ShowProgress(0);
}

// Reads the keys waiting in the process's console. True at the first Esc;
// keys before it are discarded, keys after it stay for the next call.
static bool EscapeWaiting()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD pending = 0;
    while (GetNumberOfConsoleInputEvents(input, &pending) && pending > 0) {
        INPUT_RECORD record;
        DWORD read = 0;
        if (!ReadConsoleInputA(input, &record, 1, &read) || read == 0) break;
        if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
        if (record.Event.KeyEvent.wVirtualKeyCode == VK_ESCAPE ||
            record.Event.KeyEvent.uChar.AsciiChar == 27)
            return true;
    }
    return false;
}

// Asking the console for keys costs a round trip to the console's owner;
// a copy draws many times a second, and a person can't tell 20 ms apart.
// Keys wait in the console meanwhile, and an Esc, once read, stays as Abort.
bool PhonePanel::KeysDue()
{
    DWORD now = GetTickCount();
    if (keysReadAt != 0 && now - keysReadAt < KeyReadInterval) return false;
    keysReadAt = now ? now : 1;
    return true;
}

int PhonePanel::ShowProgress(int percent)
{
    int p = percent & 0xFFFF;
    if (p > 100) p = 100;  // the bar can't show more than full
    int filled = 2 * (p / 5);

    char bar[BarCells + 1];
    memset(bar, 219, filled);                 // full block in the OEM code page
    memset(bar + filled, 176, BarCells - filled);  // light shade
    bar[BarCells] = 0;

    progressLines[ProgressBar] = bar;
    snprintf(counterText, sizeof(counterText), GetMsg(MFilesCopied), doneCount);
    ShowRawMessage(FMSG_LEFTALIGN, NULL, progressLines, ProgressLineCount, 0);
    progressLines[ProgressBar] = EmptyText;  // the bar lived on this stack only

    // An Esc is kept as Abort: read at the first draw of an item, whose answer
    // the copy does not consult, it would otherwise be lost and the copy go
    // on as if the user had never pressed it.
    if (KeysDue() && EscapeWaiting()) SetFlag(Abort);
    return HasFlag(Abort) ? 0 : 1;
}

int CopyProgressCallback(int percent, void* context)
{
    return ((PhonePanel*)context)->ShowProgress(percent);
}

//   ╔═ Copy ════════════════════════════════════════════════════════════╗
//   ║ Copy "name" to:                                                   ║
//   ║ C:\destination\_________________________________________________  ║
//   ╟───────────────────────────────────────────────────────────────────╢
//   ║                       [ Copy ]   [ Cancel ]                       ║
//   ╚═══════════════════════════════════════════════════════════════════╝
bool PhonePanel::AskCopyDestination(const PluginPanelItem* items, int count, int move,
                                    char* destination)
{
    char prompt[72];
    if (count == 1)
        snprintf(prompt, sizeof(prompt), GetMsg(move ? MMoveOneItem : MCopyOneItem),
                 items[0].FindData.cFileName);
    else
        snprintf(prompt, sizeof(prompt), GetMsg(move ? MMoveManyItems : MCopyManyItems), count);

    int button = move ? MMoveButton : MCopyButton;
    int buttonLeft = 34 - (int)strlen(GetMsg(button));
    DialogItemInit items6[] = {
        {DI_DOUBLEBOX, 3, 1, 72, 6, 0, 0, 0, 0, (MsgItem)(move ? MMoveTitle : MCopyTitle), 0},
        {DI_TEXT, 5, 2, 70, 2, 0, 0, 0, 0, TextItem(prompt), 0},
        {DI_EDIT, 5, 3, 70, 3, 1, 0, 0, 0, TextItem(destination), 512},
        {DI_SINGLEBOX, 4, 4, 71, 4, 0, 0, 0, 0, TextItem(EmptyText), 0},
        {DI_BUTTON, buttonLeft, 5, 30, 5, 0, 0, 0, 1, (MsgItem)button, 0},
        {DI_BUTTON, 39, 5, 30, 5, 0, 0, 0, 0, (MsgItem)MCancel, 0},
    };
    return RunDialog(-1, -1, 76, 8, NULL, items6, 6) == 4;
}

// "Label  size  date time" for one side of the overwrite prompt. A time the
// platform cannot convert or format leaves its column empty.
static void SizeDateLine(char* line, int size, const char* format, const char* label,
                         const FAR_FIND_DATA* data)
{
    char date[32] = "", time[32] = "";
    SYSTEMTIME st;
    if (FileTimeToSystemTime(&data->ftLastWriteTime, &st)) {
        if (!GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, NULL, time, sizeof(time))) time[0] = 0;
        if (!GetDateFormatA(LOCALE_USER_DEFAULT, 0, &st, NULL, date, sizeof(date))) date[0] = 0;
    }
    snprintf(line, size, format, label, (int)data->nFileSizeLow, date, time);
}

//   ╔═ Warning ══════════════════════════════════════╗
//   ║ The destination already exists                 ║
//   ║ C:\...\name                                    ║
//   ╟────────────────────────────────────────────────╢
//   ║          New        1234 07.12.2026 10:00:00   ║
//   ║ Existing            5678 06.12.2026 09:00:00   ║
//   ╟────────────────────────────────────────────────╢
//   ║ [Overwrite] [All] [Skip] [Skip all] [Cancel]   ║
//   ╚════════════════════════════════════════════════╝
int PhonePanel::AskOverwrite(const char* targetName, const PluginPanelItem* newItem,
                             const FAR_FIND_DATA* existing)
{
    char name[NM];
    CopyBounded(name, targetName, sizeof(name));
    standardFunctions.TruncPathStr(name, 60);

    char lineNew[60], lineExisting[60];
    SizeDateLine(lineNew, sizeof(lineNew), "%12s %10d %s %s", GetMsg(MNewFile),
                 &newItem->FindData);
    SizeDateLine(lineExisting, sizeof(lineExisting), "%-12s %10d %s %s", GetMsg(MExistingFile),
                 existing);

    const MsgItem lines[] = {
        MOverwriteTitle,          MAlreadyExists, TextItem(name),
        TextItem(SeparatorLine),  TextItem(lineNew), TextItem(lineExisting),
        TextItem(SeparatorLine),  MOverwrite,     MOverwriteAll,
        MSkip,                    MSkipAll,       MOverwriteCancel,
    };
    switch (ShowMessage(FMSG_WARNING, NULL, lines, 12, 5)) {
    case 0: return 1;
    case 1: SetFlag(OverwriteAll); return 1;
    case 3: SetFlag(SkipAllExisting); return 0;
    case 4: return -1;
    default: return 0;  // skip, and Esc or a box the host could not show
    }
}

//   ╔═ Phone error ══════════════════════════╗
//   ║ Phone server error -5                  ║
//   ║ Cannot copy name                       ║
//   ║ to C:\...\name                         ║
//   ║ [Retry] [Skip] [Skip all] [Cancel]     ║
//   ╚════════════════════════════════════════╝
int PhonePanel::AskOnCopyError(const char* sourceName, const char* destinationName, int move,
                               LONG status)
{
    char statusLine[60];
    StatusText(status, statusLine, sizeof(statusLine));

    char name[NM], sourceLine[80], destinationLine[80];
    CopyBounded(name, sourceName, sizeof(name));
    standardFunctions.TruncPathStr(name, 50);
    snprintf(sourceLine, sizeof(sourceLine), GetMsg(move ? MMoveFailed : MCopyFailed), name);
    CopyBounded(name, destinationName, sizeof(name));
    standardFunctions.TruncPathStr(name, 50);
    snprintf(destinationLine, sizeof(destinationLine), GetMsg(MErrorDestination), name);

    const MsgItem lines[] = {
        MErrorTitle, TextItem(statusLine), TextItem(sourceLine), TextItem(destinationLine),
        MRetry,      MErrorSkip,           MErrorSkipAll,        MCancel,
    };
    switch (ShowMessage(FMSG_WARNING, NULL, lines, 8, 4)) {
    case 0: return 1;
    case 1: return 0;
    case 2: SetFlag(SkipAllErrors); return 0;
    default: return -1;  // cancel, Esc, or a box the host could not show
    }
}

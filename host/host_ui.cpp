#include "host_ui.h"

#include "bounded_string.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static const char* ResolveItem(MsgItem item)
{
    return item < 0x10000 ? GetMsg((int)item) : (const char*)item;
}

const char* GetMsg(int id)
{
    return startupInfo.GetMsg(startupInfo.ModuleNumber, id);
}

// Which of `forms` forms a count takes.
static int PluralForm(int forms, int count)
{
    unsigned n = count < 0 ? 0u - (unsigned)count : (unsigned)count;
    if (forms == 2) return n == 1 ? 0 : 1;
    if (forms == 3) {
        if (n % 10 == 1 && n % 100 != 11) return 0;
        if (n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 12 || n % 100 > 14)) return 1;
        return 2;
    }
    return 0;
}

void FormatCount(char* out, int size, int id, int count)
{
    if (size <= 0) return;
    const char* text = GetMsg(id);
    int forms = 1;
    for (const char* p = text; *p; ++p) forms += *p == '|';
    const char* form = text;
    for (int skip = PluralForm(forms, count); skip > 0; --skip) form = strchr(form, '|') + 1;
    const char* end = strchr(form, '|');
    char format[512];
    CopyBounded(format, form, end && end - form < (int)sizeof(format) ? (int)(end - form) + 1
                                                                      : (int)sizeof(format));
    snprintf(out, size, format, count);
}

int ShowRawMessage(DWORD flags, const char* helpTopic, const char* const* items, int count,
                   int buttons)
{
    // FAR draws on its main thread only; elsewhere a box is answered as if
    // Esc closed it, unseen.
    if (!MayDraw()) return -1;
    return startupInfo.Message(startupInfo.ModuleNumber, flags, helpTopic, items, count,
                               buttons);
}

int ShowMessage(DWORD flags, const char* helpTopic, const MsgItem* items, int count, int buttons)
{
    if (count <= 0) return -1;
    const char** texts = (const char**)malloc(sizeof(const char*) * count);
    if (!texts) return -1;
    for (int i = 0; i < count; ++i) texts[i] = ResolveItem(items[i]);
    int answer = ShowRawMessage(flags, helpTopic, texts, count, buttons);
    free(texts);
    return answer;
}

static bool IsEditItem(int type)
{
    return type == host::DI_EDIT || type == host::DI_PSWEDIT || type == host::DI_FIXEDIT;
}

int RunDialog(int x1, int y1, int x2, int y2, const char* helpTopic, InitDialogItem* items,
              int count)
{
    if (count <= 0 || !MayDraw()) return -1;
    host::FarDialogItem* hostItems =
        (host::FarDialogItem*)calloc(count, sizeof(host::FarDialogItem));
    if (!hostItems) return -1;

    for (int i = 0; i < count; ++i) {
        const InitDialogItem& in = items[i];
        host::FarDialogItem& out = hostItems[i];
        out.Type = in.type;
        out.X1 = in.x1;
        out.Y1 = in.y1;
        out.X2 = in.x2;
        out.Y2 = in.y2;
        out.Focus = in.focus;
        out.Param.Selected = in.selected;
        out.Flags = in.flags;
        out.DefaultButton = in.defaultButton;
        if (in.type >= host::DI_TEXT && in.type <= host::DI_RADIOBUTTON)
            CopyBounded(out.Data.Data, ResolveItem(in.data), sizeof(out.Data.Data));
    }

    int answer = startupInfo.Dialog(startupInfo.ModuleNumber, x1, y1, x2, y2, helpTopic,
                                    hostItems, count);

    // The edited texts come back whatever closed the dialog, Esc included.
    for (int i = 0; i < count; ++i) {
        if (!IsEditItem(items[i].type) || items[i].data < 0x10000) continue;
        int size = items[i].dataSize > 0 ? items[i].dataSize : (int)sizeof(hostItems[i].Data.Data);
        CopyBounded((char*)items[i].data, hostItems[i].Data.Data, size);
    }
    free(hostItems);
    return answer;
}

HANDLE SaveWholeScreen()
{
    HANDLE screen = startupInfo.SaveScreen(0, 0, -1, -1);
    return screen == INVALID_HANDLE_VALUE ? nullptr : screen;
}

void RestoreSavedScreen(HANDLE screen)
{
    if (screen && screen != INVALID_HANDLE_VALUE) startupInfo.RestoreScreen(screen);
}

int HostControl(HANDLE plugin, int command, void* param)
{
    return startupInfo.Control(plugin, command, param);
}

void ShortenPath(char* text, int columns) { standardFunctions.TruncPathStr(text, columns); }

void AddFinalSlash(char* path) { standardFunctions.AddEndSlash(path); }

bool GenerateName(const char* name, char* mask)
{
    return standardFunctions.ProcessName(name, mask, host::PN_GENERATENAME) != 0;
}

static bool EscapeTyped()
{
    if (!MayDraw()) return false;  // the console's keys are FAR's main thread's
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

bool EscWatch::Typed(DWORD everyMs)
{
    DWORD now = GetTickCount();
    if (lookedAt != 0 && Elapsed(now, lookedAt) < everyMs) return false;
    lookedAt = now ? now : 1;
    return EscapeTyped();
}


// The thin layer through which every text, box and dialog reaches the host.
#pragma once

#include "host_api.h"
#include "timings.h"

// A message-box item: a message number when below 0x10000, else a text
// pointer (no text lives that low on this platform).
typedef UINT_PTR MsgItem;
inline MsgItem TextItem(const char* text) { return (MsgItem)text; }

const char* GetMsg(int id);
// Message `id` formatted with `count`. A counted message holds one form per
// kind of count, apart by '|': two (one, other), as English counts, or three
// (one: 1, 21, 31 ...; few: 2-4, 22-24 ...; many: the rest), as Russian does.
void FormatCount(char* out, int size, int id, int count);

int ShowRawMessage(DWORD flags, const char* helpTopic, const char* const* items, int count,
                   int buttons);
int ShowMessage(DWORD flags, const char* helpTopic, const MsgItem* items, int count, int buttons);

// One dialog item as the plug-in describes it: the host item's nine integer
// fields, then its text (a message number or a text pointer). For edit items
// `data` is the caller's buffer, which holds the first text and receives the
// edited one; `dataSize` is that buffer's size in bytes (0 means 512, the
// host item's own text size), so a smaller buffer handed in by the host is
// never overrun by the copy-back.
struct InitDialogItem {
    int type;
    int x1, y1, x2, y2;
    int focus;
    int selected;
    DWORD flags;
    int defaultButton;
    MsgItem data;
    int dataSize;
};

int RunDialog(int x1, int y1, int x2, int y2, const char* helpTopic, InitDialogItem* items,
              int count);

// The whole screen, saved and given back; null when the host saved nothing
// (null and INVALID_HANDLE_VALUE are given back as nothing).
HANDLE SaveWholeScreen();
void RestoreSavedScreen(HANDLE screen);
// The host's Control on the panel `plugin` (INVALID_HANDLE_VALUE: the
// active one); its answer.
int HostControl(HANDLE plugin, int command, void* param);
// The host's standard functions. ShortenPath cuts `text` to `columns` in
// place, keeping its end; AddFinalSlash needs room for one more character;
// GenerateName makes a name from `mask` (at least two host paths long) and
// `name` in place of the mask.
void ShortenPath(char* text, int columns);
void AddFinalSlash(char* path);
bool GenerateName(const char* name, char* mask);

// Off the host's main thread (MayDraw() false) no key is read, and every
// box and dialog above answers -1 without being shown.
// The one Esc poller every box and operation keeps while it runs: it reads
// the keys waiting in the process's console at most once per `everyMs`, as
// each look is a round trip to the console's owner, and keys wait in the
// console meanwhile. True at the first Esc; keys before it are discarded,
// keys after it stay for the next look.
struct EscWatch {
    DWORD lookedAt = 0;  // tick of the last look; 0: none yet
    bool Typed(DWORD everyMs = timing::KeyLookMs);
};

#include "wait_box.h"

#include "host_ui.h"
#include "message_ids.h"
#include "phone_panel.h"

using namespace host;

namespace {

// Reads the keys waiting in the process's console; true at the first Esc.
// Keys before it are discarded, as the progress box does.
bool EscapeTyped()
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

}  // namespace

// A quick request shows nothing and reads no keys: the keys are the host's,
// and during a copy they are the progress box's to read.
bool WaitBox::KeepWaiting(DWORD quietMs)
{
    if (!asked) {
        asked = true;
        // A stop left over from an earlier operation is not this wait's.
        abortBefore = (*flags & OpFlag::Abort) != 0;
    }
    if (quietMs < ShowAfterMs) return true;
    if (!screen) {
        screen = startupInfo.SaveScreen(0, 0, -1, -1);
        const MsgItem lines[] = {MWaitingForPhone, MEscStops};
        ShowMessage(0, NULL, lines, 2, 0);
        if (!screen) screen = INVALID_HANDLE_VALUE;  // shown once all the same
    }
    if (EscapeTyped()) return false;
    return abortBefore || (*flags & OpFlag::Abort) == 0;
}

void WaitBox::WaitEnded()
{
    if (screen && screen != INVALID_HANDLE_VALUE) startupInfo.RestoreScreen(screen);
    screen = NULL;
    asked = false;
}

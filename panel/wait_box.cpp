#include "wait_box.h"

#include "host_ui.h"
#include "message_ids.h"
#include "status_text.h"

using namespace host;

// A quick request shows nothing and reads no keys: the keys are the host's,
// and during a copy they are the progress box's to read.
bool WaitBox::KeepWaiting(DWORD quietMs)
{
    // Off the host's main thread nothing is drawn and no key read: such a
    // wait ends by the link's own rules for a dead or stuck server, and
    // FAR's Find dialog stops the search between two calls.
    if (!MayDraw()) return true;
    DWORD waited = quietMs;
    if (inRun && GetTickCount() - runStart > waited) waited = GetTickCount() - runStart;
    if (waited < timing::WaitBoxAfterMs) return true;
    if (!screen) {
        screen = SaveWholeScreen();
        const MsgItem lines[] = {MWaitingForPhone, MEscStops};
        ShowMessage(0, NULL, lines, 2, 0);
        if (!screen) screen = INVALID_HANDLE_VALUE;  // shown once all the same
    }
    // The Esc stops the operation too, as one read by its own box does.
    if (keys.Typed()) {
        InterlockedOr(flags, StopAsked);
        return false;
    }
    return abortBefore || (*flags & StopAsked) == 0;
}

// A stop left over from an earlier operation is not this wait's; one asked
// for from the wait's start on is, however soon it comes.
void WaitBox::WaitBegun() { abortBefore = (*flags & StopAsked) != 0; }

void WaitBox::WaitEnded()
{
    if (!inRun) Hide();
}

void WaitBox::RunBegun()
{
    runStart = GetTickCount();
    inRun = true;
}

void WaitBox::RunEnded()
{
    inRun = false;
    Hide();
}

void WaitBox::Hide()
{
    RestoreSavedScreen(screen);
    screen = NULL;
}

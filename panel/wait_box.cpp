#include "wait_box.h"

#include "host_ui.h"
#include "message_ids.h"
#include "message_pump.h"
#include "status_text.h"

using namespace host;

bool WaitBox::Attended() { return MayDraw(); }

// A quick request shows nothing and reads no keys: the keys are the host's,
// and during a copy they are the progress box's to read.
bool WaitBox::KeepWaiting(DWORD quietMs)
{
    // Off the host's main thread nothing is drawn and no key read: such a
    // wait ends by the link's own rules for a dead or stuck server, or when
    // the main thread, waiting to enter the panel, is told to stop; FAR's
    // Find dialog stops the search between two calls.
    if (!MayDraw()) return InterlockedCompareExchange(&othersStop, 0, 0) == 0;
    DWORD waited = quietMs;
    DWORD inThisRun = inRun ? Elapsed(GetTickCount(), runStart) : 0;
    if (inThisRun > waited) waited = inThisRun;
    if (waited < timing::WaitBoxAfterMs) return true;
    if (!hostDraws && (!screen || (inRun && shownRead != runRead))) Draw();
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

//   ╔═ Waiting for the phone... ═════╗
//   ║ Reading the folder: 96 entries ║  during a run
//   ║ Esc stops                      ║
//   ╚════════════════════════════════╝
// Drawn again over itself as the count grows: the box only widens.
void WaitBox::Draw()
{
    if (!screen) {
        screen = SaveWholeScreen();
        if (!screen) screen = INVALID_HANDLE_VALUE;  // shown all the same
    }
    char reading[80];
    if (inRun) {
        FormatCount(reading, sizeof(reading), MReadingFolder, runRead);
        shownRead = runRead;
    }
    const MsgItem run[] = {MWaitingForPhone, TextItem(reading), MEscStops};
    const MsgItem one[] = {MWaitingForPhone, MEscStops};
    if (inRun) ShowMessage(0, nullptr, run, 3, 0);
    else ShowMessage(0, nullptr, one, 2, 0);
}

void WaitBox::RunBegun(bool hostBox)
{
    runStart = GetTickCount();
    inRun = true;
    hostDraws = hostBox;
    runRead = 0;
}

void WaitBox::RunEnded()
{
    inRun = false;
    hostDraws = false;
    Hide();
}

void WaitBox::Hide()
{
    RestoreSavedScreen(screen);
    screen = nullptr;
    shownRead = -1;
}

// The main thread's wait has a box of its own: the panel's belongs to the
// thread inside. The call inside ends its wait on the phone at its next look
// (a tenth of a second), or after the read under way, or, stopping a copy,
// after a second at most; then it leaves, and the lock is this thread's.
void EnterPanel(HANDLE lock, WaitBox& inside)
{
    if (!MayDraw()) {
        PumpingWaitOne(lock, INFINITE);
        return;
    }
    if (PumpingWaitOne(lock, 0) != WAIT_TIMEOUT) return;
    WaitBox box(inside.flags);
    box.WaitBegun();
    DWORD start = GetTickCount();
    bool stopped = false;
    while (PumpingWaitOne(lock, timing::WatchMs) == WAIT_TIMEOUT) {
        if (stopped || box.KeepWaiting(Elapsed(GetTickCount(), start))) continue;
        stopped = true;
        InterlockedExchange(&inside.othersStop, 1);
    }
    InterlockedExchange(&inside.othersStop, 0);
    box.WaitEnded();
}

// What the user sees while a request to the phone takes long: after about a
// second a small box says the plug-in waits for the phone and that Esc stops
// it; an Esc typed then, or a break, gives the wait up.
//
// Only FAR's main thread draws and reads keys. A wait on another thread
// (Find's worker) can be ended by the main thread alone: when it waits to
// enter the panel that thread is in, and the user stops that wait
// (EnterPanel sets, the other thread's KeepWaiting reads `othersStop`).
#pragma once

#include "host_ui.h"
#include "phone_link.h"
#include "timings.h"

class WaitBox : public WaitWatcher {
public:
    explicit WaitBox(volatile LONG* stopFlags)
        : flags(stopFlags), screen(nullptr), runStart(0), inRun(false), hostDraws(false),
          runRead(0), shownRead(-1), abortBefore(false), othersStop(0) {}
    void WaitBegun() override;
    bool Attended() override;
    bool KeepWaiting(DWORD quietMs) override;
    void WaitEnded() override;

    // A folder's listing is many quick requests the user waits on as one:
    // during a run the box comes after about a second of the whole run, not
    // only of one slow request, and stays up until the run ends, counting
    // the entries read. With `hostBox` the host's own box already says what
    // happens (FAR's "Preparing files list" over F3's walk): no box of
    // Kelp's comes and goes over it with each folder, and Esc still stops.
    void RunBegun(bool hostBox);
    void RunEnded();
    // Entries the run's listing has read so far, for the box to show.
    void RunRead(int entries) { runRead = entries; }

private:
    friend void EnterPanel(HANDLE lock, WaitBox& inside);
    void Hide();
    void Draw();

    volatile LONG* flags;  // the panel's opFlags
    HANDLE screen;         // saved under the box while it is shown
    DWORD runStart;        // tick count when the run began
    bool inRun;            // between RunBegun and RunEnded
    bool hostDraws;        // the run is under the host's own box
    int runRead;           // entries the run has read
    int shownRead;         // the count the box shows; -1: none
    bool abortBefore;      // the stop bit was set before this wait began
    EscWatch keys;         // read while the box is shown
    volatile LONG othersStop;  // FAR's main thread: a wait on another thread ends
};

// Takes the panel's call lock (a mutex), `inside` being the box of the
// panel's waits. FAR's main thread waits for it as for the phone: after
// about a second the box, and Esc or a break there ends the wait on the
// phone of the call inside (Find's worker, which has no box of its own);
// that call then lets go at once. Other threads wait as long as it takes.
void EnterPanel(HANDLE lock, WaitBox& inside);

// Holds a run for as long as it lives; `on` false holds none.
struct WaitRun {
    WaitBox& box;
    bool on;
    WaitRun(WaitBox& b, bool runs, bool hostBox) : box(b), on(runs)
    {
        if (on) box.RunBegun(hostBox);
    }
    ~WaitRun()
    {
        if (on) box.RunEnded();
    }
};

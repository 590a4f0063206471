// What the user sees while a request to the phone takes long: after about a
// second a small box says the plug-in waits for the phone and that Esc stops
// it; an Esc typed then, or a break, gives the wait up.
#pragma once

#include "host_ui.h"
#include "phone_link.h"
#include "timings.h"

class WaitBox : public WaitWatcher {
public:
    explicit WaitBox(volatile LONG* stopFlags)
        : flags(stopFlags), screen(NULL), runStart(0), inRun(false), abortBefore(false) {}
    void WaitBegun() override;
    bool KeepWaiting(DWORD quietMs) override;
    void WaitEnded() override;

    // A folder's listing is many quick requests the user waits on as one:
    // during a run the box comes after about a second of the whole run, not
    // only of one slow request, and stays up until the run ends.
    void RunBegun();
    void RunEnded();

private:
    void Hide();

    volatile LONG* flags;  // the panel's opFlags
    HANDLE screen;         // saved under the box while it is shown
    DWORD runStart;        // tick count when the run began
    bool inRun;            // between RunBegun and RunEnded
    bool abortBefore;      // the stop bit was set before this wait began
    EscWatch keys;         // read while the box is shown
};

// Holds a run for as long as it lives; `on` false holds none.
struct WaitRun {
    WaitBox& box;
    bool on;
    WaitRun(WaitBox& b, bool runs) : box(b), on(runs)
    {
        if (on) box.RunBegun();
    }
    ~WaitRun()
    {
        if (on) box.RunEnded();
    }
};

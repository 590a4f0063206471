// What the user sees while a request to the phone takes long: after about a
// second a small box says the plug-in waits for the phone and that Esc stops
// it; an Esc typed then, or a break, gives the wait up.
#pragma once

#include "phone_link.h"

class WaitBox : public WaitWatcher {
public:
    explicit WaitBox(volatile LONG* stopFlags) : flags(stopFlags), screen(NULL), asked(false),
                                                 abortBefore(false) {}
    bool KeepWaiting(DWORD quietMs) override;
    void WaitEnded() override;

    enum { ShowAfterMs = 1000 };

private:
    volatile LONG* flags;  // the panel's opFlags
    HANDLE screen;         // saved under the box while it is shown
    bool asked;            // KeepWaiting was called in this wait
    bool abortBefore;      // the stop bit was set before this wait began
};

// Every waiting time the plug-in keeps, in one place: how long before the
// user is shown a wait, how often keys are looked at, and when a server
// counts as gone or stuck. Milliseconds.
#pragma once

#include <windows.h>

namespace timing {

enum : unsigned long {
    // The "waiting for the phone" box comes after a wait this long.
    WaitBoxAfterMs = 1000,
    // The console's keys are looked at no more often than this: a look costs
    // a round trip to the console's owner.
    KeyLookMs = 20,
    // A delete, whose requests give the console no other look, reads keys
    // between two requests at most this often.
    DeleteKeyLookMs = 100,
    // The box of the pass that adds up a copy is drawn at most this often.
    CountDrawMs = 100,
    // A waiting thread wakes this often to draw and to ask whether to go on.
    WatchMs = 100,
    // A listing an operation makes hands its entries over about this often,
    // so its box counts them and Esc or a break is heard between two batches.
    ReadHandOverMs = 200,
    // A server quiet this long is asked whether it is still there.
    LivenessMs = 1000,
    // A call into the server with no sign of life for this long is stuck: a
    // suspended or hung server's.
    StuckCallMs = 5000,
    // A wait nobody can end (Find's worker: no box, no keys) with no sign of
    // life for this long ends as a lost server, whether or not its process
    // can be watched: a server that died while it owed a completion gives no
    // other sign, and Find's worker holds the panel meanwhile. Twice a stuck
    // call's time: a busy phone may be slow to answer.
    UnattendedQuietMs = 10000,
    // A read run or a copy asked to stop gets this long to end by itself
    // before the link is given up.
    WindDownMs = 1000,
    // After the server refused a request, what it may still complete of it
    // is let in and dropped for this long before the next request.
    RefusalDrainMs = 100,
    // A request refused this soon after the server's last callback may have
    // overtaken the reply to it (the server still sat in the callback): it
    // is asked once more.
    BusyAfterCallbackMs = 1000,
    // Once a server has refused such a request, each request of that
    // connection made this soon after a callback first waits this many
    // microseconds (not milliseconds: timed on the performance counter, see
    // LinkThread::LetTheReplyLand), so that COM's reply to the callback
    // reaches the server before it does. Out of process under Wine 8, on a
    // loaded machine, a strict server refused per connection (the first
    // refusal can't be helped) 1.6 to 2.1 requests at 500 us, 1.4 to 2.0 at
    // 1000 us (which doubles what the pauses cost a listing), 2.0 to 3.6 at
    // 300 us and 4.1 at 100 us (make bench's strict-server figure).
    CallbackReplyUs = 500,
    // A given-up link's thread is waited for this long when the link closes.
    AbandonedGraceMs = 1000,
};

}  // namespace timing

// Milliseconds from tick count `then` to `now`, across the count's wrap; a
// stamp another thread took a tick after `now` was read is no time, not 49
// days. Every difference of two tick counts goes through here.
inline DWORD Elapsed(DWORD now, DWORD then) { return (LONG)(now - then) > 0 ? now - then : 0; }

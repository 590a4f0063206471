// The link's own thread, private to the link (phone_link.cpp hands requests
// to it). It runs in a single-threaded apartment of its own: it creates the
// server, registers a sink and makes every request, and the sink's callbacks
// are dispatched inside this thread's waits, so a request leaves only after
// the server's last callback has returned. Its life and the pool are
// thread_pool.cpp; the request engine, request_engine.cpp; the sink the
// server calls back, link_sink.h and link_sink.cpp.
//
// Wine keeps a listening endpoint for every single-threaded apartment that
// ever handed out an object, and stops taking calls into the process after
// 63 of them; so the threads are kept in a small pool for the life of the
// process (a host that loads the plug-in again finds them too), and a panel
// that opens takes an idle one that an earlier panel left. A thread given up
// (the user stopped waiting, or it sat stuck in a call) is never reused: it
// ends whenever its call returns, if ever.
//
// What the asking thread (the one holding the link's gate) and this thread
// share, and who writes it:
//
//   field            written by                       read by
//   request (in)     asking thread, before Post       link thread, until `done`
//   request (out)    link thread (and the sink's      asking thread, after `done`
//                    callbacks, on that thread)
//   notices,         link thread (progress calls);    asking thread (TakeNotices)
//   noticeCount      asking thread (Post, Take-
//                    Notices); under noticeLock
//   cancelWanted     asking thread (Post, Request-    link thread, between reads,
//                    Cancel; Reuse)                   in progress answers and
//                                                     after a refusal
//   callSince        link thread (around each call);  asking thread (StuckFor)
//                    asking thread (Reuse)
//   lastSign         link thread (callbacks, a call   both (QuietFor, StuckFor)
//                    leaving); asking thread (Post)
//   endAsked         asking thread (AskToEnd)         link thread
//   stuck            asking thread (a hung connect;   both
//                    Reuse), link thread (returned)
//   stuckConnects    asking thread (a hung connect),  asking thread (ConnectStuck)
//                    link thread (returned)
//   holds            the owner (Disown), the thread   both: the last one deletes
//                    as it ends (DropHold)
//   nextIdle, the    whoever holds the pool lock      whoever holds the pool lock
//   pool's list
//
// Reuse runs while the thread sits idle in the pool, so nothing else touches
// what it clears. Everything else (the server, the cookie, the sink, what is
// expected) is the link thread's alone.
#pragma once

#include "link_request.h"

class LinkSink;

// The process running the program registered for `clsid`, opened to be
// waited on; null when it can't be told (server_process.cpp).
HANDLE OpenServerProcess(const CLSID& clsid);

class LinkThread {
public:
    // An idle thread from the pool, or a new one; null when none can start.
    static LinkThread* Acquire();
    // A connect that hangs holds its thread; at most one such thread is kept.
    static bool ConnectStuck() { return stuckConnects > 0; }

    // The asking side.
    LinkRequest request;
    HANDLE done;    // auto-reset: the request is finished
    HANDLE notice;  // auto-reset: progress figures are waiting
    void Post();
    int TakeNotices(LONG* values);
    void RequestCancel() { InterlockedExchange(&cancelWanted, 1); }
    // Milliseconds the call under way has gone without a sign of life (its
    // start, a callback); 0 outside a call.
    DWORD StuckFor(DWORD now) const;
    DWORD QuietFor(DWORD now) const;  // since the last sign, in or out of a call
    void MarkStuckConnect();
    // After a disconnect that ended: back to the pool, which holds it from
    // now on (or, the pool being full, asked to end and disowned).
    void ReturnToPool();
    // Nothing more is asked of it: it lets go of the server and ends as soon
    // as it can (given up, or ended with the pool).
    void AskToEnd() { SetEvent(endAsked); }
    // The owner (the link) lets go of it for good, after waiting up to
    // `waitMs` (dispatching messages) for the thread to have ended.
    void Disown(DWORD waitMs);

    // The sink's side, on this thread.
    void Completed(LinkOp op, LONG status, DWORD value, const void* record, size_t size);
    LONG Progress(LONG value);
    // Every callback that reaches the link: a sign of life, and when it ran.
    void InCallback();

    enum { NoticeSlots = 32 };

    LinkThread(const LinkThread&) = delete;
    LinkThread& operator=(const LinkThread&) = delete;

private:
    void Sign();  // the server (or a request leaving) gave a sign of life now
    LinkThread();
    ~LinkThread();
    // Drops one of the two holds, the owner's (link or pool) or the running
    // thread's; the last one deletes it.
    void DropHold();
    void Reuse();  // taken from the pool: what one use leaves is cleared

    static DWORD WINAPI ThreadMain(void* self);
    void Serve();
    void Connect();
    void Disconnect();
    void Reads();
    void Do();
    HRESULT CallServer();
    bool ServerAlive();
    void DrainRefused();
    void LetTheReplyLand();

    static volatile LONG stuckConnects;

    HANDLE thread;
    HANDLE ready;     // auto-reset: a request was posted
    HANDLE endAsked;  // manual: given up, or the pool ends it
    volatile LONG holds;
    volatile LONG stuck;  // 0; 1 counted as a stuck connect; 2 the connect returned
    volatile LONG callSince;  // tick count | 1 inside a call, else 0
    volatile LONG lastSign;
    volatile LONG cancelWanted;

    CRITICAL_SECTION noticeLock;
    LONG notices[NoticeSlots];
    int noticeCount;

    // The link thread's own.
    remote::IRemoteFs* server;
    DWORD cookie;
    HANDLE serverProcess;  // the server's process, when it could be told; else null
    LinkSink* sink;
    DWORD lastCallback;    // tick | 1 when the server last called the sink
    LinkOp refusedOp;      // a refused request, while what it may complete is drained
    bool refusedCompleted; // ... and completed all the same
    bool busyInCallbacks;  // this server refused a request made right after a callback
    LinkOp expected;  // the completion the request under way waits for; OpNone between
    bool completed;   // it came
    bool recordMissing;  // ... as a success without its record

    LinkThread* nextIdle;  // the pool's list
};

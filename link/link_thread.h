// The link's own thread, private to the link (phone_link.cpp hands requests
// to it). It runs in a single-threaded apartment of its own: it creates the
// server, registers a sink and makes every request, and the sink's callbacks
// are dispatched inside this thread's waits, so a request leaves only after
// the server's last callback has returned.
//
// Wine keeps a listening endpoint for every single-threaded apartment that
// ever handed out an object, and stops taking calls into the process after
// 63 of them; so the threads are kept in a small pool for the life of the
// process (a host that loads the plug-in again finds them too), and a panel
// that opens takes an idle one that an earlier panel left. A thread given up (the
// user stopped waiting, or it sat stuck in a call) is never reused: it ends
// whenever its call returns, if ever.
//
// What the asking thread and this thread share, and who writes it:
//
//   field            written by                      read by
//   request (in)     asking thread, before Post      link thread, until `done`
//   request (out)    link thread (and the sink's     asking thread, after `done`
//                    callbacks, on that thread)
//   notices          link thread (progress calls)    asking thread (TakeNotices)
//   cancelWanted     asking thread                   link thread, between reads,
//                                                    in progress answers and
//                                                    after a refusal
//   callSince,       link thread                     asking thread: the stuck
//   lastSign                                         and quiet clocks
//   quit             asking thread (give up)         link thread
//   stuck            asking thread (a hung connect;  both
//                    cleared when taken from the
//                    pool), link thread (returned)
//
// Everything else (the server, the cookie, the sink, what is expected) is the
// link thread's alone.
#pragma once

#include "phone_link.h"

enum LinkOp {
    OpNone,
    OpConnect,
    OpDisconnect,
    OpDriveList,
    OpVolumeInfo,
    OpDirOpen,
    OpDirRead,
    OpDirClose,
    OpDirRemove,
    OpDirMake,
    OpEntryInfo,
    OpFileCopy,
    OpFileDelete,
};

// One request, from its asking to its outcome. The paths are copies: the
// asking thread may be gone before a given-up thread is done with them.
struct LinkRequest {
    enum { PathUnits = 1024 };

    // In.
    LinkOp op;
    WCHAR path[PathUnits];
    WCHAR target[PathUnits];
    DWORD value;  // a handle, a drive index
    LONG direction, overwrite;
    int entriesWanted;  // OpDirRead: how many reads in a row (at least 1)
    ServerMaker maker;  // OpConnect
    void* makerContext;

    // Out.
    bool accepted;    // the server took the request call
    LONG status;      // the completion's, or StatusNotAccepted
    LinkLoss loss;    // LinkServes, or why no completion will come
    DWORD resultValue;                                      // a mask, a handle
    remote::RemoteEntry entries[PhoneLink::ReadBatchMax];  // reads that succeeded; EntryInfo's
    int entryCount;
    remote::RemoteVolume volume;
};

class LinkSink;

// Milliseconds from `then` to `now`; a stamp taken on another thread a tick
// after `now` was read is no time, not 49 days.
inline DWORD Elapsed(DWORD now, DWORD then) { return (LONG)(now - then) > 0 ? now - then : 0; }

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
    // now on.
    void Park();
    // Nothing more is asked of it: it lets go of the server and ends as soon
    // as it can (given up, or ended with the pool).
    void Quit() { SetEvent(quit); }
    // The owner lets go, after waiting up to `waitMs` (dispatching messages)
    // for the thread to have ended.
    void Leave(DWORD waitMs);

    // The sink's side, on this thread.
    void Completed(LinkOp op, LONG status, DWORD value, const void* record, size_t size);
    LONG Progress(LONG value);
    // Every callback that reaches the link: a sign of life, and when it ran.
    void InCallback();

    enum { NoticeSlots = 32 };

private:
    void Sign();  // the server (or a request leaving) gave a sign of life now
    LinkThread();
    ~LinkThread();
    LinkThread(const LinkThread&);
    LinkThread& operator=(const LinkThread&);
    void Let();  // drops one hold: the owner's (link or pool) or the thread's
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
    HANDLE ready;  // auto-reset: a request was posted
    HANDLE quit;   // manual: given up, or the pool ends it
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

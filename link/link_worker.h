// The link's own COM thread and the sink the server calls back. Private to
// the link: only phone_connection.cpp and phone_requests.cpp use it.
//
// The thread joins the process's multithreaded apartment rather than opening
// a single-threaded one of its own. Wine keeps a listening endpoint for every
// single-threaded apartment that ever handed out an object (the sink) until
// the process ends, and once there are more than 63 of them it takes no new
// call into the process at all: a FAR session, or a test program, that opened
// that many panels would hang on the next one. The multithreaded apartment
// has one endpoint for the process's life. So the sink's callbacks come on
// COM's threads, beside this one, and what they share with it is locked.
//
// The worker lives on the heap, held by its link and by its thread, because a
// thread stuck in a call to a hung server can't be joined: its link lets go
// of it and it frees itself whenever (if ever) the call returns.
#pragma once

#include "phone_link.h"

enum LinkOp {
    OpNone,
    OpConnect,
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

// One request as the worker carries it out. The paths are copies: the caller
// may be gone before the worker is done.
struct LinkJob {
    enum { PathUnits = 1024 };
    LinkOp op;
    WCHAR path[PathUnits];
    WCHAR target[PathUnits];
    DWORD value;  // a handle, a drive index
    LONG direction, overwrite;
    int entriesWanted;  // OpDirRead: 0 for one read; else up to this many in a row

    bool accepted;  // the server took the request call
    LONG status;
    DWORD resultValue;
    remote::RemoteEntry entry;    // filled on success only
    remote::RemoteVolume volume;  // filled on success only
    remote::RemoteEntry entries[PhoneLink::ReadBatchMax];  // the reads in a row that succeeded
    int entryCount;
};

// A request as its caller describes it, and what came of it.
struct PhoneLink::Request {
    explicit Request(LinkOp o, const WCHAR* p = NULL, const WCHAR* t = NULL)
        : op(o), path(p), target(t), value(0), direction(0), overwrite(0), progress(NULL),
          context(NULL), entries(NULL), entriesWanted(0), cancelled(false), accepted(false),
          resultValue(0), entryCount(0) {}

    LinkOp op;
    const WCHAR* path;
    const WCHAR* target;
    DWORD value;
    LONG direction, overwrite;
    ProgressFn progress;
    void* context;
    remote::RemoteEntry* entries;  // DirReadSome: where the entries go
    int entriesWanted;

    bool cancelled;  // the progress function answered 0
    bool accepted;
    DWORD resultValue;
    int entryCount;
};

class LinkWorker final : public remote::IRemoteFsSink {
public:
    enum {
        LivenessInterval = 1000,  // ms without a callback before asking the server
        HungCallMs = 5000,        // a COM call this long means a stuck server
        NoticeSlots = 32,
    };

    // Starts the thread; null when it could not be started.
    static LinkWorker* Start(ServerMaker maker, void* makerContext);

    // Caller's side. Post a job filled in `job`, then wait on `jobDone` and
    // `noticeEvent`; TakeNotices hands over the progress figures that came.
    LinkJob job;
    HANDLE jobDone;      // auto-reset: the job is finished
    HANDLE noticeEvent;  // auto-reset: progress figures are waiting
    void Post();
    int TakeNotices(LONG* values);
    void RequestCancel() { InterlockedExchange(&cancelRequested, 1); }
    DWORD CallSince() const { return callSince; }  // tick count | 1 inside a call, else 0
    DWORD LastSign() const { return lastSign; }

    // Ends the thread: at once when it is idle or waiting, or whenever its
    // call returns. Then gives up the link's hold. `waitMs`: how long to wait
    // (dispatching messages) for the thread to have ended.
    void Stop(DWORD waitMs);
    void Quit() { SetEvent(quitEvent); }
    // A connect that hangs holds its thread; at most one such thread is kept.
    void MarkStuckConnect();
    static bool ConnectStuck() { return stuckConnects > 0; }

    // IUnknown of the sink.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

private:
    LinkWorker(ServerMaker maker, void* makerContext);
    ~LinkWorker();
    void Let();  // drops one hold (the link's or the thread's)

    static DWORD WINAPI ThreadMain(void* self);
    void Serve();
    void Do();
    void DoReads();
    void DoConnect();
    HRESULT CallServer();
    bool ServerAlive();
    void Enter();
    void Leave();
    void EndExpecting(LONG outcome);

    struct InCallback;
    HRESULT CompleteStatus(LinkOp op, LONG s);  // takes stateLock itself
    // With stateLock held.
    bool Expecting(LinkOp op);
    void Complete(LONG completionStatus);
    void CompleteWithRecord(LinkOp op, LONG s, const void* record, void* store, size_t size);

    // The sink's callbacks: on COM's threads, or on this one inside its waits
    // (a server made in the thread's own apartment).
    HRESULT STDMETHODCALLTYPE Unused3(LONG) override;
    HRESULT STDMETHODCALLTYPE Unused4(LONG) override;
    HRESULT STDMETHODCALLTYPE OnDriveList(LONG status, DWORD mask) override;
    HRESULT STDMETHODCALLTYPE OnVolumeInfo(LONG status, const remote::RemoteVolume* volume) override;
    HRESULT STDMETHODCALLTYPE Unused7(LONG) override;
    HRESULT STDMETHODCALLTYPE OnDirOpen(LONG status, DWORD handle) override;
    HRESULT STDMETHODCALLTYPE OnDirRead(LONG status, const remote::RemoteEntry* entry) override;
    HRESULT STDMETHODCALLTYPE OnDirClose(LONG status) override;
    HRESULT STDMETHODCALLTYPE OnDirRemove(LONG status) override;
    HRESULT STDMETHODCALLTYPE OnDirMake(LONG status) override;
    HRESULT STDMETHODCALLTYPE OnEntryInfo(LONG status, const remote::RemoteEntry* entry) override;
    HRESULT STDMETHODCALLTYPE Unused14(LONG) override;
    HRESULT STDMETHODCALLTYPE OnFileCopy(LONG status) override;
    HRESULT STDMETHODCALLTYPE OnFileDelete(LONG status) override;
    HRESULT STDMETHODCALLTYPE Unused17(LONG) override;
    HRESULT STDMETHODCALLTYPE Unused18(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE OnRecord(LONG status, const BYTE* record) override;
    HRESULT STDMETHODCALLTYPE Unused20(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE Unused21(LONG) override;
    HRESULT STDMETHODCALLTYPE Unused22(LONG, LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE Unused23(LONG) override;
    HRESULT STDMETHODCALLTYPE Unused24(LONG) override;
    HRESULT STDMETHODCALLTYPE Unused25(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE Unused26(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE OnCopyProgress(LONG value, LONG* cancel) override;

    static volatile LONG stuckConnects;

    ServerMaker maker;
    void* makerContext;
    HANDLE thread;
    HANDLE jobReady;    // auto-reset: a job was posted
    HANDLE quitEvent;   // manual: the link is done with this worker
    HANDLE completed;   // auto-reset: the expected completion came
    volatile LONG holds;      // the link's and the thread's
    volatile LONG sinkRefs;   // COM's references; they never free the worker
    volatile LONG stuck;      // 0; 1 counted as a stuck connect; 2 the connect returned
    volatile DWORD callSince;
    volatile DWORD lastSign;
    volatile LONG cancelRequested;
    volatile LONG callbacksRunning;  // the worker is freed only when none is

    remote::IRemoteFs* server;
    DWORD cookie;
    remote::IRemoteFsSink* probe;  // the liveness question's own sink

    CRITICAL_SECTION stateLock;  // `expected` and the job's results, against the callbacks
    LinkOp expected;  // the completion the running job waits for; OpNone between jobs

    CRITICAL_SECTION noticeLock;
    LONG notices[NoticeSlots];
    int noticeCount;
};

// The link's COM thread: it creates the server, registers the sink, makes
// every request and waits for its completion, asking a quiet server now and
// then whether it is still there. It lives in the process's multithreaded
// apartment (link_worker.h says why), so completions come on COM's threads.
#include "link_worker.h"

#include <cstring>

using namespace remote;

volatile LONG LinkWorker::stuckConnects = 0;

namespace {

// The sink the liveness question registers and takes back: a registration of
// Kelp's own, so asking changes nothing the server keeps for anyone else.
class QuietSink final : public IRemoteFsSink {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = NULL;
        bool known = IsEqualIID(iid, IID_IUnknown);
        for (int g = 0; g < GenerationCount && !known; ++g)
            known = IsEqualIID(iid, RemoteFsSinkIds[g]) != 0;
        if (!known) return E_NOINTERFACE;
        *out = static_cast<IRemoteFsSink*>(this);
        return S_OK;
    }
    // Its worker owns it and disconnects it before freeing it.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Unused3(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused4(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDriveList(LONG, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnVolumeInfo(LONG, const RemoteVolume*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused7(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDirOpen(LONG, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDirRead(LONG, const RemoteEntry*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDirClose(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDirRemove(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDirMake(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnEntryInfo(LONG, const RemoteEntry*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused14(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFileCopy(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFileDelete(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused17(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused18(LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnRecord(LONG, const BYTE*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused20(LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused21(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused22(LONG, LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused23(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused24(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused25(LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused26(LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnCopyProgress(LONG, LONG* cancel) override
    {
        if (cancel) *cancel = 0;
        return S_OK;
    }
};

// What a proxy answers for a real call once its server process is gone.
bool ServerGone(HRESULT hr)
{
    switch ((DWORD)hr) {
    case 0x800706BA:  // RPC_S_SERVER_UNAVAILABLE
    case 0x800706BE:  // RPC_S_CALL_FAILED
    case 0x800706BF:  // RPC_S_CALL_FAILED_DNE
    case 0x80010007:  // RPC_E_SERVER_DIED
    case 0x80010012:  // RPC_E_SERVER_DIED_DNE
    case 0x80010108:  // RPC_E_DISCONNECTED
    case 0x800401FD:  // CO_E_OBJNOTCONNECTED
        return true;
    default:
        return false;
    }
}

HMODULE ThisModule()
{
    HMODULE module = NULL;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)&ServerGone, &module);
    return module;
}

}  // namespace

// --- life ------------------------------------------------------------------------

LinkWorker::LinkWorker(ServerMaker m, void* context)
    : jobDone(CreateEventA(NULL, FALSE, FALSE, NULL)),
      noticeEvent(CreateEventA(NULL, FALSE, FALSE, NULL)), maker(m), makerContext(context),
      thread(NULL), jobReady(CreateEventA(NULL, FALSE, FALSE, NULL)),
      quitEvent(CreateEventA(NULL, TRUE, FALSE, NULL)),
      completed(CreateEventA(NULL, FALSE, FALSE, NULL)), holds(2), sinkRefs(0), stuck(0),
      callSince(0), lastSign(0), cancelRequested(0), callbacksRunning(0), server(NULL), cookie(0),
      probe(new QuietSink), expected(OpNone), noticeCount(0)
{
    memset(&job, 0, sizeof(job));
    InitializeCriticalSection(&stateLock);
    InitializeCriticalSection(&noticeLock);
}

LinkWorker::~LinkWorker()
{
    HANDLE handles[] = {jobDone, noticeEvent, jobReady, quitEvent, completed, thread};
    for (HANDLE h : handles)
        if (h) CloseHandle(h);
    delete static_cast<QuietSink*>(probe);
    DeleteCriticalSection(&stateLock);
    DeleteCriticalSection(&noticeLock);
}

LinkWorker* LinkWorker::Start(ServerMaker m, void* context)
{
    LinkWorker* w = new LinkWorker(m, context);
    if (!w->jobDone || !w->noticeEvent || !w->jobReady || !w->quitEvent || !w->completed) {
        delete w;
        return NULL;
    }
    // The thread keeps the module loaded until it ends, which may be after
    // the host has let the plug-in go.
    HMODULE module = ThisModule();
    w->thread = CreateThread(NULL, 0, ThreadMain, w, 0, NULL);
    if (!w->thread) {
        if (module) FreeLibrary(module);
        delete w;
        return NULL;
    }
    return w;
}

void LinkWorker::Let()
{
    if (InterlockedDecrement(&holds) == 0) delete this;
}

DWORD WINAPI LinkWorker::ThreadMain(void* self)
{
    static_cast<LinkWorker*>(self)->Serve();
    static_cast<LinkWorker*>(self)->Let();
    HMODULE module = ThisModule();
    if (module) {
        FreeLibrary(module);  // the reference taken by GetModuleHandleEx just now
        FreeLibraryAndExitThread(module, 0);
    }
    return 0;
}

void LinkWorker::Serve()
{
    CoInitializeEx(NULL, COINIT_MULTITHREADED);
    for (;;) {
        HANDLE waits[] = {jobReady, quitEvent};
        DWORD woke = PumpingWait(2, waits, FALSE, INFINITE);
        if (woke != WAIT_OBJECT_0) break;
        if (job.op == OpDirRead && job.entriesWanted > 0) DoReads();
        else Do();
        SetEvent(jobDone);
    }
    if (server) {
        Enter();
        server->Unadvise(cookie);
        server->Release();
        Leave();
        server = NULL;
    }
    // A server that died still holds the sinks as far as COM knows; the
    // apartment may outlive this thread (and the module), so they must go.
    CoDisconnectObject(static_cast<IRemoteFsSink*>(this), 0);
    CoDisconnectObject(probe, 0);
    CoUninitialize();
    // A callback already under way on one of COM's threads still uses the
    // worker.
    while (InterlockedCompareExchange(&callbacksRunning, 0, 0) != 0) Sleep(1);
}

void LinkWorker::Stop(DWORD waitMs)
{
    SetEvent(quitEvent);
    if (waitMs) PumpingWaitOne(thread, waitMs);
    Let();
}

void LinkWorker::MarkStuckConnect()
{
    if (InterlockedCompareExchange(&stuck, 1, 0) == 0) InterlockedIncrement(&stuckConnects);
}

void LinkWorker::Post()
{
    EnterCriticalSection(&noticeLock);
    noticeCount = 0;
    LeaveCriticalSection(&noticeLock);
    InterlockedExchange(&cancelRequested, 0);
    ResetEvent(jobDone);
    ResetEvent(noticeEvent);
    lastSign = GetTickCount();
    SetEvent(jobReady);
}

int LinkWorker::TakeNotices(LONG* values)
{
    EnterCriticalSection(&noticeLock);
    int n = noticeCount;
    memcpy(values, notices, n * sizeof(LONG));
    noticeCount = 0;
    LeaveCriticalSection(&noticeLock);
    return n;
}

// The caller reads the stamp to tell a slow call from a stuck one.
void LinkWorker::Enter() { callSince = GetTickCount() | 1; }
void LinkWorker::Leave() { callSince = 0; }

// The job takes no completion from now on; `outcome` is its status unless its
// completion got in first.
void LinkWorker::EndExpecting(LONG outcome)
{
    EnterCriticalSection(&stateLock);
    if (expected != OpNone) {
        job.status = outcome;
        expected = OpNone;
    }
    LeaveCriticalSection(&stateLock);
}

// Held for the length of a callback: it sees the job alone, and the worker is
// not freed under it.
struct LinkWorker::InCallback {
    LinkWorker* w;
    explicit InCallback(LinkWorker* worker) : w(worker)
    {
        InterlockedIncrement(&w->callbacksRunning);
        EnterCriticalSection(&w->stateLock);
    }
    ~InCallback()
    {
        LeaveCriticalSection(&w->stateLock);
        InterlockedDecrement(&w->callbacksRunning);
    }
};

// --- the jobs --------------------------------------------------------------------

void LinkWorker::Do()
{
    if (job.op == OpConnect) {
        DoConnect();
        return;
    }
    job.accepted = false;
    job.status = StatusNotAccepted;
    if (!server) return;

    // A completion left over from an earlier request (one the server refused
    // yet completed, or one given up) has been dispatched and ignored by now;
    // what is latched must not end this one.
    ResetEvent(completed);
    EnterCriticalSection(&stateLock);
    expected = job.op;
    LeaveCriticalSection(&stateLock);
    lastSign = GetTickCount();
    Enter();
    HRESULT hr = CallServer();
    Leave();
    if (hr != S_OK) {
        // What a refusing server completed inside its call stands.
        EnterCriticalSection(&stateLock);
        expected = OpNone;
        LeaveCriticalSection(&stateLock);
        return;
    }
    job.accepted = true;

    // A server that dies never completes; a slow one always does. So the
    // wait is unlimited for a live server, and every quiet second it asks
    // whether the server is still there.
    LONG outcome;
    for (;;) {
        HANDLE waits[] = {completed, quitEvent};
        DWORD woke = PumpingWait(2, waits, FALSE, LivenessInterval);
        if (woke == WAIT_OBJECT_0) return;  // the completion filled the job
        if (woke == WAIT_OBJECT_0 + 1) {
            outcome = StatusAbandoned;
            break;
        }
        if (woke != WAIT_TIMEOUT) {
            outcome = StatusLinkBroken;
            break;
        }
        // Signed: a callback may stamp lastSign after GetTickCount was read.
        if ((LONG)(GetTickCount() - lastSign) >= LivenessInterval && !ServerAlive()) {
            outcome = StatusLinkBroken;
            break;
        }
    }
    EndExpecting(outcome);
}

// Reads in a row until the batch is full or a read does not succeed; the job
// ends with that read's status. A caller that asks the run to stop gets it
// stopped after the read under way, as cancelled; a link that lets go of the
// worker stops it there too.
void LinkWorker::DoReads()
{
    job.entryCount = 0;
    int wanted = job.entriesWanted < PhoneLink::ReadBatchMax ? job.entriesWanted
                                                            : (int)PhoneLink::ReadBatchMax;
    for (;;) {
        Do();
        if (!job.accepted || job.status != StatusOk) return;
        memcpy(&job.entries[job.entryCount++], &job.entry, sizeof(job.entry));
        if (job.entryCount == wanted || WaitForSingleObject(quitEvent, 0) == WAIT_OBJECT_0)
            return;
        if (InterlockedCompareExchange(&cancelRequested, 0, 0)) {
            job.status = StatusCancelled;
            return;
        }
    }
}

void LinkWorker::DoConnect()
{
    job.status = StatusNoServer;
    Enter();
    if (maker) {
        if (FAILED(maker(makerContext, &server))) server = NULL;
    } else {
        for (int g = 0; g < GenerationCount; ++g) {
            HRESULT hr = CoCreateInstance(ServerClassIds[g], NULL, CLSCTX_LOCAL_SERVER,
                                          RemoteFsIds[g], (void**)&server);
            if (SUCCEEDED(hr)) break;
            server = NULL;
        }
    }
    Leave();
    if (InterlockedExchange(&stuck, 2) == 1) InterlockedDecrement(&stuckConnects);
    if (!server) return;

    LONG accepted = 0;
    Enter();
    HRESULT hr = server->Advise(this, GetCurrentThreadId(), &cookie, &accepted);
    if (SUCCEEDED(hr) && !accepted) server->Unadvise(cookie);
    if (FAILED(hr) || !accepted) {
        server->Release();
        server = NULL;
        cookie = 0;
    }
    Leave();
    job.status = server ? StatusOk : StatusRefused;
}

HRESULT LinkWorker::CallServer()
{
    switch (job.op) {
    case OpDriveList: return server->DriveList(cookie, 0);
    case OpVolumeInfo: return server->VolumeInfo(cookie, 0, (LONG)job.value);
    case OpDirOpen: return server->DirOpen(cookie, 0, job.path);
    case OpDirRead: return server->DirRead(cookie, 0, job.value);
    case OpDirClose: return server->DirClose(cookie, 0, job.value);
    case OpDirRemove: return server->DirRemove(cookie, 0, job.path);
    case OpDirMake: return server->DirMake(cookie, 0, job.path);
    case OpEntryInfo: return server->EntryInfo(cookie, 0, job.path);
    case OpFileCopy:
        return server->FileCopy(cookie, job.path, job.target, job.direction, job.overwrite);
    case OpFileDelete: return server->FileDelete(cookie, 0, job.path);
    default: return E_INVALIDARG;
    }
}

// Only a real call on the server's proxy tells whether the server process is
// there (queries and reference counts are answered locally). Registering a
// sink of our own and taking it back again is such a call, and it touches
// nothing of the link's own registration or anybody else's.
bool LinkWorker::ServerAlive()
{
    DWORD probeCookie = 0;
    LONG accepted = 0;
    Enter();
    HRESULT hr = server->Advise(probe, GetCurrentThreadId(), &probeCookie, &accepted);
    if (SUCCEEDED(hr)) hr = server->Unadvise(probeCookie);
    Leave();
    return !ServerGone(hr);
}

// --- completions -------------------------------------------------------------------
// A completion counts only while a request waits, and only when it is the kind
// that request waits for: any other is left alone, or it would end the wait
// with somebody else's outcome.

bool LinkWorker::Expecting(LinkOp op)
{
    lastSign = GetTickCount();
    return expected != OpNone && expected == op;
}

void LinkWorker::Complete(LONG completionStatus)
{
    job.status = completionStatus;
    expected = OpNone;
    SetEvent(completed);
}

// A success without its record is no success: there is nothing to hand on.
void LinkWorker::CompleteWithRecord(LinkOp op, LONG s, const void* record, void* store,
                                    size_t size)
{
    if (!Expecting(op)) return;
    if (s == StatusOk && record) memcpy(store, record, size);
    Complete(s == StatusOk && !record ? StatusLinkBroken : s);
}

HRESULT STDMETHODCALLTYPE LinkWorker::OnDriveList(LONG s, DWORD mask)
{
    InCallback held(this);
    if (Expecting(OpDriveList)) {
        job.resultValue = mask;
        Complete(s);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LinkWorker::OnDirOpen(LONG s, DWORD handle)
{
    InCallback held(this);
    if (Expecting(OpDirOpen)) {
        job.resultValue = handle;
        Complete(s);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LinkWorker::OnVolumeInfo(LONG s, const RemoteVolume* record)
{
    InCallback held(this);
    CompleteWithRecord(OpVolumeInfo, s, record, &job.volume, sizeof(job.volume));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LinkWorker::OnDirRead(LONG s, const RemoteEntry* record)
{
    InCallback held(this);
    CompleteWithRecord(OpDirRead, s, record, &job.entry, sizeof(job.entry));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LinkWorker::OnEntryInfo(LONG s, const RemoteEntry* record)
{
    InCallback held(this);
    CompleteWithRecord(OpEntryInfo, s, record, &job.entry, sizeof(job.entry));
    return S_OK;
}

// The completions that carry nothing but a status.
HRESULT LinkWorker::CompleteStatus(LinkOp op, LONG s)
{
    InCallback held(this);
    if (Expecting(op)) Complete(s);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LinkWorker::OnDirClose(LONG s) { return CompleteStatus(OpDirClose, s); }

HRESULT STDMETHODCALLTYPE LinkWorker::OnDirRemove(LONG s) { return CompleteStatus(OpDirRemove, s); }

HRESULT STDMETHODCALLTYPE LinkWorker::OnDirMake(LONG s) { return CompleteStatus(OpDirMake, s); }

HRESULT STDMETHODCALLTYPE LinkWorker::OnFileCopy(LONG s) { return CompleteStatus(OpFileCopy, s); }

HRESULT STDMETHODCALLTYPE LinkWorker::OnFileDelete(LONG s) { return CompleteStatus(OpFileDelete, s); }

// No request of ours completes through this slot.
HRESULT STDMETHODCALLTYPE LinkWorker::OnRecord(LONG, const BYTE*)
{
    InCallback held(this);
    lastSign = GetTickCount();
    return S_OK;
}

// The figure goes to the requesting thread, which draws it; its answer can't
// come back inside this call (the in-process server runs on that very
// thread), so a cancel it asks for is answered at the next notice.
HRESULT STDMETHODCALLTYPE LinkWorker::OnCopyProgress(LONG value, LONG* cancel)
{
    InCallback held(this);
    bool copying = Expecting(OpFileCopy);
    if (!cancel) return S_OK;
    *cancel = copying && cancelRequested ? 1 : 0;
    if (!copying) return S_OK;
    EnterCriticalSection(&noticeLock);
    if (noticeCount == NoticeSlots) --noticeCount;  // the drawer is behind: keep the latest
    notices[noticeCount++] = value;
    LeaveCriticalSection(&noticeLock);
    SetEvent(noticeEvent);
    return S_OK;
}

// --- the sink's COM identity -------------------------------------------------------------

HRESULT STDMETHODCALLTYPE LinkWorker::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = NULL;
    // The sink answers to every generation's identifier, whichever server
    // generation was created.
    bool known = IsEqualIID(iid, IID_IUnknown);
    for (int g = 0; g < GenerationCount && !known; ++g)
        known = IsEqualIID(iid, RemoteFsSinkIds[g]) != 0;
    if (!known) return E_NOINTERFACE;
    *out = static_cast<IRemoteFsSink*>(this);
    AddRef();
    return S_OK;
}

// COM's references never free the worker: its link and its thread decide its
// life, so a server that releases more than it took can't free it early.
ULONG STDMETHODCALLTYPE LinkWorker::AddRef() { return InterlockedIncrement(&sinkRefs) + 1; }

ULONG STDMETHODCALLTYPE LinkWorker::Release()
{
    LONG remaining = InterlockedDecrement(&sinkRefs);
    if (remaining < 0) {
        InterlockedIncrement(&sinkRefs);
        remaining = 0;
    }
    return remaining + 1;
}

// Slots the server may call that carry nothing for us.
HRESULT STDMETHODCALLTYPE LinkWorker::Unused3(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE LinkWorker::Unused4(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE LinkWorker::Unused7(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE LinkWorker::Unused14(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE LinkWorker::Unused17(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE LinkWorker::Unused18(LONG, LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE LinkWorker::Unused20(LONG, LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE LinkWorker::Unused21(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE LinkWorker::Unused22(LONG, LONG, LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE LinkWorker::Unused23(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE LinkWorker::Unused24(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE LinkWorker::Unused25(LONG, LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE LinkWorker::Unused26(LONG, LONG) { return S_OK; }

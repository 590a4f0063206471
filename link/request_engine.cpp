// The request engine of the link's thread: it creates the server, registers
// the sink, makes every request and waits for its completion inside its own
// apartment, asking a quiet server now and then whether it is still there.
#include "link_thread.h"

#include "link_sink.h"
#include "message_pump.h"
#include "timings.h"

#include <cstring>

using namespace remote;

volatile LONG LinkThread::stuckConnects = 0;

namespace {

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

}  // namespace

// --- serving ----------------------------------------------------------------------------

void LinkThread::Serve()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (;;) {
        // Given up wins over a request posted meanwhile.
        HANDLE waits[] = {endAsked, ready};
        if (PumpingWait(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) break;
        request.accepted = false;
        request.status = StatusNotAccepted;
        request.loss = LinkServes;
        request.entryCount = 0;
        switch (request.op) {
        case OpConnect: Connect(); break;
        case OpDisconnect: Disconnect(); break;
        case OpDirRead: Reads(); break;
        default: Do(); break;
        }
        SetEvent(done);
    }
    Disconnect();
    CoUninitialize();
}

void LinkThread::MarkStuckConnect()
{
    if (InterlockedCompareExchange(&stuck, 1, 0) == 0) InterlockedIncrement(&stuckConnects);
}

// --- the hand-over ----------------------------------------------------------------------

void LinkThread::Post()
{
    EnterCriticalSection(&noticeLock);
    noticeCount = 0;
    LeaveCriticalSection(&noticeLock);
    InterlockedExchange(&cancelWanted, 0);
    ResetEvent(done);
    ResetEvent(notice);
    Sign();
    SetEvent(ready);
}

int LinkThread::TakeNotices(LONG* values)
{
    EnterCriticalSection(&noticeLock);
    int n = noticeCount;
    memcpy(values, notices, n * sizeof(LONG));
    noticeCount = 0;
    LeaveCriticalSection(&noticeLock);
    return n;
}

void LinkThread::Sign() { InterlockedExchange(&lastSign, (LONG)GetTickCount()); }

DWORD LinkThread::QuietFor(DWORD now) const { return Elapsed(now, (DWORD)lastSign); }

// A call is stuck when neither its start nor any callback since is recent: a
// server copying a big file inside its call while it sends progress is alive.
DWORD LinkThread::StuckFor(DWORD now) const
{
    DWORD since = (DWORD)callSince;
    if (!since) return 0;
    DWORD sign = (DWORD)lastSign;
    if (Elapsed(sign, since) > 0) since = sign;
    return Elapsed(now, since);
}

// --- the connection ---------------------------------------------------------------------

void LinkThread::Connect()
{
    request.status = StatusNoServer;
    lastCallback = 0;
    busyInCallbacks = false;
    InterlockedExchange(&callSince, (LONG)(GetTickCount() | 1));
    if (request.maker) {
        if (FAILED(request.maker(request.makerContext, &server))) server = nullptr;
    } else {
        for (int g = 0; g < GenerationCount; ++g) {
            HRESULT hr = CoCreateInstance(ServerClassIds[g], nullptr, CLSCTX_LOCAL_SERVER,
                                          RemoteFsIds[g], (void**)&server);
            if (SUCCEEDED(hr)) {
                serverProcess = OpenServerProcess(ServerClassIds[g]);
                break;
            }
            server = nullptr;
        }
    }
    InterlockedExchange(&callSince, 0);
    if (InterlockedExchange(&stuck, 2) == 1) InterlockedDecrement(&stuckConnects);
    if (!server) return;

    sink = new LinkSink(this);
    LONG accepted = 0;
    InterlockedExchange(&callSince, (LONG)(GetTickCount() | 1));
    HRESULT hr = server->Advise(sink, GetCurrentThreadId(), &cookie, &accepted);
    if (SUCCEEDED(hr) && !accepted) server->Unadvise(cookie);
    InterlockedExchange(&callSince, 0);
    if (FAILED(hr) || !accepted) {
        cookie = 0;
        Disconnect();
        request.status = StatusRefused;
        return;
    }
    request.status = StatusOk;
}

// Takes the registration back and lets go of the server and the sink. A
// server that died may still hold the sink as far as COM knows: it is cut
// off here, and whatever still reaches it finds no link.
void LinkThread::Disconnect()
{
    if (server) {
        InterlockedExchange(&callSince, (LONG)(GetTickCount() | 1));
        if (cookie) server->Unadvise(cookie);
        server->Release();
        InterlockedExchange(&callSince, 0);
        server = nullptr;
        cookie = 0;
    }
    if (serverProcess) CloseHandle(serverProcess);
    serverProcess = nullptr;
    if (sink) {
        CoDisconnectObject(static_cast<IRemoteFsSink*>(sink), 0);
        sink->Drop();
        sink = nullptr;
    }
    request.status = StatusOk;
}

// --- the requests -----------------------------------------------------------------------

void LinkThread::Do()
{
    request.accepted = false;
    request.status = StatusNotAccepted;
    if (!server) return;

    // Whatever an earlier request left on its way here (a stray, a late
    // completion) comes in now, while nothing waits for it.
    DispatchQueued();
    for (int attempt = 0;; ++attempt) {
        bool afterCallback =
            lastCallback && Elapsed(GetTickCount(), lastCallback) < timing::BusyAfterCallbackMs;
        if (afterCallback) LetTheReplyLand();
        expected = request.op;
        completed = false;
        recordMissing = false;
        Sign();
        InterlockedExchange(&callSince, (LONG)(GetTickCount() | 1));
        HRESULT hr = CallServer();
        InterlockedExchange(&callSince, 0);
        if (hr == S_OK) break;

        // Refused: whatever it completed inside the call is dropped, and
        // whatever it may still complete of it is let in and dropped too.
        expected = OpNone;
        request.status = StatusNotAccepted;
        if (ServerGone(hr)) {
            request.loss = LinkBroken;
            return;
        }
        refusedOp = request.op;
        refusedCompleted = completed;
        DrainRefused();
        refusedOp = OpNone;
        // A single-threaded server says "not accepted" to a request that
        // reaches it while it still sits in its last callback, which a
        // request made right after that callback can do however it is made.
        // Asked once more, after the drain, unless it did the work anyway.
        if (!afterCallback || refusedCompleted || attempt > 0) return;
        busyInCallbacks = true;
        // Never once the asker has stopped it (a wait given up, a copy or a
        // run of reads asked to stop): a delete or an overwrite the user
        // stopped would happen after all.
        if (WaitForSingleObject(endAsked, 0) == WAIT_OBJECT_0) {
            request.loss = LinkAbandoned;
            return;
        }
        if (InterlockedCompareExchange(&cancelWanted, 0, 0)) {
            request.status = StatusCancelled;
            return;
        }
    }

    // A server that dies never completes; a slow one always does. So the wait
    // is unlimited for a live server, and every quiet second it asks whether
    // the server is still there.
    auto cameIn = [](void* self) { return static_cast<LinkThread*>(self)->completed; };
    while (!completed) {
        DWORD woke = PumpingWait(1, &endAsked, FALSE, timing::LivenessMs, cameIn, this);
        if (woke == WAIT_OBJECT_0 + 1) {
            // What came with the completion is dispatched too, as no request's.
            DispatchQueued();
        } else if (woke == WAIT_OBJECT_0) {
            request.loss = LinkAbandoned;
            break;
        } else if (woke != WAIT_TIMEOUT) {
            request.loss = LinkBroken;
            break;
        } else if (QuietFor(GetTickCount()) >= timing::LivenessMs && !ServerAlive()) {
            request.loss = LinkBroken;
            break;
        }
    }
    expected = OpNone;
    if (!completed) {
        request.status = StatusNotAccepted;
        return;
    }
    request.accepted = !recordMissing;
}

// Reads in a row until the batch is full or a read does not succeed; the
// request ends with that read's status. An asker that wants the run stopped
// gets it stopped after the read under way, as cancelled.
void LinkThread::Reads()
{
    int wanted = request.entriesWanted;
    if (wanted < 1) wanted = 1;
    if (wanted > ReadBatchMax) wanted = ReadBatchMax;
    for (;;) {
        Do();
        if (!request.accepted || request.status != StatusOk) return;
        ++request.entryCount;
        if (request.entryCount == wanted || WaitForSingleObject(endAsked, 0) == WAIT_OBJECT_0) return;
        if (InterlockedCompareExchange(&cancelWanted, 0, 0)) {
            request.status = StatusCancelled;
            return;
        }
    }
}

HRESULT LinkThread::CallServer()
{
    LinkRequest& r = request;
    switch (r.op) {
    case OpDriveList: return server->DriveList(cookie, 0);
    case OpVolumeInfo: return server->VolumeInfo(cookie, 0, (LONG)r.value);
    case OpDirOpen: return server->DirOpen(cookie, 0, r.path);
    case OpDirRead: return server->DirRead(cookie, 0, r.value);
    case OpDirClose: return server->DirClose(cookie, 0, r.value);
    case OpDirRemove: return server->DirRemove(cookie, 0, r.path);
    case OpDirMake: return server->DirMake(cookie, 0, r.path);
    case OpEntryInfo: return server->EntryInfo(cookie, 0, r.path);
    case OpFileCopy: return server->FileCopy(cookie, r.path, r.target, r.direction, r.overwrite);
    case OpFileDelete: return server->FileDelete(cookie, 0, r.path);
    default: return E_INVALIDARG;
    }
}

// A server whose process has ended is gone. The question touches nothing
// the server keeps (server_process.cpp says why it is asked of the process).
bool LinkThread::ServerAlive()
{
    return !serverProcess || WaitForSingleObject(serverProcess, 0) == WAIT_TIMEOUT;
}

void LinkThread::DrainRefused() { PumpingWaitOne(endAsked, timing::RefusalDrainMs); }

// COM sends the reply to a callback from another of this process's threads,
// so a request made at once can reach the server before that reply does. That
// thread is let run first; and once the server has refused such a request,
// every request after a callback waits for the reply to land, which costs
// half a millisecond where a refusal costs a drain. The pause is timed on the
// performance counter, yielding the processor (to COM's thread among others)
// meanwhile; what messages came are dispatched at its end, taken as no
// request's: none is under way yet. A timed wait would not do: on Windows it
// lasts at least a tick of the system timer (15.6 ms by default), 4.7 s over
// a listing of 300 entries. Measured with the performance counter around
// 3,000 pauses in a row under Wine 8, twice: this one lasted 585 and 589 us
// (medians; 630 us at the 90th percentile), a timed wait of 1 ms 1,145 us.
void LinkThread::LetTheReplyLand()
{
    if (!busyInCallbacks) {
        SwitchToThread();
        return;
    }
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    LONGLONG length = frequency.QuadPart * timing::CallbackReplyUs / 1000000;
    do {
        SwitchToThread();
        QueryPerformanceCounter(&now);
    } while (now.QuadPart - start.QuadPart < length);
    DispatchQueued();
}


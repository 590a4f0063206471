// The asking side of the link: a request is filled in the link thread's
// record, handed over, and waited for here, on whichever thread asked,
// dispatching this thread's messages, drawing the copy progress the link
// thread passes on, and asking the watcher every tenth of a second whether
// to go on.
#include "link_thread.h"

#include "timings.h"

#include <cstring>

using namespace remote;

namespace {

bool CopyPath(WCHAR* to, const WCHAR* from)
{
    to[0] = 0;
    if (!from) return true;
    size_t n = wcslen(from);
    if (n >= LinkRequest::PathUnits) return false;
    memcpy(to, from, (n + 1) * sizeof(WCHAR));
    return true;
}

bool Signalled(HANDLE h) { return WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }


}  // namespace

PhoneLink::PhoneLink()
    : thread(NULL), abandoned(NULL), watcher(NULL), loss(LinkServes), lossTold(false), busy(0)
{
    memset(&entry, 0, sizeof(entry));
    memset(&volume, 0, sizeof(volume));
}

PhoneLink::~PhoneLink() { Disconnect(); }

// --- connecting ---------------------------------------------------------------------

LONG PhoneLink::Connect(ServerMaker maker, void* makerContext)
{
    Disconnect();
    loss = LinkServes;
    lossTold = false;
    // While the server hangs, creating it hangs too: one thread stuck in
    // that is enough.
    if (LinkThread::ConnectStuck()) return StatusNoServer;
    thread = LinkThread::Acquire();
    if (!thread) return StatusNoServer;

    LinkRequest* r = Begin(OpConnect);
    if (!r) return StatusNoServer;
    r->maker = maker;
    r->makerContext = makerContext;
    LONG status = StatusNoServer;
    if (Run(*r, &status)) End();
    else status = StatusNoServer;  // creating it hung
    if (status != StatusOk) {
        Disconnect();
        loss = LinkServes;
    }
    return status;
}

// The link thread takes the registration back and lets go of the server,
// then waits in the pool for the next panel. One that does not manage within
// the stuck-call time is left to end whenever its call returns.
void PhoneLink::Disconnect()
{
    if (thread) {
        thread->request.op = OpDisconnect;
        thread->Post();
        if (PumpingWaitOne(thread->done, timing::StuckCallMs) == WAIT_OBJECT_0) {
            thread->Park();
        } else {
            thread->Quit();
            thread->Leave(0);
        }
        thread = NULL;
    }
    // One given up while merely waiting ends as soon as its last calls are
    // served (an in-process server's through this thread's messages); one
    // stuck in a call is not waited for long.
    if (abandoned) abandoned->Leave(timing::AbandonedGraceMs);
    abandoned = NULL;
}

// Nothing more is asked of this thread; it ends as soon as it can.
void PhoneLink::GiveUp(LinkLoss why)
{
    loss = why;
    if (!thread) return;
    thread->Quit();
    if (abandoned) abandoned->Leave(0);
    abandoned = thread;
    thread = NULL;
}

// --- one request --------------------------------------------------------------------

// The gate comes first: whoever passes it alone reads the link's state.
// Null (the request answers StatusNotAccepted) when another request is out,
// the link is lost or none is connected, or a path does not fit.
LinkRequest* PhoneLink::Begin(int op, const WCHAR* path, const WCHAR* target)
{
    if (InterlockedExchange(&busy, 1)) return NULL;
    if (loss != LinkServes || !thread) {
        End();
        return NULL;
    }
    LinkRequest& r = thread->request;
    r.op = (LinkOp)op;
    r.value = 0;
    r.direction = r.overwrite = 0;
    r.entriesWanted = 1;
    r.maker = NULL;
    r.makerContext = NULL;
    if (!CopyPath(r.path, path) || !CopyPath(r.target, target)) {
        End();
        return NULL;
    }
    return &r;
}

// What one wait on the link thread needs to know and keeps.
struct PhoneLink::Wait {
    LinkOp op;
    ProgressFn progress;
    void* context;
    bool cancelled;  // the progress function answered 0
};

// True, with the gate still held, when the link thread finished the request:
// its record may be read. False, with the gate let go, when the request ended
// the link (the record is not the link's any more): `status` is then
// StatusNotAccepted and Loss() says why.
bool PhoneLink::Run(LinkRequest& request, LONG* status, ProgressFn progress, void* context)
{
    *status = StatusNotAccepted;
    // A completion an in-process server has queued on this thread for an
    // earlier request (one it refused, or one given up) is delivered now,
    // while no request waits, so that it can't end this one.
    DispatchQueued();
    Wait wait = {request.op, progress, context, false};
    thread->Post();
    if (!WaitForThread(wait)) {
        End();
        return false;
    }
    if (request.loss != LinkServes) {
        // A server found dead serves nothing more.
        GiveUp(request.loss);
        End();
        return false;
    }
    *status = request.status;
    return true;
}

namespace {

// Both events reset as they are seen: what was seen is kept here.
struct Pending {
    HANDLE done, notice;
    bool noticed, finished;
};

// Asked after each message this thread dispatches while it waits: a progress
// figure that a message brought is drawn before the next is dispatched, so a
// cancel reaches the very next notice of a server served on this thread.
bool StopDispatching(void* context)
{
    Pending* p = static_cast<Pending*>(context);
    if (Signalled(p->notice)) p->noticed = true;
    if (Signalled(p->done)) p->finished = true;
    return p->noticed || p->finished;
}

}  // namespace

// True when the thread finished the request; false when the wait was given up
// (the thread then is the link's no more).
bool PhoneLink::WaitForThread(Wait& wait)
{
    if (watcher) watcher->WaitBegun();
    bool attended = watcher && watcher->Attended();
    HANDLE waits[] = {thread->done, thread->notice};
    DWORD lastWatch = GetTickCount();
    DWORD windingDownSince = 0;  // asked to stop; waiting for the server to end it
    bool watched = false;
    bool finished = false;
    for (;;) {
        bool noticed = false;
        DWORD woke =
            MsgWaitForMultipleObjects(2, waits, FALSE, timing::WatchMs, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) {
            finished = true;
        } else if (woke == WAIT_OBJECT_0 + 1) {
            noticed = true;
        } else if (woke == WAIT_OBJECT_0 + 2) {
            Pending pending = {waits[0], waits[1], false, false};
            DispatchQueued(StopDispatching, &pending);
            noticed = pending.noticed;
            finished = pending.finished;
        } else if (woke != WAIT_TIMEOUT) {
            GiveUp(LinkBroken);
            break;
        }
        if (noticed || finished) {
            LONG values[LinkThread::NoticeSlots];
            int n = thread->TakeNotices(values);
            for (int i = 0; i < n && wait.progress && !wait.cancelled; ++i) {
                if (wait.progress(values[i], wait.context) == 0) {
                    thread->RequestCancel();
                    wait.cancelled = true;
                }
            }
        }
        if (finished) break;

        DWORD now = GetTickCount();
        if (now - lastWatch < timing::WatchMs) continue;
        lastWatch = now;
        if (thread->StuckFor(now) > timing::StuckCallMs) {
            if (wait.op == OpConnect) thread->MarkStuckConnect();
            GiveUp(LinkStuck);
            break;
        }
        // A server that died owing a completion says nothing, and one whose
        // process can't be watched is never found dead: with nobody to end
        // the wait, silence that long is taken for a lost server.
        if (!attended && thread->QuietFor(now) > timing::UnattendedQuietMs) {
            GiveUp(LinkStuck);
            break;
        }
        if (windingDownSince) {
            if (Elapsed(now, windingDownSince) < timing::WindDownMs) continue;
        } else if (watcher) {
            watched = true;
            DWORD quiet = thread->QuietFor(now);
            if (watcher->KeepWaiting(quiet)) continue;
            // A run of reads from a server that answers stops after the read
            // under way; a copy is asked to cancel at its next notice, which
            // a server that is not stuck in a call can still send. Either
            // ends as cancelled and keeps the link.
            bool inCall = thread->StuckFor(now) > 0;
            bool stoppable = (wait.op == OpDirRead && quiet < timing::WindDownMs) ||
                             (wait.op == OpFileCopy && (!inCall || quiet < timing::WindDownMs));
            if (stoppable) {
                thread->RequestCancel();
                windingDownSince = now;
                continue;
            }
        } else {
            continue;
        }
        // The user stopped waiting, or the server did not end when asked.
        GiveUp(LinkAbandoned);
        break;
    }
    if (watched) watcher->WaitEnded();
    return finished;
}

// --- the requests -------------------------------------------------------------------

LONG PhoneLink::DriveList(DWORD* mask)
{
    LinkRequest* r = Begin(OpDriveList);
    LONG s = StatusNotAccepted;
    if (r && Run(*r, &s)) {
        if (r->accepted) *mask = r->resultValue;
        End();
    }
    return s;
}

LONG PhoneLink::VolumeInfo(LONG driveIndex, RemoteVolume* out)
{
    LinkRequest* r = Begin(OpVolumeInfo);
    LONG s = StatusNotAccepted;
    if (!r) return s;
    r->value = (DWORD)driveIndex;
    if (Run(*r, &s)) {
        if (r->accepted) {
            if (s == StatusOk) volume = r->volume;
            memcpy(out, &volume, sizeof(volume));
        }
        End();
    }
    return s;
}

LONG PhoneLink::DirOpen(const WCHAR* path, DWORD* handle)
{
    LinkRequest* r = Begin(OpDirOpen, path);
    LONG s = StatusNotAccepted;
    if (r && Run(*r, &s)) {
        if (r->accepted) *handle = r->resultValue;
        End();
    }
    return s;
}

LONG PhoneLink::DirRead(DWORD handle, RemoteEntry* out)
{
    int got = 0;
    LONG s = DirReadSome(handle, out, 1, &got);
    // A read that failed hands back the last entry read, as the contract has
    // it; one refused or lost writes nothing.
    if (got == 0 && s != StatusNotAccepted) memcpy(out, &entry, sizeof(entry));
    return s;
}

LONG PhoneLink::DirReadSome(DWORD handle, RemoteEntry* out, int capacity, int* got)
{
    *got = 0;
    if (capacity < 1 || capacity > ReadBatchMax) return StatusNotAccepted;
    LinkRequest* r = Begin(OpDirRead);
    LONG s = StatusNotAccepted;
    if (!r) return s;
    r->value = handle;
    r->entriesWanted = capacity;
    if (Run(*r, &s)) {
        *got = r->entryCount;
        memcpy(out, r->entries, r->entryCount * sizeof(RemoteEntry));
        if (r->entryCount) entry = r->entries[r->entryCount - 1];
        End();
    }
    return s;
}

LONG PhoneLink::DirClose(DWORD handle)
{
    LinkRequest* r = Begin(OpDirClose);
    LONG s = StatusNotAccepted;
    if (!r) return s;
    r->value = handle;
    if (Run(*r, &s)) End();
    return s;
}

LONG PhoneLink::DirRemove(const WCHAR* path)
{
    LinkRequest* r = Begin(OpDirRemove, path);
    LONG s = StatusNotAccepted;
    if (r && Run(*r, &s)) End();
    return s;
}

LONG PhoneLink::DirMake(const WCHAR* path)
{
    LinkRequest* r = Begin(OpDirMake, path);
    LONG s = StatusNotAccepted;
    if (r && Run(*r, &s)) End();
    return s;
}

LONG PhoneLink::EntryInfo(const WCHAR* path, RemoteEntry* out)
{
    LinkRequest* r = Begin(OpEntryInfo, path);
    LONG s = StatusNotAccepted;
    if (r && Run(*r, &s)) {
        if (r->accepted) {
            if (s == StatusOk) entry = r->entries[0];
            memcpy(out, &entry, sizeof(entry));
        }
        End();
    }
    return s;
}

LONG PhoneLink::FileCopy(const WCHAR* source, const WCHAR* target, LONG direction,
                         LONG overwrite, ProgressFn progress, void* context)
{
    LinkRequest* r = Begin(OpFileCopy, source, target);
    LONG s = StatusNotAccepted;
    if (!r) return s;
    r->direction = direction;
    r->overwrite = overwrite;
    if (Run(*r, &s, progress, context)) End();
    return s;
}

LONG PhoneLink::FileDelete(const WCHAR* path)
{
    LinkRequest* r = Begin(OpFileDelete, path);
    LONG s = StatusNotAccepted;
    if (r && Run(*r, &s)) End();
    return s;
}

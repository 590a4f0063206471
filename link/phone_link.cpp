// The asking side of the link: a request is filled in the link thread's
// record, handed over, and waited for here, on whichever thread asked,
// dispatching this thread's messages, drawing the copy progress the link
// thread passes on, and asking the watcher every tenth of a second whether
// to go on.
#include "phone_link.h"

#include "link_thread.h"
#include "message_pump.h"
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
    : thread(nullptr), abandoned(nullptr), watcher(nullptr), loss(LinkServes), lossTold(false),
      busy(0)
{
    memset(&entry, 0, sizeof(entry));
    memset(&volume, 0, sizeof(volume));
}

PhoneLink::~PhoneLink() { Disconnect(); }

// --- what a wait keeps --------------------------------------------------------------

// What one wait on the link thread needs to know and keeps.
struct PhoneLink::Wait {
    LinkOp op;
    ProgressFn progress;
    void* context;
    bool cancelled;  // the progress function answered 0
};

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

// --- the gate -----------------------------------------------------------------------

// The one gate every request and Disconnect pass, on whichever thread: while
// it is held nobody else reads or changes the link's state or the thread's
// record. It lets go when it goes out of scope, whatever the request ended in.
class PhoneLink::Gate {
public:
    explicit Gate(PhoneLink& l) : link(l), held(InterlockedExchange(&l.busy, 1) == 0) {}
    ~Gate()
    {
        if (held) InterlockedExchange(&link.busy, 0);
    }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    bool Held() const { return held; }
    // The thread's record, filled for `op`; null (the request answers
    // StatusNotAccepted) when another request is out, the link is lost or
    // none is connected, or a path does not fit.
    LinkRequest* Fill(LinkOp op, const WCHAR* path = nullptr, const WCHAR* target = nullptr);
    // Hands the filled request over and waits. True when the link thread
    // finished it: its record may be read, and `status` is its status. False
    // when there was none to hand over, or it ended the link (the record is
    // not the link's any more): `status` is then StatusNotAccepted and Loss()
    // says why.
    bool Run(LONG* status, ProgressFn progress = nullptr, void* context = nullptr);

private:
    PhoneLink& link;
    const bool held;
    LinkRequest* request = nullptr;
};

LinkRequest* PhoneLink::Gate::Fill(LinkOp op, const WCHAR* path, const WCHAR* target)
{
    if (!held || link.loss != LinkServes || !link.thread) return nullptr;
    LinkRequest& r = link.thread->request;
    r.op = op;
    r.value = 0;
    r.direction = r.overwrite = 0;
    r.entriesWanted = 1;
    r.maker = nullptr;
    r.makerContext = nullptr;
    if (!CopyPath(r.path, path) || !CopyPath(r.target, target)) return nullptr;
    request = &r;
    return request;
}

bool PhoneLink::Gate::Run(LONG* status, ProgressFn progress, void* context)
{
    *status = StatusNotAccepted;
    if (!request) return false;
    // A completion an in-process server has queued on this thread for an
    // earlier request (one it refused, or one given up) is delivered now,
    // while no request waits, so that it can't end this one.
    DispatchQueued();
    Wait wait = {request->op, progress, context, false};
    link.thread->Post();
    if (!link.WaitForThread(wait)) return false;
    if (request->loss != LinkServes) {
        // A server found dead serves nothing more.
        link.GiveUp(request->loss);
        return false;
    }
    *status = request->status;
    return true;
}

// --- connecting ---------------------------------------------------------------------

LONG PhoneLink::Connect(ServerMaker maker, void* makerContext)
{
    Gate gate(*this);
    if (!gate.Held()) return StatusNotAccepted;
    Close();
    loss = LinkServes;
    lossTold = false;
    // While the server hangs, creating it hangs too: one thread stuck in
    // that is enough.
    if (LinkThread::ConnectStuck()) return StatusNoServer;
    thread = LinkThread::Acquire();
    if (!thread) return StatusNoServer;

    LinkRequest* r = gate.Fill(OpConnect);
    if (!r) return StatusNoServer;
    r->maker = maker;
    r->makerContext = makerContext;
    LONG status = StatusNoServer;
    if (!gate.Run(&status)) status = StatusNoServer;  // creating it hung
    if (status != StatusOk) {
        Close();
        loss = LinkServes;
    }
    return status;
}

// Never while a request is out: the panel makes one call at a time, and a
// link closed under a request would pull its thread from under it.
void PhoneLink::Disconnect()
{
    Gate gate(*this);
    if (gate.Held()) Close();
}

// The link thread takes the registration back and lets go of the server,
// then waits in the pool for the next panel. One that does not manage within
// the stuck-call time is left to end whenever its call returns.
void PhoneLink::Close()
{
    if (thread) {
        thread->request.op = OpDisconnect;
        thread->Post();
        if (PumpingWaitOne(thread->done, timing::StuckCallMs) == WAIT_OBJECT_0) {
            thread->ReturnToPool();
        } else {
            thread->AskToEnd();
            thread->Disown(0);
        }
        thread = nullptr;
    }
    // One given up while merely waiting ends as soon as its last calls are
    // served (an in-process server's through this thread's messages); one
    // stuck in a call is not waited for long.
    if (abandoned) abandoned->Disown(timing::AbandonedGraceMs);
    abandoned = nullptr;
}

// Nothing more is asked of this thread; it ends as soon as it can.
void PhoneLink::GiveUp(LinkLoss why)
{
    loss = why;
    if (!thread) return;
    thread->AskToEnd();
    if (abandoned) abandoned->Disown(0);
    abandoned = thread;
    thread = nullptr;
}

// --- waiting for the thread ----------------------------------------------------------

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
        Pending pending = {waits[0], waits[1], false, false};
        DWORD woke =
            PumpingWait(2, waits, FALSE, timing::WatchMs, StopDispatching, &pending);
        bool noticed = pending.noticed || woke == WAIT_OBJECT_0 + 1;
        finished = pending.finished || woke == WAIT_OBJECT_0;
        if (woke == WAIT_FAILED) {
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
        if (Elapsed(now, lastWatch) < timing::WatchMs) continue;
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
    Gate gate(*this);
    LinkRequest* r = gate.Fill(OpDriveList);
    LONG s = StatusNotAccepted;
    if (gate.Run(&s) && r->accepted) *mask = r->resultValue;
    return s;
}

LONG PhoneLink::VolumeInfo(LONG driveIndex, RemoteVolume* out)
{
    Gate gate(*this);
    LinkRequest* r = gate.Fill(OpVolumeInfo);
    if (r) r->value = (DWORD)driveIndex;
    LONG s = StatusNotAccepted;
    if (gate.Run(&s) && r->accepted) {
        if (s == StatusOk) volume = r->volume;
        memcpy(out, &volume, sizeof(volume));
    }
    return s;
}

LONG PhoneLink::DirOpen(const WCHAR* path, DWORD* handle)
{
    Gate gate(*this);
    LinkRequest* r = gate.Fill(OpDirOpen, path);
    LONG s = StatusNotAccepted;
    if (gate.Run(&s) && r->accepted) *handle = r->resultValue;
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
    Gate gate(*this);
    LinkRequest* r = gate.Fill(OpDirRead);
    if (r) {
        r->value = handle;
        r->entriesWanted = capacity;
    }
    LONG s = StatusNotAccepted;
    if (gate.Run(&s)) {
        *got = r->entryCount;
        memcpy(out, r->entries, r->entryCount * sizeof(RemoteEntry));
        if (r->entryCount) entry = r->entries[r->entryCount - 1];
    }
    return s;
}

LONG PhoneLink::DirClose(DWORD handle)
{
    Gate gate(*this);
    LinkRequest* r = gate.Fill(OpDirClose);
    if (r) r->value = handle;
    LONG s = StatusNotAccepted;
    gate.Run(&s);
    return s;
}

LONG PhoneLink::DirRemove(const WCHAR* path)
{
    Gate gate(*this);
    gate.Fill(OpDirRemove, path);
    LONG s = StatusNotAccepted;
    gate.Run(&s);
    return s;
}

LONG PhoneLink::DirMake(const WCHAR* path)
{
    Gate gate(*this);
    gate.Fill(OpDirMake, path);
    LONG s = StatusNotAccepted;
    gate.Run(&s);
    return s;
}

LONG PhoneLink::EntryInfo(const WCHAR* path, RemoteEntry* out)
{
    Gate gate(*this);
    LinkRequest* r = gate.Fill(OpEntryInfo, path);
    LONG s = StatusNotAccepted;
    if (gate.Run(&s) && r->accepted) {
        if (s == StatusOk) entry = r->entries[0];
        memcpy(out, &entry, sizeof(entry));
    }
    return s;
}

LONG PhoneLink::FileCopy(const WCHAR* source, const WCHAR* target, LONG direction,
                         LONG overwrite, ProgressFn progress, void* context)
{
    Gate gate(*this);
    LinkRequest* r = gate.Fill(OpFileCopy, source, target);
    if (r) {
        r->direction = direction;
        r->overwrite = overwrite;
    }
    LONG s = StatusNotAccepted;
    gate.Run(&s, progress, context);
    return s;
}

LONG PhoneLink::FileDelete(const WCHAR* path)
{
    Gate gate(*this);
    gate.Fill(OpFileDelete, path);
    LONG s = StatusNotAccepted;
    gate.Run(&s);
    return s;
}

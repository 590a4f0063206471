// Blocking requests: the calling thread hands the request to the link's
// worker and waits for it, dispatching its own messages (an in-process server
// is served through them), drawing the copy progress the worker passes on,
// and asking the watcher every 100 ms whether to go on.
#include "link_worker.h"

#include <cstring>

using namespace remote;

namespace {

enum { WatchInterval = 100, WindDownMs = 500 };

bool CopyPath(WCHAR* to, const WCHAR* from)
{
    to[0] = 0;
    if (!from) return true;
    size_t n = wcslen(from);
    if (n >= LinkJob::PathUnits) return false;
    memcpy(to, from, (n + 1) * sizeof(WCHAR));
    return true;
}

bool Signalled(HANDLE h) { return WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }

// Milliseconds from `then` to `now`. The worker and the callbacks stamp
// their ticks on other threads, maybe a tick after this thread read `now`:
// that is no time, not 49 days.
DWORD Elapsed(DWORD now, DWORD then) { return (LONG)(now - then) > 0 ? now - then : 0; }

void DispatchWaiting()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

LONG PhoneLink::Run(Request& request)
{
    request.accepted = false;
    if (untrusted) return untrusted;
    if (!worker) return StatusNotAccepted;
    if (InterlockedExchange(&busy, 1)) return StatusNotAccepted;  // one at a time

    LinkJob& job = worker->job;
    job.op = request.op;
    job.value = request.value;
    job.direction = request.direction;
    job.overwrite = request.overwrite;
    job.entriesWanted = request.entriesWanted;
    LONG status = StatusNotAccepted;
    if (CopyPath(job.path, request.path) && CopyPath(job.target, request.target)) {
        // A completion an in-process server has queued here for an earlier
        // request (one it refused, or one given up) is delivered now, while
        // no request waits, so that it can't end this one.
        DispatchWaiting();
        worker->Post();
        if (WaitForWorker(request, &status)) {
            status = job.status;
            request.accepted = job.accepted;
            request.resultValue = job.resultValue;
            // A server found dead serves nothing more: every later request
            // says so at once, as after a wait given up.
            if (status == StatusLinkBroken) untrusted = StatusLinkBroken;
            if (job.accepted && status == StatusOk) {
                if (job.op == OpDirRead || job.op == OpEntryInfo) entry = job.entry;
                if (job.op == OpVolumeInfo) volume = job.volume;
            }
            if (request.entries) {
                request.entryCount = job.entryCount;
                memcpy(request.entries, job.entries, job.entryCount * sizeof(RemoteEntry));
                if (job.entryCount) entry = job.entries[job.entryCount - 1];
            }
        }
    }
    InterlockedExchange(&busy, 0);
    return status;
}

// True when the worker finished the job; false with `status` set when the
// wait was given up (the worker then is the link's no more).
bool PhoneLink::WaitForWorker(Request& request, LONG* status)
{
    HANDLE waits[] = {worker->jobDone, worker->noticeEvent};
    DWORD lastWatch = GetTickCount();
    DWORD windingDownSince = 0;  // a run of reads asked to end after the read under way
    bool watched = false;
    bool done = false;
    for (;;) {
        DWORD woke = MsgWaitForMultipleObjects(2, waits, FALSE, WatchInterval, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) {
            done = true;
        } else if (woke == WAIT_OBJECT_0 + 1) {
            DeliverProgress(request);
        } else if (woke == WAIT_OBJECT_0 + 2) {
            // One message at a time: a progress figure that one of them
            // brought is drawn before the next step of the copy is run, so a
            // cancel reaches the very next notice.
            MSG msg;
            while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
                if (Signalled(waits[1])) DeliverProgress(request);
                if (Signalled(waits[0])) {
                    done = true;
                    break;
                }
            }
        } else if (woke != WAIT_TIMEOUT) {
            Abandon(StatusLinkBroken);
            *status = StatusLinkBroken;
            break;
        }
        if (done) {
            DeliverProgress(request);  // what came with the completion
            break;
        }

        DWORD now = GetTickCount();
        if (now - lastWatch < WatchInterval) continue;
        lastWatch = now;
        DWORD since = worker->CallSince();
        if (since && Elapsed(now, since) > LinkWorker::HungCallMs) {
            if (request.op == OpConnect) worker->MarkStuckConnect();
            Abandon(StatusLinkBroken);
            *status = StatusLinkBroken;
            break;
        }
        if (windingDownSince) {
            if (now - windingDownSince < WindDownMs) continue;
        } else if (watcher) {
            watched = true;
            DWORD quiet = Elapsed(now, worker->LastSign());
            if (watcher->KeepWaiting(quiet)) continue;
            if (request.entriesWanted > 0 && quiet < WindDownMs) {
                // A run of reads from a server that answers stops after the
                // read under way and ends as cancelled; the link stays usable.
                worker->RequestCancel();
                windingDownSince = now;
                continue;
            }
        } else {
            continue;
        }
        // The user stopped waiting, or a run of reads did not end when asked.
        Abandon(StatusAbandoned);
        *status = StatusAbandoned;
        break;
    }
    if (watched) watcher->WaitEnded();
    return done;
}

void PhoneLink::DeliverProgress(Request& request)
{
    LONG values[LinkWorker::NoticeSlots];
    int n = worker->TakeNotices(values);
    for (int i = 0; i < n; ++i) {
        // Once cancelled, the copy is over as far as the caller is concerned.
        if (!request.progress || request.cancelled) return;
        if (request.progress(values[i], request.context) == 0) {
            worker->RequestCancel();
            request.cancelled = true;
        }
    }
}

LONG PhoneLink::DriveList(DWORD* mask)
{
    Request r(OpDriveList);
    LONG s = Run(r);
    if (r.accepted) *mask = r.resultValue;
    return s;
}

LONG PhoneLink::VolumeInfo(LONG driveIndex, RemoteVolume* out)
{
    Request r(OpVolumeInfo);
    r.value = (DWORD)driveIndex;
    LONG s = Run(r);
    if (r.accepted) memcpy(out, &volume, sizeof(volume));
    return s;
}

LONG PhoneLink::DirOpen(const WCHAR* path, DWORD* handle)
{
    Request r(OpDirOpen, path);
    LONG s = Run(r);
    if (r.accepted) *handle = r.resultValue;
    return s;
}

LONG PhoneLink::DirRead(DWORD handle, RemoteEntry* out)
{
    Request r(OpDirRead);
    r.value = handle;
    LONG s = Run(r);
    if (r.accepted) memcpy(out, &entry, sizeof(entry));
    return s;
}

LONG PhoneLink::DirReadSome(DWORD handle, RemoteEntry* out, int capacity, int* got)
{
    *got = 0;
    if (capacity < 1 || capacity > ReadBatchMax) return StatusNotAccepted;
    Request r(OpDirRead);
    r.value = handle;
    r.entries = out;
    r.entriesWanted = capacity;
    LONG s = Run(r);
    *got = r.entryCount;
    return s;
}

LONG PhoneLink::DirClose(DWORD handle)
{
    Request r(OpDirClose);
    r.value = handle;
    return Run(r);
}

LONG PhoneLink::DirRemove(const WCHAR* path)
{
    Request r(OpDirRemove, path);
    return Run(r);
}

LONG PhoneLink::DirMake(const WCHAR* path)
{
    Request r(OpDirMake, path);
    return Run(r);
}

LONG PhoneLink::EntryInfo(const WCHAR* path, RemoteEntry* out)
{
    Request r(OpEntryInfo, path);
    LONG s = Run(r);
    if (r.accepted) memcpy(out, &entry, sizeof(entry));
    return s;
}

LONG PhoneLink::FileCopy(const WCHAR* source, const WCHAR* target, LONG direction,
                         LONG overwrite, ProgressFn progress, void* context)
{
    Request r(OpFileCopy, source, target);
    r.direction = direction;
    r.overwrite = overwrite;
    r.progress = progress;
    r.context = context;
    return Run(r);
}

LONG PhoneLink::FileDelete(const WCHAR* path)
{
    Request r(OpFileDelete, path);
    return Run(r);
}

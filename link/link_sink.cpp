// The sink's side of the link's thread: what the server's callbacks bring,
// on that thread.
#include "link_sink.h"

#include <cstring>

using namespace remote;

// A completion counts only while a request waits, and only when it is the kind
// that request waits for: any other is left alone, or it would end the wait
// with somebody else's outcome.

void LinkThread::Completed(LinkOp op, LONG status, DWORD value, const void* record, size_t size)
{
    InCallback();
    if (expected == OpNone && op == refusedOp) refusedCompleted = true;
    if (expected == OpNone || expected != op) return;
    expected = OpNone;
    completed = true;
    request.status = status;
    request.resultValue = value;
    if (!size || status != StatusOk) return;
    if (!record) {
        // A success without its record is no success: nothing to hand on.
        request.status = StatusNotAccepted;
        recordMissing = true;
        return;
    }
    if (op == OpVolumeInfo) memcpy(&request.volume, record, size);
    else memcpy(&request.entries[op == OpDirRead ? request.entryCount : 0], record, size);
}

// The figure goes to the asking thread, which draws it; its answer reaches
// the server at the next notice.
LONG LinkThread::Progress(LONG value)
{
    InCallback();
    if (expected != OpFileCopy) return 0;
    EnterCriticalSection(&noticeLock);
    if (noticeCount == NoticeSlots) --noticeCount;  // the drawer is behind: keep the latest
    notices[noticeCount++] = value;
    LeaveCriticalSection(&noticeLock);
    SetEvent(notice);
    return InterlockedCompareExchange(&cancelWanted, 0, 0) ? 1 : 0;
}

// Every callback that reaches the link is a sign of life, and notes when the
// server last called the sink (a tick count; 0 before any).
void LinkThread::InCallback()
{
    Sign();
    lastCallback = GetTickCount() | 1;
}

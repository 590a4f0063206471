// The wait that keeps the host thread alive while a request is out: the
// server's callbacks reach this thread only through its message queue, so a
// wait that stopped dispatching would never see its completion.
#include "phone_link.h"

static void DispatchPendingMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

DWORD PumpingWait(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeout)
{
    DWORD start = GetTickCount();
    DWORD remaining = timeout;
    while (remaining != 0) {
        // Wake mask 255: every kind of queued input, posted and sent messages.
        DWORD woke = MsgWaitForMultipleObjects(count, handles, waitAll, remaining, 0xFF);
        if (woke != WAIT_OBJECT_0 + count) return woke;
        DispatchPendingMessages();
        if (timeout != INFINITE) {
            DWORD elapsed = GetTickCount() - start;  // unsigned: the wrap-around is harmless
            if (elapsed > timeout) elapsed = timeout;
            remaining = timeout - elapsed;
        }
    }
    return WaitForMultipleObjects(count, handles, waitAll, 0);
}

DWORD PumpingWaitOne(HANDLE handle, DWORD timeout)
{
    return PumpingWait(1, &handle, FALSE, timeout);
}

// The one message pump. Every thread that waits for the phone keeps its
// messages flowing: the link's thread, because the server's callbacks reach
// its apartment only through them; an asking thread, because a server in the
// same process (a test's emulator) and the host's own windows are served
// through its queue.
#include "phone_link.h"

void DispatchQueued(bool (*after)(void* context), void* context)
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (after && after(context)) return;
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
        DispatchQueued();
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

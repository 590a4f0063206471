// The one message pump and the one wait. Every thread that waits for the
// phone keeps its messages flowing: the link's thread, because the server's
// callbacks reach its apartment only through them; an asking thread, because
// a server in the same process (a test's emulator) and the host's own windows
// are served through its queue.
#include "message_pump.h"

#include "timings.h"

bool DispatchQueued(PumpStop stop, void* context)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (stop && stop(context)) return true;
    }
    return false;
}

DWORD PumpingWait(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeout,
                  PumpStop stop, void* stopContext)
{
    DWORD start = GetTickCount();
    DWORD remaining = timeout;
    while (remaining != 0) {
        DWORD woke =
            MsgWaitForMultipleObjects(count, handles, waitAll, remaining, PumpWakeMask);
        if (woke != WAIT_OBJECT_0 + count) return woke;
        if (DispatchQueued(stop, stopContext)) return WAIT_OBJECT_0 + count;
        if (timeout != INFINITE) {
            DWORD elapsed = Elapsed(GetTickCount(), start);
            remaining = elapsed < timeout ? timeout - elapsed : 0;
        }
    }
    return WaitForMultipleObjects(count, handles, waitAll, 0);
}

DWORD PumpingWaitOne(HANDLE handle, DWORD timeout)
{
    return PumpingWait(1, &handle, FALSE, timeout);
}

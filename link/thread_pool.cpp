// The life of the link's threads: made, kept in the pool between panels,
// and let go (link_thread.h says why they are pooled).
#include "link_thread.h"

#include "message_pump.h"

#include <cstring>

namespace {

HMODULE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)&ThisModule, &module);
    return module;
}

// The pool of idle threads: a short list, changed in a few instructions.
enum { PoolMax = 8 };
volatile LONG poolLocked = 0;
LinkThread* idleThreads = nullptr;
int idleCount = 0;

struct PoolLock {
    PoolLock()
    {
        while (InterlockedExchange(&poolLocked, 1)) Sleep(0);
    }
    ~PoolLock() { InterlockedExchange(&poolLocked, 0); }
};

}  // namespace

LinkThread::LinkThread()
    : done(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      notice(CreateEventA(nullptr, FALSE, FALSE, nullptr)), thread(nullptr),
      ready(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      endAsked(CreateEventA(nullptr, TRUE, FALSE, nullptr)), holds(2), stuck(0), callSince(0),
      lastSign(0), cancelWanted(0), noticeCount(0), server(nullptr), cookie(0),
      serverProcess(nullptr), sink(nullptr), lastCallback(0), refusedOp(OpNone),
      refusedCompleted(false), busyInCallbacks(false), expected(OpNone), completed(false),
      recordMissing(false), nextIdle(nullptr)
{
    memset(&request, 0, sizeof(request));
    InitializeCriticalSection(&noticeLock);
}

LinkThread::~LinkThread()
{
    HANDLE handles[] = {done, notice, ready, endAsked, thread};
    for (HANDLE h : handles)
        if (h) CloseHandle(h);
    DeleteCriticalSection(&noticeLock);
}

LinkThread* LinkThread::Acquire()
{
    {
        PoolLock lock;
        if (idleThreads) {
            LinkThread* t = idleThreads;
            idleThreads = t->nextIdle;
            t->nextIdle = nullptr;
            --idleCount;
            t->Reuse();
            return t;
        }
    }
    LinkThread* t = new LinkThread;
    if (!t->done || !t->notice || !t->ready || !t->endAsked) {
        delete t;
        return nullptr;
    }
    // The thread keeps the module loaded until it ends, which may be after
    // the host has let the plug-in go.
    HMODULE module = ThisModule();
    t->thread = CreateThread(nullptr, 0, ThreadMain, t, 0, nullptr);
    if (!t->thread) {
        if (module) FreeLibrary(module);
        delete t;
        return nullptr;
    }
    return t;
}

// What one use of a thread left is not the next one's: a connect that
// returned long ago must not keep the next one's hang from counting, or
// every open while the server hangs would leave a thread stuck. The thread
// is idle in the pool meanwhile, so nothing else touches these.
void LinkThread::Reuse()
{
    InterlockedExchange(&stuck, 0);
    InterlockedExchange(&callSince, 0);
    InterlockedExchange(&cancelWanted, 0);
}

void LinkThread::ReturnToPool()
{
    {
        PoolLock lock;
        if (idleCount < PoolMax) {
            nextIdle = idleThreads;
            idleThreads = this;
            ++idleCount;
            return;
        }
    }
    AskToEnd();
    Disown(0);
}

void LinkThread::Disown(DWORD waitMs)
{
    if (waitMs) PumpingWaitOne(thread, waitMs);
    DropHold();
}

void LinkThread::DropHold()
{
    if (InterlockedDecrement(&holds) == 0) delete this;
}

DWORD WINAPI LinkThread::ThreadMain(void* self)
{
    static_cast<LinkThread*>(self)->Serve();
    static_cast<LinkThread*>(self)->DropHold();
    HMODULE module = ThisModule();
    if (module) {
        FreeLibrary(module);  // the reference taken by GetModuleHandleEx just now
        FreeLibraryAndExitThread(module, 0);
    }
    return 0;
}

// Phone link subsystem. It owns a panel's connection to the phone server and
// turns the server's asynchronous completions into blocking requests.
//
// Every COM call is made by one thread of the link's own (link_worker.cpp):
// it creates the server, registers the sink and makes the requests, so a
// request works from whichever thread calls it, and a call that never returns
// blocks that thread alone. The caller hands a request over and waits
// (phone_requests.cpp), dispatching its own messages, drawing copy progress
// and asking a WaitWatcher whether to go on. The wire contract itself is
// remote_fs.h and remote_ids.cpp, beside this file. The link knows nothing of
// the host: what a user sees is the panel's.
#pragma once

#include "remote_fs.h"

// Called during a FileCopy, on the requesting thread, with the server's
// progress figure (0 to 100); answers non-zero to go on, zero to cancel.
typedef int (*ProgressFn)(int value, void* context);

// Makes the server object on the link's thread, in place of trying every
// generation with CoCreateInstance; a test's stand-in server comes this way.
typedef HRESULT (*ServerMaker)(void* context, remote::IRemoteFs** server);

// Statuses of our own, beside the server's.
enum : LONG {
    StatusLinkBroken = -102,  // the server is gone or stuck: no completion will come
    StatusAbandoned = -103,   // the user stopped waiting; the link is not used again
};

// Asked about every 100 ms, on the requesting thread, while a request is out.
// quietMs: time since the server last gave a sign (a callback) or the request
// began. Answering false abandons the request.
struct WaitWatcher {
    virtual bool KeepWaiting(DWORD quietMs) = 0;
    virtual void WaitEnded() = 0;  // after a wait that asked KeepWaiting
};

class LinkWorker;

// One request at a time: a request made while another is out (on any thread)
// is refused with StatusNotAccepted.
class PhoneLink {
public:
    PhoneLink();
    ~PhoneLink();

    LONG Connect(ServerMaker maker = NULL, void* makerContext = NULL);
    void Disconnect();
    void SetWatcher(WaitWatcher* w) { watcher = w; }

    // Each blocks until its completion has arrived and answers its status;
    // StatusNotAccepted when the server refused the request call (or none is
    // connected); StatusLinkBroken or StatusAbandoned as above. A request on
    // a link that was abandoned or found stuck answers that status at once.
    LONG DriveList(DWORD* mask);
    LONG VolumeInfo(LONG driveIndex, remote::RemoteVolume* out);
    LONG DirOpen(const WCHAR* path, DWORD* handle);
    LONG DirRead(DWORD handle, remote::RemoteEntry* out);
    // DirRead up to `capacity` (at most ReadBatchMax) times in a row, still
    // one request at a time, handed over together: a hand-over between
    // threads costs about as much as a request. `*got` entries are filled;
    // StatusOk when all `capacity` were read, else the status that ended the
    // run (StatusEndOfList at the end of the folder). A watcher that says
    // stop while the server answers ends the run after the read under way,
    // as StatusCancelled, and the link stays usable; a read quiet for half a
    // second is given up (StatusAbandoned).
    enum { ReadBatchMax = 32 };
    LONG DirReadSome(DWORD handle, remote::RemoteEntry* out, int capacity, int* got);
    LONG DirClose(DWORD handle);
    LONG DirRemove(const WCHAR* path);
    LONG DirMake(const WCHAR* path);
    LONG EntryInfo(const WCHAR* path, remote::RemoteEntry* out);
    LONG FileCopy(const WCHAR* source, const WCHAR* target, LONG direction, LONG overwrite,
                  ProgressFn progress, void* context);
    LONG FileDelete(const WCHAR* path);

private:
    PhoneLink(const PhoneLink&);
    PhoneLink& operator=(const PhoneLink&);

    struct Request;
    LONG Run(Request& request);
    bool WaitForWorker(Request& request, LONG* status);
    void DeliverProgress(Request& request);
    void Abandon(LONG status);

    LinkWorker* worker;     // null while not connected
    LinkWorker* abandoned;  // given up; still let end in peace when the link closes
    WaitWatcher* watcher;   // the panel's; may be null
    LONG untrusted;         // 0, or the status every request answers at once
    volatile LONG busy;     // 1 while a request is out

    // A record request that fails hands back the record of the last one that
    // succeeded, as the server's own contract has it.
    remote::RemoteEntry entry;
    remote::RemoteVolume volume;
};

// Waits for `count` handles while dispatching every message that reaches the
// thread. Answers what the underlying wait answers: the signalled handle's
// index, WAIT_TIMEOUT, or WAIT_FAILED.
DWORD PumpingWait(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeout);
DWORD PumpingWaitOne(HANDLE handle, DWORD timeout);

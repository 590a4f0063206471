// Phone link subsystem. It owns a panel's connection to the phone server and
// turns the server's asynchronous completions into blocking requests.
//
// A link is two sides of one hand-over:
// - the asking side (phone_link.cpp), on whichever thread calls a request
//   (FAR's main thread, or Find File's worker): it passes the link's one gate,
//   fills the request, hands it over, and waits, dispatching its own messages,
//   drawing the copy progress and asking a WaitWatcher every tenth of a second
//   whether to go on;
// - the link's own thread (link_thread.h), in a single-threaded apartment
//   of its own: it creates the server, registers the sink and makes every
//   request, and the server's callbacks are dispatched inside its waits, so
//   the next request can leave only after the last callback has returned to
//   the server.
// What the two sides hand over is link_request.h; the one wait and message
// pump both use, message_pump.h; the wire contract itself, remote_fs.h and
// remote_ids.cpp. The link knows nothing of the host: what a user sees is the
// panel's.
#pragma once

#include "link_request.h"

// Asked about every 100 ms, on the asking thread, while a request is out.
// quietMs: time since the server last gave a sign (a callback) or the request
// began. Answering false stops the wait.
struct WaitWatcher {
    // Before each wait: a stop asked for from now on is this wait's.
    virtual void WaitBegun() {}
    // Whether a user can end this wait. One nobody can end (no box, no
    // keys), like a link's without a watcher, ends by itself after
    // timing::UnattendedQuietMs without a sign of life, as a lost server;
    // one a user can end waits for a slow but live server as long as it takes.
    virtual bool Attended() { return true; }
    virtual bool KeepWaiting(DWORD quietMs) = 0;
    virtual void WaitEnded() = 0;  // after a wait that asked KeepWaiting
};

class LinkThread;

// One request at a time: every request, and Disconnect, passes one gate; a
// request made while another is out (on any thread) is refused with
// StatusNotAccepted.
class PhoneLink {
public:
    PhoneLink();
    ~PhoneLink();

    PhoneLink(const PhoneLink&) = delete;
    PhoneLink& operator=(const PhoneLink&) = delete;

    // Whether a program is registered for the server's class (any
    // generation): a connect that fails with one registered failed to start
    // the server, which is installed.
    static bool ServerInstalled();
    // StatusOk, or the link's own StatusNoServer or StatusRefused
    // (link_request.h); StatusNotAccepted while a request is out.
    LONG Connect(ServerMaker maker = nullptr, void* makerContext = nullptr);
    void Disconnect();
    void SetWatcher(WaitWatcher* w) { watcher = w; }

    // LinkServes while the link is usable. Once a request finds the server
    // gone or stuck, or its wait is given up, every request fails at once
    // with StatusNotAccepted, asking nothing, until the next Connect.
    LinkLoss Loss() const { return loss; }
    // Marks the loss told, answering true to the one call that marked it:
    // whoever tells the user of it marks it first, so the user hears of it
    // once, from the first step that finds it.
    bool MarkLossTold()
    {
        if (loss == LinkServes || lossTold) return false;
        lossTold = true;
        return true;
    }

    // Each blocks until its completion has arrived and answers its status:
    // the server's, or the link's own StatusNotAccepted.
    // StatusNotAccepted when the server refused the request call (whatever it
    // completed inside it), when none is connected, when the completion came
    // without its record, or when the link is lost (Loss() tells). Outputs
    // are written only when the server accepted the request; a record request
    // that failed hands back the record of the last one that succeeded, as
    // the server's own contract has it.
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
    // as StatusCancelled, and the link stays usable.
    LONG DirReadSome(DWORD handle, remote::RemoteEntry* out, int capacity, int* got);
    LONG DirClose(DWORD handle);
    LONG DirRemove(const WCHAR* path);
    LONG DirMake(const WCHAR* path);
    LONG EntryInfo(const WCHAR* path, remote::RemoteEntry* out);
    // A watcher that says stop during a copy (or a progress function that
    // answers 0) first asks the server to cancel (at its next progress
    // notice) and waits a moment for the cancelled completion; only a server
    // that sends none loses the link. A copy (or a run of reads) the server
    // refused once it was asked to stop answers StatusCancelled: a stopped
    // request is never asked again.
    LONG FileCopy(const WCHAR* source, const WCHAR* target, LONG direction, LONG overwrite,
                  ProgressFn progress, void* context);
    LONG FileDelete(const WCHAR* path);

private:
    class Gate;
    struct Wait;
    void Close();  // Disconnect's work, behind the gate
    bool WaitForThread(Wait& wait);
    void GiveUp(LinkLoss why);

    LinkThread* thread;     // null while not connected
    LinkThread* abandoned;  // given up; let end in peace when the link closes
    WaitWatcher* watcher;   // the panel's; may be null
    LinkLoss loss;
    bool lossTold;
    volatile LONG busy;     // 1 while the gate is held (a request or a disconnect is out)

    // The records of the last requests that succeeded.
    remote::RemoteEntry entry;
    remote::RemoteVolume volume;
};

// Connecting the link to the server through its worker thread, and letting
// go of it again.
#include "link_worker.h"

#include <cstring>

using namespace remote;

enum { AbandonedGraceMs = 1000 };

PhoneLink::PhoneLink() : worker(NULL), abandoned(NULL), watcher(NULL), untrusted(0), busy(0)
{
    memset(&entry, 0, sizeof(entry));
    memset(&volume, 0, sizeof(volume));
}

PhoneLink::~PhoneLink() { Disconnect(); }

LONG PhoneLink::Connect(ServerMaker maker, void* makerContext)
{
    Disconnect();
    untrusted = 0;
    // While the server hangs, creating it hangs too: one thread stuck in
    // that is enough.
    if (LinkWorker::ConnectStuck()) return StatusNoServer;
    worker = LinkWorker::Start(maker, makerContext);
    if (!worker) return StatusNoServer;

    Request request(OpConnect);
    LONG status = Run(request);
    if (status == StatusLinkBroken) status = StatusNoServer;  // creating it hung
    if (status != StatusOk) {
        Disconnect();
        untrusted = 0;
    }
    return status;
}

// The worker unregisters the sink and releases the server on its own thread.
// A worker stuck in a call is left to end whenever the call returns.
void PhoneLink::Disconnect()
{
    if (worker) worker->Stop(LinkWorker::HungCallMs);
    worker = NULL;
    // One given up while merely waiting ends as soon as its last calls are
    // served (an in-process server's through this thread's messages); one
    // stuck in a call is not waited for long.
    if (abandoned) abandoned->Stop(AbandonedGraceMs);
    abandoned = NULL;
}

// Nothing more is asked of this worker; it ends as soon as it can.
void PhoneLink::Abandon(LONG status)
{
    untrusted = status;
    if (!worker) return;
    worker->Quit();
    if (abandoned) abandoned->Stop(0);
    abandoned = worker;
    worker = NULL;
}

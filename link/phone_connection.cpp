// Creating the server, registering the link as its sink, and the sink's COM
// identity.
#include "phone_link.h"

#include <cstring>

using namespace remote;

PhoneLink::PhoneLink()
    : server(NULL), refCount(0), cookie(0), doneEvent(CreateEventA(NULL, FALSE, FALSE, NULL)),
      resultValue(0), status(0), progressFn(NULL), progressCtx(NULL), awaiting(false)
{
    memset(&entry, 0, sizeof(entry));
    memset(&volume, 0, sizeof(volume));
    memset(extraRecord, 0, sizeof(extraRecord));
}

PhoneLink::~PhoneLink()
{
    Disconnect();
    if (doneEvent) CloseHandle(doneEvent);
}

LONG PhoneLink::Connect()
{
    Disconnect();

    for (int generation = 0; generation < GenerationCount; ++generation) {
        HRESULT hr = CoCreateInstance(ServerClassIds[generation], NULL, CLSCTX_LOCAL_SERVER,
                                      RemoteFsIds[generation], (void**)&server);
        if (SUCCEEDED(hr)) break;
        server = NULL;
    }
    if (!server) return StatusNoServer;

    LONG accepted = 0;
    HRESULT hr = server->Advise(this, GetCurrentThreadId(), &cookie, &accepted);
    if (SUCCEEDED(hr)) {
        if (accepted) return StatusOk;
        server->Unadvise(cookie);
    }
    server->Release();
    server = NULL;
    cookie = 0;
    return StatusRefused;
}

void PhoneLink::Disconnect()
{
    if (!server) return;
    server->Unadvise(cookie);
    cookie = 0;
    server->Release();
    server = NULL;
    // A server that died still holds the sink as far as COM knows; cut those
    // references now, or COM would release a link that no longer exists when
    // the apartment ends.
    CoDisconnectObject(static_cast<IRemoteFsSink*>(this), 0);
}

HRESULT STDMETHODCALLTYPE PhoneLink::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = NULL;
    // The sink answers to every generation's identifier, whichever server
    // generation was created.
    bool known = IsEqualIID(iid, IID_IUnknown);
    for (int generation = 0; generation < GenerationCount && !known; ++generation)
        known = IsEqualIID(iid, RemoteFsSinkIds[generation]) != 0;
    if (!known) return E_NOINTERFACE;
    *out = static_cast<IRemoteFsSink*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE PhoneLink::AddRef() { return InterlockedIncrement(&refCount); }

// The link lives inside its panel, which holds one reference for the link's
// whole life and destroys it itself. A server that releases more than it took
// must not bring the count to zero and free memory it doesn't own, so the
// last reference is never given up here.
ULONG STDMETHODCALLTYPE PhoneLink::Release()
{
    LONG remaining = InterlockedDecrement(&refCount);
    if (remaining <= 0) {
        InterlockedIncrement(&refCount);
        return 0;
    }
    return remaining;
}

// Blocking requests on top of the server's asynchronous completions.
//
// A request marks itself as awaiting, calls the server, and waits on the
// auto-reset event while the thread's messages are dispatched; the
// completion arrives as a sink call inside that wait (or even inside the
// request call itself), stores its outcome and signals the event.
#include "phone_link.h"

#include <cstring>

using namespace remote;

// A request is made only on a connected link; one made on a broken or closed
// link is refused like a request the server did not accept.
bool PhoneLink::Begin()
{
    if (!server) return false;
    awaiting = true;
    return true;
}

// The request call is done; wait for its completion. `accepted` is what the
// server answered to the call itself: anything but 0 means no completion
// will come.
LONG PhoneLink::Finish(HRESULT accepted)
{
    if (accepted != S_OK) {
        awaiting = false;
        return StatusNotAccepted;
    }
    // A server that dies never completes; a slow one always does. So the wait
    // is unlimited for a live server, and every quiet second it asks whether
    // the server is still there.
    for (;;) {
        DWORD woke = PumpingWaitOne(doneEvent, LivenessInterval);
        if (woke == WAIT_OBJECT_0) return status;
        if (woke != WAIT_TIMEOUT || !ServerAlive()) break;
    }
    awaiting = false;
    return StatusLinkBroken;
}

// A real call on the server's proxy fails at once with an RPC error when the
// server process is gone (its queries and reference counts are answered
// locally and tell nothing). Unadvise with cookie 0, which no server ever
// hands out, is such a call that changes nothing on a live server.
bool PhoneLink::ServerAlive()
{
    switch ((DWORD)server->Unadvise(0)) {
    case 0x800706BA:  // RPC_S_SERVER_UNAVAILABLE
    case 0x800706BE:  // RPC_S_CALL_FAILED
    case 0x800706BF:  // RPC_S_CALL_FAILED_DNE
    case 0x80010007:  // RPC_E_SERVER_DIED
    case 0x80010012:  // RPC_E_SERVER_DIED_DNE
    case 0x80010108:  // RPC_E_DISCONNECTED
    case 0x800401FD:  // CO_E_OBJNOTCONNECTED
        return false;
    default:
        return true;
    }
}

void PhoneLink::Complete(LONG completionStatus)
{
    status = completionStatus;
    awaiting = false;
    SetEvent(doneEvent);
}

LONG PhoneLink::DriveList(DWORD* mask)
{
    if (!Begin()) return StatusNotAccepted;
    HRESULT hr = server->DriveList(cookie, 0);
    LONG s = Finish(hr);
    if (hr == S_OK) *mask = resultValue;
    return s;
}

LONG PhoneLink::VolumeInfo(LONG driveIndex, RemoteVolume* out)
{
    if (!Begin()) return StatusNotAccepted;
    HRESULT hr = server->VolumeInfo(cookie, 0, driveIndex);
    LONG s = Finish(hr);
    if (hr == S_OK) memcpy(out, &volume, sizeof(volume));
    return s;
}

LONG PhoneLink::DirOpen(const WCHAR* path, DWORD* handle)
{
    if (!Begin()) return StatusNotAccepted;
    HRESULT hr = server->DirOpen(cookie, 0, path);
    LONG s = Finish(hr);
    if (hr == S_OK) *handle = resultValue;
    return s;
}

LONG PhoneLink::DirRead(DWORD handle, RemoteEntry* out)
{
    if (!Begin()) return StatusNotAccepted;
    HRESULT hr = server->DirRead(cookie, 0, handle);
    LONG s = Finish(hr);
    if (hr == S_OK) memcpy(out, &entry, sizeof(entry));
    return s;
}

LONG PhoneLink::DirClose(DWORD handle)
{
    if (!Begin()) return StatusNotAccepted;
    return Finish(server->DirClose(cookie, 0, handle));
}

LONG PhoneLink::DirRemove(const WCHAR* path)
{
    if (!Begin()) return StatusNotAccepted;
    return Finish(server->DirRemove(cookie, 0, path));
}

LONG PhoneLink::DirMake(const WCHAR* path)
{
    if (!Begin()) return StatusNotAccepted;
    return Finish(server->DirMake(cookie, 0, path));
}

LONG PhoneLink::EntryInfo(const WCHAR* path, RemoteEntry* out)
{
    if (!Begin()) return StatusNotAccepted;
    HRESULT hr = server->EntryInfo(cookie, 0, path);
    LONG s = Finish(hr);
    if (hr == S_OK) memcpy(out, &entry, sizeof(entry));
    return s;
}

LONG PhoneLink::FileCopy(const WCHAR* source, const WCHAR* target, LONG direction,
                         LONG overwrite, ProgressFn progress, void* context)
{
    // Set before the call: progress may arrive inside the request call itself.
    progressFn = progress;
    progressCtx = context;
    if (!Begin()) return StatusNotAccepted;
    return Finish(server->FileCopy(cookie, source, target, direction, overwrite));
}

LONG PhoneLink::FileDelete(const WCHAR* path)
{
    if (!Begin()) return StatusNotAccepted;
    return Finish(server->FileDelete(cookie, 0, path));
}

// --- completions ---------------------------------------------------------------
// A completion with no request waiting is left alone: signalling the event
// then would end the next request's wait before its own completion came.

// A success without its record is no success: there is nothing to hand on.
void PhoneLink::CompleteWithRecord(LONG s, const void* record, void* store, size_t size)
{
    if (s == StatusOk && record) memcpy(store, record, size);
    Complete(s == StatusOk && !record ? StatusLinkBroken : s);
}

HRESULT STDMETHODCALLTYPE PhoneLink::OnDriveList(LONG s, DWORD mask)
{
    if (!awaiting) return S_OK;
    resultValue = mask;
    Complete(s);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PhoneLink::OnDirOpen(LONG s, DWORD handle)
{
    return OnDriveList(s, handle);  // both deliver a plain value
}

HRESULT STDMETHODCALLTYPE PhoneLink::OnVolumeInfo(LONG s, const RemoteVolume* record)
{
    if (awaiting) CompleteWithRecord(s, record, &volume, sizeof(volume));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PhoneLink::OnDirRead(LONG s, const RemoteEntry* record)
{
    if (awaiting) CompleteWithRecord(s, record, &entry, sizeof(entry));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PhoneLink::OnEntryInfo(LONG s, const RemoteEntry* record)
{
    return OnDirRead(s, record);
}

HRESULT STDMETHODCALLTYPE PhoneLink::OnRecord(LONG s, const BYTE* record)
{
    if (awaiting) CompleteWithRecord(s, record, extraRecord, sizeof(extraRecord));
    return S_OK;
}

#define STATUS_ONLY_COMPLETION(name)                          \
    HRESULT STDMETHODCALLTYPE PhoneLink::name(LONG s)         \
    {                                                         \
        if (awaiting) Complete(s);                            \
        return S_OK;                                          \
    }

STATUS_ONLY_COMPLETION(OnDirClose)
STATUS_ONLY_COMPLETION(OnDirRemove)
STATUS_ONLY_COMPLETION(OnDirMake)
STATUS_ONLY_COMPLETION(OnFileCopy)
STATUS_ONLY_COMPLETION(OnFileDelete)

HRESULT STDMETHODCALLTYPE PhoneLink::OnCopyProgress(LONG value, LONG* cancel)
{
    if (!cancel) return S_OK;
    // Progress of a copy nobody waits for any more: neither draw nor cancel.
    if (!awaiting || !progressFn) {
        *cancel = 0;
        return S_OK;
    }
    *cancel = progressFn(value, progressCtx) == 0 ? 1 : 0;
    return S_OK;
}

// Slots the server may call that carry nothing for us.
HRESULT STDMETHODCALLTYPE PhoneLink::Unused3(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE PhoneLink::Unused4(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE PhoneLink::Unused7(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE PhoneLink::Unused14(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE PhoneLink::Unused17(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE PhoneLink::Unused18(LONG, LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE PhoneLink::Unused20(LONG, LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE PhoneLink::Unused21(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE PhoneLink::Unused22(LONG, LONG, LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE PhoneLink::Unused23(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE PhoneLink::Unused24(LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE PhoneLink::Unused25(LONG, LONG) { return S_OK; }
HRESULT STDMETHODCALLTYPE PhoneLink::Unused26(LONG, LONG) { return S_OK; }

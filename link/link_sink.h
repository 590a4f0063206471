// The sink the server calls back, one per connection; what its callbacks do
// on the link's thread is link_sink.cpp.
#pragma once

#include "link_thread.h"
#include "sink_base.h"

// The sink the server calls back, one per connection. Its callbacks run on
// the link's thread (the apartment it was handed out from). It lives while
// its connection holds it or COM holds a reference: a dead server's stub may
// let go of it late, and that must reach this sink, never a later one at its
// address. A server that releases more than it took can't free it under its
// connection.
class LinkSink final : public remote::SinkBase {
public:
    explicit LinkSink(LinkThread* o) : owner(o), refs(0) {}
    // The connection is over: nothing reaches the link from now on, and the
    // sink goes as soon as COM lets go of it too.
    void Drop()
    {
        owner = nullptr;
        if (InterlockedCompareExchange(&refs, 0, 0) == 0) delete this;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs) + 1; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&refs);
        if (left < 0) left = InterlockedIncrement(&refs);  // more than was taken
        if (left == 0 && !owner) {
            delete this;
            return 0;
        }
        return left + (owner ? 1 : 0);
    }

    HRESULT STDMETHODCALLTYPE OnDriveList(LONG s, DWORD mask) override
    {
        return Complete(OpDriveList, s, mask);
    }
    HRESULT STDMETHODCALLTYPE OnVolumeInfo(LONG s, const remote::RemoteVolume* v) override
    {
        return Complete(OpVolumeInfo, s, 0, v, sizeof(remote::RemoteVolume));
    }
    HRESULT STDMETHODCALLTYPE OnDirOpen(LONG s, DWORD handle) override
    {
        return Complete(OpDirOpen, s, handle);
    }
    HRESULT STDMETHODCALLTYPE OnDirRead(LONG s, const remote::RemoteEntry* e) override
    {
        return Complete(OpDirRead, s, 0, e, sizeof(remote::RemoteEntry));
    }
    HRESULT STDMETHODCALLTYPE OnDirClose(LONG s) override { return Complete(OpDirClose, s); }
    HRESULT STDMETHODCALLTYPE OnDirRemove(LONG s) override { return Complete(OpDirRemove, s); }
    HRESULT STDMETHODCALLTYPE OnDirMake(LONG s) override { return Complete(OpDirMake, s); }
    HRESULT STDMETHODCALLTYPE OnEntryInfo(LONG s, const remote::RemoteEntry* e) override
    {
        return Complete(OpEntryInfo, s, 0, e, sizeof(remote::RemoteEntry));
    }
    HRESULT STDMETHODCALLTYPE OnFileCopy(LONG s) override { return Complete(OpFileCopy, s); }
    HRESULT STDMETHODCALLTYPE OnFileDelete(LONG s) override { return Complete(OpFileDelete, s); }
    // No request of ours completes here, but the server is alive.
    HRESULT STDMETHODCALLTYPE OnRecord(LONG, const BYTE*) override
    {
        if (owner) owner->InCallback();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnCopyProgress(LONG value, LONG* cancel) override
    {
        LONG answer = owner ? owner->Progress(value) : 0;
        if (cancel) *cancel = answer;
        return S_OK;
    }

private:
    ~LinkSink() {}
    HRESULT Complete(LinkOp op, LONG s, DWORD value = 0, const void* record = nullptr,
                     size_t size = 0)
    {
        if (owner) owner->Completed(op, s, value, record, size);
        return S_OK;
    }

    LinkThread* owner;  // null once the connection is over
    volatile LONG refs;
};

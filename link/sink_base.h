// A sink that answers every slot of the callback interface: IUnknown's
// identity for every generation's sink identifier, S_OK from each callback,
// and "go on" to every progress notice. A sink of its own (the link's, a
// test's, a benchmark's) overrides the slots it listens to and keeps its own
// reference count.
#pragma once

#include "remote_fs.h"

namespace remote {

class SinkBase : public IRemoteFsSink {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        // The sink answers to every generation's identifier, whichever
        // server generation asks.
        bool known = IsEqualIID(iid, IID_IUnknown) != 0;
        for (int g = 0; g < GenerationCount && !known; ++g)
            known = IsEqualIID(iid, RemoteFsSinkIds[g]) != 0;
        if (!known) return E_NOINTERFACE;
        *out = static_cast<IRemoteFsSink*>(this);
        AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Unused3(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused4(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDriveList(LONG, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnVolumeInfo(LONG, const RemoteVolume*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused7(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDirOpen(LONG, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDirRead(LONG, const RemoteEntry*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDirClose(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDirRemove(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDirMake(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnEntryInfo(LONG, const RemoteEntry*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused14(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFileCopy(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFileDelete(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused17(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused18(LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnRecord(LONG, const BYTE*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused20(LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused21(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused22(LONG, LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused23(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused24(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused25(LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Unused26(LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnCopyProgress(LONG, LONG* cancel) override
    {
        if (cancel) *cancel = 0;
        return S_OK;
    }

protected:
    virtual ~SinkBase() {}
};

}  // namespace remote

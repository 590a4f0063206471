// Phone link subsystem. It owns a panel's connection to the phone server:
// creating the server and registering as its sink (phone_connection.cpp),
// blocking requests built on the server's asynchronous completions and the
// wait that keeps the thread's messages flowing meanwhile (phone_requests.cpp,
// pumping_wait.cpp). The wire contract itself is remote_fs.h. It knows
// nothing of the host: turning entries and statuses into what a user sees is
// the panel's.
#pragma once

#include "remote_fs.h"

// Called during a FileCopy with the server's progress figure (0 to 100);
// answers non-zero to go on, zero to cancel the copy.
typedef int (*ProgressFn)(int value, void* context);

// A status of our own: the wait for a completion failed, or the server is
// gone, so no completion will ever come.
enum : LONG {
    StatusLinkBroken = -102,
    StatusAbandoned = -103,  // the user stopped waiting; the link is not used again
};

// The link is the sink object the server calls back; it lives inside its
// panel, which takes one reference at construction and never gives it back.
class PhoneLink : public remote::IRemoteFsSink {
public:
    PhoneLink();
    virtual ~PhoneLink();

    LONG Connect();
    void Disconnect();

    // Requests: each blocks until its completion has arrived and answers its
    // status, or StatusNotAccepted when the server refused the request call.
    LONG DriveList(DWORD* mask);
    LONG VolumeInfo(LONG driveIndex, remote::RemoteVolume* out);
    LONG DirOpen(const WCHAR* path, DWORD* handle);
    LONG DirRead(DWORD handle, remote::RemoteEntry* out);
    LONG DirClose(DWORD handle);
    LONG DirRemove(const WCHAR* path);
    LONG DirMake(const WCHAR* path);
    LONG EntryInfo(const WCHAR* path, remote::RemoteEntry* out);
    LONG FileCopy(const WCHAR* source, const WCHAR* target, LONG direction, LONG overwrite,
                  ProgressFn progress, void* context);
    LONG FileDelete(const WCHAR* path);

    // IUnknown of the sink.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // The sink's callbacks.
    HRESULT STDMETHODCALLTYPE Unused3(LONG) override;
    HRESULT STDMETHODCALLTYPE Unused4(LONG) override;
    HRESULT STDMETHODCALLTYPE OnDriveList(LONG status, DWORD mask) override;
    HRESULT STDMETHODCALLTYPE OnVolumeInfo(LONG status, const remote::RemoteVolume* volume) override;
    HRESULT STDMETHODCALLTYPE Unused7(LONG) override;
    HRESULT STDMETHODCALLTYPE OnDirOpen(LONG status, DWORD handle) override;
    HRESULT STDMETHODCALLTYPE OnDirRead(LONG status, const remote::RemoteEntry* entry) override;
    HRESULT STDMETHODCALLTYPE OnDirClose(LONG status) override;
    HRESULT STDMETHODCALLTYPE OnDirRemove(LONG status) override;
    HRESULT STDMETHODCALLTYPE OnDirMake(LONG status) override;
    HRESULT STDMETHODCALLTYPE OnEntryInfo(LONG status, const remote::RemoteEntry* entry) override;
    HRESULT STDMETHODCALLTYPE Unused14(LONG) override;
    HRESULT STDMETHODCALLTYPE OnFileCopy(LONG status) override;
    HRESULT STDMETHODCALLTYPE OnFileDelete(LONG status) override;
    HRESULT STDMETHODCALLTYPE Unused17(LONG) override;
    HRESULT STDMETHODCALLTYPE Unused18(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE OnRecord(LONG status, const BYTE* record) override;
    HRESULT STDMETHODCALLTYPE Unused20(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE Unused21(LONG) override;
    HRESULT STDMETHODCALLTYPE Unused22(LONG, LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE Unused23(LONG) override;
    HRESULT STDMETHODCALLTYPE Unused24(LONG) override;
    HRESULT STDMETHODCALLTYPE Unused25(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE Unused26(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE OnCopyProgress(LONG value, LONG* cancel) override;

    remote::IRemoteFs* server;  // null while not connected
    volatile LONG refCount;
    DWORD cookie;               // from Advise; 0 while not connected
    HANDLE doneEvent;           // auto-reset: one completion ends one wait

    // Completion and progress state.
    DWORD resultValue;
    LONG status;
    remote::RemoteEntry entry;
    remote::RemoteVolume volume;
    BYTE extraRecord[remote::ExtraRecordSize];
    ProgressFn progressFn;
    void* progressCtx;

private:
    // True from just before a request call until its completion arrived, so
    // a stray completion with no request waiting is ignored instead of
    // ending the next request's wait early.
    bool awaiting;

    enum { LivenessInterval = 1000 };  // ms without a completion before asking

    bool Begin();
    LONG Finish(HRESULT accepted);
    bool ServerAlive();
    void Complete(LONG completionStatus);
    void CompleteWithRecord(LONG completionStatus, const void* record, void* store, size_t size);
};

// Waits for `count` handles while dispatching every message that reaches the
// thread. Answers what the underlying wait answers: the signalled handle's
// index, WAIT_TIMEOUT, or WAIT_FAILED.
DWORD PumpingWait(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeout);
DWORD PumpingWaitOne(HANDLE handle, DWORD timeout);

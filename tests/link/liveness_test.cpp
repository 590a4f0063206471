// A request whose server has gone away must not wait for ever; one whose
// server is merely slow must wait as long as it takes.
#include "phone_link.h"
#include "watchdog.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Accepts DriveList and completes it only when a timer says so; answers the
// liveness question as a live or a dead server's proxy would.
class SilentServer final : public remote::IRemoteFs {
public:
    HRESULT probeAnswer = E_INVALIDARG;  // a live server refusing cookie 0
    int probes = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Advise(remote::IRemoteFsSink*, DWORD, DWORD*, LONG*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        if (cookie == 0) ++probes;
        return probeAnswer;
    }
    HRESULT STDMETHODCALLTYPE Unused5() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DriveList(DWORD, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VolumeInfo(DWORD, LONG, LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unused8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DirOpen(DWORD, LONG, const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DirRead(DWORD, LONG, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DirClose(DWORD, LONG, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DirRemove(DWORD, LONG, const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DirMake(DWORD, LONG, const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EntryInfo(DWORD, LONG, const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unused15() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FileCopy(DWORD, const WCHAR*, const WCHAR*, LONG, LONG) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FileDelete(DWORD, LONG, const WCHAR*) override { return E_NOTIMPL; }
};

PhoneLink* completing = nullptr;

void CALLBACK CompleteDriveList(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(NULL, id);
    completing->OnDriveList(remote::StatusOk, 0x14);
}

class Liveness : public ::testing::Test {
protected:
    void SetUp() override
    {
        link.AddRef();
        link.server = &server;
        link.cookie = 7;
        completing = &link;
    }
    void TearDown() override { link.server = nullptr; }

    PhoneLink link;
    SilentServer server;
};

TEST_F(Liveness, ARequestToADeadServerEndsWithABrokenLink)
{
    server.probeAnswer = (HRESULT)0x800706BA;  // RPC_S_SERVER_UNAVAILABLE
    Watchdog watchdog("DriveList to give up on a server whose proxy answers 0x800706BA");
    DWORD mask = 0;
    DWORD start = GetTickCount();
    EXPECT_EQ(StatusLinkBroken, link.DriveList(&mask));
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(1, server.probes);

    // A completion that limps in afterwards is nobody's.
    link.OnDriveList(remote::StatusOk, 0x4);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(link.doneEvent, 0));
}

TEST_F(Liveness, ASlowLiveServerIsWaitedFor)
{
    SetTimer(NULL, 0, 2500, CompleteDriveList);
    Watchdog watchdog("DriveList to end when a timer completes it after 2.5 s");
    DWORD mask = 0;
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
    EXPECT_EQ(0x14u, mask);
    EXPECT_GE(server.probes, 1);  // asked, and the answer was "still here"
}

}  // namespace

// A request whose server is merely slow must wait as long as it takes (a
// server that has gone away is the end-to-end tests' to kill); one whose
// server is stuck in a call ends, and a wait can be given up.
#include "link_test_support.h"
#include "phone_link.h"
#include "watchdog.h"

#include <gtest/gtest.h>

#include <vector>

using link_test::MakeGivenServer;
using link_test::StackServer;

namespace {

const DWORD LinkCookie = 7;

// Accepts DriveList and completes it after `completeAfterMs` (never when 0);
// or blocks inside DriveList until `release` is set, as a hung server does.
class SilentServer final : public StackServer {
public:
    UINT completeAfterMs = 0;
    HANDLE release = nullptr;  // set: DriveList blocks until it is signalled
    int advises = 0;
    std::vector<DWORD> unadvised;
    remote::IRemoteFsSink* sink = nullptr;

    HRESULT STDMETHODCALLTYPE Advise(remote::IRemoteFsSink* s, DWORD, DWORD* cookie,
                                     LONG* accepted) override
    {
        ++advises;
        *accepted = 1;
        sink = s;
        *cookie = LinkCookie;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        unadvised.push_back(cookie);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DriveList(DWORD, LONG) override
    {
        if (release) WaitForSingleObject(release, INFINITE);
        if (completeAfterMs) SetTimer(nullptr, 0, completeAfterMs, CompleteDriveList);
        return S_OK;
    }

    static SilentServer* current;
    // Runs on the link's thread, which made the call that set the timer.
    static void CALLBACK CompleteDriveList(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        current->sink->OnDriveList(remote::StatusOk, 0x14);
    }
};

SilentServer* SilentServer::current = nullptr;

// Gives up after a set time, and counts how it was asked.
struct GiveUpAfter : WaitWatcher {
    DWORD limit;
    int asked = 0, ended = 0;
    explicit GiveUpAfter(DWORD ms) : limit(ms) {}
    bool KeepWaiting(DWORD quietMs) override
    {
        ++asked;
        return quietMs < limit;
    }
    void WaitEnded() override { ++ended; }
};

class Liveness : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        SilentServer::current = &server;
    }
    void TearDown() override
    {
        if (server.release) SetEvent(server.release);
        link.Disconnect();
        CoUninitialize();
    }
    void Connect() { ASSERT_EQ(remote::StatusOk, link.Connect(MakeGivenServer, &server)); }

    // Never freed: a thread stuck in one of its calls may use it after the test.
    SilentServer& server = *new SilentServer;
    PhoneLink link;
};

TEST_F(Liveness, ASlowLiveServerIsWaitedForAndItsRegistrationLeftAlone)
{
    Connect();
    server.completeAfterMs = 2500;
    Watchdog watchdog("DriveList to end when the server completes it after 2.5 s");
    DWORD mask = 0;
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
    EXPECT_EQ(0x14u, mask);
    // Waiting touched no registration: a server that keeps one per object
    // would otherwise have lost the link's.
    EXPECT_EQ(1, server.advises);
    EXPECT_TRUE(server.unadvised.empty());
}

TEST_F(Liveness, AStuckCallEndsAsAStuckLinkAndAGivenUpWaitAsAbandoned)
{
    Connect();
    server.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD mask = 0xAB;
    DWORD start = GetTickCount();
    EXPECT_EQ(remote::StatusNotAccepted, link.DriveList(&mask));
    EXPECT_EQ(LinkStuck, link.Loss());
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 4500u);
    EXPECT_LT(took, 8000u);
    EXPECT_EQ(0xABu, mask);
    // A link found stuck is not asked again.
    EXPECT_EQ(remote::StatusNotAccepted, link.DriveList(&mask));
    EXPECT_EQ(LinkStuck, link.Loss());

    // A watcher that gives up ends the wait though the call never returns;
    // every later request then fails at once, until the link connects anew.
    SetEvent(server.release);
    SilentServer& again = *new SilentServer;
    again.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SilentServer::current = &again;
    GiveUpAfter watcher(300);
    link.SetWatcher(&watcher);
    ASSERT_EQ(remote::StatusOk, link.Connect(MakeGivenServer, &again));
    start = GetTickCount();
    EXPECT_EQ(remote::StatusNotAccepted, link.DriveList(&mask));
    EXPECT_EQ(LinkAbandoned, link.Loss());
    took = GetTickCount() - start;
    EXPECT_LT(took, 1000u);
    EXPECT_GE(watcher.asked, 2);
    EXPECT_GE(watcher.ended, 1);
    start = GetTickCount();
    EXPECT_EQ(remote::StatusNotAccepted, link.DriveList(&mask));
    EXPECT_EQ(LinkAbandoned, link.Loss());
    EXPECT_LT(GetTickCount() - start, 50u);
    EXPECT_EQ(0xABu, mask);

    SetEvent(again.release);
    SilentServer& third = *new SilentServer;
    third.completeAfterMs = 10;
    SilentServer::current = &third;
    ASSERT_EQ(remote::StatusOk, link.Connect(MakeGivenServer, &third));
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
    EXPECT_EQ(0x14u, mask);
    link.SetWatcher(nullptr);
}

}  // namespace

namespace {

// Making the server hangs until `release` is set, as CoCreateInstance does
// while the server's process hangs before it registers.
struct HangingMaker {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    volatile LONG calls = 0;
    static HRESULT Make(void* self, remote::IRemoteFs** out)
    {
        HangingMaker* m = static_cast<HangingMaker*>(self);
        InterlockedIncrement(&m->calls);
        WaitForSingleObject(m->release, INFINITE);
        *out = nullptr;
        return E_FAIL;
    }
};

// While a connect hangs, one thread is left in it, even a pooled thread that
// connected before: every later open fails at once, asking nothing, until
// that connect returns.
TEST_F(Liveness, OnlyTheFirstOpenOnAHangingConnectWaits)
{
    Connect();
    link.Disconnect();  // its thread, which connected once, waits in the pool

    // Never freed: the stuck thread may still call it after the test.
    HangingMaker& hang = *new HangingMaker;
    Watchdog watchdog("three opens while connecting hangs");
    PhoneLink first, second, third;
    EXPECT_EQ(StatusNoServer, first.Connect(HangingMaker::Make, &hang));
    DWORD start = GetTickCount();
    EXPECT_EQ(StatusNoServer, second.Connect(HangingMaker::Make, &hang));
    EXPECT_EQ(StatusNoServer, third.Connect(HangingMaker::Make, &hang));
    // They make no call: well under the five seconds a connect may hang.
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ(1, hang.calls);

    // Once that connect has returned, opens connect again.
    SetEvent(hang.release);
    watchdog.Waiting("an open after the hanging connect returned");
    LONG status;
    while ((status = link.Connect(MakeGivenServer, &server)) != remote::StatusOk) Sleep(50);
    EXPECT_EQ(remote::StatusOk, status);
}

}  // namespace

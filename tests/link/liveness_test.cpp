// A request whose server has gone away must not wait for ever; one whose
// server is merely slow must wait as long as it takes; one whose server is
// stuck in a call ends too, and a wait can be given up.
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
// answers the liveness question as a live or a dead server's proxy would;
// or blocks inside DriveList until `release` is set, as a hung server does.
class SilentServer final : public StackServer {
public:
    HRESULT probeAnswer = S_OK;
    UINT completeAfterMs = 0;
    HANDLE release = NULL;  // set: DriveList blocks until it is signalled
    int probes = 0;
    std::vector<DWORD> unadvised;
    remote::IRemoteFsSink* sink = nullptr;

    HRESULT STDMETHODCALLTYPE Advise(remote::IRemoteFsSink* s, DWORD, DWORD* cookie,
                                     LONG* accepted) override
    {
        *accepted = 1;
        if (!sink) {
            sink = s;
            *cookie = LinkCookie;
            return S_OK;
        }
        ++probes;
        *cookie = 100 + probes;
        return probeAnswer;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        unadvised.push_back(cookie);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DriveList(DWORD, LONG) override
    {
        if (release) WaitForSingleObject(release, INFINITE);
        if (completeAfterMs) SetTimer(NULL, 0, completeAfterMs, CompleteDriveList);
        return S_OK;
    }

    static SilentServer* current;
    // Runs on the link's thread, which made the call that set the timer.
    static void CALLBACK CompleteDriveList(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(NULL, id);
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

TEST_F(Liveness, ARequestToADeadServerEndsWithABrokenLink)
{
    Connect();
    server.probeAnswer = (HRESULT)0x800706BA;  // RPC_S_SERVER_UNAVAILABLE
    Watchdog watchdog("DriveList to give up on a server whose proxy answers 0x800706BA");
    DWORD mask = 0;
    DWORD start = GetTickCount();
    EXPECT_EQ(StatusLinkBroken, link.DriveList(&mask));
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(1, server.probes);
}

TEST_F(Liveness, ASlowLiveServerIsWaitedForAndItsRegistrationLeftAlone)
{
    Connect();
    server.completeAfterMs = 2500;
    Watchdog watchdog("DriveList to end when the server completes it after 2.5 s");
    DWORD mask = 0;
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
    EXPECT_EQ(0x14u, mask);
    EXPECT_GE(server.probes, 1);  // asked, and the answer was "still here"
    // Each question took back only the registration it had made.
    ASSERT_EQ((size_t)server.probes, server.unadvised.size());
    for (int i = 0; i < server.probes; ++i) EXPECT_EQ(101u + i, server.unadvised[i]);
}

TEST_F(Liveness, AStuckCallEndsAsABrokenLinkAndAGivenUpWaitAsAbandoned)
{
    Connect();
    server.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD mask = 0xAB;
    DWORD start = GetTickCount();
    EXPECT_EQ(StatusLinkBroken, link.DriveList(&mask));
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 4500u);
    EXPECT_LT(took, 8000u);
    EXPECT_EQ(0xABu, mask);
    // A link found stuck is not asked again.
    EXPECT_EQ(StatusLinkBroken, link.DriveList(&mask));

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
    EXPECT_EQ(StatusAbandoned, link.DriveList(&mask));
    took = GetTickCount() - start;
    EXPECT_LT(took, 1000u);
    EXPECT_GE(watcher.asked, 2);
    EXPECT_GE(watcher.ended, 1);
    start = GetTickCount();
    EXPECT_EQ(StatusAbandoned, link.DriveList(&mask));
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

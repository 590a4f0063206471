// A server that stops answering without dying (a phone pulled out, a server
// process suspended): its request call never returns. A stop asked for by
// the user must still end the wait within a second or so, leave the panel
// where it was, and say why; the link is then not used again.
#include "e2e_support.h"
#include "message_ids.h"
#include "watchdog.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace kelp_e2e {
namespace {

using namespace kelp_test;

// Sends the host's break event to a panel `delay` ms after it starts, from a
// thread of its own, as the host does for Ctrl+Break, and notes when.
struct Breaker {
    host_emu::HostEmulator* host;
    HANDLE panel;
    DWORD delay;
    volatile DWORD brokeAt = 0;
    HANDLE thread;

    Breaker(host_emu::HostEmulator* h, HANDLE p, DWORD d) : host(h), panel(p), delay(d)
    {
        thread = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    }
    ~Breaker()
    {
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
    }
    static DWORD WINAPI Run(LPVOID self)
    {
        Breaker* b = static_cast<Breaker*>(self);
        Sleep(b->delay);
        b->brokeAt = GetTickCount();
        b->host->Exports().ProcessEvent(b->panel, host::FE_BREAK, nullptr);
        return 0;
    }
};

TEST_F(E2eTest, ABreakEndsTheWaitOnAServerThatNeverAnswers)
{
    ASSERT_TRUE(MakeDirs(PhonePath("C\\docs")));
    Serve(1, "--hang DirOpen");
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    Watchdog watchdog("SetDirectory to give up on a server whose DirOpen never returns");
    host->Script().AnswerMessage(0);  // the abandoned wait, said by the read that closes the panel

    int entered;
    DWORD returnedAt;
    {
        Breaker breaker(host.get(), panel, 1500);
        entered = host->SetDirectory(panel, "C:");
        returnedAt = GetTickCount();
        ASSERT_NE(0u, breaker.brokeAt);
        EXPECT_LT(returnedAt - breaker.brokeAt, 2000u);
        printf("hung server: %lu ms from the break to SetDirectory's answer\n",
               (unsigned long)(returnedAt - breaker.brokeAt));
    }
    EXPECT_EQ(0, entered);
    EXPECT_TRUE(host->Journal().Prompts().empty());

    // Not trusted again: the next request fails at once, and says why.
    DWORD start = GetTickCount();
    host::PluginPanelItem* items = nullptr;
    int count = 0;
    EXPECT_EQ(0, host->Exports().GetFindData(panel, &items, &count, 0));
    EXPECT_LT(GetTickCount() - start, 500u);
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ((std::vector<std::string>{host->MessageText(MStatusAbandoned),
                                        host->MessageText(MReopenOnceAnswers)}),
              host->Journal().Prompts().back()->lines);
    host->ClosePlugin(panel);

    KillServers();
    WaitForNoServer(5000);
    ASSERT_TRUE(RestartRpcSs());
}

}  // namespace
}  // namespace kelp_e2e

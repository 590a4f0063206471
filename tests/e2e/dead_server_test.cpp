// A server process that dies in the middle of a request: its completion
// never comes, so the plug-in must notice on its own that the server is gone,
// give control back with a failure within seconds, and connect anew on a
// later open. The server here is slow on purpose (each step waits on a
// timer), so the kill lands while a request is out, and a slow server must
// still be waited for.
#include "e2e_support.h"
#include "far_sequences.h"
#include "message_ids.h"
#include "watchdog.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace kelp_e2e {
namespace {

using namespace kelp_test;

const DWORD kGiveBackWithin = 5000;  // ms from the kill until the plug-in answers

// Kills every PhoneServer.exe `delay` ms after Arm, from a thread of its
// own, and notes when (just before, so the time measured from it errs long).
struct Killer {
    HANDLE start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD delay = 0;
    volatile bool disarmed = false;  // a test that ended early kills nothing
    volatile DWORD killedAt = 0;
    volatile int killed = 0;
    HANDLE thread = nullptr;

    explicit Killer(DWORD delayMs) : delay(delayMs)
    {
        thread = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    }
    ~Killer()
    {
        disarmed = true;
        SetEvent(start);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        CloseHandle(start);
    }
    void Arm() { SetEvent(start); }

    static DWORD WINAPI Run(LPVOID self)
    {
        Killer* k = static_cast<Killer*>(self);
        WaitForSingleObject(k->start, INFINITE);
        if (k->disarmed) return 0;
        Sleep(k->delay);
        k->killedAt = GetTickCount();
        k->killed = KillServers();
        return 0;
    }
};

class DeadServer : public E2eTest {
protected:
    // After the kill, Wine's RpcSs still names the dead server for the class;
    // once it has been restarted a new open starts a new server.
    void ExpectReconnect()
    {
        watchdog.Waiting("a new server after RpcSs was restarted");
        ASSERT_TRUE(RestartRpcSs());
        HANDLE again = Open();
        ASSERT_NE(INVALID_HANDLE_VALUE, again);
        EXPECT_EQ((std::vector<std::string>{"C:", "E:"}), Names(again));
        EXPECT_EQ(1u, ServerProcesses().size());
        host->ClosePlugin(again);
    }

    Watchdog watchdog{"the server to start and the panel to open"};
};

// F3 counting a folder when the server dies part way: the count fails within
// seconds, the panel is back in its folder, and the host's next read says
// the server is gone.
TEST_F(DeadServer, AFolderSizeCountFailsAndThePanelStays)
{
    for (int d = 0; d < 4; ++d) {
        std::string folder = "C\\tree\\d" + std::to_string(d);
        ASSERT_TRUE(MakeDirs(PhonePath(folder)));
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(WriteFileText(PhonePath(folder + "\\f" + std::to_string(i)), "x"));
    }
    Serve(1, "--delay-ms 150");
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    host->SetDirectory(panel, "C:");
    Read(panel);

    Killer killer(1500);
    watchdog.Waiting("the count to end after the server was killed");
    killer.Arm();
    host_emu::DirList size = host_emu::GetPluginDirList(*host, panel, "tree");
    DWORD returnedAt = GetTickCount();
    WaitForSingleObject(killer.thread, 10000);
    EXPECT_EQ(1, killer.killed);
    EXPECT_FALSE(size.ok);
    EXPECT_LT(returnedAt - killer.killedAt, kGiveBackWithin);
    host::OpenPluginInfo info = {};
    host->Exports().GetOpenPluginInfo(panel, &info);
    EXPECT_STREQ("C:", info.CurDir);
    EXPECT_TRUE(host->Journal().Prompts().empty());
    host_emu::PanelListing listing;
    EXPECT_FALSE(host->ReadPanel(panel, listing));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(70), host->Journal().Prompts().back()->lines[0]);
    ExpectReconnect();
    for (const std::string& fault : host->Journal().Faults())
        EXPECT_EQ("unscripted message box: " + host->MessageText(2), fault);
}

TEST_F(DeadServer, ListingFailsWithinSecondsAndALaterOpenConnectsAnew)
{
    ASSERT_TRUE(MakeDirs(PhonePath("C\\many")));
    for (int i = 0; i < 20; ++i) {
        char name[32];
        snprintf(name, sizeof(name), "C\\many\\f%02d.txt", i);
        ASSERT_TRUE(WriteFileText(PhonePath(name), name));
    }
    Serve(1, "--delay-ms 150");
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    host->SetDirectory(panel, "C:");
    Read(panel);

    // Entering the folder lists it: some 23 steps of 150 ms, so the kill at
    // 800 ms lands among the reads. The panel stays where it was, and the
    // host's next read says why and closes it.
    Killer killer(800);
    watchdog.Waiting("GetFindData to give back control after the server was killed");
    killer.Arm();
    int entered = host->SetDirectory(panel, "many");
    DWORD returnedAt = GetTickCount();
    WaitForSingleObject(killer.thread, 10000);

    EXPECT_EQ(1, killer.killed);
    EXPECT_EQ(0, entered);
    EXPECT_LT(returnedAt - killer.killedAt, kGiveBackWithin);
    printf("listing: %lu ms from the kill to SetDirectory's failure\n",
           (unsigned long)(returnedAt - killer.killedAt));
    EXPECT_TRUE(host->Journal().Prompts().empty());
    host_emu::PanelListing listing;
    EXPECT_FALSE(host->ReadPanel(panel, listing));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ((std::vector<std::string>{host->MessageText(MStatusLinkBroken),
                                        host->MessageText(MReopenToRestart)}),
              host->Journal().Prompts().back()->lines);
    // The failed read closed the panel, as FAR does; closing it again would
    // free it twice.
    EXPECT_FALSE(host->IsOpen(panel));

    ExpectReconnect();
    // The boxes that said why the listing failed went unanswered here, and
    // nothing else was left undone.
    for (const std::string& fault : host->Journal().Faults())
        EXPECT_EQ("unscripted message box: " + host->MessageText(MErrorTitle), fault);
    EXPECT_TRUE(host->Journal().ScreensNotRestored().empty());
}

TEST_F(DeadServer, CopySaysTheServerIsGoneWithinSecondsAndALaterOpenConnectsAnew)
{
    std::string content(256 * 1024, 'k');
    ASSERT_TRUE(WriteFileText(PhonePath("C\\big.bin"), content));
    Serve(1, "--delay-ms 150 --chunk-size 4096");
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    host->SetDirectory(panel, "C:");
    std::vector<host::PluginPanelItem> items = Select(panel, {"big.bin"});

    // 64 steps of 150 ms; the kill comes 400 ms after the first progress box.
    Killer killer(400);
    DWORD promptAt = 0;
    host->SetHook([&](const host_emu::JournalEntry& e) {
        if (e.IsProgress()) killer.Arm();
        if (!e.buttons.empty() && !promptAt) promptAt = GetTickCount();
    });
    host->Script().AnswerMessage(0);  // the server is gone
    watchdog.Waiting("GetFiles to give back control after the server was killed");
    std::string destination = pcRoot;
    int copied = host->GetFiles(panel, items, 0, destination, host::OPM_SILENT);
    host->SetHook(nullptr);
    WaitForSingleObject(killer.thread, 10000);

    EXPECT_EQ(1, killer.killed);
    // The copy ends there, with no Retry that could never succeed.
    EXPECT_EQ(-1, copied);
    ASSERT_NE(0u, promptAt) << "no message";
    EXPECT_LT(promptAt - killer.killedAt, kGiveBackWithin);
    printf("copy: %lu ms from the kill to the message\n",
           (unsigned long)(promptAt - killer.killedAt));
    const host_emu::JournalEntry* prompt = host->Journal().LastPrompt();
    ASSERT_TRUE(prompt);
    EXPECT_EQ(1u, prompt->buttons.size()) << prompt->Describe();
    EXPECT_EQ(host->MessageText(MStatusLinkBroken), prompt->lines[0]) << prompt->Describe();
    EXPECT_FALSE(PathExists(PcPath("big.bin")));

    // FAR's refresh after the copy lists afresh, which meets the lost
    // link: the read fails and the host closes the panel, instead of a
    // listing as it was shown, from a server that is gone.
    host_emu::PanelListing read;
    EXPECT_FALSE(host_emu::RefreshAfterOperation(*host, panel, read));
    EXPECT_FALSE(host->IsOpen(panel));
    ExpectReconnect();
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_e2e

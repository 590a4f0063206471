// Opening the panel when the phone server can't be had or won't take us, and
// when only a later generation of it is installed.
#include "integration_support.h"
#include "message_ids.h"

#include <thread>

namespace kelp_test {
namespace {

class PanelOpen : public KelpTest {
protected:
    // Opens expecting a failure; checks the one warning box and that nothing
    // of the panel is left with the server.
    void ExpectRefusedOpen(int statusMessage)
    {
        host->Script().AnswerMessage(0);
        HANDLE panel = host->OpenFromDiskMenu();
        EXPECT_EQ(INVALID_HANDLE_VALUE, panel);

        auto messages = host->Journal().Messages();
        ASSERT_EQ(1u, messages.size()) << host->Journal().Dump();
        const host_emu::JournalEntry& box = *messages[0];
        EXPECT_EQ(0x10001u, box.flags);
        EXPECT_EQ(host->MessageText(MErrorTitle), box.title);
        EXPECT_EQ(std::vector<std::string>{host->MessageText(statusMessage)}, box.lines);
        EXPECT_EQ(1u, box.buttons.size());

        phone_emu::Counters counters = phone->Counters();
        EXPECT_EQ(0, counters.serversAlive);
        EXPECT_EQ(0, phone->SinkReferences());
        EXPECT_EQ(0, counters.openEnumerations);
        ExpectNoHostFaults();
    }
};

// Nothing registered is "not installed"; a server registered whose program
// will not start is installed, and the box says it could not be started
// and what to do.
TEST_F(PanelOpen, NoServerInstalledShowsOneWarning)
{
    phone->RevokeAll();
    ExpectRefusedOpen(MStatusNoServer);
    EXPECT_EQ(0, phone->Counters().serversCreated);

    WCHAR guid[40];
    ASSERT_TRUE(StringFromGUID2(remote::ServerClassIds[0], guid, 40));
    std::wstring key = std::wstring(L"CLSID\\") + guid + L"\\LocalServer32";
    HKEY server;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0,
                                             KEY_WRITE, nullptr, &server, nullptr));
    const wchar_t program[] = L"C:\\nowhere\\PhoneServer.exe";
    RegSetValueExW(server, nullptr, 0, REG_SZ, (const BYTE*)program, sizeof(program));
    RegCloseKey(server);
    host->Journal().Clear();
    host->Script().AnswerMessage(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, host->OpenFromDiskMenu());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + guid).c_str());
    ASSERT_EQ(1u, host->Journal().Prompts().size()) << host->Journal().Dump();
    EXPECT_EQ((std::vector<std::string>{host->MessageText(MServerNotStarted),
                                        host->MessageText(MTryAgainLater)}),
              host->Journal().Prompts()[0]->lines);
    ExpectNoHostFaults();
}

TEST_F(PanelOpen, SinkDeclinedShowsOneWarningAndUndoesTheRegistration)
{
    phone->Options().adviseDeclines = true;
    ExpectRefusedOpen(MStatusRefused);
    phone_emu::Counters counters = phone->Counters();
    EXPECT_EQ(1, counters.advises);
    EXPECT_EQ(1, counters.unadvises);
    EXPECT_EQ(1, counters.serversCreated);
}

TEST_F(PanelOpen, SinkRejectedShowsOneWarning)
{
    phone->Options().adviseFails = true;
    ExpectRefusedOpen(MStatusRefused);
    EXPECT_EQ(1, phone->Counters().advises);
    EXPECT_EQ(1, phone->Counters().serversCreated);
}

TEST_F(PanelOpen, FallsBackToTheGenerationThatIsInstalled)
{
    phone->Revoke(0);
    phone->Revoke(1);
    ASSERT_TRUE(WriteFileText(PhonePath("C\\x.txt"), "x"));
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    EXPECT_EQ((std::vector<std::string>{"C:", "E:"}), Names(panel));
    host->SetDirectory(panel, "C:");
    EXPECT_EQ(std::vector<std::string>{"x.txt"}, Names(panel));
    auto advises = phone->Journal(phone_emu::Op::Advise);
    ASSERT_EQ(1u, advises.size());
    EXPECT_EQ(2, advises[0].generation);
    EXPECT_EQ(1, phone->Counters().serversAlive);

    host->ClosePlugin(panel);
    EXPECT_EQ(0, phone->Counters().serversAlive);
    EXPECT_EQ(0, phone->SinkReferences());
    EXPECT_TRUE(host->Journal().Messages().empty());
    ExpectNoHostFaults();
}

// Each panel's link has a thread with an apartment of its own, and Wine stops
// serving a process after 63 such apartments: closed panels hand theirs on.
TEST_F(PanelOpen, TwoHundredPanelsOneAfterAnotherAllWork)
{
    for (int i = 0; i < 200; ++i) {
        HANDLE panel = Open();
        ASSERT_NE(INVALID_HANDLE_VALUE, panel) << "panel " << i;
        ASSERT_EQ((std::vector<std::string>{"C:", "E:"}), Names(panel)) << "panel " << i;
        host->ClosePlugin(panel);
    }
    EXPECT_EQ(0, phone->Counters().serversAlive);
    ExpectNoHostFaults();
}

// A break asked for at once ends the wait too: it is not taken for one left
// over from an earlier operation.
TEST_F(PanelOpen, ABreakRightAtTheStartOfAWaitEndsIt)
{
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    phone->Options().delayMs = 4000;
    std::thread breaker([&] {
        Sleep(30);
        host->Exports().ProcessEvent(panel, host::FE_BREAK, nullptr);
    });
    DWORD start = GetTickCount();
    EXPECT_EQ(0, host->SetDirectory(panel, "C:"));
    EXPECT_LT(GetTickCount() - start, 2500u);
    breaker.join();
    // The wait given up leaves the link lost: the next step says so at once,
    // once, and sends nothing.
    phone->ClearJournal();
    std::vector<host::PluginPanelItem> drive(1);
    strcpy(drive[0].FindData.cFileName, "C:");
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, host->DeleteFiles(panel, drive));
    ASSERT_EQ(1u, host->Journal().Prompts().size()) << host->Journal().Dump();
    EXPECT_EQ(host->MessageText(MStatusAbandoned), host->Journal().Prompts().back()->lines[0]);
    EXPECT_TRUE(phone->Journal().empty());
    phone->Options().delayMs = 0;
    host->ClosePlugin(panel);
}

}  // namespace
}  // namespace kelp_test

// COM on the host's thread is the plug-in's only where the plug-in started
// it: SetStartupInfo's CoInitialize alone carries a whole session, and ExitFAR
// ends only an apartment that SetStartupInfo began.
#include "integration_support.h"

namespace kelp_test {
namespace {

TEST(ComBalance, SetStartupInfoAloneCarriesASessionAndExitFarEndsIt)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string root = std::string(temp) + "kelp-com-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(MakeDirs(root + "\\C"));

    EXPECT_TRUE(RunOnOwnThread([&] {
        host_emu::HostEmulator host;
        ASSERT_TRUE(host.Load(host_emu::FindPluginDll())) << host.Error();
        {
            // The apartment SetStartupInfo made is where the phone registers.
            phone_emu::PhoneEmulator phone(Widen(root));
            ASSERT_EQ(S_OK, phone.RegisterAll());
            HANDLE panel = host.OpenFromDiskMenu();
            ASSERT_NE(INVALID_HANDLE_VALUE, panel);
            host_emu::PanelListing listing;
            EXPECT_TRUE(host.ReadPanel(panel, listing));
            EXPECT_EQ(1u, listing.items.size());
            host.ClosePlugin(panel);
        }
        host.Unload();
        // Balanced: the thread's apartment is gone, so this one is new.
        EXPECT_EQ(S_OK, CoInitialize(nullptr));
        CoUninitialize();
    }));

    // A host thread already in the multithreaded apartment: SetStartupInfo
    // can't make it single-threaded, and ExitFAR must leave it as it was.
    EXPECT_TRUE(RunOnOwnThread([&] {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        host_emu::HostEmulator host;
        ASSERT_TRUE(host.Load(host_emu::FindPluginDll())) << host.Error();
        host.Unload();
        EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));  // still there
        CoUninitialize();
        CoUninitialize();
    }));
    RemoveTree(root);
}

}  // namespace
}  // namespace kelp_test

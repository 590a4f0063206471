// The module's boundary as the host meets it.
#include "integration_support.h"
#include "message_ids.h"

namespace kelp_test {
namespace {

class Exports : public KelpTest {};

TEST_F(Exports, ModuleAnswersAsAFar170PlugIn)
{
    const host_emu::PluginExports& e = host->Exports();
    EXPECT_EQ(326, e.GetMinFarVersion());
    EXPECT_EQ(0, e.Configure(0));
    EXPECT_EQ(0, e.Configure(7));
    e.ClosePlugin(nullptr);  // harmless

    host::PluginInfo info;
    memset(&info, 0x5A, sizeof(info));
    e.GetPluginInfo(&info);
    EXPECT_EQ(44, info.StructSize);
    EXPECT_EQ(0u, info.Flags);
    ASSERT_EQ(1, info.DiskMenuStringsNumber);
    EXPECT_EQ(host->MessageText(MDiskMenu), info.DiskMenuStrings[0]);
    EXPECT_EQ(nullptr, info.DiskMenuNumbers);
    EXPECT_STREQ("", info.CommandPrefix);
    EXPECT_EQ(0, info.PluginMenuStringsNumber);
    EXPECT_EQ(0, info.PluginConfigStringsNumber);
    ExpectNoHostFaults();
}

TEST_F(Exports, OpensOnTheDriveList)
{
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    EXPECT_EQ((std::vector<std::string>{"C:", "E:"}), Names(panel));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

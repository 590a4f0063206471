// FAR's Find File calls a panel from a thread of its own: SetDirectory,
// GetFindData and GetFiles with OPM_FIND for a search in file contents. Over
// the out-of-process server each must work from there as from the host's
// thread.
#include "e2e_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace kelp_e2e {
namespace {

using namespace kelp_test;

class FindThread : public E2eTest {};

TEST_F(FindThread, ListsAndCopiesFromAnotherThread)
{
    ASSERT_TRUE(MakeDirs(PhonePath("C\\docs")));
    ASSERT_TRUE(WriteFileText(PhonePath("C\\docs\\a.txt"), "needle"));
    ASSERT_TRUE(WriteFileText(PhonePath("C\\top.txt"), "top"));
    ASSERT_TRUE(MakeDirs(PcPath("found")));
    Serve(1);
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);

    std::vector<std::string> top, docs;
    int got = 0;
    std::function<void()> find = [&] {
        host->SetDirectory(panel, "C:");
        top = Read(panel).Names();
        host->SetDirectory(panel, "docs");
        docs = Read(panel).Names();
        std::vector<host::PluginPanelItem> items = Select(panel, {"a.txt"});
        std::string destination = PcPath("found");
        got = host->GetFiles(panel, items, 0, destination, host::OPM_SILENT | host::OPM_FIND);
    };
    ASSERT_TRUE(RunOnOwnThread(find));

    EXPECT_EQ((std::vector<std::string>{"docs", "top.txt"}), top);
    EXPECT_EQ((std::vector<std::string>{"a.txt"}), docs);
    EXPECT_EQ(1, got);
    EXPECT_EQ("needle", ReadFileText(PcPath("found\\a.txt")));

    // And the host's own thread goes on using the same panel.
    host->SetDirectory(panel, "..");
    EXPECT_EQ((std::vector<std::string>{"docs", "top.txt"}), Names(panel));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_e2e

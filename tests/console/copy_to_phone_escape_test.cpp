// Esc typed on the console while files go to the phone: the same console
// polling stops this direction too, keeping what was copied before.
#include "console_input.h"
#include "put_support.h"

#include <algorithm>

namespace kelp_test {
namespace {

class CopyToPhoneConsole : public ConsoleTest<PhoneChangeTest> {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        if (HasFailure()) return;
        for (const char* name : {"a.bin", "b.bin", "c.bin"})
            PcFile(name, std::string(64 * 1024, name[0]));
        SlowCopySteps();
    }
};

TEST_F(CopyToPhoneConsole, EscapeDuringTheSecondFileStopsTheCopy)
{
    TypeAtDraw("b.bin", 3, 27, VK_ESCAPE);
    HANDLE panel = OpenAt("C:");
    std::vector<host::PluginPanelItem> items = DiskItems({"a.bin", "b.bin", "c.bin"});
    EXPECT_EQ(-1, host->PutFiles(panel, items, 0, pcRoot));
    host->SetHook(nullptr);

    EXPECT_EQ((std::vector<std::string>{"a.bin"}), ListNames(PhonePath("C")));
    EXPECT_EQ(std::string(64 * 1024, 'a'), ReadFileText(PhonePath("C\\a.bin")));
    std::vector<std::string> copies = Requests(phone_emu::Op::FileCopy);
    EXPECT_EQ(0, std::count(copies.begin(), copies.end(), "C:\\c.bin"));
    EXPECT_FALSE(Selected(items, "a.bin"));
    EXPECT_TRUE(Selected(items, "b.bin"));
    EXPECT_EQ(1, host->Journal().Restores());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

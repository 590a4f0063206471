// Esc typed on the console while files go to the phone: the same console
// polling stops this direction too, keeping what was copied before.
#include "console_input.h"
#include "put_support.h"

#include <algorithm>

namespace kelp_test {
namespace {

class CopyToPhoneConsole : public PhoneChangeTest {
protected:
    void SetUp() override
    {
        PhoneChangeTest::SetUp();
        input = EmptyConsoleInput();
        if (HasFailure()) return;
        for (const char* name : {"a.bin", "b.bin", "c.bin"})
            PcFile(name, std::string(64 * 1024, name[0]));
        // Steps far enough apart that the keys are looked at at every draw.
        phone->Options().chunkSize = 8192;
        phone->Options().delayMs = 25;
    }

    HANDLE input = INVALID_HANDLE_VALUE;
};

TEST_F(CopyToPhoneConsole, EscapeDuringTheSecondFileStopsTheCopy)
{
    int bDraws = 0;
    host->SetHook([&](const host_emu::JournalEntry& e) {
        if (e.IsProgress() && e.lines[1] == "b.bin" && ++bDraws == 3) TypeKey(input, 27, VK_ESCAPE);
    });
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

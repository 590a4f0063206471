// Esc typed on the console while files go to the phone: the same console
// polling stops this direction too, keeping what was copied before.
#include "put_support.h"

#include <algorithm>

namespace kelp_test {
namespace {

class CopyToPhoneConsole : public PhoneChangeTest {
protected:
    void SetUp() override
    {
        PhoneChangeTest::SetUp();
        input = GetStdHandle(STD_INPUT_HANDLE);
        DWORD pending = 0;
        ASSERT_TRUE(GetNumberOfConsoleInputEvents(input, &pending))
            << "no console input: run this program on a terminal";
        FlushConsoleInputBuffer(input);
        for (const char* name : {"a.bin", "b.bin", "c.bin"})
            PcFile(name, std::string(64 * 1024, name[0]));
        // Steps far enough apart that the keys are looked at at every draw.
        phone->options().chunkSize = 8192;
        phone->options().delayMs = 25;
    }

    void TypeEscape()
    {
        INPUT_RECORD key = {};
        key.EventType = KEY_EVENT;
        key.Event.KeyEvent.bKeyDown = TRUE;
        key.Event.KeyEvent.wRepeatCount = 1;
        key.Event.KeyEvent.wVirtualKeyCode = VK_ESCAPE;
        key.Event.KeyEvent.uChar.UnicodeChar = 27;
        DWORD written = 0;
        ASSERT_TRUE(WriteConsoleInputW(input, &key, 1, &written));
    }

    HANDLE input = INVALID_HANDLE_VALUE;
};

TEST_F(CopyToPhoneConsole, EscapeDuringTheSecondFileStopsTheCopy)
{
    int bDraws = 0;
    host->setHook([&](const hostemu::JournalEntry& e) {
        if (e.isProgress() && e.lines[1] == "b.bin" && ++bDraws == 3) TypeEscape();
    });
    HANDLE panel = OpenAt("C:");
    std::vector<host::PluginPanelItem> items = DiskItems({"a.bin", "b.bin", "c.bin"});
    EXPECT_EQ(-1, host->putFiles(panel, items, 0, pcRoot));
    host->setHook(nullptr);

    EXPECT_EQ((std::vector<std::string>{"a.bin"}), ListNames(PhonePath("C")));
    EXPECT_EQ(std::string(64 * 1024, 'a'), ReadFileText(PhonePath("C\\a.bin")));
    std::vector<std::string> copies = Requests(phone_emu::Op::FileCopy);
    EXPECT_EQ(0, std::count(copies.begin(), copies.end(), "C:\\c.bin"));
    EXPECT_FALSE(Selected(items, "a.bin"));
    EXPECT_TRUE(Selected(items, "b.bin"));
    EXPECT_EQ(1, host->journal().restores());
    host->closePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

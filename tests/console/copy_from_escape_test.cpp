// Esc typed on the console while files come from the phone.
#include "console_input.h"
#include "copy_from_support.h"

namespace kelp_test {
namespace {

class CopyFromPhoneConsole : public ConsoleTest<CopyFromPhoneTest> {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        if (HasFailure()) return;
        for (const char* name : {"a.bin", "b.bin", "c.bin"})
            PhoneFile(name, std::string(FileSize, name[0]));
        MakeDirs(PcPath("out"));
        SlowCopySteps();
    }

    static const size_t FileSize = 64 * 1024;
};

TEST_F(CopyFromPhoneConsole, EscapeStopsTheCopyAndKeepsTheFinishedFiles)
{
    TypeAtDraw("b.bin", 3, 27, VK_ESCAPE);  // the second file a few chunks in
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(-1, Copy(panel, {"a.bin", "b.bin", "c.bin"}, 0, PcPath("out"), host::OPM_SILENT));
    host->SetHook(nullptr);

    EXPECT_EQ(3, draws);  // the copy stopped at the draw that read the key
    EXPECT_EQ((std::vector<std::string>{"a.bin"}), ListNames(PcPath("out")));
    EXPECT_EQ(std::string(FileSize, 'a'), ReadFileText(PcPath("out\\a.bin")));
    ASSERT_EQ(1u, CopiesOf(L"b.bin").size());
    EXPECT_EQ(remote::StatusCancelled, CopiesOf(L"b.bin")[0].status);
    EXPECT_TRUE(CopiesOf(L"c.bin").empty());
    EXPECT_TRUE(LeftoverTemporaries(pcRoot).empty());
    EXPECT_FALSE(Selected("a.bin"));
    EXPECT_TRUE(Selected("b.bin"));
    EXPECT_EQ(1, host->Journal().Restores());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// The draws that open the box and each item have answers nobody consults; an
// Esc read there still stops the copy.
TEST_F(CopyFromPhoneConsole, EscapeReadBeforeAFileStartsIsNotLost)
{
    Type(27, VK_ESCAPE);
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(-1, Copy(panel, {"a.bin", "b.bin", "c.bin"}, 0, PcPath("out"), host::OPM_SILENT));

    EXPECT_TRUE(ListNames(PcPath("out")).empty());
    for (const auto& copy : CopiesOf(L"a.bin")) EXPECT_EQ(remote::StatusCancelled, copy.status);
    EXPECT_TRUE(CopiesOf(L"b.bin").empty());
    EXPECT_TRUE(LeftoverTemporaries(pcRoot).empty());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPhoneConsole, OtherKeysAreReadAndIgnored)
{
    TypeAtDraw("b.bin", 3, L'x', 'X');
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(1, Copy(panel, {"a.bin", "b.bin", "c.bin"}, 1, PcPath("out"), host::OPM_SILENT));
    host->SetHook(nullptr);

    EXPECT_GT(draws, 3);
    EXPECT_EQ((std::vector<std::string>{"a.bin", "b.bin", "c.bin"}), ListNames(PcPath("out")));
    EXPECT_TRUE(ListNames(PhonePath("C")).empty());
    DWORD pending = 1;
    EXPECT_TRUE(GetNumberOfConsoleInputEvents(input, &pending));
    EXPECT_EQ(0u, pending);  // the copy took the key from the console
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

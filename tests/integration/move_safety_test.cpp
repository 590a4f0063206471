// A move deletes an original only once its copy is really there: not on a
// completion that copied nothing, not for a name the PC would store as
// another, not after a stop between two files.
#include "copy_from_support.h"

namespace kelp_test {
namespace {

using phone_emu::Op;

class MoveSafety : public CopyFromPhoneTest {};

// A completion that says "done" for a copy that never happened, as a confused
// server (or a late completion of an earlier request) would send.
TEST_F(MoveSafety, ASuccessWithoutTheCopyDeletesNothingEitherWay)
{
    PhoneFile("a.txt", "A");
    PhoneFile("b.txt", "B");
    MakeDirs(PcPath("out"));
    FailCopies(L"b.txt", 0);
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(0, Copy(panel, {"a.txt", "b.txt"}, 1, PcPath("out"), host::OPM_SILENT));
    EXPECT_FALSE(OnPhone("a.txt"));
    EXPECT_TRUE(OnPhone("b.txt"));
    EXPECT_EQ(1u, phone->Count(Op::FileDelete));

    ASSERT_TRUE(WriteFileText(PcPath("c.txt"), "C"));
    std::vector<host::PluginPanelItem> put = {host_emu::MakeDiskItem(pcRoot, "c.txt")};
    FailCopies(L"c.txt", 0);
    EXPECT_EQ(0, host->PutFiles(panel, put, 1, pcRoot, 0));
    EXPECT_TRUE(PathExists(PcPath("c.txt")));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// "nul" lands in the device, "a." as "a": neither is copied, each is said,
// and the originals stay.
TEST_F(MoveSafety, NamesThePcCannotStoreAreNotCopied)
{
    PhoneFile("odd\\ok.txt", "OK");
    phone->Options().extraEntriesDir = L"C:\\odd";
    phone->Options().extraEntries = {phone_emu::MakeEntry(L"nul", FILE_ATTRIBUTE_NORMAL, 1),
                                     phone_emu::MakeEntry(L"Com1.txt", FILE_ATTRIBUTE_NORMAL, 1),
                                     phone_emu::MakeEntry(L"a.", FILE_ATTRIBUTE_NORMAL, 1),
                                     phone_emu::MakeEntry(L"dir ", FILE_ATTRIBUTE_DIRECTORY)};
    MakeDirs(PcPath("out"));
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerMessage(2);  // skip all
    EXPECT_EQ(0, Copy(panel, {"odd"}, 1, PcPath("out"), host::OPM_SILENT));
    EXPECT_EQ((std::vector<std::string>{"ok.txt"}), ListNames(PcPath("out\\odd")));
    EXPECT_TRUE(IsDirectory(PhonePath("C\\odd")));
    EXPECT_EQ(1u, phone->Count(Op::FileCopy));
    EXPECT_EQ(0u, phone->Count(Op::DirRemove));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(61), host->Journal().Prompts()[0]->lines[0]);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// A phone folder meeting a PC file of its name: nothing copied, and said.
TEST_F(MoveSafety, AFolderMeetingAFileOfItsNameStays)
{
    PhoneFile("docs\\x.txt", "X");
    MakeDirs(PcPath("out"));
    ASSERT_TRUE(WriteFileText(PcPath("out\\docs"), "a file"));
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, Copy(panel, {"docs"}, 1, PcPath("out"), host::OPM_SILENT));
    EXPECT_TRUE(OnPhone("docs\\x.txt"));
    EXPECT_EQ("a file", ReadFileText(PcPath("out\\docs")));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(66), host->Journal().Prompts()[0]->lines[2]);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// Small files send no progress notices: a break at the second file's first
// draw must still stop the copy there.
TEST_F(MoveSafety, ABreakBetweenFilesStopsTheRest)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) PhoneFile(name, name);
    MakeDirs(PcPath("out"));
    HANDLE panel = OpenAt("C:");
    host->SetHook([&](const host_emu::JournalEntry& e) {
        if (e.IsProgress() && e.Text().find("b.txt") != std::string::npos)
            host->Exports().ProcessEvent(panel, host::FE_BREAK, nullptr);
    });
    EXPECT_EQ(-1, Copy(panel, {"a.txt", "b.txt", "c.txt"}, 1, PcPath("out"), host::OPM_SILENT));
    host->SetHook(nullptr);
    EXPECT_EQ(1u, phone->Count(Op::FileCopy));
    EXPECT_TRUE(OnPhone("b.txt"));
    EXPECT_TRUE(OnPhone("c.txt"));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

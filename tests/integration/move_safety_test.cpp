// A move deletes an original only once its copy is really there: not on a
// completion that copied nothing, not for a name the PC would store as
// another, not after a stop between two files.
#include "copy_from_support.h"
#include "message_ids.h"

namespace kelp_test {
namespace {

using phone_emu::Op;

class MoveSafety : public CopyFromPhoneTest {};

// A completion that says "done" for a copy that never happened, as a confused
// server (or a late completion of an earlier request) would send; the PC
// file of that name is another, of another size.
TEST_F(MoveSafety, ASuccessWithoutTheCopyDeletesNothingEitherWay)
{
    PhoneFile("a.txt", "A");
    PhoneFile("b.txt", "B");
    MakeDirs(PcPath("out"));
    ASSERT_TRUE(WriteFileText(PcPath("out\\b.txt"), "older"));
    FailCopies(L"b.txt", 0);
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(0, Copy(panel, {"a.txt", "b.txt"}, 1, PcPath("out"), host::OPM_SILENT));
    EXPECT_FALSE(OnPhone("a.txt"));
    EXPECT_TRUE(OnPhone("b.txt"));
    EXPECT_EQ("older", ReadFileText(PcPath("out\\b.txt")));
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
    // What the system itself takes for a device, whatever list one keeps.
    for (const wchar_t* name : {L"CONIN$", L"CONOUT$", L"nul.txt", L"COM1", L"lpt9.x", L"con .txt"})
        phone->Options().extraEntries.push_back(phone_emu::MakeEntry(name, FILE_ATTRIBUTE_NORMAL, 1));
    MakeDirs(PcPath("out"));
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerMessage(1);  // skip all
    EXPECT_EQ(0, Copy(panel, {"odd"}, 1, PcPath("out"), host::OPM_SILENT));
    EXPECT_EQ((std::vector<std::string>{"ok.txt"}), ListNames(PcPath("out\\odd")));
    EXPECT_TRUE(IsDirectory(PhonePath("C\\odd")));
    EXPECT_EQ(1u, phone->Count(Op::FileCopy));
    EXPECT_EQ(0u, phone->Count(Op::DirRemove));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MNameNotForPc), host->Journal().Prompts()[0]->lines[0]);
    // No retry can change a name: only what can help is offered.
    EXPECT_EQ((std::vector<std::string>{host->MessageText(MErrorSkip),
                                        host->MessageText(MErrorSkipAll),
                                        host->MessageText(MCancel)}),
              host->Journal().Prompts()[0]->buttons);
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
    EXPECT_EQ(host->MessageText(MReasonInTheWay), host->Journal().Prompts()[0]->lines[2]);
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
    EXPECT_EQ(1u, phone->Count(Op::FileCopy));
    EXPECT_TRUE(OnPhone("b.txt"));
    EXPECT_TRUE(OnPhone("c.txt"));

    // The same on the way to the phone.
    std::string out = PcPath("out");
    for (const char* name : {"b.txt", "c.txt"})
        ASSERT_TRUE(WriteFileText(out + "\\" + name, name));
    std::vector<host::PluginPanelItem> put = {host_emu::MakeDiskItem(out, "a.txt"),
                                              host_emu::MakeDiskItem(out, "b.txt"),
                                              host_emu::MakeDiskItem(out, "c.txt")};
    RemoveTree(PhonePath("C"));
    MakeDirs(PhonePath("C"));
    phone->ClearJournal();
    EXPECT_EQ(-1, host->PutFiles(panel, put, 1, PcPath("out"), 0));
    host->SetHook(nullptr);
    EXPECT_EQ(1u, phone->Count(Op::FileCopy));
    EXPECT_EQ((std::vector<std::string>{"a.txt"}), ListNames(PhonePath("C")));
    EXPECT_TRUE(PathExists(PcPath("out\\b.txt")));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// The copy is there, the original won't go: the item fails, is said once,
// and stays selected, in both directions.
TEST_F(MoveSafety, AnOriginalThatCannotBeDeletedFailsItsItem)
{
    PhoneFile("a.txt", "A");
    MakeDirs(PcPath("out"));
    phone_emu::Rule stuck;
    stuck.op = Op::FileDelete;
    stuck.pathContains = L"a.txt";
    phone->Options().rules.push_back(stuck);
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerMessage(1);  // skip
    EXPECT_EQ(0, Copy(panel, {"a.txt"}, 1, PcPath("out"), host::OPM_SILENT));
    EXPECT_TRUE(Selected("a.txt"));
    EXPECT_TRUE(OnPhone("a.txt"));
    EXPECT_EQ("A", ReadFileText(PcPath("out\\a.txt")));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MOriginalKept), host->Journal().Prompts()[0]->lines[0]);

    // A PC file another program holds open without leave to delete it.
    ASSERT_TRUE(WriteFileText(PcPath("c.txt"), "C"));
    HANDLE held = CreateFileW(Widen(PcPath("c.txt")).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    std::vector<host::PluginPanelItem> put = {host_emu::MakeDiskItem(pcRoot, "c.txt")};
    put[0].Flags |= host::PPIF_SELECTED;
    host->Script().AnswerMessage(1);
    EXPECT_EQ(0, host->PutFiles(panel, put, 1, pcRoot, 0));
    CloseHandle(held);
    EXPECT_NE(0u, put[0].Flags & host::PPIF_SELECTED);
    EXPECT_EQ("C", ReadFileText(PcPath("c.txt")));
    EXPECT_EQ("C", ReadFileText(PhonePath("C\\c.txt")));
    ASSERT_EQ(2u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MOriginalKept), host->Journal().Prompts()[1]->lines[0]);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// The PC's side of a copy to the phone is outside input too: a folder that
// can't be searched, and a file written to since the host listed it.
TEST_F(MoveSafety, APcSourceThatIsNotAsListedIsSaid)
{
    ASSERT_TRUE(MakeDirs(PcPath("gone")));
    std::vector<host::PluginPanelItem> put = {host_emu::MakeDiskItem(pcRoot, "gone")};
    RemoveTree(PcPath("gone"));
    HANDLE panel = OpenAt("C:");
    phone->ClearJournal();
    host->Script().AnswerMessage(1);  // skip
    EXPECT_EQ(0, host->PutFiles(panel, put, 0, pcRoot, 0));
    EXPECT_EQ(0u, phone->Count(Op::DirMake));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MFolderNotRead), host->Journal().Prompts()[0]->lines[0]);

    ASSERT_TRUE(WriteFileText(PcPath("c.txt"), "C"));
    put = {host_emu::MakeDiskItem(pcRoot, "c.txt")};
    ASSERT_TRUE(WriteFileText(PcPath("c.txt"), "CCC"));
    host->Script().AnswerMessage(1);  // skip: keep the original
    EXPECT_EQ(0, host->PutFiles(panel, put, 1, pcRoot, 0));
    EXPECT_EQ("CCC", ReadFileText(PcPath("c.txt")));
    ASSERT_EQ(2u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MSizeChanged), host->Journal().Prompts()[1]->lines[0]);
    host->Script().AnswerMessage(0);  // overwrite the copy the skip left
    host->Script().AnswerMessage(0);  // retry: the file as it is now will do
    EXPECT_EQ(1, host->PutFiles(panel, put, 1, pcRoot, 0));
    EXPECT_FALSE(PathExists(PcPath("c.txt")));
    EXPECT_EQ("CCC", ReadFileText(PhonePath("C\\c.txt")));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// A copy from the phone into a PC place that can't be made says so.
TEST_F(MoveSafety, APcDestinationThatCannotBeMadeIsSaid)
{
    PhoneFile("a.txt", "A");
    ASSERT_TRUE(WriteFileText(PcPath("afile"), "F"));
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, Copy(panel, {"a.txt"}, 1, PcPath("afile\\sub\\"), host::OPM_SILENT));
    EXPECT_TRUE(phone->Journal().empty());
    EXPECT_TRUE(OnPhone("a.txt"));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MPcFolderNotMade), host->Journal().Prompts()[0]->lines[0]);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

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
// server (or a late completion of an earlier request) would send: the file
// at the destination is another, of another size, down to one byte longer
// or shorter. The move keeps the original and says why, in both directions.
TEST_F(MoveSafety, ACopyNotOfTheOriginalsSizeDeletesNothingEitherWay)
{
    HANDLE panel = OpenAt("C:");
    for (const char* there : {"older", "BBBB", "BB"}) {  // the originals hold 3 bytes
        SCOPED_TRACE(there);
        RemoveTree(PcPath("out"));
        MakeDirs(PcPath("out"));
        PhoneFile("a.txt", "A");
        PhoneFile("b.txt", "BBB");
        ASSERT_TRUE(WriteFileText(PcPath("out\\b.txt"), there));
        phone->Options().rules.clear();
        FailCopies(L"b.txt", 0);
        host->Journal().Clear();
        host->Script().AnswerMessage(1);  // skip
        EXPECT_EQ(0, Copy(panel, {"a.txt", "b.txt"}, 1, PcPath("out"), host::OPM_SILENT));
        EXPECT_FALSE(OnPhone("a.txt"));
        EXPECT_TRUE(OnPhone("b.txt"));
        EXPECT_TRUE(Selected("b.txt"));
        EXPECT_EQ(there, ReadFileText(PcPath("out\\b.txt")));
        EXPECT_EQ(1u, phone->Count(Op::FileDelete));

        ASSERT_TRUE(WriteFileText(PcPath("c.txt"), "CCC"));
        PhoneFile("c.txt", there);
        std::vector<host::PluginPanelItem> put = {host_emu::MakeDiskItem(pcRoot, "c.txt")};
        FailCopies(L"c.txt", 0);
        host->Script().AnswerMessage(1);
        EXPECT_EQ(0, host->PutFiles(panel, put, 1, pcRoot, 0));
        EXPECT_TRUE(PathExists(PcPath("c.txt")));
        EXPECT_EQ(there, ReadFileText(PhonePath("C\\c.txt")));
        ASSERT_EQ(2u, host->Journal().Prompts().size());
        for (const host_emu::JournalEntry* prompt : host->Journal().Prompts())
            EXPECT_EQ(host->MessageText(MCopyNotWhole), prompt->lines[0]);
        ExpectNoHostFaults();
    }
    host->ClosePlugin(panel);
}

// `tail` written after `hole` bytes never written: a file of 4 GiB and more
// that costs no disk.
bool WriteAfterHole(const std::string& path, LONGLONG hole, const std::string& tail)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER at;
    at.QuadPart = hole;
    DWORD written = 0;
    bool ok = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
              WriteFile(file, tail.data(), (DWORD)tail.size(), &written, nullptr) &&
              written == tail.size();
    return CloseHandle(file) && ok;
}

LONGLONG SizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (LONGLONG)data.nFileSizeHigh << 32 | data.nFileSizeLow;
}

// The phone gives sizes in 32 bits: a file of 4 GiB + 10 bytes is listed
// as 10. Its copy lands whole, so a move takes it, in both directions; and
// once it has landed the box counts it at its size. (The emulator takes
// the first 4 GiB of such files for the zeros they are, unwritten.)
TEST_F(MoveSafety, FilesOf4GiBAndMoreMoveWhole)
{
    const LONGLONG lead = 4LL << 30;
    phone->Options().zeroLeadBytes = lead;
    ASSERT_TRUE(WriteAfterHole(PhonePath("C\\big.bin"), lead, "0123456789"));
    PhoneFile("small.txt", "S");
    MakeDirs(PcPath("out"));
    host->Options().interfaceSettings = host::FIS_SHOWTOTALCOPYPROGRESSINDICATOR;
    HANDLE panel = OpenAt("C:");
    host_emu::PanelListing shown = Read(panel);
    ASSERT_TRUE(shown.Find("big.bin"));
    EXPECT_EQ(10u, shown.Find("big.bin")->FindData.nFileSizeLow);
    EXPECT_EQ(1, Copy(panel, {"big.bin", "small.txt"}, 1, PcPath("out"), host::OPM_SILENT));
    EXPECT_FALSE(OnPhone("big.bin"));
    EXPECT_EQ(lead + 10, SizeOf(PcPath("out\\big.bin")));
    const host_emu::JournalEntry* last = nullptr;
    for (const host_emu::JournalEntry* e : ProgressBoxes())
        if (e->title == host->MessageText(MMoveTitle)) last = e;
    ASSERT_TRUE(last && last->lines.size() == 9u) << host->Journal().Dump();
    EXPECT_EQ("small.txt", last->lines[1]);
    EXPECT_EQ("1 of 2 files  4.0 GB of 4.0 GB", last->lines[8]);

    ASSERT_TRUE(WriteAfterHole(PcPath("huge.bin"), lead, "0123456789"));
    std::vector<host::PluginPanelItem> put = {host_emu::MakeDiskItem(pcRoot, "huge.bin")};
    EXPECT_EQ(1, host->PutFiles(panel, put, 1, pcRoot, 0));
    EXPECT_FALSE(PathExists(PcPath("huge.bin")));
    EXPECT_EQ(lead + 10, SizeOf(PhonePath("C\\huge.bin")));
    EXPECT_TRUE(host->Journal().Prompts().empty());
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
                              nullptr, OPEN_EXISTING, 0, nullptr);
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

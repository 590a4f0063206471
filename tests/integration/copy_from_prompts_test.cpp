// The questions a copy from the phone asks on the way: an existing file on
// the PC, a failed file; and a copy stopped by the host's break event.
#include "copy_from_support.h"
#include "message_ids.h"

namespace kelp_test {
namespace {

using phone_emu::Op;

class CopyFromPrompts : public CopyFromPhoneTest {
protected:
    void SetUp() override
    {
        CopyFromPhoneTest::SetUp();
        PhoneFile("a.txt", "A");
        PhoneFile("b.txt", "B");
        PhoneFile("c.txt", "C");
        MakeDirs(PcPath("out"));
    }
};

TEST_F(CopyFromPrompts, OverwriteAllReachesDeepIntoTheTree)
{
    PhoneFile("docs\\x.txt", "X");
    PhoneFile("docs\\sub\\y.txt", "Y");
    MakeDirs(PcPath("out\\docs\\sub"));
    for (const char* name : {"a.txt", "docs\\x.txt", "docs\\sub\\y.txt"})
        WriteFileText(PcPath(std::string("out\\") + name), "old");
    host->Script().AnswerMessage(1);  // overwrite all
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(1, Copy(panel, {"a.txt", "docs"}, 0, PcPath("out"), host::OPM_SILENT));
    EXPECT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ("A", ReadFileText(PcPath("out\\a.txt")));
    EXPECT_EQ("Y", ReadFileText(PcPath("out\\docs\\sub\\y.txt")));
    // Later files overwrite at their first request, without finding out first.
    for (const wchar_t* name : {L"x.txt", L"y.txt"}) {
        ASSERT_EQ(1u, CopiesOf(name).size());
        EXPECT_EQ(1, CopiesOf(name)[0].overwrite);
    }
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPrompts, OverwritePromptAnswers)
{
    struct Case {
        int answer;  // to the prompt for a.txt; b.txt's, if asked, is skip
        int result;
        const char *a, *b, *c;
        size_t prompts;
    };
    const Case cases[] = {
        {0, 0, "A", "old", "C", 2},               // overwrite
        {2, 0, "old", "old", "C", 2},             // skip
        {3, 0, "old", "old", "C", 1},             // skip all
        {4, -1, "old", "old", "<missing>", 1},    // cancel
        {-1, -1, "old", "old", "<missing>", 1},   // Esc cancels, as the host's own copy does
    };
    HANDLE panel = OpenAt("C:");
    for (const Case& t : cases) {
        SCOPED_TRACE(t.answer);
        RemoveTree(PcPath("out"));
        MakeDirs(PcPath("out"));
        WriteFileText(PcPath("out\\a.txt"), "old");
        WriteFileText(PcPath("out\\b.txt"), "old");
        host->Journal().Clear();
        host->Script().AnswerMessage(t.answer);
        if (t.prompts > 1) host->Script().AnswerMessage(2);
        EXPECT_EQ(t.result, Copy(panel, {"a.txt", "b.txt", "c.txt"}, 0, PcPath("out"), host::OPM_SILENT));
        EXPECT_EQ(t.a, ReadFileText(PcPath("out\\a.txt")));
        EXPECT_EQ(t.b, ReadFileText(PcPath("out\\b.txt")));
        EXPECT_EQ(t.c, ReadFileText(PcPath("out\\c.txt")));
        EXPECT_EQ(t.prompts, host->Journal().Prompts().size());
        EXPECT_EQ(t.a != std::string("A"), Selected("a.txt"));
        EXPECT_TRUE(Selected("b.txt"));
        EXPECT_EQ(1, host->Journal().Restores());
        EXPECT_EQ(0u, host->Script().PendingMessages());
        ExpectNoHostFaults();
    }
    host->ClosePlugin(panel);
}

// The question shows both files as the host's own does: labels and sizes
// in columns, the date with two-digit day and month in the user's order and
// the time counted to 24 (this run's locale is US English; the Russian run
// reads its own formats).
TEST_F(CopyFromPrompts, TheOverwriteQuestionShowsBothFilesInColumns)
{
    HANDLE panel = OpenAt("C:");
    std::vector<std::string> lines = AskOverwriteOfDatedFiles(panel);
    ASSERT_EQ(6u, lines.size());
    EXPECT_EQ("New                   1 12/07/2026 23:04:49", lines[3]);
    EXPECT_EQ("Existing              3 01/05/2026 09:08:07", lines[4]);

    // A size past 32 bits is said whole (a sparse file: nothing is written).
    HANDLE big = CreateFileW(Widen(PcPath("out\\a.txt")).c_str(), GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, big);
    LARGE_INTEGER end;
    end.QuadPart = 5LL * 1024 * 1024 * 1024 + 3;
    EXPECT_TRUE(SetFilePointerEx(big, end, nullptr, FILE_BEGIN) && SetEndOfFile(big));
    CloseHandle(big);
    host->Journal().Clear();
    host->Script().AnswerMessage(2);  // skip
    EXPECT_EQ(0, Copy(panel, {"a.txt"}, 0, PcPath("out"), host::OPM_SILENT));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(0u, host->Journal().Prompts()[0]->lines[4].find("Existing     5368709123 "));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// Each kind of operation has its own overwrite confirmation among the
// user's settings; without it an existing file is overwritten unasked.
TEST_F(CopyFromPrompts, OverwriteAsksOnlyWhenTheUserConfirmsThatKind)
{
    struct Case {
        int move;
        DWORD confirmations;
        size_t prompts;
    } cases[] = {
        {0, host::FCS_MOVEOVERWRITE, 0},
        {1, host::FCS_COPYOVERWRITE, 0},
        {1, host::FCS_MOVEOVERWRITE, 1},
        {0, 0, 1},  // a host that answers 0 does not know the question: all on
    };
    HANDLE panel = OpenAt("C:");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.move << " " << c.confirmations);
        PhoneFile("a.txt", "A");
        WriteFileText(PcPath("out\\a.txt"), "old");
        host->Options().confirmations = c.confirmations;
        host->Journal().Clear();
        if (c.prompts) host->Script().AnswerMessage(0);  // overwrite
        EXPECT_EQ(1, Copy(panel, {"a.txt"}, c.move, PcPath("out"), host::OPM_SILENT));
        EXPECT_EQ("A", ReadFileText(PcPath("out\\a.txt")));
        EXPECT_EQ(c.prompts, host->Journal().Prompts().size());
        ExpectNoHostFaults();
    }
    host->ClosePlugin(panel);
}

TEST_F(CopyFromPrompts, ErrorPromptAnswers)
{
    struct Case {
        int answer;
        int occurrence;   // of the failure on b.txt; 0: every request
        bool cFails;
        int result;
        bool bCopied, cCopied;
    };
    const Case cases[] = {
        {0, 1, false, 1, true, true},     // retry, and the second request succeeds
        {1, 0, false, 0, false, true},    // skip
        {2, 0, true, 0, false, false},    // skip all: c's failure goes unasked
        {3, 0, false, -1, false, false},  // cancel
        {-1, 0, false, -1, false, false}, // Esc cancels
    };
    HANDLE panel = OpenAt("C:");
    // A move deletes nothing that was not copied, whatever the answer.
    for (int move : {0, 1})
    for (const Case& t : cases) {
        SCOPED_TRACE(t.answer);
        SCOPED_TRACE(move);
        PhoneFile("a.txt", "A");
        PhoneFile("b.txt", "B");
        PhoneFile("c.txt", "C");
        RemoveTree(PcPath("out"));
        MakeDirs(PcPath("out"));
        phone->Options().rules.clear();
        FailCopies(L"b.txt", phone_emu::StatusIoError, t.occurrence);
        if (t.cFails) FailCopies(L"c.txt");
        host->Journal().Clear();
        host->Script().AnswerMessage(t.answer);
        EXPECT_EQ(t.result, Copy(panel, {"a.txt", "b.txt", "c.txt"}, move, PcPath("out"), host::OPM_SILENT));
        EXPECT_EQ(move == 0, OnPhone("a.txt"));
        EXPECT_EQ(move == 0 || !t.bCopied, OnPhone("b.txt"));
        EXPECT_EQ(move == 0 || !t.cCopied, OnPhone("c.txt"));
        EXPECT_EQ("A", ReadFileText(PcPath("out\\a.txt")));
        EXPECT_EQ(t.bCopied, PathExists(PcPath("out\\b.txt")));
        EXPECT_EQ(t.cCopied, PathExists(PcPath("out\\c.txt")));
        EXPECT_EQ(!t.bCopied, Selected("b.txt"));
        ASSERT_EQ(1u, host->Journal().Prompts().size());
        const host_emu::JournalEntry& prompt = *host->Journal().Prompts()[0];
        EXPECT_EQ(host->MessageText(MErrorTitle), prompt.title);
        EXPECT_EQ("Phone server error -4", prompt.lines[0]);
        EXPECT_EQ(move ? "Cannot move b.txt" : "Cannot copy b.txt", prompt.lines[1]);
        EXPECT_EQ("to " + PcPath("out") + "\\", prompt.lines[2]);
        if (t.result == -1) {
            EXPECT_TRUE(CopiesOf(L"c.txt").empty());
        }
        EXPECT_EQ(1, host->Journal().Restores());
        ExpectNoHostFaults();
    }
    host->ClosePlugin(panel);
}

// A cancel the server sends though nobody asked for one is a failure like
// any other, asked about with its text; only the user's own stop is silent.
TEST_F(CopyFromPrompts, ACancelTheServerSentByItselfIsAskedAbout)
{
    FailCopies(L"b.txt", remote::StatusCancelled);
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerMessage(1);  // skip
    EXPECT_EQ(0, Copy(panel, {"a.txt", "b.txt", "c.txt"}, 1, PcPath("out"), host::OPM_SILENT));
    EXPECT_EQ("C", ReadFileText(PcPath("out\\c.txt")));
    EXPECT_TRUE(OnPhone("b.txt"));
    EXPECT_TRUE(Selected("b.txt"));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MStatusCancelled), host->Journal().Prompts()[0]->lines[0]);

    // The same on the way to the phone.
    ASSERT_TRUE(WriteFileText(PcPath("d.txt"), "D"));
    std::vector<host::PluginPanelItem> put = {host_emu::MakeDiskItem(pcRoot, "d.txt")};
    FailCopies(L"d.txt", remote::StatusCancelled);
    host->Script().AnswerMessage(1);
    EXPECT_EQ(0, host->PutFiles(panel, put, 1, pcRoot, 0));
    EXPECT_TRUE(PathExists(PcPath("d.txt")));
    ASSERT_EQ(2u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MStatusCancelled), host->Journal().Prompts()[1]->lines[0]);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPrompts, CancelDeepInATreeEndsEveryLoop)
{
    PhoneFile("docs\\sub\\bad.txt", "!");
    PhoneFile("docs\\z.txt", "Z");
    FailCopies(L"bad.txt");
    host->Script().AnswerMessage(3);  // cancel
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(-1, Copy(panel, {"docs", "c.txt"}, 1, PcPath("out"), host::OPM_SILENT));
    EXPECT_TRUE(CopiesOf(L"z.txt").empty());
    EXPECT_TRUE(CopiesOf(L"c.txt").empty());
    EXPECT_EQ(0u, phone->Count(Op::DirRemove));
    EXPECT_EQ(1, host->Journal().Restores());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// The host's break event during the second of three files: that copy stops
// and nothing after it starts, on a copy and on a move alike.
// The third round stops the copy that replaces an existing b.bin.
TEST_F(CopyFromPrompts, BreakEventStopsTheCopyMidFile)
{
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        int move = round == 1;
        for (const char* name : {"a.bin", "b.bin", "c.bin"}) PhoneFile(name, std::string(64 * 1024, name[0]));
        RemoveTree(PcPath("out"));
        MakeDirs(PcPath("out"));
        if (round == 2) {
            WriteFileText(PcPath("out\\b.bin"), "old");
            host->Script().AnswerMessage(0);  // overwrite
        }
        phone->Options().chunkSize = 4096;
        HANDLE panel = OpenAt("C:");
        host->Journal().Clear();
        host->SetHook([&](const host_emu::JournalEntry& e) {
            if (e.IsProgress() && e.lines[1] == "b.bin" && e.lines[4].find('\xDB') != std::string::npos)
                host->Exports().ProcessEvent(panel, host::FE_BREAK, nullptr);
        });
        EXPECT_EQ(-1, Copy(panel, {"a.bin", "b.bin", "c.bin"}, move, PcPath("out"), host::OPM_SILENT));
        host->SetHook(nullptr);

        std::vector<std::string> kept = {"a.bin"};
        if (round == 2) kept.push_back("b.bin");
        EXPECT_EQ(kept, ListNames(PcPath("out")));
        EXPECT_EQ(65536u, ReadFileText(PcPath("out\\a.bin")).size());
        if (round == 2) {
            EXPECT_EQ("old", ReadFileText(PcPath("out\\b.bin")));
        }
        ASSERT_FALSE(CopiesOf(L"b.bin").empty());
        EXPECT_EQ(remote::StatusCancelled, CopiesOf(L"b.bin").back().status);
        EXPECT_TRUE(CopiesOf(L"c.bin").empty());
        EXPECT_EQ(!move, OnPhone("a.bin"));
        EXPECT_TRUE(OnPhone("b.bin") && OnPhone("c.bin"));
        EXPECT_EQ(1, host->Journal().Restores());
        host->ClosePlugin(panel);
        ExpectNoHostFaults();
    }
}

}  // namespace
}  // namespace kelp_test

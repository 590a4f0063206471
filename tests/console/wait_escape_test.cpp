// Esc typed on the console while the phone never answers: the box that says
// Kelp is waiting comes up after about a second, the Esc gives control back
// within a second, and the link is not trusted again.
#include "console_input.h"
#include "message_ids.h"
#include "copy_from_support.h"
#include "far_sequences.h"

#include <atomic>
#include <thread>

namespace kelp_test {
namespace {

class WaitConsole : public ConsoleTest<CopyFromPhoneTest> {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        if (HasFailure()) return;
        PhoneFile("a.bin", "abc");
        MakeDirs(PcPath("out"));
        // Esc is typed when the waiting box is drawn.
        waitingText = host->MessageText(MWaitingForPhone);
        host->SetHook([this](const host_emu::JournalEntry& e) {
            if (e.IsProgress() && e.title == waitingText) {
                ++boxes;
                escAt = GetTickCount();
                Type(27, VK_ESCAPE);
            }
        });
    }
    void TearDown() override
    {
        host->SetHook(nullptr);
        CopyFromPhoneTest::TearDown();
    }

    void NeverComplete(phone_emu::Op op)
    {
        phone_emu::Rule r;
        r.op = op;
        r.action = phone_emu::Action::NeverComplete;
        phone->Options().rules.push_back(r);
    }

    std::string waitingText;
    int boxes = 0;
    DWORD escAt = 0;
};

// What the user stopped leaves the panel as it was: the host reads the panel
// after a refused change of folder, and after a Ctrl+R, and that read gets
// the listing it had. The link stays untrusted: the next read closes the
// panel with one message, and a new panel connects afresh.
TEST_F(WaitConsole, EscapeEndsAListingThatNeverCompletesAndThePanelStays)
{
    ASSERT_TRUE(MakeDirs(PhonePath("C\\sub")));
    const std::vector<std::string> before = {"a.bin", "sub"};
    for (bool enter : {true, false}) {
        HANDLE panel = OpenAt("C:");
        boxes = 0;
        host->Journal().Clear();
        NeverComplete(phone_emu::Op::DirOpen);
        DWORD start = GetTickCount();
        host_emu::PanelListing listing;
        if (enter) {
            EXPECT_EQ(0, host->SetDirectory(panel, "sub"));
        }
        ASSERT_TRUE(host->ReadPanel(panel, listing)) << enter;
        DWORD end = GetTickCount();
        ASSERT_EQ(1, boxes) << enter;
        EXPECT_GE(escAt - start, 900u);  // not shown for a quick request
        EXPECT_LT(end - escAt, 2000u);
        EXPECT_EQ(before, listing.Names()) << enter;
        EXPECT_EQ("C:", listing.curDir);
        EXPECT_TRUE(host->Journal().Prompts().empty()) << enter;  // the user knows
        EXPECT_EQ(host->Journal().Saves(), host->Journal().Restores());

        // The next read finds the link given up: one message, and the host
        // closes the panel.
        host->Script().AnswerMessage(0);
        EXPECT_FALSE(host->ReadPanel(panel, listing));
        EXPECT_FALSE(host->IsOpen(panel));
        EXPECT_EQ(1u, host->Journal().Prompts().size()) << host->Journal().Dump();
        EXPECT_TRUE(host->Journal().Find(host->MessageText(MStatusAbandoned)));
        EXPECT_TRUE(host->Journal().ScreensNotRestored().empty());
        phone->Options().rules.clear();
    }

    // A new panel connects afresh.
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(before, Names(panel));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// A folder that lists slowly, every request answered: the box comes once
// the listing has taken about a second, counts the entries read, and Esc
// stops it after the read under way. The server answers, so the link goes
// on serving the panel.
TEST_F(WaitConsole, EscapeStopsASlowListingAndTheLinkGoesOn)
{
    for (int i = 0; i < 300; ++i) PhoneFile("slow\\f" + std::to_string(i), "x");
    HANDLE panel = OpenAt("C:");
    host->Journal().Clear();
    phone->ClearJournal();
    phone->Options().delayMs = 20;
    // Esc once the box has shown the count grow.
    const std::string reading = host->MessageText(MReadingFolder);
    const std::string readingShown = reading.substr(0, reading.find('%'));
    std::vector<int> counts;
    DWORD firstAt = 0;
    host->SetHook([&](const host_emu::JournalEntry& e) {
        if (!e.IsProgress() || e.title != waitingText) return;
        if (!firstAt) firstAt = GetTickCount();
        int read = -1;
        if (e.lines.size() == 2 && e.lines[0].compare(0, readingShown.size(), readingShown) == 0)
            read = atoi(e.lines[0].c_str() + readingShown.size());
        counts.push_back(read);
        if (read > counts.front() && !escAt) {
            escAt = GetTickCount();
            Type(27, VK_ESCAPE);
        }
    });
    DWORD start = GetTickCount();
    EXPECT_EQ(0, host->SetDirectory(panel, "slow"));
    DWORD end = GetTickCount();
    ASSERT_FALSE(counts.empty());
    EXPECT_GE(counts.front(), 0) << host->Journal().Dump();  // counted from the first draw
    EXPECT_GT(counts.back(), counts.front());
    EXPECT_GE(firstAt - start, 900u);
    ASSERT_NE(0u, escAt);
    EXPECT_LT(end - escAt, 1000u);
    EXPECT_LT(phone->Count(phone_emu::Op::DirRead), 300u);
    EXPECT_EQ(1u, phone->Count(phone_emu::Op::DirClose));

    // Where it was, read without asking the phone, and nothing to answer.
    phone->ClearJournal();
    host_emu::PanelListing listing;
    ASSERT_TRUE(host->ReadPanel(panel, listing));
    EXPECT_EQ((std::vector<std::string>{"a.bin", "slow"}), listing.Names());
    EXPECT_EQ("C:", listing.curDir);
    EXPECT_EQ(0u, phone->Count(phone_emu::Op::DirOpen));
    EXPECT_TRUE(host->Journal().Prompts().empty());
    EXPECT_EQ(host->Journal().Saves(), host->Journal().Restores());

    // Read again at full speed: no Esc is typed now, however long a loaded
    // machine takes to list it.
    host->SetHook(nullptr);
    phone->Options().delayMs = 0;
    ASSERT_EQ(1, host->SetDirectory(panel, "slow"));
    EXPECT_EQ(300u, Names(panel).size());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// Esc stops a delete between two requests: what is gone stays gone, and
// nothing more is asked of the phone. Typed here as the second item's box
// comes up, over a slow phone.
TEST_F(WaitConsole, EscapeStopsADeleteBetweenTwoItems)
{
    for (int i = 0; i < 5; ++i) PhoneFile("tree\\f" + std::to_string(i), "x");
    HANDLE panel = OpenAt("C:");
    std::vector<host::PluginPanelItem> items = Select(panel, {"a.bin", "tree"});
    // The end of a move into another panel: its silent copy, then the delete.
    std::string temp = PcPath("out");
    ASSERT_EQ(1, host->GetFiles(panel, items, 0, temp, host::OPM_SILENT));
    int treeBoxes = 0;
    host->SetHook([&](const host_emu::JournalEntry& e) {
        if (e.IsProgress() && e.lines.size() > 1 && e.lines[1] == "tree" && ++treeBoxes == 1)
            Type(27, VK_ESCAPE);
    });
    phone->Options().delayMs = 20;
    phone->ClearJournal();
    EXPECT_EQ(0, host->DeleteFiles(panel, items, host::OPM_SILENT));
    host->SetHook(nullptr);
    EXPECT_EQ(1, treeBoxes);
    EXPECT_FALSE(OnPhone("a.bin"));
    EXPECT_TRUE(OnPhone("tree\\f0"));
    EXPECT_EQ(1u, phone->Count(phone_emu::Op::FileDelete));
    EXPECT_EQ(0u, phone->Count(phone_emu::Op::DirRemove));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// An operation that lists a slow folder (each request answered) hears Esc
// and a break between two hand-overs of its entries: the copy, with the
// total indicator's count first or without it, and the delete end within a
// second of the key, their box says how many entries have come, and nothing
// is left half made (no empty folder on the PC).
TEST_F(WaitConsole, EscapeOrABreakStopsAnOperationWhileItListsAFolder)
{
    for (int i = 0; i < 300; ++i) PhoneFile("many\\f" + std::to_string(i), "x");
    const std::string reading = host->MessageText(MReadingFolder);
    const std::string readingShown = reading.substr(0, reading.find('%'));
    HANDLE panel = OpenAt("C:");
    enum { CountFirst, CopyAtOnce, Delete };
    for (int operation : {CountFirst, CopyAtOnce, Delete})
    for (bool escape : {true, false}) {
        SCOPED_TRACE(testing::Message() << operation << (escape ? " Esc" : " break"));
        FlushConsoleInputBuffer(input);
        int stops = 0;
        host->SetHook([&](const host_emu::JournalEntry& e) {
            if (!e.IsProgress() || e.Text().find(readingShown) == std::string::npos || stops++)
                return;
            escAt = GetTickCount();
            if (escape) Type(27, VK_ESCAPE);
            else host->Exports().ProcessEvent(panel, host::FE_BREAK, nullptr);
        });
        host->Options().interfaceSettings =
            operation == CountFirst ? (DWORD)host::FIS_SHOWTOTALCOPYPROGRESSINDICATOR : 0u;
        phone->Options().delayMs = 20;
        int result;
        if (operation == Delete) {
            std::vector<host::PluginPanelItem> items = Select(panel, {"many"});
            host->Script().AnswerMessage(0);  // delete
            host->Script().AnswerMessage(0);  // the folder with everything in it
            phone->ClearJournal();
            result = host->DeleteFiles(panel, items, 0);
        } else {
            result = Copy(panel, {"many"}, 0, PcPath("out"), host::OPM_SILENT);
        }
        DWORD end = GetTickCount();
        phone->Options().delayMs = 0;
        host->SetHook(nullptr);
        ASSERT_EQ(1, stops);
        EXPECT_LT(end - escAt, 1000u);
        EXPECT_EQ(operation == Delete ? 0 : -1, result);  // FAR knows no stopped delete
        EXPECT_LT(phone->Count(phone_emu::Op::DirRead), 300u);
        EXPECT_EQ(0u, phone->Count(phone_emu::Op::FileCopy));
        EXPECT_EQ(0u, phone->Count(phone_emu::Op::FileDelete));
        EXPECT_TRUE(ListNames(PcPath("out")).empty());
        EXPECT_EQ(300u, ListNames(PhonePath("C\\many")).size());
        EXPECT_EQ(0u, host->Script().PendingMessages());
        EXPECT_EQ(host->Journal().Saves(), host->Journal().Restores());
    }
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(WaitConsole, EscapeEndsACopyThatNeverCompletes)
{
    HANDLE panel = OpenAt("C:");
    NeverComplete(phone_emu::Op::FileCopy);
    EXPECT_EQ(-1, Copy(panel, {"a.bin"}, 0, PcPath("out"), host::OPM_SILENT));
    ASSERT_EQ(1, boxes);
    EXPECT_LT(GetTickCount() - escAt, 2000u);
    EXPECT_TRUE(ListNames(PcPath("out")).empty());
    EXPECT_EQ(host->Journal().Saves(), host->Journal().Restores());
    // The user has already said stop: no prompt asks again.
    EXPECT_TRUE(host->Journal().Prompts().empty());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// F3 on a folder counts it with OPM_FIND on FAR's main thread, under FAR's
// own "Preparing files list": that box stands, no box of Kelp's comes and
// goes over it with each slow folder, and Esc still stops a slow listing
// inside once it has taken a second; the count fails rather than show a
// size too small.
TEST_F(WaitConsole, EscapeStopsAFolderSizeCount)
{
    for (int i = 0; i < 300; ++i) PhoneFile("outer\\slow\\f" + std::to_string(i), "x");
    HANDLE panel = OpenAt("C:");
    int farBoxes = 0;
    host->SetHook([&](const host_emu::JournalEntry& e) {
        if (e.IsProgress() && e.title == waitingText) ++boxes;
        if (e.IsProgress() && !e.lines.empty() && e.lines[0] == "Preparing files list" &&
            !farBoxes++) {
            escAt = GetTickCount();
            Type(27, VK_ESCAPE);
        }
    });
    host->Journal().Clear();
    phone->Options().delayMs = 20;
    host_emu::DirList size = host_emu::GetPluginDirList(*host, panel, "outer");
    DWORD end = GetTickCount();
    phone->Options().delayMs = 0;
    EXPECT_EQ(1, farBoxes);
    EXPECT_EQ(0, boxes);
    EXPECT_EQ(1, host->Journal().Saves());  // FAR's own, and no other
    EXPECT_LT(end - escAt, 3000u);  // a second of the slow listing, then the read under way
    EXPECT_FALSE(size.ok);
    EXPECT_LT(phone->Count(phone_emu::Op::DirRead), 300u);
    EXPECT_EQ((std::vector<std::string>{"a.bin", "outer"}), Read(panel).Names());
    EXPECT_EQ("C:", Read(panel).curDir);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// An Esc typed while Find searches the phone on its worker thread is FAR's
// (its dialog stops the search): Kelp reads no key there, even over a
// request quiet for more than a second, and the link goes on serving.
TEST_F(WaitConsole, FindsWorkerLeavesEscToFar)
{
    ASSERT_TRUE(MakeDirs(PhonePath("C\\slow")));
    HANDLE panel = OpenAt("C:");
    host_emu::FindRun find;
    find.from = host_emu::FindFrom::Current;
    find.onFolder = [&](const std::string& folder) {
        phone->Options().delayMs = folder == "slow" ? 1300 : 0;
    };
    Type(27, VK_ESCAPE);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        host_emu::FindFiles(*host, panel, find);
        done = true;
    });
    while (!done) {  // FAR's main thread, dispatching what the phone sends
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(1);
    }
    worker.join();
    phone->Options().delayMs = 0;
    DWORD pending = 0;
    EXPECT_TRUE(GetNumberOfConsoleInputEvents(input, &pending));
    EXPECT_EQ(1u, pending);
    EXPECT_EQ(0, boxes);
    EXPECT_EQ((std::vector<std::string>{"a.bin", "slow"}), Names(panel));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

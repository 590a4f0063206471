// Copying and moving from the phone to the PC: what lands where, what is left
// on the phone, and what the host is asked to show.
#include "copy_from_support.h"
#include "far_sequences.h"
#include "message_ids.h"

#include <regex>
#include <set>

namespace kelp_test {
namespace {

using phone_emu::Op;

class CopyFromPhone : public CopyFromPhoneTest {
protected:
    void SetUp() override
    {
        CopyFromPhoneTest::SetUp();
        PhoneFile("a.txt", "A");
        PhoneFile("b.txt", "B");
        PhoneFile("docs\\x.txt", "X");
        PhoneFile("docs\\sub\\y.txt", "Y");
        MakeDirs(PcPath("out"));
    }
};

TEST_F(CopyFromPhone, FilesAndTreesLandInsideTheHostFolder)
{
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerDialog(4);
    EXPECT_EQ(1, Copy(panel, {"a.txt", "b.txt", "docs"}, 0, PcPath("out")));

    // The host's folder gets its backslash before the dialog shows it. The
    // rule under it is the host's separator item, drawn on the frame.
    ASSERT_EQ(1u, host->Journal().Dialogs().size());
    const host_emu::JournalEntry& dialog = *host->Journal().Dialogs()[0];
    EXPECT_EQ(PcPath("out") + "\\", dialog.items[2].data);
    EXPECT_EQ(host::DI_TEXT, dialog.items[3].type);
    EXPECT_EQ((DWORD)(host::DIF_SEPARATOR | host::DIF_BOXCOLOR), dialog.items[3].flags);
    EXPECT_EQ("A", ReadFileText(PcPath("out\\a.txt")));
    EXPECT_EQ("B", ReadFileText(PcPath("out\\b.txt")));
    EXPECT_EQ("X", ReadFileText(PcPath("out\\docs\\x.txt")));
    EXPECT_EQ("Y", ReadFileText(PcPath("out\\docs\\sub\\y.txt")));
    EXPECT_TRUE(OnPhone("a.txt") && OnPhone("docs\\sub\\y.txt"));  // a copy leaves the phone alone

    // Copied files leave the selection; a folder stays in it however it ended.
    EXPECT_FALSE(Selected("a.txt"));
    EXPECT_FALSE(Selected("b.txt"));
    EXPECT_TRUE(Selected("docs"));

    // Each item at any depth names itself in the box, its first draw saying
    // a folder is made; folders are not counted (the last box is drawn
    // before its file counts).
    const host_emu::JournalEntry* deep = nullptr;
    std::set<std::string> named = {""};  // the box's first draw names nothing
    for (const host_emu::JournalEntry* box : ProgressBoxes()) {
        if (box->lines[1] == "y.txt" && !deep) deep = box;
        if (!named.insert(box->lines[1]).second) continue;
        bool folder = box->lines[1] == "docs" || box->lines[1] == "sub";
        EXPECT_EQ(host->MessageText(folder ? MMakingFolder : MCopying), box->lines[0]);
    }
    EXPECT_EQ((std::set<std::string>{"", "a.txt", "b.txt", "docs", "x.txt", "sub", "y.txt"}), named);
    ASSERT_TRUE(deep) << host->Journal().Dump();
    EXPECT_NE(std::string::npos, deep->lines[3].find("docs\\sub\\y.txt"));
    EXPECT_EQ("Files copied: 3", ProgressBoxes().back()->lines[6]);

    EXPECT_EQ(1, host->Journal().Saves());
    EXPECT_EQ(1, host->Journal().Restores());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPhone, MoveDeletesEachFileAfterItsCopyAndFoldersBottomUp)
{
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(1, Copy(panel, {"a.txt", "docs"}, 1, PcPath("out"), host::OPM_SILENT));

    std::vector<std::wstring> steps;
    for (const phone_emu::JournalEntry& e : phone->Journal())
        if (e.op == Op::FileCopy || e.op == Op::FileDelete || e.op == Op::DirRemove)
            steps.push_back(std::wstring(Widen(phone_emu::OpName(e.op))) + L" " + e.path);
    EXPECT_EQ((std::vector<std::wstring>{
                  L"FileCopy C:\\a.txt", L"FileDelete C:\\a.txt",
                  L"FileCopy C:\\docs\\sub\\y.txt", L"FileDelete C:\\docs\\sub\\y.txt",
                  L"DirRemove C:\\docs\\sub\\",
                  L"FileCopy C:\\docs\\x.txt", L"FileDelete C:\\docs\\x.txt",
                  L"DirRemove C:\\docs\\"}),
              steps);
    EXPECT_EQ((std::vector<std::string>{"b.txt"}), ListNames(PhonePath("C")));
    EXPECT_EQ("Y", ReadFileText(PcPath("out\\docs\\sub\\y.txt")));
    EXPECT_TRUE(Selected("docs"));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPhone, MoveKeepsEveryFolderAboveAFailedFile)
{
    PhoneFile("docs\\sub\\bad.txt", "!");
    PhoneFile("docs\\other\\z.txt", "Z");
    FailCopies(L"bad.txt");
    host->Script().AnswerMessage(1);  // skip
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(0, Copy(panel, {"docs"}, 1, PcPath("out"), host::OPM_SILENT));

    EXPECT_EQ((std::vector<std::string>{"sub"}), ListNames(PhonePath("C\\docs")));
    EXPECT_EQ((std::vector<std::string>{"bad.txt"}), ListNames(PhonePath("C\\docs\\sub")));
    EXPECT_EQ("Z", ReadFileText(PcPath("out\\docs\\other\\z.txt")));
    EXPECT_FALSE(PathExists(PcPath("out\\docs\\sub\\bad.txt")));
    EXPECT_EQ(1u, phone->Count(Op::DirRemove));  // docs\\other\\ alone
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPhone, DestinationsTypedInTheDialog)
{
    HANDLE panel = OpenAt("C:");
    // An existing folder without a final slash: the items go inside it.
    MakeDirs(PcPath("exist"));
    host->Script().AnswerDialog(4, {{2, PcPath("exist")}});
    EXPECT_EQ(1, Copy(panel, {"a.txt", "docs"}, 0, PcPath("out")));
    EXPECT_EQ((std::vector<std::string>{"a.txt", "docs"}), ListNames(PcPath("exist")));
    EXPECT_EQ("Y", ReadFileText(PcPath("exist\\docs\\sub\\y.txt")));

    // A new name: a file is copied to exactly that name ...
    host->Script().AnswerDialog(4, {{2, PcPath("renamed.txt")}});
    EXPECT_EQ(1, Copy(panel, {"a.txt"}, 0, PcPath("out")));
    EXPECT_EQ("A", ReadFileText(PcPath("renamed.txt")));
    EXPECT_FALSE(IsDirectory(PcPath("renamed.txt")));

    // ... and a folder becomes a new folder of that name, parents and all.
    host->Script().AnswerDialog(4, {{2, PcPath("new\\deep\\tree")}});
    EXPECT_EQ(1, Copy(panel, {"docs"}, 0, PcPath("out")));
    EXPECT_EQ("X", ReadFileText(PcPath("new\\deep\\tree\\x.txt")));
    EXPECT_EQ("Y", ReadFileText(PcPath("new\\deep\\tree\\sub\\y.txt")));

    // Two files to one new name: as the host's own copy does, it names a
    // folder that is made to hold them.
    host->Script().AnswerDialog(4, {{2, PcPath("same.txt")}});
    EXPECT_EQ(1, Copy(panel, {"a.txt", "b.txt"}, 0, PcPath("out")));
    EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), ListNames(PcPath("same.txt")));
    EXPECT_TRUE(host->Journal().Prompts().empty());

    EXPECT_TRUE(ListNames(PcPath("out")).empty());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPhone, MissingFoldersOfTheDestinationAreMadeFirst)
{
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerDialog(4, {{2, PcPath("newdir\\")}});
    EXPECT_EQ(1, Copy(panel, {"a.txt"}, 0, PcPath("out")));
    EXPECT_EQ("A", ReadFileText(PcPath("newdir\\a.txt")));

    // The host's own folder, passed silently, and the folder before a mask.
    EXPECT_EQ(1, Copy(panel, {"a.txt", "docs"}, 0, PcPath("gone\\deep"), host::OPM_SILENT));
    EXPECT_EQ("A", ReadFileText(PcPath("gone\\deep\\a.txt")));
    EXPECT_EQ("Y", ReadFileText(PcPath("gone\\deep\\docs\\sub\\y.txt")));
    host->Script().AnswerDialog(4, {{2, PcPath("masked\\*.bak")}});
    EXPECT_EQ(1, Copy(panel, {"b.txt"}, 0, PcPath("out")));
    EXPECT_EQ("B", ReadFileText(PcPath("masked\\b.bak")));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPhone, WildcardDestinationRenamesEachTopLevelItem)
{
    MakeDirs(PcPath("dst"));
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerDialog(4, {{2, PcPath("dst\\*.bak")}});
    EXPECT_EQ(1, Copy(panel, {"a.txt", "docs"}, 0, PcPath("out")));
    EXPECT_EQ((std::vector<std::string>{"a.bak", "docs.bak"}), ListNames(PcPath("dst")));
    EXPECT_EQ("A", ReadFileText(PcPath("dst\\a.bak")));
    // Inside a copied tree the names stay as they are.
    EXPECT_EQ((std::vector<std::string>{"sub", "x.txt"}), ListNames(PcPath("dst\\docs.bak")));
    EXPECT_EQ("Y", ReadFileText(PcPath("dst\\docs.bak\\sub\\y.txt")));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPhone, FolderMergesIntoAnExistingLocalFolder)
{
    MakeDirs(PcPath("out\\docs"));
    WriteFileText(PcPath("out\\docs\\x.txt"), "old");
    WriteFileText(PcPath("out\\docs\\keep.txt"), "K");
    host->Script().AnswerMessage(0);  // overwrite x.txt
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(1, Copy(panel, {"docs"}, 0, PcPath("out"), host::OPM_SILENT));
    EXPECT_EQ("X", ReadFileText(PcPath("out\\docs\\x.txt")));
    EXPECT_EQ("K", ReadFileText(PcPath("out\\docs\\keep.txt")));
    EXPECT_EQ("Y", ReadFileText(PcPath("out\\docs\\sub\\y.txt")));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_NE(std::string::npos, host->Journal().Prompts()[0]->lines[1].find("x.txt"));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPhone, EmptyPhoneFolderIsCopiedAndMovedWhole)
{
    PhoneFolder("empty");
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(1, Copy(panel, {"empty"}, 0, PcPath("out"), host::OPM_SILENT));
    EXPECT_TRUE(IsDirectory(PcPath("out\\empty")));
    EXPECT_EQ(1, Copy(panel, {"empty", "a.txt"}, 1, PcPath("out"), host::OPM_SILENT));
    EXPECT_FALSE(IsDirectory(PhonePath("C\\empty")));
    EXPECT_FALSE(OnPhone("a.txt"));
    EXPECT_EQ(1u, phone->Count(Op::DirRemove));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPhone, SilentAndFindModes)
{
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(1, Copy(panel, {"a.txt"}, 0, PcPath("out"), host::OPM_SILENT));
    EXPECT_EQ("A", ReadFileText(PcPath("out\\a.txt")));
    EXPECT_TRUE(host->Journal().Dialogs().empty());
    EXPECT_EQ(1, host->Journal().Saves());

    // Under OPM_FIND the box is drawn once, by the start of the progress,
    // though the phone reports progress on every chunk.
    PhoneFile("big.bin", std::string(40000, 'b'));
    phone->Options().chunkSize = 4096;
    host->Journal().Clear();
    EXPECT_EQ(1, Copy(panel, {"big.bin", "docs"}, 0, PcPath("out"), host::OPM_SILENT | host::OPM_FIND));
    EXPECT_EQ(40000u, ReadFileText(PcPath("out\\big.bin")).size());
    EXPECT_EQ("Y", ReadFileText(PcPath("out\\docs\\sub\\y.txt")));
    EXPECT_EQ(1, host->Journal().ProgressCount());
    EXPECT_EQ(0, host->Journal().Saves());
    EXPECT_GE(CopiesOf(L"big.bin").back().progressNotices, 10);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// Quick View fetches the file under the cursor at every cursor move: no box,
// no question, and a file it can't fetch shows nothing. F3 is the user's
// own key: its fetch says why it failed.
TEST_F(CopyFromPhone, QuickViewFetchesWithoutABoxOrAQuestion)
{
    PhoneFile("big.bin", std::string(40000, 'b'));
    phone->Options().chunkSize = 4096;
    phone->Options().extraEntriesDir = L"C:\\";
    phone->Options().extraEntries = {phone_emu::MakeEntry(L"trail_dot.", FILE_ATTRIBUTE_NORMAL, 1)};
    HANDLE panel = OpenAt("C:");
    host_emu::PanelListing shown = Read(panel);
    ASSERT_TRUE(shown.Find("big.bin") && shown.Find("trail_dot."));
    host->Journal().Clear();
    std::string fetched = host_emu::FetchToView(*host, panel, *shown.Find("big.bin"), PcPath("qv1"), true);
    EXPECT_EQ(PcPath("qv1\\big.bin"), fetched);
    EXPECT_EQ(40000u, ReadFileText(fetched).size());
    EXPECT_EQ("", host_emu::FetchToView(*host, panel, *shown.Find("trail_dot."), PcPath("qv2"), true));
    EXPECT_EQ(0, host->Journal().ProgressCount()) << host->Journal().Dump();
    EXPECT_TRUE(host->Journal().Prompts().empty());
    EXPECT_EQ(0, host->Journal().Saves());

    host->Script().AnswerMessage(2);  // cancel: Skip, Skip all, Cancel
    EXPECT_EQ("", host_emu::FetchToView(*host, panel, *shown.Find("trail_dot."), PcPath("f3"), false));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MNameNotForPc), host->Journal().Prompts()[0]->lines[0]);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// The user's copying time information: one more line under the box's
// counter (the time taken, the time left and the speed, once a second has
// shown one); without it the box is as it was.
TEST_F(CopyFromPhone, TheTimeLineFollowsTheUsersSetting)
{
    PhoneFile("big.bin", std::string(120000, 'x'));
    phone->Options().chunkSize = 8000;  // 15 notices over about 1.5 s
    phone->Options().delayMs = 100;
    const std::regex shape("Time: \\d\\d:\\d\\d:\\d\\d  Remaining: "
                           "(\\d\\d:\\d\\d:\\d\\d|--:--:--)  ( {11}| *\\d+(\\.\\d)? [KMG]?B/s)");
    const std::string counted = host->MessageText(MFilesCopied);
    HANDLE panel = OpenAt("C:");
    for (bool on : {true, false}) {
        SCOPED_TRACE(on);
        host->Options().interfaceSettings = on ? (DWORD)host::FIS_SHOWCOPYINGTIMEINFO : 0u;
        DeleteFileA(PcPath("out\\big.bin").c_str());
        host->Journal().Clear();
        EXPECT_EQ(1, Copy(panel, {"big.bin"}, 0, PcPath("out"), host::OPM_SILENT));
        int boxes = 0, speeds = 0;
        for (const host_emu::JournalEntry* e : host->Journal().Messages()) {
            if (!e->IsProgress() || e->title != host->MessageText(MCopyTitle)) continue;
            ++boxes;
            ASSERT_EQ(on ? 8u : 7u, e->lines.size());
            EXPECT_EQ(0u, e->lines[6].find(counted.substr(0, counted.find('%'))));
            if (!on) continue;
            EXPECT_TRUE(std::regex_match(e->lines[7], shape)) << e->lines[7];
            EXPECT_EQ(48u, e->lines[7].size()) << e->lines[7];  // the box keeps its width
            EXPECT_EQ(48u, e->lines[4].size());                  // and the bar fills it
            speeds += e->lines[7].find("B/s") != std::string::npos;
        }
        EXPECT_GT(boxes, 10);
        if (on) {
            EXPECT_GT(speeds, 0);
        }
        ExpectNoHostFaults();
    }
    host->ClosePlugin(panel);
}

// The user's total indicator: a pass that lists each folder once adds the
// copy up first, then the box has a bar and a count for all of it; a break
// during that pass ends the copy before anything is copied. Without the
// setting there is no such pass.
TEST_F(CopyFromPhone, TheTotalIndicatorAddsUpTheCopyFirst)
{
    const std::vector<std::string> names = {"a.txt", "docs"};  // 3 files, 2 folders
    HANDLE panel = OpenAt("C:");
    for (bool on : {false, true}) {
        SCOPED_TRACE(on);
        host->Options().interfaceSettings = on ? (DWORD)host::FIS_SHOWTOTALCOPYPROGRESSINDICATOR : 0u;
        RemoveTree(PcPath("out"));
        MakeDirs(PcPath("out"));
        host->Journal().Clear();
        EXPECT_EQ(1, Copy(panel, names, 0, PcPath("out"), host::OPM_SILENT));
        EXPECT_EQ(on ? 4u : 2u, phone->Count(Op::DirOpen));
        const host_emu::JournalEntry* last = nullptr;
        for (const host_emu::JournalEntry* e : host->Journal().Messages())
            if (e->IsProgress() && e->title == host->MessageText(MCopyTitle)) last = e;
        ASSERT_NE(nullptr, last);
        ASSERT_EQ(on ? 9u : 7u, last->lines.size());
        if (on) {
            EXPECT_EQ("2 of 3 files  3 B of 3 B", last->lines[8]);  // y.txt at its last notice
            // One box at a time: the count's comes first, the copy's after it.
            const host_emu::JournalEntry* first = host->Journal().Messages().front();
            EXPECT_EQ(host->MessageText(MCountingTitle), first->title) << host->Journal().Dump();
        }
        EXPECT_EQ("Y", ReadFileText(PcPath("out\\docs\\sub\\y.txt")));
        ExpectNoHostFaults();
    }

    RemoveTree(PcPath("out"));
    MakeDirs(PcPath("out"));
    host->SetHook([&](const host_emu::JournalEntry& e) {
        if (e.IsProgress() && e.title == host->MessageText(MCountingTitle))
            host->Exports().ProcessEvent(panel, host::FE_BREAK, nullptr);
    });
    EXPECT_EQ(-1, Copy(panel, names, 0, PcPath("out"), host::OPM_SILENT));
    host->SetHook(nullptr);
    EXPECT_EQ(0u, phone->Count(Op::FileCopy));
    EXPECT_TRUE(ListNames(PcPath("out")).empty());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// The time line counts copying only, as the host's own copy does: a count
// that took seconds and a question the user took seconds over are not in
// the time taken.
TEST_F(CopyFromPhone, TheTimeLineLeavesOutTheCountAndTheQuestions)
{
    host->Options().interfaceSettings =
        host::FIS_SHOWCOPYINGTIMEINFO | host::FIS_SHOWTOTALCOPYPROGRESSINDICATOR;
    ASSERT_TRUE(MakeDirs(PcPath("out")));
    ASSERT_TRUE(WriteFileText(PcPath("out\\a.txt"), "old"));
    HANDLE panel = OpenAt("C:");
    const std::string counting = host->MessageText(MCountingTitle);
    int pauses = 0;
    host->SetHook([&](const host_emu::JournalEntry& e) {
        bool countBegins = e.IsProgress() && e.title == counting && pauses == 0;
        bool question = !e.buttons.empty() && pauses == 1;
        if (countBegins || question) {
            ++pauses;
            Sleep(2100);
        }
    });
    host->Script().AnswerMessage(0);  // overwrite
    EXPECT_EQ(1, Copy(panel, {"a.txt", "docs"}, 0, PcPath("out"), host::OPM_SILENT));
    host->SetHook(nullptr);
    EXPECT_EQ(2, pauses);
    int boxes = 0;
    for (const host_emu::JournalEntry* e : host->Journal().Messages()) {
        if (!e->IsProgress() || e->title != host->MessageText(MCopyTitle)) continue;
        ++boxes;
        ASSERT_EQ(10u, e->lines.size());
        // Three small files take well under the two seconds each pause took.
        EXPECT_TRUE(std::regex_search(e->lines[7], std::regex("^Time: 00:00:0[01] ")))
            << e->lines[7];
    }
    EXPECT_GT(boxes, 3);
    EXPECT_EQ("A", ReadFileText(PcPath("out\\a.txt")));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPhone, CancelledDialogChangesNothing)
{
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerDialog(-1);
    EXPECT_EQ(-1, Copy(panel, {"a.txt", "docs"}, 0, PcPath("out")));
    host->Script().AnswerDialog(5);
    EXPECT_EQ(-1, Copy(panel, {"a.txt"}, 1, PcPath("out")));
    EXPECT_EQ(0, host->Journal().Saves());
    EXPECT_EQ(0, host->Journal().ProgressCount());
    EXPECT_EQ(0u, phone->Count(Op::FileCopy));
    EXPECT_TRUE(ListNames(PcPath("out")).empty());
    EXPECT_TRUE(Selected("a.txt"));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPhone, PathsThatDoNotFitAreRefusedWhole)
{
    // out\<long>\t\f.txt is 259 characters: it fits; fg.txt beside it does not.
    std::string base = PcPath("out\\");
    std::string folder = base + std::string(259 - base.size() - 8, 'L');
    ASSERT_TRUE(MakeDirs(folder));
    PhoneFile("t\\f.txt", "F");
    PhoneFile("t\\fg.txt", "G");
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, Copy(panel, {"t"}, 0, folder, host::OPM_SILENT));
    ASSERT_EQ(1u, host->Journal().Prompts().size());  // said once, with how many and why
    EXPECT_EQ("1 entry was left behind:", host->Journal().Prompts()[0]->lines[1]);
    EXPECT_EQ("paths longer than 259 characters", host->Journal().Prompts()[0]->lines[2]);
    ASSERT_EQ(259u, (folder + "\\t\\f.txt").size());
    EXPECT_EQ("F", ReadFileText(folder + "\\t\\f.txt"));
    EXPECT_EQ((std::vector<std::string>{"f.txt"}), ListNames(folder + "\\t"));
    EXPECT_EQ(1u, CopiesOf(L"f.txt").size());
    EXPECT_TRUE(CopiesOf(L"fg.txt").empty());

    // A destination of 260 characters or more is not cut to another place:
    // every item yields 0 before anything reaches the phone.
    host->Script().AnswerDialog(4, {{2, base + std::string(260 - base.size(), 'd')}});
    EXPECT_EQ(0, Copy(panel, {"a.txt", "docs"}, 0, PcPath("out")));
    EXPECT_TRUE(phone->Journal().empty());
    EXPECT_EQ((std::vector<std::string>{std::string(folder.substr(base.size()))}),
              ListNames(PcPath("out")));

    // A name a mask makes too long for a path: 0, and nothing is sent.
    std::string longName(200, 'n');
    PhoneFile(longName + ".txt", "N");
    host->Script().AnswerDialog(4, {{2, PcPath(std::string(180, 'w') + "\\*.bak")}});
    EXPECT_EQ(0, Copy(panel, {longName + ".txt"}, 0, PcPath("out")));
    EXPECT_TRUE(phone->Journal().empty());
    host->ClosePlugin(panel);

    // A drive is not a child name: the drive list copies nothing, and says so.
    panel = Open();
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, Copy(panel, {"C:"}, 0, PcPath("out"), host::OPM_SILENT));
    EXPECT_TRUE(phone->Journal().empty());
    EXPECT_EQ(host->MessageText(MNotAtDriveList), host->Journal().Prompts().back()->lines[0]);
    EXPECT_EQ(1u, ListNames(PcPath("out")).size());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyFromPhone, HostileEntriesWriteNothingOutsideTheDestination)
{
    phone->Options().extraEntriesDir = L"C:\\docs";
    phone->Options().extraEntries = {phone_emu::MakeEntry(L"..", FILE_ATTRIBUTE_DIRECTORY),
                                     phone_emu::MakeEntry(L"..\\x.txt", FILE_ATTRIBUTE_NORMAL, 1),
                                     phone_emu::MakeEntry(L"a/b", FILE_ATTRIBUTE_NORMAL, 1),
                                     phone_emu::MakeEntry(L"C:", FILE_ATTRIBUTE_DIRECTORY)};
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerMessage(0);
    // Left out and said: the folder was not copied whole.
    EXPECT_EQ(0, Copy(panel, {"docs"}, 0, PcPath("out"), host::OPM_SILENT));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MLeftBehindTitle), host->Journal().Prompts()[0]->title);
    EXPECT_EQ("3 entries were left behind:", host->Journal().Prompts()[0]->lines[1]);
    EXPECT_EQ((std::vector<std::string>{"pc", "phone"}), ListNames(tempRoot));
    EXPECT_EQ((std::vector<std::string>{"out"}), ListNames(pcRoot));
    EXPECT_EQ((std::vector<std::string>{"docs"}), ListNames(PcPath("out")));
    EXPECT_EQ((std::vector<std::string>{"sub", "x.txt"}), ListNames(PcPath("out\\docs")));
    EXPECT_EQ(2u, phone->Count(Op::FileCopy));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

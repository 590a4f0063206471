// Deleting files and trees on the phone, through the host's DeleteFiles.
#include "put_support.h"
#include "message_ids.h"

#include <algorithm>

namespace kelp_test {
namespace {

using phone_emu::Op;

class DeleteFiles : public PhoneChangeTest {
protected:
    // Deletes the named items of the panel's folder, answering the prompts
    // in order; the phone's journal is cleared first so it holds only this.
    int Delete(HANDLE panel, const std::vector<std::string>& names, std::vector<int> answers)
    {
        std::vector<host::PluginPanelItem> items = Select(panel, names);
        host->Journal().Clear();
        phone->ClearJournal();
        for (int answer : answers) host->Script().AnswerMessage(answer);
        int result = host->DeleteFiles(panel, items);
        EXPECT_EQ(0u, host->Script().PendingMessages());
        return result;
    }
    std::vector<const host_emu::JournalEntry*> Titled(int message)
    {
        std::vector<const host_emu::JournalEntry*> out;
        for (const host_emu::JournalEntry* e : host->Journal().Messages())
            if (e->title == host->MessageText(message)) out.push_back(e);
        return out;
    }
};

// The list of drives holds no entry the phone could delete, and its mask's
// bits above Z name no drive.
TEST_F(DeleteFiles, TheDriveListDeletesNothing)
{
    phone->Options().overrideDriveMask = true;
    phone->Options().driveMask = (1u << 4) | (1u << 26) | (1u << 31);
    HANDLE panel = OpenAt("");
    EXPECT_EQ(std::vector<std::string>{"E:"}, Names(panel));
    EXPECT_EQ(0, Delete(panel, {"E:"}, {0}));
    EXPECT_TRUE(phone->Journal().empty());
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MNotAtDriveList), host->Journal().Prompts()[0]->lines[0]);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(DeleteFiles, OneFileIsConfirmedOnceAndDeleted)
{
    std::string name(70, 'l');
    name += ".txt";
    PhoneFile("C\\docs\\" + name, "x");
    PhoneFile("C\\docs\\other.txt", "y");
    HANDLE panel = OpenAt("C:\\docs");

    EXPECT_EQ(1, Delete(panel, {name}, {0}));
    EXPECT_EQ((std::vector<std::string>{"F C:\\docs\\" + name}), Removals());
    EXPECT_EQ((std::vector<std::string>{"other.txt"}), ListNames(PhonePath("C\\docs")));

    ASSERT_EQ(1u, host->Journal().Prompts().size());
    const host_emu::JournalEntry* confirm = host->Journal().Prompts()[0];
    EXPECT_EQ(0u, confirm->flags);
    ASSERT_EQ(2u, confirm->lines.size());
    EXPECT_EQ(40u, confirm->lines[1].size());  // the name, cut to 40 columns
    EXPECT_EQ(name.substr(name.size() - 10), confirm->lines[1].substr(30));
    EXPECT_EQ(1, host->Journal().ProgressCount());  // the working box
    EXPECT_EQ(1, host->Journal().Saves());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(DeleteFiles, SeveralItemsAreConfirmedTwiceAndEitherRefusalSendsNothing)
{
    PhoneFile("C\\a.txt", "a");
    PhoneFile("C\\b.txt", "b");
    PhoneFile("C\\c.txt", "c");
    HANDLE panel = OpenAt("C:");
    const std::vector<std::string> names = {"a.txt", "b.txt", "c.txt"};

    for (std::vector<int> refusal : {std::vector<int>{1}, {-1}, {0, 1}, {0, -1}}) {
        EXPECT_EQ(0, Delete(panel, names, refusal));
        EXPECT_TRUE(Removals().empty());
        EXPECT_EQ(0, host->Journal().Saves());
        EXPECT_EQ(refusal.size(), host->Journal().Prompts().size());
    }
    EXPECT_EQ(names, ListNames(PhonePath("C")));

    EXPECT_EQ(1, Delete(panel, names, {0, 0}));
    std::vector<const host_emu::JournalEntry*> prompts = host->Journal().Prompts();
    ASSERT_EQ(2u, prompts.size());
    EXPECT_EQ(0u, prompts[0]->flags);
    EXPECT_EQ(1u, prompts[1]->flags);  // the second time in warning colours
    EXPECT_EQ(prompts[0]->lines, prompts[1]->lines);
    EXPECT_NE(std::string::npos, prompts[0]->Text().find('3'));
    EXPECT_TRUE(ListNames(PhonePath("C")).empty());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(DeleteFiles, TreeGoesDepthFirstWithTheFolderLast)
{
    PhoneFile("C\\tree\\a.txt", "a");
    PhoneFile("C\\tree\\sub\\b.txt", "b");
    PhoneFile("C\\tree\\sub\\c.txt", "c");
    PhoneFile("C\\tree\\z.txt", "z");
    ASSERT_TRUE(MakeDirs(PhonePath("C\\tree\\sub\\empty")));
    PhoneFile("C\\keep.txt", "keep");
    HANDLE panel = OpenAt("C:");

    EXPECT_EQ(1, Delete(panel, {"tree"}, {0, 0}));
    EXPECT_EQ((std::vector<std::string>{"keep.txt"}), ListNames(PhonePath("C")));

    // Whatever order the listing gives, a folder's requests run together
    // and end with its own removal, asked with a trailing backslash.
    std::vector<std::string> r = Removals();
    ASSERT_EQ(7u, r.size());
    EXPECT_EQ("D C:\\tree\\", r.back());
    auto at = [&](const std::string& request) {
        return std::find(r.begin(), r.end(), request) - r.begin();
    };
    long sub = at("D C:\\tree\\sub\\"), empty = at("D C:\\tree\\sub\\empty\\");
    EXPECT_LT(empty, sub);
    EXPECT_LT(at("F C:\\tree\\sub\\b.txt"), sub);
    EXPECT_LT(at("F C:\\tree\\sub\\c.txt"), sub);
    EXPECT_LT(at("F C:\\tree\\a.txt"), 6);
    EXPECT_LT(at("F C:\\tree\\z.txt"), 6);
    long first = sub;
    for (long i = 0; i < 6; ++i)
        if (r[i].find("\\sub\\") != std::string::npos) first = std::min(first, i);
    EXPECT_EQ(3, sub - first);  // nothing of the outer folder in between

    // The folder asked about, then one working box per folder level.
    std::vector<const host_emu::JournalEntry*> ask = Titled(37);
    ASSERT_EQ(1u, ask.size());
    EXPECT_NE(std::string::npos, ask[0]->Text().find("C:\\tree"));
    EXPECT_EQ(3, host->Journal().ProgressCount());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// A move into another plug-in's panel is the host's silent copy, the other
// panel's PutFiles, then a silent delete of the same items: it asks nothing
// and takes only what the copy took, as the copy took it (an empty folder
// tree included). What the phone wrote or changed meanwhile stays, and is
// said once. A silent delete with no silent copy before it deletes nothing,
// asks nothing and says so once.
TEST_F(DeleteFiles, TheSilentDeleteOfAMoveTakesOnlyWhatTheCopyTook)
{
    PhoneFile("C\\a.txt", "a");
    PhoneFile("C\\tree\\sub\\b.txt", "b");
    PhoneFile("C\\tree\\c.txt", "c");
    PhoneFile("C\\keep.txt", "keep");
    MakeDirs(PhonePath("C\\shell\\inner\\deeper"));
    MakeDirs(PcPath("tmp"));
    HANDLE panel = OpenAt("C:");
    std::vector<host::PluginPanelItem> items = Select(panel, {"a.txt", "shell", "tree"});
    std::string temp = PcPath("tmp");
    EXPECT_EQ(1, host->GetFiles(panel, items, 0, temp, host::OPM_SILENT));
    host->Journal().Clear();
    EXPECT_EQ(1, host->DeleteFiles(panel, items, host::OPM_SILENT));
    EXPECT_TRUE(host->Journal().Prompts().empty()) << host->Journal().Dump();
    EXPECT_EQ((std::vector<std::string>{"keep.txt"}), ListNames(PhonePath("C")));

    PhoneFile("C\\tree\\sub\\b.txt", "b");
    PhoneFile("C\\tree\\c.txt", "c");
    items = Select(panel, {"tree"});
    RemoveTree(PcPath("tmp\\tree"));
    EXPECT_EQ(1, host->GetFiles(panel, items, 0, temp, host::OPM_SILENT));
    PhoneFile("C\\tree\\new.txt", "n");  // written by the phone meanwhile
    PhoneFile("C\\tree\\c.txt", "cc");   // changed
    host->Journal().Clear();
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, host->DeleteFiles(panel, items, host::OPM_SILENT));
    EXPECT_EQ((std::vector<std::string>{"c.txt", "new.txt"}), ListNames(PhonePath("C\\tree")));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ("2 entries changed or appeared after the copy and were kept",
              host->Journal().Prompts()[0]->lines[0]);

    // The delete forgets the copy: another silent delete takes nothing, not
    // even an empty folder tree, and says so.
    MakeDirs(PhonePath("C\\shell\\inner\\deeper"));
    items = Select(panel, {"keep.txt", "shell", "tree"});
    phone->ClearJournal();
    host->Journal().Clear();
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, host->DeleteFiles(panel, items, host::OPM_SILENT));
    EXPECT_EQ((std::vector<std::string>{"c.txt", "new.txt"}), ListNames(PhonePath("C\\tree")));
    EXPECT_TRUE(IsDirectory(PhonePath("C\\shell\\inner\\deeper")));
    EXPECT_TRUE(PathExists(PhonePath("C\\keep.txt")));
    EXPECT_TRUE(phone->Journal().empty());
    ASSERT_EQ(1u, host->Journal().Prompts().size()) << host->Journal().Dump();
    EXPECT_EQ(host->MessageText(MNothingDeleted), host->Journal().Prompts()[0]->lines[0]);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(DeleteFiles, AFailureInsideATreeDoesNotStopTheRest)
{
    PhoneFile("C\\tree\\a.txt", "a");
    PhoneFile("C\\tree\\bad.txt", "b");
    PhoneFile("C\\tree\\z.txt", "z");
    PhoneFile("C\\next.txt", "n");
    phone_emu::Rule rule;
    rule.op = Op::FileDelete;
    rule.pathContains = L"bad.txt";
    phone->Options().rules.push_back(rule);
    HANDLE panel = OpenAt("C:");

    EXPECT_EQ(0, Delete(panel, {"tree", "next.txt"}, {0, 0, 0}));
    EXPECT_EQ((std::vector<std::string>{"bad.txt"}), ListNames(PhonePath("C\\tree")));
    EXPECT_FALSE(PathExists(PhonePath("C\\next.txt")));
    std::vector<std::string> r = Removals();
    ASSERT_EQ(5u, r.size());
    EXPECT_EQ("D C:\\tree\\", r[3]);
    EXPECT_EQ("F C:\\next.txt", r[4]);
    EXPECT_EQ(3u, host->Journal().Prompts().size());  // no message about it
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(DeleteFiles, FolderPromptAnswers)
{
    struct Case {
        const char* name;
        std::vector<int> answers;
        int result;
        std::vector<std::string> left;
    } cases[] = {
        {"all", {0, 0, 1}, 1, {}},
        {"skip, delete", {0, 0, 2, 0}, 1, {"one"}},
        {"delete, skip", {0, 0, 0, 2}, 1, {"two"}},
        {"stop", {0, 0, 3}, 1, {"one", "other.txt", "two"}},
        {"Esc stops too", {0, 0, -1}, 1, {"one", "other.txt", "two"}},
    };
    HANDLE panel = OpenAt("C:");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PhoneFile("C\\one\\1.txt", "1");
        PhoneFile("C\\two\\2.txt", "2");
        PhoneFile("C\\other.txt", "o");
        EXPECT_EQ(c.result, Delete(panel, {"one", "other.txt", "two"}, c.answers));
        EXPECT_EQ(c.left, ListNames(PhonePath("C")));
        EXPECT_EQ(c.answers.size() - 2, Titled(37).size());
        if (c.left.size() == 3) {
            EXPECT_TRUE(Removals().empty());
        }
        EXPECT_EQ(1, host->Journal().Saves());
        EXPECT_EQ(1, host->Journal().Restores());
        ExpectNoHostFaults();
    }
    host->ClosePlugin(panel);
}

// The user's delete confirmations, followed as the host's own delete follows
// them: without the delete's, one file goes unasked and several items are
// asked about once; without the folders', no folder is asked about.
TEST_F(DeleteFiles, TheUsersConfirmationsDecideWhatIsAsked)
{
    struct Case {
        const char* name;
        DWORD confirmations;
        std::vector<std::string> items;
        std::vector<int> answers;  // the last one to the folder, if asked
        size_t folderPrompts;
    } cases[] = {
        {"one file unasked", host::FCS_DELETENONEMPTYFOLDERS, {"a.txt"}, {}, 0},
        {"several asked once", host::FCS_DELETENONEMPTYFOLDERS, {"a.txt", "one"}, {0, 0}, 1},
        {"folders unasked", host::FCS_DELETE, {"a.txt", "one"}, {0, 0}, 0},
    };
    HANDLE panel = OpenAt("C:");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PhoneFile("C\\a.txt", "a");
        PhoneFile("C\\one\\1.txt", "1");
        host->Options().confirmations = c.confirmations;
        EXPECT_EQ(1, Delete(panel, c.items, c.answers));
        EXPECT_EQ(c.answers.size(), host->Journal().Prompts().size());
        EXPECT_EQ(c.folderPrompts, Titled(37).size());
        EXPECT_FALSE(PathExists(PhonePath("C\\a.txt")));
        EXPECT_EQ(c.items.size() == 1, PathExists(PhonePath("C\\one")));
        ExpectNoHostFaults();
    }
    host->ClosePlugin(panel);
}

// A phone that lists names leading out of the folder being deleted must not
// make the delete reach anything outside it.
TEST_F(DeleteFiles, HostileNamesInAListingAreNeverFollowed)
{
    PhoneFile("C\\victim\\in.txt", "in");
    PhoneFile("C\\x", "outside");
    PhoneFile("C\\a\\b", "outside");
    PhoneFile("C\\keep.txt", "outside");
    phone->Options().extraEntriesDir = L"C:\\victim\\";
    phone->Options().extraEntries = {
        phone_emu::MakeEntry(L"..", FILE_ATTRIBUTE_DIRECTORY),
        phone_emu::MakeEntry(L"..\\x"),
        phone_emu::MakeEntry(L"a/b"),
        phone_emu::MakeEntry(L"..\\a", FILE_ATTRIBUTE_DIRECTORY),
    };
    HANDLE panel = OpenAt("C:");

    EXPECT_EQ(1, Delete(panel, {"victim"}, {0, 0}));
    EXPECT_EQ((std::vector<std::string>{"a", "keep.txt", "x"}), ListNames(PhonePath("C")));
    EXPECT_EQ("outside", ReadFileText(PhonePath("C\\a\\b")));
    EXPECT_EQ((std::vector<std::string>{"F C:\\victim\\in.txt", "D C:\\victim\\"}), Removals());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// Paths are never cut to fit: cut, they would name something else.
TEST_F(DeleteFiles, PathsThatDoNotFitSendNothing)
{
    // Folders too deep for the PC's own disk: the phone lists them as empty.
    phone_emu::Rule open, read, close;
    open.op = Op::DirOpen;
    open.status = 0;
    open.pathContains = std::wstring(200, L'd');
    read.op = Op::DirRead;
    read.status = remote::StatusEndOfList;
    close.op = Op::DirClose;
    close.status = 0;
    phone->Options().rules = {open, read, close};
    std::string folder = "C:\\" + std::string(200, 'd');
    HANDLE panel = OpenAt(folder + "\\" + std::string(50, 'e'));
    std::vector<host::PluginPanelItem> items(1);
    memset(&items[0], 0, sizeof(items[0]));
    strcpy(items[0].FindData.cFileName, std::string(10, 'f').c_str());
    phone->ClearJournal();
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, host->DeleteFiles(panel, items));  // 3 + 200 + 1 + 50 + 1 + 10 > 259
    EXPECT_TRUE(Removals().empty());  // nor one for a path cut to fit
    host->ClosePlugin(panel);

    // 259 characters leave no room for the backslash a listing path ends
    // with: the folder is never entered, so nothing in it can be deleted.
    panel = OpenAt(folder);
    phone->ClearJournal();
    EXPECT_EQ(0, host->SetDirectory(panel, std::string(55, 'e')));
    EXPECT_TRUE(Removals().empty());
    EXPECT_EQ(0u, phone->Count(Op::DirOpen));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

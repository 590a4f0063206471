// Copying and moving from the PC onto the phone, through the host's PutFiles.
#include "put_support.h"
#include "message_ids.h"

#include <algorithm>
#include <set>

namespace kelp_test {
namespace {

using phone_emu::Op;

class PutFiles : public PhoneChangeTest {
protected:
    int Put(HANDLE panel, std::vector<host::PluginPanelItem>& items, int move, int opMode = 0,
            const std::string& from = std::string())
    {
        return host->PutFiles(panel, items, move, from.empty() ? pcRoot : from, opMode);
    }
    int OverwritePrompts()
    {
        int n = 0;
        for (const host_emu::JournalEntry* e : host->Journal().Prompts())
            if (e->title == host->MessageText(MOverwriteTitle)) ++n;
        return n;
    }
};

TEST_F(PutFiles, CopiesFilesAndTreesLeavingDotNamesBehind)
{
    PcFile("a.txt", "alpha");
    PcFile("b.txt", "bravo");
    PcFile("tree\\in.txt", "inside");
    PcFile("tree\\.hidden", "dot");
    PcFile("tree\\sub\\deep.txt", "deep");
    ASSERT_TRUE(MakeDirs(PcPath("empty")));
    HANDLE panel = OpenAt("C:");

    std::vector<host::PluginPanelItem> one = DiskItems({"b.txt"});
    EXPECT_EQ(1, Put(panel, one, 0));
    EXPECT_EQ("bravo", ReadFileText(PhonePath("C\\b.txt")));
    EXPECT_EQ(1, host->Journal().Saves());
    EXPECT_EQ(1, host->Journal().Restores());

    std::vector<host::PluginPanelItem> items = DiskItems({"a.txt", "tree", "empty"});
    EXPECT_EQ(1, Put(panel, items, 0));
    EXPECT_EQ("alpha", ReadFileText(PhonePath("C\\a.txt")));
    EXPECT_EQ("inside", ReadFileText(PhonePath("C\\tree\\in.txt")));
    EXPECT_EQ("deep", ReadFileText(PhonePath("C\\tree\\sub\\deep.txt")));
    EXPECT_EQ("dot", ReadFileText(PhonePath("C\\tree\\.hidden")));  // a dot-file is a file
    EXPECT_TRUE(IsDirectory(PhonePath("C\\empty")));
    EXPECT_EQ("alpha", ReadFileText(PcPath("a.txt")));  // a copy leaves the PC alone
    EXPECT_TRUE(PathExists(PcPath("tree\\sub\\deep.txt")));

    // Files copied lose their selection; folders keep it however they end.
    EXPECT_FALSE(Selected(items, "a.txt"));
    EXPECT_TRUE(Selected(items, "tree"));
    EXPECT_TRUE(Selected(items, "empty"));

    // New targets are copied without overwriting, and nothing was asked.
    for (const phone_emu::JournalEntry& e : phone->Journal(Op::FileCopy))
        EXPECT_EQ(0, e.overwrite) << Narrow(e.target);
    EXPECT_EQ((std::vector<std::string>{"C:\\b.txt", "C:\\a.txt", "C:\\tree\\.hidden",
                                        "C:\\tree\\in.txt", "C:\\tree\\sub\\deep.txt"}),
              Requests(Op::FileCopy));
    EXPECT_TRUE(host->Journal().Prompts().empty());
    EXPECT_EQ(2, host->Journal().Saves());
    EXPECT_EQ(2, host->Journal().Restores());
    // Each item's first draw says a folder is made, not copied as a file.
    std::set<std::string> named = {""};  // the box's first draw names nothing
    for (const host_emu::JournalEntry* box : host->Journal().Messages()) {
        if (!box->IsProgress() || !named.insert(box->lines[1]).second) continue;
        bool folder = box->lines[1] == "tree" || box->lines[1] == "sub" || box->lines[1] == "empty";
        EXPECT_EQ(host->MessageText(folder ? MMakingFolder : MCopying), box->lines[0]) << box->lines[1];
    }
    EXPECT_EQ(1u, named.count("sub"));
    EXPECT_EQ(1u, named.count("empty"));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PutFiles, MoveTakesDotFilesAlong)
{
    PcFile("a.txt", "alpha");
    PcFile("tree\\in.txt", "inside");
    PcFile("tree\\.hidden", "dot");
    ASSERT_TRUE(MakeDirs(PcPath("empty")));
    HANDLE panel = OpenAt("C:");

    std::vector<host::PluginPanelItem> items = DiskItems({"a.txt", "tree", "empty"});
    EXPECT_EQ(1, Put(panel, items, 1));
    EXPECT_EQ("alpha", ReadFileText(PhonePath("C\\a.txt")));
    EXPECT_EQ("inside", ReadFileText(PhonePath("C\\tree\\in.txt")));
    EXPECT_EQ("dot", ReadFileText(PhonePath("C\\tree\\.hidden")));
    EXPECT_TRUE(IsDirectory(PhonePath("C\\empty")));
    EXPECT_TRUE(ListNames(PcPath("")).empty());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PutFiles, ExistingFolderIsFilledAndExistingFilesAsked)
{
    PcFile("tree\\in.txt", "new in");
    PcFile("tree\\more.txt", "more");
    PhoneFile("C\\tree\\in.txt", "old in");
    PhoneFile("C\\tree\\keep.txt", "keep");
    HANDLE panel = OpenAt("C:");

    host->Script().AnswerMessage(0);  // overwrite
    std::vector<host::PluginPanelItem> items = DiskItems({"tree"});
    EXPECT_EQ(1, Put(panel, items, 0));
    EXPECT_EQ("new in", ReadFileText(PhonePath("C\\tree\\in.txt")));
    EXPECT_EQ("more", ReadFileText(PhonePath("C\\tree\\more.txt")));
    EXPECT_EQ("keep", ReadFileText(PhonePath("C\\tree\\keep.txt")));
    ASSERT_EQ(1, OverwritePrompts());
    const host_emu::JournalEntry* prompt = host->Journal().LastPrompt();
    EXPECT_EQ(1u, prompt->flags);  // warning colours
    EXPECT_NE(std::string::npos, prompt->Text().find("C:\\tree\\in.txt"));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// Three PC files that all exist on the phone, put with the answers given.
struct OverwriteCase {
    const char* name;
    int opMode;
    std::vector<int> answers;
    int result;
    const char* phoneAfter;  // per file: N = new content, O = old content
    int prompts;
};

TEST_F(PutFiles, OverwriteAnswersAndEditMode)
{
    const OverwriteCase cases[] = {
        {"edit mode", host::OPM_EDIT, {}, 1, "NNN", 0},
        {"overwrite, Esc: the host's own copy ends on Esc", 0, {0, -1}, -1, "NOO", 2},
        {"skip all", 0, {3}, 0, "OOO", 1},
        {"skip, then skip all", 0, {2, 3}, 0, "OOO", 2},
        {"overwrite all", 0, {1}, 1, "NNN", 1},
        {"overwrite, cancel", 0, {0, 4}, -1, "NOO", 2},
    };
    const char* names[] = {"a.txt", "b.txt", "c.txt"};
    for (const char* name : names) PcFile(name, std::string("new ") + name);
    HANDLE panel = OpenAt("C:");
    for (const OverwriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* name : names) PhoneFile(std::string("C\\") + name, "old");
        host->Journal().Clear();
        phone->ClearJournal();
        for (int answer : c.answers) host->Script().AnswerMessage(answer);

        std::vector<host::PluginPanelItem> items = DiskItems({"a.txt", "b.txt", "c.txt"});
        EXPECT_EQ(c.result, Put(panel, items, 0, c.opMode));
        for (int i = 0; i < 3; ++i) {
            bool fresh = c.phoneAfter[i] == 'N';
            EXPECT_EQ(fresh ? std::string("new ") + names[i] : "old",
                      ReadFileText(PhonePath(std::string("C\\") + names[i])));
            EXPECT_EQ(!fresh, Selected(items, names[i])) << names[i];
        }
        EXPECT_EQ(c.prompts, OverwritePrompts());
        EXPECT_EQ(0u, host->Script().PendingMessages());
        if (c.opMode & host::OPM_EDIT) {
            for (const phone_emu::JournalEntry& e : phone->Journal(Op::FileCopy))
                EXPECT_EQ(1, e.overwrite);
            EXPECT_EQ(3u, phone->Count(Op::FileCopy));
        }
        std::vector<std::string> copies = Requests(Op::FileCopy);
        if (c.result == -1) {  // nothing after the cancelled file was tried
            EXPECT_EQ(0, std::count(copies.begin(), copies.end(), "C:\\c.txt"));
        }
        EXPECT_EQ(1, host->Journal().Saves());
        ExpectNoHostFaults();
    }
    host->ClosePlugin(panel);
}

TEST_F(PutFiles, ACopyOverwritesUnaskedWhenTheUserDoesNotConfirmCopies)
{
    host->Options().confirmations = host::FCS_MOVEOVERWRITE;
    PcFile("a.txt", "new");
    PhoneFile("C\\a.txt", "old");
    HANDLE panel = OpenAt("C:");
    std::vector<host::PluginPanelItem> items = DiskItems({"a.txt"});
    EXPECT_EQ(1, Put(panel, items, 0, 0));
    EXPECT_EQ("new", ReadFileText(PhonePath("C\\a.txt")));
    EXPECT_EQ(0, OverwritePrompts());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// The total indicator adds up a PC tree by searching its folders.
TEST_F(PutFiles, TheTotalIndicatorAddsUpThePcTree)
{
    host->Options().interfaceSettings = host::FIS_SHOWTOTALCOPYPROGRESSINDICATOR;
    PcFile("one.txt", "1");
    PcFile("tree\\two.txt", "22");
    PcFile("tree\\sub\\three.txt", "333");
    HANDLE panel = OpenAt("C:");
    std::vector<host::PluginPanelItem> items = DiskItems({"one.txt", "tree"});
    EXPECT_EQ(1, Put(panel, items, 0, 0));
    const host_emu::JournalEntry* last = nullptr;
    for (const host_emu::JournalEntry* e : host->Journal().Messages())
        if (e->IsProgress() && e->title == host->MessageText(MCopyTitle)) last = e;
    ASSERT_NE(nullptr, last);
    ASSERT_EQ(9u, last->lines.size());
    EXPECT_EQ("2 of 3 files  6 B of 6 B", last->lines[8]);
    EXPECT_EQ("333", ReadFileText(PhonePath("C\\tree\\sub\\three.txt")));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PutFiles, ServerFailureOnOneFileIsAskedAboutAndItsOriginalStays)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) PcFile(name, name);
    phone_emu::Rule rule;
    rule.op = Op::FileCopy;
    rule.status = phone_emu::StatusIoError;
    rule.pathContains = L"b.txt";
    phone->Options().rules.push_back(rule);
    HANDLE panel = OpenAt("C:");

    std::vector<host::PluginPanelItem> items = DiskItems({"a.txt", "b.txt", "c.txt"});
    host->Script().AnswerMessage(1);  // skip
    EXPECT_EQ(0, Put(panel, items, 1));
    EXPECT_EQ((std::vector<std::string>{"a.txt", "c.txt"}), ListNames(PhonePath("C")));
    EXPECT_EQ((std::vector<std::string>{"b.txt"}), ListNames(PcPath("")));  // moved ones gone
    EXPECT_TRUE(Selected(items, "b.txt"));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ("Phone server error -4", host->Journal().Prompts()[0]->lines[0]);

    // Esc at the prompt cancels, and the failed file's original stays.
    host->Script().AnswerMessage(-1);
    items = DiskItems({"b.txt"});
    EXPECT_EQ(-1, Put(panel, items, 1));
    EXPECT_EQ((std::vector<std::string>{"b.txt"}), ListNames(PcPath("")));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PutFiles, BreakDuringACopyStopsEverythingAndLeavesNoPartialFile)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) PcFile(name, std::string(4000, *name));
    phone->Options().progressNotices = 4;
    HANDLE panel = OpenAt("C:");
    bool broke = false;
    host->SetHook([&](const host_emu::JournalEntry& e) {
        // A box drawn from inside b.txt's copy: its bar has begun to fill.
        if (broke || !e.IsProgress() || e.Text().find("b.txt") == std::string::npos ||
            e.Text().find('\xDB') == std::string::npos)
            return;
        broke = true;
        host->Exports().ProcessEvent(panel, host::FE_BREAK, nullptr);
    });

    std::vector<host::PluginPanelItem> items = DiskItems({"a.txt", "b.txt", "c.txt"});
    EXPECT_EQ(-1, Put(panel, items, 1));
    EXPECT_TRUE(broke);
    EXPECT_EQ((std::vector<std::string>{"a.txt"}), ListNames(PhonePath("C")));
    EXPECT_EQ(std::string(4000, 'a'), ReadFileText(PhonePath("C\\a.txt")));
    EXPECT_EQ((std::vector<std::string>{"b.txt", "c.txt"}), ListNames(PcPath("")));
    EXPECT_EQ((std::vector<std::string>{"C:\\a.txt", "C:\\b.txt"}), Requests(Op::FileCopy));
    EXPECT_EQ(1, host->Journal().Saves());

    // The break belongs to that operation: the next copy runs.
    host->SetHook(nullptr);
    std::vector<host::PluginPanelItem> rest = DiskItems({"b.txt"});
    EXPECT_EQ(1, Put(panel, rest, 0));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PutFiles, AtTheDriveListNothingIsSent)
{
    PcFile("a.txt", "alpha");
    HANDLE panel = OpenAt("");
    std::vector<host::PluginPanelItem> items = DiskItems({"a.txt"});
    host->Script().AnswerMessage(0);
    phone->ClearJournal();
    EXPECT_EQ(0, Put(panel, items, 0));
    EXPECT_TRUE(phone->Journal().empty());
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MNotAtDriveList), host->Journal().Prompts()[0]->lines[0]);
    EXPECT_EQ((std::vector<std::string>{"C", "E"}), ListNames(PhonePath("")));
    EXPECT_TRUE(Selected(items, "a.txt"));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PutFiles, FindModeSavesNoScreenAndDrawsOnce)
{
    PcFile("a.txt", "alpha");
    PcFile("tree\\b.txt", "bravo");
    phone->Options().progressNotices = 4;
    HANDLE panel = OpenAt("C:");
    std::vector<host::PluginPanelItem> items = DiskItems({"a.txt", "tree"});
    EXPECT_EQ(1, Put(panel, items, 0, host::OPM_FIND));
    EXPECT_EQ("bravo", ReadFileText(PhonePath("C\\tree\\b.txt")));
    EXPECT_EQ(0, host->Journal().Saves());
    EXPECT_EQ(1, host->Journal().ProgressCount());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// A path that would not fit is never cut to some other path: the item
// fails before anything is asked of the phone.
TEST_F(PutFiles, PathsTooLongForTheHostAreRefusedWhole)
{
    std::string name(60, 'n');
    PcFile(name, "x");
    PcFile("a", "short");
    ASSERT_TRUE(MakeDirs(PhonePath("C\\" + std::string(190, 'd') + "\\" + std::string(8, 'e'))));
    HANDLE panel = OpenAt("C:\\" + std::string(190, 'd') + "\\" + std::string(8, 'e'));
    phone->ClearJournal();
    std::vector<host::PluginPanelItem> items = DiskItems({name});
    EXPECT_EQ(0, Put(panel, items, 1));  // 3 + 190 + 1 + 8 + 1 + 60 > 259
    EXPECT_EQ(0u, phone->Journal().size());
    EXPECT_TRUE(PathExists(PcPath(name)));
    host->ClosePlugin(panel);

    // The PC side: a current folder of 257 characters takes a name of one;
    // at 258 no name fits; at 259 the folder itself is more than the host's
    // paths hold, and nothing is started at all.
    std::string deep = pcRoot;
    while (257 - deep.size() > 50) deep += "\\" + std::string(40, 'p');
    deep += "\\" + std::string(257 - deep.size() - 1, 'q');
    ASSERT_EQ(257u, deep.size());
    panel = OpenAt("E:");
    for (const char* tail : {"", "x", "yy"}) {
        SCOPED_TRACE(strlen(tail));
        std::string folder = deep + tail;
        ASSERT_TRUE(MakeDirs(folder));
        // Past the plain APIs' limit: made through the long-path prefix.
        const std::wstring file = L"\\\\?\\" + Widen(folder + "\\a");
        HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD written;
        WriteFile(h, folder.data(), (DWORD)folder.size(), &written, nullptr);
        CloseHandle(h);
        host->Journal().Clear();
        phone->ClearJournal();
        std::vector<host::PluginPanelItem> items = DiskItems({"a"}, folder);
        EXPECT_EQ(*tail ? 0 : 1, Put(panel, items, 1, 0, folder));
        EXPECT_EQ(*tail ? 0u : 1u, phone->Count(Op::FileCopy));
        EXPECT_EQ(strlen(tail) < 2 ? 1 : 0, host->Journal().Saves());
        EXPECT_EQ(*tail != 0, GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES);
        DeleteFileW(file.c_str());  // beyond what the fixture's cleanup reaches
    }
    EXPECT_EQ(deep, ReadFileText(PhonePath("E\\a")));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PutFiles, CyrillicTreeKeepsItsNames)
{
    if (GetOEMCP() != 866) GTEST_SKIP() << "needs the Russian OEM code page";
    const std::wstring folder = L"\u041f\u0430\u043f\u043a\u0430";       // Папка
    const std::wstring file = L"\u0424\u0430\u0439\u043b.txt";          // Файл.txt
    const std::wstring pc = Widen(pcRoot);
    ASSERT_TRUE(CreateDirectoryW((pc + L"\\" + folder).c_str(), nullptr));
    HANDLE h = CreateFileW((pc + L"\\" + folder + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);

    HANDLE panel = OpenAt("C:");
    std::vector<host::PluginPanelItem> items = DiskItems({Narrow(folder)});
    EXPECT_EQ(1, Put(panel, items, 0));
    const std::wstring target = Widen(PhonePath("C")) + L"\\" + folder + L"\\" + file;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(target.c_str()));
    ASSERT_EQ(1u, phone->Count(Op::FileCopy));
    EXPECT_EQ(L"C:\\" + folder + L"\\" + file, phone->Journal(Op::FileCopy)[0].target);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

// Copying and moving from one place on the phone to another: a destination
// typed in the copy dialog without a PC root names a place on the phone.
#include "copy_from_support.h"
#include "message_ids.h"
#include "test_files.h"

#include <algorithm>

namespace kelp_test {
namespace {

using phone_emu::Op;

class CopyOnPhone : public CopyFromPhoneTest {
protected:
    void SetUp() override
    {
        CopyFromPhoneTest::SetUp();
        // The items pass through a folder under the temporary folder: this test's own.
        transit = tempRoot + "\\tmp";
        ASSERT_TRUE(MakeDirs(transit));
        DWORD length = GetEnvironmentVariableA("TMP", savedTmp, sizeof(savedTmp));
        hadTmp = length > 0 && length < sizeof(savedTmp);
        SetEnvironmentVariableA("TMP", transit.c_str());
        PhoneFile("a.txt", "A");
        PhoneFile("b.txt", "BB");
        PhoneFile("docs\\x.txt", "X");
        PhoneFile("docs\\sub\\y.txt", "Y");
        PhoneFolder("docs\\empty");
        MakeDirs(PcPath("out"));
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("TMP", hadTmp ? savedTmp : nullptr);
        CopyFromPhoneTest::TearDown();
    }

    // The copy dialog closed with `typed` as the destination.
    int Typed(HANDLE panel, const std::vector<std::string>& names, int move,
              const std::string& typed)
    {
        host->Script().AnswerDialog(4, {{2, typed}});
        return Copy(panel, names, move, PcPath("out"));
    }

    // The first `n` lines of a box (fewer when it has fewer).
    static std::vector<std::string> FirstLines(const host_emu::JournalEntry& box, size_t n)
    {
        return std::vector<std::string>(box.lines.begin(),
                                        box.lines.begin() + std::min(n, box.lines.size()));
    }

    // Nothing went to the PC, and nothing is left in transit.
    void ExpectNothingLeftOnThePc()
    {
        EXPECT_TRUE(ListNames(PcPath("out")).empty());
        EXPECT_TRUE(ListNames(transit).empty());
    }

    std::string transit;
    char savedTmp[MAX_PATH];
    bool hadTmp = false;
};

TEST_F(CopyOnPhone, MoveWithABareNameRenamesFilesAndFolders)
{
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(1, Typed(panel, {"a.txt"}, 1, "rn2.txt"));
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\rn2.txt")));
    EXPECT_FALSE(OnPhone("a.txt"));
    EXPECT_FALSE(Selected("a.txt"));

    EXPECT_EQ(1, Typed(panel, {"docs"}, 1, "papers"));
    EXPECT_FALSE(OnPhone("docs"));
    EXPECT_EQ("X", ReadFileText(PhonePath("C\\papers\\x.txt")));
    EXPECT_EQ("Y", ReadFileText(PhonePath("C\\papers\\sub\\y.txt")));
    EXPECT_TRUE(IsDirectory(PhonePath("C\\papers\\empty")));
    EXPECT_EQ((std::vector<std::string>{"b.txt", "papers", "rn2.txt"}), ListNames(PhonePath("C")));

    // One box for the whole move, and every screen saved is given back.
    EXPECT_EQ(host->MessageText(MMoveTitle), ProgressBoxes().back()->title);
    EXPECT_EQ(2, host->Journal().Saves());
    ExpectNothingLeftOnThePc();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyOnPhone, CopyGoesWhereTheTypedPathPointsFromTheFolder)
{
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(1, Typed(panel, {"a.txt", "b.txt"}, 0, "docs\\sub\\"));
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\docs\\sub\\a.txt")));
    EXPECT_EQ("BB", ReadFileText(PhonePath("C\\docs\\sub\\b.txt")));
    EXPECT_TRUE(OnPhone("a.txt") && OnPhone("b.txt"));  // a copy leaves the originals
    // An existing folder without the final backslash, and a new one with it.
    EXPECT_EQ(1, Typed(panel, {"a.txt"}, 0, "docs"));
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\docs\\a.txt")));
    EXPECT_EQ(1, Typed(panel, {"a.txt"}, 0, "new\\deep\\"));
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\new\\deep\\a.txt")));
    host->ClosePlugin(panel);

    // Up a level, and from the drive's root.
    panel = OpenAt("C:\\docs\\sub");
    EXPECT_EQ(1, Typed(panel, {"y.txt"}, 0, "..\\y2.txt"));
    EXPECT_EQ("Y", ReadFileText(PhonePath("C\\docs\\y2.txt")));
    EXPECT_EQ(1, Typed(panel, {"y.txt"}, 0, "\\top.txt"));
    EXPECT_EQ("Y", ReadFileText(PhonePath("C\\top.txt")));
    EXPECT_TRUE(OnPhone("docs\\sub\\y.txt"));
    ExpectNothingLeftOnThePc();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyOnPhone, AFailureOnTheWayKeepsTheOriginal)
{
    HANDLE panel = OpenAt("C:");
    // The second file of the tree can't be written at its new place.
    FailCopies(L"moved\\sub\\y.txt");
    host->Script().AnswerMessage(1);  // skip it
    EXPECT_EQ(0, Typed(panel, {"docs"}, 1, "moved"));
    EXPECT_EQ("X", ReadFileText(PhonePath("C\\moved\\x.txt")));
    EXPECT_EQ("X", ReadFileText(PhonePath("C\\docs\\x.txt")));
    EXPECT_EQ("Y", ReadFileText(PhonePath("C\\docs\\sub\\y.txt")));
    EXPECT_TRUE(IsDirectory(PhonePath("C\\docs\\empty")));
    EXPECT_EQ(0u, phone->Count(Op::FileDelete));
    EXPECT_EQ(0u, phone->Count(Op::DirRemove));
    EXPECT_TRUE(Selected("docs"));
    phone->Options().rules.clear();

    // The copy is written but can't be found where it went: the original stays.
    phone_emu::Rule lost;
    lost.op = Op::EntryInfo;
    lost.pathContains = L"C:\\c.txt";
    phone->Options().rules.push_back(lost);
    host->Journal().Clear();
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, Typed(panel, {"a.txt"}, 1, "c.txt"));
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\a.txt")));
    EXPECT_EQ(0u, phone->Count(Op::FileDelete));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ("1 item was not found whole at its new place; what was not stays where it was",
              host->Journal().Prompts()[0]->lines[0]);
    ExpectNothingLeftOnThePc();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyOnPhone, AnExistingTargetIsOverwrittenOnlyWhenTheUserSaysSo)
{
    HANDLE panel = OpenAt("C:");
    host->Script().AnswerMessage(2);  // skip
    EXPECT_EQ(0, Typed(panel, {"a.txt"}, 1, "b.txt"));
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\a.txt")));
    EXPECT_EQ("BB", ReadFileText(PhonePath("C\\b.txt")));

    host->Script().AnswerMessage(0);  // overwrite
    EXPECT_EQ(1, Typed(panel, {"a.txt"}, 1, "b.txt"));
    EXPECT_FALSE(OnPhone("a.txt"));
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\b.txt")));
    ASSERT_EQ(2u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MOverwriteTitle), host->Journal().Prompts()[1]->title);
    EXPECT_NE(std::string::npos, host->Journal().Prompts()[1]->Text().find("C:\\b.txt"));
    ExpectNothingLeftOnThePc();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(CopyOnPhone, AMoveOverwritesUnaskedWhenTheUserDoesNotConfirmMoves)
{
    host->Options().confirmations = host::FCS_COPYOVERWRITE;
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(1, Typed(panel, {"a.txt"}, 1, "b.txt"));
    EXPECT_FALSE(OnPhone("a.txt"));
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\b.txt")));
    EXPECT_TRUE(host->Journal().Prompts().empty());
    ExpectNothingLeftOnThePc();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// Refused as the host refuses a copy onto itself on its own panels: one
// box, and the operation ends. The panel's own folder typed in other
// letters is that folder too.
TEST_F(CopyOnPhone, TheItemItselfOrAPlaceInsideItIsRefused)
{
    HANDLE panel = OpenAt("C:");
    struct Case {
        const char* typed;
        std::vector<std::string> names;
        int what;  // the box's first line
        const char* path;
    } cases[] = {{"a.txt", {"a.txt"}, MCannotCopyFile, "C:\\a.txt"},
                 {".\\", {"a.txt"}, MCannotCopyFile, "C:\\a.txt"},
                 {"docs\\sub\\", {"docs"}, MCannotCopyFolder, "C:\\docs"},
                 // from C:\\docs: its own folder
                 {"\\DOCS", {"x.txt", "sub"}, MCannotCopyFile, "C:\\docs\\x.txt"}};
    for (const Case& c : cases) {
        if (c.names.size() > 1) {
            host->ClosePlugin(panel);
            panel = OpenAt("C:\\docs");
        }
        host->Journal().Clear();
        host->Script().AnswerMessage(0);
        EXPECT_EQ(-1, Typed(panel, c.names, 1, c.typed)) << c.typed;
        ASSERT_EQ(1u, host->Journal().Prompts().size()) << c.typed;
        const host_emu::JournalEntry& box = *host->Journal().Prompts()[0];
        EXPECT_EQ((std::vector<std::string>{host->MessageText(c.what), c.path,
                                            host->MessageText(c.what == MCannotCopyFile
                                                                  ? MOntoItself
                                                                  : MFolderOntoItself)}),
                  FirstLines(box, 3))
            << c.typed;
        EXPECT_EQ(0u, phone->Count(Op::FileCopy)) << c.typed;
        EXPECT_EQ(0u, phone->Count(Op::FileDelete)) << c.typed;
    }
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\a.txt")));
    EXPECT_EQ("X", ReadFileText(PhonePath("C\\docs\\x.txt")));
    EXPECT_EQ("Y", ReadFileText(PhonePath("C\\docs\\sub\\y.txt")));
    EXPECT_EQ((std::vector<std::wstring>{L"empty", L"sub", L"x.txt"}),
              test_files::Names(Widen(PhonePath("C\\docs"))));
    ExpectNothingLeftOnThePc();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// The phone tells names apart as the PC does, by Unicode letters' case, not
// A-Z alone. A rename that changes the case alone passes through a
// temporary name: straight to the new name, it would copy the item over
// itself and then delete the only copy.
TEST_F(CopyOnPhone, ARenameByLetterCaseAloneKeepsTheItemWhole)
{
    std::wstring drive = Widen(PhonePath("C"));
    ASSERT_TRUE(test_files::WriteBytes(drive + L"\\\u00C9t\u00E9.txt", "E"));
    HANDLE panel = OpenAt("C:");
    const std::pair<std::wstring, std::wstring> renames[] = {
        {L"a.txt", L"A.txt"}, {L"\u00C9t\u00E9.txt", L"\u00E9t\u00E9.txt"}, {L"docs", L"Docs"}};
    for (const auto& rename : renames) {
        EXPECT_EQ(1, Typed(panel, {Narrow(rename.first)}, 1, Narrow(rename.second)));
        EXPECT_FALSE(Selected(Narrow(rename.first)));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"A.txt", L"Docs", L"b.txt", L"\u00E9t\u00E9.txt"}),
              test_files::Names(drive));
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\A.txt")));
    EXPECT_EQ("E", test_files::ReadBytes(drive + L"\\\u00E9t\u00E9.txt"));
    EXPECT_EQ("Y", ReadFileText(PhonePath("C\\Docs\\sub\\y.txt")));
    EXPECT_TRUE(host->Journal().Prompts().empty()) << host->Journal().Dump();
    ExpectNothingLeftOnThePc();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// A rename by letter case that can't finish puts the item back under its
// old name: after Esc or a break between the legs, and after a failure the
// user skips, whose question names where the item was going on the phone.
// When that fails too, one box names the temporary name the item has.
TEST_F(CopyOnPhone, ARenameByLetterCaseThatCannotFinishPutsTheItemBack)
{
    std::wstring drive = Widen(PhonePath("C"));
    HANDLE panel = OpenAt("C:");
    auto namesOnC = [&] { return test_files::Names(drive); };
    const std::vector<std::wstring> before = {L"a.txt", L"b.txt", L"docs"};

    // A break while the second leg starts to write the new name.
    bool broke = false;
    host->SetHook([&](const host_emu::JournalEntry& e) {
        if (!broke && e.IsProgress() && e.Text().find("C:\\A.txt") != std::string::npos) {
            broke = true;
            host->Exports().ProcessEvent(panel, host::FE_BREAK, nullptr);
        }
    });
    EXPECT_EQ(-1, Typed(panel, {"a.txt"}, 1, "A.txt"));
    host->SetHook(nullptr);
    EXPECT_TRUE(broke);
    EXPECT_EQ(before, namesOnC());
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\a.txt")));
    EXPECT_TRUE(host->Journal().Prompts().empty()) << host->Journal().Dump();

    // The second leg fails once; the user skips it. (The temporary name's
    // first copy is the first leg's.)
    const std::wstring temporary = L"C:\\a.txt.kelp-1";
    FailCopies(temporary, phone_emu::StatusIoError, 2);
    host->Journal().Clear();
    host->Script().AnswerMessage(1);
    EXPECT_EQ(0, Typed(panel, {"a.txt"}, 1, "A.txt"));
    EXPECT_EQ(before, namesOnC());
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\a.txt")));
    EXPECT_TRUE(Selected("a.txt"));
    ASSERT_EQ(1u, host->Journal().Prompts().size()) << host->Journal().Dump();
    EXPECT_EQ(std::string::npos, host->Journal().Prompts()[0]->Text().find(transit));
    EXPECT_NE(std::string::npos, host->Journal().Prompts()[0]->Text().find("C:\\A.txt"));
    phone->Options().rules.clear();

    // The way back fails too: the item stays under its temporary name, said once.
    FailCopies(temporary, phone_emu::StatusIoError, 2);
    FailCopies(temporary, phone_emu::StatusIoError, 3);
    host->Journal().Clear();
    host->Script().AnswerMessage(1);
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, Typed(panel, {"a.txt"}, 1, "A.txt"));
    EXPECT_EQ((std::vector<std::wstring>{L"a.txt.kelp-1", L"b.txt", L"docs"}), namesOnC());
    ASSERT_EQ(2u, host->Journal().Prompts().size()) << host->Journal().Dump();
    EXPECT_EQ((std::vector<std::string>{host->MessageText(MKeptAsTemporary), "C:\\a.txt.kelp-1"}),
              FirstLines(*host->Journal().Prompts()[1], 2));
    ExpectNothingLeftOnThePc();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// A temporary name is taken only when the phone says nothing has it: a
// server that can't say is a failure, asked about, and never overwrites
// what has that name, even without the move's overwrite confirmation.
TEST_F(CopyOnPhone, ATemporaryNameIsTakenOnlyWhenThePhoneSaysItIsFree)
{
    host->Options().confirmations = host::FCS_COPYOVERWRITE;
    PhoneFile("a.txt.kelp-1", "K");
    HANDLE panel = OpenAt("C:");
    for (phone_emu::Action action : {phone_emu::Action::Refuse, phone_emu::Action::ForceStatus}) {
        phone_emu::Rule rule;
        rule.op = Op::EntryInfo;
        rule.action = action;
        rule.pathIs = L"C:\\a.txt.kelp-1";
        phone->Options().rules = {rule};
        host->Journal().Clear();
        host->Script().AnswerMessage(1);  // skip
        EXPECT_EQ(0, Typed(panel, {"a.txt"}, 1, "A.txt"));
        EXPECT_EQ(1u, host->Journal().Prompts().size()) << host->Journal().Dump();
        EXPECT_EQ(0u, phone->Count(Op::FileCopy));
        EXPECT_EQ("K", ReadFileText(PhonePath("C\\a.txt.kelp-1")));
        EXPECT_EQ("A", ReadFileText(PhonePath("C\\a.txt")));
        EXPECT_TRUE(Selected("a.txt"));
    }
    ExpectNothingLeftOnThePc();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

class CopyOnPhoneCyrillic : public CopyOnPhone {};

TEST_F(CopyOnPhoneCyrillic, AFolderRenamedByLetterCaseStaysWhole)
{
    if (GetOEMCP() != 866) GTEST_SKIP() << "needs the Russian locale (OEM 866)";
    std::wstring drive = Widen(PhonePath("C"));
    ASSERT_TRUE(CreateDirectoryW((drive + L"\\Фото").c_str(), nullptr));
    ASSERT_TRUE(test_files::WriteBytes(drive + L"\\Фото\\Отпуск.txt", "O"));
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(1, Typed(panel, {Narrow(L"Фото")}, 1, Narrow(L"фото")));
    std::vector<std::wstring> names = test_files::Names(drive);
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), L"фото"));
    EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), L"Фото"));
    EXPECT_EQ((std::vector<std::wstring>{L"Отпуск.txt"}), test_files::Names(drive + L"\\фото"));
    EXPECT_EQ("O", test_files::ReadBytes(drive + L"\\фото\\Отпуск.txt"));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// A move on the phone deletes only what it took out: a file the phone wrote
// meanwhile stays, even beside a copy of its name and size.
TEST_F(CopyOnPhone, AMoveDeletesOnlyWhatItTookOut)
{
    PhoneFile("moved\\docs\\late.txt", "L");
    HANDLE panel = OpenAt("C:");
    host->SetHook([&](const host_emu::JournalEntry& e) {
        if (e.IsProgress() && e.Text().find("moved") != std::string::npos &&
            !OnPhone("docs\\late.txt")) {
            ASSERT_TRUE(WriteFileText(PhonePath("C\\docs\\late.txt"), "N"));
        }
    });
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, Typed(panel, {"docs"}, 1, "moved"));
    host->SetHook(nullptr);
    EXPECT_EQ(host->MessageText(MMoveTitle), host->Journal().Prompts().back()->title);
    EXPECT_EQ("N", ReadFileText(PhonePath("C\\docs\\late.txt")));
    EXPECT_EQ("L", ReadFileText(PhonePath("C\\moved\\docs\\late.txt")));
    EXPECT_FALSE(OnPhone("docs\\x.txt"));  // what it took out went
    EXPECT_EQ("X", ReadFileText(PhonePath("C\\moved\\docs\\x.txt")));
    EXPECT_TRUE(Selected("docs"));
    ExpectNothingLeftOnThePc();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// Every copy on the phone that can't start says why, once, and makes
// nothing first.
TEST_F(CopyOnPhone, ADestinationThatCannotBeUsedIsSaid)
{
    HANDLE panel = OpenAt("C:\\docs");
    for (const char* typed : {"D:name", "*.txt", "..\\..\\x"}) {
        host->Journal().Clear();
        host->Script().AnswerMessage(0);
        EXPECT_EQ(0, Typed(panel, {"x.txt"}, 0, typed)) << typed;
        ASSERT_EQ(1u, host->Journal().Prompts().size()) << typed;
        EXPECT_EQ(host->MessageText(MNoPhonePlace), host->Journal().Prompts()[0]->lines[0]);
        EXPECT_TRUE(phone->Journal().empty()) << typed;
    }

    // No folder to pass through on the PC.
    ASSERT_TRUE(WriteFileText(transit + "\\afile", "F"));
    SetEnvironmentVariableA("TMP", (transit + "\\afile").c_str());
    host->Journal().Clear();
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, Typed(panel, {"x.txt"}, 0, "new\\deep\\"));
    EXPECT_EQ(host->MessageText(MTransitNotMade), host->Journal().Prompts().back()->lines[0]);
    EXPECT_EQ(0u, phone->Count(Op::DirMake));
    SetEnvironmentVariableA("TMP", transit.c_str());

    // The phone won't make the folder.
    phone_emu::Rule refuse;
    refuse.op = Op::DirMake;
    phone->Options().rules.push_back(refuse);
    host->Journal().Clear();
    host->Script().AnswerMessage(0);
    EXPECT_EQ(0, Typed(panel, {"x.txt"}, 0, "new\\deep\\"));
    EXPECT_EQ(host->MessageText(MPhoneFolderNotMade), host->Journal().Prompts().back()->lines[0]);
    EXPECT_EQ(0u, phone->Count(Op::FileCopy));
    EXPECT_FALSE(OnPhone("docs\\new"));
    DeleteFileA((transit + "\\afile").c_str());
    ExpectNothingLeftOnThePc();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

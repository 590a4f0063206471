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

TEST_F(CopyOnPhone, TheItemItselfOrAPlaceInsideItIsRefused)
{
    HANDLE panel = OpenAt("C:");
    for (const char* typed : {"a.txt", ".\\", "docs\\sub\\"}) {
        host->Journal().Clear();
        host->Script().AnswerMessage(0);
        std::string name = std::string(typed) == "docs\\sub\\" ? "docs" : "a.txt";
        EXPECT_EQ(0, Typed(panel, {name}, 1, typed)) << typed;
        ASSERT_EQ(1u, host->Journal().Prompts().size()) << typed;
        EXPECT_EQ(host->MessageText(MOntoItself), host->Journal().Prompts()[0]->lines[0]);
        EXPECT_EQ(0u, phone->Count(Op::FileCopy)) << typed;
    }
    EXPECT_EQ("A", ReadFileText(PhonePath("C\\a.txt")));
    EXPECT_EQ("Y", ReadFileText(PhonePath("C\\docs\\sub\\y.txt")));
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

class CopyOnPhoneCyrillic : public CopyOnPhone {};

TEST_F(CopyOnPhoneCyrillic, AFolderRenamedByLetterCaseStaysWhole)
{
    if (GetOEMCP() != 866) GTEST_SKIP() << "needs the Russian locale (OEM 866)";
    std::wstring drive = Widen(PhonePath("C"));
    ASSERT_TRUE(CreateDirectoryW((drive + L"\\Фото").c_str(), NULL));
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

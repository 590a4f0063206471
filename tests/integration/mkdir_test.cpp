// Making a folder on the phone, through the host's MakeDirectory.
#include "put_support.h"
#include "message_ids.h"

namespace kelp_test {
namespace {

using phone_emu::Op;

class MakeFolder : public PhoneChangeTest {
protected:
    // Runs the host's make-folder command with the dialog answered: closed
    // by `close` with `typed` in the edit field.
    int Make(HANDLE panel, int close, const std::string& typed, std::string* left = nullptr)
    {
        phone->ClearJournal();
        host->Script().AnswerDialog(close, {{2, typed}});
        std::string name;
        int result = host->MakeDirectory(panel, name);
        if (left) *left = name;
        return result;
    }
};

TEST_F(MakeFolder, CreatesRefusesAnExistingNameAndCancels)
{
    ASSERT_TRUE(MakeDirs(PhonePath("C\\docs\\old")));
    HANDLE panel = OpenAt("C:\\docs");

    EXPECT_EQ(1, Make(panel, 4, "new"));
    EXPECT_TRUE(IsDirectory(PhonePath("C\\docs\\new")));
    EXPECT_EQ((std::vector<std::string>{"C:\\docs\\new"}), Requests(Op::DirMake));
    const host_emu::JournalEntry* dialog = host->Journal().LastDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(host->MessageText(MMakeDirTitle), dialog->title);
    EXPECT_EQ(host::DI_TEXT, dialog->items[3].type);  // the host's separator item
    EXPECT_EQ((DWORD)(host::DIF_SEPARATOR | host::DIF_BOXCOLOR), dialog->items[3].flags);

    EXPECT_EQ(0, Make(panel, 4, "old"));  // the phone answers that it exists
    EXPECT_EQ(1u, phone->Count(Op::DirMake));

    std::string left;
    EXPECT_EQ(-1, Make(panel, -1, "esc", &left));
    EXPECT_EQ("esc", left);  // the host leaves the typed text, as it does
    EXPECT_EQ(-1, Make(panel, 5, "cancelled"));
    EXPECT_EQ(0u, phone->Count(Op::DirMake));
    EXPECT_EQ((std::vector<std::string>{"new", "old"}), ListNames(PhonePath("C\\docs")));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(MakeFolder, NamesThatMakeNoFolder)
{
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(0, Make(panel, 4, ""));  // would name the drive itself: nothing is sent
    EXPECT_EQ(0u, phone->Count(Op::DirMake));

    // The edit field holds more than the host's buffer: the name comes back
    // cut to it, and a path that does not fit is never sent.
    std::string left;
    EXPECT_EQ(0, Make(panel, 4, std::string(300, 'n'), &left));
    EXPECT_EQ(std::string(259, 'n'), left);
    EXPECT_EQ(0u, phone->Count(Op::DirMake));
    EXPECT_TRUE(ListNames(PhonePath("C")).empty());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// The host words its failure box from the thread's last error.
TEST_F(MakeFolder, FailuresLeaveTheHostTheirReason)
{
    ASSERT_TRUE(MakeDirs(PhonePath("C\\old")));
    HANDLE panel = OpenAt("C:");
    struct Case {
        std::string name;
        DWORD error;
        size_t requests;
    } cases[] = {
        {"old", ERROR_ALREADY_EXISTS, 1},
        {"", ERROR_INVALID_NAME, 0},
        {"a:b", ERROR_INVALID_NAME, 0},
        {"x\\y", ERROR_PATH_NOT_FOUND, 1},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(0, Make(panel, 4, c.name)) << c.name;
        EXPECT_EQ(c.error, GetLastError()) << c.name;
        EXPECT_EQ(c.requests, phone->Count(Op::DirMake)) << c.name;
    }

    // A server that refuses the request: the device is not ready.
    phone_emu::Rule refuse;
    refuse.op = Op::DirMake;
    refuse.action = phone_emu::Action::Refuse;
    phone->Options().rules.push_back(refuse);
    SetLastError(0);
    EXPECT_EQ(0, Make(panel, 4, "new"));
    EXPECT_EQ((DWORD)ERROR_NOT_READY, GetLastError());
    phone->Options().rules.clear();

    // The list of drives (Ctrl+\\, and the host's read): refused with
    // Kelp's own box before the dialog, and -1 so the host adds none.
    host->SetDirectory(panel, "\\");
    Read(panel);
    host->Journal().Clear();
    host->Script().AnswerMessage(0);
    std::string name;
    phone->ClearJournal();
    EXPECT_EQ(-1, host->MakeDirectory(panel, name));
    EXPECT_TRUE(host->Journal().Dialogs().empty());
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MNotAtDriveList), host->Journal().Prompts()[0]->lines[0]);
    EXPECT_TRUE(phone->Journal().empty());
    EXPECT_EQ((std::vector<std::string>{"old"}), ListNames(PhonePath("C")));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(MakeFolder, CyrillicFolderIsMadeAndDeleted)
{
    if (GetOEMCP() != 866) GTEST_SKIP() << "needs the Russian OEM code page";
    const std::wstring name = L"\u041d\u043e\u0432\u0430\u044f";  // Новая
    const std::wstring onPc = Widen(PhonePath("C")) + L"\\" + name;
    HANDLE panel = OpenAt("C:");

    EXPECT_EQ(1, Make(panel, 4, Narrow(name)));  // typed in the console's code page
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(onPc.c_str()));
    EXPECT_TRUE(GetFileAttributesW(onPc.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    HANDLE file = CreateFileW((onPc + L"\\\u0444.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);  // ф.txt
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);

    std::vector<host::PluginPanelItem> items = Select(panel, {Narrow(name)});
    host->Script().AnswerMessage(0);
    host->Script().AnswerMessage(0);
    EXPECT_EQ(1, host->DeleteFiles(panel, items));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(onPc.c_str()));
    std::vector<phone_emu::JournalEntry> removed = phone->Journal(Op::DirRemove);
    ASSERT_EQ(1u, removed.size());
    EXPECT_EQ(L"C:\\" + name + L"\\", removed[0].path);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

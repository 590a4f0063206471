// Folder listings as the host reads them: sizes around the array's growth,
// the phone failing part way, and the phone's names taken as outside input.
#include "integration_support.h"
#include "message_ids.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kelp_test {
namespace {

class PanelListing : public KelpTest {
protected:
    // Empty files n0000 ... under the phone folder `relative`.
    std::vector<std::string> MakeFiles(const std::string& relative, int count)
    {
        std::vector<std::string> names;
        EXPECT_TRUE(MakeDirs(PhonePath(relative)));
        for (int i = 0; i < count; ++i) {
            char name[16];
            snprintf(name, sizeof(name), "n%04d", i);
            std::string path = PhonePath(relative + "\\" + name);
            HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, NULL);
            EXPECT_NE(INVALID_HANDLE_VALUE, file) << path;
            CloseHandle(file);
            names.push_back(name);
        }
        return names;
    }

    static std::vector<std::string> Sorted(std::vector<std::string> names)
    {
        std::sort(names.begin(), names.end());
        return names;
    }

    // Every enumeration the phone opened was closed exactly once.
    void ExpectEveryOpenClosedOnce()
    {
        EXPECT_EQ(0, phone->Counters().openEnumerations);
        auto closes = phone->Journal(phone_emu::Op::DirClose);
        for (const phone_emu::JournalEntry& open : phone->Journal(phone_emu::Op::DirOpen)) {
            if (!open.completed || open.status != 0) continue;
            long n = std::count_if(closes.begin(), closes.end(), [&](const phone_emu::JournalEntry& c) {
                return c.value == open.resultValue;
            });
            EXPECT_EQ(1, n) << "handle " << open.resultValue;
        }
    }

    // GetFindData called as the host calls it, outputs primed with values
    // the plug-in must leave alone when it fails.
    int RawFind(HANDLE panel, host::PluginPanelItem** items, int* count)
    {
        *items = reinterpret_cast<host::PluginPanelItem*>(0x1234);
        *count = -7;
        return host->Exports().GetFindData(panel, items, count, 0);
    }
};

TEST_F(PanelListing, SizesAroundTheGrowthStepAndALargeFolder)
{
    struct Case {
        const char* folder;
        int count;
    } cases[] = {{"C\\n0", 0},   {"C\\n11", 11}, {"C\\n12", 12},
                 {"C\\n64", 64}, {"C\\n65", 65}, {"C\\n5000", 5000}};
    std::vector<std::vector<std::string>> expected;
    for (const Case& c : cases) expected.push_back(MakeFiles(c.folder, c.count));

    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    host->SetDirectory(panel, "C:");
    for (size_t i = 0; i < expected.size(); ++i) {
        std::string name = std::string(cases[i].folder).substr(2);
        host->SetDirectory(panel, name);
        host_emu::PanelListing listing = Read(panel);
        ASSERT_EQ((size_t)cases[i].count, listing.items.size()) << name;
        EXPECT_EQ(expected[i], Sorted(listing.Names())) << name;
        for (const host::PluginPanelItem& item : listing.items) {
            EXPECT_EQ(0u, item.FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
            EXPECT_EQ(0u, item.FindData.nFileSizeLow);
            EXPECT_EQ(0u, item.Flags);
        }
        host->SetDirectory(panel, "..");
    }
    ExpectEveryOpenClosedOnce();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PanelListing, EmptyFolderAndEmptyDriveMaskSucceedWithNothing)
{
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    host::PluginPanelItem* items;
    int count;

    // The drive E: is an empty folder: its first read ends the listing.
    host->SetDirectory(panel, "E:");
    ASSERT_EQ(1, RawFind(panel, &items, &count));
    EXPECT_EQ(nullptr, items);
    EXPECT_EQ(0, count);
    host->Exports().FreeFindData(panel, items, count);
    EXPECT_EQ(1u, phone->Count(phone_emu::Op::DirRead));

    phone->Options().overrideDriveMask = true;
    phone->Options().driveMask = 0;
    host->SetDirectory(panel, "\\");
    ASSERT_EQ(1, RawFind(panel, &items, &count));
    EXPECT_EQ(0, count);
    host->Exports().FreeFindData(panel, items, count);
    EXPECT_TRUE(Names(panel).empty());
    EXPECT_TRUE(host->IsOpen(panel));

    ExpectEveryOpenClosedOnce();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PanelListing, PhoneFailuresFailTheReadAndCloseWhatWasOpened)
{
    MakeFiles("C\\many", 30);
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    host->SetDirectory(panel, "C:");
    host->SetDirectory(panel, "many");
    Read(panel);  // the listing read on entering
    host::PluginPanelItem* items;
    int count;

    // The sixth read fails: after five entries, inside the first block.
    // Then a failure after the first block has grown.
    for (int occurrence : {6, 20}) {
        phone->ClearJournal();
        phone_emu::Rule broken;
        broken.op = phone_emu::Op::DirRead;
        broken.status = phone_emu::StatusIoError;
        broken.occurrence = occurrence;
        phone->Options().rules = {broken};
        EXPECT_EQ(0, RawFind(panel, &items, &count)) << occurrence;
        EXPECT_EQ(reinterpret_cast<host::PluginPanelItem*>(0x1234), items);
        EXPECT_EQ(-7, count);
        EXPECT_EQ((size_t)occurrence, phone->Count(phone_emu::Op::DirRead));
        EXPECT_EQ(1u, phone->Count(phone_emu::Op::DirClose));
        ExpectEveryOpenClosedOnce();
    }

    // The rule has had its occurrence: the same folder reads whole again.
    EXPECT_EQ(30u, Names(panel).size());

    // A folder the phone doesn't have: nothing opened, nothing to close.
    phone->Options().rules.clear();
    host->SetDirectory(panel, "..");
    Read(panel);
    phone->ClearJournal();
    host->Script().AnswerMessage(0);  // not found
    EXPECT_EQ(0, host->SetDirectory(panel, "missing"));
    ASSERT_EQ(1u, phone->Count(phone_emu::Op::DirOpen));
    EXPECT_NE(0, phone->Journal(phone_emu::Op::DirOpen)[0].status);
    EXPECT_EQ(0u, phone->Count(phone_emu::Op::DirRead));
    EXPECT_EQ(0u, phone->Count(phone_emu::Op::DirClose));

    // The drive mask refused: the drive list can't be entered or read.
    phone_emu::Rule noDrives;
    noDrives.op = phone_emu::Op::DriveList;
    phone->Options().rules = {noDrives};
    EXPECT_EQ(0, host->SetDirectory(panel, "\\"));

    ExpectEveryOpenClosedOnce();
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// The host throws out a panel whose read fails: a folder that is missing,
// too long or has vanished must not come to that.
TEST_F(PanelListing, FoldersThatCannotBeReadLeaveThePanelOpen)
{
    ASSERT_TRUE(MakeDirs(PhonePath("C\\a\\b")));
    ASSERT_TRUE(WriteFileText(PhonePath("C\\a\\f.txt"), "f"));
    HANDLE panel = OpenAt("C:\\a");
    auto curDir = [&] {
        host::OpenPluginInfo info = {};
        host->Exports().GetOpenPluginInfo(panel, &info);
        return std::string(info.CurDir);
    };

    // A folder the phone never had ("cd gone") and one deleted on the phone
    // since it was listed (Enter on it) are said once, by name; a silent
    // change says nothing, nor does a path too long to ask for.
    ASSERT_TRUE(MakeDirs(PhonePath("C\\a\\vanished")));
    EXPECT_EQ(3u, Names(panel).size());
    RemoveTree(PhonePath("C\\a\\vanished"));
    for (const char* missing : {"gone", "vanished"}) {
        host->Journal().Clear();
        host->Script().AnswerMessage(0);
        EXPECT_EQ(0, host->SetDirectory(panel, missing));
        EXPECT_EQ(0, host->SetDirectory(panel, missing, host::OPM_SILENT));
        ASSERT_EQ(1u, host->Journal().Prompts().size()) << missing;
        const host_emu::JournalEntry& told = *host->Journal().Prompts()[0];
        EXPECT_EQ(host->MessageText(MFolderNotFound), told.lines[0]);
        EXPECT_EQ(std::string("C:\\a\\") + missing, told.lines[1]);
    }
    EXPECT_EQ(0, host->SetDirectory(panel, std::string(300, 'x')));
    EXPECT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ((std::vector<std::string>{"b", "f.txt"}), Names(panel));
    EXPECT_EQ("C:\\a", curDir());

    // Ctrl+R after the current folder went away on the phone: its parent.
    ASSERT_EQ(1, host->SetDirectory(panel, "b"));
    Read(panel);
    RemoveTree(PhonePath("C\\a\\b"));
    EXPECT_EQ(std::vector<std::string>{"f.txt"}, Names(panel));
    EXPECT_EQ("C:\\a", curDir());
    EXPECT_TRUE(host->IsOpen(panel));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PanelListing, NamesThatAreNotPlainChildrenNeverReachTheHost)
{
    ASSERT_TRUE(WriteFileText(PhonePath("C\\real.txt"), "r"));

    remote::RemoteEntry unterminated = phone_emu::MakeEntry(L"x");
    for (int i = 0; i < 256; ++i) unterminated.name[i] = L'u';
    remote::RemoteEntry longest = phone_emu::MakeEntry(std::wstring(255, L'L'));
    remote::RemoteEntry badShort = phone_emu::MakeEntry(L"shortless.txt");
    for (int i = 0; i < 272; ++i) badShort.shortName[i] = L's';

    phone->Options().extraEntriesDir = L"C:\\";
    phone->Options().extraEntries = {
        phone_emu::MakeEntry(L"first.txt", FILE_ATTRIBUTE_NORMAL, 3),
        phone_emu::MakeEntry(L".", FILE_ATTRIBUTE_DIRECTORY),
        phone_emu::MakeEntry(L"..", FILE_ATTRIBUTE_DIRECTORY),
        phone_emu::MakeEntry(L"..\\x"),
        phone_emu::MakeEntry(L"a/b"),
        phone_emu::MakeEntry(L"c:d"),
        phone_emu::MakeEntry(L""),
        phone_emu::MakeEntry(L"w*"),
        phone_emu::MakeEntry(L"q?"),
        phone_emu::MakeEntry(L"\\"),
        phone_emu::MakeEntry(L"tab\tname"),
        unterminated,
        phone_emu::MakeEntry(L"zh\u4E2D.txt"),
        phone_emu::MakeEntry(L"middle", FILE_ATTRIBUTE_DIRECTORY),
        longest,
        badShort,
        phone_emu::MakeEntry(L"last.txt", FILE_ATTRIBUTE_NORMAL, 7),
    };

    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    host->SetDirectory(panel, "C:");
    host_emu::PanelListing listing = Read(panel);
    // The good ones keep the phone's order, around the bad ones.
    EXPECT_EQ((std::vector<std::string>{"real.txt", "first.txt", "zh_.txt", "middle",
                                        std::string(255, 'L'),
                                        "shortless.txt", "last.txt"}),
              listing.Names());
    for (const host::PluginPanelItem& item : listing.items) {
        EXPECT_TRUE(memchr(item.FindData.cFileName, 0, sizeof(item.FindData.cFileName)));
        EXPECT_TRUE(memchr(item.FindData.cAlternateFileName, 0,
                           sizeof(item.FindData.cAlternateFileName)));
    }
    const host::PluginPanelItem* last = listing.Find("last.txt");
    ASSERT_TRUE(last);
    EXPECT_EQ(7u, last->FindData.nFileSizeLow);
    EXPECT_EQ(0u, last->FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    const host::PluginPanelItem* middle = listing.Find("middle");
    ASSERT_TRUE(middle);
    EXPECT_TRUE(middle->FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);

    // A folder of nothing but bad names lists as empty, and is still closed.
    phone->Options().extraEntriesDir = L"E:\\";
    phone->Options().extraEntries = {phone_emu::MakeEntry(L".."), unterminated};
    host->SetDirectory(panel, "\\");
    host->SetDirectory(panel, "E:");
    host::PluginPanelItem* items = nullptr;
    int count = -1;
    ASSERT_EQ(1, host->Exports().GetFindData(panel, &items, &count, 0));
    EXPECT_EQ(0, count);
    host->Exports().FreeFindData(panel, items, count);
    EXPECT_EQ(0, phone->Counters().openEnumerations);

    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

// Folder listings as the host reads them: sizes around the array's growth,
// the phone failing part way, the phone's names taken as outside input, and
// the reads FAR makes after Kelp's own operations and on Ctrl+R.
#include "far_sequences.h"
#include "integration_support.h"
#include "message_ids.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

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
            HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
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

// C:\box with files and folders whose names sort differently by case, and
// the PC folder's c.txt and E.txt to copy in. FAR reads the panel after each
// operation (RefreshAfterOperation); what it gets must be what a full
// listing made then gives, item for item in the server's order.
class RefreshAfterOperation : public KelpTest {
protected:
    void SetUp() override
    {
        KelpTest::SetUp();
        if (HasFailure()) return;
        for (const char* name : {"b.txt", "D.txt", "f.txt", "h.txt", "_u.txt", "k1", "k2", "k3",
                                 "m.txt", "Sub\\s.txt", "Sub\\t.txt", "Zed\\z.txt"}) {
            std::string path = PhonePath(std::string("C\\box\\") + name);
            ASSERT_TRUE(MakeDirs(path.substr(0, path.rfind('\\'))) && WriteFileText(path, name));
        }
        ASSERT_TRUE(WriteFileText(PcPath("c.txt"), "cc") && WriteFileText(PcPath("E.txt"), "e"));
        ASSERT_TRUE(MakeDirs(PcPath("out")));
    }

    size_t Listings() { return phone->Journal(phone_emu::Op::DirOpen).size(); }

    // FAR's refresh of `panel` after an operation, and how many listings it
    // asked the phone for.
    host_emu::PanelListing Refresh(HANDLE panel, size_t* listings = nullptr, HANDLE other = nullptr,
                                   host_emu::PanelListing* otherRead = nullptr)
    {
        size_t before = Listings();
        host_emu::PanelListing read;
        EXPECT_TRUE(host_emu::RefreshAfterOperation(*host, panel, read, other, otherRead));
        if (listings) *listings = Listings() - before;
        return read;
    }

    // `served` is what a panel opened on `folder` now reads.
    void ExpectAsListedNow(const host_emu::PanelListing& served, const std::string& folder,
                           const std::string& step)
    {
        HANDLE fresh = OpenAt(folder);
        host_emu::PanelListing full = Read(fresh);
        host->ClosePlugin(fresh);
        EXPECT_EQ(full.Names(), served.Names()) << step;
        for (size_t i = 0; i < full.items.size() && i < served.items.size(); ++i) {
            const host::FAR_FIND_DATA& a = full.items[i].FindData;
            const host::FAR_FIND_DATA& b = served.items[i].FindData;
            EXPECT_TRUE(a.dwFileAttributes == b.dwFileAttributes &&
                        a.nFileSizeLow == b.nFileSizeLow && a.nFileSizeHigh == b.nFileSizeHigh &&
                        CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0)
                << step << ": " << a.cFileName;
        }
    }

    int GetFiles(HANDLE panel, const std::vector<std::string>& names, int move,
                 const std::string& typed)
    {
        host->Script().AnswerDialog(4, {{2, typed}});
        std::vector<host::PluginPanelItem> items = Select(panel, names);
        std::string dest = PcPath("out");
        return host->GetFiles(panel, items, move, dest);
    }
    int Delete(HANDLE panel, const std::vector<std::string>& names, std::vector<int> answers)
    {
        for (int answer : answers) host->Script().AnswerMessage(answer);
        std::vector<host::PluginPanelItem> items = Select(panel, names);
        return host->DeleteFiles(panel, items);
    }
    int Put(HANDLE panel, const std::vector<std::string>& names)
    {
        std::vector<host::PluginPanelItem> items;
        for (const std::string& name : names) items.push_back(host_emu::MakeDiskItem(pcRoot, name));
        return host->PutFiles(panel, items, 0, pcRoot);
    }
};

TEST_F(RefreshAfterOperation, EachOperationsChangesWithoutAListingAndCtrlRListsOnce)
{
    HANDLE panel = OpenAt("C:\\box");
    struct Step {
        const char* what;
        std::function<int()> run;
    } steps[] = {
        {"F5 to the PC", [&] { return GetFiles(panel, {"b.txt"}, 0, PcPath("out")); }},
        {"F6 to the PC", [&] { return GetFiles(panel, {"D.txt", "Zed"}, 1, PcPath("out")); }},
        {"F8", [&] { return Delete(panel, {"f.txt"}, {0}); }},
        {"F8 on a folder", [&] { return Delete(panel, {"Sub"}, {0, 0}); }},
        {"F7", [&] {
             host->Script().AnswerDialog(4, {{2, "New"}});
             std::string name;
             return host->MakeDirectory(panel, name);
         }},
        {"F7 inside a new folder", [&] {
             host->Script().AnswerDialog(4, {{2, "New\\Inner"}});
             std::string name;
             return host->MakeDirectory(panel, name);
         }},
        {"F5 to the phone", [&] { return Put(panel, {"c.txt", "E.txt"}); }},
        {"F5 onto a file there", [&] {
             host->Script().AnswerMessage(0);  // overwrite
             return Put(panel, {"c.txt"});
         }},
        {"Shift+F6 on the phone", [&] { return GetFiles(panel, {"h.txt"}, 1, "a.txt"); }},
        {"F5 into a folder on the phone", [&] { return GetFiles(panel, {"m.txt"}, 0, "New\\"); }},
        {"Shift+F6 to other letters", [&] { return GetFiles(panel, {"_u.txt"}, 1, "_U.TXT"); }},
    };
    for (Step& step : steps) {
        ASSERT_EQ(1, step.run()) << step.what << host->Journal().Dump();
        size_t listings = 99;
        host_emu::PanelListing served = Refresh(panel, &listings);
        EXPECT_EQ(0u, listings) << step.what;
        ExpectAsListedNow(served, "C:\\box", step.what);
    }

    // Ctrl+R lists the folder once, the phone as it is.
    size_t before = Listings();
    host_emu::PanelListing read;
    ASSERT_TRUE(host_emu::CtrlR(*host, panel, read));
    EXPECT_EQ(1u, Listings() - before);
    ExpectAsListedNow(read, "C:\\box", "Ctrl+R");
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// F3 on a file fetches it and FAR reads nothing after: the user's Ctrl+R
// then shows the phone as it is, not the listing with the fetch's changes.
TEST_F(RefreshAfterOperation, CtrlRShowsWhatAppearedOnThePhoneByItself)
{
    HANDLE panel = OpenAt("C:\\box");
    host_emu::PanelListing shown = Read(panel);
    ASSERT_TRUE(MakeDirs(PcPath("view")));
    EXPECT_NE("", host_emu::FetchToView(*host, panel, *shown.Find("b.txt"), PcPath("view"), false));
    ASSERT_TRUE(WriteFileText(PhonePath("C\\box\\new.txt"), "new"));
    host_emu::PanelListing read;
    ASSERT_TRUE(host_emu::CtrlR(*host, panel, read));
    EXPECT_TRUE(read.Find("new.txt"));
    ExpectAsListedNow(read, "C:\\box", "Ctrl+R");
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// An operation that failed part way or was stopped leaves the phone in a
// state Kelp can't account for: the read after it lists afresh.
TEST_F(RefreshAfterOperation, AFailedOrStoppedOperationListsAfresh)
{
    HANDLE panel = OpenAt("C:\\box");
    phone_emu::Rule fail;
    fail.op = phone_emu::Op::FileDelete;
    fail.pathContains = L"D.txt";
    phone->Options().rules.push_back(fail);
    EXPECT_EQ(0, Delete(panel, {"b.txt", "D.txt"}, {0, 0}));
    size_t listings = 0;
    ExpectAsListedNow(Refresh(panel, &listings), "C:\\box", "failed");
    EXPECT_EQ(1u, listings);

    // Esc while the delete's first item is under way stops it before the second.
    host->SetHook([&](const host_emu::JournalEntry&) {
        host->Exports().ProcessKey(panel, host::KEY_ESC, 0);
    });
    EXPECT_EQ(0, Delete(panel, {"f.txt", "h.txt"}, {0, 0}));
    host->SetHook(nullptr);
    EXPECT_TRUE(PathExists(PhonePath("C\\box\\h.txt")));
    ExpectAsListedNow(Refresh(panel, &listings), "C:\\box", "stopped");
    EXPECT_EQ(1u, listings);
    host->ClosePlugin(panel);
}

// Two Kelp panels: FAR moves a file from one to the other through a PC
// folder (GetFiles, PutFiles, the silent delete), then reads both. The
// panel that received the file shows the folder the file left, whose time
// the move changed afterwards: it lists afresh.
TEST_F(RefreshAfterOperation, TwoPanelsEachShowWhatTheOtherDid)
{
    HANDLE from = OpenAt("C:\\box\\Sub");
    HANDLE to = OpenAt("C:\\box");
    std::vector<host::PluginPanelItem> items = Select(from, {"s.txt"});
    std::string temp = PcPath("out");
    ASSERT_EQ(1, host->GetFiles(from, items, 0, temp, host::OPM_SILENT));
    std::vector<host::PluginPanelItem> landed = {host_emu::MakeDiskItem(temp, "s.txt")};
    ASSERT_EQ(1, host->PutFiles(to, landed, 0, temp));
    ASSERT_EQ(1, host->DeleteFiles(from, items, host::OPM_SILENT));

    host_emu::PanelListing toRead;
    host_emu::PanelListing fromRead = Refresh(from, nullptr, to, &toRead);
    ExpectAsListedNow(fromRead, "C:\\box\\Sub", "the panel moved from");
    ExpectAsListedNow(toRead, "C:\\box", "the panel moved to");
    EXPECT_TRUE(toRead.Find("s.txt") && !fromRead.Find("s.txt"));
    host->ClosePlugin(from);
    host->ClosePlugin(to);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

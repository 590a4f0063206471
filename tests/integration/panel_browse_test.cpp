// A user's walk through the phone: drive list, a drive, a folder and back,
// with the title, the current folder and the information panel following.
#include "integration_support.h"
#include "message_ids.h"

#include <cstdio>
#include <cstring>

namespace kelp_test {
namespace {

class PanelBrowse : public KelpTest {
protected:
    // What the host shows after a listing: the description asked right after it.
    host::OpenPluginInfo Describe(HANDLE panel)
    {
        host::OpenPluginInfo info;
        memset(&info, 0, sizeof(info));
        host->Exports().GetOpenPluginInfo(panel, &info);
        return info;
    }

    std::vector<std::wstring> DirOpenPaths()
    {
        std::vector<std::wstring> paths;
        for (const phone_emu::JournalEntry& e : phone->Journal(phone_emu::Op::DirOpen))
            paths.push_back(e.path);
        return paths;
    }

    void ExpectBalancedEnumerations()
    {
        EXPECT_EQ(0, phone->Counters().openEnumerations);
        for (const phone_emu::JournalEntry& open : phone->Journal(phone_emu::Op::DirOpen)) {
            if (open.status != 0) continue;
            int closes = 0;
            for (const phone_emu::JournalEntry& close : phone->Journal(phone_emu::Op::DirClose))
                if (close.value == open.resultValue) ++closes;
            EXPECT_EQ(1, closes) << "handle " << open.resultValue;
        }
    }
};

TEST_F(PanelBrowse, DrivesFoldersBackAndTopWithTitleAndCurrentFolder)
{
    ASSERT_TRUE(MakeDirs(PhonePath("C\\docs\\deep")));
    ASSERT_TRUE(WriteFileText(PhonePath("C\\readme.txt"), "hello"));
    ASSERT_TRUE(WriteFileText(PhonePath("C\\docs\\a.txt"), "a"));

    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);

    host_emu::PanelListing top = Read(panel);
    EXPECT_EQ(0x60Fu, top.flags);
    EXPECT_EQ(host->MessageText(MPanelFormat), top.format);
    EXPECT_EQ("", top.curDir);
    EXPECT_EQ("Kelp:", top.panelTitle);
    ASSERT_EQ((std::vector<std::string>{"C:", "E:"}), top.Names());
    for (const host::PluginPanelItem& item : top.items) {
        // A drive item is its attribute and its name; every other byte is zero.
        host::PluginPanelItem expected;
        memset(&expected, 0, sizeof(expected));
        expected.FindData.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
        memcpy(expected.FindData.cFileName, item.FindData.cFileName, 2);
        EXPECT_EQ(0, memcmp(&expected, &item, sizeof(item))) << item.FindData.cFileName;
    }

    EXPECT_EQ(1, host->SetDirectory(panel, "C:"));
    host_emu::PanelListing drive = Read(panel);
    EXPECT_EQ("C:", drive.curDir);
    EXPECT_EQ("Kelp:C:", drive.panelTitle);
    EXPECT_EQ((std::vector<std::string>{"docs", "readme.txt"}), drive.Names());
    const host::PluginPanelItem* docs = drive.Find("docs");
    ASSERT_TRUE(docs);
    EXPECT_TRUE(docs->FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    const host::PluginPanelItem* readme = drive.Find("readme.txt");
    ASSERT_TRUE(readme);
    EXPECT_EQ(5u, readme->FindData.nFileSizeLow);

    EXPECT_EQ(1, host->SetDirectory(panel, "docs"));
    host_emu::PanelListing folder = Read(panel);
    EXPECT_EQ("C:\\docs", folder.curDir);
    EXPECT_EQ("Kelp:C:\\docs", folder.panelTitle);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "deep"}), folder.Names());

    EXPECT_EQ(1, host->SetDirectory(panel, "deep"));
    EXPECT_EQ(std::vector<std::string>{}, Names(panel));
    EXPECT_EQ(1, host->SetDirectory(panel, ".."));
    host_emu::PanelListing back = Read(panel);
    EXPECT_EQ("C:\\docs", back.curDir);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "deep"}), back.Names());

    EXPECT_EQ(1, host->SetDirectory(panel, "\\"));
    host_emu::PanelListing again = Read(panel);
    EXPECT_EQ("", again.curDir);
    EXPECT_EQ("Kelp:", again.panelTitle);
    EXPECT_EQ((std::vector<std::string>{"C:", "E:"}), again.Names());

    // A drive root is listed as letter, colon, backslash; deeper folders end
    // with a backslash too.
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\", L"C:\\docs\\", L"C:\\docs\\deep\\",
                                         L"C:\\docs\\"}),
              DirOpenPaths());
    ExpectBalancedEnumerations();

    // Typed in another case, a folder takes the phone's own spelling once
    // listed, so the title and a shortcut saved there read as the phone
    // names them: a child of the folder FAR shows by its listing, deeper
    // parts by what the phone answers for each.
    EXPECT_EQ(1, host->SetDirectory(panel, "C:"));
    Read(panel);
    phone->ClearJournal();
    EXPECT_EQ(1, host->SetDirectory(panel, "DOCS"));
    EXPECT_EQ("Kelp:C:\\docs", Read(panel).panelTitle);
    EXPECT_EQ(0u, phone->Journal(phone_emu::Op::EntryInfo).size());
    EXPECT_EQ(1, host->SetDirectory(panel, "c:\\Docs\\DEEP"));
    host_emu::PanelListing typed = Read(panel);
    EXPECT_EQ("C:\\docs\\deep", typed.curDir);
    EXPECT_EQ("Kelp:C:\\docs\\deep", typed.panelTitle);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PanelBrowse, DrivesComeInLetterOrderFromTheWholeMask)
{
    phone->Options().overrideDriveMask = true;
    phone->Options().driveMask = (1u << 25) | (1u << 4) | (1u << 2) | 1u;
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    EXPECT_EQ((std::vector<std::string>{"A:", "C:", "E:", "Z:"}), Names(panel));
    EXPECT_EQ(1u, phone->Count(phone_emu::Op::DriveList));
    EXPECT_EQ(0u, phone->Count(phone_emu::Op::VolumeInfo));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PanelBrowse, InformationLinesFollowTheDriveKindAndFigures)
{
    struct Kind {
        LONG code;
        int message;
    } kinds[] = {{3, MKind3}, {6, MKind6}, {7, MKind7}, {4, MKindOther}};

    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    Read(panel);
    EXPECT_EQ(0, Describe(panel).InfoLinesNumber) << "the drive list has no drive to describe";

    host->SetDirectory(panel, "C:");
    for (const Kind& kind : kinds) {
        phone_emu::VolumeOverride v;
        v.driveIndex = 2;
        v.volume.kindCode = kind.code;
        v.volume.figure1 = 1234567890123LL;
        v.volume.figure2 = 999;
        wcscpy(v.volume.wideText, L"MY PHONE");
        memcpy(v.volume.tagText, "TAG12345", 8);  // fills the field, no terminator
        v.volume.validMark = 1;
        phone->Options().volumes = {v};

        Read(panel);
        host::OpenPluginInfo info = Describe(panel);
        ASSERT_EQ(4, info.InfoLinesNumber) << "kind " << kind.code;
        ASSERT_TRUE(info.InfoLines);
        char heading[200];
        snprintf(heading, sizeof(heading), host->MessageText(MInfoHeading).c_str(), "TAG12345",
                 host->MessageText(kind.message).c_str());
        EXPECT_STREQ(heading, info.InfoLines[0].Text) << "kind " << kind.code;
        EXPECT_EQ(1, info.InfoLines[0].Separator);
        EXPECT_EQ(host->MessageText(MInfoFigure1), info.InfoLines[1].Text);
        EXPECT_STREQ("1,234,567,890,123", info.InfoLines[1].Data);
        EXPECT_EQ(host->MessageText(MInfoFigure2), info.InfoLines[2].Text);
        EXPECT_STREQ("999", info.InfoLines[2].Data);
        EXPECT_EQ(host->MessageText(MInfoText), info.InfoLines[3].Text);
        EXPECT_STREQ("MY PHONE", info.InfoLines[3].Data);
        for (int line = 1; line < 4; ++line) EXPECT_EQ(0, info.InfoLines[line].Separator);
        EXPECT_STREQ("Kelp:C:", info.PanelTitle);
    }
    // A record the phone marks not valid describes nothing.
    {
        phone_emu::VolumeOverride v;
        v.driveIndex = 2;
        v.volume.kindCode = 3;
        v.volume.validMark = 0;
        phone->Options().volumes = {v};
        Read(panel);
        EXPECT_EQ(0, Describe(panel).InfoLinesNumber);
    }

    // The emulator's own record of drive E: a memory card with its label.
    phone->Options().volumes.clear();
    host->SetDirectory(panel, "\\");
    host->SetDirectory(panel, "E:");
    Read(panel);
    host::OpenPluginInfo card = Describe(panel);
    ASSERT_EQ(4, card.InfoLinesNumber);
    EXPECT_EQ("E: " + host->MessageText(MKind6), card.InfoLines[0].Text);
    EXPECT_STREQ("KELP-E", card.InfoLines[3].Data);

    // A drive whose record the phone won't give shows its files and no lines.
    phone_emu::Rule failing;
    failing.op = phone_emu::Op::VolumeInfo;
    failing.status = phone_emu::StatusIoError;
    phone->Options().rules = {failing};
    ASSERT_TRUE(WriteFileText(PhonePath("E\\x.txt"), "x"));
    EXPECT_EQ(std::vector<std::string>{"x.txt"}, Names(panel));
    EXPECT_EQ(0, Describe(panel).InfoLinesNumber);
    phone->Options().rules.clear();

    // Back at the drive list the lines go, though the drive's record was valid.
    host->SetDirectory(panel, "\\");
    host->SetDirectory(panel, "C:");
    Read(panel);
    ASSERT_EQ(4, Describe(panel).InfoLinesNumber);
    host->SetDirectory(panel, "\\");
    Read(panel);
    EXPECT_EQ(0, Describe(panel).InfoLinesNumber);

    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PanelBrowse, InformationPanelCountsTheNamesLeftOut)
{
    remote::RemoteEntry unterminated = phone_emu::MakeEntry(L"x");
    for (int i = 0; i < 256; ++i) unterminated.name[i] = L'u';
    phone->Options().extraEntriesDir = L"C:\\";
    // A name the console can't spell has a stand-in: not left out.
    phone->Options().extraEntries = {phone_emu::MakeEntry(L"zh\u4E2D.txt"), unterminated,
                                     phone_emu::MakeEntry(L"a/b"), phone_emu::MakeEntry(L"ok.txt")};
    HANDLE panel = OpenAt("C:");
    EXPECT_EQ((std::vector<std::string>{"zh_.txt", "ok.txt"}), Names(panel));
    host::OpenPluginInfo info = Describe(panel);
    ASSERT_EQ(5, info.InfoLinesNumber);
    EXPECT_EQ(host->MessageText(MInfoHidden), info.InfoLines[4].Text);
    EXPECT_STREQ("2 names that cannot be used here", info.InfoLines[4].Data);

    // Another folder with nothing left out has no such line.
    host->SetDirectory(panel, "\\");
    host->SetDirectory(panel, "E:");
    Read(panel);
    EXPECT_EQ(4, Describe(panel).InfoLinesNumber);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PanelBrowse, InformationPanelOppositeIsUpdatedOnEveryRead)
{
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);

    // A file panel opposite: asked about, never told to update.
    host->Journal().Clear();
    Read(panel);
    host->SetDirectory(panel, "C:");
    Read(panel);
    EXPECT_EQ(2u, host->Journal().Controls(host::FCTL_GETANOTHERPANELSHORTINFO).size());
    EXPECT_EQ(0u, host->Journal().Controls(host::FCTL_UPDATEANOTHERPANEL).size());

    host->Options().otherPanelType = host::PTYPE_INFOPANEL;
    host->Journal().Clear();
    Read(panel);
    host->SetDirectory(panel, "\\");
    Read(panel);
    auto asked = host->Journal().Controls(host::FCTL_GETANOTHERPANELSHORTINFO);
    auto updated = host->Journal().Controls(host::FCTL_UPDATEANOTHERPANEL);
    ASSERT_EQ(2u, asked.size());
    ASSERT_EQ(2u, updated.size());
    for (const host_emu::JournalEntry* e : updated) {
        EXPECT_EQ(INVALID_HANDLE_VALUE, e->plugin);
        EXPECT_EQ((void*)1, e->param);
    }
    for (const host_emu::JournalEntry* e : asked) EXPECT_EQ(INVALID_HANDLE_VALUE, e->plugin);
    // Asked first, then updated, within each read.
    const auto& entries = host->Journal().Entries();
    int pendingAsk = 0;
    for (const host_emu::JournalEntry& e : entries) {
        if (e.kind != host_emu::CallKind::Control) continue;
        if (e.command == host::FCTL_GETANOTHERPANELSHORTINFO) ++pendingAsk;
        if (e.command == host::FCTL_UPDATEANOTHERPANEL) {
            EXPECT_EQ(1, pendingAsk--);
        }
    }

    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PanelBrowse, LowerCaseDriveLetterStillNamesTheDrive)
{
    ASSERT_TRUE(WriteFileText(PhonePath("C\\f.txt"), ""));
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    phone->ClearJournal();
    host->SetDirectory(panel, "c:");
    EXPECT_EQ(std::vector<std::string>{"f.txt"}, Names(panel));
    auto volumes = phone->Journal(phone_emu::Op::VolumeInfo);
    ASSERT_EQ(1u, volumes.size());
    EXPECT_EQ(2u, volumes[0].value);
    auto opens = phone->Journal(phone_emu::Op::DirOpen);
    ASSERT_EQ(1u, opens.size());
    EXPECT_EQ(L"c:\\", opens[0].path);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

TEST_F(PanelBrowse, KeysAndEventsAnswerTheHost)
{
    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    const host_emu::PluginExports& e = host->Exports();
    // Esc stays the host's (it clears the command line) whatever the shift state.
    for (unsigned control : {0u, 0x1000u, 0x2000u, 0x4000u, 0xFFFFFFFFu})
        EXPECT_EQ(0, e.ProcessKey(panel, 27, control)) << control;
    EXPECT_EQ(0, e.ProcessKey(panel, 13, 0));
    EXPECT_EQ(0, e.ProcessKey(panel, 'A', 0));
    EXPECT_EQ(0, e.ProcessEvent(panel, 4, nullptr));
    EXPECT_EQ(0, e.ProcessEvent(panel, 0, nullptr));
    // The panel goes on listing after them.
    EXPECT_EQ((std::vector<std::string>{"C:", "E:"}), Names(panel));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

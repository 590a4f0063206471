// Names the console's code page can't spell, under either code page (the
// Russian run repeats these): each phone entry is listed under a stand-in
// that no other entry has, and every operation reaches the real entry; a PC
// name the narrow functions spell as another file's reaches the phone only
// as the file the user chose.
#include "copy_from_support.h"
#include "far_sequences.h"
#include "message_ids.h"
#include "test_files.h"

#include <algorithm>
#include <set>

namespace kelp_test {
namespace {

const std::wstring kCafe = L"Caf\u00E9.txt";
const std::wstring kMuller = L"M\u00FCller.pdf";
const std::wstring kJapanese = L"\u65E5\u672C\u8A9E.txt";
const std::wstring kEmoji = L"\xD83D\xDE00 smile.txt";
// What the code pages' fits of the names above may give: beside them, so a
// stand-in must avoid another entry's own name.
const std::wstring kTwins[] = {L"Cafe.txt", L"Muller.pdf", L"___.txt", L"_ smile.txt"};

class UnspelledNames : public CopyFromPhoneTest {
protected:
    void SetUp() override
    {
        CopyFromPhoneTest::SetUp();
        drive = Widen(PhonePath("C"));
        for (const std::wstring& name : {kCafe, kMuller, kJapanese, kEmoji})
            ASSERT_TRUE(test_files::WriteBytes(drive + L"\\" + name, Narrow(L"real ") + Bytes(name)));
        for (const std::wstring& name : kTwins)
            ASSERT_TRUE(test_files::WriteBytes(drive + L"\\" + name, "twin"));
        MakeDirs(PcPath("out"));
    }
    // A name's content, distinct per name, whatever the code page.
    static std::string Bytes(const std::wstring& name)
    {
        std::string out;
        for (wchar_t c : name) out += std::to_string((unsigned)c) + ",";
        return out;
    }
    static bool Spelled(const std::wstring& name)
    {
        BOOL usedDefault = FALSE;
        char out[520];
        return WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, out,
                                   sizeof(out), nullptr, &usedDefault) &&
               !usedDefault;
    }
    // The name the panel shows for the phone entry `real`, found by what it
    // carries: its own when spelled, else the stand-in of the item that is
    // neither a spelled name nor any other.
    std::string Shown(const host_emu::PanelListing& listing, const std::wstring& real)
    {
        if (Spelled(real)) return Narrow(real);
        // The one item that GetFiles, handed that item alone, copies as `real`.
        for (const host::PluginPanelItem& item : listing.items) {
            if (!(item.Flags & host::PPIF_USERDATA)) continue;
            std::string dest = PcPath("probe");
            MakeDirs(dest);
            std::vector<host::PluginPanelItem> one = {item};
            host->GetFiles(panelHandle, one, 0, dest, host::OPM_SILENT);
            bool it = test_files::Exists(Widen(dest) + L"\\" + real);
            RemoveTree(dest);
            if (it) return item.FindData.cFileName;
        }
        ADD_FAILURE() << "no item stands for " << Narrow(real);
        return std::string();
    }
    // PC items as the host makes them: read through the narrow functions.
    static std::vector<host::PluginPanelItem> HostDiskItems(const std::string& folder)
    {
        std::vector<host::PluginPanelItem> items;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return items;
        do {
            if (found.cFileName[0] == '.') continue;
            host::PluginPanelItem item;
            memset(&item, 0, sizeof(item));
            memcpy(&item.FindData, &found, sizeof(item.FindData));
            item.Flags = host::PPIF_SELECTED;
            items.push_back(item);
        } while (FindNextFileA(search, &found));
        FindClose(search);
        return items;
    }
    std::wstring drive;
    HANDLE panelHandle = INVALID_HANDLE_VALUE;
};

// The listing: every entry, each name unique as the host compares names,
// no wildcard or separator, the same on a second read; nothing counted as
// left out.
TEST_F(UnspelledNames, EveryEntryIsListedUnderAUniqueStableName)
{
    panelHandle = OpenAt("C:");
    host_emu::PanelListing first = Read(panelHandle);
    std::vector<std::string> names = first.Names();
    ASSERT_EQ(8u, names.size());
    std::set<std::string> folded;
    for (std::string name : names) {
        EXPECT_EQ(std::string::npos, name.find_first_of("?*\\/:")) << name;
        CharUpperBuffA(&name[0], (DWORD)name.size());
        folded.insert(name);
    }
    EXPECT_EQ(names.size(), folded.size());
    EXPECT_EQ(names, Read(panelHandle).Names());
    // The letters the code page has a fit for stay: "Japanese" is three
    // placeholders, the twin's own name is kept, the stand-in marked apart.
    EXPECT_TRUE(first.Find("___.txt"));
    EXPECT_EQ(0u, Shown(first, kJapanese).rfind("___~", 0)) << Shown(first, kJapanese);
    host::OpenPluginInfo info;
    host->Exports().GetOpenPluginInfo(panelHandle, &info);
    EXPECT_EQ(4, info.InfoLinesNumber);
    host->ClosePlugin(panelHandle);
    ExpectNoHostFaults();
}

// F5 and F6 both ways, byte-exact under the real names, and a folder copy
// whose files all arrive.
TEST_F(UnspelledNames, CopiesAndMovesBothWaysKeepRealNames)
{
    ASSERT_TRUE(CreateDirectoryW((drive + L"\\album").c_str(), nullptr));
    for (const std::wstring& name : {kCafe, kJapanese, kEmoji})
        ASSERT_TRUE(test_files::WriteBytes(drive + L"\\album\\" + name, "in album"));
    panelHandle = OpenAt("C:");
    host_emu::PanelListing listing = Read(panelHandle);
    std::vector<std::string> all = listing.Names();
    EXPECT_EQ(1, Copy(panelHandle, all, 0, PcPath("out"), host::OPM_SILENT));
    std::wstring out = Widen(PcPath("out"));
    EXPECT_EQ(test_files::Names(drive), test_files::Names(out));
    for (const std::wstring& name : {kCafe, kMuller, kJapanese, kEmoji})
        EXPECT_EQ(Narrow(L"real ") + Bytes(name), test_files::ReadBytes(out + L"\\" + name));
    EXPECT_EQ(test_files::Names(drive + L"\\album"), test_files::Names(out + L"\\album"));

    // F6 to the PC takes the stand-in's entry off the phone.
    std::string emoji = Shown(listing, kEmoji);
    RemoveTree(PcPath("out"));
    MakeDirs(PcPath("out"));
    EXPECT_EQ(1, Copy(panelHandle, {emoji}, 1, PcPath("out"), host::OPM_SILENT));
    EXPECT_EQ(std::vector<std::wstring>{kEmoji}, test_files::Names(out));
    EXPECT_FALSE(test_files::Exists(drive + L"\\" + kEmoji));

    // F6 back: the host's narrow names lead to the real files.
    std::vector<host::PluginPanelItem> back = HostDiskItems(PcPath("out"));
    EXPECT_EQ(1, host->PutFiles(panelHandle, back, 1, PcPath("out"), 0));
    EXPECT_EQ(Narrow(L"real ") + Bytes(kEmoji), test_files::ReadBytes(drive + L"\\" + kEmoji));
    EXPECT_TRUE(test_files::Names(out).empty());
    host->ClosePlugin(panelHandle);
    ExpectNoHostFaults();
}

// F8, Shift+F6 by a typed name and onto a stand-in, F3 and F4's save-back
// through the host's temporary folder, and Find.
TEST_F(UnspelledNames, EveryOperationReachesTheRealEntry)
{
    panelHandle = OpenAt("C:");
    host_emu::PanelListing listing = Read(panelHandle);
    std::string japanese = Shown(listing, kJapanese), muller = Shown(listing, kMuller);

    // F3: the stand-in's name in the host's folder, the real content; F4's
    // save-back writes the real entry, and nothing else.
    std::string view = FetchToView(*host, panelHandle, *listing.Find(japanese),
                                   PcPath("view"), false);
    EXPECT_EQ(PcPath("view") + "\\" + japanese, view);
    EXPECT_EQ(Narrow(L"real ") + Bytes(kJapanese), ReadFileText(view));
    ASSERT_TRUE(WriteFileText(view, "edited"));
    std::vector<host::PluginPanelItem> edited = HostDiskItems(PcPath("view"));
    EXPECT_EQ(1, host->PutFiles(panelHandle, edited, 0, PcPath("view"), host::OPM_EDIT));
    EXPECT_EQ("edited", test_files::ReadBytes(drive + L"\\" + kJapanese));
    EXPECT_EQ(8u, test_files::Names(drive).size());

    // Find finds it under its stand-in, and fetches it whole.
    host_emu::FindRun find;
    find.fetchInto = PcPath("found");
    MakeDirs(find.fetchInto);
    host_emu::FindFiles(*host, panelHandle, find);
    EXPECT_NE(find.found.end(), std::find(find.found.begin(), find.found.end(), "C:\\" + japanese));
    EXPECT_EQ(8, find.fetched);

    // Shift+F6 to a typed name, then onto another item's stand-in: that
    // item is replaced, no new name made.
    host->SetDirectory(panelHandle, "\\");
    host->SetDirectory(panelHandle, "C:");
    Read(panelHandle);
    host->Script().AnswerDialog(4, {{2, "renamed.pdf"}});
    EXPECT_EQ(1, Copy(panelHandle, {muller}, 1, PcPath("out")));
    EXPECT_EQ(Narrow(L"real ") + Bytes(kMuller), ReadFileText(PhonePath("C\\renamed.pdf")));
    EXPECT_FALSE(test_files::Exists(drive + L"\\" + kMuller));
    host->Script().AnswerDialog(4, {{2, japanese}});
    host->Script().AnswerMessage(0);  // overwrite
    EXPECT_EQ(1, Copy(panelHandle, {"renamed.pdf"}, 1, PcPath("out")));
    EXPECT_EQ(Narrow(L"real ") + Bytes(kMuller), test_files::ReadBytes(drive + L"\\" + kJapanese));
    EXPECT_FALSE(test_files::Exists(drive + L"\\" + Widen(japanese)));

    // F8 deletes the entry the stand-in names.
    Read(panelHandle);
    std::vector<host::PluginPanelItem> doomed = Select(panelHandle, {japanese});
    host->Script().AnswerMessage(0);
    EXPECT_EQ(1, host->DeleteFiles(panelHandle, doomed, 0));
    EXPECT_FALSE(test_files::Exists(drive + L"\\" + kJapanese));
    EXPECT_EQ(6u, test_files::Names(drive).size());  // eight, less the renamed and the deleted
    // FAR's read after it no longer shows it.
    EXPECT_EQ(nullptr, Read(panelHandle).Find(japanese));
    host->ClosePlugin(panelHandle);
    ExpectNoHostFaults();
}

// A folder under a stand-in is a folder like any other: entered, read and
// worked in (F5 both ways, F7, F8), left by "..", counted by F3, searched
// by Find, and reached by a shortcut, one from an earlier session (no
// listing has met its folder since) too.
TEST_F(UnspelledNames, AFolderUnderAStandInIsWalkedLikeAnyOther)
{
    const std::wstring japanese = L"\u65E5\u672C\u8A9E";
    const std::wstring folder = drive + L"\\" + japanese, cold = drive + L"\\cold\\" + japanese;
    for (const std::wstring& made : {folder, drive + L"\\cold", cold})
        ASSERT_TRUE(CreateDirectoryW(made.c_str(), nullptr));
    ASSERT_TRUE(test_files::WriteBytes(folder + L"\\inside.txt", "inside"));
    ASSERT_TRUE(test_files::WriteBytes(cold + L"\\cold.txt", "cold"));
    panelHandle = OpenAt("C:");
    std::string shown = Shown(Read(panelHandle), japanese);
    ASSERT_EQ(1, host->SetDirectory(panelHandle, shown));
    host_emu::PanelListing inside = Read(panelHandle);
    EXPECT_EQ("C:\\" + shown, inside.curDir);
    EXPECT_EQ(std::vector<std::string>{"inside.txt"}, inside.Names());

    EXPECT_EQ(1, Copy(panelHandle, {"inside.txt"}, 0, PcPath("out"), host::OPM_SILENT));
    EXPECT_EQ("inside", ReadFileText(PcPath("out\\inside.txt")));
    MakeDirs(PcPath("in"));
    ASSERT_TRUE(WriteFileText(PcPath("in\\pc.txt"), "pc"));
    std::vector<host::PluginPanelItem> in = HostDiskItems(PcPath("in"));
    EXPECT_EQ(1, host->PutFiles(panelHandle, in, 0, PcPath("in"), host::OPM_SILENT));
    host->Script().AnswerDialog(4, {{2, "made"}});
    std::string made;
    EXPECT_EQ(1, host->MakeDirectory(panelHandle, made));
    Read(panelHandle);
    std::vector<host::PluginPanelItem> doomed = Select(panelHandle, {"inside.txt"});
    host->Script().AnswerMessage(0);
    EXPECT_EQ(1, host->DeleteFiles(panelHandle, doomed, 0));
    EXPECT_EQ((std::vector<std::wstring>{L"made", L"pc.txt"}), test_files::Names(folder));
    EXPECT_EQ("pc", test_files::ReadBytes(folder + L"\\pc.txt"));
    EXPECT_EQ((std::vector<std::string>{"made", "pc.txt"}), Read(panelHandle).Names());

    host_emu::FolderShortcut saved = host_emu::SaveShortcut(*host, panelHandle);
    ASSERT_EQ(1, host->SetDirectory(panelHandle, ".."));
    EXPECT_TRUE(Read(panelHandle).Find(shown));
    host_emu::DirList size = host_emu::GetPluginDirList(*host, panelHandle, shown);
    EXPECT_TRUE(size.ok);
    EXPECT_EQ(1u, size.files);
    EXPECT_EQ(2u, size.bytes);
    host->ClosePlugin(panelHandle);

    host_emu::PanelListing back;
    panelHandle = host_emu::OpenShortcut(*host, saved, &back);
    ASSERT_NE(INVALID_HANDLE_VALUE, panelHandle);
    EXPECT_EQ((std::vector<std::string>{"made", "pc.txt"}), back.Names());
    host->ClosePlugin(panelHandle);
    // Alone in its folder, the cold one has the same stand-in.
    saved.curDir = "C:\\cold\\" + shown;
    panelHandle = host_emu::OpenShortcut(*host, saved, &back);
    ASSERT_NE(INVALID_HANDLE_VALUE, panelHandle);
    EXPECT_EQ(std::vector<std::string>{"cold.txt"}, back.Names());

    host_emu::FindRun find;
    host_emu::FindFiles(*host, panelHandle, find);
    for (const std::string& found : {"C:\\" + shown + "\\pc.txt", saved.curDir + "\\cold.txt"})
        EXPECT_NE(find.found.end(), std::find(find.found.begin(), find.found.end(), found))
            << found;
    host->ClosePlugin(panelHandle);
    ExpectNoHostFaults();
}

// A PC file the narrow functions spell as its neighbour's name: the short
// name tells them apart, and each goes to the phone as itself.
TEST_F(UnspelledNames, APcTwinIsNeverTakenForTheChosenFile)
{
    const std::wstring real = L"\u0141\u00F3d\u017A.txt";  // Łódź.txt
    char spelled[64];
    ASSERT_TRUE(WideCharToMultiByte(CP_OEMCP, 0, real.c_str(), -1, spelled, sizeof(spelled), nullptr,
                                    nullptr));
    const std::wstring pc = Widen(PcPath("twins")), twin = Widen(spelled);
    ASSERT_TRUE(CreateDirectoryW(pc.c_str(), nullptr));
    ASSERT_TRUE(test_files::WriteBytes(pc + L"\\" + real, "chosen"));
    ASSERT_TRUE(test_files::WriteBytes(pc + L"\\" + twin, "twin"));
    std::vector<host::PluginPanelItem> items = HostDiskItems(PcPath("twins"));
    ASSERT_EQ(2u, items.size());
    ASSERT_STREQ(items[0].FindData.cFileName, items[1].FindData.cFileName);
    panelHandle = OpenAt("C:");
    for (const host::PluginPanelItem& item : items) {
        std::vector<host::PluginPanelItem> one = {item};  // one at a time
        EXPECT_EQ(1, host->PutFiles(panelHandle, one, 0, PcPath("twins"), 0));
    }
    EXPECT_EQ("chosen", test_files::ReadBytes(drive + L"\\" + real));
    EXPECT_EQ("twin", test_files::ReadBytes(drive + L"\\" + twin));
    EXPECT_TRUE(host->Journal().Prompts().empty()) << host->Journal().Dump();
    host->ClosePlugin(panelHandle);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

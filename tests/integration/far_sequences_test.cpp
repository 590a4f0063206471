// The panel as FAR's own features drive it: F3 and Quick View counting a
// folder, Find File on its worker thread, folder shortcuts and "cd". After
// each, F8 must delete the file the user sees, whatever the sequence met.
#include "far_sequences.h"
#include "integration_support.h"
#include "message_ids.h"
#include "timings.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

namespace kelp_test {
namespace {

using phone_emu::Op;

class FarSequences : public KelpTest {
protected:
    // C:\same.txt, C:\top\same.txt, and under C:\top the folders Dir (with
    // Sub3 inside) and Dir2, each holding a same.txt: a delete in the wrong
    // folder shows.
    void SetUp() override
    {
        KelpTest::SetUp();
        if (HasFailure()) return;
        for (const char* path : {"C\\same.txt", "C\\top\\same.txt", "C\\top\\Dir\\same.txt",
                                 "C\\top\\Dir\\a.txt", "C\\top\\Dir\\Sub3\\same.txt",
                                 "C\\top\\Dir2\\same.txt"})
            ASSERT_TRUE(MakeDirs(PhonePath(std::string(path).substr(0, std::string(path).rfind('\\')))) &&
                        WriteFileText(PhonePath(path), path));
    }

    // F8 on `name` as the panel showed it in `shown`, confirmed.
    int DeleteShown(HANDLE panel, const host_emu::PanelListing& shown, const std::string& name)
    {
        const host::PluginPanelItem* item = shown.Find(name);
        EXPECT_TRUE(item) << name;
        if (!item) return -1;
        std::vector<host::PluginPanelItem> items = {*item};
        host->Script().AnswerMessage(0);
        return host->DeleteFiles(panel, items);
    }

    // Which of the same.txt files are still there.
    std::vector<std::string> SameFilesLeft()
    {
        std::vector<std::string> left;
        for (const char* path : {"C\\same.txt", "C\\top\\same.txt", "C\\top\\Dir\\same.txt",
                                 "C\\top\\Dir\\Sub3\\same.txt", "C\\top\\Dir2\\same.txt"})
            if (PathExists(PhonePath(path))) left.push_back(path);
        return left;
    }
    const std::vector<std::string> onlyTopDeleted = {"C\\same.txt", "C\\top\\Dir\\same.txt",
                                                     "C\\top\\Dir\\Sub3\\same.txt",
                                                     "C\\top\\Dir2\\same.txt"};

    // How each sequence ends: the phone answers every listing again, F8 on
    // the same.txt the panel shows (C:\top's) deletes that one alone, and the
    // panel closes without a fault.
    void DeleteTheShownFileAndClose(HANDLE panel, const host_emu::PanelListing& shown)
    {
        phone->Options().rules.clear();
        EXPECT_EQ(1, DeleteShown(panel, shown, "same.txt"));
        EXPECT_EQ(onlyTopDeleted, SameFilesLeft());
        host->ClosePlugin(panel);
        ExpectNoHostFaults();
    }

    std::string CurDir(HANDLE panel)
    {
        host::OpenPluginInfo info = {};
        host->Exports().GetOpenPluginInfo(panel, &info);
        return info.CurDir;
    }

    // Runs `f` on a thread of its own, as FAR runs Find, while this thread
    // goes on as FAR's main thread: dispatching its messages (the phone
    // emulator's calls come through them) and running `meanwhile`.
    void RunAsFind(std::function<void()> f, std::function<void()> meanwhile = nullptr)
    {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            f();
            done = true;
        });
        while (!done) {
            if (meanwhile) meanwhile();
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            Sleep(1);
        }
        worker.join();
    }

    void FailDirOpen(const std::wstring& path, int occurrence = 0)
    {
        phone_emu::Rule rule;
        rule.op = Op::DirOpen;
        rule.pathIs = path;
        rule.occurrence = occurrence;
        phone->Options().rules.push_back(rule);
    }
};

// F3 on a folder while its parent can't be listed for a moment: the count is
// whole, the panel is back where FAR shows it, each folder is read once and
// no drive figures are asked for.
TEST_F(FarSequences, SizeOfAFolderWhileItsParentCannotBeListed)
{
    HANDLE panel = OpenAt("C:\\top");
    host_emu::PanelListing shown = Read(panel);
    phone->ClearJournal();
    FailDirOpen(L"C:\\top\\");
    host_emu::DirList size = host_emu::GetPluginDirList(*host, panel, "Dir");
    EXPECT_TRUE(size.ok);
    EXPECT_EQ(1u, size.folders);
    EXPECT_EQ(3u, size.files);
    EXPECT_EQ("C:\\top", CurDir(panel));
    EXPECT_EQ(2u, phone->Count(Op::DirOpen));
    EXPECT_EQ(0u, phone->Count(Op::VolumeInfo));
    DeleteTheShownFileAndClose(panel, shown);
}

// A listing read ahead by a change of folder goes only to the next read of
// that folder: after Quick View passed over a folder and F8 deleted a file,
// the read shows the file gone.
TEST_F(FarSequences, AListingReadAheadIsNotHandedOutAfterAChange)
{
    HANDLE panel = OpenAt("C:\\top");
    host_emu::PanelListing shown = Read(panel);
    EXPECT_TRUE(host_emu::GetPluginDirList(*host, panel, "Dir").ok);
    EXPECT_EQ(1, DeleteShown(panel, shown, "same.txt"));
    EXPECT_EQ((std::vector<std::string>{"Dir", "Dir2"}), Names(panel));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// Quick View moving over two folders, the first with a listing that fails
// once inside it (on the way back from Sub3).
TEST_F(FarSequences, QuickViewOverFoldersWithAFailingListingInside)
{
    HANDLE panel = OpenAt("C:\\top");
    host_emu::PanelListing shown = Read(panel);
    FailDirOpen(L"C:\\top\\Dir\\", 2);
    host_emu::DirList first = host_emu::GetPluginDirList(*host, panel, "Dir");
    host_emu::DirList second = host_emu::GetPluginDirList(*host, panel, "Dir2");
    EXPECT_EQ(3u, first.files);
    EXPECT_TRUE(second.ok);
    EXPECT_EQ(std::vector<std::string>{"same.txt"}, second.names);
    EXPECT_EQ("C:\\top", CurDir(panel));
    DeleteTheShownFileAndClose(panel, shown);
}

// Find "from the current folder" on a worker thread, FAR's mutex around each
// call, while the main thread asks for the panel's description and a
// listing fails once inside: FAR never restores the folder at the end.
TEST_F(FarSequences, FindFromTheCurrentFolderOnItsOwnThread)
{
    HANDLE panel = OpenAt("C:\\top");
    host_emu::PanelListing shown = Read(panel);
    FailDirOpen(L"C:\\top\\Dir\\", 2);
    phone->ClearJournal();
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    host_emu::FindRun find;
    find.from = host_emu::FindFrom::Current;
    // FAR's main thread keeps drawing the panels meanwhile: the folder it
    // shows, wherever Find is.
    RunAsFind([&] { host_emu::FindFiles(*host, panel, find, mutex); },
              [&] { EXPECT_EQ("C:\\top", CurDir(panel)); });
    CloseHandle(mutex);
    std::vector<std::string> found = find.found;
    std::sort(found.begin(), found.end());
    EXPECT_EQ((std::vector<std::string>{"Dir", "Dir2", "Dir2\\same.txt", "Dir\\Sub3",
                                        "Dir\\Sub3\\same.txt", "Dir\\a.txt", "Dir\\same.txt",
                                        "same.txt"}),
              found);
    EXPECT_EQ(0u, phone->Count(Op::VolumeInfo));
    DeleteTheShownFileAndClose(panel, shown);
}

// However an OPM_FIND sequence ends (here it never comes back up), what FAR
// starts from its panel acts on the folder it shows: delete, make folder,
// the information panel, and the read that follows.
TEST_F(FarSequences, OperationsActOnTheFolderFarShows)
{
    HANDLE panel = OpenAt("C:\\top");
    host_emu::PanelListing shown = Read(panel);
    ASSERT_EQ(1, host->SetDirectory(panel, "Dir", host::OPM_FIND));
    ASSERT_EQ(1, host->SetDirectory(panel, "Sub3", host::OPM_FIND));

    EXPECT_EQ(1, DeleteShown(panel, shown, "same.txt"));
    EXPECT_EQ(onlyTopDeleted, SameFilesLeft());
    ASSERT_EQ(1, host->SetDirectory(panel, "Dir", host::OPM_FIND));
    host->Script().AnswerDialog(4, {{2, "made"}});
    std::string name;
    EXPECT_EQ(1, host->MakeDirectory(panel, name));
    EXPECT_TRUE(IsDirectory(PhonePath("C\\top\\made")));
    host_emu::PanelListing after = Read(panel);
    EXPECT_EQ("C:\\top", after.curDir);
    EXPECT_EQ((std::vector<std::string>{"Dir", "Dir2", "made"}), after.Names());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// A walk under OPM_FIND that never came back (a found file's fetch may end
// so) moves nothing FAR shows: the panel's title, F3 on a folder and Ctrl+R
// after a redraw each work from the folder FAR shows.
TEST_F(FarSequences, AWalkThatDidNotComeBackMovesNothingFarShows)
{
    HANDLE panel = OpenAt("C:\\top");
    host_emu::PanelListing shown = Read(panel);
    auto walkAway = [&] {
        EXPECT_EQ(1, host->SetDirectory(panel, "Dir", host::OPM_FIND));
        EXPECT_EQ(1, host->SetDirectory(panel, "Sub3", host::OPM_FIND));
    };
    walkAway();
    host::OpenPluginInfo info = {};
    host->Exports().GetOpenPluginInfo(panel, &info);
    EXPECT_STREQ("C:\\top", info.CurDir);
    EXPECT_STREQ("Kelp:C:\\top", info.PanelTitle);

    walkAway();
    host_emu::DirList dir2 = host_emu::GetPluginDirList(*host, panel, "Dir2");
    EXPECT_TRUE(dir2.ok);
    EXPECT_EQ(std::vector<std::string>{"same.txt"}, dir2.names);
    walkAway();
    host_emu::DirList dir = host_emu::GetPluginDirList(*host, panel, "Dir");
    EXPECT_TRUE(dir.ok);
    EXPECT_EQ(3u, dir.files);
    EXPECT_EQ(1u, dir.folders);

    walkAway();
    CurDir(panel);  // FAR draws the panel before a key can reach it
    host_emu::PanelListing again = Read(panel);  // Ctrl+R
    EXPECT_EQ("C:\\top", again.curDir);
    EXPECT_EQ((std::vector<std::string>{"Dir", "Dir2", "same.txt"}), again.Names());
    DeleteTheShownFileAndClose(panel, shown);
}

// Find's "Go to" on a file found in a subfolder moves the panel there, from
// the root and from the current folder: the folder FAR then shows, its
// title, its listing with the cursor on the file, and F8 deletes there. A
// folder that can't be read at the end keeps the panel where it was.
TEST_F(FarSequences, GoToAFoundFileMovesThePanelThere)
{
    struct Case {
        host_emu::FindFrom from;
        const char* found;
        const char* folder;
        const char* file;
        std::vector<std::string> names;
    } cases[] = {
        {host_emu::FindFrom::Root, "C:\\top\\Dir\\Sub3\\same.txt", "C:\\top\\Dir\\Sub3",
         "same.txt", {"same.txt"}},
        {host_emu::FindFrom::Current, "Dir\\a.txt", "C:\\top\\Dir", "a.txt",
         {"a.txt", "same.txt", "Sub3"}},
    };
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    for (const Case& c : cases) {
        HANDLE panel = OpenAt("C:\\top");
        Read(panel);
        host_emu::FindRun find;
        find.from = c.from;
        RunAsFind([&] { host_emu::FindFiles(*host, panel, find, mutex); });
        ASSERT_EQ(1, std::count(find.found.begin(), find.found.end(), c.found)) << c.found;
        host_emu::GoTo go = host_emu::FindGoTo(*host, panel, c.from, c.found);
        ASSERT_TRUE(go.read) << c.found;  // false: the host closed the panel
        EXPECT_EQ(c.folder, go.curDir);
        EXPECT_EQ(std::string("Kelp:") + c.folder, go.panelTitle);
        EXPECT_EQ(c.names, go.listing.Names());
        EXPECT_EQ(c.file, go.cursor);
        EXPECT_EQ(1, DeleteShown(panel, go.listing, "same.txt"));
        std::string deleted = std::string("C") + (c.folder + 2) + "\\same.txt";
        EXPECT_FALSE(PathExists(PhonePath(deleted))) << deleted;
        EXPECT_EQ(4u, SameFilesLeft().size()) << deleted;
        ASSERT_TRUE(WriteFileText(PhonePath(deleted), deleted));
        host->ClosePlugin(panel);
    }
    CloseHandle(mutex);

    HANDLE panel = OpenAt("C:\\top");
    host_emu::PanelListing shown = Read(panel);
    FailDirOpen(L"C:\\top\\Dir\\Sub3\\");
    host->Journal().Clear();
    host->Script().AnswerMessage(0);
    host_emu::GoTo go = host_emu::FindGoTo(*host, panel, host_emu::FindFrom::Root,
                                           "C:\\top\\Dir\\Sub3\\same.txt");
    ASSERT_TRUE(go.read);
    EXPECT_EQ("C:\\top", go.curDir);
    EXPECT_EQ(shown.Names(), go.listing.Names());
    ASSERT_EQ(1u, host->Journal().Prompts().size()) << host->Journal().Dump();
    EXPECT_EQ(host->MessageText(MFolderNotRead), host->Journal().Prompts()[0]->lines[0]);
    DeleteTheShownFileAndClose(panel, shown);
}

// A folder shortcut comes back to its folder; "cd" and SetDirectory take
// full paths shaped like CurDir (any case of the drive letter, from any
// folder and from the drive list), "\", "..", several levels, and refuse
// wildcards and "." or ".." inside a path before asking the phone anything.
TEST_F(FarSequences, ShortcutsAndCdTakeWhatFarGives)
{
    HANDLE panel = OpenAt("C:\\top\\Dir\\Sub3");
    host_emu::FolderShortcut saved = host_emu::SaveShortcut(*host, panel);
    host->ClosePlugin(panel);
    host_emu::PanelListing listing;
    panel = host_emu::OpenShortcut(*host, saved, &listing);
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    EXPECT_EQ("C:\\top\\Dir\\Sub3", listing.curDir);
    EXPECT_EQ(std::vector<std::string>{"same.txt"}, listing.Names());

    struct Step {
        const char* typed;
        int result;
        const char* curDir;
    } steps[] = {
        {"..\\..\\Dir2", 1, "C:\\top\\Dir2"},
        {"c:\\top\\Dir", 1, "C:\\top\\Dir"},
        {"Sub3\\", 1, "C:\\top\\Dir\\Sub3"},
        {"\\", 1, ""},
        {"C:\\top\\Dir", 1, "C:\\top\\Dir"},
        {"..", 1, "C:\\top"},
        {"Dir\\Sub3", 1, "C:\\top\\Dir\\Sub3"},
        {"C:\\", 1, "C:"},
        {"top", 1, "C:\\top"},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(step.result, host_emu::CommandLineCd(*host, panel, step.typed, &listing))
            << step.typed;
        EXPECT_EQ(step.curDir, listing.curDir) << step.typed;
    }
    EXPECT_EQ((std::vector<std::string>{"Dir", "Dir2", "same.txt"}), listing.Names());

    phone->ClearJournal();
    for (const char* refused : {"D*", "Di?", "Dir\\..\\Dir2", ".\\Dir", "Dir\\.", "Dir\\\\Sub3",
                                "C:\\top\\..\\top", "C:top", "c:\\top\\Dir\\*"}) {
        EXPECT_EQ(0, host->SetDirectory(panel, refused)) << refused;
        EXPECT_EQ(0, host->SetDirectory(panel, refused, host::OPM_FIND)) << refused;
        EXPECT_EQ("C:\\top", CurDir(panel)) << refused;
    }
    EXPECT_TRUE(phone->Journal().empty());
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// A read of the current folder that fails moves the panel up only when the
// server says the folder is gone; a refused request or a server error
// answers 0 and leaves the panel where it is. ".." lists nothing first, so
// the read after it that fails so keeps the panel: the folder the user was
// in, its listing as FAR showed it, and one message.
TEST_F(FarSequences, AFailedReadMovesUpOnlyFromAFolderThatIsGone)
{
    HANDLE panel = OpenAt("C:\\top\\Dir");
    const std::vector<std::string> dirNames = {"a.txt", "same.txt", "Sub3"};
    host::PluginPanelItem* items = nullptr;
    int count = 0;
    for (phone_emu::Action action : {phone_emu::Action::Refuse, phone_emu::Action::ForceStatus}) {
        FailDirOpen(L"C:\\top\\Dir\\");
        phone->Options().rules.back().action = action;
        EXPECT_EQ(0, host->Exports().GetFindData(panel, &items, &count, 0));
        EXPECT_EQ("C:\\top\\Dir", CurDir(panel));
        phone->Options().rules.clear();

        EXPECT_EQ(dirNames, Names(panel));
        FailDirOpen(L"C:\\top\\");
        phone->Options().rules.back().action = action;
        host->Journal().Clear();
        host->Script().AnswerMessage(0);
        EXPECT_EQ(1, host->SetDirectory(panel, ".."));
        host_emu::PanelListing back;
        ASSERT_TRUE(host->ReadPanel(panel, back));  // false: the host closed the panel
        EXPECT_EQ(dirNames, back.Names());
        EXPECT_EQ("C:\\top\\Dir", CurDir(panel));
        ASSERT_EQ(1u, host->Journal().Prompts().size()) << host->Journal().Dump();
        EXPECT_EQ(host->MessageText(MFolderNotRead), host->Journal().Prompts()[0]->lines[0]);
        EXPECT_EQ("C:\\top", host->Journal().Prompts()[0]->lines[1]);
        phone->Options().rules.clear();
    }
    EXPECT_EQ(dirNames, Names(panel));
    RemoveTree(PhonePath("C\\top\\Dir"));
    EXPECT_EQ((std::vector<std::string>{"Dir2", "same.txt"}), Names(panel));
    EXPECT_EQ("C:\\top", CurDir(panel));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// On Find's worker thread Kelp draws nothing and asks the host nothing: not
// the waiting box of a slow request, not the copy box of a search in file
// contents, no Control call.
TEST_F(FarSequences, FindsWorkerDrawsNothing)
{
    HANDLE panel = OpenAt("C:\\top");
    ASSERT_TRUE(MakeDirs(PcPath("fetched")));
    host->Journal().Clear();
    host_emu::FindRun find;
    find.from = host_emu::FindFrom::Root;
    find.fetchInto = PcPath("fetched");
    find.onFolder = [&](const std::string& folder) {
        // One request of Dir2's listing stays quiet for over a second.
        phone->Options().delayMs = folder == "C:\\top\\Dir2" ? 1200 : 0;
    };
    RunAsFind([&] { host_emu::FindFiles(*host, panel, find); });
    phone->Options().delayMs = 0;
    EXPECT_EQ(6, find.fetched);
    EXPECT_TRUE(host->Journal().Entries().empty()) << host->Journal().Dump();
    EXPECT_EQ("C:\\top", CurDir(panel));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// Find's worker on a server that took a request and never answers, whose
// process can't be watched (this one runs in the test's own): nobody can
// stop that wait, so it ends by itself as a failed read, and the read FAR's
// main thread makes next says the server stopped responding. When the main
// thread calls meanwhile, it waits for the panel as for the phone: the box,
// and a break there ends the worker's wait at once.
TEST_F(FarSequences, FindOnAServerThatNeverAnswersFreezesNothing)
{
    phone_emu::Rule never;
    never.op = Op::DirOpen;
    never.action = phone_emu::Action::NeverComplete;
    never.pathIs = L"C:\\top\\Dir2\\";
    phone->Options().rules.push_back(never);
    HANDLE panel = OpenAt("C:\\top");
    host->Journal().Clear();
    host_emu::FindRun find;
    find.from = host_emu::FindFrom::Current;
    DWORD start = GetTickCount(), took = 0;
    RunAsFind([&] {
        host_emu::FindFiles(*host, panel, find);
        took = GetTickCount() - start;
    });
    EXPECT_GE(took, (DWORD)timing::UnattendedQuietMs);
    EXPECT_LT(took, (DWORD)timing::UnattendedQuietMs + 5000);
    EXPECT_EQ(0, std::count(find.found.begin(), find.found.end(), "Dir2\\same.txt"));
    EXPECT_TRUE(host->Journal().Entries().empty()) << host->Journal().Dump();
    host->Script().AnswerMessage(0);
    host_emu::PanelListing listing;
    EXPECT_FALSE(host->ReadPanel(panel, listing));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MStatusLinkStuck), host->Journal().Prompts()[0]->lines[0]);

    panel = OpenAt("C:\\top");
    host->Journal().Clear();
    std::atomic<bool> inDir2{false};
    host_emu::FindRun again;
    again.from = host_emu::FindFrom::Current;
    again.onFolder = [&](const std::string& folder) {
        if (folder == "Dir2") inDir2 = true;
    };
    int boxes = 0;
    DWORD brokeAt = 0, returnedAt = 0;
    host->SetHook([&](const host_emu::JournalEntry& e) {
        if (e.IsProgress() && e.title == host->MessageText(MWaitingForPhone) && !boxes++) {
            brokeAt = GetTickCount();
            host->Exports().ProcessEvent(panel, host::FE_BREAK, nullptr);
        }
    });
    start = GetTickCount();
    RunAsFind([&] { host_emu::FindFiles(*host, panel, again); },
              [&] {
                  if (!inDir2 || returnedAt) return;
                  CurDir(panel);
                  if (boxes) returnedAt = GetTickCount();
              });
    took = GetTickCount() - start;
    host->SetHook(nullptr);
    ASSERT_EQ(1, boxes);
    EXPECT_LT(returnedAt - brokeAt, 2000u);
    EXPECT_LT(took, (DWORD)timing::UnattendedQuietMs);
    EXPECT_EQ(1, host->Journal().Saves());
    EXPECT_EQ(1, host->Journal().Restores());
    // A wait given up: the panel as it was once, then the read that says why.
    ASSERT_TRUE(host->ReadPanel(panel, listing));
    EXPECT_EQ("C:\\top", listing.curDir);
    host->Script().AnswerMessage(0);
    EXPECT_FALSE(host->ReadPanel(panel, listing));
    ASSERT_EQ(1u, host->Journal().Prompts().size());
    EXPECT_EQ(host->MessageText(MStatusAbandoned), host->Journal().Prompts()[0]->lines[0]);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test

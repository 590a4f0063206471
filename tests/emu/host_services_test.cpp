// The host's services as the plug-in calls them: boxes, dialogs, panel
// control and screens, with the journal and the script behind them.
#include "host_emulator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace host_emu;

namespace {

class HostServices : public ::testing::Test {
protected:
    int number() const { return HostOptions().moduleNumber; }
    int box(DWORD flags, std::vector<const char*> items, int buttons) {
        return host.Message(number(), flags, nullptr, items.data(), (int)items.size(), buttons);
    }
    static host::FarDialogItem Item(int type, int x1, int y1, int x2, int y2, const char* text,
                                    DWORD flags = 0, int defaultButton = 0) {
        host::FarDialogItem item;
        std::memset(&item, 0, sizeof item);
        item.Type = type;
        item.X1 = x1;
        item.Y1 = y1;
        item.X2 = x2;
        item.Y2 = y2;
        item.Flags = flags;
        item.DefaultButton = defaultButton;
        std::strcpy(item.Data.Data, text);
        return item;
    }
    // Box, prompt, edit, OK (default), Cancel.
    std::vector<host::FarDialogItem> copyDialog(const char* text) {
        return {Item(host::DI_DOUBLEBOX, 3, 1, 36, 6, "Copy"),
                Item(host::DI_TEXT, 5, 2, 0, 0, "Copy to:"),
                Item(host::DI_EDIT, 5, 3, 34, 3, text),
                Item(host::DI_BUTTON, 0, 5, 0, 0, "OK", 0, 1),
                Item(host::DI_BUTTON, 0, 5, 0, 0, "Cancel")};
    }
    int run(std::vector<host::FarDialogItem>& items, int x1 = -1, int y1 = -1, int x2 = 40,
            int y2 = 8) {
        return host.Dialog(number(), x1, y1, x2, y2, nullptr, items.data(), (int)items.size());
    }

    HostEmulator host;
};

}  // namespace

TEST_F(HostServices, MessageWithButtonsTakesTheScriptedAnswer) {
    host.Script().AnswerMessage(1);
    EXPECT_EQ(box(host::FMSG_WARNING, {"Delete", "Delete file", "a.txt", "Delete", "Cancel"}, 2), 1);
    const JournalEntry* e = host.Journal().LastPrompt();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->title, "Delete");
    EXPECT_EQ(e->lines, (std::vector<std::string>{"Delete file", "a.txt"}));
    EXPECT_EQ(e->buttons, (std::vector<std::string>{"Delete", "Cancel"}));
    EXPECT_EQ(e->flags, (DWORD)host::FMSG_WARNING);
    EXPECT_EQ(e->answer, 1);
    EXPECT_TRUE(host.Journal().Faults().empty()) << host.Journal().Dump();
}

TEST_F(HostServices, ButtonSetsAppendTheHostsCaptions) {
    host.Script().AnswerMessage(0);
    host.Script().AnswerMessage(2);
    EXPECT_EQ(box(0x40000 /* MB_YESNO */, {"Overwrite", "b.txt exists"}, 7), 0);
    EXPECT_EQ(box(0x30000 /* MB_ABORTRETRYIGNORE */, {"Error", "read failed"}, 0), 2);
    auto prompts = host.Journal().Prompts();
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[0]->buttons, (std::vector<std::string>{"Yes", "No"}));
    EXPECT_EQ(prompts[0]->lines, (std::vector<std::string>{"b.txt exists"}));
    EXPECT_EQ(prompts[1]->buttons, (std::vector<std::string>{"Abort", "Retry", "Ignore"}));
}

TEST_F(HostServices, ProgressBoxReturnsAtOnceWithoutTakingAnAnswer) {
    host.Script().AnswerMessage(0);
    EXPECT_EQ(box(0, {"Copy", "Copying", "a.txt"}, 0), 0);
    EXPECT_EQ(host.Script().PendingMessages(), 1u);
    EXPECT_EQ(host.Journal().ProgressCount(), 1);
    EXPECT_TRUE(host.Journal().Prompts().empty());
}

TEST_F(HostServices, AllInOneSplitsLines) {
    const char* all = "Title\nline one\nline two\nOk";
    host.Script().AnswerMessage(0);
    EXPECT_EQ(host.Message(number(), host::FMSG_ALLINONE, nullptr, (const char* const*)all, 0, 1),
              0);
    const JournalEntry* e = host.Journal().LastMessage();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->title, "Title");
    EXPECT_EQ(e->lines, (std::vector<std::string>{"line one", "line two"}));
    EXPECT_EQ(e->buttons, (std::vector<std::string>{"Ok"}));
}

TEST_F(HostServices, RefusedAndUnansweredBoxesAreFaults) {
    EXPECT_EQ(box(0, {"Title only"}, 0), -1);
    ASSERT_EQ(host.Journal().Faults().size(), 1u);
    EXPECT_TRUE(host.Journal().LastMessage()->refused);
    EXPECT_EQ(host.Journal().ProgressCount(), 0);

    EXPECT_EQ(box(0, {"Error", "failed", "Ok"}, 1), -1);  // nothing scripted: Esc
    ASSERT_EQ(host.Journal().Unscripted().size(), 1u);
    EXPECT_EQ(host.Journal().Unscripted()[0]->title, "Error");

    host.Script().AnswerMessage(3);  // no such button
    EXPECT_EQ(box(0, {"Error", "failed", "Ok"}, 1), -1);
    EXPECT_EQ(host.Journal().Faults().size(), 3u);
}

TEST_F(HostServices, HookRunsOnEveryBoxAndMayActMidOperation) {
    int calls = 0;
    host.SetHook([&](const JournalEntry& e) {
        ++calls;
        if (e.IsProgress()) host.Script().AnswerMessage(1);  // decided while copying
    });
    EXPECT_EQ(box(0, {"Copy", "a.txt"}, 0), 0);
    EXPECT_EQ(box(0, {"Copy", "Abort?", "Yes", "No"}, 2), 1);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(host.Journal().Unscripted().empty());
}

TEST_F(HostServices, DialogWritesBackEditTextEvenAfterEsc) {
    auto items = copyDialog("C:\\a rather long old destination");
    DialogAnswer answer;
    answer.close = DialogAnswer::kEscape;
    answer.texts[2] = "D:\\new";
    host.Script().AnswerDialog(answer);
    EXPECT_EQ(run(items), -1);
    EXPECT_STREQ(items[2].Data.Data, "D:\\new");
    // The whole item was written: nothing of the old text is left behind it.
    for (size_t i = std::strlen("D:\\new"); i < sizeof items[2].Data.Data; ++i)
        ASSERT_EQ(items[2].Data.Data[i], 0) << "byte " << i;
    EXPECT_STREQ(items[3].Data.Data, "[ OK ]");
    EXPECT_STREQ(items[4].Data.Data, "[ Cancel ]");

    const JournalEntry* e = host.Journal().LastDialog();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->title, "Copy");
    EXPECT_EQ(host.Journal().Find("Copy to:"), e);
    EXPECT_EQ(e->items[2].data, "C:\\a rather long old destination");
    EXPECT_EQ(e->itemsAfter[2].data, "D:\\new");
    EXPECT_EQ(e->box.left, 20);
    EXPECT_EQ(e->box.top, 8);
    EXPECT_EQ(e->box.right, 59);
    EXPECT_EQ(e->box.bottom, 15);
}

TEST_F(HostServices, DialogEnterClosesWithTheDefaultButtonAndMovesFocus) {
    auto items = copyDialog("x");
    std::strcpy(items[3].Data.Data, "[ OK ]");  // already bracketed: not again
    host.Script().AnswerDialog(DialogAnswer::kEnter);
    EXPECT_EQ(run(items), 3);
    EXPECT_STREQ(items[3].Data.Data, "[ OK ]");
    EXPECT_EQ(items[3].Focus, 1);
    EXPECT_EQ(items[2].Focus, 0);

    // Without a default button, Enter answers the focused item: the edit.
    auto plain = copyDialog("x");
    plain[3].DefaultButton = 0;
    host.Script().AnswerDialog(DialogAnswer::kEnter);
    EXPECT_EQ(run(plain), 2);
}

TEST_F(HostServices, VarEditTextIsCutToItsBuffer) {
    char buffer[8] = "old";
    auto items = copyDialog("");
    items[2].Flags |= 0x10000;  // DIF_VAREDIT
    items[2].Data.Ptr.PtrLength = sizeof buffer;
    items[2].Data.Ptr.PtrData = buffer;
    host.Script().AnswerDialog(3, {{2, "0123456789"}});
    EXPECT_EQ(run(items), 3);
    EXPECT_STREQ(buffer, "0123456");
    EXPECT_EQ(host.Journal().LastDialog()->items[2].data, "old");
}

TEST_F(HostServices, DialogScriptThatDoesNotFitIsAFault) {
    auto items = copyDialog("x");
    host.Script().AnswerDialog(1, {{1, "typed into a label"}});
    EXPECT_EQ(run(items), 1);
    EXPECT_EQ(host.Journal().Faults().size(), 2u);  // a text for a label, closed by a label
    EXPECT_STREQ(items[1].Data.Data, "Copy to:");

    host.Script().AnswerDialog(9);
    EXPECT_EQ(run(items), -1);
    EXPECT_EQ(run(items), -1);  // nothing scripted
    EXPECT_EQ(host.Journal().Unscripted().size(), 1u);
    EXPECT_EQ(host.Journal().Faults().size(), 4u);
}

TEST_F(HostServices, OtherPanelInfo) {
    host.Options().otherPanelType = host::PTYPE_TREEPANEL;
    host.Options().otherPanelDir = "C:\\work\\dest\\";
    host::PanelInfo info;
    std::memset(&info, 0x5A, sizeof info);
    EXPECT_TRUE(host.Control(INVALID_HANDLE_VALUE, host::FCTL_GETANOTHERPANELSHORTINFO, &info));
    EXPECT_EQ(info.PanelType, host::PTYPE_TREEPANEL);
    EXPECT_FALSE(info.Plugin);
    EXPECT_STREQ(info.CurDir, "C:\\work\\dest");
    EXPECT_EQ(info.PanelItems, nullptr);
    EXPECT_EQ(info.SelectedItems, nullptr);

    host.Options().otherPanelDir = "C:\\";
    EXPECT_TRUE(host.Control(INVALID_HANDLE_VALUE, host::FCTL_GETANOTHERPANELSHORTINFO, &info));
    EXPECT_STREQ(info.CurDir, "C:\\");
    EXPECT_TRUE(host.Journal().Faults().empty()) << host.Journal().Dump();
}

TEST_F(HostServices, ControlIsJournaledAndChecksTheHandle) {
    HANDLE panel = (HANDLE)0x1234;
    EXPECT_FALSE(host.Control(panel, host::FCTL_UPDATEANOTHERPANEL, nullptr));
    EXPECT_EQ(host.Journal().Faults().size(), 1u);
    host.AdoptPanel(panel);
    EXPECT_TRUE(host.Control(panel, host::FCTL_UPDATEANOTHERPANEL, (void*)1));
    EXPECT_TRUE(host.Control(panel, host::FCTL_REDRAWANOTHERPANEL, nullptr));
    EXPECT_FALSE(host.Control(panel, 1 /* FCTL_GETPANELINFO */, nullptr));
    EXPECT_EQ(host.Journal().Faults().size(), 2u);
    auto updates = host.Journal().Controls(host::FCTL_UPDATEANOTHERPANEL);
    ASSERT_EQ(updates.size(), 2u);
    EXPECT_EQ(updates[1]->param, (void*)1);
    EXPECT_EQ(updates[1]->answer, TRUE);
    EXPECT_EQ(host.Journal().Controls().size(), 4u);
}

TEST_F(HostServices, EachSavedScreenMustBeRestoredOnce) {
    HANDLE whole = host.SaveScreen(0, 0, -1, -1);
    HANDLE part = host.SaveScreen(10, 5, 50, 9);
    ASSERT_NE(whole, nullptr);
    EXPECT_NE(whole, part);
    EXPECT_EQ(host.Journal().Entries()[0].x2, 79);
    EXPECT_EQ(host.Journal().Entries()[0].y2, 24);

    host.RestoreScreen(part);
    host.RestoreScreen(nullptr);  // harmless
    EXPECT_EQ(host.Journal().ScreensNotRestored(), std::vector<HANDLE>{whole});
    EXPECT_TRUE(host.Journal().Faults().empty());

    host.RestoreScreen(part);
    EXPECT_EQ(host.Journal().RestoredTwice(), 1);
    host.RestoreScreen((HANDLE)0x77);
    EXPECT_EQ(host.Journal().Faults().size(), 2u);
    host.RestoreScreen(whole);
    EXPECT_TRUE(host.Journal().ScreensNotRestored().empty());
    EXPECT_EQ(host.Journal().Saves(), 2);
    EXPECT_EQ(host.Journal().Restores(), 4);
}

TEST_F(HostServices, StartupTablesReachTheServices) {
    host::PluginStartupInfo info;
    host::FarStandardFunctions fsf;
    host.BuildStartupInfo(info, fsf);
    EXPECT_EQ(info.StructSize, 372);
    EXPECT_EQ(fsf.StructSize, 228);
    EXPECT_EQ(info.FSF, &fsf);
    EXPECT_EQ(info.ModuleNumber, number());
    EXPECT_STREQ(info.RootKey, "Software\\Far\\Plugins");

    const char* items[] = {"Title", "through the table", "Ok"};
    host.Script().AnswerMessage(0);
    EXPECT_EQ(info.Message(info.ModuleNumber, 0, nullptr, items, 3, 1), 0);
    EXPECT_EQ(host.Journal().LastPrompt()->lines[0], "through the table");
    HANDLE screen = info.SaveScreen(0, 0, -1, -1);
    info.RestoreScreen(screen);
    EXPECT_TRUE(host.Journal().ScreensNotRestored().empty());
    char path[520] = "*.bak";
    EXPECT_TRUE(info.FSF->ProcessName("a.txt", path, host::PN_GENERATENAME));
    EXPECT_STREQ(path, "a.bak");
}

TEST(HostLoading, FindsAndRefusesDlls) {
    EXPECT_EQ(ToWindowsPath("/work/main/build/Plugins/Kelp/Kelp.dll"),
              "Z:\\work\\main\\build\\Plugins\\Kelp\\Kelp.dll");
    EXPECT_EQ(ToWindowsPath("C:\\x\\Kelp.dll"), "C:\\x\\Kelp.dll");
    _putenv_s("KELP_DLL", "/tmp/k/Kelp.dll");
    EXPECT_EQ(FindPluginDll(), "Z:\\tmp\\k\\Kelp.dll");
    _putenv_s("KELP_DLL", "");
    std::string fallback = FindPluginDll();
    EXPECT_NE(fallback.find("\\Plugins\\Kelp\\Kelp.dll"), std::string::npos) << fallback;
    EXPECT_EQ(fallback.find(".."), std::string::npos) << fallback;

    HostEmulator host;
    EXPECT_FALSE(host.Load("C:\\no\\such\\Kelp.dll"));
    EXPECT_FALSE(host.Error().empty());
    // A DLL without any plug-in entry point is not kept.
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    EXPECT_FALSE(host.Load(std::string(system) + "\\version.dll"));
    EXPECT_NE(host.Error().find("entry points"), std::string::npos) << host.Error();
    EXPECT_FALSE(host.Loaded());
}

TEST_F(HostServices, AdvControlAnswersTheUsersSettingsFromOptions) {
    host::PluginStartupInfo info;
    host::FarStandardFunctions fsf;
    host.BuildStartupInfo(info, fsf);
    ASSERT_NE(info.AdvControl, nullptr);
    EXPECT_EQ(info.AdvControl(number(), host::ACTL_GETINTERFACESETTINGS, nullptr),
              (int)host::FIS_SHOWCOPYINGTIMEINFO);
    EXPECT_EQ(info.AdvControl(number(), host::ACTL_GETCONFIRMATIONS, nullptr), 0x3F);
    host.Options().interfaceSettings = host::FIS_SHOWTOTALCOPYPROGRESSINDICATOR;
    host.Options().confirmations = host::FCS_DELETE;
    EXPECT_EQ(info.AdvControl(number(), host::ACTL_GETINTERFACESETTINGS, nullptr), 0x100);
    EXPECT_EQ(info.AdvControl(number(), host::ACTL_GETCONFIRMATIONS, nullptr), 0x8);
    EXPECT_EQ(info.AdvControl(number(), 3 /* ACTL_WAITKEY */, nullptr), 0);
    EXPECT_TRUE(host.Journal().Faults().empty()) << host.Journal().Dump();
    EXPECT_EQ(info.AdvControl(number() + 1, host::ACTL_GETCONFIRMATIONS, nullptr), 0);
    EXPECT_EQ(host.Journal().Faults().size(), 1u);
}

#include "fake_host.h"
#include "phone_panel.h"
#include "progress_box.h"
#include "transfer_prompts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

class Prompts : public ::testing::Test {
protected:
    void SetUp() override { fake_host::Install(); }
    PhonePanel panel;
    ProgressBox box = {{panel.StopWord()}, 0, "", "", 0, 0, false, {}, 0, 0, 0, 0, 0, -1};

    // The box's lines, in display order.
    enum { Title, Action, Source, To, Target, Bar, Separator, Counter };

    const fake_host::MessageCall& Last() { return fake_host::messages.back(); }
    int FilledCells(const std::string& bar)
    {
        return (int)std::count(bar.begin(), bar.end(), (char)219);
    }
};

TEST_F(Prompts, TheBarFillsInStepsOfFivePercent)
{
    const int cases[][2] = {{0, 0}, {4, 0}, {5, 2}, {99, 38}, {100, 40}, {0x10064, 40}, {250, 40}};
    for (auto& c : cases) {
        ShowProgress(box, c[0]);
        const auto& shown = Last();
        ASSERT_EQ(8u, shown.items.size());
        EXPECT_EQ(0, shown.buttons);
        EXPECT_EQ((DWORD)host::FMSG_LEFTALIGN, shown.flags);
        EXPECT_EQ(40u, shown.items[Bar].size()) << c[0];
        EXPECT_EQ(c[1], FilledCells(shown.items[Bar])) << c[0];
        EXPECT_EQ(40 - c[1], (int)std::count(shown.items[Bar].begin(),
                                             shown.items[Bar].end(), (char)176));
    }
}

TEST_F(Prompts, TheBoxShowsTitlesNamesAndTheCount)
{
    BeginProgress(box, {panel.StopWord()}, 1, false);
    const auto& first = Last();
    EXPECT_EQ("M7", first.items[Title]);
    EXPECT_EQ("M16", first.items[Action]);
    EXPECT_EQ("", first.items[Source]);
    EXPECT_EQ("M17", first.items[To]);
    EXPECT_EQ("\x01", first.items[Separator]);
    EXPECT_EQ("Copied 0", first.items[Counter]);

    box.doneCount = 3;
    SetProgressNames(box, "a.txt", "C:\\dst\\a.txt");
    ShowProgress(box, 50);
    EXPECT_EQ("Copied 3", Last().items[Counter]);
    EXPECT_EQ("a.txt", Last().items[Source]);
    EXPECT_EQ("C:\\dst\\a.txt", Last().items[Target]);

    // Long names keep their tails within the box's 40 columns.
    std::string name = std::string(50, 'n') + "0123456789";
    SetProgressNames(box, name.c_str(), (L"C:\\" + std::wstring(name.begin(), name.end())).c_str());
    ShowProgress(box, 50);
    for (int row : {Source, Target}) {
        const std::string& shown = Last().items[row];
        EXPECT_LE(shown.size(), 40u) << row;
        EXPECT_EQ("0123456789", shown.substr(shown.size() - 10)) << row;
    }
}

TEST_F(Prompts, AbortStopsEveryCallUntilTheNextCopyClearsIt)
{
    EXPECT_EQ(1, ShowProgress(box, 10));
    panel.ProcessEvent(host::FE_BREAK, nullptr);
    EXPECT_EQ(0, ShowProgress(box, 10));
    EXPECT_EQ(0, CopyProgressCallback(20, &box));
    EXPECT_EQ(StopAsked, *panel.StopWord());
}

TEST_F(Prompts, ACounterTextLongerThanItsLineIsCut)
{
    fake_host::overrides[18] = std::string(100, 'c') + "%d";
    ShowProgress(box, 0);
    EXPECT_EQ(39u, Last().items[Counter].size());
}

TEST_F(Prompts, OverwriteLinesStayInTheirBuffersWhateverTheNamesAndTexts)
{
    fake_host::overrides[20] = std::string(200, 'L');
    host::PluginPanelItem item;
    memset(&item, 0, sizeof(item));
    item.FindData.nFileSizeLow = 1234;
    host::FAR_FIND_DATA existing;
    memset(&existing, 0, sizeof(existing));
    existing.nFileSizeLow = 5678;

    std::string longName = "C:\\" + std::string(250, 'n');
    AskOverwrite(longName.c_str(), &item, &existing);
    const auto& box = Last();
    EXPECT_EQ(60u, box.items[2].size());  // the name cut to 60 columns
    EXPECT_EQ(59u, box.items[4].size());
    EXPECT_EQ(0u, box.items[5].find("M21 "));
    EXPECT_NE(std::string::npos, box.items[5].find("       5678 "));
}

TEST_F(Prompts, ErrorLinesStayInTheirBuffers)
{
    fake_host::overrides[58] = std::string(70, 'm') + "%s";
    std::string longName(300, 'z');
    AskOnCopyError(longName.c_str(), longName.c_str(), 1, "reason");
    const auto& box = Last();
    EXPECT_EQ(79u, box.items[2].size());
}

// The first button ends where it always does, whatever its caption's
// length, so a long caption never runs into the second button.
TEST_F(Prompts, CopyDialogPlacesItsFirstButtonByItsCaption)
{
    fake_host::overrides[9] = "Move %s to:";
    host::PluginPanelItem item;
    memset(&item, 0, sizeof(item));
    strcpy(item.FindData.cFileName, "a.txt");
    char destination[512] = "C:\\dst\\";
    fake_host::dialogAnswer = 4;
    fake_host::dialogEditText = "D:\\other\\";
    int ends = -1;
    for (const char* caption : {"&Move", "&Verschieben lassen"}) {
        fake_host::overrides[13] = caption;
        EXPECT_TRUE(AskCopyDestination(&item, 1, 1, destination));
        EXPECT_STREQ("D:\\other\\", destination);
        const auto& dialog = fake_host::dialogs.back();
        ASSERT_EQ(6u, dialog.items.size());
        EXPECT_STREQ("Move a.txt to:", dialog.items[1].Data.Data);
        int end = dialog.items[4].X1 + (int)strlen(caption);
        if (ends >= 0) {
            EXPECT_EQ(ends, end) << caption;
        }
        ends = end;
        EXPECT_LT(end, dialog.items[5].X1) << caption;
        strcpy(destination, "C:\\dst\\");
    }

    for (int answer : {5, -1}) {
        fake_host::dialogAnswer = answer;
        EXPECT_FALSE(AskCopyDestination(&item, 3, 0, destination));
    }
}

}  // namespace

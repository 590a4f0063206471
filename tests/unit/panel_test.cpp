#include "fake_host.h"
#include "phone_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

namespace {

class Panel : public ::testing::Test {
protected:
    void SetUp() override { fake_host::Install(); }
    PhonePanel panel;
};

// A new panel is at the drive list, with no information lines and no stop
// asked for; a folder is entered only once it has been listed (the panel's
// own records through the exports: PanelBrowse; a path too long to ask for:
// PanelListing.FoldersThatCannotBeReadLeaveThePanelOpen).
TEST_F(Panel, ANewPanelStaysAtTheDriveListUntilAFolderCouldBeListed)
{
    EXPECT_EQ(0, *panel.StopWord());
    EXPECT_EQ(0, panel.SetDirectory("C:", 0));  // no phone to list it
    host::OpenPluginInfo info;
    memset(&info, 0, sizeof(info));
    panel.GetOpenPluginInfo(&info);
    EXPECT_STREQ("", info.CurDir);
    EXPECT_STREQ("", panel.Folder());
    EXPECT_EQ(nullptr, info.InfoLines);
    EXPECT_EQ(0, info.InfoLinesNumber);
}

TEST_F(Panel, FormatGroupedPutsCommasBetweenGroupsOfThree)
{
    char text[80];
    auto F = [&](LONGLONG v) {
        PhonePanel::FormatGrouped(v, text, sizeof(text));
        return std::string(text);
    };
    EXPECT_EQ("0", F(0));
    EXPECT_EQ("0", F(-5));
    EXPECT_EQ("999", F(999));
    EXPECT_EQ("1,000", F(1000));
    EXPECT_EQ("123,456", F(123456));
    EXPECT_EQ("1,234,567", F(1234567));
    EXPECT_EQ("999,999,999,999,999,999", F(999999999999999999LL));
    EXPECT_EQ("1,000,000,000,000,000,000", F(1000000000000000000LL));
    EXPECT_EQ("9,223,372,036,854,775,807", F(0x7FFFFFFFFFFFFFFFLL));

    char small[6];
    PhonePanel::FormatGrouped(1234567, small, sizeof(small));
    EXPECT_STREQ("1,234", small);
}

TEST_F(Panel, EscAndBreakRequestAnAbort)
{
    EXPECT_EQ(0, panel.ProcessKey(13, 0));
    EXPECT_EQ(0, *panel.StopWord());
    EXPECT_EQ(0, panel.ProcessKey(27, 0x1 | 0x2 | 0x4));  // the key stays the host's
    EXPECT_EQ(StopAsked, *panel.StopWord());

    PhonePanel other;
    EXPECT_EQ(0, other.ProcessEvent(host::FE_IDLE, nullptr));
    EXPECT_EQ(0, *other.StopWord());
    EXPECT_EQ(0, other.ProcessEvent(host::FE_BREAK, nullptr));
    EXPECT_EQ(StopAsked, *other.StopWord());
}

}  // namespace

TEST_F(Panel, MoreNamesFittingAlikeThanShortMarksStillEachGetANameOfTheirOwn)
{
    // 70,000 names of two ideographs each: every one fits the same letters,
    // more than a four-digit mark tells apart.
    ListingItems list;
    int pending = 0;
    const int count = 70000;
    for (int i = 0; i < count; ++i) {
        remote::RemoteEntry entry;
        memset(&entry, 0, sizeof(entry));
        entry.name[0] = (WCHAR)(0x4E00 + i % 20000);
        entry.name[1] = (WCHAR)(0x4E00 + i / 20000);
        wcscpy(entry.name + 2, L".txt");
        ASSERT_EQ(EntryAdded, AddListingEntry(list, &entry, &pending));
    }
    ASSERT_TRUE(NameStandIns(list));
    std::set<std::string> names;
    for (int i = 0; i < list.count; ++i) names.insert(list.items[i].FindData.cFileName);
    EXPECT_EQ((size_t)count, names.size());
}

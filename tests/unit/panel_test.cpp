#include "fake_host.h"
#include "phone_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

class Panel : public ::testing::Test {
protected:
    void SetUp() override { fake_host::Install(); }
    PhonePanel panel;

};

TEST_F(Panel, ANewPanelStartsAtTheDriveListWithNothingToShow)
{
    EXPECT_STREQ("", panel.curDir);
    EXPECT_EQ(0, panel.opFlags);
    EXPECT_EQ(0, panel.volume.validMark);

    host::OpenPluginInfo info;
    memset(&info, 0, sizeof(info));
    panel.GetOpenPluginInfo(&info);
    EXPECT_EQ(72, info.StructSize);
    EXPECT_EQ(0x60Fu, info.Flags);
    EXPECT_STREQ("Kelp:", info.PanelTitle);
    EXPECT_STREQ("", info.CurDir);
    EXPECT_STREQ("M4", info.Format);
    EXPECT_EQ(nullptr, info.InfoLines);
    EXPECT_EQ(0, info.InfoLinesNumber);
}

// A folder is entered only once it has been listed; one whose path would
// not fit a host path is not even asked for.
TEST_F(Panel, SetDirectoryMovesOnlyWhereItCouldList)
{
    EXPECT_EQ(0, panel.SetDirectory("C:", 0));  // no phone to list it
    EXPECT_STREQ("", panel.curDir);

    std::string deep(255, 'd');
    strcpy(panel.curDir, deep.c_str());
    EXPECT_EQ(0, panel.SetDirectory("0123456789", 0));
    EXPECT_EQ(deep, std::string(panel.curDir));
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
    EXPECT_EQ(0, panel.opFlags);
    EXPECT_EQ(0, panel.ProcessKey(27, 0x1 | 0x2 | 0x4));  // the key stays the host's
    EXPECT_EQ(StopAsked, panel.opFlags);

    PhonePanel other;
    EXPECT_EQ(0, other.ProcessEvent(host::FE_IDLE, NULL));
    EXPECT_EQ(0, other.opFlags);
    EXPECT_EQ(0, other.ProcessEvent(host::FE_BREAK, NULL));
    EXPECT_EQ(StopAsked, other.opFlags);
}

TEST_F(Panel, InformationLinesDescribeAValidDrive)
{
    strcpy(panel.curDir, "C:\\Images");
    panel.volume.validMark = 1;
    panel.volume.kindCode = 3;
    panel.volume.figure1 = 1234567;
    panel.volume.figure2 = 1000;
    memcpy(panel.volume.tagText, "TAGTAGTA", 8);  // no terminator inside its field
    wcscpy(panel.volume.wideText, L"Label");

    host::OpenPluginInfo info;
    memset(&info, 0, sizeof(info));
    panel.GetOpenPluginInfo(&info);
    ASSERT_EQ(4, info.InfoLinesNumber);
    EXPECT_STREQ("Kelp:C:\\Images", info.PanelTitle);
    EXPECT_EQ(1, info.InfoLines[0].Separator);
    EXPECT_STREQ("TAGTAGTA|M48", info.InfoLines[0].Text);
    EXPECT_EQ(0, info.InfoLines[1].Separator);
    EXPECT_STREQ("M44", info.InfoLines[1].Text);
    EXPECT_STREQ("1,234,567", info.InfoLines[1].Data);
    EXPECT_STREQ("M45", info.InfoLines[2].Text);
    EXPECT_STREQ("1,000", info.InfoLines[2].Data);
    EXPECT_STREQ("M46", info.InfoLines[3].Text);
    EXPECT_STREQ("Label", info.InfoLines[3].Data);
    EXPECT_EQ(0, info.InfoLines[3].Separator);
}

TEST_F(Panel, NoInformationLinesWithoutAValidRecordOrADrive)
{
    panel.volume.validMark = 0;
    strcpy(panel.curDir, "C:");
    host::OpenPluginInfo info;
    memset(&info, 0, sizeof(info));
    panel.GetOpenPluginInfo(&info);
    EXPECT_EQ(0, info.InfoLinesNumber);

    panel.volume.validMark = 1;
    panel.curDir[0] = 0;
    panel.GetOpenPluginInfo(&info);
    EXPECT_EQ(0, info.InfoLinesNumber);
}

}  // namespace

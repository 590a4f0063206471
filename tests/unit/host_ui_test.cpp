#include "fake_host.h"
#include "host_ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

class HostUi : public ::testing::Test {
protected:
    void SetUp() override { fake_host::Install(); }
};

TEST_F(HostUi, ValuesBelow0x10000AreMessageNumbersAndTheRestPointers)
{
    const MsgItem items[] = {0xFFFF, 0x10000, TextItem("plain")};
    ShowMessage(0, nullptr, items, 3, 0);

    ASSERT_EQ(1u, fake_host::messages.size());
    const auto& call = fake_host::messages[0];
    EXPECT_EQ(std::vector<int>{65535}, fake_host::requestedIds);
    EXPECT_EQ((const char*)0x10000, call.raw[1]);
    EXPECT_EQ("plain", call.items[2]);
}

TEST_F(HostUi, ShowMessageLeavesTheCallersListAlone)
{
    MsgItem items[] = {7, TextItem("text")};
    ShowMessage(1, nullptr, items, 2, 0);
    EXPECT_EQ((MsgItem)7, items[0]);
    EXPECT_EQ("M7", fake_host::messages[0].items[0]);
    EXPECT_EQ(1u, fake_host::messages[0].flags);
}

TEST_F(HostUi, DialogLeftWithEscStillCopiesEditTextsBack)
{
    char edit[512] = "before";
    InitDialogItem items[] = {
        {host::DI_TEXT, 1, 1, 10, 1, 0, 0, 0, 0, (MsgItem)12, 0},
        {host::DI_EDIT, 1, 2, 10, 2, 1, 0, 0, 0, TextItem(edit), 0},
    };
    fake_host::dialogAnswer = -1;
    fake_host::dialogEditText = "after";

    EXPECT_EQ(-1, RunDialog(-1, -1, 20, 5, nullptr, items, 2));
    EXPECT_STREQ("after", edit);
    ASSERT_EQ(1u, fake_host::dialogs.size());
    EXPECT_STREQ("M12", fake_host::dialogs[0].items[0].Data.Data);
    EXPECT_STREQ("before", fake_host::dialogs[0].items[1].Data.Data);  // what the host was shown
    EXPECT_EQ(1, fake_host::dialogs[0].items[1].Focus);
}

TEST_F(HostUi, DialogTextsAreBoundedToTheHostItemAndTheCallersBuffer)
{
    std::string longText(700, 'x');
    char small[16] = "";
    char guard[16];
    memset(guard, '#', sizeof(guard));
    InitDialogItem items[] = {
        {host::DI_TEXT, 1, 1, 10, 1, 0, 0, 0, 0, TextItem(longText.c_str()), 0},
        {host::DI_EDIT, 1, 2, 10, 2, 1, 0, 0, 0, TextItem(small), 8},
    };
    fake_host::dialogAnswer = 1;
    fake_host::dialogEditText = std::string(511, 'y');

    EXPECT_EQ(1, RunDialog(-1, -1, 20, 5, nullptr, items, 2));
    EXPECT_EQ(511u, strlen(fake_host::dialogs[0].items[0].Data.Data));
    EXPECT_STREQ("yyyyyyy", small);
    EXPECT_TRUE(std::all_of(small + 8, small + 16, [](char c) { return c == 0; }));
}

}  // namespace

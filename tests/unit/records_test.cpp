#include "fake_host.h"
#include "phone_panel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using remote::RemoteEntry;

RemoteEntry Entry(const std::wstring& name, const std::wstring& shortName)
{
    RemoteEntry entry;
    memset(&entry, 0, sizeof(entry));
    wcsncpy(entry.name, name.c_str(), 256);
    wcsncpy(entry.shortName, shortName.c_str(), 272);
    return entry;
}

host::PluginPanelItem Dirty()
{
    host::PluginPanelItem item;
    memset(&item, 0x5A, sizeof(item));
    return item;
}

TEST(ConvertEntry, FillsTheFindDataOfADirectory)
{
    RemoteEntry entry = Entry(std::wstring(255, L'n'), L"");
    entry.attributes = 0x10;
    entry.size = 0;
    entry.lastWriteTime.dwLowDateTime = 0x89ABCDEF;
    entry.lastWriteTime.dwHighDateTime = 0x01234567;
    host::PluginPanelItem item = Dirty();

    EXPECT_EQ(1, ConvertEntry(&entry, &item));
    EXPECT_EQ(0x10u, item.FindData.dwFileAttributes);
    EXPECT_EQ(std::string(255, 'n'), item.FindData.cFileName);
    EXPECT_STREQ("", item.FindData.cAlternateFileName);
    EXPECT_EQ(0u, item.FindData.nFileSizeLow);
    EXPECT_EQ(0u, item.FindData.nFileSizeHigh);
    EXPECT_EQ(0x89ABCDEFu, item.FindData.ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(0x01234567u, item.FindData.ftLastWriteTime.dwHighDateTime);
    EXPECT_EQ(0u, item.FindData.ftCreationTime.dwLowDateTime | item.FindData.ftCreationTime.dwHighDateTime);
    EXPECT_EQ(0u, item.FindData.ftLastAccessTime.dwLowDateTime | item.FindData.ftLastAccessTime.dwHighDateTime);
    // Beyond the find data the item is the caller's.
    EXPECT_EQ(0x5A5A5A5Au, item.Flags);
}

TEST(ConvertEntry, ATooLongShortNameFailsButTheRestIsFilled)
{
    RemoteEntry entry = Entry(L"photo.jpg", L"ABCDEFGHIJKLMN.JPG");
    entry.attributes = 0x20;
    entry.size = 4096;
    host::PluginPanelItem item = Dirty();

    EXPECT_EQ(0, ConvertEntry(&entry, &item));
    EXPECT_STREQ("photo.jpg", item.FindData.cFileName);
    EXPECT_STREQ("", item.FindData.cAlternateFileName);
    EXPECT_EQ(0x20u, item.FindData.dwFileAttributes);
    EXPECT_EQ(4096u, item.FindData.nFileSizeLow);
}

TEST(ConvertEntry, UnterminatedFieldsAreReadNoFurtherThanTheirRoom)
{
    RemoteEntry entry;
    memset(&entry, 0, sizeof(entry));
    for (WCHAR& c : entry.name) c = L'x';
    for (WCHAR& c : entry.shortName) c = L'y';
    host::PluginPanelItem item = Dirty();

    EXPECT_EQ(0, ConvertEntry(&entry, &item));
    EXPECT_STREQ("", item.FindData.cFileName);
    EXPECT_STREQ("", item.FindData.cAlternateFileName);
}

TEST(ConvertEntry, ANameTheCodePageCannotSpellIsNotGuessed)
{
    // U+4E2D has no form in the single-byte code pages; a '?' or a best-fit
    // letter in its place would name some other file.
    RemoteEntry entry = Entry(L"a\x4E2D.txt", L"");
    host::PluginPanelItem item = Dirty();
    EXPECT_EQ(0, ConvertEntry(&entry, &item));
    EXPECT_STREQ("", item.FindData.cFileName);
}

TEST(StatusText, NamedStatusesHaveTheirOwnTexts)
{
    fake_host::Install();
    char text[128];
    const LONG named[][2] = {{-101, 3}, {-100, 60}, {-25, 52}, {-11, 51}, {-3, 53}, {-1, 71}};
    for (auto& n : named) {
        StatusText(n[0], text, sizeof(text));
        EXPECT_EQ("M" + std::to_string(n[1]), std::string(text));
    }
    // A server's status is the server's, whatever its value: -102 and -103
    // are no outcome of the link's.
    for (LONG other : {0L, -2L, -102L, -103L, -104L}) {
        StatusText(other, text, sizeof(text));
        EXPECT_EQ("Status " + std::to_string(other), std::string(text));
    }
}

TEST(StatusText, StaysInsideTheCallersBuffer)
{
    fake_host::Install();
    char text[8];
    memset(text, '#', sizeof(text));
    StatusText(-123456, text, 6);
    EXPECT_STREQ("Statu", text);
    EXPECT_EQ('#', text[6]);
    EXPECT_EQ('#', text[7]);
}

}  // namespace

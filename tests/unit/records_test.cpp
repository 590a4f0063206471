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

TEST(ConvertEntry, UnterminatedFieldsAreNotReadPastTheRecord)
{
    // The record ends right where an inaccessible page begins: a read past
    // its last unit would fault.
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    DWORD page = info.dwPageSize;
    BYTE* base = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * page, MEM_COMMIT | MEM_RESERVE,
                                                 PAGE_READWRITE));
    ASSERT_NE(nullptr, base);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(base + page, page, PAGE_NOACCESS, &old));
    RemoteEntry* entry = reinterpret_cast<RemoteEntry*>(base + page - sizeof(RemoteEntry));
    memset(entry, 0, sizeof(*entry));
    for (WCHAR& c : entry->name) c = L'x';
    for (WCHAR& c : entry->shortName) c = L'y';
    entry->size = 99;

    host::PluginPanelItem item = Dirty();
    EXPECT_EQ(0, ConvertEntry(entry, &item));
    EXPECT_STREQ("", item.FindData.cFileName);
    EXPECT_STREQ("", item.FindData.cAlternateFileName);
    EXPECT_EQ(99u, item.FindData.nFileSizeLow);  // each field stands on its own

    // The short name's terminator in its very last unit is still found.
    entry->shortName[271] = 0;
    entry->name[0] = 0;
    EXPECT_EQ(0, ConvertEntry(entry, &item));  // 271 letters do not fit 14 bytes
    EXPECT_STREQ("", item.FindData.cAlternateFileName);

    VirtualFree(base, 0, MEM_RELEASE);
}

// Names are narrowed with the file APIs' code page: OEM under the host.
TEST(ConvertEntry, NamesFollowTheFileApisCodePage)
{
    UINT oem = GetOEMCP();
    if ((oem != 437 && oem != 850) || GetACP() != 1252)
        GTEST_SKIP() << "needs the default Western code pages";
    RemoteEntry cafe = Entry(L"caf\u00e9.txt", L"CAF\u00c9~1.TXT");
    host::PluginPanelItem item = Dirty();
    SetFileApisToOEM();
    EXPECT_EQ(1, ConvertEntry(&cafe, &item));
    EXPECT_STREQ("caf\x82.txt", item.FindData.cFileName);
    EXPECT_STREQ("CAF\x90~1.TXT", item.FindData.cAlternateFileName);
    SetFileApisToANSI();
    EXPECT_EQ(1, ConvertEntry(&cafe, &item));
    EXPECT_STREQ("caf\xe9.txt", item.FindData.cFileName);

    // The euro sign exists in the ANSI page only; under OEM no near letter
    // may stand in for it.
    RemoteEntry euro = Entry(L"\u20ac.txt", L"EURO.TXT");
    EXPECT_EQ(1, ConvertEntry(&euro, &item));
    EXPECT_STREQ("\x80.txt", item.FindData.cFileName);
    SetFileApisToOEM();
    EXPECT_EQ(0, ConvertEntry(&euro, &item));
    EXPECT_STREQ("", item.FindData.cFileName);
    EXPECT_STREQ("EURO.TXT", item.FindData.cAlternateFileName);
    SetFileApisToANSI();
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

// A server's status is the server's, whatever its value: -102 and -103 are
// no outcome of the link's, which is told beside the status.
TEST(StatusText, EveryOtherStatusIsTheServersOwn)
{
    fake_host::Install();
    char text[128];
    for (LONG other : {-2L, -102L, -103L, -104L}) {
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

    // A language's text for a named status, longer than the buffer.
    fake_host::overrides[53] = std::string(200, 'c');
    memset(text, '#', sizeof(text));
    StatusText(-3, text, 6);
    EXPECT_STREQ("ccccc", text);
    EXPECT_EQ('#', text[6]);
    memset(text, '#', sizeof(text));
    StatusText(-3, text, 0);
    EXPECT_EQ('#', text[0]);
}

}  // namespace

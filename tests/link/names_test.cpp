// Entry names in the file APIs' code page, and status texts cut to the
// caller's buffer.
#include "link_test_support.h"
#include "phone_panel.h"

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

class NamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The single-byte Western pages: 'é' and '€' sit at different places
        // (or nowhere) in the OEM and ANSI forms.
        UINT oem = GetOEMCP();
        if ((oem != 437 && oem != 850) || GetACP() != 1252)
            GTEST_SKIP() << "needs the default Western code pages";
    }
    void TearDown() override { SetFileApisToANSI(); }

    int Convert(const RemoteEntry& entry)
    {
        memset(&item, 0x5A, sizeof(item));
        return ConvertEntry(&entry, &item);
    }
    host::PluginPanelItem item;
};

TEST_F(NamesTest, NamesFollowTheFileApisCodePage)
{
    RemoteEntry cafe = Entry(L"caf\u00e9.txt", L"CAF\u00c9~1.TXT");
    SetFileApisToOEM();
    EXPECT_EQ(1, Convert(cafe));
    EXPECT_STREQ("caf\x82.txt", item.FindData.cFileName);
    EXPECT_STREQ("CAF\x90~1.TXT", item.FindData.cAlternateFileName);

    SetFileApisToANSI();
    EXPECT_EQ(1, Convert(cafe));
    EXPECT_STREQ("caf\xe9.txt", item.FindData.cFileName);
    EXPECT_STREQ("CAF\xc9~1.TXT", item.FindData.cAlternateFileName);

    // The euro sign exists in the ANSI page only; under OEM no near letter
    // may stand in for it.
    RemoteEntry euro = Entry(L"\u20ac.txt", L"EURO.TXT");
    EXPECT_EQ(1, Convert(euro));
    EXPECT_STREQ("\x80.txt", item.FindData.cFileName);
    SetFileApisToOEM();
    EXPECT_EQ(0, Convert(euro));
    EXPECT_STREQ("", item.FindData.cFileName);
    EXPECT_STREQ("EURO.TXT", item.FindData.cAlternateFileName);
}

TEST_F(NamesTest, EachFieldStandsOrFallsOnItsOwn)
{
    RemoteEntry entry = Entry(L"", L"SHORT.TXT");
    for (WCHAR& c : entry.name) c = L'n';  // 256 units, no terminator
    entry.size = 99;
    EXPECT_EQ(0, Convert(entry));
    EXPECT_STREQ("", item.FindData.cFileName);
    EXPECT_STREQ("SHORT.TXT", item.FindData.cAlternateFileName);
    EXPECT_EQ(99u, item.FindData.nFileSizeLow);

    // A short name of 13 single-byte letters just fits with its terminator.
    RemoteEntry fits = Entry(L"long name.text", L"ABCDEFGHI.\u00e9XT");
    SetFileApisToOEM();
    EXPECT_EQ(1, Convert(fits));
    EXPECT_STREQ("ABCDEFGHI.\x82XT", item.FindData.cAlternateFileName);
    fits.shortName[13] = L'X';
    EXPECT_EQ(0, Convert(fits));
    EXPECT_STREQ("long name.text", item.FindData.cFileName);
    EXPECT_STREQ("", item.FindData.cAlternateFileName);
}

TEST(ConvertEntryBounds, UnterminatedFieldsAreNotReadPastTheRecord)
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

    host::PluginPanelItem item;
    memset(&item, 0x5A, sizeof(item));
    EXPECT_EQ(0, ConvertEntry(entry, &item));
    EXPECT_STREQ("", item.FindData.cFileName);
    EXPECT_STREQ("", item.FindData.cAlternateFileName);

    // The short name's terminator in its very last unit is still found.
    entry->shortName[271] = 0;
    entry->name[0] = 0;
    EXPECT_EQ(0, ConvertEntry(entry, &item));  // 271 letters do not fit 14 bytes
    EXPECT_STREQ("", item.FindData.cAlternateFileName);

    VirtualFree(base, 0, MEM_RELEASE);
}

const char* WINAPI LongTexts(int, int id)
{
    static std::string text;
    text = "T" + std::to_string(id) + std::string(200, '.');
    return text.c_str();
}

TEST(StatusTextBounds, LanguageTextsLongerThanTheBufferAreCut)
{
    host::PluginStartupInfo saved = startupInfo;
    startupInfo.GetMsg = LongTexts;

    char text[64];
    for (LONG status : {-101L, -100L, -25L, -11L, -3L}) {
        memset(text, '#', sizeof(text));
        StatusText(status, text, 60);
        EXPECT_EQ(59u, strlen(text)) << status;
        EXPECT_EQ('T', text[0]);
        EXPECT_EQ('#', text[60]);
    }
    memset(text, '#', sizeof(text));
    StatusText(-3, text, 0);
    EXPECT_EQ('#', text[0]);

    startupInfo = saved;
}

}  // namespace

#include "fake_host.h"
#include "local_folders.h"
#include "path_builders.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PathBuilders, AWholePathOrNone)
{
    char out[16];
    EXPECT_TRUE(JoinPath(out, sizeof(out), "C:\\a", "b.txt"));
    EXPECT_STREQ("C:\\a\\b.txt", out);
    EXPECT_TRUE(JoinPath(out, sizeof(out), "C:\\", "b.txt"));
    EXPECT_STREQ("C:\\b.txt", out);
    EXPECT_FALSE(JoinPath(out, sizeof(out), "C:\\abcdefgh", "b.txt"));  // 16 with its end
    EXPECT_STREQ("", out);

    // A path that fills its buffer exactly, terminator included, fits; one
    // unit more does not, and nothing is written past the buffer.
    for (bool narrowName : {true, false}) {
        WCHAR wide[9] = L"C:\\a";
        wide[8] = L'#';
        EXPECT_TRUE(narrowName ? AppendWideName(wide, 8, "bc") : AppendWideName(wide, 8, L"bc"));
        EXPECT_STREQ(L"C:\\a\\bc", wide);
        wcscpy(wide, L"C:\\a");
        EXPECT_FALSE(narrowName ? AppendWideName(wide, 8, "bcd") : AppendWideName(wide, 8, L"bcd"));
        EXPECT_STREQ(L"", wide);
        EXPECT_EQ(L'#', wide[8]);
    }
}

// The destination the host proposes gets its final backslash only when the
// buffer has room for it.
TEST(PathBuilders, TheHostsDestinationGetsItsSlashWithinTheBuffer)
{
    fake_host::Install();
    char out[513];
    out[512] = '#';
    TakeHostDestination(out, 512, std::string(510, 'd').c_str());
    EXPECT_EQ(std::string(510, 'd') + "\\", out);
    TakeHostDestination(out, 512, std::string(511, 'd').c_str());
    EXPECT_EQ(std::string(511, 'd'), out);
    EXPECT_EQ('#', out[512]);
}

// 表 in Shift-JIS is 0x95 0x5C: its second byte is a backslash's.
TEST(PathBuilders, DoubleByteTextIsScannedByCharacters)
{
    const char name[] = "\x95\x5C\x8E\xA6.txt";  // 表示.txt
    EXPECT_EQ(nullptr, FindAnyOf(name, "\\/:*?", 932));
    EXPECT_NE(nullptr, FindAnyOf(name, "\\/:*?", 1252));  // what a byte scan sees

    const char path[] = "C:\\\x95\x5C";
    EXPECT_EQ(path + 2, LastSeparator(path, 932));
}

}  // namespace

#include "fake_host.h"
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

    WCHAR wide[10] = L"C:\\a";
    EXPECT_TRUE(AppendWideName(wide, 10, "bc"));
    EXPECT_STREQ(L"C:\\a\\bc", wide);
    EXPECT_FALSE(AppendWideName(wide, 10, "de"));
    EXPECT_STREQ(L"", wide);
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

// The host's standard functions: the plug-in's displayed paths and generated
// names depend on these matching the 1.70 host exactly.
#include "std_functions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace host_emu;

namespace {

std::string TruncPath(const std::string& path, int max) {
    char buffer[600];
    std::strcpy(buffer, path.c_str());
    char* result = TruncPathStr(buffer, max);
    EXPECT_EQ(result, buffer);  // truncated in place
    return buffer;
}

std::string Trunc(const std::string& text, int max) {
    char buffer[600];
    std::strcpy(buffer, text.c_str());
    TruncStr(buffer, max);
    return buffer;
}

std::string WithEndSlash(const std::string& path) {
    char buffer[600];
    std::strcpy(buffer, path.c_str());
    EXPECT_TRUE(AddEndSlash(buffer));
    return buffer;
}

// Returns the generated name, or "FALSE:<buffer>" when the host declines.
std::string Generate(const std::string& source, const std::string& mask, DWORD extra = 0) {
    char buffer[520];
    std::strcpy(buffer, mask.c_str());
    int ok = ProcessName(source.c_str(), buffer, PN_GENERATENAME | extra);
    return ok ? std::string(buffer) : "FALSE:" + std::string(buffer);
}

}  // namespace

TEST(HostTruncPathStr, KeepsDriveRootBeforeTheDots) {
    const std::string path = "C:\\Program Files\\Far\\Plugins\\MyPlugin\\file.txt";
    EXPECT_EQ(TruncPath(path, 20), "C:\\...lugin\\file.txt");
    EXPECT_EQ(TruncPath(path, 8), "C:\\...xt");
    EXPECT_EQ(TruncPath(path, 20).size(), 20u);
}

TEST(HostTruncPathStr, KeepsUncRootAndFallsBackWithoutRoot) {
    EXPECT_EQ(TruncPath("\\\\server\\share\\dir1\\dir2\\file.txt", 20), "\\\\server\\share\\...xt");
    EXPECT_EQ(TruncPath("relative\\path\\to\\some\\file.txt", 20), "...\\to\\some\\file.txt");
    // A UNC name without the share's closing backslash has no root.
    EXPECT_EQ(TruncPath("\\\\server\\sharename_is_long", 10), "...is_long");
}

TEST(HostTruncPathStr, RootTooLongForTheWidthUsesPlainTruncation) {
    // 3 + 5 > 7: the root cannot stay.
    EXPECT_EQ(TruncPath("C:\\abcdefghij", 7), "...ghij");
    EXPECT_EQ(TruncPath("C:\\short", 8), "C:\\short");  // fits: unchanged
}

TEST(HostTruncStr, ShortWidthsAndNull) {
    EXPECT_EQ(Trunc("abcdefgh", 5), "...gh");
    EXPECT_EQ(Trunc("abcdefgh", 3), "abc");
    EXPECT_EQ(Trunc("abcdefgh", 0), "");
    EXPECT_EQ(Trunc("abcdefgh", -4), "");
    EXPECT_EQ(Trunc("abc", 3), "abc");
    EXPECT_EQ(TruncStr(nullptr, 5), nullptr);
    EXPECT_EQ(TruncPathStr(nullptr, 5), nullptr);
}

TEST(HostAddEndSlash, ChoosesTheSeparatorUsedMoreOften) {
    EXPECT_EQ(WithEndSlash("C:\\dir"), "C:\\dir\\");
    EXPECT_EQ(WithEndSlash("a/b/c"), "a/b/c/");
    EXPECT_EQ(WithEndSlash("a/b\\c"), "a/b\\c\\");  // a tie goes to the backslash
    EXPECT_EQ(WithEndSlash("a/b/c\\"), "a/b/c/");   // the trailing one is replaced
    EXPECT_EQ(WithEndSlash("C:\\"), "C:\\");
    EXPECT_EQ(WithEndSlash(""), "\\");
    EXPECT_FALSE(AddEndSlash(nullptr));
}

TEST(HostProcessName, GeneratesNamesLikeTheHost) {
    EXPECT_EQ(Generate("file.txt", "*.bak"), "file.bak");
    EXPECT_EQ(Generate("file", "*.bak"), "file.bak");
    EXPECT_EQ(Generate("a.b.c", "*.bak"), "a.b.bak");
    EXPECT_EQ(Generate("C:\\src\\file.txt", "*.bak"), "C:\\src\\file.bak");
    EXPECT_EQ(Generate("file.txt", "*.*"), "file.txt");
    EXPECT_EQ(Generate("file", "*.*"), "file");
    EXPECT_EQ(Generate("readme", "*"), "readme");
    EXPECT_EQ(Generate("file.txt", "dir\\*"), "dir\\file.txt");
    EXPECT_EQ(Generate("C:\\src\\file.txt", "D:\\dst\\*.*"), "D:\\dst\\file.txt");
    EXPECT_EQ(Generate("file.txt", "new_*"), "new_.txt");
    EXPECT_EQ(Generate("file.txt", "?x?.*"), "fxl.txt");
    // A later dot in the mask: "*" stops at the source's first dot instead.
    EXPECT_EQ(Generate("x.y.z", "*.b.c"), "x.b.c");
}

TEST(HostProcessName, DeclinesMasksWithoutWildcardsAndLeavesTheBuffer) {
    EXPECT_EQ(Generate("file.txt", "C:\\dir\\"), "FALSE:C:\\dir\\");
    EXPECT_EQ(Generate("file.txt", "plain"), "FALSE:plain");
    EXPECT_EQ(Generate("file.txt", "C:\\wild*\\plain"), "FALSE:C:\\wild*\\plain");
}

TEST(HostProcessName, LowByteLimitsTheSource) {
    // Only "C:\src\fi" is the source; the rest is not put back.
    EXPECT_EQ(Generate("C:\\src\\file.txt", "*.*", 9), "C:\\src\\fi");
}

TEST(HostProcessName, ComparesNameLists) {
    char name[] = "C:\\dir\\Photo.JPG";
    EXPECT_TRUE(ProcessName("*.txt,*.jpg", name, PN_CMPNAMELIST | PN_SKIPPATH));
    EXPECT_FALSE(ProcessName("*.txt,*.png", name, PN_CMPNAMELIST | PN_SKIPPATH));
    // Without PN_SKIPPATH the path is part of the name.
    EXPECT_FALSE(ProcessName("photo.*", name, PN_CMPNAMELIST));
    EXPECT_TRUE(ProcessName("photo.*", name, PN_CMPNAMELIST | PN_SKIPPATH));
    // PN_CMPNAME alone never matches in the 1.70 host.
    EXPECT_FALSE(ProcessName("*", name, PN_CMPNAME));
}

TEST(HostCmpName, Wildcards) {
    EXPECT_TRUE(CmpName("*.txt", "README.TXT", FALSE));
    EXPECT_TRUE(CmpName("*.*", "noext", FALSE));
    EXPECT_TRUE(CmpName("file?.c", "file1.c", FALSE));
    EXPECT_FALSE(CmpName("file?.c", "file.c", FALSE));
    EXPECT_TRUE(CmpName("[a-c]*", "beta", FALSE));
    EXPECT_FALSE(CmpName("[a-c]*", "delta", FALSE));
    EXPECT_FALSE(CmpName("*.txt", "C:\\a.txt\\b.doc", TRUE));
    EXPECT_TRUE(CmpName("b.doc", "C:\\a.txt\\b.doc", TRUE));
    EXPECT_STREQ(PointToName("C:\\a\\b.txt"), "b.txt");
    EXPECT_STREQ(PointToName("C:name"), "name");
    EXPECT_STREQ(PointToName("dir/"), "");
}

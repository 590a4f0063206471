// The Russian-locale run must really run in the Russian code pages: the
// Cyrillic tests skip themselves elsewhere, and would pass there unseen.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

TEST(CyrillicLocale, TheRussianRunHasTheRussianCodePages)
{
    const char* expected = std::getenv("KELP_EXPECT_OEM_CP");
    if (!expected) GTEST_SKIP() << "only the Russian-locale run names its code page";
    EXPECT_EQ((UINT)std::atoi(expected), GetOEMCP());
    EXPECT_EQ(1251u, GetACP());
}

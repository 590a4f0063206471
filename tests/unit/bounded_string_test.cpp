#include "bounded_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char Guard = '#';

// A buffer of `size` elements followed by a guard zone that must survive.
template <typename Ch>
struct Guarded {
    Ch data[64];
    explicit Guarded(Ch fill) { for (Ch& c : data) c = fill; }
    bool GuardIntact(int from) const
    {
        for (int i = from; i < 64; ++i)
            if (data[i] != (Ch)Guard) return false;
        return true;
    }
};

TEST(BoundedString, CopyNeverWritesPastSizeForAnySize)
{
    const char* src = "abcdefghij";  // 10 characters
    for (int size = 0; size <= 12; ++size) {
        Guarded<char> buf(Guard);
        CopyBounded(buf.data, src, size);
        EXPECT_TRUE(buf.GuardIntact(size)) << "size " << size;
        if (size == 0) continue;
        std::string expected(src, std::min(size - 1, 10));
        EXPECT_EQ(expected, std::string(buf.data)) << "size " << size;
    }
}

TEST(BoundedString, CopyExamples)
{
    char buf[8] = "zzzzzzz";
    EXPECT_STREQ("abc", CopyBounded(buf, "abcdef", 4));
    EXPECT_STREQ("xyz", CopyBounded(buf, "xyz", 4));
    strcpy(buf, "keep");
    CopyBounded(buf, "other", 0);
    CopyBounded(buf, "other", -3);
    EXPECT_STREQ("keep", buf);
}

TEST(BoundedString, AppendNeverWritesPastSizeForAnySize)
{
    for (int size = 0; size <= 12; ++size) {
        Guarded<char> buf(Guard);
        if (size > 0) CopyBounded(buf.data, "abc", size);
        AppendBounded(buf.data, "defghij", size);
        EXPECT_TRUE(buf.GuardIntact(size)) << "size " << size;
        if (size == 0) continue;
        std::string expected = std::string("abcdefghij").substr(0, std::min(size - 1, 10));
        EXPECT_EQ(expected, std::string(buf.data)) << "size " << size;
    }
}

TEST(BoundedString, AppendToAFullBufferLeavesItUnchanged)
{
    char buf[5] = "abcd";  // size - 1 characters already
    AppendBounded(buf, "x", 5);
    EXPECT_STREQ("abcd", buf);
}

TEST(BoundedString, WideTwinsCountInUnits)
{
    for (int size = 0; size <= 8; ++size) {
        Guarded<WCHAR> buf((WCHAR)Guard);
        CopyBoundedWide(buf.data, L"ab", size);
        AppendBoundedWide(buf.data, L"cdef", size);
        EXPECT_TRUE(buf.GuardIntact(size)) << "size " << size;
        if (size == 0) continue;
        std::wstring expected = std::wstring(L"abcdef").substr(0, std::min(size - 1, 6));
        EXPECT_EQ(expected, std::wstring(buf.data)) << "size " << size;
    }
}

}  // namespace

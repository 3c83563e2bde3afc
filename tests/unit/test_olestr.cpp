#include <gtest/gtest.h>

#include <cstring>

#include "olestr.h"

TEST(OleStr, LengthPrefixZeroTerminatorAndNull) {
    const long before = OleStrLiveCount();
    BSTR s = SysAllocStringByteLen("ab\0c", 4);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringByteLen(s), 4u);
    EXPECT_EQ(std::memcmp(s, "ab\0c", 4), 0);
    EXPECT_EQ(s[4], 0);  // a zero byte follows the data
    EXPECT_EQ(OleStrLiveCount(), before + 1);
    SysFreeString(s);
    EXPECT_EQ(OleStrLiveCount(), before);

    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);  // null is the empty string; freeing it is harmless
    EXPECT_EQ(OleStrLiveCount(), before);

    BSTR z = SysAllocStringByteLen(nullptr, 3);  // no source: zero-filled
    EXPECT_EQ(SysStringByteLen(z), 3u);
    EXPECT_EQ(z[0] | z[1] | z[2], 0);
    SysFreeString(z);
    BSTR e = SysAllocStringByteLen("", 0);  // an allocated empty string is not null
    EXPECT_NE(e, nullptr);
    EXPECT_EQ(SysStringByteLen(e), 0u);
    SysFreeString(e);
}

TEST(OleStr, AllBytesKept) {
    char all[256];
    for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
    BSTR s = SysAllocStringByteLen(all, 256);
    EXPECT_EQ(SysStringByteLen(s), 256u);
    EXPECT_EQ(std::memcmp(s, all, 256), 0);
    SysFreeString(s);
}

#include "core/codepage.h"

#include <gtest/gtest.h>

using namespace vexora;

TEST(CodePage, AllByteValuesRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string utf8 = cp1252ToUtf8(all);
    EXPECT_EQ(utf8ToCp1252(utf8), all);
    EXPECT_TRUE(fitsCp1252(utf8));
    EXPECT_EQ(utf8Length(utf8), 256u);
}

TEST(CodePage, MapsTheSpecialRangeAndItalianLetters) {
    EXPECT_EQ(cp1252ToUtf8("\x80"), "\u20ac");
    EXPECT_EQ(cp1252ToUtf8("\x92"), "\u2019");
    EXPECT_EQ(cp1252ToUtf8("\x81"), "\u0081");  // undefined byte -> C1 control
    EXPECT_EQ(cp1252ToUtf8("perch\xe9 \xe8 \xe0 \xf2 \xf9"), "perché è à ò ù");
    EXPECT_EQ(utf8ToCp1252("perché è"), "perch\xe9 \xe8");
    EXPECT_EQ(utf8ToCp1252("\u20ac"), "\x80");
}

TEST(CodePage, UnmappableAndMalformedInput) {
    EXPECT_EQ(utf8ToCp1252("\u4e2d"), "?");      // CJK has no byte
    EXPECT_FALSE(fitsCp1252("\u4e2d"));
    EXPECT_EQ(utf8ToCp1252("a\xe8z"), "a\xe8z");  // stray Latin-1 byte kept as is
    EXPECT_EQ(utf8ToCp1252("\xe2\x82"), "\xe2\x82");  // truncated sequence
    EXPECT_EQ(utf8ToCp1252("\xc0\xaf"), "\xc0\xaf");  // overlong form refused
    EXPECT_EQ(utf8Length("\xe2\x82"), 2u);
}

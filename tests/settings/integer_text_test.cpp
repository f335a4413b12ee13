#include "settings/integer_text.h"

#include <gtest/gtest.h>

#include "settings/file_names.h"

using namespace vexora::settings;

TEST(IntegerText, AcceptsOptionalSignAndDigitsOnly) {
    EXPECT_EQ(parseInteger("0"), 0);
    EXPECT_EQ(parseInteger("007"), 7);
    EXPECT_EQ(parseInteger("-12"), -12);
    EXPECT_EQ(parseInteger("+12"), 12);
    for (const char* bad : {"", "-", "+", " 1", "1 ", "1.0", "1,000", "0x10", "$10", "abc", "1e3",
                            "--1", "\xD9\xA1"}) {
        EXPECT_FALSE(parseInteger(bad).has_value()) << bad;
    }
}

TEST(IntegerText, RangeIsThirtyTwoBits) {
    EXPECT_EQ(parseInteger("2147483647"), 2147483647);
    EXPECT_EQ(parseInteger("-2147483648"), -2147483647 - 1);
    EXPECT_FALSE(parseInteger("2147483648").has_value());
    EXPECT_FALSE(parseInteger("-2147483649").has_value());
    EXPECT_FALSE(parseInteger(std::string(100000, '9')).has_value());
    EXPECT_EQ(parseInteger("-00000000000000000000000000001"), -1);
}

TEST(IntegerText, ToIntegerThrowsWithOriginalMessage) {
    EXPECT_EQ(toInteger("42"), 42);
    try {
        toInteger("4 2");
        FAIL() << "no exception";
    } catch (const ConvertError& e) {
        EXPECT_STREQ(e.what(), "'4 2' is not a valid integer value");
        EXPECT_EQ(e.text(), "4 2");
    }
    EXPECT_EQ(toIntegerOr("x", 5), 5);
}

TEST(FileNames, ChangeFileExtLikeTheOriginal) {
    EXPECT_EQ(changeFileExt("C:\\Dati\\ARG2013.XML", ".xmb"), "C:\\Dati\\ARG2013.xmb");
    EXPECT_EQ(changeFileExt("/dati/lista", ".xmb"), "/dati/lista.xmb");
    EXPECT_EQ(changeFileExt("/d.x/lista", ".xmb"), "/d.x/lista.xmb");
    EXPECT_EQ(changeFileExt("SQM2014.1.QXD", ".xmb"), "SQM2014.1.xmb");
    EXPECT_EQ(changeFileExt("", ".ini"), ".ini");
    EXPECT_EQ(extractFileName("C:\\a\\b/c.xsl"), "c.xsl");
    EXPECT_EQ(extractFileName("c.xsl"), "c.xsl");
    EXPECT_EQ(extractFileName("/a/"), "");
}

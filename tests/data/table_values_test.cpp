#include "data/table_values.h"

#include <gtest/gtest.h>

#include <cmath>

#include "table_test_support.h"

namespace vexora::data {
namespace {

using testing::at;

FieldDef field(FieldType type, int size = 0) {
    FieldDef f;
    f.name = "F";
    f.type = type;
    f.size = size;
    return f;
}

TEST(TableValues, ReadingNull_GivesNeutralValues) {
    const FieldDef f = field(FieldType::String, 5);
    EXPECT_EQ(valueToInteger(f, Value{}), 0);
    EXPECT_EQ(valueToString(f, Value{}), "");
    EXPECT_FALSE(valueToBoolean(f, Value{}));
    EXPECT_EQ(valueToDateTime(f, Value{}), DateTimeValue{});
}

TEST(TableValues, TextAsInteger_AcceptsSignsAndBlanksOnly) {
    const FieldDef f = field(FieldType::String, 10);
    EXPECT_EQ(valueToInteger(f, std::string(" 42 ")), 42);
    EXPECT_EQ(valueToInteger(f, std::string("-7")), -7);
    EXPECT_EQ(valueToInteger(f, std::string("+7")), 7);
    for (const char* bad : {"", " ", "4 2", "0x10", "7.5", "99999999999999999999", "abc"}) {
        EXPECT_THROW(valueToInteger(f, std::string(bad)), TableError) << bad;
    }
}

TEST(TableValues, EmptyTextIntoNonTextFields_IsNull) {
    for (FieldType type : {FieldType::Integer, FieldType::Boolean, FieldType::DateTime,
                           FieldType::Date, FieldType::Time, FieldType::Float}) {
        EXPECT_TRUE(isNull(stringToValue(field(type, type == FieldType::Integer ? 4 : 0), "")));
        EXPECT_TRUE(isNull(stringToValue(field(type, type == FieldType::Integer ? 4 : 0), "  ")));
    }
    EXPECT_EQ(stringToValue(field(FieldType::String, 3), ""), Value{std::string()});
}

TEST(TableValues, IntegerIntoSizedFields_IsRangeChecked) {
    EXPECT_EQ(integerToValue(field(FieldType::Integer, 1), -128), Value{std::int64_t{-128}});
    EXPECT_THROW(integerToValue(field(FieldType::Integer, 1), 128), TableError);
    EXPECT_THROW(integerToValue(field(FieldType::UnsignedInteger, 2), -1), TableError);
    EXPECT_THROW(integerToValue(field(FieldType::AutoInc, 4), std::int64_t{1} << 31), TableError);
    EXPECT_EQ(integerToValue(field(FieldType::String, 2), 123), Value{std::string("12")});
    EXPECT_THROW(integerToValue(field(FieldType::DateTime), 1), TableError);
}

TEST(TableValues, BooleanText_ReadsBothWays) {
    const FieldDef b = field(FieldType::Boolean);
    EXPECT_EQ(stringToValue(b, "True"), Value{true});
    EXPECT_EQ(stringToValue(b, "false"), Value{false});
    EXPECT_EQ(stringToValue(b, "1"), Value{true});
    EXPECT_THROW(stringToValue(b, "forse"), TableError);
    EXPECT_EQ(valueToString(b, Value{true}), "True");
}

TEST(TableValues, DateTimeText_ReadsDisplayAndIsoForms) {
    const FieldDef d = field(FieldType::DateTime);
    EXPECT_EQ(stringToValue(d, "03/03/2024"), Value{at(2024, 3, 3)});
    EXPECT_EQ(stringToValue(d, "3/3/2024 14:05:09"), Value{at(2024, 3, 3, 14, 5, 9)});
    EXPECT_EQ(stringToValue(d, "2024-03-03T14:05:09.250"), Value{at(2024, 3, 3, 14, 5, 9, 250)});
    for (const char* bad : {"31/02/2024", "2024-13-01", "03/03/2024 24:00", "yesterday"}) {
        EXPECT_THROW(stringToValue(d, bad), TableError) << bad;
    }
    const DateTimeValue v = at(1999, 12, 31, 23, 59, 58);
    EXPECT_EQ(parseDisplayDateTime(formatDisplayDateTime(v)), v);
}

TEST(TableValues, IsoForms_HaveMilliseconds) {
    EXPECT_EQ(formatIsoDateTime(at(1, 1, 1)), "0001-01-01T00:00:00.000");
    EXPECT_EQ(formatIsoDateTime(DateTimeValue{86'400'000 + 50'709'250}), "0001-01-01T14:05:09.250");
    EXPECT_EQ(formatIsoTime(TimeValue{50'709'250}), "14:05:09.250");
}

TEST(TableValues, Ordering_PutsNullFirstAndNaNLast) {
    EXPECT_LT(compareValues(Value{}, Value{std::int64_t{-5}}, false), 0);
    EXPECT_GT(compareValues(Value{std::nan("")}, Value{1e300}, false), 0);
    EXPECT_EQ(compareValues(Value{std::nan("")}, Value{std::nan("")}, false), 0);
    EXPECT_EQ(compareValues(Value{std::int64_t{2}}, Value{2.0}, false), 0);
    EXPECT_LT(compareValues(Value{std::string("B")}, Value{std::string("a")}, false), 0);
    EXPECT_GT(compareValues(Value{std::string("B")}, Value{std::string("a")}, true), 0);
    EXPECT_TRUE(equalsIgnoreCase("PERCHÉ", "perché"));
    EXPECT_FALSE(equalsIgnoreCase("perche", "perché"));
}

TEST(TableValues, MemoBytes_ReadAsWindows1252Text) {
    const FieldDef m = field(FieldType::Bytes);
    EXPECT_EQ(valueToString(m, BytesValue{"Perch\xE9"}), "Perché");
    EXPECT_EQ(stringToValue(m, "Perché"), Value{BytesValue{"Perch\xE9"}});
}

}  // namespace
}  // namespace vexora::data

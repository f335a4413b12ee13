#include "data/binary_form.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "binary_form_test_support.h"
#include "data/date_time.h"

using namespace vexora::data;
using namespace vexora::data::testing;
using namespace std::string_literals;

namespace {

// The five column kinds of the print history, in a small table.
TableData smallHistory() {
    TableData t;
    t.fields = {field("nRec", FieldType::AutoInc), field("IdMaster", FieldType::Integer, 4),
                field("Domanda", FieldType::String, 2), field("rsEsame", FieldType::Boolean),
                field("dtEsame", FieldType::DateTime)};
    t.autoIncValue = 2;
    t.rows = {{std::int64_t{1}, std::int64_t{4711}, "12"s, true, DateTimeValue{86'400'000}}};
    return t;
}

TableData nullRows(std::size_t columns, std::size_t rows) {
    TableData t;
    for (std::size_t j = 0; j < columns; ++j) {
        t.fields.push_back(field("c" + std::to_string(j), FieldType::DateTime));
    }
    t.rows.assign(rows, std::vector<Value>(columns));
    return t;
}

}  // namespace

TEST(BinaryFormWrite, HeaderIsTheHandComputed24Bytes) {
    const std::string file = writeBinaryTable(smallHistory());
    const std::string expected =
        "\x96\x19\xE0\xBD"  // magic 0xBDE01996
        "\x01\x00\x00\x00"  // version 1.0
        "\x18\x00\x00\x00"  // header length 24
        "\x05\x00"          // 5 columns
        "\x01\x00\x00\x00"  // 1 row
        "\x01\x00\x00\x00"  // packet carries its metadata
        "\x00\x00"s;
    ASSERT_GE(file.size(), 24u);
    EXPECT_EQ(hex(file.substr(0, 24)), hex(expected));
    EXPECT_TRUE(looksLikeBinaryTable(file));
}

TEST(BinaryFormWrite, OwnColumnKindsUseTheirTypeWordsAndProperties) {
    const std::string file = writeBinaryTable(smallHistory());
    // SUBTYPE: 2-byte length 8 (text + 1), "Autoinc" and a zero byte.
    const std::string autoinc =
        "\x04nRec\x04\x00\x01\x00\x00\x00\x01\x00"
        "\x07SUBTYPE\x02\x00\x49\x00\x08\x00"
        "Autoinc\x00"s;
    const std::string integer = "\x08IdMaster\x04\x00\x01\x00\x00\x00\x00\x00"s;
    const std::string string2 =
        "\x07"
        "Domanda\x01\x00\x49\x00\x00\x00\x01\x00"
        "\x05WIDTH\x02\x00\x02\x00\x02\x00"s;
    const std::string boolean = "\x07rsEsame\x02\x00\x03\x00\x00\x00\x00\x00"s;
    const std::string dateTime = "\x07\x64tEsame\x08\x00\x08\x00\x00\x00\x00\x00"s;
    const std::string tableProps =
        "\x01\x00\x0C"
        "AUTOINCVALUE\x04\x00\x01\x00\x02\x00\x00\x00"s;
    const std::string row =
        "\x00\x00\x00"                        // state, 2 flag bytes
        "\x01\x00\x00\x00"                    // nRec 1
        "\x67\x12\x00\x00"                    // IdMaster 4711
        "\x02"                                // 1-byte prefix
        "12"                                  // Domanda
        "\x01\x00"                            // true
        "\x00\x00\x00\x00\x70\x99\x94\x41"s;  // 86 400 000.0
    EXPECT_EQ(hex(file.substr(24)),
              hex(autoinc + integer + string2 + boolean + dateTime + tableProps + row));
    expectSameTable(readBinaryTable(file), smallHistory());
}

TEST(BinaryFormWrite, FlagBytesHoldTwoBitsPerColumn) {
    // 5 columns -> 2 flag bytes, 21 columns -> 6; each null sets the low bit of its pair.
    const std::string five = writeBinaryTable(nullRows(5, 1));
    EXPECT_EQ(hex(five.substr(five.size() - 3)), "00 55 01");
    const std::string twentyOne = writeBinaryTable(nullRows(21, 2));
    EXPECT_EQ(hex(twentyOne.substr(twentyOne.size() - 14)),
              "00 55 55 55 55 55 01 00 55 55 55 55 55 01");
    const TableData back = readBinaryTable(twentyOne);
    ASSERT_EQ(back.rows.size(), 2u);
    for (const Value& v : back.rows[1])
        EXPECT_TRUE(isNull(v));
}

TEST(BinaryFormWrite, NullColumnsStoreNoBytes) {
    TableData t;
    t.fields = {field("Id", FieldType::Integer, 4), field("dtEsame", FieldType::DateTime),
                field("dtArgomento", FieldType::DateTime), field("rsEsame", FieldType::Boolean),
                field("Info", FieldType::String, 10)};
    t.rows = {{std::int64_t{-2}, Value{}, Value{}, false, Value{}}};
    const std::string file = writeBinaryTable(t);
    // Nulls at columns 1, 2 (bits 2 and 4 of the first flag byte) and 4 (bit 0 of
    // the second); only the integer and the Boolean carry bytes.
    EXPECT_EQ(hex(file.substr(file.size() - 9)), "00 14 01 FE FF FF FF 00 00");
    expectSameTable(readBinaryTable(file), t);
}

TEST(BinaryFormWrite, DateTimesAreMillisecondsInADouble) {
    TableData t;
    t.fields = {field("dt", FieldType::DateTime)};
    t.rows = {{makeDateTime({1, 1, 1, 0, 0, 0, 0})}, {makeDateTime({1, 1, 1, 14, 5, 9, 250})}};
    const std::string file = writeBinaryTable(t);
    EXPECT_EQ(hex(file.substr(file.size() - 20)),
              "00 00 00 00 00 00 70 99 94 41 "   // state, flags, 86 400 000.0
              "00 00 00 00 00 04 3E 58 A0 41");  // state, flags, + 50 709 250
    expectSameTable(readBinaryTable(file), t);
}

TEST(BinaryFormWrite, StringPrefixFollowsTheWidth) {
    for (int width : {254, 255}) {
        SCOPED_TRACE(width);
        TableData t;
        t.fields = {field("S", FieldType::String, width)};
        t.rows = {{"abc"s}};
        const std::string file = writeBinaryTable(t);
        const std::string typeWord = width == 254 ? "\x01\x00\x49\x00"s : "\x02\x00\x49\x00"s;
        EXPECT_EQ(hex(file.substr(24 + 2, 4)), hex(typeWord));
        const std::string value = width == 254 ? "\x03"
                                                 "abc"s
                                               : "\x03\x00"
                                                 "abc"s;
        EXPECT_EQ(hex(file.substr(file.size() - value.size())), hex(value));
        const TableData back = readBinaryTable(file);
        EXPECT_EQ(back.fields[0].size, width);
        EXPECT_EQ(back.fields[0].prefixSize, width == 254 ? 1 : 2);
    }
}

TEST(BinaryFormWrite, TooLongTextWidensThePrefixInsteadOfCutting) {
    TableData t;
    t.fields = {field("S", FieldType::String, 10)};
    t.rows = {{std::string(300, 'x')}, {"\xC3\xA8"s}};  // the second is one byte on disk
    const std::string file = writeBinaryTable(t);
    EXPECT_EQ(hex(file.substr(24 + 2, 4)), "02 00 49 00");
    const TableData back = readBinaryTable(file);
    expectSameTable(back, t);
    EXPECT_EQ(back.fields[0].size, 10);

    // 255 Windows-1252 bytes still fit a 1-byte prefix, even as 510 UTF-8 bytes.
    std::string accented;
    for (int i = 0; i < 255; ++i)
        accented += "\xC3\xA0";
    t.fields[0].size = 254;
    t.rows = {{accented}};
    EXPECT_EQ(hex(writeBinaryTable(t).substr(24 + 2, 4)), "01 00 49 00");
    expectSameTable(readBinaryTable(writeBinaryTable(t)), t);
}

TEST(BinaryFormWrite, PackedDecimalLayout) {
    TableData t;
    t.fields = {field("Quota", FieldType::Decimal, 3)};
    t.fields[0].decimals = 2;
    t.rows = {{-123.45}, {1.5}, {0.0}, {999.99}};
    const std::string file = writeBinaryTable(t);
    // 5 digits, high nibble first, then the sign nibble (C positive, D negative).
    EXPECT_EQ(hex(file.substr(file.size() - 20)),
              "00 00 12 34 5D 00 00 00 15 0C 00 00 00 00 0C 00 00 99 99 9C");
    // The column carries its scale as DECIMALS.
    EXPECT_NE(file.find("\x08"
                        "DECIMALS\x02\x00\x02\x00\x02\x00"s),
              std::string::npos);
    expectSameTable(readBinaryTable(file), t);

    t.rows = {{1000.0}};
    EXPECT_THROW(writeBinaryTable(t), TableError);
}

TEST(BinaryFormWrite, WideDecimalsKeepTheirLargestValue) {
    // 19 nines are not exact in a double; what the reader makes of them writes back.
    TableData t;
    t.fields = {field("Big", FieldType::FormattedDecimal, 10)};
    const std::string nines =
        "\x03"
        "Big\x0A\x00\x12\x00\x00\x00\x01\x00"
        "\x08"
        "DECIMALS\x02\x00\x02\x00\x00\x00"s;
    const std::string file = std::string(Bytes().header(1, 1)) + nines + "\x00\x00\x00\x00"s +
                             std::string(9, '\x99') + "\x9C";
    const TableData back = readBinaryTable(file);
    EXPECT_EQ(std::get<double>(back.rows[0][0]), 1e19);
    EXPECT_EQ(writeBinaryTable(back), file);
    TableData over = back;
    over.rows[0][0] = 2e19;
    EXPECT_THROW(writeBinaryTable(over), TableError);
}

TEST(BinaryFormRead, UnusedColumnPropertiesAreSkippedByTheirTypeWord) {
    const std::string file = Bytes()
                                 .header(3, 1)
                                 .column("Prezzo", 0x00040008, 3)
                                 .u16Property("DECIMALS", 2)
                                 .property("BLOB", 0x004B0004)
                                 .u32(3)
                                 .raw("abc")
                                 .property("DISPLAY", 0x00490002)
                                 .u16(5)
                                 .raw("#.##\0"s)
                                 .column("Quota", 0x00050003, 1)
                                 .u16Property("DECIMALS", 2)
                                 .column("Id", 0x00010004)
                                 .u16(0)
                                 .u8(0)
                                 .u8(0)
                                 .f64(12.5)
                                 .raw("\x12\x34\x5D")
                                 .u32(7);
    const TableData t = readBinaryTable(file);
    ASSERT_EQ(t.fields.size(), 3u);
    const FieldDef& prezzo = t.fields[0];
    EXPECT_EQ(prezzo.type, FieldType::Float);
    EXPECT_EQ(prezzo.size, 8);
    ASSERT_EQ(prezzo.extra.size(), 3u);
    EXPECT_EQ(prezzo.extra[0].name, "DECIMALS");
    EXPECT_EQ(prezzo.extra[0].value, Value{std::int64_t{2}});
    EXPECT_EQ(prezzo.extra[0].typeWord, 0x00020002u);
    EXPECT_EQ(prezzo.extra[1].value, Value{BytesValue{"abc"}});
    EXPECT_EQ(prezzo.extra[2].value, Value{"#.##"s});
    EXPECT_EQ(t.fields[1].type, FieldType::Decimal);
    EXPECT_EQ(t.fields[1].decimals, 2);
    EXPECT_TRUE(t.fields[1].extra.empty());
    EXPECT_EQ(t.fields[2].name, "Id");
    EXPECT_EQ(t.fields[2].type, FieldType::Integer);
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.rows[0][0], Value{12.5});
    EXPECT_EQ(t.rows[0][1], Value{-123.45});
    EXPECT_EQ(t.rows[0][2], Value{std::int64_t{7}});

    // Written back, the extras keep their type words and the file reads the same.
    const std::string again = writeBinaryTable(t);
    EXPECT_NE(again.find("\x04"
                         "BLOB\x04\x00\x4B\x00\x03\x00\x00\x00"
                         "abc"s),
              std::string::npos);
    expectSameTable(readBinaryTable(again), t);
}

TEST(BinaryFormRead, AcceptsTheOtherMagicLaterVersionsAndALongerHeader) {
    const std::string longName(40, 'N');
    const std::string file = Bytes()
                                 .header(3, 3, 0xABCD, 3, 3, 30)
                                 .raw("\xFF\xFF\xFF\xFF\xFF\xFF")
                                 .column(longName, 0x00490001)
                                 .column("Flag", 0x00030002)
                                 .column("N", 0x00010002)
                                 .u16(0)
                                 // Trailing zero byte dropped, only one.
                                 .raw(
                                     "\x00\x00\x03"
                                     "ab\x00\xFF\xFF\xFE\xFF"s)
                                 .raw(
                                     "\x00\x00\x04"
                                     "ab\x00\x00\x00\x00\xFF\x7F"s)
                                 // Change-log row: Flag "not present", N blank.
                                 .raw("\x08\x18\x01z"s);
    EXPECT_TRUE(looksLikeBinaryTable(file));
    const TableData t = readBinaryTable(file);
    EXPECT_EQ(t.fields[0].name, std::string(31, 'N'));
    EXPECT_EQ(t.fields[0].prefixSize, 1);
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0][0], Value{"ab"s});
    EXPECT_EQ(t.rows[0][1], Value{true});  // any non-zero value is true
    EXPECT_EQ(t.rows[0][2], Value{std::int64_t{-2}});
    EXPECT_EQ(t.rows[1][0], Value{"ab\0"s});
    EXPECT_EQ(t.rows[1][1], Value{false});
    EXPECT_EQ(t.rows[1][2], Value{std::int64_t{32767}});
    EXPECT_EQ(t.rows[2][0], Value{"z"s});
    EXPECT_TRUE(isNull(t.rows[2][1]));
    EXPECT_TRUE(isNull(t.rows[2][2]));
}

TEST(BinaryFormRead, VersionsAboveThreeAreNotBinaryTables) {
    EXPECT_FALSE(looksLikeBinaryTable(Bytes().header(0, 0, 0xBDE01996, 4, 0).u16(0).str()));
    EXPECT_FALSE(looksLikeBinaryTable(Bytes().header(0, 0, 0xBDE01996, 1, 4).u16(0).str()));
    EXPECT_FALSE(looksLikeBinaryTable(Bytes().header(0, 0, 0xBDE01997).u16(0).str()));
    EXPECT_FALSE(looksLikeBinaryTable("<?xml version=\"1.0\" standalone=\"yes\"?>"));
    EXPECT_TRUE(looksLikeBinaryTable(Bytes().header(0, 0).u16(0).str()));
    EXPECT_THROW(readBinaryTable(Bytes().header(0, 0, 0xBDE01996, 4, 0).u16(0).str()), TableError);
}

TEST(BinaryFormRead, DecodesEveryAcceptedValueEncoding) {
    const std::string file =
        Bytes()
            .header(11, 1)
            .column("i1", 0x00010001)
            .column("i8", 0x00010008)
            .column("u4", 0x00020004)
            .column("f4", 0x00040004)
            .column("d", 0x00060004)
            .column("t", 0x00070004)
            .column("w", 0x004A0001)
            .column("fixedbytes", 0x000B0003)
            .column("memo", 0x004B0004)
            .column("s4", 0x00490004)
            .column("dt", 0x00080008)
            .u16(0)
            .u8(0)
            .raw("\x00\x00\x00"s)
            .u8(0x80)
            .u64(0x8000000000000000ull)
            .u32(0xFFFFFFFF)
            .u32(0x3FC00000)  // 1.5f
            .u32(1)
            .u32(50'709'250)
            .u8(8)
            .raw("\xE8\x00\x3D\xD8\x00\xDE\x00\xD8"s)  // è, U+1F600, lone surrogate
            .raw("\x00\x01\x02"s)
            .u32(4)
            .raw("m\xE8mo")  // memo bytes are kept raw
            .u32(2)
            .raw("\x80\x00"s)  // euro sign, terminator dropped
            .f64(86'400'000.6);
    const TableData t = readBinaryTable(file);
    ASSERT_EQ(t.rows.size(), 1u);
    const auto& r = t.rows[0];
    EXPECT_EQ(r[0], Value{std::int64_t{-128}});
    EXPECT_EQ(r[1], Value{std::numeric_limits<std::int64_t>::min()});
    EXPECT_EQ(r[2], Value{std::int64_t{4294967295}});
    EXPECT_EQ(r[3], Value{1.5});
    EXPECT_EQ(r[4], Value{DateValue{1}});
    EXPECT_EQ(r[5], Value{TimeValue{50'709'250}});
    EXPECT_EQ(r[6], Value{"\xC3\xA8\xF0\x9F\x98\x80\xEF\xBF\xBD"s});
    EXPECT_EQ(r[7], Value{BytesValue{"\x00\x01\x02"s}});
    EXPECT_EQ(r[8], Value{BytesValue{"m\xE8mo"}});
    EXPECT_EQ(r[9], Value{"\xE2\x82\xAC"s});
    EXPECT_EQ(r[10], Value{DateTimeValue{86'400'001}});  // rounded to whole milliseconds
    EXPECT_EQ(t.fields[0].size, 1);
    EXPECT_EQ(t.fields[2].type, FieldType::UnsignedInteger);
    EXPECT_EQ(t.fields[3].size, 4);
    EXPECT_EQ(t.fields[6].type, FieldType::WideString);
    EXPECT_EQ(t.fields[7].size, 3);
    EXPECT_EQ(t.fields[8].size, 0);
    EXPECT_EQ(t.fields[8].prefixSize, 4);
    EXPECT_EQ(t.fields[9].prefixSize, 4);
}

TEST(BinaryFormRoundTrip, EveryTypeSurvivesWriteAndRead) {
    TableData t;
    auto add = [&t](FieldDef f) { t.fields.push_back(std::move(f)); };
    add(field("nRec", FieldType::AutoInc, 4));
    add(field("i1", FieldType::Integer, 1));
    add(field("i2", FieldType::Integer, 2));
    add(field("i4", FieldType::Integer, 4));
    add(field("i8", FieldType::Integer, 8));
    add(field("ui1", FieldType::UnsignedInteger, 1));
    add(field("ui2", FieldType::UnsignedInteger, 2));
    add(field("ui4", FieldType::UnsignedInteger, 4));
    add(field("ok", FieldType::Boolean));
    add(field("r4", FieldType::Float, 4));
    add(field("r8", FieldType::Float, 8));
    add(field("fixed", FieldType::Decimal, 8));
    t.fields.back().decimals = 4;
    add(field("fixedFMT", FieldType::FormattedDecimal, 4));
    t.fields.back().decimals = 1;
    add(field("date", FieldType::Date));
    add(field("time", FieldType::Time));
    add(field("dt", FieldType::DateTime));
    add(field("Testo Domanda", FieldType::String, 300));
    add(field("uni", FieldType::WideString, 40));
    add(field("blob", FieldType::Bytes));
    add(field("raw4", FieldType::Bytes, 4));
    t.fields[3].readOnly = true;
    t.fields[4].required = true;
    t.fields[5].hidden = true;
    t.fields[6].linkField = true;
    t.fields[10].extra = {{"DECIMALS", std::int64_t{3}, 0x00020002}, {"CALCULATED", true, 0}};
    t.autoIncValue = std::int64_t{1} << 40;
    t.tableProperties = {{"LCID", std::int64_t{1033}, 0},
                         {"DEFAULT_ORDER", BytesValue{"\x01\x00\x02"s}, 0},
                         {"NOME", "Elenco \xC3\xA8"s, 0},
                         {"CREATO", DateTimeValue{63'000'000'000'000}, 0}};
    using I = std::int64_t;
    const DateTimeValue when = makeDateTime({2024, 3, 3, 14, 5, 9, 250});
    t.rows.push_back({I{1},
                      I{-128},
                      I{-32768},
                      I{std::numeric_limits<std::int32_t>::min()},
                      std::numeric_limits<I>::max(),
                      I{255},
                      I{65535},
                      I{4294967295},
                      true,
                      0.25,
                      -1e-300,
                      -92233720368.5477,
                      999999.9,
                      DateValue{739'000},
                      TimeValue{86'399'999},
                      when,
                      "perch\xC3\xA9 \"<&>\"\r\n\t\\"s,
                      "\xE4\xB8\xAD\xF0\x9F\x98\x80"s,
                      BytesValue{std::string(70'000, '\x07')},
                      BytesValue{"\x00\xFF\x00\xFF"s}});
    t.rows.push_back({I{2},
                      I{127},
                      I{32767},
                      I{std::numeric_limits<std::int32_t>::max()},
                      std::numeric_limits<I>::min(),
                      I{0},
                      I{0},
                      I{0},
                      false,
                      -0.0,
                      std::numeric_limits<double>::infinity(),
                      0.0001,
                      -0.5,
                      DateValue{-5},
                      TimeValue{0},
                      DateTimeValue{-1},
                      std::string(400, 'Q') + '\0',
                      ""s,
                      BytesValue{},
                      BytesValue{"abcd"}});
    t.rows.push_back(std::vector<Value>(t.fields.size()));
    t.rows.back()[0] = I{3};

    const std::string file = writeBinaryTable(t);
    const TableData back = readBinaryTable(file);
    expectSameTable(back, t);
    EXPECT_EQ(back.fields[16].prefixSize, 2);
    EXPECT_EQ(back.fields[18].prefixSize, 4);  // 70 000 bytes need a 4-byte length
    EXPECT_EQ(back.fields[10].extra[0].typeWord, 0x00020002u);
    // Writing what was read gives the same bytes.
    EXPECT_EQ(hex(writeBinaryTable(back)), hex(file));
}

TEST(BinaryFormWrite, GeneratedPropertiesAreNotDuplicatedByExtras) {
    TableData t;
    t.fields = {field("S", FieldType::String, 20), field("A", FieldType::AutoInc)};
    t.fields[0].extra = {{"WIDTH", std::int64_t{99}, 0x00020002}};
    t.fields[1].extra = {{"SUBTYPE", "Autoinc"s, 0}};
    t.tableProperties = {{"AUTOINCVALUE", std::int64_t{50}, 0}};
    t.autoIncValue = 7;
    const TableData back = readBinaryTable(writeBinaryTable(t));
    EXPECT_EQ(back.fields[0].size, 20);
    EXPECT_TRUE(back.fields[0].extra.empty());
    EXPECT_EQ(back.fields[1].type, FieldType::AutoInc);
    EXPECT_TRUE(back.fields[1].extra.empty());
    EXPECT_EQ(back.autoIncValue, 7);
    EXPECT_TRUE(back.tableProperties.empty());
}

TEST(BinaryFormWrite, RefusesValuesTheColumnCannotHold) {
    const auto oneColumn = [](FieldDef f, Value v) {
        TableData t;
        t.fields = {std::move(f)};
        t.rows = {{std::move(v)}};
        return t;
    };
    EXPECT_THROW(writeBinaryTable(oneColumn(field("i", FieldType::Integer, 1), std::int64_t{128})),
                 TableError);
    EXPECT_THROW(writeBinaryTable(oneColumn(field("a", FieldType::AutoInc), std::int64_t{1} << 31)),
                 TableError);
    EXPECT_THROW(
        writeBinaryTable(oneColumn(field("u", FieldType::UnsignedInteger, 2), std::int64_t{-1})),
        TableError);
    EXPECT_THROW(writeBinaryTable(oneColumn(field("i", FieldType::Integer, 4), "12"s)), TableError);

    EXPECT_THROW(writeBinaryTable(oneColumn(field("t", FieldType::Time), TimeValue{86'400'000})),
                 TableError);
    EXPECT_THROW(writeBinaryTable(oneColumn(field("f", FieldType::Float, 4), 1e300)), TableError);
    EXPECT_THROW(writeBinaryTable(oneColumn(field("i", FieldType::Integer, 3), std::int64_t{1})),
                 TableError);
    EXPECT_THROW(writeBinaryTable(oneColumn(field("", FieldType::Integer, 4), std::int64_t{1})),
                 TableError);
    EXPECT_THROW(writeBinaryTable(oneColumn(field("dt", FieldType::DateTime),
                                            DateTimeValue{std::int64_t{1} << 60})),
                 TableError);
    TableData ragged = oneColumn(field("i", FieldType::Integer, 4), std::int64_t{1});
    ragged.rows.push_back({});
    try {
        writeBinaryTable(ragged);
        FAIL() << "a row without its values was written";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("row 2"), std::string::npos) << e.what();
    }
    // A whole number is accepted by a number column.
    EXPECT_NO_THROW(writeBinaryTable(oneColumn(field("f", FieldType::Float, 8), std::int64_t{3})));
}

TEST(BinaryFormWrite, FixedBytesThatDoNotMatchTheirSizeBecomeVarying) {
    TableData t;
    t.fields = {field("b", FieldType::Bytes, 4)};
    t.rows = {{BytesValue{"abcd"}}, {BytesValue{"abc"}}};
    const TableData back = readBinaryTable(writeBinaryTable(t));
    EXPECT_EQ(back.fields[0].size, 4);  // the declared size, as WIDTH
    EXPECT_EQ(back.fields[0].prefixSize, 2);
    EXPECT_TRUE(back.fields[0].extra.empty());
    EXPECT_EQ(back.rows, t.rows);
}

TEST(BinaryFormRead, PropertiesOfUnknownTypes_AreSteppedOverByTheirTypeWord) {
    const std::string file = Bytes()
                                 .header(2, 1)
                                 .column("a", 0x00010004, 3)
                                 .property("NONE", 0x003F0000)  // unknown type, size 0
                                 .property("TEXT", 0x007F0002)  // unknown type, varying
                                 .u16(3)
                                 .raw("abc")
                                 .u16Property("DECIMALS", 2)
                                 .column("b", 0x00490001, 1)
                                 .u16Property("WIDTH", 5)
                                 .u16(1)
                                 .property("EMPTY", 0x00150000)  // a table property as well
                                 .u8(0)
                                 .u8(0)
                                 .u32(7)
                                 .u8(2)
                                 .raw("hi");
    const TableData t = readBinaryTable(file);
    ASSERT_EQ(t.fields.size(), 2u);
    ASSERT_EQ(t.fields[0].extra.size(), 1u);
    EXPECT_EQ(t.fields[0].extra[0].name, "DECIMALS");
    EXPECT_EQ(t.fields[1].size, 5);
    EXPECT_TRUE(t.tableProperties.empty());
    EXPECT_EQ(t.rows.at(0), (std::vector<Value>{std::int64_t{7}, "hi"s}));
}

TEST(BinaryFormWrite, SqlDateTimeLayout) {
    TableData t;
    t.fields = {field("Quando", FieldType::DateTime)};
    t.fields[0].sqlDateTime = true;
    t.rows = {{makeDateTime({2024, 3, 3, 14, 5, 9, 250})}};
    const std::string file = writeBinaryTable(t);
    EXPECT_NE(file.find("\x06Quando\x10\x00\x11\x00"s), std::string::npos) << hex(file);
    // Year, month, day, hour, minute, second in 16 bits, then the milliseconds in 32.
    EXPECT_EQ(hex(file.substr(file.size() - 16)),
              "E8 07 03 00 03 00 0E 00 05 00 09 00 FA 00 00 00");
    const TableData back = readBinaryTable(file);
    EXPECT_TRUE(back.fields[0].sqlDateTime);
    EXPECT_EQ(back.rows, t.rows);
}

TEST(BinaryFormWrite, NumericPropertiesGivenAsTextAreWrittenAsNumbers) {
    // The XML form hands column properties over as text.
    TableData t;
    t.fields = {field("r", FieldType::Float, 8)};
    t.fields[0].extra = {{"DECIMALS", "2"s, 0}, {"CALCULATED", "1"s, 0}, {"WIDTH", "07"s, 0}};
    const std::string file = writeBinaryTable(t);
    EXPECT_NE(file.find("\x08"
                        "DECIMALS\x02\x00\x02\x00\x02\x00"s),
              std::string::npos);
    EXPECT_NE(file.find("\x0A"
                        "CALCULATED\x02\x00\x02\x00\x01\x00"s),
              std::string::npos);
    const TableData back = readBinaryTable(file);
    ASSERT_EQ(back.fields[0].extra.size(), 3u);
    EXPECT_EQ(back.fields[0].extra[0].value, Value{std::int64_t{2}});
    EXPECT_EQ(back.fields[0].extra[2].value, Value{"07"s});  // not canonical: kept as text
}

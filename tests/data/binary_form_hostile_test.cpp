// Damaged and hostile binary table files: each must give a TableError that says
// what is wrong, never a crash, a hang or an allocation the input cannot justify.

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "binary_form_test_support.h"
#include "data/binary_form.h"
#include "data/date_time.h"

using namespace vexora::data;
using namespace vexora::data::testing;
using namespace std::string_literals;

namespace {

struct HostileCase {
    const char* what;
    std::string bytes;
    const char* messagePart;  // expected somewhere in the error message
};

// A one-column table header and column, with no table properties, ready for rows.
Bytes oneColumn(std::uint32_t typeWord, std::uint32_t rows = 1) {
    Bytes b;
    b.header(1, rows).column("c", typeWord).u16(0);
    return b;
}

// A one-column table whose column has a single property record (value follows).
Bytes withProperty(std::uint32_t columnType, std::string_view property, std::uint32_t typeWord) {
    Bytes b;
    b.header(1, 0).column("c", columnType, 1).property(property, typeWord);
    return b;
}

std::vector<HostileCase> hostileCorpus() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<HostileCase> c;
    c.push_back({"empty input", "", "not a binary table"});
    c.push_back({"XML text", "<?xml version=\"1.0\"?><DATAPACKET/>", "not a binary table"});
    c.push_back({"magic and versions only", Bytes().u32(0xBDE01996).u16(1).u16(0), "header"});
    c.push_back({"header cut short", Bytes().header(1, 0).str().substr(0, 20), "header"});
    c.push_back({"header length below 24", Bytes().header(0, 0, 0xBDE01996, 1, 0, 10).u16(0),
                 "header length"});
    c.push_back({"header length past the end",
                 Bytes().header(0, 0, 0xBDE01996, 1, 0, 0x7FFFFFFF).u16(0), "column descriptions"});
    c.push_back({"column count beyond the file", Bytes().header(65535, 0).column("a", 0x00010004),
                 "columns"});
    c.push_back({"row count beyond the file",
                 Bytes(oneColumn(0x00010004, 0xFFFFFFFF)).raw(std::string(10, '\0')), "rows"});
    c.push_back({"rows of an empty table beyond the file",
                 Bytes().header(0, 0xFFFFFFFF).u16(0).raw("\0\0\0"s), "rows"});
    c.push_back({"third row missing its value",
                 Bytes(oneColumn(0x00010004, 3)).raw(std::string(12, '\0')).u8(0), "row 3"});
    c.push_back({"value cut short", Bytes(oneColumn(0x00010004)).raw("\0\0\x01\x02"s),
                 "row 1, column \"c\""});
    c.push_back({"column name of length 0",
                 Bytes().header(1, 0).u8(0).u32(0x00010004).u32(0).u16(0), "length 0"});
    c.push_back({"column name past the end", Bytes().header(1, 0).u8(200).raw(std::string(20, 'a')),
                 "column 1"});
    c.push_back({"property name of length 0",
                 Bytes().header(1, 0).column("c", 0x00010004, 1).u8(0).u32(0x00010004).u32(0),
                 "length 0"});
    c.push_back({"property count past the end",
                 Bytes().header(1, 0).column("c", 0x00010004, 65535).u16Property("WIDTH", 1),
                 "property"});
    c.push_back({"table property count past the end",
                 Bytes().header(1, 0).column("c", 0x00010004).u16(9), "property"});
    c.push_back({"string length past the end",
                 Bytes(oneColumn(0x00490001))
                     .raw("\0\0\xC8"
                          "abc"s),
                 "string value"});
    c.push_back({"4-byte string length of 4 GB",
                 Bytes(oneColumn(0x00490004)).raw("\0\0"s).u32(0xFFFFFFFF).raw("abc"),
                 "string value"});
    c.push_back({"wide string of an odd byte count",
                 Bytes(oneColumn(0x004A0001))
                     .raw("\0\0\x03"
                          "abc"s),
                 "odd"});
    c.push_back({"unknown type code", oneColumn(0x003F0004), "unknown type code 63"});
    c.push_back({"nested table", oneColumn(0x004E0004), "nested"});
    c.push_back({"fixed-size nested table", oneColumn(0x000E0008), "nested"});
    c.push_back({"structured column", oneColumn(0x000C0004), "structured"});
    c.push_back({"array column", oneColumn(0x004D0004), "array"});
    c.push_back({"array bit on a string", oneColumn(0x00C90001), "array"});
    c.push_back({"SQL date-time of month 13",
                 Bytes(oneColumn(0x00110010))
                     .raw("\0\0"s)
                     .u16(2024)
                     .u16(13)
                     .u16(1)
                     .u16(0)
                     .u16(0)
                     .u16(0)
                     .u32(0),
                 "SQL date-time"});
    c.push_back({"unknown high bits", oneColumn(0x01010004), "flag bits"});
    c.push_back({"varying integer", oneColumn(0x00410004), "varying"});
    c.push_back({"fixed-size string", oneColumn(0x00090004), "varying type"});
    c.push_back({"integer of 3 bytes", oneColumn(0x00010003), "size 3"});
    c.push_back({"unsigned of 8 bytes", oneColumn(0x00020008), "size 8"});
    c.push_back({"Boolean of 4 bytes", oneColumn(0x00030004), "size 4"});
    c.push_back({"string with a 3-byte length", oneColumn(0x00490003), "prefix"});
    c.push_back({"fixed-size bytes of size 0", oneColumn(0x000B0000), "size 0"});
    c.push_back({"packed decimal of size 0", oneColumn(0x00050000), "packed decimal"});
    c.push_back({"packed decimal of 65 535 bytes", oneColumn(0x0005FFFF), "packed decimal"});
    c.push_back({"nested table as a property type",
                 withProperty(0x00010004, "P", 0x004E0004).u32(0), "property \"P\""});
    c.push_back(
        {"AUTOINCVALUE as text",
         Bytes().header(0, 0).u16(1).property("AUTOINCVALUE", 0x00490002).u16(2).raw("x\0"s),
         "AUTOINCVALUE"});
    c.push_back({"negative AUTOINCVALUE",
                 Bytes().header(0, 0).u16(1).property("AUTOINCVALUE", 0x00010004).u32(0xFFFFFFFF),
                 "AUTOINCVALUE"});
    c.push_back({"WIDTH as text", withProperty(0x00490001, "WIDTH", 0x00490002).u16(2).raw("9\0"s),
                 "WIDTH"});
    c.push_back({"DECIMALS beyond any scale",
                 withProperty(0x00050004, "DECIMALS", 0x00020002).u16(60000), "DECIMALS"});
    c.push_back({"date-time NaN", Bytes(oneColumn(0x00080008)).raw("\0\0"s).f64(nan), "date-time"});
    c.push_back(
        {"date-time of 1e300", Bytes(oneColumn(0x00080008)).raw("\0\0"s).f64(1e300), "date-time"});
    c.push_back({"time past midnight", Bytes(oneColumn(0x00070004)).raw("\0\0"s).u32(86'400'000),
                 "time value"});
    c.push_back(
        {"negative time", Bytes(oneColumn(0x00070004)).raw("\0\0"s).u32(0xFFFFFFFF), "time value"});
    c.push_back({"packed decimal with a nibble above 9",
                 Bytes(oneColumn(0x00050002)).raw("\0\0\xA1\x2C"s), "digit"});
    c.push_back({"packed decimal without a sign nibble",
                 Bytes(oneColumn(0x00050002)).raw("\0\0\x12\x34"s), "sign"});
    return c;
}

}  // namespace

TEST(BinaryFormHostile, EveryCorpusFileGivesAClearTableError) {
    for (const HostileCase& h : hostileCorpus()) {
        SCOPED_TRACE(h.what);
        try {
            readBinaryTable(h.bytes);
            ADD_FAILURE() << "read without error: " << hex(h.bytes);
        } catch (const TableError& e) {
            EXPECT_NE(std::string(e.what()).find(h.messagePart), std::string::npos)
                << "message: " << e.what();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not a TableError: " << e.what();
        }
    }
}

namespace {

TableData mutationSeed() {
    TableData t;
    t.fields = {field("nRec", FieldType::AutoInc),
                field("Domanda", FieldType::String, 2),
                field("Testo", FieldType::String, 300),
                field("ok", FieldType::Boolean),
                field("dt", FieldType::DateTime),
                field("i2", FieldType::Integer, 2),
                field("u1", FieldType::UnsignedInteger, 1),
                field("r4", FieldType::Float, 4),
                field("r8", FieldType::Float, 8),
                field("fixed", FieldType::Decimal, 3),
                field("date", FieldType::Date),
                field("time", FieldType::Time),
                field("uni", FieldType::WideString, 10),
                field("memo", FieldType::Bytes)};
    t.fields[9].decimals = 2;
    t.fields[2].extra = {{"DECIMALS", std::int64_t{1}, 0x00020002}};
    t.autoIncValue = 4;
    t.tableProperties = {{"NOTE", "x"s, 0}};
    using I = std::int64_t;
    for (int r = 0; r < 3; ++r) {
        t.rows.push_back({I{r + 1}, std::to_string(10 + r), "perch\xC3\xA9 " + std::to_string(r),
                          r % 2 == 0, makeDateTime({2024, 3, 3, 14, 5, 9, 250}), I{-r}, I{r},
                          0.5 * r, 1.0 / (r + 1), 12.34 * r, DateValue{739'000 + r},
                          TimeValue{1000 * r}, "\xC3\xA8"s, BytesValue{"m\x01"s}});
    }
    t.rows[1][4] = Value{};
    return t;
}

}  // namespace

TEST(BinaryFormHostile, RandomMutationsEitherReadOrThrowTableError) {
    const std::string seed = writeBinaryTable(mutationSeed());
    std::mt19937 rng(20240303u);
    const auto pick = [&rng](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    static constexpr std::uint32_t kNasty[] = {
        0, 1, 0xFF, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x00400004, 0x004E0000};
    int readable = 0;
    int rejected = 0;
    for (int i = 0; i < 6000; ++i) {
        std::string m = seed;
        const int edits = 1 + static_cast<int>(pick(3));
        for (int e = 0; e < edits && !m.empty(); ++e) {
            const std::size_t at = pick(m.size());
            switch (pick(6)) {
                case 0:  // flip one bit
                    m[at] = static_cast<char>(m[at] ^ (1 << pick(8)));
                    break;
                case 1:  // any byte
                    m[at] = static_cast<char>(rng());
                    break;
                case 2:  // cut the file
                    m.resize(at);
                    break;
                case 3: {  // a nasty 32-bit word
                    const std::uint32_t w = kNasty[pick(std::size(kNasty))];
                    for (int k = 0; k < 4 && at + k < m.size(); ++k) {
                        m[at + k] = static_cast<char>(w >> (8 * k));
                    }
                    break;
                }
                case 4:  // insert random bytes
                    m.insert(at, std::string(1 + pick(8), static_cast<char>(rng())));
                    break;
                default:  // delete a stretch
                    m.erase(at, 1 + pick(8));
                    break;
            }
        }
        try {
            const TableData t = readBinaryTable(m);
            ++readable;
            // What reads must write, and the written form is stable.
            const std::string once = writeBinaryTable(t);
            const TableData again = readBinaryTable(once);
            ASSERT_EQ(writeBinaryTable(again), once) << "mutation " << i << ": " << hex(m);
        } catch (const TableError&) {
            ++rejected;
        } catch (const std::exception& e) {
            FAIL() << "mutation " << i << " threw " << e.what() << ": " << hex(m);
        }
    }
    // Both outcomes occur, so the mutations reach past the header checks.
    EXPECT_GT(readable, 100);
    EXPECT_GT(rejected, 100);
}

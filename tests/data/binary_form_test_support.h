#pragma once

// Helpers for crafting binary table files byte by byte and comparing tables.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/table_data.h"

namespace vexora::data::testing {

// Little-endian byte builder.
class Bytes {
public:
    Bytes& u8(unsigned v) { return le(v, 1); }
    Bytes& u16(unsigned v) { return le(v, 2); }
    Bytes& u32(std::uint32_t v) { return le(v, 4); }
    Bytes& u64(std::uint64_t v) { return le(v, 8); }
    Bytes& f64(double v) { return le(std::bit_cast<std::uint64_t>(v), 8); }
    Bytes& raw(std::string_view s) {
        b_.append(s);
        return *this;
    }
    // Length byte and the characters.
    Bytes& name(std::string_view n) { return u8(static_cast<unsigned>(n.size())).raw(n); }

    // The 24-byte header.
    Bytes& header(unsigned columns, std::uint32_t rows, std::uint32_t magic = 0xBDE01996,
                  unsigned major = 1, unsigned minor = 0, std::uint32_t headerLength = 24) {
        return u32(magic)
            .u16(major)
            .u16(minor)
            .u32(headerLength)
            .u16(columns)
            .u32(rows)
            .u32(1)
            .u16(0);
    }
    // A column description up to its property count; the properties follow.
    Bytes& column(std::string_view n, std::uint32_t typeWord, unsigned properties = 0,
                  unsigned attributes = 0) {
        return name(n).u32(typeWord).u16(attributes).u16(properties);
    }
    // A property record up to its value; the value follows.
    Bytes& property(std::string_view n, std::uint32_t typeWord) { return name(n).u32(typeWord); }
    // WIDTH / DECIMALS as the engine writes them.
    Bytes& u16Property(std::string_view n, unsigned v) { return property(n, 0x00020002).u16(v); }

    const std::string& str() const { return b_; }
    operator std::string() const { return b_; }
    operator std::string_view() const { return b_; }

private:
    Bytes& le(std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i, v >>= 8)
            b_.push_back(static_cast<char>(v & 0xFF));
        return *this;
    }
    std::string b_;
};

// Hex dump for readable failure messages.
inline std::string hex(std::string_view b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : b) {
        if (!out.empty())
            out.push_back(' ');
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 15]);
    }
    return out;
}

// Values equal, with NaN equal to NaN.
inline bool sameValue(const Value& a, const Value& b) {
    const auto* x = std::get_if<double>(&a);
    const auto* y = std::get_if<double>(&b);
    if (x != nullptr && y != nullptr && std::isnan(*x) && std::isnan(*y))
        return true;
    return a == b;
}

inline void expectSameFields(const FieldDef& a, const FieldDef& b) {
    SCOPED_TRACE("field " + a.name);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(a.decimals, b.decimals);
    EXPECT_EQ(a.readOnly, b.readOnly);
    EXPECT_EQ(a.required, b.required);
    EXPECT_EQ(a.hidden, b.hidden);
    EXPECT_EQ(a.linkField, b.linkField);
    ASSERT_EQ(a.extra.size(), b.extra.size());
    for (std::size_t i = 0; i < a.extra.size(); ++i) {
        EXPECT_EQ(a.extra[i].name, b.extra[i].name);
        EXPECT_TRUE(sameValue(a.extra[i].value, b.extra[i].value)) << a.extra[i].name;
    }
}

inline void expectSameTable(const TableData& a, const TableData& b) {
    ASSERT_EQ(a.fields.size(), b.fields.size());
    for (std::size_t j = 0; j < a.fields.size(); ++j)
        expectSameFields(a.fields[j], b.fields[j]);
    EXPECT_EQ(a.autoIncValue, b.autoIncValue);
    ASSERT_EQ(a.tableProperties.size(), b.tableProperties.size());
    for (std::size_t i = 0; i < a.tableProperties.size(); ++i) {
        EXPECT_EQ(a.tableProperties[i].name, b.tableProperties[i].name);
        EXPECT_TRUE(sameValue(a.tableProperties[i].value, b.tableProperties[i].value));
    }
    ASSERT_EQ(a.rows.size(), b.rows.size());
    for (std::size_t r = 0; r < a.rows.size(); ++r) {
        ASSERT_EQ(a.rows[r].size(), b.rows[r].size());
        for (std::size_t j = 0; j < a.rows[r].size(); ++j) {
            EXPECT_TRUE(sameValue(a.rows[r][j], b.rows[r][j]))
                << "row " << r << " column " << a.fields[j].name;
        }
    }
}

// A column definition; fixed-size types without a size get the size of their
// stored value, as a reader reports it.
inline FieldDef field(std::string name, FieldType type, int size = 0) {
    FieldDef f;
    f.name = std::move(name);
    f.type = type;
    f.size = size;
    if (size == 0) {
        switch (type) {
            case FieldType::AutoInc:
            case FieldType::Date:
            case FieldType::Time:
                f.size = 4;
                break;
            case FieldType::Boolean:
                f.size = 2;
                break;
            case FieldType::DateTime:
                f.size = 8;
                break;
            default:
                break;
        }
    }
    return f;
}

}  // namespace vexora::data::testing

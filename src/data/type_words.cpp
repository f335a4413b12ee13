#include "data/type_words.h"

#include <array>

namespace vexora::data {
namespace {

struct WordEntry {
    std::string_view word;
    FieldType type;
    int size;
    bool sqlDateTime = false;
};

// Every type word the XML reader accepts. "SQLdateTime" holds a date-time like
// "dateTime" and is marked so that it is written back with its own word.
constexpr std::array<WordEntry, 19> kWords = {{
    {"i1", FieldType::Integer, 1},
    {"i2", FieldType::Integer, 2},
    {"i4", FieldType::Integer, 4},
    {"i8", FieldType::Integer, 8},
    {"ui1", FieldType::UnsignedInteger, 1},
    {"ui2", FieldType::UnsignedInteger, 2},
    {"ui4", FieldType::UnsignedInteger, 4},
    {"r4", FieldType::Float, 4},
    {"r8", FieldType::Float, 8},
    {"fixed", FieldType::Decimal, 0},
    {"fixedFMT", FieldType::FormattedDecimal, 0},
    {"boolean", FieldType::Boolean, 2},
    {"date", FieldType::Date, 4},
    {"time", FieldType::Time, 4},
    {"dateTime", FieldType::DateTime, 8},
    {"SQLdateTime", FieldType::DateTime, 8, true},
    {"string", FieldType::String, 0},
    {"string.uni", FieldType::WideString, 0},
    {"bin.hex", FieldType::Bytes, 0},
}};

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

}  // namespace

std::string_view xmlTypeWord(const FieldDef& field) {
    switch (field.type) {
        case FieldType::Integer:
            switch (field.size) {
                case 1:
                    return "i1";
                case 2:
                    return "i2";
                case 8:
                    return "i8";
                default:
                    return "i4";
            }
        case FieldType::UnsignedInteger:
            switch (field.size) {
                case 1:
                    return "ui1";
                case 2:
                    return "ui2";
                default:
                    return "ui4";
            }
        case FieldType::AutoInc:
            return "i4";
        case FieldType::Boolean:
            return "boolean";
        case FieldType::Float:
            return field.size == 4 ? "r4" : "r8";
        case FieldType::Decimal:
            return "fixed";
        case FieldType::FormattedDecimal:
            return "fixedFMT";
        case FieldType::Date:
            return "date";
        case FieldType::Time:
            return "time";
        case FieldType::DateTime:
            return field.sqlDateTime ? "SQLdateTime" : "dateTime";
        case FieldType::String:
            return "string";
        case FieldType::WideString:
            return "string.uni";
        case FieldType::Bytes:
            return "bin.hex";
    }
    return "string";
}

std::optional<XmlColumnType> xmlColumnType(std::string_view word) {
    for (const WordEntry& e : kWords) {
        if (equalsIgnoreAsciiCase(e.word, word))
            return XmlColumnType{e.type, e.size, e.sqlDateTime};
    }
    return std::nullopt;
}

int canonicalFixedSize(FieldType type) {
    switch (type) {
        case FieldType::AutoInc:
            return 4;
        case FieldType::Boolean:
            return 2;
        case FieldType::DateTime:
            return 8;
        case FieldType::Date:
        case FieldType::Time:
            return 4;
        default:
            return 0;
    }
}

}  // namespace vexora::data

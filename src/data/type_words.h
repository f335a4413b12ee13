#pragma once

#include <optional>
#include <string_view>

#include "data/table_data.h"

namespace vexora::data {

// Column type and value size named by an XML type word. The size follows the
// binary form: bytes of a fixed-size value (4 for "i4", 2 for "boolean", 8 for
// "dateTime"), 0 for types whose size comes from the column's WIDTH.
struct XmlColumnType {
    FieldType type = FieldType::String;
    int size = 0;
    bool sqlDateTime = false;  // "SQLdateTime": a DateTime that keeps its own type word
};

// Most digits a packed decimal column holds (64 bytes: two digits a byte, less the sign).
inline constexpr int kMaxDecimalPrecision = 127;

// Bytes of a packed decimal of that many digits (two a byte, and the sign nibble).
inline constexpr int decimalBytesFor(int precision) {
    return precision / 2 + 1;
}

// The digits of a packed decimal column: its WIDTH, or when it declares none the digits its
// value size holds (a column without either has the binary form's 10 bytes).
inline int decimalPrecision(const FieldDef& f) {
    if (f.precision > 0)
        return f.precision;
    return 2 * (f.size > 0 ? f.size : 10) - 1;
}

// The XML type word of a column: "i4", "string", "boolean", "dateTime", "i2", "r8", ...
// An autoincrement column is "i4" (its SUBTYPE tells it apart); an SQL date-time is
// "SQLdateTime".
std::string_view xmlTypeWord(const FieldDef& field);

// The column type of an XML type word, matched without regard to case. Accepts the
// words of every column type the engine holds ("i1" ... "i8", "ui1" ... "ui4",
// "r4", "r8", "fixed", "fixedFMT", "date", "time", "dateTime", "SQLdateTime",
// "string", "string.uni", "bin.hex", "boolean"); nullopt for any other word.
std::optional<XmlColumnType> xmlColumnType(std::string_view word);

// Size in bytes of a value of a fixed-size type as the binary form stores it (4 for
// AutoInc, 2 for Boolean, 8 for DateTime, 4 for Date and Time); 0 for the others.
int canonicalFixedSize(FieldType type);

}  // namespace vexora::data

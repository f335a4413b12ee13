#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace vexora::data {

// Column types a table can hold. The program's own tables use AutoInc, Integer (4
// bytes), String, Boolean and DateTime; the rest are read from master files made
// elsewhere and written back by the conversion tool.
enum class FieldType : std::uint8_t {
    Integer,           // signed, size 1, 2, 4 or 8 bytes
    UnsignedInteger,   // unsigned, size 1, 2 or 4 bytes
    AutoInc,           // 4-byte signed, assigned by the table on Post
    Boolean,
    Float,             // IEEE double (size 8) or float (size 4)
    Decimal,           // packed decimal ("fixed"), size in bytes, DECIMALS scale
    FormattedDecimal,  // "fixedFMT", same storage as Decimal
    Date,              // day number, day 1 = 1 January of year 1
    Time,              // milliseconds since midnight
    DateTime,          // day number * 86 400 000 + milliseconds since midnight
    String,            // single-byte characters (Windows-1252 on disk, UTF-8 in memory)
    WideString,        // UTF-16 on disk, UTF-8 in memory
    Bytes,             // memo and binary data, raw bytes
};

// Date and time as one count: day number * 86 400 000 + milliseconds since
// midnight, day 1 being 1 January of year 1 (proleptic Gregorian).
struct DateTimeValue {
    std::int64_t ms = 0;
    friend bool operator==(const DateTimeValue&, const DateTimeValue&) = default;
    friend auto operator<=>(const DateTimeValue&, const DateTimeValue&) = default;
};
// Day number alone (date columns).
struct DateValue {
    std::int32_t day = 0;
    friend bool operator==(const DateValue&, const DateValue&) = default;
    friend auto operator<=>(const DateValue&, const DateValue&) = default;
};
// Milliseconds since midnight (time columns).
struct TimeValue {
    std::int32_t ms = 0;
    friend bool operator==(const TimeValue&, const TimeValue&) = default;
    friend auto operator<=>(const TimeValue&, const TimeValue&) = default;
};
// Raw bytes of a bytes column.
struct BytesValue {
    std::string bytes;
    friend bool operator==(const BytesValue&, const BytesValue&) = default;
    friend auto operator<=>(const BytesValue&, const BytesValue&) = default;
};

// One field value; std::monostate is null. Integers of every size and the
// autoincrement live in int64_t; Float, Decimal and FormattedDecimal in double;
// String and WideString as UTF-8 text.
using Value = std::variant<std::monostate, std::int64_t, double, bool, std::string, DateTimeValue,
                           DateValue, TimeValue, BytesValue>;

inline bool isNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// A property of a column or of the table that the engine does not interpret
// (DECIMALS, DEFAULT_ORDER, ...), kept so a conversion writes it back.
struct ExtraProperty {
    std::string name;
    Value value;
    // For the binary form: the type word the property was read with (0 = choose).
    std::uint32_t typeWord = 0;
};

// Definition of one column.
struct FieldDef {
    std::string name;  // true name, looked up without regard to case
    FieldType type = FieldType::String;
    // String/WideString: width in characters. Integer/UnsignedInteger/Float/Decimal:
    // value size in bytes. Bytes: fixed size in bytes, or 0 for a varying value.
    int size = 0;
    // Varying values (String, WideString, varying Bytes): size of the length prefix
    // in the binary form (1, 2 or 4); 0 lets the writer choose (1 up to width 254).
    int prefixSize = 0;
    int decimals = 0;  // Decimal/FormattedDecimal scale
    // Decimal/FormattedDecimal: the declared number of digits (WIDTH); 0 when none was given.
    int precision = 0;
    // DateTime kept as an SQL date-time ("SQLdateTime", binary type code 17).
    bool sqlDateTime = false;
    bool readOnly = false;
    bool required = false;
    bool hidden = false;
    bool linkField = false;
    std::vector<ExtraProperty> extra;  // other column properties, in file order
};

// Everything a table file holds: column definitions, table properties and rows.
// Both file forms read into and write from this.
struct TableData {
    std::vector<FieldDef> fields;
    // Next autoincrement value (AUTOINCVALUE); -1 when the table has none.
    std::int64_t autoIncValue = -1;
    std::vector<ExtraProperty> tableProperties;  // other table properties
    std::vector<std::vector<Value>> rows;        // each row has fields.size() values
};

// Raised by the table engine and its file forms; the message says what is wrong
// (and, for files, names the file).
class TableError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace vexora::data

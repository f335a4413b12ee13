#include "data/binary_form.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/codepage.h"
#include "data/date_time.h"
#include "data/type_words.h"

// Layout of the binary form (all integers little-endian):
//   header (24 bytes): magic, major and minor version, header length, column count,
//                      row count, packet flags, two zero bytes;
//   at the header length: one description per column (name, type word, attribute
//                      bits, column properties);
//   table properties:  16-bit count, then the property records;
//   rows:              a state byte, two flag bits per column (null / not present),
//                      then the values of the columns whose two bits are clear.
//
// Packed decimals ("fixed" and "fixedFMT") are stored as BCD: a value of S bytes
// holds 2*S - 1 decimal digits, most significant first, two digits per byte with
// the high nibble first, and a last nibble holding the sign (0xC positive, 0xD
// negative; 0xA, 0xE, 0xF are read as positive and 0xB as negative). The column's
// DECIMALS property is the number of digits after the decimal point, its WIDTH the
// number of digits declared (written when it differs from the 2*S - 1 the size holds).
//
// An SQL date-time (type code 17) takes 16 bytes: year (signed), month, day, hour,
// minute and second as 16-bit numbers, then the milliseconds as a 32-bit number.

namespace vexora::data {
namespace {

constexpr std::uint32_t kMagic = 0xBDE01996;
constexpr std::uint32_t kAltMagic = 0xABCD;
constexpr std::uint16_t kMaxVersion = 3;
constexpr std::uint32_t kHeaderSize = 24;
constexpr std::uint32_t kPacketHasMetadata = 1;
constexpr std::size_t kMaxColumnNameLength = 31;

constexpr std::uint32_t kSizeMask = 0xFFFF;
constexpr std::uint32_t kCodeMask = 0x3F;
constexpr int kCodeShift = 16;
constexpr std::uint32_t kVaryingBit = 0x00400000;
constexpr std::uint32_t kArrayBit = 0x00800000;
constexpr std::uint32_t kKnownBits = 0x00FFFFFF;

enum TypeCode : std::uint32_t {
    kCodeSigned = 1,
    kCodeUnsigned = 2,
    kCodeBoolean = 3,
    kCodeFloat = 4,
    kCodeFixed = 5,
    kCodeDate = 6,
    kCodeTime = 7,
    kCodeDateTime = 8,
    kCodeString = 9,
    kCodeWideString = 10,
    kCodeBytes = 11,
    kCodeStructured = 12,
    kCodeArray = 13,
    kCodeNested = 14,
    kCodeSqlDateTime = 17,
    kCodeFixedFmt = 18,
};

constexpr std::uint32_t makeTypeWord(std::uint32_t code, std::uint32_t size, bool varying = false) {
    return (code << kCodeShift) | size | (varying ? kVaryingBit : 0);
}

constexpr std::uint32_t kTypeInt32 = makeTypeWord(kCodeSigned, 4);
constexpr std::uint32_t kTypeUInt16 = makeTypeWord(kCodeUnsigned, 2);
constexpr std::uint32_t kTypeSubtype = makeTypeWord(kCodeString, 2, true);

// Attribute bits of a column description.
constexpr std::uint16_t kAttrHidden = 1;
constexpr std::uint16_t kAttrReadOnly = 2;
constexpr std::uint16_t kAttrRequired = 4;
constexpr std::uint16_t kAttrLinkField = 8;

// Largest decimal size we accept and the largest scale, which keep the digit
// text of one value small.
constexpr int kMaxDecimalBytes = 64;
constexpr int kMaxDecimalScale = 127;
// Date-times beyond 2^53 ms (about 285 000 years) are not exact in a double.
constexpr double kMaxDateTimeMs = 9007199254740992.0;

// How one value is encoded, derived from a type word (and DECIMALS for decimals).
struct Codec {
    FieldType type = FieldType::String;
    int size = 0;    // bytes of a fixed-size value
    int prefix = 0;  // bytes of the length prefix of a varying value; 0 = fixed
    int decimals = 0;
    bool sqlDateTime = false;  // DateTime in the 16-byte SQL layout
};

std::string hexWord(std::uint32_t w) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(w));
    return buf;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

// The codec of a type word, or a description of why it cannot be read.
Codec codecForTypeWord(std::uint32_t word) {
    const auto fail = [word](const std::string& why) -> Codec {
        throw TableError("unsupported type word " + hexWord(word) + ": " + why);
    };
    if ((word & ~kKnownBits) != 0)
        return fail("unknown flag bits");
    if ((word & kArrayBit) != 0)
        return fail("array columns are not supported");
    const std::uint32_t code = (word >> kCodeShift) & kCodeMask;
    const int size = static_cast<int>(word & kSizeMask);
    const bool varying = (word & kVaryingBit) != 0;
    const auto fixed = [&](FieldType type, std::initializer_list<int> sizes) -> Codec {
        if (varying)
            return fail("a varying value of a fixed-size type");
        for (int s : sizes) {
            if (s == size)
                return Codec{type, size, 0, 0};
        }
        return fail("size " + std::to_string(size) + " is not valid for this type");
    };
    const auto withPrefix = [&](FieldType type) -> Codec {
        if (!varying)
            return fail("a fixed-size value of a varying type");
        if (size != 1 && size != 2 && size != 4) {
            return fail("length prefix of " + std::to_string(size) + " bytes");
        }
        return Codec{type, 0, size, 0};
    };
    switch (code) {
        case kCodeSigned:
            return fixed(FieldType::Integer, {1, 2, 4, 8});
        case kCodeUnsigned:
            return fixed(FieldType::UnsignedInteger, {1, 2, 4});
        case kCodeBoolean:
            return fixed(FieldType::Boolean, {2});
        case kCodeFloat:
            return fixed(FieldType::Float, {4, 8});
        case kCodeFixed:
        case kCodeFixedFmt:
            if (varying || size < 1 || size > kMaxDecimalBytes) {
                return fail("packed decimal of size " + std::to_string(size));
            }
            return Codec{code == kCodeFixed ? FieldType::Decimal : FieldType::FormattedDecimal,
                         size, 0, 0};
        case kCodeDate:
            return fixed(FieldType::Date, {4});
        case kCodeTime:
            return fixed(FieldType::Time, {4});
        case kCodeDateTime:
            return fixed(FieldType::DateTime, {8});
        case kCodeString:
            return withPrefix(FieldType::String);
        case kCodeWideString:
            return withPrefix(FieldType::WideString);
        case kCodeBytes:
            if (varying)
                return withPrefix(FieldType::Bytes);
            if (size < 1)
                return fail("fixed-size bytes of size 0");
            return Codec{FieldType::Bytes, size, 0, 0};
        case kCodeStructured:
        case kCodeArray:
            return fail("structured and array columns are not supported");
        case kCodeNested:
            return fail("nested tables are not supported");
        case kCodeSqlDateTime: {
            Codec c = fixed(FieldType::DateTime, {16});
            c.sqlDateTime = true;
            return c;
        }
        default:
            return fail("unknown type code " + std::to_string(code));
    }
}

// ---------------------------------------------------------------- reading

// Bounds-checked little-endian cursor over the input.
class Input {
public:
    explicit Input(std::string_view bytes) : bytes_(bytes) {}

    std::size_t offset() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }

    void seek(std::size_t offset, const char* what) {
        if (offset > bytes_.size()) {
            throw TableError(std::string("the file ends before ") + what + " at offset " +
                             std::to_string(offset));
        }
        pos_ = offset;
    }

    std::string_view take(std::size_t n, const char* what) {
        if (n > remaining()) {
            throw TableError(std::string("the file ends inside ") + what + " at offset " +
                             std::to_string(pos_) + " (" + std::to_string(n) + " bytes needed, " +
                             std::to_string(remaining()) + " left)");
        }
        std::string_view out = bytes_.substr(pos_, n);
        pos_ += n;
        return out;
    }

    std::uint64_t unsignedLe(int size, const char* what) {
        const std::string_view b = take(static_cast<std::size_t>(size), what);
        std::uint64_t v = 0;
        for (int i = size - 1; i >= 0; --i) {
            v = (v << 8) | static_cast<std::uint8_t>(b[static_cast<std::size_t>(i)]);
        }
        return v;
    }
    std::uint8_t u8(const char* what) { return static_cast<std::uint8_t>(unsignedLe(1, what)); }
    std::uint16_t u16(const char* what) { return static_cast<std::uint16_t>(unsignedLe(2, what)); }
    std::uint32_t u32(const char* what) { return static_cast<std::uint32_t>(unsignedLe(4, what)); }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

std::int64_t signExtend(std::uint64_t v, int size) {
    if (size >= 8)
        return static_cast<std::int64_t>(v);
    const int shift = 64 - 8 * size;
    return static_cast<std::int64_t>(v << shift) >> shift;
}

double decodeDecimal(std::string_view b, int decimals) {
    const std::size_t nibbles = b.size() * 2;
    std::string digits;
    digits.reserve(nibbles + static_cast<std::size_t>(decimals) + 3);
    for (std::size_t i = 0; i + 1 < nibbles; ++i) {
        const auto byte = static_cast<std::uint8_t>(b[i / 2]);
        const int nibble = (i % 2 == 0) ? byte >> 4 : byte & 0x0F;
        if (nibble > 9)
            throw TableError("packed decimal holds a nibble that is not a digit");
        digits.push_back(static_cast<char>('0' + nibble));
    }
    const int sign = static_cast<std::uint8_t>(b.back()) & 0x0F;
    bool negative = false;
    if (sign == 0xB || sign == 0xD) {
        negative = true;
    } else if (sign < 0xA) {
        throw TableError("packed decimal without a sign nibble");
    }
    const auto scale = static_cast<std::size_t>(decimals);
    if (scale > 0) {
        if (scale >= digits.size())
            digits.insert(0, scale - digits.size() + 1, '0');
        digits.insert(digits.size() - scale, 1, '.');
    }
    double value = 0;
    const auto res = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (res.ec != std::errc() && res.ec != std::errc::result_out_of_range) {
        throw TableError("packed decimal cannot be read as a number");
    }
    return negative ? -value : value;
}

// UTF-16LE bytes -> UTF-8; unpaired surrogates become U+FFFD.
std::string decodeUtf16(std::string_view b) {
    std::string out;
    out.reserve(b.size());
    const std::size_t units = b.size() / 2;
    auto unitAt = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<std::uint8_t>(b[2 * i]) |
                                     (static_cast<std::uint8_t>(b[2 * i + 1]) << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        char32_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const char32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            u = 0xFFFD;
        appendUtf8(out, u);
    }
    return out;
}

// Windows-1252 -> UTF-8, copying runs of ASCII at once (most of any text).
std::string textFromCp1252(std::string_view b) {
    std::string out;
    out.reserve(b.size() + 8);
    std::size_t i = 0;
    while (i < b.size()) {
        std::size_t j = i;
        while (j < b.size() && static_cast<std::uint8_t>(b[j]) < 0x80)
            ++j;
        out.append(b.substr(i, j - i));
        if (j < b.size())
            out += cp1252ToUtf8(b.substr(j++, 1));
        i = j;
    }
    return out;
}

// Drops the one trailing zero byte (or zero code unit) a writer may add to a text.
std::string_view withoutTerminator(std::string_view b, std::size_t unit) {
    if (b.size() >= unit &&
        b.substr(b.size() - unit).find_first_not_of('\0') == std::string_view::npos) {
        b.remove_suffix(unit);
    }
    return b;
}

DateTimeValue decodeSqlDateTime(Input& in) {
    CivilDateTime dt;
    dt.year = static_cast<std::int16_t>(in.u16("an SQL date-time value"));
    dt.month = in.u16("an SQL date-time value");
    dt.day = in.u16("an SQL date-time value");
    dt.hour = in.u16("an SQL date-time value");
    dt.minute = in.u16("an SQL date-time value");
    dt.second = in.u16("an SQL date-time value");
    const std::uint32_t ms = in.u32("an SQL date-time value");
    dt.millisecond = ms > 999 ? 1000 : static_cast<int>(ms);
    if (dt.year < 1 || !isValidDateTime(dt))
        throw TableError("SQL date-time value out of range");
    return makeDateTime(dt);
}

Value decodeValue(Input& in, const Codec& c) {
    switch (c.type) {
        case FieldType::Integer:
        case FieldType::AutoInc:
            return signExtend(in.unsignedLe(c.size, "an integer value"), c.size);
        case FieldType::UnsignedInteger:
            return static_cast<std::int64_t>(in.unsignedLe(c.size, "an integer value"));
        case FieldType::Boolean:
            return in.u16("a Boolean value") != 0;
        case FieldType::Float:
            if (c.size == 4)
                return static_cast<double>(std::bit_cast<float>(in.u32("a number")));
            return std::bit_cast<double>(in.unsignedLe(8, "a number"));
        case FieldType::Decimal:
        case FieldType::FormattedDecimal:
            return decodeDecimal(in.take(static_cast<std::size_t>(c.size), "a packed decimal"),
                                 c.decimals);
        case FieldType::Date:
            return DateValue{static_cast<std::int32_t>(in.u32("a date value"))};
        case FieldType::Time: {
            const auto ms = static_cast<std::int32_t>(in.u32("a time value"));
            if (ms < 0 || ms >= kMsPerDay) {
                throw TableError("time value out of range: " + std::to_string(ms) + " ms");
            }
            return TimeValue{ms};
        }
        case FieldType::DateTime: {
            if (c.sqlDateTime)
                return decodeSqlDateTime(in);
            const double v = std::bit_cast<double>(in.unsignedLe(8, "a date-time value"));
            if (!std::isfinite(v) || std::fabs(v) > kMaxDateTimeMs) {
                throw TableError("date-time value out of range");
            }
            return DateTimeValue{std::llround(v)};
        }
        case FieldType::String: {
            const auto n = static_cast<std::size_t>(in.unsignedLe(c.prefix, "a string length"));
            return textFromCp1252(withoutTerminator(in.take(n, "a string value"), 1));
        }
        case FieldType::WideString: {
            const auto n = static_cast<std::size_t>(in.unsignedLe(c.prefix, "a string length"));
            const std::string_view b = in.take(n, "a wide string value");
            if (n % 2 != 0)
                throw TableError("wide string of an odd number of bytes");
            return decodeUtf16(withoutTerminator(b, 2));
        }
        case FieldType::Bytes: {
            std::size_t n = static_cast<std::size_t>(c.size);
            if (c.prefix != 0)
                n = static_cast<std::size_t>(in.unsignedLe(c.prefix, "a length"));
            return BytesValue{std::string(in.take(n, "a bytes value"))};
        }
    }
    throw TableError("internal error: unhandled field type");
}

std::string readName(Input& in, const char* what) {
    const std::uint8_t len = in.u8(what);
    if (len == 0)
        throw TableError(std::string(what) + " of length 0");
    return std::string(in.take(len, what));
}

struct RawProperty {
    std::string name;  // UTF-8
    std::uint32_t typeWord = 0;
    Value value;
};

bool isKnownTypeCode(std::uint32_t code) {
    return (code >= kCodeSigned && code <= kCodeNested) || code == kCodeSqlDateTime ||
           code == kCodeFixedFmt;
}

// A property record; nullopt for a property of a type code the engine does not know,
// which is stepped over by its type word (a fixed size, possibly 0, or a length prefix).
std::optional<RawProperty> readProperty(Input& in) {
    RawProperty p;
    p.name = cp1252ToUtf8(readName(in, "a property name"));
    p.typeWord = in.u32("a property type word");
    try {
        const std::uint32_t code = (p.typeWord >> kCodeShift) & kCodeMask;
        if ((p.typeWord & ~kKnownBits) == 0 && (p.typeWord & kArrayBit) == 0 &&
            !isKnownTypeCode(code)) {
            const int size = static_cast<int>(p.typeWord & kSizeMask);
            std::uint64_t n = static_cast<std::uint64_t>(size);
            if ((p.typeWord & kVaryingBit) != 0) {
                if (size != 1 && size != 2 && size != 4)
                    throw TableError("length prefix of " + std::to_string(size) + " bytes");
                n = in.unsignedLe(size, "a property length");
            }
            in.take(static_cast<std::size_t>(n), "a property value");
            return std::nullopt;
        }
        p.value = decodeValue(in, codecForTypeWord(p.typeWord));
    } catch (const TableError& e) {
        throw TableError("property " + quoted(p.name) + ": " + e.what());
    }
    return p;
}

// Non-negative integer of a property, or nullopt when it is something else.
std::optional<std::int64_t> nonNegativeInteger(const Value& v, std::int64_t max) {
    const auto* i = std::get_if<std::int64_t>(&v);
    if (i == nullptr || *i < 0 || *i > max)
        return std::nullopt;
    return *i;
}

// Applies the column properties the engine interprets; the rest stay as extras.
void applyColumnProperty(FieldDef& f, Codec& codec, RawProperty p) {
    const bool isText = f.type == FieldType::String || f.type == FieldType::WideString ||
                        f.type == FieldType::Bytes;  // a memo's declared size
    const bool isDecimal = f.type == FieldType::Decimal || f.type == FieldType::FormattedDecimal;
    if (isText && equalsIgnoreCase(p.name, "WIDTH")) {
        const auto w = nonNegativeInteger(p.value, f.type == FieldType::Bytes
                                                       ? 0xFFFF
                                                       : std::numeric_limits<std::int32_t>::max());
        if (!w)
            throw TableError("bad WIDTH property");
        f.size = static_cast<int>(*w);
        return;
    }
    if (isDecimal && equalsIgnoreCase(p.name, "WIDTH")) {
        const auto w = nonNegativeInteger(p.value, kMaxDecimalPrecision);
        if (!w)
            throw TableError("bad WIDTH property");
        f.precision = static_cast<int>(*w);
        return;
    }
    if (isDecimal && equalsIgnoreCase(p.name, "DECIMALS")) {
        const auto d = nonNegativeInteger(p.value, kMaxDecimalScale);
        if (!d)
            throw TableError("bad DECIMALS property");
        f.decimals = codec.decimals = static_cast<int>(*d);
        return;
    }
    if (f.type == FieldType::Integer && f.size == 4 && equalsIgnoreCase(p.name, "SUBTYPE")) {
        const auto* s = std::get_if<std::string>(&p.value);
        if (s != nullptr && equalsIgnoreCase(*s, "Autoinc")) {
            f.type = codec.type = FieldType::AutoInc;
            return;
        }
    }
    f.extra.push_back({std::move(p.name), std::move(p.value), p.typeWord});
}

FieldDef readColumn(Input& in, Codec& codec, std::size_t index) {
    FieldDef f;
    try {
        std::string rawName = readName(in, "a column name");
        if (rawName.size() > kMaxColumnNameLength)
            rawName.resize(kMaxColumnNameLength);
        f.name = cp1252ToUtf8(rawName);
        codec = codecForTypeWord(in.u32("a column type word"));
        f.type = codec.type;
        f.size = codec.size;
        f.prefixSize = codec.prefix;
        const std::uint16_t attrs = in.u16("column attributes");
        f.hidden = (attrs & kAttrHidden) != 0;
        f.readOnly = (attrs & kAttrReadOnly) != 0;
        f.required = (attrs & kAttrRequired) != 0;
        f.linkField = (attrs & kAttrLinkField) != 0;
        if (codec.sqlDateTime)
            f.size = canonicalFixedSize(FieldType::DateTime);
        f.sqlDateTime = codec.sqlDateTime;
        const std::uint16_t count = in.u16("a property count");
        for (std::uint16_t i = 0; i < count; ++i) {
            if (auto p = readProperty(in))
                applyColumnProperty(f, codec, std::move(*p));
        }
    } catch (const TableError& e) {
        std::string where = "column " + std::to_string(index + 1);
        if (!f.name.empty())
            where += " " + quoted(f.name);
        throw TableError(where + ": " + e.what());
    }
    return f;
}

// ---------------------------------------------------------------- writing

class Output {
public:
    void reserve(std::size_t n) { bytes_.reserve(n); }
    void unsignedLe(std::uint64_t v, int size) {
        for (int i = 0; i < size; ++i) {
            bytes_.push_back(static_cast<char>(v & 0xFF));
            v >>= 8;
        }
    }
    void u8(std::uint8_t v) { unsignedLe(v, 1); }
    void u16(std::uint16_t v) { unsignedLe(v, 2); }
    void u32(std::uint32_t v) { unsignedLe(v, 4); }
    void raw(std::string_view b) { bytes_.append(b); }
    std::string& bytes() { return bytes_; }

private:
    std::string bytes_;
};

std::uint64_t prefixCapacity(int prefix) {
    return prefix >= 4 ? 0xFFFFFFFFull : (prefix == 2 ? 0xFFFFull : 0xFFull);
}

// Smallest of 1, 2, 4 that is at least `prefix` and can count `length` bytes.
int widenedPrefix(int prefix, std::uint64_t length) {
    for (int p : {1, 2, 4}) {
        if (p >= prefix && length <= prefixCapacity(p))
            return p;
    }
    throw TableError("value of " + std::to_string(length) + " bytes is too long for the file");
}

std::string encodeUtf16(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    auto unit = [&out](char32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>((u >> 8) & 0xFF));
    };
    for (std::size_t pos = 0; pos < utf8.size();) {
        const long cp = decodeUtf8(utf8, pos);
        if (cp < 0 || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            unit(0xFFFD);
        } else if (cp >= 0x10000) {
            const auto v = static_cast<char32_t>(cp - 0x10000);
            unit(0xD800 + (v >> 10));
            unit(0xDC00 + (v & 0x3FF));
        } else {
            unit(static_cast<char32_t>(cp));
        }
    }
    return out;
}

// The on-disk bytes of a text value of a String or WideString column. A text whose
// last byte (code unit) is zero gets one more, because a reader drops one.
void appendTextBytes(std::string& out, FieldType type, std::string_view utf8, bool terminate) {
    const std::size_t start = out.size();
    std::size_t unit = 1;
    if (type == FieldType::WideString) {
        out += encodeUtf16(utf8);
        unit = 2;
    } else {
        // ASCII runs are copied as they are; only the rest goes through the code page.
        // Multi-byte UTF-8 sequences never contain ASCII bytes, so the split is safe.
        for (std::size_t i = 0; i < utf8.size();) {
            std::size_t j = i;
            while (j < utf8.size() && static_cast<std::uint8_t>(utf8[j]) < 0x80)
                ++j;
            out.append(utf8.substr(i, j - i));
            i = j;
            while (j < utf8.size() && static_cast<std::uint8_t>(utf8[j]) >= 0x80)
                ++j;
            if (j > i)
                out += utf8ToCp1252(utf8.substr(i, j - i));
            i = j;
        }
    }
    const std::string_view written = std::string_view(out).substr(start);
    if (terminate || withoutTerminator(written, unit).size() != written.size()) {
        out.append(unit, '\0');
    }
}

std::string textBytes(FieldType type, std::string_view utf8, bool terminate) {
    std::string b;
    appendTextBytes(b, type, utf8, terminate);
    return b;
}

void encodeDecimal(Output& out, double v, int size, int decimals) {
    if (!std::isfinite(v))
        throw TableError("a packed decimal cannot hold " + std::to_string(v));
    char buf[400 + kMaxDecimalScale];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed, decimals);
    if (res.ec != std::errc())
        throw TableError("number too large for a packed decimal");
    std::string digits;
    for (const char* p = buf; p != res.ptr; ++p) {
        if (*p != '.')
            digits.push_back(*p);
    }
    const std::size_t first = digits.find_first_not_of('0');
    digits.erase(0, first == std::string::npos ? digits.size() : first);
    const auto capacity = static_cast<std::size_t>(size) * 2 - 1;
    if (digits.size() > capacity) {
        // A double cannot tell the largest decimal (all nines) from the next power of
        // ten when there are more digits than it carries: what reads as that largest
        // value is written as it, anything beyond it does not fit.
        std::string allNines(static_cast<std::size_t>(size), '\x99');
        allNines.back() = '\x9C';
        if (std::fabs(v) > decodeDecimal(allNines, decimals)) {
            throw TableError("number " + std::string(buf, res.ptr) +
                             " does not fit a packed decimal of " + std::to_string(size) +
                             " bytes");
        }
        digits.assign(capacity, '9');
    }
    digits.insert(0, capacity - digits.size(), '0');
    digits.push_back(std::signbit(v) ? 'D' : 'C');
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        auto nib = [](char c) { return c >= 'A' ? c - 'A' + 10 : c - '0'; };
        out.u8(static_cast<std::uint8_t>((nib(digits[i]) << 4) | nib(digits[i + 1])));
    }
}

std::string kindMismatch(FieldType type) {
    static constexpr const char* kNames[] = {"an integer",
                                             "an unsigned integer",
                                             "an autoincrement integer",
                                             "a Boolean",
                                             "a number",
                                             "a decimal",
                                             "a decimal",
                                             "a date",
                                             "a time",
                                             "a date-time",
                                             "a text",
                                             "a text",
                                             "bytes"};
    return std::string("the value is not ") + kNames[static_cast<int>(type)];
}

template <class T>
const T& valueAs(const Value& v, FieldType type) {
    const T* p = std::get_if<T>(&v);
    if (p == nullptr)
        throw TableError(kindMismatch(type));
    return *p;
}

double numberOf(const Value& v, FieldType type) {
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return static_cast<double>(*i);
    return valueAs<double>(v, type);
}

void encodeSqlDateTime(Output& out, DateTimeValue v) {
    const CivilDateTime dt = toCivil(v);
    if (dt.year < 1 || dt.year > std::numeric_limits<std::int16_t>::max())
        throw TableError("date-time value out of range for an SQL date-time");
    out.u16(static_cast<std::uint16_t>(dt.year));
    for (int part : {dt.month, dt.day, dt.hour, dt.minute, dt.second})
        out.u16(static_cast<std::uint16_t>(part));
    out.u32(static_cast<std::uint32_t>(dt.millisecond));
}

void encodeValue(Output& out, const Codec& c, const Value& v, bool terminateText) {
    switch (c.type) {
        case FieldType::Integer:
        case FieldType::AutoInc: {
            const std::int64_t i = valueAs<std::int64_t>(v, c.type);
            if (c.size < 8) {
                const std::int64_t lim = std::int64_t{1} << (8 * c.size - 1);
                if (i < -lim || i >= lim) {
                    throw TableError(std::to_string(i) + " does not fit a " +
                                     std::to_string(c.size) + "-byte integer");
                }
            }
            out.unsignedLe(static_cast<std::uint64_t>(i), c.size);
            return;
        }
        case FieldType::UnsignedInteger: {
            const std::int64_t i = valueAs<std::int64_t>(v, c.type);
            if (i < 0 || static_cast<std::uint64_t>(i) >> (8 * c.size) != 0) {
                throw TableError(std::to_string(i) + " does not fit a " + std::to_string(c.size) +
                                 "-byte unsigned integer");
            }
            out.unsignedLe(static_cast<std::uint64_t>(i), c.size);
            return;
        }
        case FieldType::Boolean:
            out.u16(valueAs<bool>(v, c.type) ? 1 : 0);
            return;
        case FieldType::Float: {
            const double d = numberOf(v, c.type);
            if (c.size == 4) {
                if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) {
                    throw TableError(std::to_string(d) + " does not fit a 4-byte number");
                }
                out.u32(std::bit_cast<std::uint32_t>(static_cast<float>(d)));
            } else {
                out.unsignedLe(std::bit_cast<std::uint64_t>(d), 8);
            }
            return;
        }
        case FieldType::Decimal:
        case FieldType::FormattedDecimal:
            encodeDecimal(out, numberOf(v, c.type), c.size, c.decimals);
            return;
        case FieldType::Date:
            out.u32(static_cast<std::uint32_t>(valueAs<DateValue>(v, c.type).day));
            return;
        case FieldType::Time: {
            const std::int32_t ms = valueAs<TimeValue>(v, c.type).ms;
            if (ms < 0 || ms >= kMsPerDay)
                throw TableError("time value out of range");
            out.u32(static_cast<std::uint32_t>(ms));
            return;
        }
        case FieldType::DateTime: {
            if (c.sqlDateTime) {
                encodeSqlDateTime(out, valueAs<DateTimeValue>(v, c.type));
                return;
            }
            const std::int64_t ms = valueAs<DateTimeValue>(v, c.type).ms;
            const auto d = static_cast<double>(ms);
            if (std::fabs(d) > kMaxDateTimeMs)
                throw TableError("date-time value out of range");
            out.unsignedLe(std::bit_cast<std::uint64_t>(d), 8);
            return;
        }
        case FieldType::String:
        case FieldType::WideString: {
            // Written in place; the length prefix is filled in afterwards.
            std::string& bytes = out.bytes();
            const std::size_t at = bytes.size();
            out.unsignedLe(0, c.prefix);
            appendTextBytes(bytes, c.type, valueAs<std::string>(v, c.type), terminateText);
            std::uint64_t n = bytes.size() - at - static_cast<std::size_t>(c.prefix);
            if (n > prefixCapacity(c.prefix)) {
                throw TableError("text of " + std::to_string(n) + " bytes is too long for a " +
                                 std::to_string(c.prefix) + "-byte length");
            }
            for (int k = 0; k < c.prefix; ++k, n >>= 8) {
                bytes[at + static_cast<std::size_t>(k)] = static_cast<char>(n & 0xFF);
            }
            return;
        }
        case FieldType::Bytes: {
            const std::string& b = valueAs<BytesValue>(v, c.type).bytes;
            if (c.prefix == 0) {
                if (b.size() != static_cast<std::size_t>(c.size)) {
                    throw TableError("bytes value of " + std::to_string(b.size()) +
                                     " bytes in a column of " + std::to_string(c.size));
                }
            } else {
                if (b.size() > prefixCapacity(c.prefix)) {
                    throw TableError("bytes value too long for its length prefix");
                }
                out.unsignedLe(b.size(), c.prefix);
            }
            out.raw(b);
            return;
        }
    }
    throw TableError("internal error: unhandled field type");
}

// Type word chosen for a property value that has none (or an unusable one).
std::uint32_t typeWordForValue(const Value& v) {
    struct Chooser {
        std::uint32_t operator()(std::monostate) const { return 0; }
        std::uint32_t operator()(std::int64_t i) const {
            const bool fits32 = i >= std::numeric_limits<std::int32_t>::min() &&
                                i <= std::numeric_limits<std::int32_t>::max();
            return makeTypeWord(kCodeSigned, fits32 ? 4 : 8);
        }
        std::uint32_t operator()(double) const { return makeTypeWord(kCodeFloat, 8); }
        std::uint32_t operator()(bool) const { return makeTypeWord(kCodeBoolean, 2); }
        std::uint32_t operator()(const std::string&) const { return kTypeSubtype; }
        std::uint32_t operator()(DateTimeValue) const { return makeTypeWord(kCodeDateTime, 8); }
        std::uint32_t operator()(DateValue) const { return makeTypeWord(kCodeDate, 4); }
        std::uint32_t operator()(TimeValue) const { return makeTypeWord(kCodeTime, 4); }
        std::uint32_t operator()(const BytesValue&) const {
            return makeTypeWord(kCodeBytes, 4, true);
        }
    };
    return std::visit(Chooser{}, v);
}

// Property record; tries the given type word first and falls back to one chosen
// from the value when the value does not fit it. Null values are not written.
// WIDTH, DECIMALS and CALCULATED are 16-bit unsigned numbers in this form; the XML
// form hands them over as text. Canonical decimal text of 0..65535 gives the number.
std::optional<std::int64_t> smallNumberProperty(std::string_view name, const Value& v) {
    if (!equalsIgnoreCase(name, "WIDTH") && !equalsIgnoreCase(name, "DECIMALS") &&
        !equalsIgnoreCase(name, "CALCULATED")) {
        return std::nullopt;
    }
    if (const auto* i = std::get_if<std::int64_t>(&v)) {
        if (*i >= 0 && *i <= 0xFFFF)
            return *i;
        return std::nullopt;
    }
    const auto* s = std::get_if<std::string>(&v);
    if (s == nullptr || s->empty() || s->size() > 5 || (s->size() > 1 && (*s)[0] == '0'))
        return std::nullopt;
    std::int64_t n = 0;
    for (char c : *s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n > 0xFFFF)
        return std::nullopt;
    return n;
}

bool writeProperty(Output& out, std::string_view name, std::uint32_t typeWord, const Value& given) {
    if (isNull(given))
        return false;
    const Value* vp = &given;
    Value number;
    if (typeWord == 0) {
        if (const auto n = smallNumberProperty(name, given)) {
            number = *n;
            vp = &number;
            typeWord = kTypeUInt16;
        }
    }
    const Value& v = *vp;
    const std::string rawName = utf8ToCp1252(name);
    if (rawName.empty() || rawName.size() > 255) {
        throw TableError("property name " + quoted(name) + " must have 1 to 255 characters");
    }
    Output value;
    bool done = false;
    if (typeWord != 0) {
        try {
            Codec c = codecForTypeWord(typeWord);
            if (c.type == FieldType::String || c.type == FieldType::WideString) {
                const std::size_t n = textBytes(c.type, std::get<std::string>(v), true).size();
                if (n > prefixCapacity(c.prefix))
                    throw TableError("too long");
            }
            encodeValue(value, c, v, true);
            done = true;
        } catch (const TableError&) {
        } catch (const std::bad_variant_access&) {
        }
    }
    if (!done) {
        typeWord = typeWordForValue(v);
        Codec c = codecForTypeWord(typeWord);
        if (c.prefix != 0) {
            const std::size_t n = c.type == FieldType::Bytes
                                      ? std::get<BytesValue>(v).bytes.size()
                                      : textBytes(c.type, std::get<std::string>(v), true).size();
            c.prefix = widenedPrefix(c.prefix, n);
            typeWord = makeTypeWord(c.type == FieldType::Bytes ? kCodeBytes : kCodeString,
                                    static_cast<std::uint32_t>(c.prefix), true);
        }
        value = Output{};
        encodeValue(value, c, v, true);
    }
    out.u8(static_cast<std::uint8_t>(rawName.size()));
    out.raw(rawName);
    out.u32(typeWord);
    out.raw(value.bytes());
    return true;
}

struct PlannedProperty {
    std::string name;
    std::uint32_t typeWord;
    Value value;
};

struct ColumnPlan {
    Codec codec;
    std::uint32_t typeWord = 0;
    std::vector<PlannedProperty> properties;
};

int defaultedSize(int size, int fallback) {
    return size == 0 ? fallback : size;
}

// Byte length of the longest value of a varying column, computed exactly only when
// the cheap bound (UTF-8 length) could exceed the prefix.
std::uint64_t longestValue(const TableData& t, std::size_t col, FieldType type, int prefix) {
    std::uint64_t longest = 0;
    for (const auto& row : t.rows) {
        const Value& v = row[col];
        std::uint64_t n = 0;
        if (const auto* s = std::get_if<std::string>(&v)) {
            const std::uint64_t bound =
                type == FieldType::WideString ? 2 * s->size() + 2 : s->size() + 1;
            n = bound <= prefixCapacity(prefix) ? 0 : textBytes(type, *s, false).size();
        } else if (const auto* b = std::get_if<BytesValue>(&v)) {
            n = b->bytes.size();
        }
        if (n > longest)
            longest = n;
    }
    return longest;
}

ColumnPlan planColumn(const TableData& t, std::size_t col) {
    const FieldDef& f = t.fields[col];
    ColumnPlan plan;
    Codec& c = plan.codec;
    c.type = f.type;
    std::uint32_t code = 0;
    const auto requireSize = [&](std::initializer_list<int> sizes) {
        for (int s : sizes) {
            if (s == c.size)
                return;
        }
        throw TableError("size " + std::to_string(f.size) + " is not valid for its type");
    };
    const auto choosePrefix = [&](int byDefault) {
        const int wanted = (f.prefixSize == 1 || f.prefixSize == 2 || f.prefixSize == 4)
                               ? f.prefixSize
                               : byDefault;
        // A value longer than the prefix can count widens the prefix rather than
        // being cut.
        c.prefix = widenedPrefix(wanted, longestValue(t, col, f.type, wanted));
    };
    switch (f.type) {
        case FieldType::AutoInc:
            c.size = 4;
            code = kCodeSigned;
            plan.properties.push_back({"SUBTYPE", kTypeSubtype, std::string("Autoinc")});
            break;
        case FieldType::Integer:
            c.size = defaultedSize(f.size, 4);
            requireSize({1, 2, 4, 8});
            code = kCodeSigned;
            break;
        case FieldType::UnsignedInteger:
            c.size = defaultedSize(f.size, 4);
            requireSize({1, 2, 4});
            code = kCodeUnsigned;
            break;
        case FieldType::Boolean:
            c.size = 2;
            code = kCodeBoolean;
            break;
        case FieldType::Float:
            c.size = defaultedSize(f.size, 8);
            requireSize({4, 8});
            code = kCodeFloat;
            break;
        case FieldType::Decimal:
        case FieldType::FormattedDecimal:
            // Ten bytes hold 19 digits, more than a double carries.
            c.size = defaultedSize(f.size, f.precision > 0 ? decimalBytesFor(f.precision) : 10);
            if (c.size < 1 || c.size > kMaxDecimalBytes)
                requireSize({});
            if (f.decimals < 0 || f.decimals > kMaxDecimalScale) {
                throw TableError("DECIMALS " + std::to_string(f.decimals) + " out of range");
            }
            if (f.precision < 0 || f.precision > kMaxDecimalPrecision) {
                throw TableError("WIDTH " + std::to_string(f.precision) + " out of range");
            }
            c.decimals = f.decimals;
            code = f.type == FieldType::Decimal ? kCodeFixed : kCodeFixedFmt;
            // The digits the size holds go without saying.
            if (f.precision > 0 && f.precision != 2 * c.size - 1)
                plan.properties.push_back({"WIDTH", kTypeUInt16, std::int64_t{f.precision}});
            plan.properties.push_back({"DECIMALS", kTypeUInt16, std::int64_t{f.decimals}});
            break;
        case FieldType::Date:
            c.size = 4;
            code = kCodeDate;
            break;
        case FieldType::Time:
            c.size = 4;
            code = kCodeTime;
            break;
        case FieldType::DateTime:
            c.size = f.sqlDateTime ? 16 : 8;
            c.sqlDateTime = f.sqlDateTime;
            code = f.sqlDateTime ? kCodeSqlDateTime : kCodeDateTime;
            break;
        case FieldType::String:
        case FieldType::WideString: {
            if (f.size < 0)
                throw TableError("negative WIDTH");
            const int byDefault = f.size <= (f.type == FieldType::String ? 254 : 127) ? 1 : 2;
            choosePrefix(byDefault);
            code = f.type == FieldType::String ? kCodeString : kCodeWideString;
            plan.properties.push_back(
                {"WIDTH", f.size <= 0xFFFF ? kTypeUInt16 : kTypeInt32, std::int64_t{f.size}});
            break;
        }
        case FieldType::Bytes: {
            if (f.size < 0)
                throw TableError("negative size");
            // A column read as varying stays so; its declared size goes along as WIDTH.
            bool fixedSize = f.prefixSize == 0 && f.size > 0 && f.size <= 0xFFFF;
            for (std::size_t r = 0; fixedSize && r < t.rows.size(); ++r) {
                const auto* b = std::get_if<BytesValue>(&t.rows[r][col]);
                fixedSize = b == nullptr || b->bytes.size() == static_cast<std::size_t>(f.size);
            }
            if (fixedSize) {
                c.size = f.size;
            } else {
                // Values that do not match a declared fixed size make the column varying,
                // so nothing is cut or padded; the declared size stays as WIDTH.
                choosePrefix(2);
                if (f.size > 0) {
                    plan.properties.push_back({"WIDTH", f.size <= 0xFFFF ? kTypeUInt16 : kTypeInt32,
                                               std::int64_t{f.size}});
                }
            }
            code = kCodeBytes;
            break;
        }
    }
    plan.typeWord = makeTypeWord(
        code, static_cast<std::uint32_t>(c.prefix != 0 ? c.prefix : c.size), c.prefix != 0);
    const bool decimal = f.type == FieldType::Decimal || f.type == FieldType::FormattedDecimal;
    for (const ExtraProperty& e : f.extra) {
        // A decimal's WIDTH is its precision, written above when it says anything.
        bool generated = decimal && equalsIgnoreCase(e.name, "WIDTH");
        for (const auto& p : plan.properties)
            generated = generated || equalsIgnoreCase(p.name, e.name);
        if (!generated)
            plan.properties.push_back({e.name, e.typeWord, e.value});
    }
    return plan;
}

void writeColumn(Output& out, const FieldDef& f, const ColumnPlan& plan) {
    const std::string rawName = utf8ToCp1252(f.name);
    if (rawName.empty() || rawName.size() > 255) {
        throw TableError("a column name must have 1 to 255 characters");
    }
    out.u8(static_cast<std::uint8_t>(rawName.size()));
    out.raw(rawName);
    out.u32(plan.typeWord);
    std::uint16_t attrs = 0;
    if (f.hidden)
        attrs |= kAttrHidden;
    if (f.readOnly)
        attrs |= kAttrReadOnly;
    if (f.required)
        attrs |= kAttrRequired;
    if (f.linkField)
        attrs |= kAttrLinkField;
    out.u16(attrs);
    Output props;
    std::size_t count = 0;
    for (const auto& p : plan.properties) {
        if (writeProperty(props, p.name, p.typeWord, p.value))
            ++count;
    }
    if (count > 0xFFFF)
        throw TableError("too many column properties");
    out.u16(static_cast<std::uint16_t>(count));
    out.raw(props.bytes());
}

}  // namespace

bool looksLikeBinaryTable(std::string_view bytes) {
    if (bytes.size() < 8)
        return false;
    Input in(bytes);
    const std::uint32_t magic = in.u32("the magic");
    const std::uint16_t major = in.u16("the version");
    const std::uint16_t minor = in.u16("the version");
    return (magic == kMagic || magic == kAltMagic) && major <= kMaxVersion && minor <= kMaxVersion;
}

TableData readBinaryTable(std::string_view bytes) {
    if (!looksLikeBinaryTable(bytes))
        throw TableError("not a binary table file");
    Input in(bytes);
    in.take(8, "the header");
    const std::uint32_t headerLength = in.u32("the header");
    const std::uint16_t columnCount = in.u16("the header");
    const std::uint32_t rowCount = in.u32("the header");
    in.take(6, "the header");  // packet flags and the reserved word carry nothing we use
    if (headerLength < kHeaderSize) {
        throw TableError("header length " + std::to_string(headerLength) + " is below 24");
    }
    in.seek(headerLength, "the column descriptions");

    TableData t;
    // Every column description takes at least 10 bytes, so the count is checked
    // against the input before anything is reserved for it.
    constexpr std::size_t kMinColumnBytes = 10;
    if (columnCount > in.remaining() / kMinColumnBytes) {
        throw TableError("the header declares " + std::to_string(columnCount) +
                         " columns, more than the file can hold");
    }
    std::vector<Codec> codecs(columnCount);
    t.fields.reserve(columnCount);
    for (std::size_t j = 0; j < columnCount; ++j)
        t.fields.push_back(readColumn(in, codecs[j], j));

    const std::uint16_t propertyCount = in.u16("the table property count");
    for (std::uint16_t i = 0; i < propertyCount; ++i) {
        auto read = readProperty(in);
        if (!read)
            continue;
        RawProperty& p = *read;
        if (equalsIgnoreCase(p.name, "AUTOINCVALUE")) {
            const auto v = nonNegativeInteger(p.value, std::numeric_limits<std::int64_t>::max());
            if (!v)
                throw TableError("bad AUTOINCVALUE table property");
            t.autoIncValue = *v;
        } else {
            t.tableProperties.push_back({std::move(p.name), std::move(p.value), p.typeWord});
        }
    }

    const std::size_t flagBytes = (columnCount + 3u) / 4u;
    const std::size_t minRowBytes = 1 + flagBytes;
    if (rowCount > in.remaining() / minRowBytes) {
        throw TableError("the header declares " + std::to_string(rowCount) +
                         " rows, more than the file can hold");
    }
    t.rows.reserve(rowCount);
    constexpr std::size_t kNoColumn = std::numeric_limits<std::size_t>::max();
    for (std::uint32_t r = 0; r < rowCount; ++r) {
        std::size_t at = kNoColumn;
        try {
            // A non-zero state marks a row of an unmerged change log. Such rows are
            // read as plain rows; a column flagged "not present" (unchanged) carries
            // no value in that row and is read as null, like a blank one.
            in.u8("a row state");
            const std::string_view flags = in.take(flagBytes, "the column flags of a row");
            std::vector<Value> row;
            row.reserve(columnCount);
            for (std::size_t j = 0; j < columnCount; ++j) {
                const auto bits = static_cast<std::uint8_t>(flags[j / 4]) >> (2 * (j % 4));
                if ((bits & 3u) != 0) {
                    row.emplace_back();
                    continue;
                }
                at = j;
                row.push_back(decodeValue(in, codecs[j]));
            }
            t.rows.push_back(std::move(row));
        } catch (const TableError& e) {
            std::string where = "row " + std::to_string(r + 1);
            if (at != kNoColumn)
                where += ", column " + quoted(t.fields[at].name);
            throw TableError(where + ": " + e.what());
        }
    }
    return t;
}

std::string writeBinaryTable(const TableData& table) {
    const std::size_t columnCount = table.fields.size();
    if (columnCount > 0xFFFF)
        throw TableError("too many columns for the binary form");
    if (table.rows.size() > 0xFFFFFFFFu)
        throw TableError("too many rows for the binary form");
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        if (table.rows[r].size() != columnCount) {
            throw TableError("row " + std::to_string(r + 1) + " has " +
                             std::to_string(table.rows[r].size()) + " values for " +
                             std::to_string(columnCount) + " columns");
        }
    }

    Output out;
    out.u32(kMagic);
    out.u16(1);
    out.u16(0);
    out.u32(kHeaderSize);
    out.u16(static_cast<std::uint16_t>(columnCount));
    out.u32(static_cast<std::uint32_t>(table.rows.size()));
    out.u32(kPacketHasMetadata);
    out.u16(0);

    std::vector<ColumnPlan> plans;
    plans.reserve(columnCount);
    for (std::size_t j = 0; j < columnCount; ++j) {
        try {
            plans.push_back(planColumn(table, j));
            writeColumn(out, table.fields[j], plans.back());
        } catch (const TableError& e) {
            throw TableError("column " + quoted(table.fields[j].name) + ": " + e.what());
        }
    }

    Output props;
    std::size_t count = 0;
    if (table.autoIncValue >= 0) {
        const std::uint32_t word = table.autoIncValue <= std::numeric_limits<std::int32_t>::max()
                                       ? kTypeInt32
                                       : makeTypeWord(kCodeSigned, 8);
        count += writeProperty(props, "AUTOINCVALUE", word, table.autoIncValue) ? 1 : 0;
    }
    for (const ExtraProperty& p : table.tableProperties) {
        if (table.autoIncValue >= 0 && equalsIgnoreCase(p.name, "AUTOINCVALUE"))
            continue;
        count += writeProperty(props, p.name, p.typeWord, p.value) ? 1 : 0;
    }
    if (count > 0xFFFF)
        throw TableError("too many table properties");
    out.u16(static_cast<std::uint16_t>(count));
    out.raw(props.bytes());

    const std::size_t flagBytes = (columnCount + 3) / 4;
    out.reserve(out.bytes().size() + table.rows.size() * (1 + flagBytes + 8 * columnCount));
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const auto& row = table.rows[r];
        out.u8(0);
        const std::size_t flagsAt = out.bytes().size();
        out.bytes().append(flagBytes, '\0');
        for (std::size_t j = 0; j < columnCount; ++j) {
            if (isNull(row[j])) {
                out.bytes()[flagsAt + j / 4] |= static_cast<char>(1u << (2 * (j % 4)));
                continue;
            }
            try {
                encodeValue(out, plans[j].codec, row[j], false);
            } catch (const TableError& e) {
                throw TableError("row " + std::to_string(r + 1) + ", column " +
                                 quoted(table.fields[j].name) + ": " + e.what());
            }
        }
    }
    return std::move(out.bytes());
}

}  // namespace vexora::data

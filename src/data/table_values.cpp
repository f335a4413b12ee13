#include "data/table_values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "core/codepage.h"
#include "data/date_time.h"

namespace vexora::data {
namespace {

std::string fieldPrefix(const FieldDef& field) {
    return "field \"" + field.name + "\": ";
}

[[noreturn]] void cannot(const FieldDef& field, std::string_view what) {
    throw TableError(fieldPrefix(field) + std::string(describeFieldType(field.type)) +
                     " field cannot be " + std::string(what));
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::optional<std::int64_t> parseInteger(std::string_view s) {
    s = trimBlanks(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return std::nullopt;
    std::int64_t v = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size())
        return std::nullopt;
    return v;
}

std::optional<double> parseNumber(std::string_view s) {
    s = trimBlanks(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return std::nullopt;
    std::string text(s);
    // A single decimal comma (Italian writing) reads like a point.
    if (text.find('.') == std::string::npos) {
        const auto comma = text.find(',');
        if (comma != std::string::npos && text.find(',', comma + 1) == std::string::npos)
            text[comma] = '.';
    }
    double v = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size())
        return std::nullopt;
    return v;
}

std::optional<bool> parseBoolean(std::string_view s) {
    s = trimBlanks(s);
    if (equalsIgnoreCase(s, "true") || equalsIgnoreCase(s, "t") || s == "1")
        return true;
    if (equalsIgnoreCase(s, "false") || equalsIgnoreCase(s, "f") || s == "0")
        return false;
    return std::nullopt;
}

// Checks that an integer fits the field's storage.
std::int64_t checkedInteger(const FieldDef& field, std::int64_t i) {
    std::int64_t lo = std::numeric_limits<std::int64_t>::min();
    std::int64_t hi = std::numeric_limits<std::int64_t>::max();
    const int size = field.type == FieldType::AutoInc ? 4 : (field.size == 0 ? 4 : field.size);
    if (field.type == FieldType::UnsignedInteger) {
        lo = 0;
        if (size < 8)
            hi = (std::int64_t{1} << (8 * size)) - 1;
    } else if (size < 8) {
        lo = -(std::int64_t{1} << (8 * size - 1));
        hi = (std::int64_t{1} << (8 * size - 1)) - 1;
    }
    if (i < lo || i > hi) {
        throw TableError(fieldPrefix(field) + std::to_string(i) + " is out of range (" +
                         std::to_string(lo) + ".." + std::to_string(hi) + ")");
    }
    return i;
}

std::string truncatedText(const FieldDef& field, std::string_view text) {
    if (field.size <= 0)
        return std::string(text);
    std::size_t pos = 0;
    int chars = 0;
    while (pos < text.size() && chars < field.size) {
        decodeUtf8(text, pos);
        ++chars;
    }
    return std::string(text.substr(0, pos));
}

bool isTextType(FieldType t) {
    return t == FieldType::String || t == FieldType::WideString;
}
bool isIntegerType(FieldType t) {
    return t == FieldType::Integer || t == FieldType::UnsignedInteger || t == FieldType::AutoInc;
}
bool isNumberType(FieldType t) {
    return t == FieldType::Float || t == FieldType::Decimal || t == FieldType::FormattedDecimal;
}

std::int64_t integerOfDouble(const FieldDef& field, double d) {
    if (!std::isfinite(d) || d >= 9.2e18 || d <= -9.2e18) {
        throw TableError(fieldPrefix(field) + formatNumber(d) + " is not a valid integer value");
    }
    return std::llround(d);
}

// Reads up to maxDigits digits at pos; nullopt when there is none.
std::optional<int> digits(std::string_view s, std::size_t& pos, int minDigits, int maxDigits) {
    int n = 0;
    int v = 0;
    while (pos < s.size() && n < maxDigits && s[pos] >= '0' && s[pos] <= '9') {
        v = v * 10 + (s[pos] - '0');
        ++pos;
        ++n;
    }
    if (n < minDigits)
        return std::nullopt;
    return v;
}

bool expect(std::string_view s, std::size_t& pos, char c) {
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

// "hh:nn[:ss[.zzz]]" from pos to the end of s, as milliseconds since midnight.
std::optional<std::int32_t> parseTimeOfDay(std::string_view s, std::size_t pos) {
    const auto h = digits(s, pos, 1, 2);
    if (!h || !expect(s, pos, ':'))
        return std::nullopt;
    const auto m = digits(s, pos, 2, 2);
    if (!m)
        return std::nullopt;
    int sec = 0;
    int ms = 0;
    if (expect(s, pos, ':')) {
        const auto v = digits(s, pos, 2, 2);
        if (!v)
            return std::nullopt;
        sec = *v;
        if (expect(s, pos, '.')) {
            const auto z = digits(s, pos, 1, 3);
            if (!z)
                return std::nullopt;
            ms = *z;
        }
    }
    if (pos != s.size() || *h > 23 || *m > 59 || sec > 59)
        return std::nullopt;
    return ((*h * 60 + *m) * 60 + sec) * 1000 + ms;
}

struct DateParts {
    int year, month, day;
};

// Date at the start of s; pos is left after it.
std::optional<DateParts> parseDatePart(std::string_view s, std::size_t& pos) {
    std::size_t p = pos;
    const auto a = digits(s, p, 1, 4);
    if (!a)
        return std::nullopt;
    DateParts d{};
    if (p - pos == 4 && expect(s, p, '-')) {
        const auto m = digits(s, p, 1, 2);
        if (!m || !expect(s, p, '-'))
            return std::nullopt;
        const auto dd = digits(s, p, 1, 2);
        if (!dd)
            return std::nullopt;
        d = {*a, *m, *dd};
    } else if (p - pos <= 2 && expect(s, p, '/')) {
        const auto m = digits(s, p, 1, 2);
        if (!m || !expect(s, p, '/'))
            return std::nullopt;
        const auto y = digits(s, p, 4, 4);
        if (!y)
            return std::nullopt;
        d = {*y, *m, *a};
    } else {
        return std::nullopt;
    }
    if (!isValidDate(d.year, d.month, d.day))
        return std::nullopt;
    pos = p;
    return d;
}

std::optional<std::int32_t> parseTimeText(std::string_view text) {
    return parseTimeOfDay(trimBlanks(text), 0);
}

int foldCodePoint(long cp) {
    if (cp >= 'A' && cp <= 'Z')
        return static_cast<int>(cp + 32);
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)
        return static_cast<int>(cp + 32);
    switch (cp) {
        case 0x160:
            return 0x161;
        case 0x152:
            return 0x153;
        case 0x17D:
            return 0x17E;
        case 0x178:
            return 0xFF;
        default:
            return static_cast<int>(cp);
    }
}

template <class T>
int threeWay(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compareDoubles(double a, double b) {
    const bool na = std::isnan(a);
    const bool nb = std::isnan(b);
    if (na || nb)
        return na == nb ? 0 : (na ? 1 : -1);
    return threeWay(a, b);
}

}  // namespace

std::string_view describeFieldType(FieldType type) {
    switch (type) {
        case FieldType::Integer:
            return "an integer";
        case FieldType::UnsignedInteger:
            return "an unsigned integer";
        case FieldType::AutoInc:
            return "an autoincrement";
        case FieldType::Boolean:
            return "a Boolean";
        case FieldType::Float:
            return "a number";
        case FieldType::Decimal:
        case FieldType::FormattedDecimal:
            return "a decimal";
        case FieldType::Date:
            return "a date";
        case FieldType::Time:
            return "a time";
        case FieldType::DateTime:
            return "a date-time";
        case FieldType::String:
        case FieldType::WideString:
            return "a text";
        case FieldType::Bytes:
            return "a bytes";
    }
    return "an unknown";
}

std::string quoteForMessage(std::string_view text) {
    constexpr std::size_t kMax = 40;
    std::string out = "\"";
    std::size_t pos = 0;
    std::size_t chars = 0;
    while (pos < text.size() && chars < kMax) {
        const std::size_t start = pos;
        const long cp = decodeUtf8(text, pos);
        if (cp < 0x20 || cp == 0x7F)
            out.push_back(' ');
        else
            out.append(text.substr(start, pos - start));
        ++chars;
    }
    if (pos < text.size())
        out += "...";
    out += "\"";
    return out;
}

std::size_t valueIndexForType(FieldType type) {
    switch (type) {
        case FieldType::Integer:
        case FieldType::UnsignedInteger:
        case FieldType::AutoInc:
            return Value(std::int64_t{}).index();
        case FieldType::Boolean:
            return Value(false).index();
        case FieldType::Float:
        case FieldType::Decimal:
        case FieldType::FormattedDecimal:
            return Value(0.0).index();
        case FieldType::Date:
            return Value(DateValue{}).index();
        case FieldType::Time:
            return Value(TimeValue{}).index();
        case FieldType::DateTime:
            return Value(DateTimeValue{}).index();
        case FieldType::String:
        case FieldType::WideString:
            return Value(std::string{}).index();
        case FieldType::Bytes:
            return Value(BytesValue{}).index();
    }
    return 0;
}

bool valueMatchesType(FieldType type, const Value& v) {
    return isNull(v) || v.index() == valueIndexForType(type);
}

// ---------------------------------------------------------------- reading

std::int64_t valueToInteger(const FieldDef& field, const Value& v) {
    if (isNull(v))
        return 0;
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return *i;
    if (const auto* d = std::get_if<double>(&v))
        return integerOfDouble(field, *d);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? 1 : 0;
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (const auto i = parseInteger(*s))
            return *i;
        throw TableError(fieldPrefix(field) + quoteForMessage(*s) +
                         " is not a valid integer value");
    }
    cannot(field, "read as an integer");
}

double valueToFloat(const FieldDef& field, const Value& v) {
    if (isNull(v))
        return 0.0;
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&v))
        return *d;
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (const auto d = parseNumber(*s))
            return *d;
        throw TableError(fieldPrefix(field) + quoteForMessage(*s) + " is not a valid number");
    }
    cannot(field, "read as a number");
}

std::string valueToString(const FieldDef& /*field*/, const Value& v) {
    struct Text {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(std::int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const { return formatNumber(d); }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(DateTimeValue dt) const { return formatDisplayDateTime(dt); }
        std::string operator()(DateValue d) const {
            return formatDisplayDateTime(DateTimeValue{std::int64_t{d.day} * kMsPerDay});
        }
        std::string operator()(TimeValue t) const {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.ms / 3'600'000 % 100,
                          t.ms / 60'000 % 60, t.ms / 1000 % 60);
            return buf;
        }
        // Memo text is stored as Windows-1252 bytes.
        std::string operator()(const BytesValue& b) const { return cp1252ToUtf8(b.bytes); }
    };
    return std::visit(Text{}, v);
}

bool valueToBoolean(const FieldDef& field, const Value& v) {
    if (isNull(v))
        return false;
    if (const auto* b = std::get_if<bool>(&v))
        return *b;
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return *i != 0;
    if (const auto* d = std::get_if<double>(&v))
        return *d != 0.0;
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (const auto b = parseBoolean(*s))
            return *b;
        throw TableError(fieldPrefix(field) + quoteForMessage(*s) +
                         " is not a valid Boolean value");
    }
    cannot(field, "read as a Boolean");
}

DateTimeValue valueToDateTime(const FieldDef& field, const Value& v) {
    if (isNull(v))
        return {};
    if (const auto* dt = std::get_if<DateTimeValue>(&v))
        return *dt;
    if (const auto* d = std::get_if<DateValue>(&v))
        return {std::int64_t{d->day} * kMsPerDay};
    if (const auto* t = std::get_if<TimeValue>(&v))
        return {t->ms};
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (const auto dt = parseDisplayDateTime(*s))
            return *dt;
        throw TableError(fieldPrefix(field) + quoteForMessage(*s) +
                         " is not a valid date-time value");
    }
    cannot(field, "read as a date-time");
}

// ---------------------------------------------------------------- writing

Value integerToValue(const FieldDef& field, std::int64_t i) {
    if (isIntegerType(field.type))
        return checkedInteger(field, i);
    if (isNumberType(field.type))
        return static_cast<double>(i);
    if (isTextType(field.type))
        return truncatedText(field, std::to_string(i));
    if (field.type == FieldType::Boolean)
        return i != 0;
    cannot(field, "written as an integer");
}

Value floatToValue(const FieldDef& field, double d) {
    if (isNumberType(field.type))
        return d;
    if (isIntegerType(field.type))
        return checkedInteger(field, integerOfDouble(field, d));
    if (isTextType(field.type))
        return truncatedText(field, formatNumber(d));
    cannot(field, "written as a number");
}

Value stringToValue(const FieldDef& field, std::string_view text) {
    if (isTextType(field.type))
        return truncatedText(field, text);
    if (field.type == FieldType::Bytes)
        return BytesValue{utf8ToCp1252(text)};
    if (trimBlanks(text).empty())
        return std::monostate{};
    if (isIntegerType(field.type)) {
        if (const auto i = parseInteger(text))
            return checkedInteger(field, *i);
        throw TableError(fieldPrefix(field) + quoteForMessage(text) +
                         " is not a valid integer value");
    }
    if (isNumberType(field.type)) {
        if (const auto d = parseNumber(text))
            return *d;
        throw TableError(fieldPrefix(field) + quoteForMessage(text) + " is not a valid number");
    }
    if (field.type == FieldType::Boolean) {
        if (const auto b = parseBoolean(text))
            return *b;
        throw TableError(fieldPrefix(field) + quoteForMessage(text) +
                         " is not a valid Boolean value");
    }
    if (field.type == FieldType::Time) {
        if (const auto t = parseTimeText(text))
            return TimeValue{*t};
        throw TableError(fieldPrefix(field) + quoteForMessage(text) + " is not a valid time");
    }
    const auto dt = parseDisplayDateTime(text);
    if (!dt) {
        throw TableError(fieldPrefix(field) + quoteForMessage(text) +
                         " is not a valid date-time value");
    }
    return dateTimeToValue(field, *dt);
}

Value booleanToValue(const FieldDef& field, bool b) {
    if (field.type == FieldType::Boolean)
        return b;
    if (isTextType(field.type))
        return truncatedText(field, b ? "True" : "False");
    if (isIntegerType(field.type))
        return std::int64_t{b ? 1 : 0};
    cannot(field, "written as a Boolean");
}

Value dateTimeToValue(const FieldDef& field, DateTimeValue dt) {
    switch (field.type) {
        case FieldType::DateTime:
            return dt;
        case FieldType::Date: {
            const auto day = splitDateTime(dt).day;
            if (day > std::numeric_limits<std::int32_t>::max() ||
                day < std::numeric_limits<std::int32_t>::min()) {
                throw TableError(fieldPrefix(field) + "date out of range");
            }
            return DateValue{static_cast<std::int32_t>(day)};
        }
        case FieldType::Time:
            return TimeValue{splitDateTime(dt).msOfDay};
        case FieldType::String:
        case FieldType::WideString:
            return truncatedText(field, formatDisplayDateTime(dt));
        default:
            cannot(field, "written as a date-time");
    }
}

Value variantToValue(const FieldDef& field, const Value& v) {
    struct Convert {
        const FieldDef& f;
        Value operator()(std::monostate) const { return std::monostate{}; }
        Value operator()(std::int64_t i) const { return integerToValue(f, i); }
        Value operator()(double d) const { return floatToValue(f, d); }
        Value operator()(bool b) const { return booleanToValue(f, b); }
        Value operator()(const std::string& s) const { return stringToValue(f, s); }
        Value operator()(DateTimeValue dt) const { return dateTimeToValue(f, dt); }
        Value operator()(DateValue d) const {
            if (f.type == FieldType::Date)
                return d;
            return dateTimeToValue(f, DateTimeValue{std::int64_t{d.day} * kMsPerDay});
        }
        Value operator()(TimeValue t) const {
            if (f.type == FieldType::Time)
                return t;
            return dateTimeToValue(f, DateTimeValue{t.ms});
        }
        Value operator()(const BytesValue& b) const {
            if (f.type == FieldType::Bytes)
                return b;
            if (isTextType(f.type))
                return truncatedText(f, cp1252ToUtf8(b.bytes));
            cannot(f, "written as bytes");
        }
    };
    return std::visit(Convert{field}, v);
}

// ---------------------------------------------------------------- comparing

int compareTextIgnoreCase(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (ca < 0x80 && cb < 0x80) {
            const int fa = foldCodePoint(ca);
            const int fb = foldCodePoint(cb);
            if (fa != fb)
                return fa < fb ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        const std::size_t si = i;
        const std::size_t sj = j;
        const long pa = decodeUtf8(a, i);
        const long pb = decodeUtf8(b, j);
        // A malformed byte compares as itself.
        const int fa = pa < 0 ? static_cast<unsigned char>(a[si]) : foldCodePoint(pa);
        const int fb = pb < 0 ? static_cast<unsigned char>(b[sj]) : foldCodePoint(pb);
        if (fa != fb)
            return fa < fb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return compareTextIgnoreCase(a, b) == 0;
}

int compareValues(const Value& a, const Value& b, bool caseInsensitive) {
    const std::size_t ia = a.index();
    const std::size_t ib = b.index();
    if (ia != ib) {
        if (ia == 0 || ib == 0)
            return ia == 0 ? -1 : 1;
        // Mixed numbers compare by value.
        const auto* ai = std::get_if<std::int64_t>(&a);
        const auto* bi = std::get_if<std::int64_t>(&b);
        const auto* ad = std::get_if<double>(&a);
        const auto* bd = std::get_if<double>(&b);
        if (ai && bd)
            return compareDoubles(static_cast<double>(*ai), *bd);
        if (ad && bi)
            return compareDoubles(*ad, static_cast<double>(*bi));
        return ia < ib ? -1 : 1;
    }
    switch (ia) {
        case 0:
            return 0;
        case 1:
            return threeWay(std::get<std::int64_t>(a), std::get<std::int64_t>(b));
        case 2:
            return compareDoubles(std::get<double>(a), std::get<double>(b));
        case 3:
            return threeWay(std::get<bool>(a), std::get<bool>(b));
        case 4: {
            const auto& sa = std::get<std::string>(a);
            const auto& sb = std::get<std::string>(b);
            if (caseInsensitive)
                return compareTextIgnoreCase(sa, sb);
            const int c = sa.compare(sb);
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        case 5:
            return threeWay(std::get<DateTimeValue>(a), std::get<DateTimeValue>(b));
        case 6:
            return threeWay(std::get<DateValue>(a), std::get<DateValue>(b));
        case 7:
            return threeWay(std::get<TimeValue>(a), std::get<TimeValue>(b));
        default:
            return threeWay(std::get<BytesValue>(a).bytes, std::get<BytesValue>(b).bytes);
    }
}

// ---------------------------------------------------------------- text forms

std::string formatDisplayDateTime(DateTimeValue v) {
    CivilDateTime c;
    try {
        c = toCivil(v);
    } catch (const std::out_of_range&) {
        return std::to_string(v.ms) + " ms";
    }
    char buf[64];
    if (c.hour == 0 && c.minute == 0 && c.second == 0 && c.millisecond == 0) {
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", c.day, c.month, c.year);
    } else {
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", c.day, c.month, c.year,
                      c.hour, c.minute, c.second);
    }
    return buf;
}

std::optional<DateTimeValue> parseDisplayDateTime(std::string_view text) {
    const std::string_view s = trimBlanks(text);
    std::size_t pos = 0;
    const auto d = parseDatePart(s, pos);
    if (!d)
        return std::nullopt;
    std::int32_t ms = 0;
    if (pos < s.size()) {
        if (s[pos] != ' ' && s[pos] != 'T')
            return std::nullopt;
        const auto t = parseTimeOfDay(trimBlanks(s.substr(pos + 1)), 0);
        if (!t)
            return std::nullopt;
        ms = *t;
    }
    return DateTimeValue{dayNumber(d->year, d->month, d->day) * kMsPerDay + ms};
}

std::string formatIsoDateTime(DateTimeValue v) {
    CivilDateTime c;
    try {
        c = toCivil(v);
    } catch (const std::out_of_range&) {
        return std::to_string(v.ms);
    }
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second, c.millisecond);
    return buf;
}

std::string formatIsoDate(DateValue v) {
    const CivilDate c = toCivil(v);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.year, c.month, c.day);
    return buf;
}

std::string formatIsoTime(TimeValue v) {
    const std::int32_t ms = v.ms;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", ms / 3'600'000, ms / 60'000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return buf;
}

std::string formatNumber(double d) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, res.ptr);
}

}  // namespace vexora::data

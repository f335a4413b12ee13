#include "data/xml_form.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <optional>
#include <pugixml.hpp>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/codepage.h"
#include "core/strict_xml.h"
#include "data/date_time.h"
#include "data/table_values.h"
#include "data/type_words.h"

// The XML form is one line: the declaration without encoding and two blanks, then
//   <DATAPACKET Version="2.0"><METADATA><FIELDS><FIELD .../>...</FIELDS><PARAMS .../>
//   </METADATA><ROWDATA><ROW .../>...</ROWDATA></DATAPACKET>
// Text is Windows-1252. Each FIELD carries fieldname (only when the name had to be
// changed to serve as an attribute name), attrname, fieldtype, the flags set to
// "true", then WIDTH/DECIMALS/SUBTYPE and any other column property. A ROW has one
// attribute per non-null value, named by the column's attrname.

namespace vexora::data {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" standalone=\"yes\"?>  ";

// ---------------------------------------------------------------- writing

// The control characters other than tab, line feed and carriage return, and U+FFFE and
// U+FFFF, have no place in an XML document, not even as character references.
TableError unwritable(long codePoint) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "U+%04lX", static_cast<unsigned long>(codePoint));
    return TableError(std::string("the character ") + buf + " cannot be written in the XML form");
}

void appendAsciiEscaped(std::string& out, char c) {
    switch (c) {
        case '<':
            out += "&lt;";
            return;
        case '>':
            out += "&gt;";
            return;
        case '&':
            out += "&amp;";
            return;
        case '\'':
            out += "&apos;";
            return;
        case '"':
            out += "&quot;";
            return;
        case '\r':
            out += "&#013;";
            return;
        case '\n':
            out += "&#010;";
            return;
        case '\t':
            out += "&#009;";
            return;
        case '\\':
            out += "&#092;";
            return;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                throw unwritable(static_cast<unsigned char>(c));
            out.push_back(c);
    }
}

// UTF-8 text written as escaped Windows-1252; characters without a Windows-1252
// byte become numeric character references, so nothing is lost.
void appendEscaped(std::string& out, std::string_view utf8) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char c = utf8[pos];
        if (static_cast<unsigned char>(c) < 0x80) {
            appendAsciiEscaped(out, c);
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        const long cp = decodeUtf8(utf8, pos);
        if (cp < 0) {
            out.push_back(utf8[start]);  // not UTF-8: the byte is taken as Windows-1252
        } else if (cp >= 0xA0 && cp <= 0xFF) {
            out.push_back(static_cast<char>(cp));
        } else {
            const std::string_view one = utf8.substr(start, pos - start);
            if (fitsCp1252(one)) {
                out += utf8ToCp1252(one);
            } else if (cp == 0xFFFE || cp == 0xFFFF) {
                throw unwritable(cp);
            } else {
                out += "&#" + std::to_string(cp) + ";";
            }
        }
    }
}

bool isAsciiNameChar(char c, bool first) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_')
        return true;
    return !first && ((c >= '0' && c <= '9') || c == '-' || c == '.');
}

// A field name made usable as an XML attribute name: blanks and ! # $ % ( ) * ?
// (and any other character an attribute name cannot hold) become '_'.
std::string attributeNameFor(std::string_view name) {
    std::string out;
    std::size_t pos = 0;
    while (pos < name.size()) {
        const bool first = out.empty();
        const char c = name[pos];
        if (static_cast<unsigned char>(c) < 0x80) {
            out.push_back(isAsciiNameChar(c, first) ? c : '_');
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        const long cp = decodeUtf8(name, pos);
        const std::string_view one = name.substr(start, pos - start);
        const bool letterLike = cp >= 0xC0 && cp != 0xD7 && cp != 0xF7;
        out += (letterLike && fitsCp1252(one)) ? utf8ToCp1252(one) : std::string("_");
    }
    return out.empty() ? std::string("_") : out;
}

// True when every character of the UTF-8 name is kept by attributeNameFor.
bool isUsableAttributeName(std::string_view name) {
    return !name.empty() && cp1252ToUtf8(attributeNameFor(name)) == name;
}

std::string dateText(int year, int month, int day) {
    if (year < 1 || year > 9999)
        throw TableError("year " + std::to_string(year) + " cannot be written in the XML form");
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", year, month, day);
    return buf;
}

std::string timeText(std::int32_t msOfDay) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%05d", msOfDay / 3'600'000, msOfDay / 60'000 % 60,
                  msOfDay % 60'000);
    return buf;
}

CivilDateTime civilOrThrow(DateTimeValue v) {
    try {
        return toCivil(v);
    } catch (const std::out_of_range& e) {
        throw TableError(std::string("date-time out of range: ") + e.what());
    }
}

const char kHex[] = "0123456789ABCDEF";

// XML text of a non-null value (before escaping for strings, which are appended
// escaped directly).
void appendValueText(std::string& out, const Value& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) {
        out += std::to_string(*i);
    } else if (const auto* d = std::get_if<double>(&v)) {
        out += formatNumber(*d);
    } else if (const auto* b = std::get_if<bool>(&v)) {
        out += *b ? "TRUE" : "FALSE";
    } else if (const auto* s = std::get_if<std::string>(&v)) {
        appendEscaped(out, *s);
    } else if (const auto* dt = std::get_if<DateTimeValue>(&v)) {
        const CivilDateTime c = civilOrThrow(*dt);
        out += dateText(c.year, c.month, c.day);
        const std::int32_t ms = splitDateTime(*dt).msOfDay;
        if (ms != 0)
            out += "T" + timeText(ms);
    } else if (const auto* date = std::get_if<DateValue>(&v)) {
        const CivilDate c = toCivil(*date);
        out += dateText(c.year, c.month, c.day);
    } else if (const auto* t = std::get_if<TimeValue>(&v)) {
        if (t->ms < 0 || t->ms >= kMsPerDay)
            throw TableError("time value out of range");
        out += timeText(t->ms);
    } else if (const auto* bytes = std::get_if<BytesValue>(&v)) {
        for (char c : bytes->bytes) {
            const auto u = static_cast<unsigned char>(c);
            out.push_back(kHex[u >> 4]);
            out.push_back(kHex[u & 0x0F]);
        }
    }
}

void appendAttribute(std::string& out, std::string_view name, std::string_view utf8Value) {
    out += ' ';
    out += name;
    out += "=\"";
    appendEscaped(out, utf8Value);
    out += '"';
}

void appendValueAttribute(std::string& out, std::string_view name, const Value& v) {
    out += ' ';
    out += name;
    out += "=\"";
    appendValueText(out, v);
    out += '"';
}

bool containsIgnoreCase(const std::vector<std::string>& names, std::string_view name) {
    for (const auto& n : names) {
        if (equalsIgnoreCase(n, name))
            return true;
    }
    return false;
}

// Attribute names the FIELD element uses for itself.
bool isFieldAttributeName(std::string_view name) {
    for (const char* own :
         {"attrname", "fieldname", "fieldtype", "readonly", "required", "hidden", "linkfield"}) {
        if (equalsIgnoreCase(name, own))
            return true;
    }
    return false;
}

void appendField(std::string& out, const FieldDef& f, const std::string& attrName) {
    out += "<FIELD";
    if (cp1252ToUtf8(attrName) != f.name)
        appendAttribute(out, "fieldname", f.name);
    out += " attrname=\"";
    appendEscaped(out, cp1252ToUtf8(attrName));
    out += "\" fieldtype=\"";
    out += xmlTypeWord(f);
    out += '"';
    if (f.readOnly)
        out += " readonly=\"true\"";
    if (f.required)
        out += " required=\"true\"";
    if (f.hidden)
        out += " hidden=\"true\"";
    if (f.linkField)
        out += " linkfield=\"true\"";

    std::vector<std::string> written;
    switch (f.type) {
        case FieldType::Decimal:
        case FieldType::FormattedDecimal:
            out += " DECIMALS=\"" + std::to_string(f.decimals) + "\"";
            written.emplace_back("DECIMALS");
            if (f.precision > 0 || f.size > 0)
                out += " WIDTH=\"" + std::to_string(decimalPrecision(f)) + "\"";
            // An extra WIDTH would be read back as the digits.
            written.emplace_back("WIDTH");
            break;
        case FieldType::String:
        case FieldType::WideString:
            out += " WIDTH=\"" + std::to_string(f.size) + "\"";
            written.emplace_back("WIDTH");
            break;
        case FieldType::Bytes:
            // Without a size of its own, a WIDTH among its other properties goes out as is.
            if (f.size > 0) {
                out += " WIDTH=\"" + std::to_string(f.size) + "\"";
                written.emplace_back("WIDTH");
            }
            break;
        case FieldType::AutoInc:
            out += " SUBTYPE=\"Autoinc\"";
            written.emplace_back("SUBTYPE");
            break;
        default:
            break;
    }
    for (const ExtraProperty& e : f.extra) {
        if (isNull(e.value) || !isUsableAttributeName(e.name) ||
            containsIgnoreCase(written, e.name) || isFieldAttributeName(e.name))
            continue;
        appendValueAttribute(out, utf8ToCp1252(e.name), e.value);
        written.push_back(e.name);
    }
    out += "/>";
}

void appendParams(std::string& out, const TableData& t) {
    std::int64_t autoInc = t.autoIncValue;
    if (autoInc < 0) {
        // A table with an autoincrement column always states its next value.
        for (std::size_t j = 0; j < t.fields.size(); ++j) {
            if (t.fields[j].type != FieldType::AutoInc)
                continue;
            std::int64_t next = 1;
            for (const auto& row : t.rows) {
                if (const auto* i = std::get_if<std::int64_t>(&row[j]); i && *i >= next)
                    next = *i + 1;
            }
            autoInc = next;
            break;
        }
    }
    out += "<PARAMS";
    std::vector<std::string> written;
    if (autoInc >= 0) {
        out += " AUTOINCVALUE=\"" + std::to_string(autoInc) + "\"";
        written.emplace_back("AUTOINCVALUE");
    }
    std::string children;
    for (const ExtraProperty& p : t.tableProperties) {
        // The rows written are always final: a change log never travels with them.
        if (isNull(p.value) || equalsIgnoreCase(p.name, "CHANGE_LOG") ||
            containsIgnoreCase(written, p.name))
            continue;
        if (isUsableAttributeName(p.name)) {
            appendValueAttribute(out, utf8ToCp1252(p.name), p.value);
            written.push_back(p.name);
        } else {
            children += "<PARAM";
            appendAttribute(children, "Name", p.name);
            appendValueAttribute(children, "Value", p.value);
            children += "/>";
        }
    }
    if (children.empty()) {
        out += "/>";
    } else {
        out += ">" + children + "</PARAMS>";
    }
}

// ---------------------------------------------------------------- reading

// The encoding the bytes declare, as the parser is told to read them: a UTF-8 byte order
// mark or encoding="UTF-8" mean UTF-8; a declaration without encoding (or no declaration)
// means Windows-1252; ISO-8859-1 and US-ASCII are read as what they are.
const char* declaredEncoding(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        // A byte order mark: a declaration may only confirm it.
        const std::string_view rest = bytes.substr(3);
        if (startsWithXmlDeclaration(rest) &&
            rest.substr(0, rest.find("?>")).find("encoding") != std::string_view::npos &&
            std::string_view(declaredEncoding(rest)) != "UTF-8")
            throw TableError("the byte order mark says UTF-8, the declaration does not");
        return "UTF-8";
    }
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
        throw TableError("UTF-16 text is not a table file form this program reads");
    std::size_t p = bytes.find_first_not_of(" \t\r\n");
    if (p == std::string_view::npos || !startsWithXmlDeclaration(bytes.substr(p)))
        return "windows-1252";
    const std::size_t end = bytes.find("?>", p);
    if (end == std::string_view::npos)
        throw TableError("the XML declaration is not closed");
    const std::string_view decl = bytes.substr(p, end - p);
    const std::size_t at = decl.find("encoding");
    if (at == std::string_view::npos)
        return "windows-1252";
    std::size_t q = decl.find_first_not_of(" \t\r\n", at + 8);
    if (q == std::string_view::npos || decl[q] != '=')
        throw TableError("malformed encoding in the XML declaration");
    q = decl.find_first_not_of(" \t\r\n", q + 1);
    if (q == std::string_view::npos || (decl[q] != '"' && decl[q] != '\''))
        throw TableError("malformed encoding in the XML declaration");
    const std::size_t close = decl.find(decl[q], q + 1);
    if (close == std::string_view::npos)
        throw TableError("malformed encoding in the XML declaration");
    const std::string_view name = decl.substr(q + 1, close - q - 1);
    if (equalsIgnoreCase(name, "UTF-8") || equalsIgnoreCase(name, "UTF8"))
        return "UTF-8";
    if (equalsIgnoreCase(name, "windows-1252") || equalsIgnoreCase(name, "cp1252"))
        return "windows-1252";
    if (equalsIgnoreCase(name, "ISO-8859-1") || equalsIgnoreCase(name, "latin1"))
        return "ISO-8859-1";
    if (equalsIgnoreCase(name, "US-ASCII") || equalsIgnoreCase(name, "ASCII"))
        return "US-ASCII";
    throw TableError("unsupported text encoding " + quoteForMessage(name));
}

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes)
        appendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

// The offset in single-byte text of a byte of its UTF-8 form: every byte from 0x80 up
// became two bytes (Latin-1) or two or three (Windows-1252).
std::size_t singleByteOffset(std::string_view original, bool latin1, std::size_t utf8Offset) {
    std::size_t produced = 0;
    std::size_t i = 0;
    for (; i < original.size() && produced < utf8Offset; ++i) {
        const auto b = static_cast<unsigned char>(original[i]);
        produced += b < 0x80 ? 1 : (latin1 ? 2 : cp1252ToUtf8(original.substr(i, 1)).size());
    }
    return i;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::optional<std::int64_t> parseInt64(std::string_view s) {
    s = trimmed(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    std::int64_t v = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size())
        return std::nullopt;
    return v;
}

std::optional<int> fixedDigits(std::string_view s, std::size_t pos, std::size_t n) {
    if (pos + n > s.size())
        return std::nullopt;
    int v = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return std::nullopt;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

std::optional<std::int64_t> parseXmlDate(std::string_view s) {
    if (s.size() != 8)
        return std::nullopt;
    const auto y = fixedDigits(s, 0, 4);
    const auto m = fixedDigits(s, 4, 2);
    const auto d = fixedDigits(s, 6, 2);
    if (!y || !m || !d || *y < 1 || !isValidDate(*y, *m, *d))
        return std::nullopt;
    return dayNumber(*y, *m, *d);
}

// "HH:MM:SSmmm": hours, minutes, then seconds times 1000 plus milliseconds in five digits.
std::optional<std::int32_t> parseXmlTime(std::string_view s) {
    if (s.size() != 11)
        return std::nullopt;
    const auto h = fixedDigits(s, 0, 2);
    const auto m = fixedDigits(s, 3, 2);
    const auto secMs = fixedDigits(s, 6, 5);
    if (!h || !m || !secMs || s[2] != ':' || s[5] != ':' || *h > 23 || *m > 59 || *secMs >= 60'000)
        return std::nullopt;
    return (*h * 60 + *m) * 60'000 + *secMs;
}

// "yyyymmdd", or "yyyymmddTHH:MM:SSmmm"; nothing else, not even blanks around it.
std::optional<DateTimeValue> parseXmlDateTime(std::string_view s) {
    if (s.size() != 8 && s.size() != 20)
        return std::nullopt;
    const auto day = parseXmlDate(s.substr(0, 8));
    if (!day)
        return std::nullopt;
    std::int32_t ms = 0;
    if (s.size() > 8) {
        if (s[8] != 'T')
            return std::nullopt;
        const auto t = parseXmlTime(s.substr(9));
        if (!t)
            return std::nullopt;
        ms = *t;
    }
    return DateTimeValue{*day * kMsPerDay + ms};
}

std::optional<std::string> parseHex(std::string_view s) {
    if (s.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(s.size() / 2);
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < s.size(); i += 2) {
        const int hi = nibble(s[i]);
        const int lo = nibble(s[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(hi << 4 | lo));
    }
    return out;
}

// The value of a ROW attribute for a column; nullopt when the text does not fit.
std::optional<Value> parseCellValue(const FieldDef& f, std::string_view text) {
    switch (f.type) {
        case FieldType::Integer:
        case FieldType::UnsignedInteger:
        case FieldType::AutoInc: {
            const auto i = parseInt64(text);
            if (!i)
                return std::nullopt;
            try {
                return integerToValue(f, *i);  // checks the column's range
            } catch (const TableError&) {
                return std::nullopt;
            }
        }
        case FieldType::Boolean: {
            const std::string_view t = trimmed(text);
            if (equalsIgnoreCase(t, "TRUE") || t == "1")
                return Value{true};
            if (equalsIgnoreCase(t, "FALSE") || t == "0")
                return Value{false};
            return std::nullopt;
        }
        case FieldType::Float:
        case FieldType::Decimal:
        case FieldType::FormattedDecimal: {
            std::string_view t = trimmed(text);
            if (!t.empty() && t.front() == '+')
                t.remove_prefix(1);
            double d = 0;
            const auto res = std::from_chars(t.data(), t.data() + t.size(), d);
            if (t.empty() || res.ec != std::errc() || res.ptr != t.data() + t.size())
                return std::nullopt;
            return Value{d};
        }
        case FieldType::Date: {
            const auto day = parseXmlDate(text);
            if (!day || *day > std::numeric_limits<std::int32_t>::max())
                return std::nullopt;
            return Value{DateValue{static_cast<std::int32_t>(*day)}};
        }
        case FieldType::Time: {
            const auto t = parseXmlTime(text);
            if (!t)
                return std::nullopt;
            return Value{TimeValue{*t}};
        }
        case FieldType::DateTime: {
            const auto dt = parseXmlDateTime(text);
            if (!dt)
                return std::nullopt;
            return Value{*dt};
        }
        case FieldType::String:
        case FieldType::WideString:
            return Value{std::string(text)};
        case FieldType::Bytes: {
            auto b = parseHex(trimmed(text));
            if (!b)
                return std::nullopt;
            return Value{BytesValue{std::move(*b)}};
        }
    }
    return std::nullopt;
}

std::string fieldLabel(std::size_t index, std::string_view name) {
    std::string s = "field " + std::to_string(index + 1);
    if (!name.empty())
        s += " " + quoteForMessage(name);
    return s;
}

int parseSize(std::string_view value, const std::string& where, std::string_view what, int max) {
    const auto v = parseInt64(value);
    if (!v || *v < 0 || *v > max)
        throw TableError(where + ": bad " + std::string(what) + " " + quoteForMessage(value));
    return static_cast<int>(*v);
}

// The value of the attribute name among attributes (name, value, ..., nullptr); "" if absent.
std::string_view attributeValue(const char* const* attributes, std::string_view name) {
    for (const char* const* a = attributes; *a != nullptr; a += 2) {
        if (name == a[0])
            return a[1];
    }
    return {};
}

FieldDef readField(const char* const* attributes, std::size_t index, std::string& attrName) {
    attrName = attributeValue(attributes, "attrname");
    const std::string_view fieldName = attributeValue(attributes, "fieldname");
    FieldDef f;
    f.name = fieldName.empty() ? attrName : std::string(fieldName);
    const std::string where = fieldLabel(index, f.name);
    if (attrName.empty())
        throw TableError(where + ": no attrname");
    const std::string_view word = attributeValue(attributes, "fieldtype");
    if (word.empty())
        throw TableError(where + ": no fieldtype");
    if (equalsIgnoreCase(word, "nested"))
        throw TableError(where + ": nested tables are not supported");
    const auto type = xmlColumnType(word);
    if (!type)
        throw TableError(where + ": unknown field type " + quoteForMessage(word));
    f.type = type->type;
    f.size = type->size;
    f.sqlDateTime = type->sqlDateTime;
    const bool decimal = f.type == FieldType::Decimal || f.type == FieldType::FormattedDecimal;

    for (const char* const* a = attributes; *a != nullptr; a += 2) {
        const std::string_view name = a[0];
        const std::string_view value = a[1];
        if (name == "attrname" || name == "fieldname" || name == "fieldtype")
            continue;
        if (name == "readonly") {
            f.readOnly = equalsIgnoreCase(value, "true");
        } else if (name == "required") {
            f.required = equalsIgnoreCase(value, "true");
        } else if (name == "hidden") {
            f.hidden = equalsIgnoreCase(value, "true");
        } else if (name == "linkfield") {
            f.linkField = equalsIgnoreCase(value, "true");
        } else if (equalsIgnoreCase(name, "WIDTH") && decimal) {
            // The digits of a packed decimal; its value size in the binary form follows.
            f.precision = parseSize(value, where, "WIDTH", kMaxDecimalPrecision);
            f.size = f.precision > 0 ? decimalBytesFor(f.precision) : 0;
        } else if (equalsIgnoreCase(name, "WIDTH") &&
                   (f.type == FieldType::String || f.type == FieldType::WideString ||
                    f.type == FieldType::Bytes)) {
            const int max = f.type == FieldType::Bytes ? 0xFFFF : std::numeric_limits<int>::max();
            f.size = parseSize(value, where, "WIDTH", max);
        } else if (equalsIgnoreCase(name, "DECIMALS") && decimal) {
            f.decimals = parseSize(value, where, "DECIMALS", 127);
        } else if (equalsIgnoreCase(name, "SUBTYPE") && f.type == FieldType::Integer &&
                   f.size == 4 && equalsIgnoreCase(value, "Autoinc")) {
            f.type = FieldType::AutoInc;
        } else {
            f.extra.push_back({std::string(name), std::string(value), 0});
        }
    }
    if (f.type == FieldType::AutoInc)
        f.size = canonicalFixedSize(FieldType::AutoInc);
    return f;
}

void readParam(std::string_view name, std::string_view value, TableData& t) {
    if (equalsIgnoreCase(name, "AUTOINCVALUE")) {
        const auto v = parseInt64(value);
        if (!v || *v < 0)
            throw TableError("bad AUTOINCVALUE " + quoteForMessage(value));
        t.autoIncValue = *v;
    } else if (!equalsIgnoreCase(name, "CHANGE_LOG") && !name.empty()) {
        t.tableProperties.push_back({std::string(name), std::string(value), 0});
    }
}

// Attributes of an element as readField takes them: name, value, ..., nullptr.
std::vector<const char*> attributeList(const pugi::xml_node& node) {
    std::vector<const char*> list;
    for (const pugi::xml_attribute& a : node.attributes()) {
        list.push_back(a.name());
        list.push_back(a.value());
    }
    list.push_back(nullptr);
    return list;
}

// Fills the table's rows from the ROW elements once the fields are known.
class RowReader {
public:
    RowReader(TableData& t, std::vector<std::string> attrNames)
        : t_(t), attrNames_(std::move(attrNames)) {
        for (std::size_t j = 0; j < attrNames_.size(); ++j)
            columnOfAttr_.emplace(attrNames_[j], j);
    }

    void read(const pugi::xml_node& rowData) {
        const std::size_t columns = t_.fields.size();
        for (const pugi::xml_node& row : rowData.children("ROW")) {
            std::vector<Value> values(columns);
            std::size_t next = 0;
            for (const pugi::xml_attribute& a : row.attributes()) {
                // Unknown attributes (RowState among them) carry nothing the table keeps.
                const auto column = columnOf(a.name(), next);
                if (!column)
                    continue;
                const std::size_t j = *column;
                auto v = parseCellValue(t_.fields[j], a.value());
                if (!v) {
                    throw TableError("row " + std::to_string(t_.rows.size() + 1) + ", " +
                                     fieldLabel(j, t_.fields[j].name) + ": " +
                                     quoteForMessage(a.value()) + " is not a valid " +
                                     std::string(xmlTypeWord(t_.fields[j])) + " value");
                }
                values[j] = std::move(*v);
            }
            t_.rows.push_back(std::move(values));
        }
    }

private:
    // The column of an attribute name. Rows list their values in column order, leaving
    // out nulls, so the columns after the previous one are tried first.
    std::optional<std::size_t> columnOf(const char* name, std::size_t& next) const {
        constexpr std::size_t kLookAhead = 8;
        for (std::size_t j = next; j < attrNames_.size() && j < next + kLookAhead; ++j) {
            if (attrNames_[j] == name) {
                next = j + 1;
                return j;
            }
        }
        const auto it = columnOfAttr_.find(name);
        if (it == columnOfAttr_.end())
            return std::nullopt;
        next = it->second + 1;
        return it->second;
    }

    TableData& t_;
    std::vector<std::string> attrNames_;  // by column
    std::unordered_map<std::string, std::size_t> columnOfAttr_;
};

// A packet without METADATA: every attribute name its rows use (RowState, the change
// log's mark, apart) becomes a text field as wide as its longest value.
std::vector<std::string> inferFields(const pugi::xml_node& rowData, TableData& t) {
    std::vector<std::string> names;
    std::unordered_map<std::string, std::size_t> columnOf;
    for (const pugi::xml_node& row : rowData.children("ROW")) {
        for (const pugi::xml_attribute& a : row.attributes()) {
            const std::string_view name = a.name();
            if (name == "RowState")
                continue;
            auto [it, added] = columnOf.emplace(name, t.fields.size());
            if (added) {
                for (const FieldDef& other : t.fields) {
                    if (equalsIgnoreCase(other.name, name))
                        throw TableError("two fields named " + quoteForMessage(name));
                }
                FieldDef f;
                f.name = name;
                f.type = FieldType::String;
                f.size = 1;
                t.fields.push_back(std::move(f));
                names.emplace_back(name);
            }
            int& width = t.fields[it->second].size;
            width = std::max(width, static_cast<int>(utf8Length(a.value())));
        }
    }
    if (t.fields.empty())
        throw TableError("the table defines no fields");
    return names;
}

}  // namespace

std::string writeXmlTable(const TableData& t) {
    const std::size_t columns = t.fields.size();
    std::vector<std::string> attrNames;  // Windows-1252
    attrNames.reserve(columns);
    for (std::size_t j = 0; j < columns; ++j) {
        const FieldDef& f = t.fields[j];
        if (f.name.empty())
            throw TableError(fieldLabel(j, "") + ": the field has no name");
        std::string base = attributeNameFor(f.name);
        std::string name = base;
        // Two names that map to the same attribute name are told apart by a number.
        for (int n = 2; std::find(attrNames.begin(), attrNames.end(), name) != attrNames.end(); ++n)
            name = base + "_" + std::to_string(n);
        attrNames.push_back(std::move(name));
    }

    std::string out;
    out.reserve(256 + columns * 64 + t.rows.size() * columns * 16);
    out += kDeclaration;
    out += "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";
    for (std::size_t j = 0; j < columns; ++j)
        appendField(out, t.fields[j], attrNames[j]);
    out += "</FIELDS>";
    appendParams(out, t);
    out += "</METADATA><ROWDATA>";
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        const auto& row = t.rows[r];
        if (row.size() != columns) {
            throw TableError("row " + std::to_string(r + 1) + " has " + std::to_string(row.size()) +
                             " values for " + std::to_string(columns) + " fields");
        }
        out += "<ROW";
        for (std::size_t j = 0; j < columns; ++j) {
            const Value& v = row[j];
            if (isNull(v))
                continue;
            if (!valueMatchesType(t.fields[j].type, v)) {
                throw TableError("row " + std::to_string(r + 1) + ", " +
                                 fieldLabel(j, t.fields[j].name) + ": the value is not " +
                                 std::string(describeFieldType(t.fields[j].type)));
            }
            try {
                appendValueAttribute(out, attrNames[j], v);
            } catch (const TableError& e) {
                throw TableError("row " + std::to_string(r + 1) + ", " +
                                 fieldLabel(j, t.fields[j].name) + ": " + e.what());
            }
        }
        out += "/>";
    }
    out += "</ROWDATA></DATAPACKET>";
    return out;
}

TableData readXmlTable(std::string_view bytes) {
    const char* encoding = declaredEncoding(bytes);
    const std::string_view name = encoding;
    if (name == "US-ASCII") {
        const auto high = std::find_if(bytes.begin(), bytes.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0x80;
        });
        if (high != bytes.end()) {
            throw TableError("broken XML (a byte that is not US-ASCII) at line " +
                             std::to_string(1 + std::count(bytes.begin(), high, '\n')) + ", byte " +
                             std::to_string(high - bytes.begin()));
        }
    }
    // The check and the tree both work on UTF-8; a fault's offset is told in the file's bytes.
    const bool singleByte = name != "UTF-8" && name != "US-ASCII";
    std::string text = !singleByte            ? std::string(bytes)
                       : name == "ISO-8859-1" ? latin1ToUtf8(bytes)
                                              : cp1252ToUtf8(bytes);
    // pugixml builds the tree but would let many faults pass (an undeclared entity stays as
    // text, a repeated attribute, a raw '<' in a value, ...): the text is judged first.
    if (const auto fault = findUtf8XmlFault(text)) {
        const std::size_t offset =
            singleByte ? singleByteOffset(bytes, name == "ISO-8859-1", fault->offset)
                       : fault->offset;
        throw TableError("broken XML (" + fault->description + ") at line " +
                         std::to_string(fault->line) + ", byte " + std::to_string(offset));
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer_inplace(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed)
        throw TableError(std::string("broken XML (") + parsed.description() + ")");
    const pugi::xml_node root = doc.document_element();
    if (std::string_view(root.name()) != "DATAPACKET") {
        throw TableError("the root element is " + quoteForMessage(root.name()) +
                         ", not DATAPACKET: not a table file");
    }
    pugi::xml_node first = root.first_child();
    while (first && first.type() != pugi::node_element)
        first = first.next_sibling();
    if (!first || (std::string_view(first.name()) != "METADATA" &&
                   std::string_view(first.name()) != "ROWDATA")) {
        throw TableError("DATAPACKET must begin with METADATA or ROWDATA");
    }
    const pugi::xml_node rowData = root.child("ROWDATA");
    const pugi::xml_node metadata = root.child("METADATA");
    TableData t;
    if (!metadata) {
        RowReader rows(t, inferFields(rowData, t));
        rows.read(rowData);
        return t;
    }
    const pugi::xml_node fields = metadata.child("FIELDS");
    if (!fields)
        throw TableError("no FIELDS in METADATA");
    std::vector<std::string> attrNames;
    std::unordered_set<std::string> seenAttrNames;
    for (const pugi::xml_node& node : fields.children("FIELD")) {
        const std::size_t index = t.fields.size();
        std::string attrName;
        FieldDef f = readField(attributeList(node).data(), index, attrName);
        for (const FieldDef& other : t.fields) {
            if (equalsIgnoreCase(other.name, f.name))
                throw TableError("two fields named " + quoteForMessage(f.name));
        }
        if (!seenAttrNames.insert(attrName).second)
            throw TableError("two fields with attrname " + quoteForMessage(attrName));
        attrNames.push_back(std::move(attrName));
        t.fields.push_back(std::move(f));
    }
    if (t.fields.empty())
        throw TableError("the table defines no fields");
    if (const pugi::xml_node params = metadata.child("PARAMS")) {
        for (const pugi::xml_attribute& a : params.attributes())
            readParam(a.name(), a.value(), t);
        for (const pugi::xml_node& p : params.children("PARAM"))
            readParam(p.attribute("Name").value(), p.attribute("Value").value(), t);
    }
    RowReader rows(t, std::move(attrNames));
    rows.read(rowData);
    return t;
}

}  // namespace vexora::data

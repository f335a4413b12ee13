#include "data/xml_form.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <optional>
#include <pugixml.hpp>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "core/codepage.h"
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
        case '\0':
            // A NUL cannot travel in XML, not even as a character reference.
            return;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "&#%03d;", static_cast<int>(c));
                out += buf;
            } else {
                out.push_back(c);
            }
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
            if (f.size > 0)
                out += " WIDTH=\"" + std::to_string(f.size) + "\"";
            // An extra WIDTH would be read back as the size.
            written.emplace_back("WIDTH");
            break;
        case FieldType::String:
        case FieldType::WideString:
            out += " WIDTH=\"" + std::to_string(f.size) + "\"";
            written.emplace_back("WIDTH");
            break;
        case FieldType::Bytes:
            if (f.size > 0)
                out += " WIDTH=\"" + std::to_string(f.size) + "\"";
            written.emplace_back("WIDTH");
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

// Where pugixml stopped, in terms of the original bytes.
std::string describeOffset(std::string_view original, bool wasCp1252, std::ptrdiff_t utf8Offset) {
    std::size_t orig = 0;
    if (wasCp1252) {
        std::size_t produced = 0;
        while (orig < original.size() && produced < static_cast<std::size_t>(utf8Offset)) {
            produced += cp1252ToUtf8(original.substr(orig, 1)).size();
            ++orig;
        }
    } else {
        orig = std::min(original.size(), static_cast<std::size_t>(utf8Offset));
    }
    std::size_t line = 1;
    for (std::size_t i = 0; i < orig; ++i) {
        if (original[i] == '\n')
            ++line;
    }
    return "line " + std::to_string(line) + ", byte " + std::to_string(orig);
}

enum class TextEncoding { Cp1252, Utf8 };

// The encoding the bytes declare: a UTF-8 byte order mark or encoding="UTF-8"
// mean UTF-8; a declaration without encoding (or no declaration) means Windows-1252.
TextEncoding declaredEncoding(std::string_view bytes, std::size_t& skip) {
    skip = 0;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        skip = 3;
        return TextEncoding::Utf8;
    }
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
        throw TableError("UTF-16 text is not a table file form this program reads");
    std::size_t p = bytes.find_first_not_of(" \t\r\n");
    if (p == std::string_view::npos || bytes.substr(p, 5) != "<?xml")
        return TextEncoding::Cp1252;
    const std::size_t end = bytes.find("?>", p);
    if (end == std::string_view::npos)
        throw TableError("the XML declaration is not closed");
    const std::string_view decl = bytes.substr(p, end - p);
    const std::size_t at = decl.find("encoding");
    if (at == std::string_view::npos)
        return TextEncoding::Cp1252;
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
        return TextEncoding::Utf8;
    for (const char* single :
         {"windows-1252", "cp1252", "ISO-8859-1", "ISO-8859-15", "latin1", "US-ASCII", "ASCII"}) {
        if (equalsIgnoreCase(name, single))
            return TextEncoding::Cp1252;
    }
    throw TableError("unsupported text encoding " + quoteForMessage(name));
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

// "HH:MM:SSmmm" (seconds times 1000 plus milliseconds, five digits) or "HH:MM:SS".
std::optional<std::int32_t> parseXmlTime(std::string_view s) {
    if (s.size() != 8 && s.size() != 11)
        return std::nullopt;
    const auto h = fixedDigits(s, 0, 2);
    const auto m = fixedDigits(s, 3, 2);
    if (!h || !m || s[2] != ':' || s[5] != ':' || *h > 23 || *m > 59)
        return std::nullopt;
    std::optional<int> secMs;
    if (s.size() == 11) {
        secMs = fixedDigits(s, 6, 5);
    } else if (const auto sec = fixedDigits(s, 6, 2)) {
        secMs = *sec * 1000;
    }
    if (!secMs || *secMs >= 60'000)
        return std::nullopt;
    return (*h * 60 + *m) * 60'000 + *secMs;
}

std::optional<DateTimeValue> parseXmlDateTime(std::string_view s) {
    s = trimmed(s);
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

// The text with every malformed UTF-8 sequence (a character reference to a
// surrogate, stray bytes in a UTF-8 file) replaced by U+FFFD, so that what is read
// is valid text and writes back unchanged.
std::string validText(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80)
        ++pos;
    if (pos == text.size())
        return std::string(text);
    std::string out(text.substr(0, pos));
    while (pos < text.size()) {
        const std::size_t start = pos;
        if (decodeUtf8(text, pos) < 0)
            out += "\xEF\xBF\xBD";
        else
            out.append(text.substr(start, pos - start));
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
            const auto day = parseXmlDate(trimmed(text));
            if (!day || *day > std::numeric_limits<std::int32_t>::max())
                return std::nullopt;
            return Value{DateValue{static_cast<std::int32_t>(*day)}};
        }
        case FieldType::Time: {
            const auto t = parseXmlTime(trimmed(text));
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
            return Value{validText(text)};
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

FieldDef readField(const pugi::xml_node& node, std::size_t index, std::string& attrName) {
    attrName = node.attribute("attrname").value();
    const std::string fieldName = validText(node.attribute("fieldname").value());
    FieldDef f;
    f.name = fieldName.empty() ? validText(attrName) : fieldName;
    const std::string where = fieldLabel(index, f.name);
    if (attrName.empty())
        throw TableError(where + ": no attrname");
    const std::string_view word = node.attribute("fieldtype").value();
    if (word.empty())
        throw TableError(where + ": no fieldtype");
    if (equalsIgnoreCase(word, "nested"))
        throw TableError(where + ": nested tables are not supported");
    const auto type = xmlColumnType(word);
    if (!type)
        throw TableError(where + ": unknown field type " + quoteForMessage(word));
    f.type = type->type;
    f.size = type->size;

    std::optional<std::string> subtype;
    for (const pugi::xml_attribute& a : node.attributes()) {
        const std::string_view name = a.name();
        const std::string_view value = a.value();
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
        } else if (equalsIgnoreCase(name, "WIDTH") &&
                   (f.type == FieldType::String || f.type == FieldType::WideString ||
                    f.type == FieldType::Decimal || f.type == FieldType::FormattedDecimal ||
                    f.type == FieldType::Bytes)) {
            const bool decimal =
                f.type == FieldType::Decimal || f.type == FieldType::FormattedDecimal;
            const int max =
                decimal ? 64
                        : (f.type == FieldType::Bytes ? 0xFFFF : std::numeric_limits<int>::max());
            f.size = parseSize(value, where, "WIDTH", max);
        } else if (equalsIgnoreCase(name, "DECIMALS") &&
                   (f.type == FieldType::Decimal || f.type == FieldType::FormattedDecimal)) {
            f.decimals = parseSize(value, where, "DECIMALS", 127);
        } else if (equalsIgnoreCase(name, "SUBTYPE") && f.type == FieldType::Integer &&
                   f.size == 4 && equalsIgnoreCase(value, "Autoinc")) {
            f.type = FieldType::AutoInc;
        } else {
            f.extra.push_back({validText(name), validText(value), 0});
        }
    }
    if (f.type == FieldType::AutoInc)
        f.size = canonicalFixedSize(FieldType::AutoInc);
    return f;
}

void readParams(const pugi::xml_node& params, TableData& t) {
    auto take = [&t](std::string_view name, std::string_view value) {
        if (equalsIgnoreCase(name, "AUTOINCVALUE")) {
            const auto v = parseInt64(value);
            if (!v || *v < 0)
                throw TableError("bad AUTOINCVALUE " + quoteForMessage(value));
            t.autoIncValue = *v;
        } else if (!equalsIgnoreCase(name, "CHANGE_LOG") && !name.empty()) {
            t.tableProperties.push_back({validText(name), validText(value), 0});
        }
    };
    for (const pugi::xml_attribute& a : params.attributes())
        take(a.name(), a.value());
    for (const pugi::xml_node& p : params.children("PARAM"))
        take(p.attribute("Name").value(), p.attribute("Value").value());
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
    std::size_t skip = 0;
    const TextEncoding encoding = declaredEncoding(bytes, skip);
    std::string text =
        encoding == TextEncoding::Utf8 ? std::string(bytes.substr(skip)) : cp1252ToUtf8(bytes);
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer_inplace(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        const std::ptrdiff_t offset = parsed.offset + static_cast<std::ptrdiff_t>(skip);
        throw TableError(std::string("broken XML (") + parsed.description() + ") at " +
                         describeOffset(bytes, encoding == TextEncoding::Cp1252, offset));
    }
    const pugi::xml_node root = doc.document_element();
    if (!root)
        throw TableError("no XML element: not a table file");
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
    const pugi::xml_node metadata = root.child("METADATA");
    if (!metadata)
        throw TableError("no METADATA: the file holds no field definitions");
    const pugi::xml_node fields = metadata.child("FIELDS");
    if (!fields)
        throw TableError("no FIELDS in METADATA");

    TableData t;
    std::unordered_map<std::string, std::size_t> columnOfAttr;
    for (const pugi::xml_node& node : fields.children("FIELD")) {
        const std::size_t index = t.fields.size();
        std::string attrName;
        FieldDef f = readField(node, index, attrName);
        for (const FieldDef& other : t.fields) {
            if (equalsIgnoreCase(other.name, f.name))
                throw TableError("two fields named " + quoteForMessage(f.name));
        }
        if (!columnOfAttr.emplace(attrName, index).second)
            throw TableError("two fields with attrname " + quoteForMessage(attrName));
        t.fields.push_back(std::move(f));
    }
    if (t.fields.empty())
        throw TableError("the table defines no fields");

    if (const pugi::xml_node params = metadata.child("PARAMS"))
        readParams(params, t);

    const std::size_t columns = t.fields.size();
    for (const pugi::xml_node& row : root.child("ROWDATA").children("ROW")) {
        std::vector<Value> values(columns);
        for (const pugi::xml_attribute& a : row.attributes()) {
            // Unknown attributes (RowState among them) carry nothing the table keeps.
            const auto it = columnOfAttr.find(a.name());
            if (it == columnOfAttr.end())
                continue;
            const std::size_t j = it->second;
            if (!isNull(values[j]))
                continue;
            auto v = parseCellValue(t.fields[j], a.value());
            if (!v) {
                throw TableError("row " + std::to_string(t.rows.size() + 1) + ", " +
                                 fieldLabel(j, t.fields[j].name) + ": " +
                                 quoteForMessage(a.value()) + " is not a valid " +
                                 std::string(xmlTypeWord(t.fields[j])) + " value");
            }
            values[j] = std::move(*v);
        }
        t.rows.push_back(std::move(values));
    }
    return t;
}

}  // namespace vexora::data

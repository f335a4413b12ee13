// vexora-table: inspects and converts table files (binary ".QXD" or XML form).
//   vexora-table dump FILE        prints the table as JSON
//   vexora-table convert IN OUT   rewrites IN in the form OUT's extension selects
//   vexora-table check FILE       exit 0 when FILE is a readable table, 1 otherwise

#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "core/codepage.h"
#include "data/table_data.h"
#include "data/table_file.h"
#include "data/table_values.h"
#include "data/type_words.h"

namespace {

using namespace vexora::data;

constexpr const char* kUsage =
    "usage: vexora-table dump FILE\n"
    "       vexora-table convert IN OUT\n"
    "       vexora-table check FILE\n"
    "\n"
    "dump     prints the table as JSON: fields, autoincvalue and rows\n"
    "convert  rewrites IN as OUT, in the XML form when OUT ends in .xml (any case),\n"
    "         in the binary form otherwise\n"
    "check    exits 0 when FILE is a readable table, 1 with the fault otherwise\n";

void appendJsonString(std::string& out, std::string_view utf8) {
    out.push_back('"');
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        const long cp = vexora::decodeUtf8(utf8, pos);
        if (cp < 0) {
            out += "\\ufffd";  // JSON text must be valid UTF-8
        } else if (cp == '"') {
            out += "\\\"";
        } else if (cp == '\\') {
            out += "\\\\";
        } else if (cp == '\n') {
            out += "\\n";
        } else if (cp == '\r') {
            out += "\\r";
        } else if (cp == '\t') {
            out += "\\t";
        } else if (cp < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
            out += buf;
        } else {
            out.append(utf8.substr(start, pos - start));
        }
    }
    out.push_back('"');
}

void appendJsonValue(std::string& out, const Value& v) {
    if (isNull(v)) {
        out += "null";
    } else if (const auto* i = std::get_if<std::int64_t>(&v)) {
        out += std::to_string(*i);
    } else if (const auto* d = std::get_if<double>(&v)) {
        // JSON has no NaN or infinity.
        out += std::isfinite(*d) ? formatNumber(*d) : "null";
    } else if (const auto* b = std::get_if<bool>(&v)) {
        out += *b ? "true" : "false";
    } else if (const auto* s = std::get_if<std::string>(&v)) {
        appendJsonString(out, *s);
    } else if (const auto* dt = std::get_if<DateTimeValue>(&v)) {
        appendJsonString(out, formatIsoDateTime(*dt));
    } else if (const auto* date = std::get_if<DateValue>(&v)) {
        appendJsonString(out, formatIsoDate(*date));
    } else if (const auto* t = std::get_if<TimeValue>(&v)) {
        appendJsonString(out, formatIsoTime(*t));
    } else if (const auto* bytes = std::get_if<BytesValue>(&v)) {
        static constexpr char kHex[] = "0123456789abcdef";
        out += "{\"hex\": \"";
        for (char c : bytes->bytes) {
            const auto u = static_cast<unsigned char>(c);
            out.push_back(kHex[u >> 4]);
            out.push_back(kHex[u & 0x0F]);
        }
        out += "\"}";
    }
}

std::string dumpJson(const TableData& t) {
    std::string out = "{\"fields\": [";
    for (std::size_t j = 0; j < t.fields.size(); ++j) {
        const FieldDef& f = t.fields[j];
        if (j > 0)
            out += ", ";
        out += "{\"name\": ";
        appendJsonString(out, f.name);
        out += ", \"type\": ";
        appendJsonString(out, f.type == FieldType::AutoInc ? "autoinc" : xmlTypeWord(f));
        // WIDTH as the file says it: characters of a text, bytes of a memo, digits of a
        // packed decimal (with its DECIMALS); 0 for a column without one.
        const bool decimal = f.type == FieldType::Decimal || f.type == FieldType::FormattedDecimal;
        const bool sized = f.type == FieldType::String || f.type == FieldType::WideString ||
                           f.type == FieldType::Bytes;
        out += ", \"width\": " + std::to_string(decimal ? f.precision : sized ? f.size : 0);
        if (decimal)
            out += ", \"decimals\": " + std::to_string(f.decimals);
        for (const ExtraProperty& p : f.extra) {
            const auto* text = std::get_if<std::string>(&p.value);
            if (text != nullptr && equalsIgnoreCase(p.name, "SUBTYPE")) {
                out += ", \"subtype\": ";
                appendJsonString(out, *text);
            }
        }
        out += std::string(", \"readonly\": ") + (f.readOnly ? "true" : "false");
        out += std::string(", \"required\": ") + (f.required ? "true" : "false");
        out += std::string(", \"hidden\": ") + (f.hidden ? "true" : "false");
        out += "}";
    }
    out += "],\n \"autoincvalue\": ";
    out += t.autoIncValue >= 0 ? std::to_string(t.autoIncValue) : "null";
    out += ",\n \"rows\": [";
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        out += r == 0 ? "\n  [" : ",\n  [";
        for (std::size_t j = 0; j < t.rows[r].size(); ++j) {
            if (j > 0)
                out += ", ";
            appendJsonValue(out, t.rows[r][j]);
        }
        out += "]";
    }
    out += "]}\n";
    return out;
}

// Messages go on one line, whatever the fault's text holds.
std::string oneLine(std::string s) {
    for (char& c : s) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return s;
}

int fail(const std::exception& e) {
    std::fprintf(stderr, "vexora-table: %s\n", oneLine(e.what()).c_str());
    return 1;
}

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "-h" || std::string_view(argv[1]) == "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 2)
        return usage();
    const std::string_view command = argv[1];
    try {
        if (command == "dump" && argc == 3) {
            const std::string json = dumpJson(loadTableFile(argv[2]));
            std::fwrite(json.data(), 1, json.size(), stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (command == "convert" && argc == 4) {
            saveTableFile(argv[3], loadTableFile(argv[2]));
            return 0;
        }
        if (command == "check" && argc == 3) {
            const TableData t = loadTableFile(argv[2]);
            std::printf("%s: ok, %zu fields, %zu rows\n", argv[2], t.fields.size(), t.rows.size());
            return 0;
        }
    } catch (const std::exception& e) {
        return fail(e);
    }
    return usage();
}

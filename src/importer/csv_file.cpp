#include "importer/csv_file.h"

#include "core/codepage.h"

namespace vexora::importer {

std::string_view encodingName(TextEncoding e) {
    switch (e) {
        case TextEncoding::Utf8:
            return "UTF-8";
        case TextEncoding::Utf8WithBom:
            return "UTF-8 con BOM";
        case TextEncoding::Windows1252:
            return "Windows-1252";
    }
    return "";
}

std::optional<DecodedText> decodeListBytes(std::string_view bytes, std::string* why) {
    const auto refuse = [&](const char* reason) -> std::optional<DecodedText> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    DecodedText out;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
        out.encoding = TextEncoding::Utf8WithBom;
    }
    if (bytes.empty())
        return refuse("il file è vuoto");
    // Text from a spreadsheet has no NUL and hardly any other control character; the
    // spreadsheet's own files (zip), pictures and UTF-16 text have plenty.
    std::size_t controls = 0;
    for (unsigned char c : bytes) {
        if (c == 0)
            return refuse("non è un file di testo CSV (contiene dati binari)");
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F)
            ++controls;
    }
    if (controls * 100 > bytes.size())
        return refuse("non è un file di testo CSV (contiene dati binari)");

    bool validUtf8 = true;
    for (std::size_t pos = 0; pos < bytes.size() && validUtf8;)
        validUtf8 = decodeUtf8(bytes, pos) >= 0;
    if (validUtf8) {
        out.utf8.assign(bytes);
    } else if (out.encoding == TextEncoding::Utf8WithBom) {
        return refuse("dichiara UTF-8 (BOM) ma contiene byte non validi in UTF-8");
    } else {
        out.utf8 = cp1252ToUtf8(bytes);
        out.encoding = TextEncoding::Windows1252;
    }
    return out;
}

namespace {

bool lineBreakAt(std::string_view text, std::size_t pos) {
    return text[pos] == '\n' ||
           (text[pos] == '\r' && (pos + 1 >= text.size() || text[pos + 1] != '\n'));
}

// Reads one record from pos with separator sep, moving pos past its line break and line
// past the lines it spans. Keeps at most maxFields fields. On a fault (an unclosed quote,
// text after a closing quote) fills fault and faultLine and returns what was read.
CsvRecord readRecord(std::string_view text, std::size_t& pos, int& line, char sep,
                     std::size_t maxFields, std::optional<std::string>& fault, int& faultLine) {
    CsvRecord rec;
    rec.line = line;
    std::string field;
    for (;;) {
        field.clear();
        if (pos < text.size() && text[pos] == '"') {
            const int openLine = line;
            ++pos;
            for (;;) {
                if (pos >= text.size()) {
                    fault = "le virgolette aperte alla riga " + std::to_string(openLine) +
                            " non si chiudono";
                    faultLine = openLine;
                    return rec;
                }
                const char c = text[pos];
                if (c == '"') {
                    if (pos + 1 < text.size() && text[pos + 1] == '"') {
                        field.push_back('"');
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                if (lineBreakAt(text, pos))
                    ++line;
                field.push_back(c);
                ++pos;
            }
            // Blanks between the closing quote and the separator are tolerated.
            while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
                ++pos;
            if (pos < text.size() && text[pos] != sep && text[pos] != '\r' && text[pos] != '\n') {
                fault = "testo dopo le virgolette di chiusura alla riga " + std::to_string(line) +
                        " (le virgolette in un campo vanno raddoppiate)";
                faultLine = line;
                return rec;
            }
        } else {
            while (pos < text.size() && text[pos] != sep && text[pos] != '\r' && text[pos] != '\n')
                field.push_back(text[pos++]);
        }
        ++rec.fieldCount;
        if (rec.fields.size() < maxFields)
            rec.fields.push_back(field);
        if (pos < text.size() && text[pos] == sep) {
            ++pos;
            continue;
        }
        if (pos < text.size() && text[pos] == '\r')
            ++pos;
        if (pos < text.size() && text[pos] == '\n')
            ++pos;
        ++line;
        return rec;
    }
}

bool blankRecord(const CsvRecord& r) {
    for (const std::string& f : r.fields)
        if (f.find_first_not_of(" \t") != std::string::npos)
            return false;
    return true;
}

// The number of fields of the header that reading text from pos with sep finds (the
// first record that is not blank, as parseCsv takes it); 0 when it cannot be read.
std::size_t headerFields(std::string_view text, std::size_t pos, int line, char sep) {
    std::optional<std::string> fault;
    int faultLine = 0;
    while (pos < text.size()) {
        const CsvRecord rec = readRecord(text, pos, line, sep, kMaxColumns, fault, faultLine);
        if (fault)
            return 0;
        if (!blankRecord(rec) || rec.fieldCount > 1)
            return rec.fieldCount;
    }
    return 0;
}

// The separator the header read from pos splits into more fields, ";" on a tie: the same
// reading that parseCsv then does, so that quotes count where the reader takes them.
char separatorFrom(std::string_view text, std::size_t pos, int line) {
    return headerFields(text, pos, line, ',') > headerFields(text, pos, line, ';') ? ',' : ';';
}

}  // namespace

char detectSeparator(std::string_view firstLine) {
    return separatorFrom(firstLine, 0, 1);
}

CsvText parseCsv(std::string_view text) {
    CsvText out;
    std::size_t pos = 0;
    int line = 1;
    out.separator = separatorFrom(text, pos, line);
    const char sep = out.separator;

    bool haveHeader = false;
    std::size_t maxFields = kMaxColumns;
    while (pos < text.size()) {
        CsvRecord rec = readRecord(text, pos, line, sep, maxFields, out.fault, out.faultLine);
        if (out.fault)
            return out;
        if (blankRecord(rec) && rec.fieldCount <= 1)
            continue;
        if (!haveHeader) {
            out.header = std::move(rec);
            haveHeader = true;
            maxFields = out.header.fields.size() + 1;
            continue;
        }
        if (blankRecord(rec))
            continue;  // a spreadsheet's empty row: only separators
        if (out.records.size() >= kMaxRecords) {
            out.fault = "il file ha più di " + std::to_string(kMaxRecords) + " righe di domande";
            out.faultLine = rec.line;
            return out;
        }
        out.records.push_back(std::move(rec));
    }
    return out;
}

std::string csvField(std::string_view text, char separator) {
    const bool quote = text.find_first_of(std::string{separator, '"', '\r', '\n', '\t'}) !=
                           std::string_view::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote)
        return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

}  // namespace vexora::importer

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

// Walks the header's line as the reader reads fields with either separator: a field is
// quoted only when its first character is a double quote (a quote further on is text).
// Counts the separators outside quotes; returns where the line ends (at its line break,
// or the end of text).
std::size_t scanHeaderLine(std::string_view text, std::size_t* semicolons, std::size_t* commas) {
    bool quoted = false;
    bool fieldStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"')
                    ++i;
                else
                    quoted = false;
            }
            continue;
        }
        if (c == '\n' || c == '\r')
            return i;
        if (c == ';' || c == ',') {
            ++*(c == ';' ? semicolons : commas);
            fieldStart = true;
            continue;
        }
        quoted = fieldStart && c == '"';
        fieldStart = false;
    }
    return text.size();
}

}  // namespace

char detectSeparator(std::string_view firstLine) {
    std::size_t semicolons = 0, commas = 0;
    scanHeaderLine(firstLine, &semicolons, &commas);
    return commas > semicolons ? ',' : ';';
}

namespace {

bool blankRecord(const CsvRecord& r) {
    for (const std::string& f : r.fields)
        if (f.find_first_not_of(" \t") != std::string::npos)
            return false;
    return true;
}

// The first line of the text outside quotes (where the header is).
std::string_view firstLogicalLine(std::string_view text) {
    std::size_t semicolons = 0, commas = 0;
    return text.substr(0, scanHeaderLine(text, &semicolons, &commas));
}

}  // namespace

CsvText parseCsv(std::string_view text) {
    CsvText out;
    // Skip leading blank lines (empty or only blanks) so that the separator is found from
    // the header itself, not from a blank line above it.
    std::size_t pos = 0;
    int line = 1;
    for (;;) {
        std::size_t end = pos;
        while (end < text.size() && (text[end] == ' ' || text[end] == '\t'))
            ++end;
        if (end >= text.size() || (text[end] != '\r' && text[end] != '\n'))
            break;
        if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            ++end;
        pos = end + 1;
        ++line;
    }
    const char sep = detectSeparator(firstLogicalLine(text.substr(pos)));
    out.separator = sep;

    bool haveHeader = false;
    std::size_t maxFields = kMaxColumns;
    while (pos < text.size()) {
        CsvRecord rec;
        rec.line = line;
        std::string field;
        bool endOfRecord = false;
        while (!endOfRecord) {
            field.clear();
            if (pos < text.size() && text[pos] == '"') {
                const int openLine = line;
                ++pos;
                for (;;) {
                    if (pos >= text.size()) {
                        out.fault = "le virgolette aperte alla riga " + std::to_string(openLine) +
                                    " non si chiudono";
                        out.faultLine = openLine;
                        return out;
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
                    if (c == '\n' ||
                        (c == '\r' && (pos + 1 >= text.size() || text[pos + 1] != '\n')))
                        ++line;
                    field.push_back(c);
                    ++pos;
                }
                // Blanks between the closing quote and the separator are tolerated.
                while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
                    ++pos;
                if (pos < text.size() && text[pos] != sep && text[pos] != '\r' &&
                    text[pos] != '\n') {
                    out.fault = "testo dopo le virgolette di chiusura alla riga " +
                                std::to_string(line) +
                                " (le virgolette in un campo vanno raddoppiate)";
                    out.faultLine = line;
                    return out;
                }
            } else {
                while (pos < text.size() && text[pos] != sep && text[pos] != '\r' &&
                       text[pos] != '\n')
                    field.push_back(text[pos++]);
            }
            ++rec.fieldCount;
            if (rec.fields.size() < maxFields)
                rec.fields.push_back(field);
            if (pos < text.size() && text[pos] == sep) {
                ++pos;
            } else {
                endOfRecord = true;
                if (pos < text.size() && text[pos] == '\r')
                    ++pos;
                if (pos < text.size() && text[pos] == '\n')
                    ++pos;
                ++line;
            }
        }
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

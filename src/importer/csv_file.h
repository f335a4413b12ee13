#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexora::importer {

// How the bytes of a list file were read.
enum class TextEncoding { Utf8, Utf8WithBom, Windows1252 };

// "UTF-8", "UTF-8 con BOM", "Windows-1252".
std::string_view encodingName(TextEncoding e);

// A list file's text, decoded to UTF-8.
struct DecodedText {
    std::string utf8;
    TextEncoding encoding = TextEncoding::Utf8;
};

// Decodes list-file bytes: a UTF-8 byte order mark or valid UTF-8 is read as UTF-8, any
// other text as Windows-1252. Returns the Italian reason when the bytes are no text (NUL
// bytes or many control characters: a spreadsheet's own file, a picture, ...).
std::optional<DecodedText> decodeListBytes(std::string_view bytes, std::string* why);

// One record of a CSV file with the line it starts on (1 for the first line).
struct CsvRecord {
    int line = 0;
    std::vector<std::string> fields;
    // Fields beyond those kept (only the first maxFields are stored).
    std::size_t fieldCount = 0;
};

// A parsed CSV text: header, data records and any fault that stopped the reading.
struct CsvText {
    char separator = ';';
    CsvRecord header;
    std::vector<CsvRecord> records;  // blank records left out
    // Set when the text cannot be read on (an unclosed quote, too many records): the
    // records read so far are kept.
    std::optional<std::string> fault;
    int faultLine = 0;
};

// Largest number of data records read; a longer file is refused (the longest official
// list has some 7,200).
inline constexpr std::size_t kMaxRecords = 50000;
// Largest number of header columns.
inline constexpr std::size_t kMaxColumns = 64;

// The separator of a header line: ";" or ",", whichever splits it into more fields
// outside quotes (";" on a tie).
char detectSeparator(std::string_view firstLine);

// Parses CSV text (RFC 4180 with either separator): fields in double quotes may hold the
// separator, doubled quotes and line breaks; CR LF, LF and CR end records. The first
// non-blank record is the header. A data record keeps at most header size + 1 fields, so
// a hostile line cannot make it allocate without bound.
CsvText parseCsv(std::string_view utf8);

// One field written for a CSV file: quoted when it holds the separator, a quote, a line
// break, a tab or blanks at either end.
std::string csvField(std::string_view text, char separator);

}  // namespace vexora::importer

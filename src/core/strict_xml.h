#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vexora {

// Where a document stops being well-formed XML 1.0 (or uses what the readers refuse), and why.
struct XmlFault {
    std::size_t offset = 0;   // bytes from the start of the document
    std::size_t line = 1;     // line of that byte, counted from 1
    std::string description;  // the parser's words (English)
};

// Checks a document: its bytes are decoded by their byte order mark or declaration (UTF-8,
// the default; UTF-16; ISO-8859-1 or "latin1"; US-ASCII; "windows-1252", "cp1252" or
// "x-cp1252", whose five undefined bytes are the C1 controls, as in cp1252ToUtf8; any other
// encoding is refused) and the text is judged against XML 1.0 (fifth edition) by
// findUtf8XmlFault. The fault's offset is counted in the document's own bytes.
std::optional<XmlFault> findXmlFault(std::string_view bytes);

// True when the text starts with an XML declaration: "<?xml" and a blank. A processing
// instruction whose target only begins with "xml" ("<?xmlfoo ...?>") is none, and its
// pseudo-attributes name no encoding.
bool startsWithXmlDeclaration(std::string_view text);

// The verdict on UTF-8 text, in one pass that builds nothing. A document with a document
// type declaration goes to findXmlFaultWithExpat, which also refuses what a reader that
// builds its tree with pugixml would read differently: entity declarations, attribute
// defaults declared in the document type declaration, external document type definitions.
std::optional<XmlFault> findUtf8XmlFault(std::string_view utf8);

// Checks bytes with expat, a conforming XML 1.0 parser (whose names follow the earlier
// editions of XML 1.0), under the rules above. encoding overrides the document's own
// declaration ("UTF-8", "UTF-16", "ISO-8859-1", "US-ASCII", "windows-1252"); nullptr follows
// the declaration, a byte order mark or else UTF-8.
std::optional<XmlFault> findXmlFaultWithExpat(std::string_view bytes,
                                              const char* encoding = nullptr);

}  // namespace vexora

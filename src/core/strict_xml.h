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

// Checks bytes with a conforming XML 1.0 parser (expat). encoding overrides the document's
// own declaration ("UTF-8", "UTF-16", "ISO-8859-1", "US-ASCII", "windows-1252"); nullptr
// follows the declaration, a byte order mark or else UTF-8, as XML prescribes. Besides UTF-8,
// UTF-16, ISO-8859-1 and US-ASCII a document may declare "windows-1252" ("cp1252",
// "x-cp1252"; the five bytes the code page leaves undefined are the C1 controls, as in
// cp1252ToUtf8) or "latin1". Beyond well-formedness it refuses what a reader that builds its
// tree with pugixml would read differently: entity declarations, attribute defaults declared
// in a document type declaration, and external document type definitions (whose entities the
// parser cannot see). Returns the first fault, or nullopt for a good document.
std::optional<XmlFault> findXmlFault(std::string_view bytes, const char* encoding = nullptr);

// The verdict of findXmlFault(utf8, "UTF-8"), reached for a document without a document
// type declaration in one pass that builds nothing (several times faster than the full
// parser, for large table files); a document with one goes to the full parser.
std::optional<XmlFault> findUtf8XmlFault(std::string_view utf8);

}  // namespace vexora

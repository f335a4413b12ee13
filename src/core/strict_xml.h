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

// Receives the elements of a document in document order. Names and values are UTF-8, with
// references replaced and attribute values normalised as XML prescribes.
class XmlElementHandler {
public:
    virtual ~XmlElementHandler() = default;
    // attributes: name, value, name, value, ..., then nullptr; no name occurs twice.
    virtual void startElement(const char* name, const char* const* attributes) = 0;
    virtual void endElement() = 0;
};

// Parses bytes with a conforming XML 1.0 parser (expat). encoding overrides the document's
// own declaration ("UTF-8", "UTF-16", "ISO-8859-1", "US-ASCII", "windows-1252"); nullptr
// follows the declaration, a byte order mark or else UTF-8, as XML prescribes. Besides UTF-8,
// UTF-16, ISO-8859-1 and US-ASCII a document may declare "windows-1252" ("cp1252",
// "x-cp1252"; the five bytes the code page leaves undefined are the C1 controls, as in
// cp1252ToUtf8) or "latin1". Beyond well-formedness it refuses what a reader that builds its
// tree with pugixml would read differently: entity declarations, attribute defaults declared
// in a document type declaration, and external document type definitions (whose entities the
// parser cannot see).
// The handler, when given, receives the elements; an exception it throws stops the parse
// and reaches the caller. Returns the first fault, or nullopt for a good document.
std::optional<XmlFault> parseStrictXml(std::string_view bytes, const char* encoding,
                                       XmlElementHandler* handler);

// parseStrictXml without a handler: only the check.
inline std::optional<XmlFault> findXmlFault(std::string_view bytes,
                                            const char* encoding = nullptr) {
    return parseStrictXml(bytes, encoding, nullptr);
}

}  // namespace vexora

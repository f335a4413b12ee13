#include "core/strict_xml.h"

#include <expat.h>

#include <algorithm>
#include <memory>

#include "core/codepage.h"

namespace vexora {
namespace {

bool asciiIEquals(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lx = (x >= 'A' && x <= 'Z') ? static_cast<char>(x + 32) : x;
        const auto ly = (y >= 'A' && y <= 'Z') ? static_cast<char>(y + 32) : y;
        return lx == ly;
    });
}

// Single-byte encodings expat does not know by itself: each byte's code point.
int XMLCALL singleByteEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    const std::string_view n(name);
    const bool cp1252 =
        asciiIEquals(n, "windows-1252") || asciiIEquals(n, "cp1252") || asciiIEquals(n, "x-cp1252");
    if (!cp1252 && !asciiIEquals(n, "latin1"))
        return XML_STATUS_ERROR;
    for (int b = 0; b < 256; ++b) {
        info->map[b] = b;
        if (cp1252 && b >= 0x80 && b < 0xA0) {
            const std::string utf8 = cp1252ToUtf8(std::string(1, static_cast<char>(b)));
            std::size_t pos = 0;
            info->map[b] = static_cast<int>(decodeUtf8(utf8, pos));
        }
    }
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

struct ParserFree {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

struct Context {
    XML_Parser parser = nullptr;
    std::optional<XmlFault> fault;
};

Context& contextOf(void* data) {
    return *static_cast<Context*>(data);
}

void stopWith(Context& c, std::string description) {
    if (c.fault)
        return;
    const XML_Index at = XML_GetCurrentByteIndex(c.parser);
    c.fault = XmlFault{at < 0 ? 0 : static_cast<std::size_t>(at),
                       static_cast<std::size_t>(XML_GetCurrentLineNumber(c.parser)),
                       std::move(description)};
    XML_StopParser(c.parser, XML_FALSE);
}

// pugixml expands no declared entity and applies no declared default, so a document that
// relies on either would read differently there: such documents are refused.
void XMLCALL onEntityDecl(void* data, const XML_Char* name, int, const XML_Char*, int,
                          const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
    stopWith(contextOf(data), "entity declaration '" + std::string(name) + "' is not supported");
}

void XMLCALL onAttlistDecl(void* data, const XML_Char* element, const XML_Char* attribute,
                           const XML_Char*, const XML_Char* dflt, int) {
    if (dflt != nullptr) {
        stopWith(contextOf(data), "declared default of attribute '" + std::string(attribute) +
                                      "' of <" + std::string(element) + "> is not supported");
    }
}

// Undeclared references in attribute values are dropped without a word when a document
// names an external subset (it might declare them): such a document is refused.
void XMLCALL onDoctype(void* data, const XML_Char*, const XML_Char* sysid, const XML_Char*, int) {
    if (sysid != nullptr)
        stopWith(contextOf(data), "external document type definitions are not supported");
}

void XMLCALL onSkippedEntity(void* data, const XML_Char* name, int) {
    stopWith(contextOf(data), "undefined entity '" + std::string(name) + "'");
}

}  // namespace

std::optional<XmlFault> findXmlFault(std::string_view bytes, const char* encoding) {
    const std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(encoding));
    if (!parser)
        throw std::bad_alloc();
    Context c;
    c.parser = parser.get();
    XML_Parser p = parser.get();
    XML_SetUserData(p, &c);
    XML_SetUnknownEncodingHandler(p, singleByteEncoding, nullptr);
    XML_SetEntityDeclHandler(p, onEntityDecl);
    XML_SetAttlistDeclHandler(p, onAttlistDecl);
    XML_SetSkippedEntityHandler(p, onSkippedEntity);
    XML_SetStartDoctypeDeclHandler(p, onDoctype);

    // XML_Parse takes an int length: large inputs go in pieces.
    constexpr std::size_t kPiece = std::size_t{1} << 24;
    std::size_t done = 0;
    XML_Status status = XML_STATUS_OK;
    do {
        const std::size_t n = std::min(kPiece, bytes.size() - done);
        const bool last = done + n == bytes.size();
        status =
            XML_Parse(p, bytes.data() + done, static_cast<int>(n), last ? XML_TRUE : XML_FALSE);
        done += n;
    } while (status == XML_STATUS_OK && done < bytes.size());

    if (c.fault)
        return c.fault;
    if (status != XML_STATUS_OK) {
        const XML_Index at = XML_GetCurrentByteIndex(p);
        return XmlFault{at < 0 ? 0 : static_cast<std::size_t>(at),
                        static_cast<std::size_t>(XML_GetCurrentLineNumber(p)),
                        XML_ErrorString(XML_GetErrorCode(p))};
    }
    return std::nullopt;
}

}  // namespace vexora

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

// ---------------------------------------------------------------- decoding

enum class Encoding { Utf8, Utf16Le, Utf16Be, Latin1, Ascii, Cp1252 };

// The encoding an 8-bit document's declaration names (UTF-8 without one); nullopt for
// one this reader does not know.
std::optional<Encoding> declaredEncoding(std::string_view b) {
    if (!startsWithXmlDeclaration(b))
        return Encoding::Utf8;
    const std::string_view decl = b.substr(0, b.find("?>"));
    const std::size_t at = decl.find("encoding");
    if (at == std::string_view::npos)
        return Encoding::Utf8;
    const std::size_t open = decl.find_first_of("\"'", at);
    const std::size_t close =
        open == std::string_view::npos ? open : decl.find(decl[open], open + 1);
    if (close == std::string_view::npos)
        return Encoding::Utf8;  // the declaration's own fault is found by the check
    const std::string_view name = decl.substr(open + 1, close - open - 1);
    if (asciiIEquals(name, "UTF-8"))
        return Encoding::Utf8;
    if (asciiIEquals(name, "ISO-8859-1") || asciiIEquals(name, "latin1"))
        return Encoding::Latin1;
    if (asciiIEquals(name, "US-ASCII"))
        return Encoding::Ascii;
    if (asciiIEquals(name, "windows-1252") || asciiIEquals(name, "cp1252") ||
        asciiIEquals(name, "x-cp1252"))
        return Encoding::Cp1252;
    return std::nullopt;
}

// The encoding of a document by its byte order mark or declaration; nullopt for one this
// reader does not know, or a declaration that contradicts the mark.
std::optional<Encoding> encodingOf(std::string_view b, std::size_t& bom) {
    bom = 0;
    if (b.substr(0, 3) == "\xEF\xBB\xBF") {
        bom = 3;
        if (declaredEncoding(b.substr(3)) != Encoding::Utf8)
            return std::nullopt;
        return Encoding::Utf8;
    }
    if (b.substr(0, 2) == "\xFF\xFE" || b.substr(0, 2) == std::string_view("<\0", 2)) {
        bom = b[0] == '<' ? 0 : 2;
        return Encoding::Utf16Le;
    }
    if (b.substr(0, 2) == "\xFE\xFF" || b.substr(0, 2) == std::string_view("\0<", 2)) {
        bom = b[0] == '\0' ? 0 : 2;
        return Encoding::Utf16Be;
    }
    return declaredEncoding(b);
}

// The UTF-8 text of a document (up to a fault of its encoding).
struct Decoded {
    std::string text;
    std::optional<XmlFault> fault;  // bytes that are no text of the encoding
};

Decoded decode(std::string_view b, Encoding e, std::size_t bom) {
    Decoded d;
    switch (e) {
        case Encoding::Utf8:
            d.text.assign(b);  // the check judges UTF-8 itself
            return d;
        case Encoding::Latin1:
        case Encoding::Ascii:
            d.text.reserve(b.size() + b.size() / 8);
            for (std::size_t i = 0; i < b.size(); ++i) {
                const auto c = static_cast<unsigned char>(b[i]);
                if (e == Encoding::Ascii && c >= 0x80) {
                    d.fault = XmlFault{i, 1, "a byte that is not US-ASCII"};
                    return d;
                }
                appendUtf8(d.text, c);
            }
            return d;
        case Encoding::Cp1252:
            d.text = cp1252ToUtf8(b);
            return d;
        case Encoding::Utf16Le:
        case Encoding::Utf16Be: {
            const bool le = e == Encoding::Utf16Le;
            auto unit = [&](std::size_t i) {
                const auto lo = static_cast<unsigned char>(b[i + (le ? 0 : 1)]);
                const auto hi = static_cast<unsigned char>(b[i + (le ? 1 : 0)]);
                return static_cast<char32_t>(hi << 8 | lo);
            };
            for (std::size_t i = bom; i < b.size(); i += 2) {
                if (i + 1 >= b.size()) {
                    d.fault = XmlFault{i, 1, "not well-formed (invalid token)"};
                    return d;
                }
                char32_t u = unit(i);
                if (u >= 0xD800 && u <= 0xDBFF && i + 3 < b.size() && unit(i + 2) >= 0xDC00 &&
                    unit(i + 2) <= 0xDFFF) {
                    u = 0x10000 + ((u - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
                    i += 2;
                } else if (u >= 0xD800 && u <= 0xDFFF) {
                    d.fault = XmlFault{i, 1, "not well-formed (invalid token)"};
                    return d;
                }
                appendUtf8(d.text, u);
            }
            return d;
        }
    }
    return d;
}

// The document offset of a byte of its UTF-8 text.
std::size_t documentOffset(std::string_view text, std::size_t utf8Offset, Encoding e,
                           std::size_t bom) {
    if (e == Encoding::Utf8)
        return utf8Offset;
    std::size_t at = bom;
    for (std::size_t pos = 0; pos < utf8Offset && pos < text.size();) {
        const long cp = decodeUtf8(text, pos);
        if (e == Encoding::Utf16Le || e == Encoding::Utf16Be)
            at += cp >= 0x10000 ? 4 : 2;
        else
            ++at;
    }
    return at;
}

}  // namespace

std::optional<XmlFault> findXmlFault(std::string_view bytes) {
    std::size_t bom = 0;
    const auto encoding = encodingOf(bytes, bom);
    if (!encoding)
        return XmlFault{0, 1, "unknown encoding"};
    Decoded d = decode(bytes, *encoding, bom);
    if (d.fault) {
        d.fault->line =
            1 + static_cast<std::size_t>(std::count(d.text.begin(), d.text.end(), '\n'));
        return d.fault;
    }
    auto fault = findUtf8XmlFault(d.text);
    if (fault)
        fault->offset = documentOffset(d.text, fault->offset, *encoding, bom);
    return fault;
}

std::optional<XmlFault> findXmlFaultWithExpat(std::string_view bytes, const char* encoding) {
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

bool startsWithXmlDeclaration(std::string_view text) {
    return text.size() > 5 && text.substr(0, 5) == "<?xml" &&
           (text[5] == ' ' || text[5] == '\t' || text[5] == '\r' || text[5] == '\n');
}

}  // namespace vexora

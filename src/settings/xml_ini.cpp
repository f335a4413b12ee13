#include "settings/xml_ini.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <pugixml.hpp>
#include <unordered_set>

#include "core/codepage.h"
#include "core/file_util.h"
#include "core/platform.h"
#include "core/strict_xml.h"
#include "settings/file_names.h"
#include "settings/integer_text.h"

namespace vexora::settings {
namespace {

constexpr std::string_view kRootName = "QX_XmlIni";
constexpr std::string_view kStyleSheetTarget = "xml-stylesheet";
constexpr const char* kIndent = "  ";
constexpr unsigned kParseFlags = pugi::parse_full | pugi::parse_fragment;

// Collects the serializer's output.
class StringWriter : public pugi::xml_writer {
public:
    std::string out;
    void write(const void* data, std::size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
};

bool asciiIEquals(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lx = (x >= 'A' && x <= 'Z') ? static_cast<char>(x + 32) : x;
        const auto ly = (y >= 'A' && y <= 'Z') ? static_cast<char>(y + 32) : y;
        return lx == ly;
    });
}

// The encoding named by the declaration at the start of an 8-bit document ("" when none).
std::string declaredEncoding(std::string_view bytes) {
    const std::string_view head = bytes.substr(0, 512);
    std::size_t b = 0;
    while (b < head.size() &&
           (head[b] == ' ' || head[b] == '\t' || head[b] == '\r' || head[b] == '\n')) {
        ++b;
    }
    if (!startsWithXmlDeclaration(head.substr(b)))
        return {};
    const std::size_t end = head.find("?>", b);
    if (end == std::string_view::npos)
        return {};
    const std::string_view decl = head.substr(b, end - b);
    const std::size_t at = decl.find("encoding");
    if (at == std::string_view::npos)
        return {};
    std::size_t p = at + 8;
    while (p < decl.size() && (decl[p] == ' ' || decl[p] == '=' || decl[p] == '\t'))
        ++p;
    if (p >= decl.size() || (decl[p] != '"' && decl[p] != '\''))
        return {};
    const char quote = decl[p];
    const std::size_t close = decl.find(quote, p + 1);
    if (close == std::string_view::npos)
        return {};
    return std::string(decl.substr(p + 1, close - p - 1));
}

bool isWindows1252Name(std::string_view name) {
    return asciiIEquals(name, "windows-1252") || asciiIEquals(name, "cp1252") ||
           asciiIEquals(name, "x-cp1252");
}

// True unless the text starts with a byte order mark or looks like UTF-16/32 (NUL bytes).
bool isEightBitText(std::string_view bytes) {
    const std::string_view head = bytes.substr(0, 4);
    if (head.find('\0') != std::string_view::npos)
        return false;
    const auto b0 = head.empty() ? 0 : static_cast<unsigned char>(head[0]);
    return b0 != 0xEF && b0 != 0xFE && b0 != 0xFF;
}

// Code unit size and byte order of a pugixml encoding.
void unitOf(pugi::xml_encoding enc, int& size, bool& bigEndian) {
    size = 1;
    bigEndian = false;
    switch (enc) {
        case pugi::encoding_utf16_le:
            size = 2;
            break;
        case pugi::encoding_utf16_be:
            size = 2;
            bigEndian = true;
            break;
        case pugi::encoding_utf32_le:
            size = 4;
            break;
        case pugi::encoding_utf32_be:
            size = 4;
            bigEndian = true;
            break;
        default:
            break;
    }
}

// Every LF code unit not preceded by CR gets a CR in front.
std::string withCrLf(std::string_view s, int unit, bool bigEndian) {
    std::string out;
    out.reserve(s.size() + s.size() / 16);
    auto valueAt = [&](std::size_t i) {
        std::uint32_t v = 0;
        for (int k = 0; k < unit; ++k) {
            const auto byte = static_cast<unsigned char>(
                s[i + static_cast<std::size_t>(bigEndian ? k : unit - 1 - k)]);
            v = (v << 8) | byte;
        }
        return v;
    };
    const auto u = static_cast<std::size_t>(unit);
    std::uint32_t previous = 0;
    std::size_t i = 0;
    for (; i + u <= s.size(); i += u) {
        const std::uint32_t v = valueAt(i);
        if (v == '\n' && previous != '\r') {
            for (int k = 0; k < unit; ++k) {
                const bool low = bigEndian ? (k == unit - 1) : (k == 0);
                out.push_back(low ? '\r' : '\0');
            }
        }
        out.append(s.substr(i, u));
        previous = v;
    }
    out.append(s.substr(i));
    return out;
}

// UTF-8 -> Windows-1252; characters without a Windows-1252 byte become character references.
std::string toWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        const long cp = decodeUtf8(utf8, pos);
        if (cp < 0) {
            out.push_back(utf8[start]);
            continue;
        }
        const std::string_view piece = utf8.substr(start, pos - start);
        if (fitsCp1252(piece)) {
            out += utf8ToCp1252(piece);
        } else {
            out += "&#" + std::to_string(cp) + ";";
        }
    }
    return out;
}

// The first character of a value that no XML 1.0 document can hold (C0 controls other
// than tab, line feed and carriage return, U+FFFE, U+FFFF) or a malformed UTF-8 byte, as
// "U+0001" or "il byte 0xFF"; empty when every character can be written.
std::string unwritableCharacterIn(std::string_view utf8) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        const long cp = decodeUtf8(utf8, pos);
        char text[40];
        if (cp < 0) {
            std::snprintf(text, sizeof text, "il byte 0x%02X",
                          static_cast<unsigned>(static_cast<unsigned char>(utf8[start])));
            return text;
        }
        const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                             (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
        if (!allowed) {
            std::snprintf(text, sizeof text, "il carattere U+%04lX", cp);
            return text;
        }
    }
    return {};
}

bool isNameStart(long c) {
    return c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(long c) {
    return isNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// The XML Name production.
bool isXmlName(std::string_view name) {
    if (name.empty())
        return false;
    std::size_t pos = 0;
    bool first = true;
    while (pos < name.size()) {
        const long c = decodeUtf8(name, pos);
        if (c < 0 || !(first ? isNameStart(c) : isNameChar(c)))
            return false;
        first = false;
    }
    return true;
}

pugi::xml_attribute findAttribute(pugi::xml_node element, std::string_view key) {
    if (key.find('\0') != std::string_view::npos)
        return {};  // no XML name holds NUL
    return element.attribute(std::string(key).c_str());
}

// True when an attribute name occurs twice on the element.
bool hasRepeatedAttribute(pugi::xml_node element, std::unordered_set<std::string_view>& seen,
                          std::string& repeated) {
    std::size_t count = 0;
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute())
        ++count;
    if (count < 2)
        return false;
    if (count <= 16) {  // the usual few: compare pairs, no allocation
        for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
            for (pugi::xml_attribute b = a.next_attribute(); b; b = b.next_attribute()) {
                if (std::strcmp(a.name(), b.name()) == 0) {
                    repeated = a.name();
                    return true;
                }
            }
        }
        return false;
    }
    seen.clear();
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        if (!seen.insert(a.name()).second) {
            repeated = a.name();
            return true;
        }
    }
    return false;
}

// Faults pugixml lets through: more than one root element, text outside the root,
// an attribute given twice.
std::string wellFormednessFault(const pugi::xml_document& doc) {
    int elements = 0;
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
        switch (n.type()) {
            case pugi::node_element:
                ++elements;
                break;
            case pugi::node_pcdata:
            case pugi::node_cdata:
                return "testo fuori dall'elemento radice";
            default:
                break;
        }
    }
    if (elements == 0)
        return "nessun elemento radice";
    if (elements > 1)
        return "pi\u00f9 di un elemento radice";

    // Walk every element without recursion.
    std::unordered_set<std::string_view> seen;
    pugi::xml_node n = doc.document_element();
    const pugi::xml_node top = n;
    int depth = 1;  // of n: the root element is level 1
    while (n) {
        if (depth > TXmlIni::kMaxDepth) {
            return "elementi annidati oltre " + std::to_string(TXmlIni::kMaxDepth) + " livelli";
        }
        std::string repeated;
        if (n.type() == pugi::node_element && hasRepeatedAttribute(n, seen, repeated))
            return "attributo ripetuto '" + repeated + "' in <" + std::string(n.name()) + ">";
        if (n.first_child()) {
            n = n.first_child();
            ++depth;
            continue;
        }
        while (n && n != top && !n.next_sibling()) {
            n = n.parent();
            --depth;
        }
        if (!n || n == top)
            break;
        n = n.next_sibling();
    }
    return {};
}

}  // namespace

XmlIniError::XmlIniError(std::string fileName, const std::string& message)
    : std::runtime_error(fileName + ": " + message), fileName_(std::move(fileName)) {}

TXmlIni::TXmlIni(std::string FileName, std::string_view FileXSL)
    : FFileName(std::move(FileName)), FXMLDoc(std::make_unique<pugi::xml_document>()) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(pathFromUtf8(FFileName), ec)) {
        std::string error;
        auto bytes = readWholeFile(FFileName, kMaxFileBytes, &error);
        if (!bytes)
            throw XmlIniError(FFileName, error);
        // pugixml builds the tree but lets many faults pass (undeclared entities, a raw '<' in
        // a value, ...): a conforming parser judges the bytes first.
        if (const auto fault = findXmlFault(*bytes)) {
            throw XmlIniError(FFileName, "XML non valido alla posizione " +
                                             std::to_string(fault->offset) + " (riga " +
                                             std::to_string(fault->line) +
                                             "): " + fault->description);
        }

        pugi::xml_encoding requested = pugi::encoding_auto;
        if (isEightBitText(*bytes) && isWindows1252Name(declaredEncoding(*bytes))) {
            *bytes = cp1252ToUtf8(*bytes);
            requested = pugi::encoding_utf8;
            encoding_ = Encoding::Windows1252;
        }
        const pugi::xml_parse_result result =
            FXMLDoc->load_buffer(bytes->data(), bytes->size(), kParseFlags, requested);
        if (!result) {
            throw XmlIniError(FFileName, "XML non valido alla posizione " +
                                             std::to_string(result.offset) + ": " +
                                             result.description());
        }
        const std::string fault = wellFormednessFault(*FXMLDoc);
        if (!fault.empty())
            throw XmlIniError(FFileName, "XML non valido: " + fault);
        if (encoding_ != Encoding::Windows1252 && result.encoding != pugi::encoding_utf8) {
            encoding_ = Encoding::Native;
            nativeEncoding_ = static_cast<int>(result.encoding);
        }
        return;
    }
    pugi::xml_node decl = FXMLDoc->append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    if (!FileXSL.empty()) {
        pugi::xml_node pi = FXMLDoc->append_child(pugi::node_pi);
        pi.set_name(std::string(kStyleSheetTarget).c_str());
        const std::string data = "type=\"text/xsl\" href=\"" + extractFileName(FileXSL) + "\"";
        pi.set_value(data.c_str());
    }
    FXMLDoc->append_child(std::string(kRootName).c_str());
}

TXmlIni::TXmlIni() : TXmlIni(defaultFileName()) {}

TXmlIni::~TXmlIni() {
    try {
        Save();
    } catch (const std::exception& e) {
        // The changes are lost: say so, since no caller can see an exception from here.
        if (reporting_) {
            try {
                reporting_->log.ScriviErrorLog("", 1, std::string("UXmlIni/Destroy - ") + e.what());
                if (!reporting_->switches.CkNoExceptMsg) {
                    reporting_->ui.messageBox(
                        std::string("Impossibile salvare il file XML\r\nERRORE: ") + e.what());
                }
            } catch (...) {
            }
        }
    } catch (...) {
    }
}

std::string TXmlIni::defaultFileName() {
    return changeFileExt(executablePath(), "_ini.xml");
}

pugi::xml_node TXmlIni::root() const {
    return FXMLDoc->document_element();
}

pugi::xml_node TXmlIni::findSection(std::string_view Section) const {
    if (Section.find('\0') != std::string_view::npos)
        return {};  // no XML name holds NUL
    const std::string name(Section);
    pugi::xml_node n = root().child(name.c_str());
    while (n && n.type() != pugi::node_element)  // an instruction may carry the same name
        n = n.next_sibling(name.c_str());
    return n;
}

std::string TXmlIni::ReadString(std::string_view Section, std::string_view Key,
                                std::string_view Default) const {
    const pugi::xml_node section = findSection(Section);
    if (section) {
        if (const pugi::xml_attribute a = findAttribute(section, Key))
            return a.value();
    }
    return std::string(Default);
}

int TXmlIni::ReadInteger(std::string_view Section, std::string_view Key, int Default) const {
    return toInteger(ReadString(Section, Key, std::to_string(Default)));
}

bool TXmlIni::ReadBoolean(std::string_view Section, std::string_view Key, bool Default) const {
    return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

void TXmlIni::WriteString(std::string_view Section, std::string_view Key, std::string_view Value) {
    const std::string value(Value.substr(0, Value.find('\0')));
    if (ReadString(Section, Key, {}) == value)
        return;
    if (!isXmlName(Section)) {
        throw XmlIniError(FFileName,
                          "'" + std::string(Section) + "' non \u00e8 un nome XML valido");
    }
    if (!isXmlName(Key)) {
        throw XmlIniError(FFileName, "'" + std::string(Key) + "' non \u00e8 un nome XML valido");
    }
    // pugixml would write such a character as a reference that no conforming reader (ours
    // included) accepts: the file would no longer open. Refused before anything changes.
    if (const std::string bad = unwritableCharacterIn(value); !bad.empty()) {
        throw XmlIniError(FFileName, "il valore di '" + std::string(Key) + "' nella sezione '" +
                                         std::string(Section) + "' contiene " + bad +
                                         ", che un file XML non pu\u00f2 contenere");
    }
    if (encoding_ == Encoding::Windows1252) {
        // Characters outside Windows-1252 are written as references, which names cannot hold.
        for (const std::string_view name : {Section, Key}) {
            if (!fitsCp1252(name)) {
                throw XmlIniError(FFileName, "il nome '" + std::string(name) +
                                                 "' ha caratteri che un file Windows-1252 non "
                                                 "pu\u00f2 contenere");
            }
        }
    }
    pugi::xml_node section = findSection(Section);
    if (!section) {
        section = root().append_child(pugi::node_element);
        section.set_name(std::string(Section).c_str());
    }
    pugi::xml_attribute attr = findAttribute(section, Key);
    if (!attr)
        attr = section.append_attribute(std::string(Key).c_str());
    attr.set_value(value.c_str());
    FModified = true;
}

void TXmlIni::WriteInteger(std::string_view Section, std::string_view Key, int Value) {
    WriteString(Section, Key, std::to_string(Value));
}

void TXmlIni::WriteBoolean(std::string_view Section, std::string_view Key, bool Value) {
    WriteInteger(Section, Key, Value ? 1 : 0);
}

bool TXmlIni::DeleteKey(std::string_view Section, std::string_view Key) {
    pugi::xml_node section = findSection(Section);
    if (!section)
        return false;
    const pugi::xml_attribute attr = findAttribute(section, Key);
    if (!attr)
        return false;
    try {
        if (!section.remove_attribute(attr))
            return false;
        FModified = true;
        Save();
        return true;
    } catch (...) {
        return false;
    }
}

bool TXmlIni::DeleteSection(std::string_view Section) {
    const pugi::xml_node section = findSection(Section);
    if (!section)
        return false;
    try {
        if (!section.parent().remove_child(section))
            return false;
        FModified = true;
        Save();
        return true;
    } catch (...) {
        return false;
    }
}

bool TXmlIni::CheckSection(std::string_view Section) const {
    return static_cast<bool>(findSection(Section));
}

std::string TXmlIni::serialize() const {
    StringWriter writer;
    if (encoding_ == Encoding::Native) {
        const auto enc = static_cast<pugi::xml_encoding>(nativeEncoding_);
        FXMLDoc->save(writer, kIndent, pugi::format_indent, enc);
        int unit = 1;
        bool bigEndian = false;
        unitOf(enc, unit, bigEndian);
        return withCrLf(writer.out, unit, bigEndian);
    }
    FXMLDoc->save(writer, kIndent, pugi::format_indent, pugi::encoding_utf8);
    std::string text = withCrLf(writer.out, 1, false);
    if (encoding_ == Encoding::Windows1252)
        return toWindows1252(text);
    return text;
}

void TXmlIni::Save() {
    if (!FModified)
        return;
    if (FBackup) {
        std::error_code ec;
        const std::string backup = changeFileExt(FFileName, ".xmb");
        if (backup != FFileName && std::filesystem::is_regular_file(pathFromUtf8(FFileName), ec)) {
            copyFileReplacing(FFileName, backup);
        }
    }
    const std::string bytes = serialize();
    if (encoding_ == Encoding::Windows1252)
        requireReadableWindows1252(bytes);
    std::string error;
    if (!writeFileAtomically(FFileName, bytes, &error))
        throw XmlIniError(FFileName, error);
    FModified = false;
}

void TXmlIni::requireReadableWindows1252(const std::string& bytes) const {
    // The conversion puts references for what Windows-1252 lacks; a document holding such
    // a character where references are not allowed would not read back. Checked before
    // anything is written.
    const std::string text = cp1252ToUtf8(bytes);
    pugi::xml_document check;
    const pugi::xml_parse_result result =
        check.load_buffer(text.data(), text.size(), kParseFlags, pugi::encoding_utf8);
    const std::string fault = result ? wellFormednessFault(check) : std::string();
    if (!result || !fault.empty()) {
        throw XmlIniError(FFileName, "il documento non si pu\u00f2 scrivere in Windows-1252: " +
                                         (result ? fault : std::string(result.description())));
    }
}

void TXmlIni::Save(std::string FileName) {
    FFileName = std::move(FileName);
    Save();
}

}  // namespace vexora::settings

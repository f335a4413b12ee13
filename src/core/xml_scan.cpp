// A single-pass check of UTF-8 text against the XML 1.0 grammar, for documents without
// a document type declaration (one with a declaration goes to expat). It gives expat's
// verdict on such documents (a test holds the two against each other) at a fraction of
// the cost, for large table files.

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <unordered_set>
#include <vector>

#include "core/strict_xml.h"

namespace vexora {
namespace {

// Classes of ASCII bytes.
enum : std::uint8_t { kChar = 1, kSpace = 2, kNameStart = 4, kName = 8 };

constexpr std::array<std::uint8_t, 128> makeAsciiClasses() {
    std::array<std::uint8_t, 128> t{};
    for (int c = 0x20; c < 0x80; ++c)
        t[c] = kChar;
    for (int c : {0x09, 0x0A, 0x0D})
        t[c] = kChar | kSpace;
    t[0x20] |= kSpace;
    for (int c = 'A'; c <= 'Z'; ++c)
        t[c] |= kNameStart | kName;
    for (int c = 'a'; c <= 'z'; ++c)
        t[c] |= kNameStart | kName;
    for (int c : {':', '_'})
        t[c] |= kNameStart | kName;
    for (int c = '0'; c <= '9'; ++c)
        t[c] |= kName;
    for (int c : {'-', '.'})
        t[c] |= kName;
    return t;
}
constexpr std::array<std::uint8_t, 128> kAscii = makeAsciiClasses();

bool isNameStart(char32_t c) {
    if (c < 0x80)
        return (kAscii[c] & kNameStart) != 0;
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(char32_t c) {
    if (c < 0x80)
        return (kAscii[c] & kName) != 0;
    return isNameStart(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
           (c >= 0x203F && c <= 0x2040);
}

bool isXmlChar(char32_t c) {
    if (c < 0x80)
        return (kAscii[c] & kChar) != 0;
    return (c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

struct Fault {
    std::size_t at;
    const char* what;
};
// A document type declaration: the full parser takes the document over.
struct NeedsFullParser {};

class Scanner {
public:
    explicit Scanner(std::string_view s) : s_(s) {}

    void document() {
        std::size_t p = 0;
        if (s_.substr(0, 3) == "\xEF\xBB\xBF")
            p = 3;
        if (s_.substr(p, 5) == "<?xml" && p + 5 < s_.size() && isSpaceAt(p + 5))
            p = xmlDeclaration(p + 5);
        p = misc(p, false);
        if (p == s_.size())
            fail(p, "no element found");
        p = element(p);
        p = misc(p, true);
        if (p != s_.size())
            fail(p, "junk after document element");
    }

private:
    [[noreturn]] static void fail(std::size_t at, const char* what) { throw Fault{at, what}; }

    bool at(std::size_t p, std::string_view w) const { return s_.compare(p, w.size(), w) == 0; }
    bool isSpaceAt(std::size_t p) const {
        const auto c = static_cast<unsigned char>(s_[p]);
        return c < 0x80 && (kAscii[c] & kSpace) != 0;
    }
    std::size_t spaces(std::size_t p) const {
        while (p < s_.size() && isSpaceAt(p))
            ++p;
        return p;
    }
    void need(std::size_t p) const {
        if (p >= s_.size())
            fail(p, "unclosed token");
    }

    // The character at p (advancing p), refused when the bytes are not UTF-8 or name no
    // character XML allows.
    char32_t character(std::size_t& p) const {
        const auto b0 = static_cast<unsigned char>(s_[p]);
        if (b0 < 0x80) {
            if ((kAscii[b0] & kChar) == 0)
                fail(p, "not well-formed (invalid token)");
            ++p;
            return b0;
        }
        std::size_t len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2, cp = b0 & 0x1F, min = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3, cp = b0 & 0x0F, min = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4, cp = b0 & 0x07, min = 0x10000;
        } else {
            fail(p, "not well-formed (invalid token)");
        }
        if (p + len > s_.size())
            fail(p, "not well-formed (invalid token)");
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(s_[p + k]);
            if ((b & 0xC0) != 0x80)
                fail(p, "not well-formed (invalid token)");
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < min || !isXmlChar(cp))
            fail(p, "not well-formed (invalid token)");
        p += len;
        return cp;
    }

    std::string_view name(std::size_t& p) const {
        const std::size_t start = p;
        need(p);
        if (!isNameStart(character(p)))
            fail(start, "not well-formed (invalid token)");
        while (p < s_.size()) {
            const auto b = static_cast<unsigned char>(s_[p]);
            if (b < 0x80) {
                if ((kAscii[b] & kName) == 0)
                    break;
                ++p;
                continue;
            }
            std::size_t q = p;
            if (!isNameChar(character(q)))
                break;
            p = q;
        }
        return s_.substr(start, p - start);
    }

    // After '&': a predefined entity or a character reference; returns past the ';'.
    std::size_t reference(std::size_t amp) const {
        std::size_t p = amp + 1;
        need(p);
        if (s_[p] == '#') {
            ++p;
            const bool hex = p < s_.size() && s_[p] == 'x';
            if (hex)
                ++p;
            std::uint32_t v = 0;
            const std::size_t digits = p;
            for (; p < s_.size(); ++p) {
                const char c = s_[p];
                int d = -1;
                if (c >= '0' && c <= '9')
                    d = c - '0';
                else if (hex && c >= 'a' && c <= 'f')
                    d = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F')
                    d = c - 'A' + 10;
                if (d < 0)
                    break;
                v = v > 0x10FFFF ? v : v * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
            }
            need(p);
            if (p == digits || s_[p] != ';')
                fail(amp, "not well-formed (invalid token)");
            if (!isXmlChar(v))
                fail(amp, "reference to invalid character number");
            return p + 1;
        }
        const std::string_view n = name(p);
        need(p);
        if (s_[p] != ';')
            fail(amp, "not well-formed (invalid token)");
        if (n != "lt" && n != "gt" && n != "amp" && n != "apos" && n != "quot")
            fail(amp, "undefined entity");
        return p + 1;
    }

    std::size_t attributeValue(std::size_t p) const {
        need(p);
        const char quote = s_[p];
        if (quote != '"' && quote != '\'')
            fail(p, "not well-formed (invalid token)");
        ++p;
        for (;;) {
            need(p);
            const auto b = static_cast<unsigned char>(s_[p]);
            if (b == static_cast<unsigned char>(quote))
                return p + 1;
            if (b == '<')
                fail(p, "not well-formed (invalid token)");
            if (b == '&')
                p = reference(p);
            else if (b < 0x80 && (kAscii[b] & kChar) != 0)
                ++p;
            else
                character(p);
        }
    }

    // Text up to the next '<' (or the end).
    std::size_t text(std::size_t p) const {
        while (p < s_.size()) {
            const auto b = static_cast<unsigned char>(s_[p]);
            if (b == '<')
                return p;
            if (b == '&') {
                p = reference(p);
            } else if (b == ']' && at(p, "]]>")) {
                fail(p, "not well-formed (invalid token)");
            } else if (b < 0x80 && (kAscii[b] & kChar) != 0) {
                ++p;
            } else {
                character(p);
            }
        }
        return p;
    }

    // Characters up to the terminator; returns past it.
    std::size_t until(std::size_t p, std::string_view end, std::size_t start) const {
        for (;;) {
            if (p >= s_.size())
                fail(start, "unclosed token");
            if (at(p, end))
                return p + end.size();
            character(p);
        }
    }

    // After "<!--".
    std::size_t comment(std::size_t p, std::size_t start) const {
        for (;;) {
            if (p >= s_.size())
                fail(start, "unclosed token");
            if (at(p, "--")) {
                if (!at(p + 2, ">"))
                    fail(p, "not well-formed (invalid token)");
                return p + 3;
            }
            character(p);
        }
    }

    // After "<?".
    std::size_t instruction(std::size_t p, std::size_t start) const {
        const std::string_view target = name(p);
        if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
            (target[2] | 0x20) == 'l')
            fail(start, "XML or text declaration not at start of entity");
        if (at(p, "?>"))
            return p + 2;
        need(p);
        if (!isSpaceAt(p))
            fail(p, "not well-formed (invalid token)");
        return until(p, "?>", start);
    }

    // Comments, instructions and blanks around the root element.
    std::size_t misc(std::size_t p, bool afterRoot) const {
        for (;;) {
            p = spaces(p);
            if (p == s_.size())
                return p;
            if (at(p, "<!--")) {
                p = comment(p + 4, p);
            } else if (at(p, "<?")) {
                p = instruction(p + 2, p);
            } else if (!afterRoot && at(p, "<!DOCTYPE")) {
                throw NeedsFullParser{};
            } else if (!afterRoot && s_[p] == '<') {
                return p;
            } else {
                fail(p, afterRoot ? "junk after document element" : "syntax error");
            }
        }
    }

    // After "<?xml": version, then optional encoding and standalone, in this order.
    std::size_t xmlDeclaration(std::size_t p) {
        auto pseudo = [&](std::string_view attr) -> std::optional<std::string_view> {
            const std::size_t before = p;
            const std::size_t q = spaces(p);
            if (q == before || !at(q, attr))
                return std::nullopt;
            p = spaces(q + attr.size());
            if (!at(p, "="))
                fail(p, "XML declaration not well-formed");
            p = spaces(p + 1);
            need(p);
            const char quote = s_[p];
            const std::size_t end =
                quote == '"' || quote == '\'' ? s_.find(quote, p + 1) : std::string_view::npos;
            if (end == std::string_view::npos)
                fail(p, "XML declaration not well-formed");
            const std::string_view value = s_.substr(p + 1, end - p - 1);
            p = end + 1;
            return value;
        };
        // As expat reads it: letters, digits, '.', '_' and '-' (the production of the
        // earlier editions of XML 1.0).
        const auto version = pseudo("version");
        if (!version ||
            version->find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                       "0123456789._-") != std::string_view::npos)
            fail(p, "XML declaration not well-formed");
        if (const auto enc = pseudo("encoding")) {
            const auto letter = [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
            bool ok = !enc->empty() && letter(enc->front());
            for (const char c : *enc) {
                ok =
                    ok && (letter(c) || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-');
            }
            if (!ok)
                fail(p, "XML declaration not well-formed");
        }
        if (const auto standalone = pseudo("standalone");
            standalone && *standalone != "yes" && *standalone != "no")
            fail(p, "XML declaration not well-formed");
        p = spaces(p);
        if (!at(p, "?>"))
            fail(p, "XML declaration not well-formed");
        return p + 2;
    }

    // A start tag from its '<'; returns past it and tells whether it was empty.
    std::size_t startTag(std::size_t p, std::string_view& tag, bool& empty) {
        ++p;
        tag = name(p);
        seen_.clear();
        seenSet_.clear();
        for (;;) {
            const std::size_t q = spaces(p);
            need(q);
            if (s_[q] == '>') {
                empty = false;
                return q + 1;
            }
            if (at(q, "/>")) {
                empty = true;
                return q + 2;
            }
            if (q == p)
                fail(q, "not well-formed (invalid token)");
            p = q;
            const std::size_t nameAt = p;
            const std::string_view attr = name(p);
            p = spaces(p);
            need(p);
            if (s_[p] != '=')
                fail(p, "not well-formed (invalid token)");
            p = attributeValue(spaces(p + 1));
            // Few attributes are compared pairwise; many go through a set.
            if (seen_.size() < 16) {
                for (const std::string_view other : seen_) {
                    if (other == attr)
                        fail(nameAt, "duplicate attribute");
                }
                seen_.push_back(attr);
                if (seen_.size() == 16)
                    seenSet_ = std::unordered_set<std::string_view>(seen_.begin(), seen_.end());
            } else if (!seenSet_.insert(attr).second) {
                fail(nameAt, "duplicate attribute");
            }
        }
    }

    std::size_t element(std::size_t p) {
        std::vector<std::string_view> open;
        for (;;) {
            // p is at a '<' that starts markup inside the root (or the root itself).
            if (at(p, "</")) {
                const std::size_t start = p;
                p += 2;
                const std::string_view n = name(p);
                p = spaces(p);
                need(p);
                if (s_[p] != '>')
                    fail(p, "not well-formed (invalid token)");
                if (open.empty() || open.back() != n)
                    fail(start, "mismatched tag");
                open.pop_back();
                ++p;
                if (open.empty())
                    return p;
            } else if (open.empty() || (!at(p, "<!") && !at(p, "<?"))) {
                std::string_view tag;
                bool empty = false;
                p = startTag(p, tag, empty);
                if (!empty)
                    open.push_back(tag);
                else if (open.empty())
                    return p;
            } else if (at(p, "<!--")) {
                p = comment(p + 4, p);
            } else if (at(p, "<![CDATA[")) {
                p = until(p + 9, "]]>", p);
            } else if (at(p, "<?")) {
                p = instruction(p + 2, p);
            } else {
                fail(p, "not well-formed (invalid token)");
            }
            p = text(p);
            if (p == s_.size())
                fail(p, "no element found");
        }
    }

    std::string_view s_;
    std::vector<std::string_view> seen_;  // attribute names of the current start tag
    std::unordered_set<std::string_view> seenSet_;
};

}  // namespace

std::optional<XmlFault> findUtf8XmlFault(std::string_view utf8) {
    try {
        Scanner(utf8).document();
    } catch (const NeedsFullParser&) {
        return findXmlFaultWithExpat(utf8, "UTF-8");
    } catch (const Fault& f) {
        const std::size_t at = std::min(f.at, utf8.size());
        std::size_t line = 1;
        for (std::size_t i = 0; i < at; ++i)
            line += utf8[i] == '\n' ? 1 : 0;
        return XmlFault{at, line, f.what};
    }
    return std::nullopt;
}

}  // namespace vexora

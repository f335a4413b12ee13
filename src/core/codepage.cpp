#include "core/codepage.h"

#include <array>
#include <cstdint>

namespace vexora {
namespace {

// Code points of bytes 0x80..0x9F; the rest of the range maps to itself.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int byteForCodePoint(long cp) {
    if (cp < 0) return -1;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == cp) return static_cast<int>(0x80 + i);
    }
    return -1;
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Runs of ASCII, the bulk of any text, are copied in one go.
        std::size_t run = i;
        while (run < bytes.size() && static_cast<std::uint8_t>(bytes[run]) < 0x80) ++run;
        if (run > i) {
            out.append(bytes.data() + i, run - i);
            i = run;
            if (i == bytes.size()) break;
        }
        const auto b = static_cast<std::uint8_t>(bytes[i++]);
        if (b < 0xA0) {
            appendUtf8(out, kHigh[b - 0x80]);
        } else {
            appendUtf8(out, b);
        }
    }
    return out;
}

long decodeUtf8(std::string_view s, std::size_t& pos) {
    const auto b0 = static_cast<std::uint8_t>(s[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int extra = 0;
    long cp = 0;
    long min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        ++pos;
        return -1;
    }
    if (pos + static_cast<std::size_t>(extra) >= s.size()) {
        ++pos;
        return -1;
    }
    for (int i = 1; i <= extra; ++i) {
        const auto b = static_cast<std::uint8_t>(s[pos + static_cast<std::size_t>(i)]);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return -1;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return -1;
    }
    pos += static_cast<std::size_t>(extra) + 1;
    return cp;
}

std::string utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        const long cp = decodeUtf8(utf8, pos);
        if (cp < 0) {
            out.push_back(utf8[start]);  // not UTF-8: keep the byte as it is
            continue;
        }
        const int b = byteForCodePoint(cp);
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
    }
    return out;
}

bool fitsCp1252(std::string_view utf8) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const long cp = decodeUtf8(utf8, pos);
        if (cp < 0 || byteForCodePoint(cp) < 0) return false;
    }
    return true;
}

std::size_t utf8Length(std::string_view text) {
    std::size_t n = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        decodeUtf8(text, pos);
        ++n;
    }
    return n;
}

}  // namespace vexora

#include "settings/ini_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "core/codepage.h"
#include "core/file_util.h"
#include "settings/integer_text.h"

namespace vexora::settings {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kEol = "\r\n";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view trim(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// Lower case of one Windows-1252 byte (ASCII letters and the Windows-1252 capitals).
unsigned char foldByte(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<unsigned char>(c + 32);
    switch (c) {
        case 0x8A:
            return 0x9A;  // S caron
        case 0x8C:
            return 0x9C;  // OE
        case 0x8E:
            return 0x9E;  // Z caron
        case 0x9F:
            return 0xFF;  // Y diaeresis
        default:
            return c;
    }
}

unsigned char foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// One line: content [begin, end) (cut at the first NUL in [begin, cut)), line end [end, next).
struct LineView {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t cut = 0;
    std::size_t next = 0;
};

// Kind of a line and where its parts are (absolute offsets).
struct LineInfo {
    enum Kind { Other, Header, Key } kind = Other;
    std::size_t nameBegin = 0;
    std::size_t nameEnd = 0;
    std::size_t equals = 0;  // Key: offset of the '='
    std::size_t valueBegin = 0;
    std::size_t valueEnd = 0;
};

// Walks the lines of a text without allocating.
class LineWalker {
public:
    LineWalker(std::string_view text, std::size_t start) : text_(text), pos_(start) {}

    bool next(LineView& line) {
        if (pos_ >= text_.size())
            return false;
        const char* base = text_.data();
        const std::size_t n = text_.size();
        // Settings lines are short: look at them byte by byte; long lines go to memchr.
        const std::size_t quickEnd = std::min(n, pos_ + 256);
        std::size_t firstNul = n;
        for (std::size_t i = pos_; i < quickEnd; ++i) {
            const char c = base[i];
            if (c == '\n' || c == '\r') {
                std::size_t next = i + 1;
                if (c == '\r' && next < n && base[next] == '\n')
                    ++next;
                line.begin = pos_;
                line.end = i;
                line.cut = firstNul < i ? firstNul : i;
                line.next = next;
                pos_ = next;
                return true;
            }
            if (c == '\0' && firstNul == n)
                firstNul = i;
        }
        const void* lf = std::memchr(base + pos_, '\n', n - pos_);
        std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - base) : n;
        if (const void* cr = std::memchr(base + pos_, '\r', end - pos_)) {
            end = static_cast<std::size_t>(static_cast<const char*>(cr) - base);
        }
        std::size_t next = end;
        if (end < n) {
            next =
                (text_[end] == '\r' && end + 1 < n && text_[end + 1] == '\n') ? end + 2 : end + 1;
        }
        const void* nul = std::memchr(base + pos_, '\0', end - pos_);
        line.begin = pos_;
        line.end = end;
        line.cut = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - base) : end;
        line.next = next;
        pos_ = next;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_;
};

// False when the line cannot open a section (its first non-blank character is not '[').
bool mayBeHeader(std::string_view text, const LineView& line) {
    for (std::size_t i = line.begin; i < line.cut; ++i) {
        if (!isBlank(text[i]))
            return text[i] == '[';
    }
    return false;
}

LineInfo classify(std::string_view text, const LineView& line) {
    LineInfo info;
    const std::string_view content = text.substr(line.begin, line.cut - line.begin);
    std::size_t b = 0;
    while (b < content.size() && isBlank(content[b]))
        ++b;
    if (b < content.size() && content[b] == '[') {
        const std::size_t close = content.rfind(']');
        if (close != std::string_view::npos && close > b) {
            const std::string_view raw = content.substr(b + 1, close - b - 1);
            const std::string_view name = trim(raw);
            info.kind = LineInfo::Header;
            info.nameBegin = line.begin + static_cast<std::size_t>(name.data() - content.data());
            info.nameEnd = info.nameBegin + name.size();
            return info;
        }
    }
    const std::size_t eq = content.find('=');
    if (eq == std::string_view::npos)
        return info;
    const std::string_view name = trim(content.substr(0, eq));
    const std::string_view value = trim(content.substr(eq + 1));
    info.kind = LineInfo::Key;
    info.nameBegin = line.begin + static_cast<std::size_t>(name.data() - content.data());
    info.nameEnd = info.nameBegin + name.size();
    info.equals = line.begin + eq;
    info.valueBegin = line.begin + static_cast<std::size_t>(value.data() - content.data());
    info.valueEnd = info.valueBegin + value.size();
    return info;
}

// A name as the file spells it (trimmed, in the file's encoding) and folded for comparing.
struct Name {
    std::string fileBytes;
    std::string folded;
};

bool sameName(std::string_view fileName, const Name& wanted, bool utf8) {
    if (fileName.size() != wanted.folded.size())
        return false;
    // From the end: keys such as "Progressivo Esa AB" differ in their last characters.
    for (std::size_t i = fileName.size(); i-- > 0;) {
        const auto c = static_cast<unsigned char>(fileName[i]);
        const unsigned char f = utf8 ? foldAscii(c) : foldByte(c);
        if (f != static_cast<unsigned char>(wanted.folded[i]))
            return false;
    }
    return true;
}

// UTF-8 text with malformed bytes taken as Windows-1252, so results are always UTF-8.
std::string repairUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    while (pos < s.size()) {
        const std::size_t start = pos;
        const long cp = decodeUtf8(s, pos);
        if (cp < 0) {
            out += cp1252ToUtf8(s.substr(start, 1));
        } else {
            out.append(s.substr(start, pos - start));
        }
    }
    return out;
}

// Where a section is: its header line and the end of its body (start of the next header
// or end of text). found is false when the section does not exist.
struct SectionSpan {
    bool found = false;
    LineView header;
    std::size_t bodyBegin = 0;
};

}  // namespace

IniWriteError::IniWriteError(const std::string& path, std::string detail)
    : std::runtime_error("Unable to write to " + path), path_(path), detail_(std::move(detail)) {}

IniText::IniText(std::string bytes, std::size_t indexLimit) : bytes_(std::move(bytes)) {
    utf8_ = std::string_view(bytes_).substr(0, kBom.size()) == kBom;
    buildIndex(indexLimit);
}

void IniText::buildIndex(std::size_t indexLimit) {
    // Offsets are stored in 32 bits; IniFile never reads texts anywhere near that size.
    if (bytes_.size() > UINT32_MAX)
        return;
    const std::string_view text = bytes_;
    LineWalker walker(text, utf8_ ? kBom.size() : 0);
    LineView line;
    const auto u32 = [](std::size_t v) { return static_cast<std::uint32_t>(v); };
    while (walker.next(line)) {
        const LineInfo info = classify(text, line);
        if (info.kind == LineInfo::Other || (info.kind == LineInfo::Key && sections_.empty()))
            continue;  // lines before the first section belong to none
        if (sections_.size() + keys_.size() >= indexLimit) {
            sections_ = {};
            keys_ = {};
            return;
        }
        if (info.kind == LineInfo::Header) {
            const auto k = u32(keys_.size());
            sections_.push_back({u32(info.nameBegin), u32(info.nameEnd), k, k});
        } else {
            keys_.push_back(
                {u32(info.nameBegin), u32(info.nameEnd), u32(info.valueBegin), u32(info.valueEnd)});
            sections_.back().endKey = u32(keys_.size());
        }
    }
    indexed_ = true;
}

namespace {

Name makeName(std::string_view utf8Name, bool utf8File) {
    Name n;
    const std::string_view t = trim(utf8Name);
    const bool ascii = std::all_of(t.begin(), t.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    n.fileBytes = (utf8File || ascii) ? std::string(t) : utf8ToCp1252(t);
    n.folded = n.fileBytes;
    for (char& c : n.folded) {
        const auto b = static_cast<unsigned char>(c);
        c = static_cast<char>(utf8File ? foldAscii(b) : foldByte(b));
    }
    return n;
}

SectionSpan findSection(std::string_view text, std::size_t start, const Name& section, bool utf8) {
    SectionSpan span;
    LineWalker walker(text, start);
    LineView line;
    while (walker.next(line)) {
        if (!mayBeHeader(text, line))
            continue;
        const LineInfo info = classify(text, line);
        if (info.kind != LineInfo::Header)
            continue;
        if (sameName(text.substr(info.nameBegin, info.nameEnd - info.nameBegin), section, utf8)) {
            span.found = true;
            span.header = line;
            span.bodyBegin = line.next;
            return span;
        }
    }
    return span;
}

// Walks the body of a section: the first key line of the given name (found), and the last
// non-blank line of the body (for appending).
struct KeySearch {
    bool found = false;
    LineView line;
    LineInfo info;
    bool hasLastNonBlank = false;
    LineView lastNonBlank;
};

KeySearch findKey(std::string_view text, std::size_t bodyBegin, const Name& key, bool utf8,
                  bool wantLastNonBlank) {
    KeySearch result;
    LineWalker walker(text, bodyBegin);
    LineView line;
    while (walker.next(line)) {
        const LineInfo info = classify(text, line);
        if (info.kind == LineInfo::Header)
            break;
        if (info.kind == LineInfo::Key &&
            sameName(text.substr(info.nameBegin, info.nameEnd - info.nameBegin), key, utf8)) {
            result.found = true;
            result.line = line;
            result.info = info;
            return result;
        }
        if (wantLastNonBlank && !trim(text.substr(line.begin, line.cut - line.begin)).empty()) {
            result.hasLastNonBlank = true;
            result.lastNonBlank = line;
        }
    }
    return result;
}

void checkName(std::string_view name, bool isKey) {
    const std::string_view t = trim(name);
    const char* what = isKey ? "INI key" : "INI section";
    if (t.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        throw std::invalid_argument(std::string(what) + " name with a line break or NUL");
    }
    if (isKey) {
        if (t.empty())
            throw std::invalid_argument("empty INI key name");
        if (t.find('=') != std::string_view::npos) {
            throw std::invalid_argument("INI key name with '=': " + std::string(t));
        }
        if (t.front() == '[') {
            throw std::invalid_argument("INI key name starting with '[': " + std::string(t));
        }
    }
}

}  // namespace

std::optional<std::string> IniText::value(std::string_view section, std::string_view key) const {
    const std::string_view text = bytes_;
    std::string_view raw;
    if (indexed_) {
        const Name s = makeName(section, utf8_);
        const auto sec = std::find_if(sections_.begin(), sections_.end(), [&](const auto& e) {
            return sameName(text.substr(e.nameBegin, e.nameEnd - e.nameBegin), s, utf8_);
        });
        if (sec == sections_.end())
            return std::nullopt;
        const Name k = makeName(key, utf8_);
        const auto first = keys_.begin() + sec->firstKey;
        const auto last = keys_.begin() + sec->endKey;
        const auto hit = std::find_if(first, last, [&](const IndexedKey& e) {
            return sameName(text.substr(e.nameBegin, e.nameEnd - e.nameBegin), k, utf8_);
        });
        if (hit == last)
            return std::nullopt;
        raw = text.substr(hit->valueBegin, hit->valueEnd - hit->valueBegin);
    } else {
        const std::size_t start = utf8_ ? kBom.size() : 0;
        const SectionSpan span = findSection(text, start, makeName(section, utf8_), utf8_);
        if (!span.found)
            return std::nullopt;
        const KeySearch k = findKey(text, span.bodyBegin, makeName(key, utf8_), utf8_, false);
        if (!k.found)
            return std::nullopt;
        raw = text.substr(k.info.valueBegin, k.info.valueEnd - k.info.valueBegin);
    }
    return utf8_ ? repairUtf8(raw) : cp1252ToUtf8(raw);
}

bool IniText::hasSection(std::string_view section) const {
    const Name s = makeName(section, utf8_);
    if (indexed_) {
        const std::string_view text = bytes_;
        return std::any_of(sections_.begin(), sections_.end(), [&](const IndexedSection& e) {
            return sameName(text.substr(e.nameBegin, e.nameEnd - e.nameBegin), s, utf8_);
        });
    }
    return findSection(bytes_, utf8_ ? kBom.size() : 0, s, utf8_).found;
}

std::string IniText::withValue(std::string_view section, std::string_view key,
                               std::string_view value) const {
    checkName(section, false);
    checkName(key, true);
    // The value as it goes into the file: cut at NUL, no line breaks.
    std::string v(value.substr(0, value.find('\0')));
    for (char& c : v) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    const std::string fileValue = utf8_ ? v : utf8ToCp1252(v);

    const std::string_view text = bytes_;
    const std::size_t start = utf8_ ? kBom.size() : 0;
    const Name sectionName = makeName(section, utf8_);
    const Name keyName = makeName(key, utf8_);
    const SectionSpan span = findSection(text, start, sectionName, utf8_);

    std::string out;
    if (span.found) {
        const KeySearch k = findKey(text, span.bodyBegin, keyName, utf8_, true);
        if (k.found) {
            // Rewrite in place: keep the line up to its '=', replace the rest of the line.
            out.reserve(text.size() + fileValue.size());
            out.append(text.substr(0, k.info.equals + 1));
            out.append(fileValue);
            out.append(text.substr(k.line.end));
            return out;
        }
        const LineView& after = k.hasLastNonBlank ? k.lastNonBlank : span.header;
        std::string inserted;
        if (after.next == after.end)
            inserted += kEol;  // that line had no line end
        inserted += keyName.fileBytes;
        inserted += '=';
        inserted += fileValue;
        inserted += kEol;
        out.reserve(text.size() + inserted.size());
        out.append(text.substr(0, after.next));
        out.append(inserted);
        out.append(text.substr(after.next));
        return out;
    }
    out.reserve(text.size() + sectionName.fileBytes.size() + keyName.fileBytes.size() +
                fileValue.size() + 10);
    out.append(text);
    if (!out.empty() && out.size() > start && out.back() != '\n' && out.back() != '\r') {
        out += kEol;
    }
    out += '[';
    out += sectionName.fileBytes;
    out += ']';
    out += kEol;
    out += keyName.fileBytes;
    out += '=';
    out += fileValue;
    out += kEol;
    return out;
}

IniFile::IniFile(std::string path, Writer writer)
    : path_(std::move(path)), writer_(std::move(writer)) {
    if (!writer_) {
        writer_ = [](const std::string& p, std::string_view bytes, std::string* error) {
            return writeFileAtomically(p, bytes, error);
        };
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(pathFromUtf8(path_), ec)) {
        state_ = State::Missing;
        return;
    }
    auto bytes = readWholeFile(path_, kMaxFileBytes);
    if (!bytes) {
        state_ = State::Unreadable;
        return;
    }
    state_ = State::Loaded;
    text_ = IniText(std::move(*bytes));
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    auto v = text_.value(section, key);
    return v ? std::move(*v) : std::string(defaultValue);
}

int IniFile::readInteger(std::string_view section, std::string_view key, int defaultValue) const {
    const auto v = text_.value(section, key);
    return v ? toIntegerOr(*v, defaultValue) : defaultValue;
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::sectionExists(std::string_view section) const {
    return text_.hasSection(section);
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const {
    return text_.value(section, key).has_value();
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    if (state_ == State::Unreadable) {
        throw IniWriteError(path_, "the existing file could not be read");
    }
    std::string bytes = text_.withValue(section, key, value);
    if (state_ == State::Loaded && bytes == text_.bytes())
        return;
    std::string error;
    if (!writer_(path_, bytes, &error))
        throw IniWriteError(path_, std::move(error));
    text_ = IniText(std::move(bytes));
    state_ = State::Loaded;
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int value) {
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

}  // namespace vexora::settings

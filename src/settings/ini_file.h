#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vexora::settings {

// A write of a profile file that the platform refused. The message is
// "Unable to write to %s" with the file's path in place of %s.
class IniWriteError : public std::runtime_error {
public:
    IniWriteError(const std::string& path, std::string detail = {});
    // The file that could not be written.
    const std::string& path() const { return path_; }
    // What the platform said (may be empty); not part of what().
    const std::string& detail() const { return detail_; }

private:
    std::string path_;
    std::string detail_;
};

// The text of a profile file (INI layout) in memory, with the lookup and edit rules of the
// Windows profile functions. Nothing is indexed: every lookup walks the text once, so
// memory never grows beyond the text itself, whatever the file holds.
//
// Rules:
// - Lines end with CR LF, LF or a lone CR. Whatever follows a NUL byte on a line is ignored.
// - A line whose first non-blank character is '[' and that holds a ']' opens a section;
//   the name lies between the '[' and the last ']' of the line, blanks trimmed.
// - Any other line holding '=' is a key: name before the first '=', value after it, both
//   trimmed of blanks. Lines before the first section and lines without '=' are ignored.
// - Section and key names compare without regard to case (ASCII and the Windows-1252
//   letters). The first section of a name is the section; later sections of the same name
//   are ignored. Within it, the first line of a key is the key.
// - The bytes are Windows-1252; a file that starts with the UTF-8 byte order mark is UTF-8
//   and stays so when rewritten. Every text going in or out of this class is UTF-8.
//
// Reads go through a small index of the section and key lines built once by the
// constructor; a text with more than indexLimit such lines is not indexed and every read
// walks the text instead (same results, no memory beyond the text).
class IniText {
public:
    // Most section and key lines indexed for reading.
    static constexpr std::size_t kDefaultIndexLimit = 65536;

    IniText() = default;
    explicit IniText(std::string bytes, std::size_t indexLimit = kDefaultIndexLimit);

    // The file's bytes.
    const std::string& bytes() const { return bytes_; }
    // True when the text starts with the UTF-8 byte order mark.
    bool isUtf8() const { return utf8_; }

    // The key's value, or std::nullopt when the section or the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // True when a section of that name exists.
    bool hasSection(std::string_view section) const;
    // True when reads use the index (false for texts over the index limit).
    bool isIndexed() const { return indexed_; }

    // The bytes of the text with the key set to value: the key's line rewritten in place
    // (keeping everything up to its '='), or a line appended after the last non-blank line
    // of the section, or the section appended at the end of the text. New lines end with
    // CR LF. A NUL in value ends it; CR and LF in value become blanks.
    // Throws std::invalid_argument for a key or section name that cannot be written
    // (empty key, '=' in a key, a key starting with '[', CR, LF or NUL in a name).
    std::string withValue(std::string_view section, std::string_view key,
                          std::string_view value) const;

private:
    // A section line: its name, and its key lines [firstKey, endKey) in keys_.
    struct IndexedSection {
        std::uint32_t nameBegin, nameEnd, firstKey, endKey;
    };
    // A key line: its name and its value (byte offsets, blanks trimmed).
    struct IndexedKey {
        std::uint32_t nameBegin, nameEnd, valueBegin, valueEnd;
    };

    void buildIndex(std::size_t indexLimit);

    std::string bytes_;
    bool utf8_ = false;
    bool indexed_ = false;
    std::vector<IndexedSection> sections_;
    std::vector<IndexedKey> keys_;
};

// A profile file on disk: read once when constructed, written through on every write,
// each write replacing the whole file atomically (temporary file + rename).
//
// Reading a missing file, section or key yields the default; so does a file that cannot be
// read or is larger than kMaxFileBytes. Integers are decimal text; a value that is not an
// integer reads as the default. Booleans are written "1" and "0" and read as integers
// (0 false, any other integer true).
class IniFile {
public:
    // Writes bytes over path atomically; false (with *error filled) when refused.
    using Writer =
        std::function<bool(const std::string& path, std::string_view bytes, std::string* error)>;

    // What the constructor found on disk.
    enum class State { Missing, Loaded, Unreadable };

    // Largest file read; a larger file reads as defaults and refuses writes.
    static constexpr std::size_t kMaxFileBytes = 16u * 1024u * 1024u;

    // Opens path (reads it when it exists). writer defaults to writeFileAtomically.
    explicit IniFile(std::string path, Writer writer = {});

    const std::string& path() const { return path_; }
    State state() const { return state_; }
    // The text as it now stands (after the writes of this object).
    const IniText& text() const { return text_; }

    // The key's value, or defaultValue when the section or the key is missing.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // The key's value as an integer; defaultValue when missing or not an integer.
    int readInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // The key read as an integer with 1 or 0 as default; 0 is false, any other integer true.
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;
    // True when the section exists.
    bool sectionExists(std::string_view section) const;
    // True when the key exists in the section.
    bool valueExists(std::string_view section, std::string_view key) const;

    // Sets the key and writes the file at once (created on the first write). A write that
    // changes no byte of the file does not touch the disk. Throws IniWriteError when the
    // platform refuses the write or when the existing file could not be read (it is never
    // overwritten blindly); the object then keeps its previous text.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    // writeString of the decimal text.
    void writeInteger(std::string_view section, std::string_view key, int value);
    // writeString of "1" or "0".
    void writeBool(std::string_view section, std::string_view key, bool value);

private:
    std::string path_;
    Writer writer_;
    State state_ = State::Missing;
    IniText text_;
};

}  // namespace vexora::settings

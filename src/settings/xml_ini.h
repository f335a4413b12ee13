#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/error_report.h"

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi

namespace vexora::settings {

// A fault of the XML key-value store that names its file: a backing file that is not
// well-formed (or cannot be read, is too large or nested too deep), a name that is not an XML name,
// a document that cannot be written.
class XmlIniError : public std::runtime_error {
public:
    XmlIniError(std::string fileName, const std::string& message);
    // The backing file concerned.
    const std::string& fileName() const { return fileName_; }

private:
    std::string fileName_;
};

// TXmlIni (unit UXmlIni): text values addressed by section and key, held in
// one XML document on disk. Each section is a child element of the root, each key an
// attribute of its section element. Lookups are exact and case-sensitive; the first element
// of a name is the section. Sections and keys keep their order; new ones are appended.
// Texts are UTF-8. A written file is indented by two blanks per level with CR LF line ends,
// carries the declaration and the encoding it names (UTF-8 for every document the store
// created), and replaces the old file atomically, after an optional ".xmb" backup copy.
class TXmlIni {
public:
    // Largest backing file read (a topic list is a few kilobytes); a larger one makes the
    // constructor fail.
    static constexpr std::size_t kMaxFileBytes = 4u * 1024u * 1024u;
    // Deepest element nesting accepted (the store itself uses 2: root and sections). A deeper
    // document makes the constructor fail: indenting it on save would grow without bound.
    static constexpr int kMaxDepth = 16;

    // Create(FileName, FileXSL): opens FileName when it exists, else starts a new document
    // (declaration, the "xml-stylesheet" instruction when FileXSL is not empty, root
    // QX_XmlIni). Nothing is written to disk. Throws XmlIniError naming the file when the
    // file exists and is not well-formed XML (or cannot be read).
    explicit TXmlIni(std::string FileName, std::string_view FileXSL = {});
    // Create(): the executable's path with its extension replaced by "_ini.xml".
    TXmlIni();
    // Destroy: saves when modified, then frees the document. A failing save cannot leave a
    // destructor: it is reported to the Reporting given with setReporting (log line of
    // level 1 and, unless CkNoExceptMsg, a message box). Callers that must act on it call
    // Save() first.
    ~TXmlIni();

    TXmlIni(const TXmlIni&) = delete;
    TXmlIni& operator=(const TXmlIni&) = delete;

    // The key's value; Default when the section or the key does not exist. A key present
    // with an empty value reads as the empty string.
    std::string ReadString(std::string_view Section, std::string_view Key,
                           std::string_view Default) const;
    // The key's value as an integer; Default when absent. Throws ConvertError
    // ("'%s' is not a valid integer value") when the value is not an integer.
    int ReadInteger(std::string_view Section, std::string_view Key, int Default) const;
    // ReadInteger with 1 or 0 as default; 0 is false, any other integer true.
    bool ReadBoolean(std::string_view Section, std::string_view Key, bool Default) const;

    // Sets the key in memory, creating the section when needed. Writing the value the key
    // already has (a missing key counts as empty) changes nothing. A NUL in Value ends it.
    // Throws XmlIniError when Section or Key is not a valid XML name, or, in a Windows-1252
    // document, holds a character Windows-1252 lacks (a name cannot carry a reference), and
    // when Value holds a character XML 1.0 cannot (a control character, U+FFFE, U+FFFF) or
    // is not UTF-8; the store is then left unchanged.
    void WriteString(std::string_view Section, std::string_view Key, std::string_view Value);
    // WriteString of the decimal text.
    void WriteInteger(std::string_view Section, std::string_view Key, int Value);
    // WriteInteger of 1 or 0.
    void WriteBoolean(std::string_view Section, std::string_view Key, bool Value);

    // Removes the key and saves at once; true when removed (false on any failure).
    bool DeleteKey(std::string_view Section, std::string_view Key);
    // Removes the section with all its keys and saves at once; true when removed.
    bool DeleteSection(std::string_view Section);
    // True when the section exists. Nothing changes, so the document is not marked modified.
    bool CheckSection(std::string_view Section) const;

    // Writes the document to the backing file when it has unsaved changes (backup first when
    // Backup is on). Throws XmlIniError when the document cannot be written.
    void Save();
    // Makes FileName the backing file, then Save().
    void Save(std::string FileName);

    // Where the destructor reports a save that fails (nullptr: nowhere). Not owned; must
    // outlive the store.
    void setReporting(const Reporting* reporting) { reporting_ = reporting; }

    // Backup property: copy the backing file to ".xmb" before overwriting it.
    bool Backup() const { return FBackup; }
    void setBackup(bool value) { FBackup = value; }

    // Unsaved changes pending.
    bool Modified() const { return FModified; }
    // The backing file.
    const std::string& FileName() const { return FFileName; }
    // The bytes Save() would write now (for tests and tools).
    std::string serialize() const;

    // The default backing file of Create(): executable path with "_ini.xml".
    static std::string defaultFileName();

private:
    // Document encodings the store reads and writes back.
    enum class Encoding : unsigned char { Utf8, Windows1252, Native };

    pugi::xml_node root() const;
    pugi::xml_node findSection(std::string_view Section) const;
    // Throws XmlIniError unless bytes (the Windows-1252 form) parse back as well-formed.
    void requireReadableWindows1252(const std::string& bytes) const;

    bool FModified = false;
    std::string FFileName;
    std::unique_ptr<pugi::xml_document> FXMLDoc;
    bool FBackup = true;
    Encoding encoding_ = Encoding::Utf8;
    int nativeEncoding_ = 0;  // pugi::xml_encoding when encoding_ is Native
    const Reporting* reporting_ = nullptr;
};

}  // namespace vexora::settings

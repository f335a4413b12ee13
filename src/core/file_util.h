#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vexora {

// The program keeps paths as UTF-8 text. These two turn them into the file system's own
// paths and back: on Windows the wide native form (the ANSI code page cannot spell every
// folder name), elsewhere the bytes unchanged. Invalid UTF-8 becomes U+FFFD on Windows.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

// The file-system calls an atomic save is made of, one object per save. The system's
// own are systemSaveSteps(); tests wrap them to fail any step or to change the folder
// between two steps. Every failing call fills why with the system's text.
class SaveSteps {
public:
    virtual ~SaveSteps() = default;
    // Why an existing target must not be replaced (a read-only file); empty when it may.
    virtual std::string refusal(const std::string& target) = 0;
    // Creates temp, which must not exist yet, for writing; a target that exists lends it
    // its permissions.
    virtual bool create(const std::string& temp, const std::string& target, std::string& why) = 0;
    // Writes up to size bytes to the created file: how many were written, 0 on failure.
    virtual std::size_t write(const char* data, std::size_t size, std::string& why) = 0;
    // Puts the written bytes on the disk.
    virtual bool flush(std::string& why) = 0;
    virtual bool close(std::string& why) = 0;
    // Renames from over to, replacing it in one step.
    virtual bool replace(const std::string& from, const std::string& to, std::string& why) = 0;
    // Puts the folder's new entry on the disk (nothing to do where the rename does it).
    virtual bool syncFolder(const std::string& folder, std::string& why) = 0;
    // Removes a file, quietly.
    virtual void remove(const std::string& path) = 0;
};

// The system's save steps: POSIX calls with fsync of the file and of its folder, or on
// Windows CreateFileW, FlushFileBuffers and MoveFileExW with write-through.
std::unique_ptr<SaveSteps> systemSaveSteps();

// Writes bytes to a new temporary file beside path, puts it on the disk and renames it
// over path, so that readers, a crash or a full disk leave the old or the new content,
// never a torn file. A read-only file is not replaced. On failure returns false and fills
// *error, when given, with a message that names path; path and its folder are left as
// they were (the temporary file removed), except when only the folder's sync after the
// rename failed: path then holds the new content.
bool writeFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);
// Same, through the given steps.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                         SaveSteps& steps);

// The file a save's temporary file name stands for: "NQP2016.QXD" for
// "NQP2016.QXD.0a1b2c3d.tmp" (the target's name, a dot, eight lower-case hexadecimal
// digits, ".tmp"); nullopt for any other name.
std::optional<std::string_view> saveTargetOfTemporary(std::string_view fileName);

// Copies a file over another one (created when missing), atomically as above; false
// when it cannot. Files larger than maxBytes are not copied.
bool copyFileReplacing(const std::string& from, const std::string& to,
                       std::size_t maxBytes = std::size_t{1} << 28);

// Reads a whole file, refusing files larger than maxBytes. std::nullopt with *error
// filled when the file cannot be read or is too large.
std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes,
                                         std::string* error = nullptr);

}  // namespace vexora

#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vexora {

// The program keeps paths as UTF-8 text. These two turn them into the file system's own
// paths and back: on Windows the wide native form (the ANSI code page cannot spell every
// folder name), elsewhere the bytes unchanged. Invalid UTF-8 becomes U+FFFD on Windows.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

// Writes bytes to a temporary file beside path, flushes it to disk and renames it
// over path (on Windows MoveFileExW, replacing and writing through), so readers see
// the old or the new content, never a torn file.
// On failure returns false, leaves path untouched and fills *error when given.
bool writeFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

// Copies a file over another one (created when missing); false when it cannot. On
// Windows CopyFileW: GCC 12's MinGW copy_file fails with "File exists" on overwrite.
bool copyFileReplacing(const std::string& from, const std::string& to);

// Reads a whole file, refusing files larger than maxBytes. std::nullopt with *error
// filled when the file cannot be read or is too large.
std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes,
                                         std::string* error = nullptr);

}  // namespace vexora

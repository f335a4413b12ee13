#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vexora {

// Writes bytes to a temporary file beside path, flushes it to disk and renames it
// over path, so readers see the old or the new content, never a torn file.
// On failure returns false, leaves path untouched and fills *error when given.
bool writeFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

// Reads a whole file, refusing files larger than maxBytes. std::nullopt with *error
// filled when the file cannot be read or is too large.
std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes,
                                         std::string* error = nullptr);

}  // namespace vexora

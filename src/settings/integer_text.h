#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vexora::settings {

// A text that should have been an integer and is not; the message is
// "'%s' is not a valid integer value" with the offending text in place of %s.
class ConvertError : public std::runtime_error {
public:
    explicit ConvertError(std::string_view text);
    // The offending text.
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// Strict decimal integer: an optional sign followed by one or more digits, nothing else
// (no blanks, no grouping, no hexadecimal), within the 32-bit range. std::nullopt otherwise.
std::optional<int> parseInteger(std::string_view text);

// parseInteger, throwing ConvertError for a text that is not an integer.
int toInteger(std::string_view text);

// parseInteger with a fallback for a text that is not an integer.
int toIntegerOr(std::string_view text, int fallback);

}  // namespace vexora::settings

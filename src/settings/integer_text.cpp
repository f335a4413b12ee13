#include "settings/integer_text.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace vexora::settings {

namespace {

std::string convertMessage(std::string_view text) {
    std::string m;
    m.reserve(text.size() + 32);
    m += '\'';
    m.append(text);
    m += "' is not a valid integer value";
    return m;
}

}  // namespace

ConvertError::ConvertError(std::string_view text)
    : std::runtime_error(convertMessage(text)), text_(text) {}

std::optional<int> parseInteger(std::string_view text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos == text.size())
        return std::nullopt;
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<int>::max()} + 1;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > kLimit)
            return std::nullopt;  // stops long digit runs early
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

int toInteger(std::string_view text) {
    if (const auto v = parseInteger(text))
        return *v;
    throw ConvertError(text);
}

int toIntegerOr(std::string_view text, int fallback) {
    const auto v = parseInteger(text);
    return v ? *v : fallback;
}

}  // namespace vexora::settings

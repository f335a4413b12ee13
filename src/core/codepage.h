#pragma once

#include <string>
#include <string_view>

namespace vexora {

// Windows-1252 bytes -> UTF-8. Lossless for all 256 byte values: the five bytes
// Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// control code points of the same value.
std::string cp1252ToUtf8(std::string_view bytes);

// UTF-8 -> Windows-1252. Code points with no Windows-1252 byte become '?';
// malformed UTF-8 sequences are taken byte by byte as Windows-1252.
std::string utf8ToCp1252(std::string_view utf8);

// True when every code point of the UTF-8 text has a Windows-1252 byte.
bool fitsCp1252(std::string_view utf8);

// Decodes one UTF-8 code point at pos (advancing it); returns -1 and advances one
// byte on a malformed sequence.
long decodeUtf8(std::string_view text, std::size_t& pos);

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, char32_t cp);

// Number of code points of a UTF-8 text (malformed bytes count one each).
std::size_t utf8Length(std::string_view text);

}  // namespace vexora

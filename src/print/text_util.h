#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "compose/sequence.h"
#include "core/catalogue.h"

namespace vexora::print {

// The text without the blanks and control characters (code 32 and below) at both ends.
std::string_view trimBlanks(std::string_view text);

// The text with its first tab character removed (later ones stay).
std::string withoutFirstTab(std::string_view text);

// Fixed-width field of the answer-key text: aligned right, width fill characters go in
// front and the last width characters stay; aligned left, they go behind and the first
// width characters stay. Widths count characters (UTF-8 code points), not bytes.
std::string PadValue(std::string_view value, int width, char fill, bool alignRight);
std::string PadValue(long long value, int width, char fill, bool alignRight);

// One line of the answer-key text: Scheda | IdMaster/BlkDom in 13 (a longer one whole) |
// position in 2 | Risposta.
std::string keyTextLine(const compose::TCorrettPrint& entry, int position);

// Entry that closes every block of the answer-key text.
inline constexpr std::string_view kKeyBlockSeparator = "\r\n==============\r\n";

// Name of an answer key: "Correttore " + code + " " + label of block 1, and "-" + the
// label of block numCorr when it holds two or more sheets. Block labels are read only
// inside the accumulator: a numCorr beyond it takes the last block's label.
std::string keyName(TModalitaQuiz m, std::span<const compose::TCorrettPrint> accumulator,
                    int numCorr);

// The bytes of the answer-key text file: every entry followed by CR LF, Windows-1252.
std::string keyTextFileBytes(const std::vector<std::string>& entries);

}  // namespace vexora::print

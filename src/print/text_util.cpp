#include "print/text_util.h"

#include <algorithm>

#include "core/codepage.h"

namespace vexora::print {
namespace {

// Byte offset of code point index `count` (the end when the text is shorter).
std::size_t byteOffsetOf(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count && pos < text.size(); ++i)
        decodeUtf8(text, pos);
    return pos;
}

}  // namespace

std::string_view trimBlanks(std::string_view text) {
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string withoutFirstTab(std::string_view text) {
    std::string out(text);
    const std::size_t tab = out.find('\t');
    if (tab != std::string::npos)
        out.erase(tab, 1);
    return out;
}

std::string PadValue(std::string_view value, int width, char fill, bool alignRight) {
    if (width <= 0)
        return {};
    const std::size_t w = static_cast<std::size_t>(width);
    const std::string pad(w, fill);
    if (alignRight) {
        const std::string all = pad + std::string(value);
        const std::size_t length = utf8Length(all);
        return all.substr(byteOffsetOf(all, length - w));
    }
    const std::string all = std::string(value) + pad;
    return all.substr(0, byteOffsetOf(all, w));
}

std::string PadValue(long long value, int width, char fill, bool alignRight) {
    return PadValue(std::to_string(value), width, fill, alignRight);
}

std::string keyTextLine(const compose::TCorrettPrint& entry, int position) {
    std::string line = entry.Scheda;
    line += " | ";
    // The column is 13 wide, but a longer entry (six-digit ids of the ministerial data)
    // is written whole: cut, it would name another question.
    const std::string question = std::to_string(entry.IdMaster) + "/" + entry.BlkDom;
    line += PadValue(question, std::max(13, static_cast<int>(utf8Length(question))), ' ', true);
    line += " | ";
    line += PadValue(position, 2, '0', true);
    line += " | ";
    line += entry.Risposta;
    return line;
}

std::string keyName(TModalitaQuiz m, std::span<const compose::TCorrettPrint> accumulator,
                    int numCorr) {
    const std::size_t n = static_cast<std::size_t>(questionsPerSheet(m));
    const std::size_t blocks = n == 0 ? 0 : accumulator.size() / n;
    const auto label = [&](int block) -> std::string {
        if (blocks == 0)
            return {};
        const std::size_t b = std::clamp<std::size_t>(static_cast<std::size_t>(block), 1, blocks);
        return accumulator[(b - 1) * n].Scheda;
    };
    std::string name = "Correttore ";
    name += categoryCode(m);
    name += ' ';
    name += label(1);
    if (numCorr >= 2) {
        name += '-';
        name += label(numCorr);
    }
    return name;
}

std::string keyTextFileBytes(const std::vector<std::string>& entries) {
    std::string text;
    for (const std::string& entry : entries) {
        text += entry;
        text += "\r\n";
    }
    return utf8ToCp1252(text);
}

}  // namespace vexora::print

#include "compose/sheet_text.h"

#include "data/table_values.h"

namespace vexora::compose {

std::string_view answerLetter(bool risposta) {
    return risposta ? "V" : "F";
}

std::string removeFigureReference(std::string_view text, std::string_view figura) {
    std::string needle = " (";
    needle += figura;
    needle += ')';
    if (text.size() >= needle.size()) {
        // Case folding keeps the byte length of every letter it folds (ASCII and the
        // Windows-1252 letters), so equal-length slices are compared.
        for (std::size_t pos = 0; pos + needle.size() <= text.size(); ++pos) {
            if (text[pos] != ' ' || text[pos + 1] != '(')
                continue;
            if (data::equalsIgnoreCase(text.substr(pos, needle.size()), needle)) {
                std::string out(text.substr(0, pos));
                out += text.substr(pos + needle.size());
                return out;
            }
        }
    }
    return std::string(text);
}

std::string sheetQuestionText(const MasterQuestion& q, bool addInfoText) {
    if (!addInfoText)
        return removeFigureReference(q.Testo, q.Figura);
    std::string text = q.Testo;
    text += " [Ris: ";
    text += answerLetter(q.Risposta);
    text += ", Fig: " + q.Figura;
    text += ", Lb1: " + q.Libro1;
    text += ", Lb2: " + q.Libro2;
    text += ", Blk/Dom: " + q.Blocco + " / " + q.Domanda;
    text += ", Arg: " + q.Indice + "]";
    return text;
}

}  // namespace vexora::compose

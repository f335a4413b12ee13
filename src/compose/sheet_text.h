#pragma once

#include <string>
#include <string_view>

namespace vexora::compose {

// The master fields a sheet slot is filled from, read as text.
struct MasterQuestion {
    std::string Testo;
    bool Risposta = false;
    std::string Figura;
    std::string Libro1;
    std::string Libro2;
    std::string Blocco;
    std::string Domanda;
    std::string Indice;
};

// "V" for a true statement, "F" for a false one.
std::string_view answerLetter(bool risposta);

// The text without its first reference to the figure (a blank, "(", the figure code,
// ")"), found without regard to letter case; the text unchanged when it has none.
std::string removeFigureReference(std::string_view text, std::string_view figura);

// The question text as the sheet prints it: with CkAddInfoText the master text followed
// by its answer, figure, books, block/question and topic in brackets; otherwise the
// master text without its figure reference.
std::string sheetQuestionText(const MasterQuestion& q, bool addInfoText);

}  // namespace vexora::compose

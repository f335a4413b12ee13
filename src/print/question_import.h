#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "data/question_data.h"
#include "importer/question_list.h"

namespace vexora::print {

// One import of a question list into a category of a program folder.
struct ImportRequest {
    std::string folder;  // program folder, with trailing separator
    TModalitaQuiz category = mqNone;
    std::string csvFile;
    std::string picturesFolder;  // pictures to copy (may be empty)
    std::string figuresFolder;   // the program's figures folder (Paths/Figure)
};

// The figures folder a program folder's settings file names (Paths/Figure), or the
// program's default when it names none.
std::string figuresFolderOf(const std::string& programFolder);

// Reads and checks the list and every picture it will copy (that Qt can read it as BMP,
// PNG, GIF or JPEG). Writes nothing.
importer::QuestionList prepareImport(const ImportRequest& request);

// What an import wrote.
struct ImportOutcome {
    std::size_t figuresWritten = 0;
    data::HistoryAlignment history;
    // Why the print history was left as it was (it cannot be read or written); the
    // program brings it in line, or reports it, when it opens the category.
    std::string historyProblem;
};

// Writes a list that prepareImport found without errors: the figures into the figures
// folder as BMP files, then the master and the topic list, then the print history, when
// there is one, brought in line with the new master (marks of the questions still there
// kept by Id, rows of the questions that left dropped). Every file is replaced atomically.
// Throws importer::ImportError naming the file when a figure, the master or the topic
// list cannot be written (figures written before then stay; the master, topic list and
// history are then the old ones).
ImportOutcome commitImport(const ImportRequest& request, const importer::QuestionList& list);

// "Importate N domande ..." for the end of an import.
std::string outcomeSummary(const importer::QuestionList& list, const ImportOutcome& outcome);

// Writes a picture file (BMP, PNG, GIF, JPEG) as a 24-bit BMP file, transparency on white;
// a BMP file is copied as it is. Atomic. False with *why filled on failure.
bool writeFigureAsBmp(const std::string& source, const std::string& target, std::string* why);

}  // namespace vexora::print

#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue.h"
#include "data/question_data.h"
#include "data/table_data.h"
#include "importer/csv_file.h"

namespace vexora::importer {

// Largest list file read; a larger one is refused before it is read (the official AB
// list with its 7,165 statements takes some 1.5 MB).
inline constexpr std::size_t kMaxListFileBytes = 16u * 1024u * 1024u;

// Widths of the master columns an import writes (characters).
inline constexpr int kTestoWidth = 400;
inline constexpr int kFiguraWidth = 8;
inline constexpr int kLibroWidth = 20;
inline constexpr int kBloccoWidth = 5;
inline constexpr int kIndiceWidth = 3;
inline constexpr int kDifficoltaWidth = 2;
// Domanda is copied into the print history's two-character field.
inline constexpr int kMaxDomanda = 99;
// Questions per generated block when the list has no Blocco column.
inline constexpr int kQuestionsPerBlock = 10;

// A fault of a file or folder that stops an import or an export; the message is Italian
// and names the file.
class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One finding about the list, where it was found: line 0 is the file as a whole, column 0
// the line as a whole.
struct Issue {
    int line = 0;
    int column = 0;
    std::string columnName;
    std::string text;
};

// One entry of the topic list an import writes.
struct TopicEntry {
    std::string Testo;
    std::string Indice;
    std::string Argomento;
    std::string SubArgomento;
    int questions = 0;
};

// A figure file to put into the figures folder: source picture and the BMP name there.
struct FigureCopy {
    std::string figure;  // the Figura value
    std::string source;  // file found in the pictures folder
    std::string target;  // "123.bmp", "850n.bmp"
};

// Where an import looks for the figures its list names.
struct FigureSources {
    // Folder of pictures to copy (--figures); empty: copy nothing.
    std::string picturesFolder;
    // The program's figures folder (Paths/Figure): checked for the named figures when no
    // pictures folder is given; empty: not checked.
    std::string figuresFolder;
};

// Everything a read list gives: the master and topic list to write and the report.
struct QuestionList {
    std::string fileName;
    TModalitaQuiz category = mqNone;
    TextEncoding encoding = TextEncoding::Utf8;
    char separator = ';';
    data::TableData master;
    std::vector<TopicEntry> topics;
    std::vector<FigureCopy> figures;
    std::vector<Issue> errors;
    std::vector<Issue> warnings;
    int textsTidied = 0;  // texts whose end blanks or doubled blanks were removed
    bool idsAssigned = false;
    bool topicsFromChapters = false;

    bool ok() const { return errors.empty(); }
};

// The columns of the master an import writes, in file order.
std::vector<data::FieldDef> importedMasterFields();

// Reads and checks a question list for a working category from the bytes of fileName.
// Never throws for a bad list: every problem goes into errors (with line and column) or
// warnings; the master and topics are complete only when ok().
QuestionList readQuestionList(std::string_view bytes, const std::string& fileName,
                              TModalitaQuiz category, const FigureSources& figures);
// The same, reading the file (refused when larger than kMaxListFileBytes or unreadable).
QuestionList readQuestionListFile(const std::string& fileName, TModalitaQuiz category,
                                  const FigureSources& figures);

// The report shown before writing: the file, what was read, then every error and warning,
// one per line, at most maxLines of them.
std::string formatReport(const QuestionList& list, std::size_t maxLines = 500);

// Writes the category's master file and topic list under the catalogue's names in folder
// (with trailing separator), each replaced atomically; when the topic list cannot be
// written, the old master is put back. Throws ImportError naming the file.
void writeCategoryData(const std::string& folder, const QuestionList& list);

// Writes the category's master and topic list of folder as a list file (UTF-8 with BOM,
// ";", CR LF) that readQuestionList reads back to the same master rows and topics. Returns
// the number of questions written. Throws ImportError naming the file.
std::size_t exportQuestionList(const std::string& folder, TModalitaQuiz category,
                               const std::string& csvFile);

// The CSV text of a master and its topics, as exportQuestionList writes it.
std::string questionListCsv(const data::TableData& master, const std::vector<TopicEntry>& topics);

// Reads a topic-list file. Throws ImportError naming the file.
std::vector<TopicEntry> readTopicListFile(const std::string& file);

}  // namespace vexora::importer

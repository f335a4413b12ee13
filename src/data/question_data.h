#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/error_report.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "data/table.h"

namespace vexora::data {

// One topic of the current category's topic list.
struct TArgomento {
    std::string Testo;         // title
    std::string Indice;        // topic code, matched exactly against the tables' Indice
    std::string Argomento;     // topic letter (first character only)
    std::string SubArgomento;  // sub-topic code (first two characters only)
    int RecordTotali = 0;      // master questions of the topic
    int RecordSvolti = 0;      // history rows of the topic printed on a topic sheet
    int RecordErrori = 0;      // carried, always 0
    int Item = 0;              // one-based position in the list
};
using TArrArgomenti = std::vector<TArgomento>;

// The lines of a list box and which of them are selected, without a window; the main
// window shows it and composition reads the selection from it.
struct TopicListModel {
    std::vector<std::string> lines;
    std::vector<bool> selected;

    void clear();
    void add(std::string line);
    std::size_t count() const { return lines.size(); }
    // Selects or deselects a zero-based line (out of range is ignored).
    void select(std::size_t line, bool on = true);
    std::size_t selectedCount() const;
};

// Line of LbArgomenti: the title cut to 45 characters, "..." when it was longer, then
// 70 blanks.
std::string topicListLine(std::string_view title);
// Line of LbCount: "printed/total".
std::string topicCountLine(int printed, int total);
// Field definitions of a new print history, in file order.
std::vector<FieldDef> printHistoryFields();

// What bringing a print history in line with its master changed.
struct HistoryAlignment {
    std::size_t added = 0;    // rows made for master questions the history lacked
    std::size_t dropped = 0;  // rows of questions the master no longer has (or repeated)
    std::size_t updated = 0;  // kept rows whose copied codes followed a changed master
    bool changed() const { return added + dropped + updated > 0; }
};
// Brings history rows in line with a master, matched by Id = IdMaster: the marks of the
// questions still there are kept, with Blocco, Domanda, Risposta, Capitolo, Indice and
// Difficolta copied again from the master; rows of questions that left are dropped; new
// questions get unmarked rows at the end. Throws TableError when a field is missing.
HistoryAlignment alignHistoryWithMaster(const TableData& master, TableData& history);

// The question data of the current category: master table, print history, topic list
// and the two topic list boxes, with the routines that load, count, create, save and
// reset them. One object per program; composition and printing refer to it.
class QuestionData {
public:
    QuestionData(const Reporting& reporting, PlatformServices& platform, const ProgramState& state);
    ~QuestionData();
    QuestionData(const QuestionData&) = delete;
    QuestionData& operator=(const QuestionData&) = delete;

    // Loads the master table from FileName; true when it holds at least one row. A
    // failed load leaves the table closed and empty.
    bool CaricaMaster(const std::string& FileName);
    // Full load of the topic list with counts (SoloConteggio false), or recount of the
    // printed questions of the loaded topics (true); refills the two list boxes.
    bool CaricaArgomenti(const std::string& FileName, bool SoloConteggio);
    // Master rows of a topic; 0 when the master is not open.
    int ContaRecordMaster(std::string_view Indice);
    // History rows of a topic printed on a topic sheet; 0 when the history is not open.
    int ContaRecordSvolti(std::string_view Indice);

    // Loads the print history, creating it from the master first when the file is missing.
    bool CaricaPrintDb(const std::string& FileName);
    // Builds a new print history from the loaded master and saves it under FileName.
    // Leaves no history object behind; on failure leaves no file either.
    bool CreaNuovoPrintDb(const std::string& FileName);
    // Writes the print history to FileName (replacing the file atomically).
    bool SavePrintDb(const std::string& FileName);
    // Clears the topic-sheet marks of every row of a topic; true when a row was cleared.
    bool ResetArgomento(std::string_view Indice);
    // The same, leaving marked the rows of the master questions in keepIdMaster (the
    // questions already on the sheet being composed).
    bool ResetArgomento(std::string_view Indice, const std::vector<int>& keepIdMaster);
    // Clears every exam mark; true when a row was cleared.
    bool ResetEsame();
    // Brings the loaded print history in line with the loaded master: a row is added,
    // unmarked, for every master question the history lacks, and the rows of questions
    // the master no longer has are dropped; a changed history is written to FileName
    // (atomically) and loaded again. True when the history matches the master on return.
    bool AllineaPrintDb(const std::string& FileName);

    // Tables and lists of the current category.
    Table CdsMaster;
    std::unique_ptr<Table> CdsPrint;
    TArrArgomenti Argomenti;
    TopicListModel LbArgomenti;
    TopicListModel LbCount;
    std::string FilePrintr;
    std::string FileArgmnt;
    // The history's record filter, installed on every loaded history (filtering off).
    // Composition sets it; until then the history has no filter.
    FilterRecordEvent printFilter;

    const Reporting& reporting() const { return rep_; }
    PlatformServices& platform() { return platform_; }
    const ProgramState& state() const { return state_; }

    // Lets the windows process events, at most every ~15 ms (long walks call it per row).
    void pumpEventsThrottled();

private:
    // Counts, in one walk of each table, the master rows and the printed history rows
    // of every topic code.
    void countAllTopics(bool masterToo);
    void fillListBoxes();

    const Reporting& rep_;
    PlatformServices& platform_;
    const ProgramState& state_;
    std::uint64_t lastPump_ = 0;
};

}  // namespace vexora::data

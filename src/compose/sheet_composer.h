#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "compose/random_source.h"
#include "compose/sequence.h"
#include "core/catalogue.h"
#include "core/error_report.h"
#include "core/user_interaction.h"
#include "data/question_data.h"
#include "data/table.h"

namespace vexora::compose {

// A set of topic numbers 1 to 31 (bit k stands for topic k; bit 0 is unused).
using TopicSet = std::bitset<32>;

// One printed mark that composition changed in the print history, with what it held
// before: either set for the sheet, or cleared by a topic reset during the sheet.
struct MarkChange {
    std::int64_t rowKey = 0;    // nRec of the row (IdMaster when the history has no nRec)
    std::int64_t idMaster = 0;  // checked again before the change is undone
    std::string dtField;        // "dtEsame", "dtNormali"
    std::string rsField;        // "rsEsame", "rsNormali"
    data::Value oldDt;          // before the change
    data::Value oldRs;
    data::Value newDt;  // after it: the undo applies only while the pair still holds these
    data::Value newRs;
    bool reset = false;  // true: cleared by a topic reset; false: marked as printed
};

// Sheet composition for the current category: the sheet arrays, sheet key arrays and key
// accumulators of the fourteen categories, the print-history record filter, the random
// picker, exam-like and topic composition, and shuffling. Refers to the question data of
// the program; installs its record filter there for every loaded print history.
class SheetComposer {
public:
    // seed: the random generator is seeded once, here.
    SheetComposer(data::QuestionData& qd, const Reporting& reporting, ProgressReporter& progress,
                  std::uint32_t seed);
    // Removes the record filter from the question data.
    ~SheetComposer();
    SheetComposer(const SheetComposer&) = delete;
    SheetComposer& operator=(const SheetComposer&) = delete;

    // ---- state read by the filter and the picker
    // Kind and ordering of the sheet being composed. After changing them directly, call
    // refreshPrintFilter so the history asks the filter again.
    TTipoSequenza TipoSequenza = tsNulla;
    TTipoOrdineSq Ordinamento = toNulla;
    // The slot topic set: topic numbers whose rows the filter lets through.
    TopicSet ArgomentiSlot;
    // IdMaster returned by the previous pick (0 before the first).
    int UltimoRandom = 0;

    // ---- arrays (empty spans for a value that is not a working category)
    std::span<TDomandaPrint> sheet(TModalitaQuiz m);
    std::span<TCorrettPrint> sheetKeys(TModalitaQuiz m);
    // K blocks of N entries gathered by the print job driver; survives across sheets.
    std::span<TCorrettPrint> keyAccumulator(TModalitaQuiz m);
    // Empties every slot and key entry of a category's sheet.
    void clearSheet(TModalitaQuiz m);
    // Empties a category's key accumulator (start of a print run).
    void clearKeyAccumulator(TModalitaQuiz m);
    RandomSource& random() { return random_; }

    // ---- entry, preparation, filter
    // Clears the current category's sheet, stores kind and ordering and composes the
    // sheet; true when it was composed.
    bool CaricaArrayScheda(TTipoSequenza tipoSequenza, TTipoOrdineSq ordinamento);
    // Sets up the history's filter and dispatches to the category's composition.
    bool PredisponiFiltriForPrint();
    // Topic numbers of the selected lines of LbArgomenti; empty (with a report) when the
    // box and the topic array differ in length.
    TopicSet SceltaArgomentiForPrint();
    // Record filter of the print history (installed by the question data).
    void OnFilterRecordPrint(data::Table& table, bool& accept);
    // Asks the history's filter again after TipoSequenza, Ordinamento or the slot topic
    // set changed.
    void refreshPrintFilter();

    // ---- picker
    // Draws a visible history row and returns its IdMaster, leaving the cursor on it;
    // 1 when nothing can be drawn.
    int IndiceDomandaRandom(TTipoSequenza tipoSequenza, bool AncheSvolte, int Escludi);

    // ---- exam-like sheets
    // Slots of the last exam-like sheet whose chapter had no unprinted question left.
    int lastFallbackCount() const { return lastFallbacks_; }
    bool FilterCdsAndLoadArrSimForPrintAB();
    bool FilterCdsAndLoadArrSimForPrintAM();
    // S1 to S7 and C1 to C5; false without composing for any other category.
    bool FilterCdsAndLoadArrSimForPrint(TModalitaQuiz m);

    // ---- topic sheets
    bool FilterCdsAndLoadArrArgForPrintAB();
    bool FilterCdsAndLoadArrArgForPrintAM();
    // S1 to S7 and C1 to C5; false without composing for any other category.
    bool FilterCdsAndLoadArrArgForPrint(TModalitaQuiz m);

    // ---- shuffling
    // Reorders a category's sheet and sheet key array together ("MischiaScheda" + code).
    bool MischiaScheda(TModalitaQuiz m);
    // Uniform shuffle of the first count records of both arrays, pairs kept together.
    void MischiaArray(std::span<TDomandaPrint> first, std::span<TCorrettPrint> second, int count);

    // ---- undoing a sheet that is not printed
    // Marks set and topic resets made in the print history by the last composition, in
    // the order they happened.
    const std::vector<MarkChange>& lastSheetChanges() const { return journal_; }
    // Number of rows the last composition marked as printed.
    std::size_t lastSheetMarkCount() const;
    // Puts every mark the last composition changed back to what it held before (topic
    // resets included). A pair changed since by someone else is left alone. False when
    // the history is no longer the one composed in, or on an error (reported).
    bool UndoLastSheetMarks();
    // The same for the changes of an earlier sheet of this run (a copy of its
    // lastSheetChanges()); a pair a later sheet changed again keeps the later value.
    bool UndoSheetMarks(const std::vector<MarkChange>& changes);

private:
    struct CategoryArrays {
        std::vector<TDomandaPrint> sheet;
        std::vector<TCorrettPrint> keys;
        std::vector<TCorrettPrint> accumulator;
    };
    // Field positions the picker reads, resolved once per composition.
    struct PickFields {
        std::size_t idMaster = 0;
        std::optional<std::size_t> printedDate;  // date field of the kind
    };
    // Cached field position for the record filter, checked by name on every use.
    struct CachedField {
        std::size_t index = 0;
        bool known = false;
    };

    CategoryArrays* arraysOf(TModalitaQuiz m);
    bool composeExam(TModalitaQuiz m);
    bool composeTopics(TModalitaQuiz m);

    PickFields pickFields(data::Table& t, TTipoSequenza kind) const;
    // The picker proper; nullopt when it cannot draw (history closed, nothing visible,
    // a kind without a date field).
    std::optional<int> pick(data::Table& t, const PickFields& f, TTipoSequenza kind,
                            bool ancheSvolte, int escludi);

    std::size_t filterField(const data::Table& t, CachedField& cache, std::string_view name);
    bool topicAccepted(const data::Value& indice) const;

    // Topic composition helpers.
    void applyTopicFilter(data::Table& t, const data::TArgomento& topic);
    // Resets a topic's marks except those of the questions in keepIdMaster (already on
    // the sheet), noting what they held for undo; from then on the topic's printed count
    // in the topic array follows the history.
    bool resetTopic(std::string_view code, const std::vector<int>& keepIdMaster = {});
    // Sets RecordSvolti of the topic's entries in the topic array to the history's count.
    int syncTopicCount(const std::string& code);
    // Field positions a mark reads and writes, resolved once per composition.
    struct MarkFields {
        std::size_t key = 0;  // nRec, or IdMaster when the history has none
        std::size_t idMaster = 0;
        std::size_t dt = 0;
        std::size_t rs = 0;
    };
    MarkFields markFields(const data::Table& t, std::string_view dt, std::string_view rs) const;
    // Marks the current history row in a pair, noting the change for undo.
    void markCurrentRow(data::Table& t, const MarkFields& f);

    data::QuestionData& qd_;
    const Reporting& rep_;
    ProgressReporter& progress_;
    RandomSource random_;
    std::array<CategoryArrays, kWorkingCategoryCount> arrays_;

    std::array<CachedField, 7> filterFields_{};

    int lastFallbacks_ = 0;
    std::vector<MarkChange> journal_;
    const data::Table* journalTable_ = nullptr;
    // Topic codes reset by composition in the history of resetTopicsFile_: their count in
    // the topic array no longer says what the history holds, so the pre-check counts
    // them afresh.
    std::set<std::string> resetTopics_;
    std::string resetTopicsFile_;
};

}  // namespace vexora::compose

#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "compose/sheet_composer.h"
#include "core/error_report.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "data/question_data.h"
#include "print/run_summary.h"
#include "settings/settings_model.h"

namespace vexora::print {

// The two renderer families the print job driver calls. The real implementation prints
// through the report template; tests record the calls.
class SheetRenderers {
public:
    virtual ~SheetRenderers() = default;
    // StampaScheda + code: prints the category's composed sheet under its label in all
    // its copies (or writes its PDF); true on success.
    virtual bool StampaScheda(TModalitaQuiz category, TTipoDiStampa kind,
                              const std::string& label) = 0;
    // StampaCorrettore + code: prints the answer key of the first numCorr accumulator
    // blocks; true on success.
    virtual bool StampaCorrettore(TModalitaQuiz category, int numCorr) = 0;

    // A run of the driver begins: from now on a call may return true with its output
    // still being written (pendingOutputs() grew), at most the returned number pending
    // at once (0: none). settleOldest waits for the oldest pending output and tells
    // whether it was written (a failure is reported there); endRun ends the run.
    virtual std::size_t beginRun() { return 0; }
    virtual std::size_t pendingOutputs() const { return 0; }
    virtual bool settleOldest() { return true; }
    virtual void endRun() {}
    // What the outputs since the last call could not do (failed files, missing figures).
    virtual RunNotices takeRunNotices() { return {}; }
};

// What the user asked for: the texts of the sheet and copy fields and the copies
// spinner's value.
struct PrintRequest {
    std::string sheetsText = "1";
    std::string copiesText = "1";
    int copies = 1;
};

// What a run did.
struct PrintRunResult {
    bool started = false;  // false when the request was ignored (wait cursor showing)
    int requested = 0;     // n
    std::vector<std::string> printedLabels;
    int failedSheets = 0;         // not composed, not shuffled or not printed
    std::vector<int> answerKeys;  // NumCorr of every answer key printed
    int failedAnswerKeys = 0;
    bool interrupted = false;
    bool saved = false;  // print history saved and topics recounted
    bool counterSaveFailed = false;
    bool refusedDuringRun = false;  // another run held the category
    RunNotices notices;             // what the outputs could not do
    bool summaryShown = false;      // the run ended with its summary box
};

// Largest number of sheets of one run: the maximum of the main window's sheet field.
inline constexpr int kMaxSheetsPerRun = 600;

// Label of a printed sheet: "E" or "A" and the counter in three digits.
std::string sheetLabel(TTipoDiStampa kind, int counter);
// "una copia" for one copy, otherwise the copies text + " copie".
std::string copiesText(const PrintRequest& request);
// The same for the output in use: PDF output writes one file per sheet ("un file PDF").
std::string copiesText(const PrintRequest& request, bool pdf);
// The typed sheet count: the text as an integer (1 when it is not one), at most
// kMaxSheetsPerRun.
int sheetCount(const std::string& sheetsText);
// "la scheda stampata" for one sheet, otherwise "le ultime " + n + " schede stampate".
std::string answerKeyText(int sheets);

// AvviaStampaSchede: composes, shuffles, labels and prints the requested sheets of the
// current category with their answer keys, then saves the print history.
//
// Marks follow what was printed: a sheet composed but not printed has its marks undone,
// and the history is saved after every run that printed at least one sheet. Every
// printed sheet gets its answer key: a sheet that fails gives its accumulator block
// back, and the sheets still gathered when the run ends (also by an interruption) get
// theirs. The counters are written to the settings file at the end of every run.
class PrintJobDriver {
public:
    PrintJobDriver(ProgramState& state, const Reporting& reporting, ProgressReporter& progress,
                   PlatformServices& platform, data::QuestionData& data,
                   compose::SheetComposer& composer, SheetRenderers& renderers,
                   const settings::SettingsModel* settings);

    PrintRunResult AvviaStampaSchede(TTipoDiStampa TipoStampa, const PrintRequest& request);

private:
    bool report(int posPar, int posTot, int maxTot, const std::string& title,
                const std::string& info);
    void saveCounters(PrintRunResult& result);
    void counterSaveFailed(PrintRunResult& result, const std::string& what, const std::string& file,
                           const std::string& detail);
    // The box at the end of a run that did not print everything it should have.
    void showSummary(PrintRunResult& result);

    ProgramState& state_;
    const Reporting& rep_;
    ProgressReporter& progress_;
    PlatformServices& platform_;
    data::QuestionData& data_;
    compose::SheetComposer& composer_;
    SheetRenderers& renderers_;
    const settings::SettingsModel* settings_;
};

}  // namespace vexora::print

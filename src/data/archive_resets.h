#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/program_state.h"
#include "data/question_data.h"
#include "settings/settings_model.h"

namespace vexora::data {

// What a reset leaves for the options window (or the main window) to show.
struct ResetResult {
    // The outcome of the reset, as its log line writes it ("True" / "False"). The counter
    // resets are true when a counter was reset; ResetSelectArgs when every selected topic
    // was cleared and saved.
    bool outcome = false;
    // The pressed button is enabled again afterwards, whatever happened.
    bool reenableButton = true;
    // New texts of EdProgArg and EdProgEsa, when the reset changed them.
    std::optional<std::string> topicCounterText;
    std::optional<std::string> examCounterText;
    // The topic lists LbArgomenti / LbCount were recounted and refilled (the selection
    // is gone).
    bool topicListsRefilled = false;
    // The changed print history could not be written to its file (already reported).
    bool historySaveFailed = false;
    // SalvaProgressivi failed (already reported); the counters changed in memory only.
    bool counterSaveFailed = false;
};

// The confirmation question of ResetSelectArgs for a number of selected topics.
std::string resetSelectedQuestion(std::size_t selected);

// The archive resets of the options window, without the window: each acts on the
// current category's counters and print history, writes its level-4 log line and says
// what to refresh. A reset that changes the print history saves it to FilePrintr at
// once (atomically), so a reset the user saw succeed survives a crash or a close
// without printing; a failed save is reported by SavePrintDb and makes the outcome false.
class ArchiveResets {
public:
    ArchiveResets(ProgramState& state, QuestionData& data, const settings::SettingsModel& settings);

    // BtResetPrArg: log line first, then topic counter := 1 and SalvaProgressivi.
    ResetResult BtResetPrArg();
    // BtResetPrEsa: log line first (named "BtResetPrEsaABClick" for every category), then
    // exam counter := 1 and SalvaProgressivi.
    ResetResult BtResetPrEsa();
    // BtResetDbArg: clears the topic marks of every topic of the list (all of them, even
    // after a false result); when all succeeded, topic counter := 1, SalvaProgressivi and
    // a recount. An empty topic list does nothing, without a log line.
    ResetResult BtResetDbArg();
    // BtResetDbEsa: clears every exam mark (ResetEsame); on success exam counter := 1
    // and SalvaProgressivi.
    ResetResult BtResetDbEsa();
    // BtFullReset: rebuilds the category's print history from the master and, on success,
    // resets both counters and recounts. setButtonEnabled(false) is called before the
    // rebuild and setButtonEnabled(true) after it, in every case. A history that cannot be
    // deleted or rebuilt gives the level-1 line "TFormOpzioni.BtFullResetClick() - ...",
    // the outcome false, the old file intact and the old history still loaded. Does
    // nothing but log "False" while no print history is loaded.
    ResetResult BtFullReset(const std::function<void(bool enabled)>& setButtonEnabled = {});
    // BtResetArgSel: ResetSelectArgs when a category is current, then the log line.
    ResetResult BtResetArgSel();
    // ResetSelectArgs (main window): with topics selected in LbArgomenti, asks
    // resetSelectedQuestion and on Yes clears their topic marks in list order, saves the
    // history and recounts. The counters are not touched.
    ResetResult ResetSelectArgs();

private:
    bool categoryCurrent() const;
    // True (and the user told) while a print run holds the category.
    bool refusedDuringRun() const;
    std::string name() const;
    void log(const std::string& line) const;
    void saveCounters(ResetResult& result) const;
    bool saveHistory(ResetResult& result) const;
    void recount(ResetResult& result) const;
    // The full rebuild of BtFullReset's steps 3 and 4; throws on failure after putting
    // the old history back.
    bool rebuildHistory();

    ProgramState& state_;
    QuestionData& data_;
    const settings::SettingsModel& settings_;
};

}  // namespace vexora::data

#include "data/archive_resets.h"

#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "settings/ini_file.h"

namespace vexora::data {
namespace {

// A counter field after its reset shows "1". Filled by count and character: GCC 12 takes
// the assignment of the literal, inlined into the resets, for an overlapping copy
// (-Wrestrict, a false positive at -O3).
void showCounterReset(std::optional<std::string>& counterText) {
    counterText.emplace(1, '1');
}

const char* outcomeText(bool outcome) {
    return outcome ? "True" : "False";
}

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

}  // namespace

std::string resetSelectedQuestion(std::size_t selected) {
    if (selected == 1)
        return "Si desidera resettare l'argomento selezionato?";
    return "Si desidera resettare i " + std::to_string(selected) + " argomenti selezionati?";
}

ArchiveResets::ArchiveResets(ProgramState& state, QuestionData& data,
                             const settings::SettingsModel& settings)
    : state_(state), data_(data), settings_(settings) {}

bool ArchiveResets::refusedDuringRun() const {
    if (!state_.runInProgress())
        return false;
    // The run's marks are only in memory: a reset now would be overwritten by the run's
    // save, or would clear marks the run has not saved yet.
    data_.reporting().ui.messageBox(runInProgressRefusal());
    return true;
}

bool ArchiveResets::categoryCurrent() const {
    return isWorkingCategory(state_.currentCategory);
}

std::string ArchiveResets::name() const {
    return std::string(displayName(state_.currentCategory));
}

void ArchiveResets::log(const std::string& line) const {
    data_.reporting().trace(line, 4);
}

void ArchiveResets::saveCounters(ResetResult& result) const {
    std::string file = settings_.settingsPath();
    std::string detail;
    try {
        settings_.SalvaProgressivi(state_);
        return;
    } catch (const settings::IniWriteError& e) {
        data_.reporting().log.ScriviErrorLog("", 1, e.what());
        file = e.path();
        detail = e.detail();
    } catch (const std::exception& e) {
        data_.reporting().log.ScriviErrorLog("", 1, e.what());
        detail = e.what();
    }
    // The counters stay reset in memory and reach the file with the next save; the user
    // is told whatever CkNoExceptMsg says, as the labels may repeat.
    data_.reporting().ui.messageBox(settings::counterSaveFailedMessage(file, detail));
    result.counterSaveFailed = true;
}

bool ArchiveResets::saveHistory(ResetResult& result) const {
    if (data_.SavePrintDb(data_.FilePrintr))
        return true;
    result.historySaveFailed = true;
    // SavePrintDb reports every failed write itself, naming the file; only a history
    // without a table or a file name is refused silently.
    if (data_.FilePrintr.empty() || !data_.CdsPrint) {
        data_.reporting().error(1, "UDorvel/SavePrintDb - ",
                                "Impossibile salvare il database di stampa\r\nERRORE: ",
                                "il print database non ha un file in cui essere salvato");
    }
    return false;
}

void ArchiveResets::recount(ResetResult& result) const {
    data_.CaricaArgomenti(data_.FileArgmnt, true);
    result.topicListsRefilled = true;
}

ResetResult ArchiveResets::BtResetPrArg() {
    ResetResult result;
    if (refusedDuringRun())
        return result;
    log("TFormOpzioni.BtResetPrArgClick (Reset Num. progressivo Argomento " + name() + ")");
    if (categoryCurrent()) {
        state_.counter(state_.currentCategory, tdsArgomento) = 1;
        showCounterReset(result.topicCounterText);
        saveCounters(result);
        result.outcome = true;
    }
    return result;
}

ResetResult ArchiveResets::BtResetPrEsa() {
    ResetResult result;
    if (refusedDuringRun())
        return result;
    log("TFormOpzioni.BtResetPrEsaABClick (Reset Num. progressivo Esame " + name() + ")");
    if (categoryCurrent()) {
        state_.counter(state_.currentCategory, tdsEsame) = 1;
        showCounterReset(result.examCounterText);
        saveCounters(result);
        result.outcome = true;
    }
    return result;
}

ResetResult ArchiveResets::BtResetDbArg() {
    ResetResult result;
    if (refusedDuringRun())
        return result;
    if (data_.Argomenti.empty())
        return result;
    // The codes first: the walks let the windows process events.
    std::vector<std::string> codes;
    for (const TArgomento& topic : data_.Argomenti)
        codes.push_back(topic.Indice);

    bool outcome = true;
    bool changed = false;
    for (const std::string& code : codes) {
        const bool cleared = data_.ResetArgomento(code);
        outcome = outcome && cleared;
        changed = changed || cleared;
    }
    if (changed && !saveHistory(result))
        outcome = false;
    if (outcome) {
        if (categoryCurrent()) {
            state_.counter(state_.currentCategory, tdsArgomento) = 1;
            showCounterReset(result.topicCounterText);
            saveCounters(result);
            recount(result);
        } else {
            outcome = false;
        }
    }
    result.outcome = outcome;
    log("TFormOpzioni.BtResetDbArgClick (Reset Database Argomento " + name() + ") > " +
        outcomeText(outcome));
    return result;
}

ResetResult ArchiveResets::BtResetDbEsa() {
    ResetResult result;
    if (refusedDuringRun())
        return result;
    bool outcome = data_.ResetEsame();
    if (outcome && !saveHistory(result))
        outcome = false;
    if (outcome) {
        if (categoryCurrent()) {
            state_.counter(state_.currentCategory, tdsEsame) = 1;
            showCounterReset(result.examCounterText);
            saveCounters(result);
        } else {
            outcome = false;
        }
    }
    result.outcome = outcome;
    log("TFormOpzioni.BtResetDbEsaClick (Reset Database Esame " + name() + ") > " +
        outcomeText(outcome));
    return result;
}

bool ArchiveResets::rebuildHistory() {
    namespace fs = std::filesystem;
    const std::string file = data_.FilePrintr;
    // The old file is moved aside rather than deleted, and the old table kept, until the
    // new history is loaded: a rebuild that fails puts both back untouched.
    const std::string aside = file + ".bak";
    const bool hadFile = data_.platform().fileExists(file);
    if (hadFile) {
        std::error_code ec;
        fs::rename(file, aside, ec);
        if (ec)
            throw std::runtime_error("Impossibile cancellare il file " + quoted(file) + ": " +
                                     ec.message());
    }
    std::unique_ptr<Table> previous = std::move(data_.CdsPrint);

    // The file is gone: CaricaPrintDb creates the history from the master and loads it.
    state_.printDatabaseLoaded = data_.CaricaPrintDb(file);
    if (!state_.printDatabaseLoaded) {
        std::string message = "Il print database " + quoted(file) + " non \u00e8 stato ricreato";
        if (hadFile) {
            std::error_code ec;
            fs::rename(aside, file, ec);
            if (ec) {
                message +=
                    "; il file precedente \u00e8 rimasto in " + quoted(aside) + ": " + ec.message();
            }
        }
        data_.CdsPrint = std::move(previous);
        state_.printDatabaseLoaded = data_.CdsPrint && data_.CdsPrint->Active();
        throw std::runtime_error(message);
    }
    previous.reset();
    if (hadFile) {
        std::error_code ignored;  // a stray copy harms nothing; the next rebuild replaces it
        fs::remove(aside, ignored);
    }
    return true;
}

ResetResult ArchiveResets::BtFullReset(const std::function<void(bool enabled)>& setButtonEnabled) {
    ResetResult result;
    if (refusedDuringRun())
        return result;
    bool outcome = false;
    if (state_.printDatabaseLoaded) {
        if (setButtonEnabled)
            setButtonEnabled(false);
        try {
            outcome = rebuildHistory();
            recount(result);
        } catch (const std::exception& e) {
            data_.reporting().error(
                1, "TFormOpzioni.BtFullResetClick() - ",
                "Impossibile ricreare il database delle schede\r\nERRORE: ", e.what());
            outcome = false;
        }
        if (setButtonEnabled)
            setButtonEnabled(true);
    }
    if (outcome) {
        if (categoryCurrent()) {
            state_.counter(state_.currentCategory, tdsArgomento) = 1;
            state_.counter(state_.currentCategory, tdsEsame) = 1;
            showCounterReset(result.topicCounterText);
            showCounterReset(result.examCounterText);
            saveCounters(result);
        } else {
            outcome = false;
        }
    }
    result.outcome = outcome;
    log("TFormOpzioni.BtFullResetClick (Rebuild Database schede " + name() + ") > " +
        outcomeText(outcome));
    return result;
}

ResetResult ArchiveResets::ResetSelectArgs() {
    ResetResult result;
    if (refusedDuringRun())
        return result;
    const TopicListModel& list = data_.LbArgomenti;
    const std::size_t selected = list.selectedCount();
    if (selected == 0)
        return result;
    if (!data_.reporting().ui.askYesNo(resetSelectedQuestion(selected)))
        return result;

    bool outcome = true;
    std::vector<std::string> codes;
    for (std::size_t k = 0; k < list.selected.size(); ++k) {
        if (!list.selected[k])
            continue;
        if (k < data_.Argomenti.size()) {
            codes.push_back(data_.Argomenti[k].Indice);
        } else {
            outcome = false;  // a line without its topic
        }
    }
    bool changed = false;
    for (const std::string& code : codes) {
        const bool cleared = data_.ResetArgomento(code);
        outcome = outcome && cleared;
        changed = changed || cleared;
    }
    if (changed && !saveHistory(result))
        outcome = false;
    recount(result);
    result.outcome = outcome;
    return result;
}

ResetResult ArchiveResets::BtResetArgSel() {
    ResetResult result;
    if (refusedDuringRun())
        return result;
    if (categoryCurrent())
        result = ResetSelectArgs();
    log("TFormOpzioni.BtResetArgSelClick (Reset degli argomenti selezionati " + name() + ")");
    return result;
}

}  // namespace vexora::data

#include "print/print_job_driver.h"

#include <algorithm>
#include <charconv>
#include <deque>
#include <exception>
#include <memory>

#include "print/unsaved_marks.h"
#include "settings/ini_file.h"

namespace vexora::print {
namespace {

// A typed count: the text as an integer, 1 when it is not one.
int countFromText(const std::string& text) {
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    while (first < last && *first == ' ')
        ++first;
    while (last > first && last[-1] == ' ')
        --last;
    if (first < last && *first == '+')
        ++first;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last || first == last)
        return 1;
    return value;
}

}  // namespace

std::string sheetLabel(TTipoDiStampa kind, int counter) {
    const std::string digits = "000" + std::to_string(counter);
    std::string label(kind == tdsEsame ? "E" : "A");
    label += digits.substr(digits.size() - 3);
    return label;
}

std::string copiesText(const PrintRequest& request) {
    return request.copies == 1 ? std::string("una copia") : request.copiesText + " copie";
}

std::string copiesText(const PrintRequest& request, bool pdf) {
    return pdf ? std::string("un file PDF") : copiesText(request);
}

int sheetCount(const std::string& sheetsText) {
    // Clamped before anything is computed from it (the progress total is (n + 3) * 10).
    return std::min(countFromText(sheetsText), kMaxSheetsPerRun);
}

std::string answerKeyText(int sheets) {
    return sheets == 1 ? std::string("la scheda stampata")
                       : "le ultime " + std::to_string(sheets) + " schede stampate";
}

PrintJobDriver::PrintJobDriver(ProgramState& state, const Reporting& reporting,
                               ProgressReporter& progress, PlatformServices& platform,
                               data::QuestionData& data, compose::SheetComposer& composer,
                               SheetRenderers& renderers, const settings::SettingsModel* settings)
    : state_(state),
      rep_(reporting),
      progress_(progress),
      platform_(platform),
      data_(data),
      composer_(composer),
      renderers_(renderers),
      settings_(settings) {}

bool PrintJobDriver::report(int posPar, int posTot, int maxTot, const std::string& title,
                            const std::string& info) {
    return progress_.Progress(posPar, posPar >= 0 ? 100 : -1, posTot, maxTot, title, info);
}

void PrintJobDriver::saveCounters(PrintRunResult& result) {
    if (!settings_)
        return;
    try {
        settings_->SalvaProgressivi(state_);
    } catch (const settings::IniWriteError& e) {
        counterSaveFailed(result, e.what(), e.path(), e.detail());
    } catch (const std::exception& e) {
        counterSaveFailed(result, e.what(), settings_->settingsPath(), e.what());
    }
}

void PrintJobDriver::counterSaveFailed(PrintRunResult& result, const std::string& what,
                                       const std::string& file, const std::string& detail) {
    // Logged as every settings write error is, and always told: the labels of this run
    // would be handed out again after a restart.
    rep_.log.ScriviErrorLog("", 1, what);
    rep_.ui.messageBox(settings::counterSaveFailedMessage(file, detail));
    result.counterSaveFailed = true;
}

void PrintJobDriver::showSummary(PrintRunResult& result) {
    result.notices = renderers_.takeRunNotices();
    RunSummary run;
    run.requested = result.requested;
    run.printedLabels = result.printedLabels;
    run.failedSheets = result.failedSheets;
    run.printedKeys = static_cast<int>(result.answerKeys.size());
    run.failedKeys = result.failedAnswerKeys;
    run.interrupted = result.interrupted;
    run.historySaved = result.saved;
    run.historyFile = data_.FilePrintr;
    run.notices = result.notices;
    if (!run.notices.missingFigures.empty()) {
        std::string line = "TFormStampe.AvviaStampaSchede - Figure non trovate:";
        for (const std::string& f : run.notices.missingFigures)
            line += " " + f;
        rep_.log.ScriviErrorLog("", 1, line);
    }
    if (!needsRunSummary(run))
        return;
    // Shown whatever CkNoExceptMsg says: the log is hidden, and it may be the log that
    // could not be written.
    const std::string text = runSummaryMessage(run);
    std::string line = text;
    for (std::size_t at = line.find("\r\n"); at != std::string::npos; at = line.find("\r\n", at))
        line.replace(at, 2, " | ");
    rep_.log.ScriviErrorLog("", 1, "TFormStampe.AvviaStampaSchede - " + line);
    rep_.ui.messageBox(text);
    result.summaryShown = true;
}

PrintRunResult PrintJobDriver::AvviaStampaSchede(TTipoDiStampa TipoStampa,
                                                 const PrintRequest& request) {
    PrintRunResult result;
    UserInteraction& ui = rep_.ui;
    if (ui.waitCursor())
        return result;  // a topic list is being loaded or counted
    if (state_.runInProgress()) {
        // A second run from inside the first one's message processing would mark and
        // save the same tables twice.
        result.refusedDuringRun = true;
        return result;
    }
    result.started = true;

    const TModalitaQuiz m = state_.currentCategory;
    const bool working = isWorkingCategory(m);
    // The run holds its category until its last save: category switches, resets and
    // settings saves are refused meanwhile.
    struct HoldCategory {
        ProgramState& state;
        ~HoldCategory() { state.runCategory = mqNone; }
    } hold{state_};
    if (working)
        state_.runCategory = m;
    const bool exam = TipoStampa == tdsEsame;
    const int n = sheetCount(request.sheetsText);
    const int keyCapacity = working ? sheetsPerKey(m) : 1;
    const int slots = working ? questionsPerSheet(m) : 0;
    result.requested = n;

    if (working)
        composer_.clearKeyAccumulator(m);
    rep_.trace("TFormStampe.AvviaStampaSchede >>");
    progress_.ProgressReset();
    ui.setWaitCursor(true);
    struct CursorBack {
        UserInteraction& ui;
        ~CursorBack() { ui.setWaitCursor(false); }
    } cursorBack{ui};

    const std::string none = "-1";
    bool interrupted =
        progress_.Progress(0, 100, 0, (n + 3) * 10, progressTitle(m, TipoStampa), none);
    // Outputs still being written when their call returned (PDF files drawn on worker
    // threads) are settled oldest first, each as if its call had just returned. A sheet
    // counts towards its answer key as soon as it is handed over, so the key follows its
    // last sheet as it always has; the renderers write a key only when every sheet that
    // was pending when it was made has been written. When one of them is not, the keys
    // after it are void and their sheets are keyed again with the following ones.
    struct SheetOut {
        std::string label;
        std::vector<compose::TCorrettPrint> keys;
        bool failed = false;
    };
    using SheetRef = std::shared_ptr<SheetOut>;
    struct KeyOut {
        int numCorr = 0;
        std::vector<SheetRef> sheets;
        bool voided = false;
    };
    struct InFlight {
        SheetRef sheet;  // or key
        std::vector<compose::MarkChange> marks;
        std::shared_ptr<KeyOut> key;
    };
    std::deque<InFlight> inFlight;
    std::deque<SheetRef> unkeyed;  // printed or pending sheets waiting for their key
    const std::size_t pendingLimit = renderers_.beginRun();
    struct EndRun {
        SheetRenderers& renderers;
        ~EndRun() { renderers.endRun(); }
    } endRun{renderers_};

    auto settleKey = [&](int numCorr, bool printed) {
        if (printed) {
            result.answerKeys.push_back(numCorr);
        } else {
            ++result.failedAnswerKeys;
        }
    };
    // The answer key of the first `count` sheets waiting for one. Printed sheets are
    // marked in the history: their key is produced even when the run is being interrupted.
    auto printAnswerKey = [&](std::size_t count) {
        auto key = std::make_shared<KeyOut>();
        key->numCorr = static_cast<int>(count);
        auto acc = composer_.keyAccumulator(m);
        for (std::size_t j = 0; j < count; ++j) {
            const SheetRef& sheet = unkeyed.front();
            const std::size_t base = j * static_cast<std::size_t>(slots);
            for (std::size_t k = 0; k < sheet->keys.size() && base + k < acc.size(); ++k) {
                acc[base + k] = sheet->keys[k];
                acc[base + k].Scheda = sheet->label;
            }
            key->sheets.push_back(sheet);
            unkeyed.pop_front();
        }
        interrupted = report(100, -1, -1, none,
                             "Stampa per " + answerKeyText(key->numCorr) + ", in corso...") ||
                      interrupted;
        const std::size_t before = renderers_.pendingOutputs();
        const bool printed = renderers_.StampaCorrettore(m, key->numCorr);
        if (printed && renderers_.pendingOutputs() > before) {
            inFlight.push_back({nullptr, {}, key});
        } else {
            settleKey(key->numCorr, printed);
        }
    };
    auto keyFullBlocks = [&] {
        while (unkeyed.size() >= static_cast<std::size_t>(keyCapacity))
            printAnswerKey(static_cast<std::size_t>(keyCapacity));
    };
    auto settleOldest = [&] {
        InFlight f = std::move(inFlight.front());
        inFlight.pop_front();
        const bool written = renderers_.settleOldest();
        if (f.key) {
            // A void key was not written; its sheets are already waiting again.
            if (!f.key->voided)
                settleKey(f.key->numCorr, written);
            return;
        }
        if (written) {
            result.printedLabels.push_back(f.sheet->label);
            return;
        }
        ++result.failedSheets;
        composer_.UndoSheetMarks(f.marks);
        f.sheet->failed = true;
        // Every key made while this sheet was pending is void: its sheets, in order, wait
        // again before those not yet keyed, and the blocks are made up afresh.
        std::deque<SheetRef> waiting;
        for (InFlight& g : inFlight) {
            if (g.key && !g.key->voided) {
                g.key->voided = true;
                waiting.insert(waiting.end(), g.key->sheets.begin(), g.key->sheets.end());
            }
        }
        waiting.insert(waiting.end(), unkeyed.begin(), unkeyed.end());
        unkeyed.clear();
        for (SheetRef& sheet : waiting) {
            if (!sheet->failed)
                unkeyed.push_back(std::move(sheet));
        }
        keyFullBlocks();
    };

    for (int i = 1; i <= n; ++i) {
        if (progress_.Interruzione())
            interrupted = true;
        bool ok = false;
        bool composed = false;
        const std::string index =
            n == 1 ? std::string("1") : std::to_string(i) + " di " + std::to_string(n);
        const std::string preparing = "Preparazione della scheda n. " + index + ", attendere...";
        const std::string reordering = "Ricombinazione dell'ordinamento delle domande... ";

        if (!interrupted)
            interrupted = report(exam ? 25 : 5, -1, -1, none, preparing);
        if (!interrupted) {
            ok = exam ? composer_.CaricaArrayScheda(compose::tsEsame, compose::toNulla)
                      : composer_.CaricaArrayScheda(compose::tsNormale, compose::toArgomentoMista);
            composed = true;
        }
        if (!interrupted)
            interrupted = report(exam ? 70 : 75, i * 10, -1, none, reordering);
        if (!interrupted && ok &&
            (exam ? rep_.switches.CkRandomEsame : rep_.switches.CkRandomArgom)) {
            ok = composer_.MischiaScheda(m);
        }
        if (!interrupted)
            interrupted = report(exam ? 80 : 85, exam ? i * 10 : -1, -1, none, none);

        bool printed = false;
        if (ok) {
            int& counter = state_.counter(m, TipoStampa);
            const std::string label = sheetLabel(TipoStampa, counter);
            counter = counter >= 999 ? 1 : counter + 1;
            const auto keys = composer_.sheetKeys(m);

            if (progress_.Interruzione())
                interrupted = true;
            if (!interrupted) {
                interrupted =
                    report(100, -1, -1, none,
                           "Avvio stampa per " + copiesText(request, rep_.switches.CkStampaSuPdf) +
                               " della scheda " + label + " in corso...");
            }
            bool pending = false;
            if (!interrupted) {
                const std::size_t before = renderers_.pendingOutputs();
                printed = renderers_.StampaScheda(m, TipoStampa, label);
                pending = printed && renderers_.pendingOutputs() > before;
            }
            if (printed) {
                auto sheet = std::make_shared<SheetOut>();
                sheet->label = label;
                sheet->keys.assign(keys.begin(), keys.end());
                if (pending) {
                    inFlight.push_back({sheet, composer_.lastSheetChanges(), nullptr});
                } else {
                    result.printedLabels.push_back(label);
                }
                unkeyed.push_back(std::move(sheet));
                keyFullBlocks();
            }
        } else if (!interrupted) {
            report(100, -1, -1, none, "ERRORE sulla scheda n. " + index + ", non stampata...");
        }

        if (!printed) {
            ++result.failedSheets;
            if (composed)
                composer_.UndoLastSheetMarks();
            if (!ok) {
                platform_.beep(440, 10);
                progress_.Delay(500);
            }
        }
        while (inFlight.size() > pendingLimit)
            settleOldest();
        if (!interrupted && i == n && !unkeyed.empty())
            printAnswerKey(unkeyed.size());

        ui.processEvents();
        if (progress_.escapeHeld())
            interrupted = true;
        if (interrupted)
            break;
    }
    // Interrupted, or keys made void at the end: what is left gets its key now.
    do {
        while (!inFlight.empty())
            settleOldest();
        if (!unkeyed.empty())
            printAnswerKey(std::min(unkeyed.size(), static_cast<std::size_t>(keyCapacity)));
    } while (!inFlight.empty() || !unkeyed.empty());
    result.interrupted = interrupted;

    // Saved even when the file went away during the run: the table holds every row.
    if (!result.printedLabels.empty()) {
        result.saved = data_.SavePrintDb(data_.FilePrintr);
        // With CkNoExceptMsg SavePrintDb only logs: the user is told all the same, or the
        // printed questions would come back on later sheets without a word.
        if (!result.saved && rep_.switches.CkNoExceptMsg)
            rep_.ui.messageBox(unsavedMarksMessage(data_.FilePrintr, result.printedLabels));
        report(100, (n + 1) * 10, -1, none,
               "Salvataggio database di stampa e riconteggio domande...");
        data_.CaricaArgomenti(data_.FileArgmnt, true);
        if (!interrupted)
            progress_.ProgressFull();
    }
    saveCounters(result);
    if (progress_.visible())
        progress_.close();
    showSummary(result);
    return result;
}

}  // namespace vexora::print

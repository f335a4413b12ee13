// vexora-batch: the headless front end of Vexora. It starts like the program (settings,
// run log, category opening with the exam reset), runs the print job driver with a
// terminal progress display, and saves at the end what the program saves at shutdown.

#include <QGuiApplication>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "batch_options.h"
#include "compose/sheet_composer.h"
#include "core/error_report.h"
#include "core/folder_lock.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/run_log.h"
#include "data/category_opening.h"
#include "data/program_lifecycle.h"
#include "data/question_data.h"
#include "print/print_job_driver.h"
#include "print/report_renderers.h"
#include "print/sheet_printer.h"
#include "print/unsaved_marks.h"
#include "report/report_output.h"
#include "report/report_project.h"
#include "settings/settings_model.h"
#include "terminal_progress.h"

namespace {

using namespace vexora;
namespace fs = std::filesystem;

enum ExitCode { kAllPrinted = 0, kNothing = 1, kUsage = 2, kPartial = 3 };

// Ctrl+C sets this; the run sees it at its next check, as the "Interrompi" button. A
// signal handler can reach nothing but a flag of static storage.
std::atomic<bool> gInterruptRequest{false};

extern "C" void onInterrupt(int) {
    gInterruptRequest.store(true);
}

// Output files of the program folder with their modification times.
std::map<std::string, fs::file_time_type> outputFiles(const fs::path& folder) {
    std::map<std::string, fs::file_time_type> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (!e.is_regular_file(ec))
            continue;
        const std::string ext = e.path().extension().string();
        if (ext == ".pdf" || ext == ".txt" || ext == ".PDF" || ext == ".TXT") {
            files[e.path().string()] = e.last_write_time(ec);
        }
    }
    return files;
}

int run(const batch::BatchOptions& opt, int argc, char** argv) {
    const std::string folder = withTrailingSeparator(
        opt.folder.empty() ? executableFolder() : fs::absolute(opt.folder).string());
    if (!fs::is_directory(folder)) {
        std::fprintf(stderr, "vexora-batch: la cartella %s non esiste\n", folder.c_str());
        return kUsage;
    }
    // One program per folder: two would interleave their saves of the same history.
    const FolderLock lock(folder);
    if (lock.state() == FolderLock::State::InUse) {
        std::fprintf(stderr, "vexora-batch: %s\n", lock.refusalMessage().c_str());
        return kNothing;
    }
    lock.removeLeftoverTemporaries();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);

    SystemPlatform platform;
    Switches switches;
    ProgramState state(folder);
    RunLog log(platform, folder, switches);
    batch::TerminalProgress ui(stderr, ::isatty(STDERR_FILENO) != 0, gInterruptRequest);
    // Errors the program would only log (CkNoExceptMsg) are shown as well: without a
    // window, stderr is where the user looks.
    log.setEcho(
        [&ui](std::uint8_t level, std::string_view message) { ui.logEntry(level, message); });
    Reporting reporting{log, switches, ui};
    const std::string settingsFile = folder + "Vexora.ini";
    settings::SettingsModel settingsModel(settingsFile, log);
    settings::MainWindowValues window;
    data::startProgram(settingsModel, state, switches, window, log, {}, data::programTitle());

    // Options of this run only: the settings file never sees them.
    if (opt.pdf)
        switches.CkStampaSuPdf = true;
    if (opt.printer)
        switches.CkStampaSuPdf = false;
    if (opt.keyText)
        switches.CkSaveCorrTxt = true;

    data::QuestionData qd(reporting, platform, state);
    const auto seed = opt.seed.value_or(
        static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    compose::SheetComposer composer(qd, reporting, ui, seed);

    state.currentCategory = opt.category;
    state.currentKind = opt.kind;
    const data::CategoryOpening opened = data::InitAndCountDb(state, qd);
    const bool possible = opt.kind == tdsEsame ? opened.examPossible : opened.topicPossible;

    int code = kNothing;
    std::vector<std::string> closingErrors;  // saves that failed, for the closing report
    std::string summary;
    if (!possible) {
        const data::CategoryFiles files = data::locateCategoryFiles(opt.category, state, platform);
        std::fprintf(stderr,
                     "vexora-batch: la categoria %s non si pu\u00f2 aprire per le schede %s "
                     "(master %s: %s, storico %s: %s, argomenti %s: %s); vedere i messaggi "
                     "sopra e l'ErrorLog in %s\n",
                     std::string(displayName(opt.category)).c_str(),
                     opt.kind == tdsEsame ? "tipo esame" : "per argomento", files.master.c_str(),
                     opened.masterLoaded ? "ok" : "non caricato", files.printHistory.c_str(),
                     opened.printLoaded ? "ok" : "non caricato", files.topicList.c_str(),
                     opened.topicPossible ? "ok" : "non caricati", folder.c_str());
    } else {
        bool topicsOk = true;
        for (int t : opt.topics) {
            if (static_cast<std::size_t>(t) > qd.LbArgomenti.count()) {
                std::fprintf(stderr,
                             "vexora-batch: la lista ha %zu argomenti, non c'\u00e8 il %d\n",
                             qd.LbArgomenti.count(), t);
                topicsOk = false;
            } else {
                qd.LbArgomenti.select(static_cast<std::size_t>(t - 1));
            }
        }
        if (!topicsOk) {
            code = kUsage;
        } else {
            report::ReportProject project;
            report::ReportOutput output;
            print::SheetPrinter printer(state, reporting, platform, ui, composer, project, output);
            const std::string printerName = opt.printer.value_or(window.printer);
            if (!switches.CkStampaSuPdf)
                printer.selectPrinter(QString::fromStdString(printerName));

            if (switches.CkStampaSuPdf && opt.copies > 1) {
                std::fprintf(stderr,
                             "vexora-batch: in PDF si scrive un file per scheda; --copies %d non "
                             "si applica\n",
                             opt.copies);
            }
            print::ReportRenderers renderers(printer, opt.copies);
            print::PrintJobDriver driver(state, reporting, ui, platform, qd, composer, renderers,
                                         &settingsModel);
            print::PrintRequest request;
            request.sheetsText = std::to_string(opt.sheets);
            request.copiesText = std::to_string(opt.copies);
            request.copies = opt.copies;

            const auto before = outputFiles(folder);
            std::signal(SIGINT, onInterrupt);
            const print::PrintRunResult r = driver.AvviaStampaSchede(opt.kind, request);
            std::signal(SIGINT, SIG_DFL);

            for (const auto& [path, time] : outputFiles(folder)) {
                const auto it = before.find(path);
                if (it == before.end() || it->second != time)
                    std::printf("%s\n", path.c_str());
            }
            if (!r.printedLabels.empty() && !r.saved) {
                const std::string m = print::unsavedMarksMessage(qd.FilePrintr, r.printedLabels);
                closingErrors.push_back(m.substr(0, m.find('\r')));
            }
            summary = "Schede stampate: " + std::to_string(r.printedLabels.size()) + " di " +
                      std::to_string(r.requested) +
                      "; correttori: " + std::to_string(r.answerKeys.size()) + "; storico " +
                      (r.saved ? "salvato" : "non salvato") +
                      (r.interrupted ? "; esecuzione interrotta" : "");
            if (r.printedLabels.empty()) {
                code = opt.sheets == 0 && !r.interrupted ? kAllPrinted : kNothing;
            } else if (r.interrupted || static_cast<int>(r.printedLabels.size()) < r.requested ||
                       r.failedAnswerKeys > 0 || !r.saved) {
                code = kPartial;
            } else {
                code = kAllPrinted;
            }
        }
    }

    // What the program saves when its main window closes, but the position of a window
    // this program does not have.
    try {
        data::shutdownProgram(settingsModel, state, switches, window,
                              settings::WindowPosition::Leave);
    } catch (const std::exception& e) {
        reporting.error(1, "", "", e.what());
        closingErrors.push_back("Il file delle impostazioni \"" + settingsFile +
                                "\" non \u00e8 stato salvato: i contatori delle schede stampate "
                                "non risultano nel file (" +
                                e.what() + ")");
        if (code == kAllPrinted)
            code = kPartial;
    }
    // A save that failed opens the closing report: the run's sheets are printed, but what
    // records them is not on disk.
    for (const std::string& line : closingErrors)
        std::fprintf(stderr, "vexora-batch: ERRORE: %s\n", line.c_str());
    if (!summary.empty())
        std::fprintf(stderr, "%s\n", summary.c_str());
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    batch::BatchOptions opt;
    try {
        opt = batch::parseBatchOptions(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexora-batch: %s\n\n%s", e.what(), batch::batchUsage().c_str());
        return kUsage;
    }
    if (opt.help) {
        std::fputs(batch::batchUsage().c_str(), stdout);
        return 0;
    }
    try {
        return run(opt, argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexora-batch: errore imprevisto: %s\n", e.what());
        return kNothing;
    } catch (...) {
        std::fprintf(stderr, "vexora-batch: errore imprevisto\n");
        return kNothing;
    }
}

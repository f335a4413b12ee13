#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "compose/sheet_composer.h"
#include "core/catalogue.h"
#include "core/error_report.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/user_interaction.h"
#include "print/figure_cache.h"
#include "print/output_queue.h"
#include "print/run_summary.h"
#include "print/sheet_layout.h"
#include "report/printer_device.h"
#include "report/report_output.h"
#include "report/report_project.h"

namespace vexora::print {

// Name of the report template in the program folder.
inline constexpr std::string_view kTemplateFileName = "Vexora.rav";
// Windows RGB value of the colour that highlights a false answer's text (red).
inline constexpr std::uint32_t kHighlightRgb = 255;

// Where an output file goes without replacing an earlier one: stem + extension when no
// file is there, otherwise the first free stem + " (2)" + extension, " (3)" ... (a
// counter that restarts gives the same names again).
std::string freeOutputPath(PlatformServices& platform, const std::string& stem,
                           std::string_view extension);

// The sheet and answer-key renderers of the fourteen categories (StampaSchedaAB ..
// StampaSchedaC5, StampaCorrettoreAB .. StampaCorrettoreC5), written once and driven by
// the category's SheetLayout. Each call configures the one output controller, opens the
// template, fills the category's report from the composer's arrays and runs it to the
// printer or a PDF file, then closes the template whatever happened, so the next call
// starts from the template as stored.
class SheetPrinter {
public:
    // Installs the event pump on the output controller, so that "Interrompi" is seen
    // between the pages of a running job; the destructor removes it.
    SheetPrinter(const ProgramState& state, const Reporting& reporting, PlatformServices& platform,
                 ProgressReporter& progress, compose::SheetComposer& composer,
                 report::ReportProject& project, report::ReportOutput& output);
    ~SheetPrinter();
    SheetPrinter(const SheetPrinter&) = delete;
    SheetPrinter& operator=(const SheetPrinter&) = delete;

    // Chooses the printer by name (the settings' "Stampante"); empty: the system's
    // default printer. Needs a QGuiApplication. Without a call, the first printer run
    // selects the default printer.
    void selectPrinter(const QString& printerName);
    // The printer device in use; nullptr before one was selected.
    report::PrinterDevice* printer() { return printer_.get(); }
    // The print-setup dialog the window program shows before a printer run (unless
    // CkNoPrntSetup removed the option). Headless programs install none: no dialog.
    void setPrintSetupHook(report::PrintSetupHook hook);

    // StampaScheda + code of the current category: prints (or writes as PDF) the
    // composed sheet labelled `label` in `copies` copies. True when the report ran to
    // the end; false when it could not (reported) or was cancelled.
    bool StampaScheda(TTipoDiStampa kind, std::string_view label, int copies);
    bool StampaScheda(TModalitaQuiz m, TTipoDiStampa kind, std::string_view label, int copies);

    // StampaCorrettore + code of the current category: the answer key of the first
    // numCorr blocks of the key accumulator; `copies` unless CkUnSoloCorrettore asks
    // for one; always one-sided. With CkSaveCorrTxt also the text file.
    bool StampaCorrettore(int numCorr, int copies);
    bool StampaCorrettore(TModalitaQuiz m, int numCorr, int copies);

    // Figure path of S1 .. C5 for the current category (empty for AB and AM).
    std::string GetFiguraSUP(std::string_view figura);

    // Full path of the template the renderers open.
    std::string templatePath() const;

    // A print run of the job driver: from beginRun to endRun, PDF files may be drawn and
    // written on worker threads after the call that made them returned true, at most
    // the returned number at once (0: every call finishes its output). The driver
    // settles each pending output, oldest first, with settleOldest.
    std::size_t beginRun();
    std::size_t pendingOutputs() const { return pendingReports_.size(); }
    // Waits for the oldest pending output; false when it was not written (reported here
    // as the call that made it would have).
    bool settleOldest();
    // Settles whatever is still pending and finishes every output in its call again.
    void endRun();
    // What the outputs since beginRun (or the last call) could not do.
    RunNotices takeRunNotices();

private:
    // routine: the renderer's name for the log line of an output file that had to take
    // a free name.
    void setUpOutput(const std::string& outputName, int copies, bool twoSided,
                     const std::string& routine);
    // A free path for an output file (freeOutputPath), logged when it is not the plain one.
    std::string outputPath(const std::string& stem, std::string_view extension,
                           const std::string& routine);
    const report::Report* openTemplate(const std::string& reportName, bool twoSided);
    void placeFigure(TModalitaQuiz m, const SheetLayout& layout, const compose::TDomandaPrint& slot,
                     const report::Component& image);
    void missingFigureWarning(const SheetLayout& layout, const std::string& path);
    // A sheet or key not written: gathered for the run's summary and shown at once.
    void outputFailed(const std::string& what, const std::string& error);
    // Writes `before` (the key's text file) and runs the filled report, or queues both
    // when outputs may stay pending; reportFailure then reports a failure found later.
    bool runAndClose(std::function<void(const std::string&)> reportFailure,
                     OutputQueue::Role role = OutputQueue::Role::Sheet,
                     std::vector<OutputQueue::ExtraFile> before = {});
    void closeTemplate() noexcept;

    const ProgramState& state_;
    const Reporting& rep_;
    PlatformServices& platform_;
    ProgressReporter& progress_;
    compose::SheetComposer& composer_;
    report::ReportProject& project_;
    report::ReportOutput& output_;
    std::unique_ptr<report::PrinterDevice> printer_;
    // Figures decoded and fitted once per run (each call outside a run is one).
    FigureCache figures_;
    RunNotices notices_;
    bool inRun_ = false;
    bool pipelined_ = false;
    std::unique_ptr<OutputQueue> queue_;
    std::deque<std::function<void(const std::string&)>> pendingReports_;
};

}  // namespace vexora::print

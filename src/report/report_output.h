#pragma once

#include <QString>

#include <QByteArray>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "report/page_renderer.h"
#include "report/pdf_fonts.h"
#include "report/printer_device.h"
#include "report/run_values.h"
#include "report/template_model.h"

namespace vexora::report {

// Where a run goes (DefaultDest).
enum class Destination { Printer, File };
// What turns a run into a file (RenderObject): nothing, or the PDF renderer.
enum class Renderer { None, Pdf };
// Setup options (SystemSetups), a set of flags.
enum SystemSetup : unsigned {
    // Show the print-setup dialog before a printer run.
    ssAllowSetup = 1u << 0,
};
using SetupOptions = unsigned;
// Units the controller reports for the printer (fixed).
enum class DisplayUnit { Inch, Millimetre, Centimetre, Point };

// The output controller: one object for the whole program, configured again by
// every renderer call and attached to the template as the engine that runs its
// reports. A run goes to the printer device or to a PDF file; it can be cancelled
// between pages with Abort.
class ReportOutput {
public:
    ReportOutput();

    Destination DefaultDest() const { return dest_; }
    void SetDefaultDest(Destination dest) { dest_ = dest; }
    Renderer RenderObject() const { return renderer_; }
    void SetRenderObject(Renderer renderer) { renderer_ = renderer; }
    // Printer output always uses the printer's own driver; the flag is kept as set.
    bool DoNativeOutput() const { return nativeOutput_; }
    void SetDoNativeOutput(bool native) { nativeOutput_ = native; }
    // Full path of the PDF file a file run writes (replaced atomically).
    const QString& OutputFileName() const { return outputFileName_; }
    void SetOutputFileName(const QString& path) { outputFileName_ = path; }
    SetupOptions SystemSetups() const { return setups_; }
    void SetSystemSetups(SetupOptions setups) { setups_ = setups; }
    void RemoveSystemSetup(SystemSetup option) { setups_ &= ~SetupOptions(option); }

    // The controller's printer copies and duplex, which a report uses unless it has
    // its own (Report::Copies above 0, Report::DuplexMode not Default).
    int Copies() const { return copies_; }
    void SetCopies(int copies);
    bool Duplex() const { return duplex_; }
    void SetDuplex(bool twoSided) { duplex_ = twoSided; }

    // The printer device a printer run prints on (not owned).
    PrinterDevice* Printer() const { return printer_; }
    void SetPrinter(PrinterDevice* printer) { printer_ = printer; }

    // Whether the current job has been cancelled; Abort cancels it: a run stops
    // before its next page and nothing is printed or written. A job begins when the
    // controller is attached to an open template (ReportProject::SetEngine).
    bool Aborted() const { return aborted_; }
    void Abort() { aborted_ = true; }
    void BeginJob() { aborted_ = false; }
    // True while a run is in progress.
    bool Running() const { return running_; }

    // Fixed settings.
    QString JobTitle() const { return QStringLiteral("Vexora"); }
    QString TitleSetup() const { return QStringLiteral("Opzioni di stampa"); }
    QString TitleStatus() const { return QStringLiteral("Report Status"); }
    QString StatusFormatPrinting() const { return QStringLiteral("Printing page %p"); }
    QString StatusFormatFile() const { return QStringLiteral("Generating page %p"); }
    DisplayUnit PrinterUnits() const { return DisplayUnit::Millimetre; }
    double PrinterUnitsFactor() const { return 25.4; }
    bool PdfEmbedFonts() const { return true; }

    // Hooks the program installs. The setup dialog (printer runs with ssAllowSetup);
    // the status line ("Printing page 2"), shown in a window titled TitleStatus();
    // the event pump run before every page so an "Interrompi" click reaches Abort;
    // warnings about degraded output (default: qWarning).
    void SetSetupDialog(PrintSetupHook hook) { setupDialog_ = std::move(hook); }
    void SetStatusHook(std::function<void(const QString&)> hook) { status_ = std::move(hook); }
    void SetEventPump(std::function<void()> pump) { pump_ = std::move(pump); }
    void SetWarningHook(std::function<void(const QString&)> hook) { warning_ = std::move(hook); }
    // Sees every run as it starts (also one prepared for another thread), on this thread.
    using RunHook = std::function<void(const ReportTemplate&, const Report&, const RunValues&)>;
    void SetRunHook(RunHook hook) { runHook_ = std::move(hook); }

    // Runs report with the run's values: prints it or writes the PDF file. True when
    // complete; false when cancelled (Abort, or the setup dialog closed with Cancel).
    // Throws ReportError.
    bool Run(const ReportTemplate& t, const Report& report, const RunValues& values);

    // A file run made ready on this thread to be drawn and written on another: the
    // template (shared and never changed), the report, the run's own values, the file.
    struct FileRun {
        std::shared_ptr<const ReportTemplate> tmpl;
        const Report* report = nullptr;
        RunValues values;
        QString fileName;
        QString title;
        RenderOptions options;
    };
    // Checks what Run checks for a file run (the destination must be File) and takes the
    // values. Throws ReportError.
    FileRun PrepareFileRun(std::shared_ptr<const ReportTemplate> t, const Report& report,
                           RunValues values);
    // Draws the PDF in memory; nothing when cancel is set before a page. Any thread.
    static std::optional<QByteArray> RenderFileRun(const FileRun& run,
                                                   const std::atomic<bool>& cancel);
    // Puts the PDF in place atomically; throws ReportError naming the file. Any thread.
    static void WriteFileRun(const FileRun& run, const QByteArray& pdf);

private:
    bool beforePage(int index, const QString& format);
    void checkRun(const Report& report) const;
    bool runPdf(const ReportTemplate& t, const Report& report, const RunValues& values);
    void checkFileRun(const Report& report);
    // The render options of a run of t, with unhinted copies of t's fonts.
    RenderOptions renderOptions(const ReportTemplate& t, bool file);
    void warn(const QString& text);

    Destination dest_ = Destination::Printer;
    Renderer renderer_ = Renderer::None;
    bool nativeOutput_ = true;
    QString outputFileName_;
    SetupOptions setups_ = ssAllowSetup;
    int copies_ = 1;
    bool duplex_ = false;
    PrinterDevice* printer_ = nullptr;
    bool aborted_ = false;
    bool running_ = false;
    std::optional<bool> jpegAvailable_;
    PrintSetupHook setupDialog_;
    std::function<void(const QString&)> status_;
    std::function<void()> pump_;
    std::function<void(const QString&)> warning_;
    RunHook runHook_;
    PdfFonts fonts_;
    std::weak_ptr<const ReportTemplate> fontsPreparedFor_;
};

}  // namespace vexora::report

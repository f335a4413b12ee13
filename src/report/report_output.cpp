#include "report/report_output.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QtGlobal>

#include <algorithm>
#include <string>

#include "core/file_util.h"
#include "report/page_renderer.h"
#include "report/report_error.h"

namespace vexora::report {
namespace {

// Resets the running flag however the run ends.
struct RunningFlag {
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;
    bool& flag_;
};

void writePdfFile(const QString& fileName, const QByteArray& pdf) {
    std::string error;
    if (!writeFileAtomically(QFile::encodeName(fileName).toStdString(),
                             std::string_view(pdf.constData(), std::size_t(pdf.size())), &error)) {
        throw ReportError(QStringLiteral("Impossibile scrivere il file PDF \"%1\": %2")
                              .arg(fileName, QString::fromStdString(error)));
    }
}

}  // namespace

ReportOutput::ReportOutput() = default;

void ReportOutput::SetCopies(int copies) {
    copies_ = std::clamp(copies, 1, limits::kMaxCopies);
}

void ReportOutput::warn(const QString& text) {
    if (warning_) {
        warning_(text);
    } else {
        qWarning("%s", qPrintable(text));
    }
}

bool ReportOutput::beforePage(int index, const QString& format) {
    if (pump_)
        pump_();
    if (aborted_)
        return false;
    if (status_)
        status_(QString(format).replace(QStringLiteral("%p"), QString::number(index + 1)));
    return true;
}

void ReportOutput::checkRun(const Report& report) const {
    if (running_) {
        throw ReportError(QStringLiteral("Una stampa è già in corso"));
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        throw ReportError(QStringLiteral(
            "Il motore di stampa richiede un'applicazione Qt grafica (QGuiApplication)"));
    }
    if (report.Pages().empty()) {
        throw ReportError(QStringLiteral("Il report %1 non ha pagine").arg(report.Name()));
    }
}

bool ReportOutput::Run(const ReportTemplate& t, const Report& report, const RunValues& values) {
    checkRun(report);
    RunningFlag running(running_);
    if (runHook_)
        runHook_(t, report, values);
    if (aborted_)
        return false;

    if (dest_ == Destination::File)
        return runPdf(t, report, values);

    if (!printer_)
        throw ReportError(QStringLiteral("Nessuna stampante selezionata"));
    PrintJob job;
    job.title = JobTitle();
    job.copies = values.Copies(report) > 0 ? values.Copies(report) : copies_;
    const DuplexSetting duplex = values.DuplexMode(report);
    job.duplex = duplex == DuplexSetting::Default ? duplex_ : duplex == DuplexSetting::On;
    if ((setups_ & ssAllowSetup) != 0) {
        job.setupDialog = setupDialog_;
        job.setupTitle = TitleSetup();
    }
    const QString format = StatusFormatPrinting();
    job.beforePage = [this, &format](int i) { return beforePage(i, format); };
    job.options = renderOptions(t, false);
    if (!printer_->PrintReport(t, report, values, job)) {
        // A cancelled setup dialog cancels the job like Abort does.
        aborted_ = true;
        return false;
    }
    return true;
}

void ReportOutput::checkFileRun(const Report& report) {
    if (renderer_ != Renderer::Pdf) {
        throw ReportError(QStringLiteral("Nessun renderer per l'output su file del report %1")
                              .arg(report.Name()));
    }
    if (outputFileName_.isEmpty()) {
        throw ReportError(QStringLiteral("Nome del file PDF non impostato"));
    }
    if (!jpegAvailable_) {
        jpegAvailable_ = jpegWriterAvailable();
        if (!*jpegAvailable_) {
            warn(
                QStringLiteral("Plugin JPEG di Qt assente: le immagini del PDF sono ridotte a "
                               "150 dpi e salvate senza compressione JPEG"));
        }
    }
}

bool ReportOutput::runPdf(const ReportTemplate& t, const Report& report, const RunValues& values) {
    checkFileRun(report);
    // The PDF is built in memory and then renamed into place, so a cancelled or
    // failed run leaves an existing file of that name untouched.
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    const QString format = StatusFormatFile();
    const bool complete =
        renderReportPdf(t, report, values, buffer, JobTitle(), renderOptions(t, true),
                        [this, &format](int i) { return beforePage(i, format); });
    buffer.close();
    if (!complete)
        return false;
    writePdfFile(outputFileName_, pdf);
    return true;
}

RenderOptions ReportOutput::renderOptions(const ReportTemplate& t, bool file) {
    fonts_.prepare(t);
    RenderOptions options = file ? pdfRenderOptions(*jpegAvailable_) : RenderOptions();
    options.fontFamilies = fonts_.families();
    return options;
}

ReportOutput::FileRun ReportOutput::PrepareFileRun(std::shared_ptr<const ReportTemplate> t,
                                                   const Report& report, RunValues values) {
    checkRun(report);
    if (dest_ != Destination::File)
        throw ReportError(QStringLiteral("Il report %1 non va su file").arg(report.Name()));
    checkFileRun(report);
    if (runHook_)
        runHook_(*t, report, values);
    // Once per template read, not once per sheet.
    if (fontsPreparedFor_.lock() != t) {
        fonts_.prepare(*t);
        fontsPreparedFor_ = t;
    }
    FileRun run;
    run.tmpl = std::move(t);
    run.report = &report;
    run.values = std::move(values);
    run.fileName = outputFileName_;
    run.title = JobTitle();
    run.options = pdfRenderOptions(*jpegAvailable_);
    run.options.fontFamilies = fonts_.families();
    return run;
}

std::optional<QByteArray> ReportOutput::RenderFileRun(const FileRun& run,
                                                      const std::atomic<bool>& cancel) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    const bool complete = renderReportPdf(*run.tmpl, *run.report, run.values, buffer, run.title,
                                          run.options, [&cancel](int) { return !cancel.load(); });
    buffer.close();
    if (!complete)
        return std::nullopt;
    return pdf;
}

void ReportOutput::WriteFileRun(const FileRun& run, const QByteArray& pdf) {
    writePdfFile(run.fileName, pdf);
}

}  // namespace vexora::report

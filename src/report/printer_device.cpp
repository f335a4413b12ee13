#include "report/printer_device.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

#include "report/page_renderer.h"
#include "report/report_error.h"

namespace vexora::report {

PrinterDevice::PrinterDevice(const QString& printerName)
    : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    SetPrinterName(printerName);
}

PrinterDevice::~PrinterDevice() = default;

QString PrinterDevice::PrinterName() const {
    return name_;
}

void PrinterDevice::SetPrinterName(const QString& printerName) {
    name_ = printerName.isEmpty() ? QPrinterInfo::defaultPrinterName() : printerName;
    // Qt turns a printer with an unknown name into a PDF file writer; name_ keeps
    // the requested name so IsValid and the error messages tell which one is missing.
    printer_->setPrinterName(name_);
}

bool PrinterDevice::IsValid() const {
    return !name_.isEmpty() && printer_->outputFormat() == QPrinter::NativeFormat &&
           printer_->printerName() == name_ && !QPrinterInfo::printerInfo(name_).isNull();
}

void PrinterDevice::SetCopies(int copies) {
    printer_->setCopyCount(std::max(1, copies));
}

int PrinterDevice::Copies() const {
    return printer_->copyCount();
}

bool PrinterDevice::SelectPaper(const QString& namePart) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(name_);
    if (info.isNull())
        return false;
    const QList<QPageSize> sizes = info.supportedPageSizes();
    for (const QPageSize& size : sizes) {
        if (size.name().contains(namePart, Qt::CaseInsensitive)) {
            printer_->setPageSize(size);
            return true;
        }
    }
    return false;
}

QString PrinterDevice::PaperName() const {
    return printer_->pageLayout().pageSize().name();
}

void PrinterDevice::SetDuplex(bool twoSided) {
    printer_->setDuplex(twoSided ? QPrinter::DuplexLongSide : QPrinter::DuplexNone);
}

bool PrinterDevice::Duplex() const {
    return printer_->duplex() != QPrinter::DuplexNone;
}

bool PrinterDevice::PrintReport(const ReportTemplate& t, const Report& report,
                                const RunValues& values, const PrintJob& job) {
    if (!IsValid()) {
        throw ReportError(QStringLiteral("Stampante \"%1\" non disponibile").arg(name_));
    }
    QPrinter& p = *printer_;
    p.setDocName(job.title);
    p.setCreator(QStringLiteral("Vexora"));
    p.setFullPage(true);
    p.setPageOrientation(QPageLayout::Portrait);
    p.setCopyCount(std::max(1, job.copies));
    p.setCollateCopies(true);
    p.setDuplex(job.duplex ? QPrinter::DuplexLongSide : QPrinter::DuplexNone);
    if (job.setupDialog && !job.setupDialog(p, job.setupTitle))
        return false;

    QPainter painter;
    if (!painter.begin(&p)) {
        throw ReportError(
            QStringLiteral("Impossibile avviare la stampa su \"%1\"").arg(p.printerName()));
    }
    const int pages = int(report.Pages().size());
    for (int i = 0; i < pages; ++i) {
        if (job.beforePage && !job.beforePage(i)) {
            p.abort();
            painter.end();
            return false;
        }
        if (i > 0 && !p.newPage()) {
            p.abort();
            painter.end();
            throw ReportError(QStringLiteral("Errore di stampa su \"%1\"").arg(p.printerName()));
        }
        renderPage(painter, t, report, report.Pages()[std::size_t(i)], values, job.options);
    }
    if (!painter.end() || p.printerState() == QPrinter::Error) {
        throw ReportError(QStringLiteral("Errore di stampa su \"%1\"").arg(p.printerName()));
    }
    return true;
}

}  // namespace vexora::report

#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "report/page_renderer.h"
#include "report/run_values.h"
#include "report/template_model.h"

class QPrinter;

namespace vexora::report {

// Shows the print-setup dialog for printer with the given window title; false when
// the user cancelled. Installed by the window program; headless runs have none.
using PrintSetupHook = std::function<bool(QPrinter& printer, const QString& title)>;

// One print job as the output controller asks for it.
struct PrintJob {
    QString title;               // document name, which CUPS shows as the job title
    int copies = 1;              // collated copies
    bool duplex = false;         // two-sided, binding on the long edge
    PrintSetupHook setupDialog;  // shown before printing when set
    QString setupTitle;
    // Runs before page i (0-based); false stops and cancels the job.
    std::function<bool(int)> beforePage;
    RenderOptions options;
};

// The printer the program prints on: copies, paper and duplex as the program sets
// them, read back as the printer accepted them. The only place that holds a QPrinter.
// Needs a QGuiApplication.
class PrinterDevice {
public:
    // printerName empty: the system's default printer.
    explicit PrinterDevice(const QString& printerName = {});
    ~PrinterDevice();
    PrinterDevice(const PrinterDevice&) = delete;
    PrinterDevice& operator=(const PrinterDevice&) = delete;

    QString PrinterName() const;
    void SetPrinterName(const QString& printerName);
    // True when a printer of that name is installed.
    bool IsValid() const;

    void SetCopies(int copies);
    int Copies() const;
    // Selects the first paper of the printer whose name contains namePart ("A4");
    // false (paper unchanged) when the printer offers none.
    bool SelectPaper(const QString& namePart);
    QString PaperName() const;
    // Two-sided (long edge) or one-sided; a printer without duplex stays one-sided.
    void SetDuplex(bool twoSided);
    bool Duplex() const;

    // The underlying printer, for the setup dialog.
    QPrinter& printer() { return *printer_; }

    // Prints every page of report. False when the setup dialog was cancelled or
    // beforePage stopped the job (nothing is printed then); throws ReportError when
    // the printer is missing or the job fails.
    bool PrintReport(const ReportTemplate& t, const Report& report, const RunValues& values,
                     const PrintJob& job);

private:
    std::unique_ptr<QPrinter> printer_;
    QString name_;
};

}  // namespace vexora::report

#pragma once

#include <QHash>
#include <QImage>
#include <QString>

#include <functional>

#include "report/run_values.h"
#include "report/template_model.h"

class QIODevice;
class QPainter;

namespace vexora::report {

struct RenderOptions {
    // Pictures are reduced to at most this many pixels per inch of their box before
    // drawing; 0 draws them as they are.
    double maxImageDpi = 0;
    // Template family -> family the text is drawn with (PdfFonts); others as they are.
    QHash<QString, QString> fontFamilies;
};

// Draws one page on painter, whose device may be any QPaintDevice (PDF writer,
// printer, image). Inches are converted with the device's logical resolution and
// the origin is the corner of the paper; the caller clears the page first if needed.
// Components and parameters are drawn as values resolves them.
void renderPage(QPainter& painter, const ReportTemplate& t, const Report& report, const Page& page,
                const RunValues& values, const RenderOptions& options = {});
void renderPage(QPainter& painter, const ReportTemplate& t, const Report& report, const Page& page,
                const RenderOptions& options = {});

// Page pageIndex (0-based) of report as an A4 image at dpi on white, for previews
// and tests. Throws ReportError for a page that does not exist or an absurd dpi.
QImage renderPageImage(const ReportTemplate& t, const Report& report, int pageIndex, double dpi,
                       const RunValues& values = {});

// Whether Qt can encode JPEG (the qjpeg image plugin). Qt's PDF writer stores
// pictures as JPEG only then; otherwise as flate-compressed raw pixels.
bool jpegWriterAvailable();

// How pictures go into a PDF: as they are when JPEG is available, otherwise reduced
// to 150 pixels per inch of their box so the raw form stays small.
RenderOptions pdfRenderOptions(bool jpegAvailable);

// Writes report as an A4 PDF (fonts embedded) to out. beforePage(i) runs before
// page i (0-based) and returns false to stop; the output is then incomplete and the
// function returns false. Throws ReportError when the PDF cannot be started. Safe on
// any thread once the font database is loaded, for a template nobody changes meanwhile.
bool renderReportPdf(const ReportTemplate& t, const Report& report, const RunValues& values,
                     QIODevice& out, const QString& title, const RenderOptions& options,
                     const std::function<bool(int)>& beforePage);

// Whether the font database knows family (so text will not fall back to another face).
bool fontFamilyAvailable(const QString& family);

}  // namespace vexora::report

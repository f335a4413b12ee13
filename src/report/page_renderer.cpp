#include "report/page_renderer.h"

#include <QFont>
#include <QFontDatabase>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

#include "report/report_error.h"

namespace vexora::report {
namespace {

constexpr double kFallbackImageDpi = 150.0;
constexpr int kPdfResolution = 1200;

struct Scale {
    double x;
    double y;
    QRectF rect(const Component& c) const {
        return QRectF(c.Left() * x, c.Top() * y, c.Width() * x, c.Height() * y);
    }
};

QFont makeFont(const ReportFont& def, const RenderOptions& options) {
    QFont font(options.fontFamilies.value(def.family, def.family));
    font.setPointSizeF(def.pointSize);
    font.setBold(def.bold);
    font.setItalic(def.italic);
    font.setUnderline(def.underline);
    // Without shaping Qt maps characters to glyphs one to one: no ligatures, so a PDF
    // reader extracts the text exactly as it was set.
    font.setStyleStrategy(QFont::PreferNoShaping);
    // Same line breaks on screen, on paper and in the PDF: unhinted glyphs with their
    // design advances (Qt uses design metrics for unhinted FreeType fonts).
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

int qtAlignment(const Component& c) {
    int flags = 0;
    switch (c.Alignment()) {
        case TextAlign::Left:
            flags |= Qt::AlignLeft;
            break;
        case TextAlign::Center:
            flags |= Qt::AlignHCenter;
            break;
        case TextAlign::Right:
            flags |= Qt::AlignRight;
            break;
        case TextAlign::Justify:
            flags |= Qt::AlignJustify;
            break;
    }
    switch (c.VerticalAlignment()) {
        case VerticalAlign::Top:
            flags |= Qt::AlignTop;
            break;
        case VerticalAlign::Center:
            flags |= Qt::AlignVCenter;
            break;
        case VerticalAlign::Bottom:
            flags |= Qt::AlignBottom;
            break;
    }
    return flags;
}

// What a component is drawn from: the template and the run's values over it.
struct Source {
    const ReportTemplate& t;
    const Report& report;
    const Page& page;
    const RunValues& values;
};

void drawText(QPainter& painter, const Scale& s, const Source& src, const Component& c,
              const RenderOptions& options) {
    const Component* master =
        c.FontMirror().isEmpty() ? nullptr : src.report.FindFontMaster(src.page, c.FontMirror());
    const ReportFont& font = master ? master->Font() : c.Font();
    QColor color = font.color;
    if (!master && c.ForeColor().isValid())
        color = c.ForeColor();

    QString text = src.values.Expand(src.t, c.Text());
    if (text.isEmpty())
        return;
    if (text.contains(u'\r')) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(u'\r', u'\n');
    }
    // Text that does not fit runs past the box rather than disappearing.
    int flags = qtAlignment(c) | Qt::TextExpandTabs | Qt::TextDontClip;
    if (c.WordWrap())
        flags |= Qt::TextWordWrap;
    painter.setFont(makeFont(font, options));
    painter.setPen(QColor(color.rgb()));
    painter.drawText(s.rect(c), flags, text);
}

void drawImage(QPainter& painter, const Scale& s, const Component& c,
               const RenderOptions& options) {
    QImage image = c.Image();
    if (image.isNull() || c.Width() <= 0 || c.Height() <= 0)
        return;
    QRectF box = s.rect(c);
    double boxWidthInch = c.Width();
    double boxHeightInch = c.Height();
    if (c.Fit() == ImageFit::KeepAspect) {
        QSizeF fitted = QSizeF(image.size()).scaled(box.size(), Qt::KeepAspectRatio);
        boxWidthInch *= fitted.width() / box.width();
        boxHeightInch *= fitted.height() / box.height();
        box = QRectF(box.center().x() - fitted.width() / 2, box.center().y() - fitted.height() / 2,
                     fitted.width(), fitted.height());
    }
    if (options.maxImageDpi > 0) {
        const int maxW = std::max(1, int(std::ceil(boxWidthInch * options.maxImageDpi)));
        const int maxH = std::max(1, int(std::ceil(boxHeightInch * options.maxImageDpi)));
        if (image.width() > maxW || image.height() > maxH) {
            image = image.scaled(std::min(maxW, image.width()), std::min(maxH, image.height()),
                                 Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
    }
    painter.drawImage(box, image);
}

QPen strokePen(const Component& c, const Scale& s) {
    if (c.LineWidth() <= 0)
        return QPen(Qt::NoPen);
    QPen pen(QColor(c.LineColor().rgb()));
    pen.setWidthF(c.LineWidth() / 72.0 * s.x);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

void drawComponent(QPainter& painter, const Scale& s, const Source& src, const Component& stored,
                   const RenderOptions& options) {
    // A group's members are the stored ones; each resolves on its own.
    const Component& c = src.values.Resolve(stored);
    if (!c.Visible())
        return;
    switch (c.Kind()) {
        case ComponentKind::Text:
            drawText(painter, s, src, c, options);
            break;
        case ComponentKind::Image:
            drawImage(painter, s, c, options);
            break;
        case ComponentKind::Rectangle:
            painter.setPen(strokePen(c, s));
            painter.setBrush(c.FillColor().isValid() ? QBrush(QColor(c.FillColor().rgb()))
                                                     : QBrush(Qt::NoBrush));
            painter.drawRect(s.rect(c));
            break;
        case ComponentKind::Line:
            if (c.LineWidth() > 0) {
                painter.setPen(strokePen(c, s));
                painter.drawLine(
                    QPointF(c.Left() * s.x, c.Top() * s.y),
                    QPointF((c.Left() + c.Width()) * s.x, (c.Top() + c.Height()) * s.y));
            }
            break;
        case ComponentKind::Group:
            for (const Component& child : stored.Children()) {
                drawComponent(painter, s, src, child, options);
            }
            break;
        case ComponentKind::FontMaster:
            break;
    }
}

}  // namespace

void renderPage(QPainter& painter, const ReportTemplate& t, const Report& report, const Page& page,
                const RenderOptions& options) {
    renderPage(painter, t, report, page, RunValues(), options);
}

void renderPage(QPainter& painter, const ReportTemplate& t, const Report& report, const Page& page,
                const RunValues& values, const RenderOptions& options) {
    const Source src{t, report, page, values};
    const QPaintDevice* device = painter.device();
    const Scale scale{double(device->logicalDpiX()), double(device->logicalDpiY())};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const Component& c : page.Components()) {
        drawComponent(painter, scale, src, c, options);
    }
    painter.restore();
}

QImage renderPageImage(const ReportTemplate& t, const Report& report, int pageIndex, double dpi,
                       const RunValues& values) {
    if (pageIndex < 0 || pageIndex >= int(report.Pages().size())) {
        throw ReportError(QStringLiteral("Il report %1 non ha la pagina %2")
                              .arg(report.Name())
                              .arg(pageIndex + 1));
    }
    if (!std::isfinite(dpi) || dpi < 10 || dpi > 1200) {
        throw ReportError(QStringLiteral("Risoluzione di %1 dpi non valida").arg(dpi));
    }
    QImage image(int(std::lround(kPageWidthInch * dpi)), int(std::lround(kPageHeightInch * dpi)),
                 QImage::Format_RGB32);
    if (image.isNull())
        throw ReportError(QStringLiteral("Memoria insufficiente per l'immagine"));
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderPage(painter, t, report, report.Pages()[std::size_t(pageIndex)], values);
    painter.end();
    return image;
}

bool jpegWriterAvailable() {
    return QImageWriter::supportedImageFormats().contains("jpeg");
}

RenderOptions pdfRenderOptions(bool jpegAvailable) {
    RenderOptions options;
    if (!jpegAvailable)
        options.maxImageDpi = kFallbackImageDpi;
    return options;
}

bool renderReportPdf(const ReportTemplate& t, const Report& report, const RunValues& values,
                     QIODevice& out, const QString& title, const RenderOptions& options,
                     const std::function<bool(int)>& beforePage) {
    QPdfWriter writer(&out);
    writer.setResolution(kPdfResolution);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Vexora"));
    QPainter painter;
    if (!painter.begin(&writer)) {
        throw ReportError(
            QStringLiteral("Impossibile creare il PDF del report %1").arg(report.Name()));
    }
    const int pages = int(report.Pages().size());
    for (int i = 0; i < pages; ++i) {
        if (beforePage && !beforePage(i)) {
            painter.end();
            return false;
        }
        if (i > 0)
            writer.newPage();
        renderPage(painter, t, report, report.Pages()[std::size_t(i)], values, options);
    }
    painter.end();
    return true;
}

bool fontFamilyAvailable(const QString& family) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

}  // namespace vexora::report

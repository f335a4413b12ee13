#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

#include "report/template_model.h"

namespace vexora::report {

// The bytes of a TrueType font without its hinting: the font and control-value programs
// and the hinted-metrics tables left out, every glyph's instructions emptied, and the
// family renamed to `family` (the PostScript name stays, so a PDF names the font as
// before). Outlines, metrics, character map and layout tables are unchanged. `table`
// gives a table of the original by tag (empty when absent). Nothing for a font without
// TrueType outlines or with tables that do not hold together.
std::optional<QByteArray> unhintedTrueType(const std::function<QByteArray(const char*)>& table,
                                           const QString& family);

// Families for PDF output. A PDF viewer scales glyphs itself, so hinting is of no use
// there, yet Qt's PDF writer loads every embedded glyph through the TrueType hinting
// interpreter; copies of the template's faces without hinting, registered as
// application fonts under their own family names, draw the same outlines without it.
// Main thread only; the map it gives is a plain value other threads may read.
class PdfFonts {
public:
    // Registers unhinted copies of the faces of every family t uses (once per family).
    void prepare(const ReportTemplate& t);
    // Template family -> family to draw PDF text with (families without a copy absent).
    const QHash<QString, QString>& families() const { return map_; }

private:
    void prepareFamily(const QString& family);

    QHash<QString, QString> map_;
    QSet<QString> tried_;
};

}  // namespace vexora::report

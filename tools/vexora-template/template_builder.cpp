#include "template_builder.h"

#include <QString>

#include <algorithm>

#include "print/sheet_layout.h"

namespace vexora::templategen {
namespace {

using report::Component;
using report::Page;
using report::ReportFont;
using report::TextAlign;
using report::VerticalAlign;

constexpr double kPageRight = 7.90;
constexpr double kFooterTop = 11.22;
// A4 in inches.
constexpr double kPageWidth = 8.27;
static_assert(kFigureColumnLeft >= kPageMargin && kPageRight <= kPageWidth - kPageMargin);
const QColor kGrey(96, 96, 96);
const QColor kLightGrey(200, 200, 200);
const QColor kMarkRed(192, 0, 0);

QString num(const char* stem, int n) {
    return QLatin1String(stem) + QString::number(n);
}

// Regular and bold only: every face used is one more font embedded in each PDF.
ReportFont font(double points, bool bold = false, QColor color = QColor(0, 0, 0)) {
    ReportFont f;
    f.family = QString::fromLatin1(kFontFamily);
    f.pointSize = points;
    f.bold = bold;
    f.color = color;
    return f;
}

Component text(const QString& name, double left, double top, double width, double height,
               const QString& content, const ReportFont& f, TextAlign align = TextAlign::Left,
               VerticalAlign valign = VerticalAlign::Top) {
    Component c = Component::MakeText(name, left, top, width, height, content);
    c.SetFont(f);
    c.SetAlignment(align);
    c.SetVerticalAlignment(valign);
    return c;
}

Component box(const QString& name, double left, double top, double width, double height,
              double lineWidth, QColor line = QColor(0, 0, 0), QColor fill = QColor()) {
    Component c = Component::MakeRectangle(name, left, top, width, height);
    c.SetLineWidth(lineWidth);
    c.SetLineColor(line);
    c.SetFillColor(fill);
    return c;
}

Component line(const QString& name, double x1, double y1, double x2, double y2, double width,
               QColor color) {
    Component c = Component::MakeLine(name, x1, y1, x2, y2);
    c.SetLineWidth(width);
    c.SetLineColor(color);
    return c;
}

// School, sheet label and the column heads of the answer boxes.
void addSheetHeader(Page& page, TModalitaQuiz m, int p, int pages) {
    page.Add(text(QStringLiteral("Scuola"), 0.35, 0.28, 5.55, 0.32,
                  QStringLiteral("{NomeAutoscuola}"), font(15, true)));
    page.Add(text(QStringLiteral("Indirizzo"), 0.35, 0.60, 5.55, 0.22,
                  QStringLiteral("{IndirizzoAutoscuola}"), font(9.5, false, kGrey)));
    page.Add(
        text(QStringLiteral("Titolo"), 0.35, 0.84, 5.55, 0.22,
             QStringLiteral("Quiz vero/falso – %1").arg(QString::fromStdString(categoryTitle(m))),
             font(9.5, true)));
    page.Add(box(QStringLiteral("CorniceScheda"), 6.05, 0.28, 1.85, 0.64, 1.0));
    page.Add(text(QStringLiteral("DidascaliaScheda"), 6.05, 0.31, 1.85, 0.16,
                  QStringLiteral("SCHEDA"), font(7, false, kGrey), TextAlign::Center));
    page.Add(text(QString::fromStdString(print::sheetLabelComponent(p)), 6.05, 0.47, 1.85, 0.42,
                  QString(), font(17, true), TextAlign::Center, VerticalAlign::Center));
    if (p == 1) {
        page.Add(text(QStringLiteral("Candidato"), 0.35, 1.10, 4.4, 0.2,
                      QStringLiteral("Cognome e nome ________________________________"), font(9)));
        page.Add(text(QStringLiteral("Data"), 4.85, 1.10, 1.6, 0.2,
                      QStringLiteral("Data ____________"), font(9)));
        page.Add(text(QStringLiteral("Errori"), 6.55, 1.10, 1.35, 0.2,
                      QStringLiteral("Errori ______"), font(9)));
    } else {
        page.Add(text(QStringLiteral("Seguito"), 0.35, 1.10, 5.5, 0.2,
                      QStringLiteral("Seguito della scheda (pagina %1 di %2)").arg(p).arg(pages),
                      font(9, false, kGrey)));
    }
    page.Add(line(QStringLiteral("LineaTestata"), kFigureColumnLeft, 1.32, kPageRight, 1.32, 0.8,
                  QColor(0, 0, 0)));
    page.Add(text(QStringLiteral("TestaV"), kAnswerBoxVLeft, 1.33, 0.30, 0.15, QStringLiteral("V"),
                  font(8.5, true), TextAlign::Center));
    page.Add(text(QStringLiteral("TestaF"), kAnswerBoxFLeft, 1.33, 0.30, 0.15, QStringLiteral("F"),
                  font(8.5, true), TextAlign::Center));
    page.Add(text(QStringLiteral("Piede"), 0.35, kFooterTop, kPageRight - 0.35, 0.18,
                  QStringLiteral("Pagina %1 di %2 – segnare con una X la casella V (vero) o "
                                 "F (falso) di ogni domanda")
                      .arg(p)
                      .arg(pages),
                  font(7, false, kGrey), TextAlign::Center));
}

void addSlot(Page& page, TModalitaQuiz m, int n, int row, int perPage, bool lastOnPage) {
    const bool frames = print::usesPlainFigurePath(print::sheetLayout(m).family);
    const double h = rowHeight(perPage);
    const double s = figureSide(perPage);
    const double y = kFirstRowTop + row * h;
    const bool odd = n % 2 == 1;
    const bool dense = perPage > 15;

    const double figLeft = odd ? kFigureColumnLeft : kTextColumnRight - s;
    const double figTop = y + (h - s) / 2;
    if (frames) {
        page.Add(box(num("Rectangle", n), figLeft - 0.02, figTop - 0.02, s + 0.04, s + 0.04, 0.6,
                     QColor(128, 128, 128)));
    }
    Component figure = Component::MakeImage(num("Figura", n), figLeft, figTop, s, s);
    figure.SetFit(report::ImageFit::KeepAspect);
    page.Add(figure);

    const double textLeft = odd ? kFigureColumnLeft + print::kWideningInch : kFigureColumnLeft;
    const double textWidth = kTextColumnRight - kFigureColumnLeft - print::kWideningInch;
    Component question =
        text(num("Domanda", n), textLeft, y + 0.03, textWidth, h - 0.06,
             QStringLiteral("{Domanda%1}").arg(n), font(9), TextAlign::Left, VerticalAlign::Center);
    question.SetFontMirrorName(QStringLiteral("FontMasterDom"));
    page.Add(question);

    const double boxSide = dense ? 0.26 : 0.30;
    const double boxTop = y + 0.04;
    page.Add(text(num("Numero", n), kNumberLeft, boxTop, kNumberRight - kNumberLeft, boxSide,
                  QString::number(n), font(dense ? 8.5 : 10, true), TextAlign::Right,
                  VerticalAlign::Center));
    page.Add(box(num("CasellaV", n), kAnswerBoxVLeft, boxTop, boxSide, boxSide, 0.8));
    page.Add(box(num("CasellaF", n), kAnswerBoxFLeft, boxTop, boxSide, boxSide, 0.8));
    Component mark = Component::MakeGroup(num("Risp", n));
    mark.AddChild(line(num("RispA", n), kAnswerBoxFLeft, boxTop, kAnswerBoxFLeft + boxSide,
                       boxTop + boxSide, 2.2, kMarkRed));
    mark.AddChild(line(num("RispB", n), kAnswerBoxFLeft, boxTop + boxSide,
                       kAnswerBoxFLeft + boxSide, boxTop, 2.2, kMarkRed));
    mark.SetVisible(false);
    page.Add(mark);

    const double refWidth = kPageRight - kNumberLeft;
    page.Add(text(num("Rif", n), kNumberLeft, boxTop + boxSide + 0.02, refWidth, 0.12,
                  QStringLiteral("{Blk_Dom_Arg%1}").arg(n), font(6, false, kGrey),
                  TextAlign::Center));
    if (frames) {
        page.Add(text(num("RifLibro", n), kNumberLeft, boxTop + boxSide + 0.14, refWidth, 0.12,
                      QStringLiteral("{Libro%1}").arg(n), font(6, false, kGrey),
                      TextAlign::Center));
    }
    if (!lastOnPage) {
        page.Add(
            line(num("Riga", n), kFigureColumnLeft, y + h, kPageRight, y + h, 0.4, kLightGrey));
    }
}

// One row of an answer key: the block's label and a numbered cell per question of the
// part, each with its "F" mark, gathered in the block's group.
Component keyRow(int j, char part, int first, int last, double y) {
    const std::string suffix = part != 0 ? std::string(1, part) : std::string();
    Component group =
        Component::MakeGroup(QString::fromStdString(print::keyBlockComponent(j, part)));
    const QString tag = QString::number(j) + QString::fromStdString(suffix);
    group.AddChild(box(QStringLiteral("Cornice") + tag, 0.42, y, 7.45, 0.78, 0.5,
                       QColor(176, 176, 176), QColor(248, 248, 248)));
    group.AddChild(text(QStringLiteral("Didascalia") + tag, 0.52, y + 0.06, 0.7, 0.2,
                        QStringLiteral("Scheda"), font(8.5, false, kGrey)));
    group.AddChild(text(QString::fromStdString(print::keyLabelComponent(j, part)), 1.15, y + 0.03,
                        2.2, 0.24, QString(), font(12, true)));
    for (int i = first; i <= last; ++i) {
        const double x = 0.55 + (i - first) * 0.36;
        const QString cell = QString::number(j) + QLatin1Char('_') + QString::number(i);
        group.AddChild(text(QStringLiteral("Num") + cell, x - 0.03, y + 0.29, 0.36, 0.14,
                            QString::number(i), font(6.5, false, kGrey), TextAlign::Center));
        group.AddChild(box(QStringLiteral("Cella") + cell, x, y + 0.44, 0.30, 0.28, 0.6,
                           QColor(0, 0, 0), QColor(255, 255, 255)));
        Component mark = text(QString::fromStdString(print::keyMarkComponent(j, i)), x, y + 0.44,
                              0.30, 0.28, QStringLiteral("F"), font(12, true, kMarkRed),
                              TextAlign::Center, VerticalAlign::Center);
        mark.SetVisible(false);
        group.AddChild(mark);
    }
    return group;
}

}  // namespace

double rowHeight(int slotsPerPage) {
    return slotsPerPage > 15 ? 0.485 : 0.645;
}

double figureSide(int slotsPerPage) {
    return slotsPerPage > 15 ? 0.43 : 0.58;
}

std::string categoryTitle(TModalitaQuiz m) {
    if (const auto position = listatoPosition(m))
        return std::string(listatoEntries(groupOf(m))[static_cast<std::size_t>(*position)]);
    return "Patente " + std::string(displayName(m));
}

void addSheetReport(report::ReportTemplate& t, TModalitaQuiz m) {
    report::Report& r = t.AddReport(QString::fromStdString(sheetReportName(m)));
    const int pages = reportPages(m);
    const int perPage = print::slotsPerPage(print::sheetLayout(m).family);
    for (int p = 1; p <= pages; ++p) {
        Page& page = r.AddPage(QStringLiteral("Page%1").arg(p));
        if (p == 1) {
            page.Add(Component::MakeFontMaster(QStringLiteral("FontMasterDom"),
                                               font(perPage > 15 ? 7.5 : 9)));
            page.Add(Component::MakeFontMaster(QStringLiteral("FontMasterDomX"),
                                               font(perPage > 15 ? 6.5 : 8)));
        }
        addSheetHeader(page, m, p, pages);
        const auto [first, last] = print::slotRangeOfPage(m, p);
        for (int n = first; n <= last; ++n)
            addSlot(page, m, n, n - first, perPage, n == last);
    }
}

void addAnswerKeyReport(report::ReportTemplate& t, TModalitaQuiz m) {
    report::Report& r = t.AddReport(QString::fromStdString(answerKeyReportName(m)));
    Page& page = r.AddPage(QStringLiteral("Page1"));
    page.Add(text(QStringLiteral("Titolo"), 0.5, 0.35, 7.3, 0.35,
                  QStringLiteral("Correttore – %1").arg(QString::fromStdString(categoryTitle(m))),
                  font(16, true)));
    page.Add(text(QStringLiteral("Sottotitolo"), 0.5, 0.74, 7.3, 0.2,
                  QStringLiteral("Un riquadro per ogni scheda: le domande con risposta falsa "
                                 "sono segnate con F."),
                  font(9, false, kGrey)));
    page.Add(line(QStringLiteral("LineaTestata"), 0.42, 1.02, 7.87, 1.02, 0.8, QColor(0, 0, 0)));

    const std::string_view parts = print::keyParts(m);
    double y = 1.15;
    for (int j = 1; j <= sheetsPerKey(m); ++j) {
        if (parts.empty()) {
            page.Add(keyRow(j, 0, 1, questionsPerSheet(m), y));
            y += 0.84;
        } else {
            for (std::size_t k = 0; k < parts.size(); ++k) {
                const auto [first, last] = print::slotRangeOfPage(m, static_cast<int>(k) + 1);
                page.Add(keyRow(j, parts[k], first, last, y));
                y += 0.84;
            }
        }
        y += 0.12;
    }

    const double ly = 10.45;
    page.Add(text(QStringLiteral("Legenda"), 0.5, ly, 2.0, 0.2, QStringLiteral("Legenda"),
                  font(9, true)));
    page.Add(box(QStringLiteral("LegendaCellaF"), 0.5, ly + 0.26, 0.30, 0.28, 0.6));
    page.Add(text(QStringLiteral("LegendaF"), 0.5, ly + 0.26, 0.30, 0.28, QStringLiteral("F"),
                  font(12, true, kMarkRed), TextAlign::Center, VerticalAlign::Center));
    page.Add(text(QStringLiteral("LegendaTestoF"), 0.9, ly + 0.31, 2.4, 0.2,
                  QStringLiteral("risposta FALSA"), font(9)));
    page.Add(box(QStringLiteral("LegendaCellaV"), 3.4, ly + 0.26, 0.30, 0.28, 0.6));
    page.Add(text(QStringLiteral("LegendaTestoV"), 3.8, ly + 0.31, 4.0, 0.2,
                  QStringLiteral("casella vuota: risposta VERA"), font(9)));
    page.Add(text(QStringLiteral("LegendaNumeri"), 0.5, ly + 0.62, 7.3, 0.2,
                  parts.empty() ? QStringLiteral("I numeri sopra le caselle sono quelli delle "
                                                 "domande della scheda.")
                                : QStringLiteral("I numeri sopra le caselle sono quelli delle "
                                                 "domande della scheda; /a, /b ... indicano la "
                                                 "pagina della scheda."),
                  font(8, false, kGrey)));
}

report::ReportTemplate buildDefaultTemplate() {
    report::ReportTemplate t;
    t.SetParam(QStringLiteral("NomeAutoscuola"), QString());
    t.SetParam(QStringLiteral("IndirizzoAutoscuola"), QString());
    int maxSlots = 0;
    for (TModalitaQuiz m : workingCategories())
        maxSlots = std::max(maxSlots, questionsPerSheet(m));
    for (const char* stem : {"Domanda", "Figura", "Libro", "Risposta", "Blk_Dom_Arg"}) {
        for (int n = 1; n <= maxSlots; ++n)
            t.SetParam(num(stem, n), QString());
    }
    for (TModalitaQuiz m : workingCategories()) {
        addSheetReport(t, m);
        addAnswerKeyReport(t, m);
    }
    return t;
}

}  // namespace vexora::templategen

#include <gtest/gtest.h>

#include <QImage>
#include <QRegularExpression>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "core/codepage.h"
#include "print/sheet_layout.h"
#include "print_world.h"
#include "report/page_renderer.h"
#include "vexora-template/template_builder.h"

using namespace vexora;
using namespace vexora::test;

namespace {

// A text without its blanks: a line may wrap after a solidus ("km/" + "h"), and the
// reader then gives back a blank that the question does not have.
QString compact(QString text) {
    text.remove(QRegularExpression(QStringLiteral("\\s+")));
    return text;
}
QString compact(const std::string& text) {
    return compact(QString::fromStdString(text));
}

// Copies the sheet's key entries into accumulator block `block` with the label.
void gatherKeys(PrintWorld& w, TModalitaQuiz m, int block, const std::string& label) {
    const auto keys = w.composer.sheetKeys(m);
    auto acc = w.composer.keyAccumulator(m);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        acc[std::size_t(block - 1) * keys.size() + i] = keys[i];
        acc[std::size_t(block - 1) * keys.size() + i].Scheda = label;
    }
}

bool pdfToolsAvailable() {
    return runTool(QStringLiteral("pdftotext"), {QStringLiteral("-v")}).has_value();
}

}  // namespace

// Each category's sheet and answer key from generated data: both run through the default
// template without an error, and the PDF reads back with every text in place.
class EveryReport : public testing::TestWithParam<TModalitaQuiz> {};

TEST_P(EveryReport, SampleSheetAndKeyPrintWithEveryText) {
    const TModalitaQuiz m = GetParam();
    if (!pdfToolsAvailable())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    PrintWorld w;
    composeSampleSheet(w, m);
    gatherKeys(w, m, 1, "E007");
    w.ui.messages.clear();
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E007", 1));
    ASSERT_TRUE(w.printer.StampaCorrettore(1, 1));
    EXPECT_TRUE(w.ui.messages.empty()) << w.ui.messages.front();
    // The only errors logged are the sample figures missing on purpose.
    std::istringstream log(w.logText());
    for (std::string line; std::getline(log, line);) {
        if (line.find(">ERRORE:") != std::string::npos) {
            EXPECT_NE(line.find("TFormStampe.GetFiguraSUP - La figura"), std::string::npos) << line;
        }
    }

    const std::string code(categoryCode(m));
    const auto sheetText = pdfText(w.programFile(code + "_ESAE007.pdf"));
    ASSERT_TRUE(sheetText.has_value());
    const int pages = reportPages(m);
    for (int p = 1; p <= pages; ++p) {
        const QString label =
            pages == 1 ? QStringLiteral("E007") : QStringLiteral("E007/%1").arg(QChar('a' + p - 1));
        EXPECT_TRUE(sheetText->contains(label)) << label.toStdString();
    }
    EXPECT_TRUE(sheetText->contains(QStringLiteral("Autoscuola Bellavista")));
    const QString sheetTextCompact = compact(*sheetText);
    const bool dropTab = m == mqSuperC1 || m == mqSuperC;
    for (const auto& slot : w.composer.sheet(m)) {
        std::string text = slot.Testo;
        if (dropTab && text.find('\t') != std::string::npos)
            text.erase(text.find('\t'), 1);
        EXPECT_TRUE(sheetTextCompact.contains(compact(text))) << text;
        EXPECT_TRUE(sheetText->contains(QString::fromStdString(slot.BlkDom + "/" + slot.Indice)));
    }

    const auto keyText = pdfText(w.programFile("Correttore " + code + " E007.pdf"));
    ASSERT_TRUE(keyText.has_value());
    const std::string_view parts = print::keyParts(m);
    if (parts.empty()) {
        EXPECT_TRUE(keyText->contains(QStringLiteral("Scheda E007")));
    }
    for (char p : parts) {
        EXPECT_TRUE(keyText->contains(QStringLiteral("Scheda E007/") + QChar(p))) << p;
    }
    EXPECT_FALSE(keyText->contains(QStringLiteral("Scheda E008")));
}

// Bounding box of the ink (text and drawing) on every page of a PDF rendered at `dpi`,
// or nothing when it cannot be rendered.
std::optional<std::vector<QRect>> inkBoxes(PrintWorld& w, const std::string& pdf, int dpi) {
    const QString prefix = QString::fromStdString(w.file("ink"));
    if (!runTool(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                  QString::fromStdString(pdf), prefix}))
        return std::nullopt;
    std::vector<QRect> boxes;
    for (int p = 1;; ++p) {
        const QString file = prefix + QStringLiteral("-%1.png").arg(p);
        if (!std::filesystem::exists(file.toStdString()))
            break;
        const QImage page = QImage(file).convertToFormat(QImage::Format_RGB32);
        QRect box;
        for (int y = 0; y < page.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
            for (int x = 0; x < page.width(); ++x) {
                const QRgb c = line[x];
                if (qRed(c) < 240 || qGreen(c) < 240 || qBlue(c) < 240)
                    box = box.united(QRect(x, y, 1, 1));
            }
        }
        EXPECT_EQ(page.size(), QSize(595, 842)) << "page " << p;  // A4 at 72 dpi
        boxes.push_back(box);
        std::filesystem::remove(file.toStdString());
    }
    return boxes;
}

TEST_P(EveryReport, EverythingPrintedLiesInsideTheMargin) {
    const TModalitaQuiz m = GetParam();
    if (!pdfToolsAvailable())
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    PrintWorld w;
    w.state.currentCategory = m;
    w.switches.CkRispVisible = true;
    // Long texts without figures: every text is widened, odd ones to the left edge.
    auto sheet = w.composer.sheet(m);
    for (std::size_t i = 0; i < sheet.size(); ++i) {
        const int n = static_cast<int>(i) + 1;
        sheet[i] = plainSlot(n, 250, {}, n % 2 ? "F" : "V");
    }
    auto acc = w.composer.keyAccumulator(m);
    for (std::size_t i = 0; i < acc.size(); ++i)
        acc[i] = {"E00" + std::to_string(i / sheet.size() + 1), i % 2 ? "V" : "F", 100, "1/1"};
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E001", 1));
    ASSERT_TRUE(w.printer.StampaCorrettore(sheetsPerKey(m), 1));

    constexpr int dpi = 72;
    const double margin = templategen::kPageMargin * dpi;
    const std::string code(categoryCode(m));
    for (const std::string& pdf :
         {code + "_ESAE001.pdf",
          "Correttore " + code + " E001-E00" + std::to_string(sheetsPerKey(m)) + ".pdf"}) {
        SCOPED_TRACE(pdf);
        const auto boxes = inkBoxes(w, w.programFile(pdf), dpi);
        ASSERT_TRUE(boxes.has_value());
        ASSERT_FALSE(boxes->empty());
        for (const QRect& box : *boxes) {
            ASSERT_FALSE(box.isEmpty());
            EXPECT_GE(box.left(), margin);
            EXPECT_GE(box.top(), margin);
            EXPECT_LE(box.right() + 1, 595 - margin);
            EXPECT_LE(box.bottom() + 1, 842 - margin);
            // A widened odd question starts at 0.35 in: nothing stands beside it.
            if (pdf.find("_ESA") != std::string::npos) {
                EXPECT_GE(box.left(), 0.33 * dpi);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(DefaultTemplate, EveryReport,
                         testing::ValuesIn(workingCategories().begin(), workingCategories().end()),
                         [](const testing::TestParamInfo<TModalitaQuiz>& info) {
                             return std::string(categoryCode(info.param));
                         });

TEST(PdfOutput, ABSheetReadsBackWithSchoolLabelsAndEmbeddedFonts) {
    if (!pdfToolsAvailable())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    PrintWorld w;
    const auto figures = composeSampleSheet(w, mqAB);
    EXPECT_FALSE(figures.empty());
    // As in a print run: drawn and written on a worker thread where there are two cores.
    w.printer.beginRun();
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E012", 1));
    ASSERT_TRUE(w.printer.settleOldest());
    w.printer.endRun();
    const std::string pdf = w.programFile("AB_ESAE012.pdf");
    const auto text = pdfText(pdf);
    ASSERT_TRUE(text.has_value());
    // Unhinted text with design metrics still reads back word for word, in order.
    for (const auto& slot : w.composer.sheet(mqAB)) {
        const QString words = QString::fromStdString(slot.Testo).simplified();
        EXPECT_TRUE(text->contains(words)) << slot.Testo;
    }
    EXPECT_TRUE(text->contains(QStringLiteral("Autoscuola Bellavista")));
    EXPECT_TRUE(text->contains(QString::fromUtf8("Via Giuseppe Garibaldi 12, Città di Castello")));
    EXPECT_TRUE(text->contains(QStringLiteral("E012/a")));
    EXPECT_TRUE(text->contains(QStringLiteral("E012/b")));
    // Book references of questions with a figure.
    for (const auto& slot : w.composer.sheet(mqAB)) {
        if (!slot.Figura.empty()) {
            EXPECT_TRUE(text->contains(QString::fromStdString("Figura " + slot.Figura)));
        }
    }
    const auto info = runTool(QStringLiteral("pdfinfo"), {QString::fromStdString(pdf)});
    ASSERT_TRUE(info.has_value());
    EXPECT_TRUE(info->contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\b"))));
    EXPECT_TRUE(info->contains(QRegularExpression(QStringLiteral("Page size:.*\\(A4\\)"))));

    const auto fonts = runTool(QStringLiteral("pdffonts"), {QString::fromStdString(pdf)});
    ASSERT_TRUE(fonts.has_value());
    const QStringList lines = fonts->split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GT(lines.size(), 2);
    for (qsizetype i = 2; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].startsWith(QStringLiteral("DejaVuSans"))) << lines[i].toStdString();
        // Columns: name, type, encoding, emb, sub, uni, object ID.
        const QStringList columns = lines[i].simplified().split(QLatin1Char(' '));
        ASSERT_GE(columns.size(), 7);
        EXPECT_EQ(columns[columns.size() - 5], QStringLiteral("yes")) << lines[i].toStdString();
    }
}

TEST(PdfOutput, FigureLandsInsideItsBox) {
    PrintWorld w;
    w.state.currentCategory = mqAB;
    fillPlainSheet(w, mqAB);
    w.composer.sheet(mqAB)[0].Figura = "1";  // odd slot: box at the left
    w.composer.sheet(mqAB)[1].Figura = "2";  // even slot: box at the right
    writeSolidBmp(w.state.figuresFolder + "1.bmp", 120, 90, QColor(0, 0, 255));
    writeSolidBmp(w.state.figuresFolder + "2.bmp", 90, 120, QColor(0, 0, 255));
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E001", 1));
    const RunSnapshot& run = w.lastRun();
    constexpr double dpi = 100;
    const auto isBlue = [](QColor c) { return c.blue() > 200 && c.red() < 60 && c.green() < 60; };
    const auto boxOf = [&](const char* name) {
        const report::Component* c = run.find(QString::fromLatin1(name));
        return QRect(int(c->Left() * dpi), int(c->Top() * dpi), int(c->Width() * dpi) + 1,
                     int(c->Height() * dpi) + 1);
    };
    const QRect box1 = boxOf("Figura1");
    const QRect box2 = boxOf("Figura2");

    // The page as the engine draws it, and the page of the written PDF.
    std::vector<std::pair<std::string, QImage>> pages;
    pages.emplace_back("engine", report::renderPageImage(run.tmpl, run.report(), 0, dpi));
    const auto rendered =
        runTool(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-f"),
                 QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                 QStringLiteral("-png"), QString::fromStdString(w.programFile("AB_ESAE001.pdf")),
                 QString::fromStdString(w.file("page"))});
    if (rendered) {
        pages.emplace_back("pdf", QImage(QString::fromStdString(w.file("page-1.png"))));
    }
    for (const auto& [source, image] : pages) {
        SCOPED_TRACE(source);
        ASSERT_FALSE(image.isNull());
        int inside = 0;
        int outside = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (!isBlue(image.pixelColor(x, y)))
                    continue;
                // One pixel of slack for the edge the rasteriser smooths.
                const bool inBox = box1.adjusted(-1, -1, 1, 1).contains(x, y) ||
                                   box2.adjusted(-1, -1, 1, 1).contains(x, y);
                inBox ? ++inside : ++outside;
            }
        }
        EXPECT_GT(inside, box1.width() * box1.height() / 3);
        EXPECT_EQ(outside, 0);
        EXPECT_TRUE(isBlue(image.pixelColor(box1.center())));
        EXPECT_TRUE(isBlue(image.pixelColor(box2.center())));
    }
}

TEST(PdfOutput, EarlierSheetWithTheSameNumberIsNeverReplaced) {
    PrintWorld w;
    w.state.currentCategory = mqAB;
    fillPlainSheet(w, mqAB);
    // A sheet of an earlier run numbered E001 before its counter restarted.
    const std::string older = w.programFile("AB_ESAE001.pdf");
    { std::ofstream(older) << "earlier run"; }
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E001", 1));
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E001", 1));
    EXPECT_EQ(fileBytes(older), "earlier run");
    for (const char* name : {"AB_ESAE001 (2).pdf", "AB_ESAE001 (3).pdf"}) {
        EXPECT_EQ(fileBytes(w.programFile(name)).rfind("%PDF", 0), 0u) << name;
    }
    EXPECT_TRUE(w.logHas(utf8ToCp1252(">ALERTS: TFormStampe.StampaSchedaAB - Il file \"" + older +
                                      "\" esiste gi\u00e0: scritto \"" +
                                      w.programFile("AB_ESAE001 (3).pdf") + "\"")));
}

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

#include "report/page_renderer.h"
#include "report/report_error.h"
#include "report/report_output.h"
#include "report/report_project.h"
#include "report/template_file.h"
#include "report_test_util.h"

namespace vexora::report {
namespace {

constexpr double kDpi = 100;

bool isColor(QRgb pixel, QColor color, int tolerance = 8) {
    return std::abs(qRed(pixel) - color.red()) <= tolerance &&
           std::abs(qGreen(pixel) - color.green()) <= tolerance &&
           std::abs(qBlue(pixel) - color.blue()) <= tolerance;
}

// Pixels of colour inside the inch rectangle of image.
int countColor(const QImage& image, QRectF inches, QColor color, int tolerance = 60) {
    int count = 0;
    const QRect r(int(inches.left() * kDpi), int(inches.top() * kDpi), int(inches.width() * kDpi),
                  int(inches.height() * kDpi));
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            if (isColor(image.pixel(x, y), color, tolerance))
                ++count;
        }
    }
    return count;
}

QRgb at(const QImage& image, double xInch, double yInch) {
    return image.pixel(int(xInch * kDpi), int(yInch * kDpi));
}

TEST(RenderImage, FilledRectangleLandsInsideItsBox) {
    ReportTemplate t;
    Page& page = t.AddReport(QStringLiteral("R")).AddPage(QStringLiteral("Page1"));
    Component box = Component::MakeRectangle(QStringLiteral("Box"), 1.0, 1.0, 2.0, 1.0);
    box.SetFillColor(QColor(255, 0, 0));
    box.SetLineWidth(0);
    page.Add(box);
    Component hidden = Component::MakeRectangle(QStringLiteral("Hidden"), 4.0, 4.0, 1.0, 1.0);
    hidden.SetFillColor(QColor(0, 0, 255));
    hidden.SetVisible(false);
    page.Add(hidden);
    const QImage image = renderPageImage(t, t.Reports()[0], 0, kDpi);
    ASSERT_EQ(image.width(), 827);
    ASSERT_EQ(image.height(), 1169);
    EXPECT_TRUE(isColor(at(image, 1.05, 1.05), Qt::red));
    EXPECT_TRUE(isColor(at(image, 2.95, 1.95), Qt::red));
    EXPECT_TRUE(isColor(at(image, 0.95, 1.5), Qt::white));
    EXPECT_TRUE(isColor(at(image, 3.05, 1.5), Qt::white));
    EXPECT_TRUE(isColor(at(image, 2.0, 0.95), Qt::white));
    EXPECT_TRUE(isColor(at(image, 2.0, 2.05), Qt::white));
    EXPECT_EQ(countColor(image, QRectF(4, 4, 1, 1), Qt::blue), 0);
    EXPECT_THROW(renderPageImage(t, t.Reports()[0], 1, kDpi), ReportError);
}

TEST(RenderImage, PicturesFillTheirBoxStretchedOrKeepingAspect) {
    ReportTemplate t;
    Page& page = t.AddReport(QStringLiteral("R")).AddPage(QStringLiteral("Page1"));
    Component stretched = Component::MakeImage(QStringLiteral("Figura1"), 2.0, 3.0, 1.0, 1.0);
    stretched.SetImage(test::solidImage(10, 30, QColor(0, 160, 0)));
    page.Add(stretched);
    Component kept = Component::MakeImage(QStringLiteral("Figura2"), 5.0, 3.0, 1.0, 1.0);
    kept.SetImage(test::solidImage(20, 10, QColor(0, 0, 200)));
    kept.SetFit(ImageFit::KeepAspect);
    page.Add(kept);
    Component group = Component::MakeGroup(QStringLiteral("Gruppo"));
    Component inGroup = Component::MakeImage(QStringLiteral("Figura3"), 2.0, 6.0, 1.0, 1.0);
    inGroup.SetImage(test::solidImage(8, 8, QColor(0, 160, 0)));
    group.AddChild(inGroup);
    group.SetVisible(false);
    page.Add(group);
    const QImage image = renderPageImage(t, t.Reports()[0], 0, kDpi);

    EXPECT_TRUE(isColor(at(image, 2.02, 3.02), QColor(0, 160, 0)));
    EXPECT_TRUE(isColor(at(image, 2.98, 3.98), QColor(0, 160, 0)));
    EXPECT_TRUE(isColor(at(image, 1.97, 3.5), Qt::white));
    EXPECT_TRUE(isColor(at(image, 3.03, 3.5), Qt::white));
    EXPECT_TRUE(isColor(at(image, 2.5, 4.03), Qt::white));
    // 20 x 10 into a square box: full width, centred half height.
    EXPECT_TRUE(isColor(at(image, 5.5, 3.5), QColor(0, 0, 200)));
    EXPECT_TRUE(isColor(at(image, 5.02, 3.3), QColor(0, 0, 200)));
    EXPECT_TRUE(isColor(at(image, 5.5, 3.2), Qt::white));
    EXPECT_TRUE(isColor(at(image, 5.5, 3.8), Qt::white));
    // A hidden group hides its members.
    EXPECT_EQ(countColor(image, QRectF(2, 6, 1, 1), QColor(0, 160, 0), 8), 0);
}

TEST(RenderImage, FontMasterDecidesFontAndColourOfALinkedText) {
    ReportTemplate t;
    Page& page = t.AddReport(QStringLiteral("R")).AddPage(QStringLiteral("Page1"));
    ReportFont masterFont;
    masterFont.pointSize = 20;
    masterFont.color = QColor(0, 0, 0);
    page.Add(Component::MakeFontMaster(QStringLiteral("FontMasterDom"), masterFont));
    ReportFont red;
    red.pointSize = 20;
    red.color = QColor(255, 0, 0);
    for (int i = 0; i < 3; ++i) {
        Component text = Component::MakeText(QStringLiteral("T%1").arg(i), 1, 1 + i, 5, 0.6,
                                             QStringLiteral("MMMMMMMM"));
        text.SetFont(red);
        page.Add(text);
    }
    Report& r = *t.FindReport(QStringLiteral("R"));
    Component* linked = r.FindComponent(QStringLiteral("T0"));
    linked->SetFontMirror(r.FindComponent(QStringLiteral("FontMasterDom")));
    linked->SetForeColor(colorFromWindowsRgb(255));
    // T1: own font (red); T2: own font, fore colour blue wins over the font colour.
    r.FindComponent(QStringLiteral("T2"))->SetForeColor(QColor(0, 0, 255));
    const QImage image = renderPageImage(t, r, 0, kDpi);
    const QRectF row0(1, 1, 5, 0.6), row1(1, 2, 5, 0.6), row2(1, 3, 5, 0.6);
    EXPECT_EQ(countColor(image, row0, Qt::red), 0);
    EXPECT_GT(countColor(image, row0, Qt::black), 200);
    EXPECT_GT(countColor(image, row1, Qt::red), 200);
    EXPECT_EQ(countColor(image, row2, Qt::red), 0);
    EXPECT_GT(countColor(image, row2, Qt::blue), 200);
}

// ---------------------------------------------------------------- PDF through the engine

ReportTemplate pdfTemplate() {
    ReportTemplate t;
    t.SetParam(QStringLiteral("NomeAutoscuola"), QStringLiteral("Scuola Guida"));
    Report& r = t.AddReport(QStringLiteral("Prova"));
    Page& p1 = r.AddPage(QStringLiteral("Page1"));
    p1.Add(Component::MakeText(QStringLiteral("Testata"), 0.5, 0.5, 7, 0.4,
                               QStringLiteral("Autoscuola {NomeAutoscuola}")));
    Component q = Component::MakeText(QStringLiteral("Domanda1"), 1.35, 1.0, 5, 1.0,
                                      QStringLiteral("{Domanda1}"));
    q.SetAlignment(TextAlign::Justify);
    p1.Add(q);
    Component hidden = Component::MakeText(QStringLiteral("Nascosto"), 0.5, 3, 5, 0.4,
                                           QStringLiteral("TESTONASCOSTO"));
    hidden.SetVisible(false);
    p1.Add(hidden);
    Component figure = Component::MakeImage(QStringLiteral("Figura1"), 0.35, 1.0, 0.9, 0.9);
    QImage picture(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x)
            picture.setPixel(x, y, qRgb(x, y, (x ^ y) & 0xFF));
    }
    figure.SetImage(picture);
    p1.Add(figure);
    Page& p2 = r.AddPage(QStringLiteral("Page2"));
    p2.Add(Component::MakeText(QStringLiteral("Domanda16"), 1.35, 1.0, 5, 1.0,
                               QStringLiteral("Seconda pagina: {Domanda16}")));
    return t;
}

const QString kQuestion = QStringLiteral(
    "È vietato sorpassare in curva? Il conducente è perciò tenuto a ridurre la velocità "
    "là dove la visibilità è insufficiente, però può affiancare un veicolo fluido; ciò vale "
    "anche per l'ufficio e le più difficili rotatorie, e dà più sicurezza");

class PdfOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        templatePath_ = dir_.filePath(QStringLiteral("Vexora.rav"));
        pdfPath_ = dir_.filePath(QStringLiteral("AB_ESAE012.pdf"));
        writeTemplateFile(pdfTemplate(), templatePath_);
        project_.SetProjectFile(templatePath_);
        output_.SetDefaultDest(Destination::File);
        output_.SetRenderObject(Renderer::Pdf);
        output_.SetDoNativeOutput(false);
        output_.SetOutputFileName(pdfPath_);
        output_.SetStatusHook([this](const QString& s) { status_ << s; });
        output_.SetSetupDialog([this](QPrinter&, const QString&) {
            ++setupShown_;
            return true;
        });
    }

    void openAndFill() {
        project_.Open();
        project_.SelectReport(QStringLiteral("Prova"));
        project_.SetEngine(&output_);
        project_.SetParam(QStringLiteral("Domanda1"), kQuestion);
        project_.SetParam(QStringLiteral("Domanda16"), QStringLiteral("città però ù"));
    }

    QTemporaryDir dir_;
    QString templatePath_;
    QString pdfPath_;
    ReportProject project_;
    ReportOutput output_;
    QStringList status_;
    int setupShown_ = 0;
};

TEST_F(PdfOutputTest, WritesTheTextsBackExactlyWithEmbeddedFonts) {
    openAndFill();
    ASSERT_TRUE(project_.Execute());
    project_.Close();
    ASSERT_TRUE(QFile::exists(pdfPath_));
    EXPECT_EQ(status_, QStringList({QStringLiteral("Generating page 1"),
                                    QStringLiteral("Generating page 2")}));
    EXPECT_EQ(setupShown_, 0);

    const auto text = test::runTool(QStringLiteral("pdftotext"), {pdfPath_, QStringLiteral("-")});
    if (!text)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const QString words = test::simplified(*text);
    EXPECT_TRUE(words.contains(QStringLiteral("Autoscuola Scuola Guida"))) << words.toStdString();
    EXPECT_TRUE(words.contains(test::simplified(kQuestion))) << words.toStdString();
    EXPECT_TRUE(words.contains(QStringLiteral("Seconda pagina: città però ù")));
    EXPECT_FALSE(words.contains(QStringLiteral("TESTONASCOSTO")));
    EXPECT_FALSE(words.contains(QStringLiteral("{")));

    const auto fonts = test::runTool(QStringLiteral("pdffonts"), {pdfPath_});
    if (!fonts)
        GTEST_SKIP() << "pdffonts (poppler-utils) is not installed";
    const QStringList lines = fonts->split(u'\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(lines.isEmpty()) << fonts->toStdString();
    for (const QString& line : lines) {
        EXPECT_TRUE(line.contains(QStringLiteral("DejaVuSans"))) << line.toStdString();
        EXPECT_TRUE(line.contains(QStringLiteral(" yes "))) << line.toStdString();
    }

    const auto info = test::runTool(QStringLiteral("pdfinfo"), {pdfPath_});
    ASSERT_TRUE(info.has_value());
    EXPECT_TRUE(info->contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))));
    EXPECT_TRUE(info->contains(QStringLiteral("(A4)"))) << info->toStdString();
    EXPECT_TRUE(info->contains(QRegularExpression(QStringLiteral("Title:\\s+Vexora"))));
}

TEST_F(PdfOutputTest, PicturesGoInAsJpegAndAreReducedForTheNoJpegFallback) {
    const auto list = [this](const QByteArray& pdf) {
        QFile f(pdfPath_);
        f.open(QIODevice::WriteOnly);
        f.write(pdf);
        f.close();
        return test::runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdfPath_});
    };
    const ReportTemplate t = readTemplateFile(templatePath_);
    ASSERT_TRUE(jpegWriterAvailable()) << "Qt's jpeg image plugin is missing";
    QByteArray jpeg, raw;
    QBuffer b1(&jpeg), b2(&raw);
    b1.open(QIODevice::WriteOnly);
    b2.open(QIODevice::WriteOnly);
    ASSERT_TRUE(renderReportPdf(t, t.Reports()[0], {}, b1, QStringLiteral("x"),
                                pdfRenderOptions(true), {}));
    ASSERT_TRUE(renderReportPdf(t, t.Reports()[0], {}, b2, QStringLiteral("x"),
                                pdfRenderOptions(false), {}));
    const auto withJpeg = list(jpeg);
    if (!withJpeg)
        GTEST_SKIP() << "pdfimages (poppler-utils) is not installed";
    // page num type width height color comp bpc enc ...
    const QStringList j =
        withJpeg->split(u'\n', Qt::SkipEmptyParts).value(2).simplified().split(u' ');
    ASSERT_GE(j.size(), 9) << withJpeg->toStdString();
    EXPECT_EQ(j[3], QStringLiteral("256"));
    EXPECT_EQ(j[8], QStringLiteral("jpeg"));
    const QStringList r =
        list(raw)->split(u'\n', Qt::SkipEmptyParts).value(2).simplified().split(u' ');
    ASSERT_GE(r.size(), 9);
    EXPECT_EQ(r[3], QStringLiteral("135"));  // 0.9 inch at 150 dpi
}

TEST_F(PdfOutputTest, AbortStopsBetweenPagesAndLeavesTheOldFile) {
    QFile old(pdfPath_);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("vecchio");
    old.close();
    int pumped = 0;
    output_.SetEventPump([&] {
        if (++pumped == 2)
            output_.Abort();  // "Interrompi" clicked while page 1 was drawn
    });
    openAndFill();
    EXPECT_FALSE(project_.Execute());
    EXPECT_TRUE(output_.Aborted());
    EXPECT_EQ(status_, QStringList{QStringLiteral("Generating page 1")});
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("vecchio"));
    old.close();
    // Still cancelled: a second Execute of the same job does nothing.
    EXPECT_FALSE(project_.Execute());
    // The next renderer call attaches the engine again and runs.
    project_.Close();
    openAndFill();
    EXPECT_TRUE(project_.Execute());
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_TRUE(old.read(5).startsWith("%PDF"));
}

TEST_F(PdfOutputTest, CloseDuringARunCancelsItAndUnloadsAfterwards) {
    output_.SetEventPump([this] { project_.Close(); });
    openAndFill();
    EXPECT_FALSE(project_.Execute());
    EXPECT_TRUE(output_.Aborted());
    EXPECT_FALSE(project_.Active());
    EXPECT_FALSE(QFile::exists(pdfPath_));
}

TEST_F(PdfOutputTest, MisconfiguredOutputsFailWithAClearError) {
    openAndFill();
    output_.SetRenderObject(Renderer::None);
    EXPECT_THROW(project_.Execute(), ReportError);
    output_.SetRenderObject(Renderer::Pdf);
    output_.SetOutputFileName(QString());
    EXPECT_THROW(project_.Execute(), ReportError);
    output_.SetOutputFileName(dir_.filePath(QStringLiteral("manca/x.pdf")));
    EXPECT_THROW(project_.Execute(), ReportError);

    output_.SetDefaultDest(Destination::Printer);
    EXPECT_THROW(project_.Execute(), ReportError);  // no printer device
    PrinterDevice printer(QStringLiteral("VexoraNessunaStampante"));
    EXPECT_FALSE(printer.IsValid());
    EXPECT_FALSE(printer.SelectPaper(QStringLiteral("A4")));
    output_.SetPrinter(&printer);
    try {
        project_.Execute();
        FAIL() << "printed on a missing printer";
    } catch (const ReportError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("VexoraNessunaStampante"))) << e.what();
    }
    EXPECT_EQ(setupShown_, 0);
    EXPECT_FALSE(output_.Running());
}

TEST(OutputController, FixedSettingsAndSetupOptions) {
    ReportOutput output;
    EXPECT_EQ(output.JobTitle(), QStringLiteral("Vexora"));
    EXPECT_EQ(output.TitleSetup(), QStringLiteral("Opzioni di stampa"));
    EXPECT_EQ(output.TitleStatus(), QStringLiteral("Report Status"));
    EXPECT_EQ(output.StatusFormatPrinting(), QStringLiteral("Printing page %p"));
    EXPECT_EQ(output.StatusFormatFile(), QStringLiteral("Generating page %p"));
    EXPECT_EQ(output.PrinterUnits(), DisplayUnit::Millimetre);
    EXPECT_EQ(output.PrinterUnitsFactor(), 25.4);
    EXPECT_TRUE(output.SystemSetups() & ssAllowSetup);
    output.RemoveSystemSetup(ssAllowSetup);
    EXPECT_FALSE(output.SystemSetups() & ssAllowSetup);
}

}  // namespace
}  // namespace vexora::report

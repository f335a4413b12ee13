// bench-deps: vexora_report vexora_core
//
// Report engine: a two-page A4 sheet with 30 question texts and 30 figures written to
// PDF the way a renderer call does it (open the template, fill, execute, close).
// Target for a full AB sheet: under 50 ms. Set VEXORA_BENCH_PDF to a path to keep a
// copy of the PDF for a look.

#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "report/page_renderer.h"
#include "report/report_output.h"
#include "report/report_project.h"
#include "report/template_file.h"

namespace {

using namespace vexora::report;

constexpr int kSlots = 30;
constexpr int kSlotsPerPage = 15;
const QString kFamily = QStringLiteral("DejaVu Sans");

void addSheetReport(ReportTemplate& t, const QString& name) {
    Report& r = t.AddReport(name);
    ReportFont question;
    question.family = kFamily;
    question.pointSize = 9;
    ReportFont header = question;
    header.pointSize = 12;
    header.bold = true;
    for (int p = 0; p < kSlots / kSlotsPerPage; ++p) {
        Page& page = r.AddPage(QStringLiteral("Page%1").arg(p + 1));
        if (p == 0)
            page.Add(Component::MakeFontMaster(QStringLiteral("FontMasterDom"), question));
        Component title =
            Component::MakeText(QStringLiteral("Testata%1").arg(p + 1), 0.35, 0.3, 7.5, 0.3,
                                QStringLiteral("{NomeAutoscuola} – {IndirizzoAutoscuola}"));
        title.SetFont(header);
        page.Add(title);
        for (int i = 0; i < kSlotsPerPage; ++i) {
            const int n = p * kSlotsPerPage + i + 1;
            const double top = 0.8 + i * 0.72;
            const bool odd = n % 2 == 1;
            Component text =
                Component::MakeText(QStringLiteral("Domanda%1").arg(n), odd ? 1.35 : 0.6, top, 5.5,
                                    0.65, QStringLiteral("%1. {Domanda%1}").arg(n));
            text.SetFontMirrorName(QStringLiteral("FontMasterDom"));
            text.SetAlignment(TextAlign::Justify);
            page.Add(text);
            page.Add(Component::MakeImage(QStringLiteral("Figura%1").arg(n), odd ? 0.35 : 6.2, top,
                                          0.65, 0.65));
            page.Add(
                Component::MakeRectangle(QStringLiteral("V%1").arg(n), 7.2, top + 0.1, 0.25, 0.25));
            page.Add(
                Component::MakeRectangle(QStringLiteral("F%1").arg(n), 7.6, top + 0.1, 0.25, 0.25));
        }
    }
}

// The sheet report, plus 27 more of the same size so that opening the template costs
// what the real one with its 28 reports does.
ReportTemplate sheetTemplate() {
    ReportTemplate t;
    t.SetParam(QStringLiteral("NomeAutoscuola"), QString());
    t.SetParam(QStringLiteral("IndirizzoAutoscuola"), QString());
    addSheetReport(t, QStringLiteral("SchedaAB"));
    for (int i = 1; i <= 27; ++i)
        addSheetReport(t, QStringLiteral("Altro%1").arg(i));
    return t;
}

QImage figure(int n) {
    QImage image(256, 256, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(200, 0, 0), 18));
    painter.setBrush(QColor(255, 255, 255));
    painter.drawEllipse(QPointF(128, 128), 110, 110);
    painter.setPen(QPen(QColor(20, 20, 20), 6));
    painter.drawLine(60, 200 - n * 3, 196, 60 + n * 3);
    painter.setFont(QFont(kFamily, 40, QFont::Bold));
    painter.drawText(QRect(0, 0, 256, 256), Qt::AlignCenter, QString::number(n * 10));
    return image;
}

QString questionText(int n) {
    return QStringLiteral(
               "Il conducente che si avvicina a un incrocio regolato da questo segnale (figura "
               "%1) deve dare la precedenza ai veicoli provenienti da destra e da sinistra; è "
               "però consentito proseguire là dove la visibilità è sufficiente e la città lo "
               "permette.")
        .arg(n);
}

struct Fixture {
    QTemporaryDir dir;
    QString templatePath;
    QString pdfPath;
    std::vector<QImage> figures;
    std::vector<QString> questions;

    Fixture() {
        templatePath = dir.filePath(QStringLiteral("Vexora.rav"));
        pdfPath = dir.filePath(QStringLiteral("AB_ESAE001.pdf"));
        writeTemplateFile(sheetTemplate(), templatePath);
        for (int n = 1; n <= kSlots; ++n) {
            figures.push_back(figure(n));
            questions.push_back(questionText(n));
        }
    }
};

// One renderer call: open, fill, execute to PDF, close.
void renderSheet(Fixture& f, ReportProject& project, ReportOutput& output) {
    output.SetDefaultDest(Destination::File);
    output.SetRenderObject(Renderer::Pdf);
    output.SetDoNativeOutput(false);
    output.SetOutputFileName(f.pdfPath);
    project.SetProjectFile(f.templatePath);
    project.Open();
    project.SelectReport(QStringLiteral("SchedaAB"));
    project.SetUnits(DisplayUnit::Millimetre);
    project.SetUnitsFactor(25.4);
    project.SetEngine(&output);
    project.SetParam(QStringLiteral("NomeAutoscuola"), QStringLiteral("Autoscuola Bellavista"));
    project.SetParam(QStringLiteral("IndirizzoAutoscuola"), QStringLiteral("Via Roma 1, Città"));
    std::vector<const Page*> pages{project.FindPage(QStringLiteral("SchedaAB.Page1")),
                                   project.FindPage(QStringLiteral("SchedaAB.Page2"))};
    for (int n = 1; n <= kSlots; ++n) {
        project.SetParam(QStringLiteral("Domanda%1").arg(n), f.questions[std::size_t(n - 1)]);
        const Page* page = pages[std::size_t((n - 1) / kSlotsPerPage)];
        if (const Component* image =
                project.FindComponent(QStringLiteral("Figura%1").arg(n), page)) {
            project.Values().Edit(*image).SetImage(f.figures[std::size_t(n - 1)]);
        }
    }
    project.Execute();
    project.Close();
}

void BM_SheetToPdf(benchmark::State& state) {
    Fixture f;
    ReportProject project;
    ReportOutput output;
    for (auto _ : state)
        renderSheet(f, project, output);
    state.counters["pdf_bytes"] = double(QFileInfo(f.pdfPath).size());
    if (const QByteArray keep = qgetenv("VEXORA_BENCH_PDF"); !keep.isEmpty()) {
        QFile::remove(QString::fromLocal8Bit(keep));
        QFile::copy(f.pdfPath, QString::fromLocal8Bit(keep));
    }
}
BENCHMARK(BM_SheetToPdf)->Unit(benchmark::kMillisecond);

// The template part alone: open (from the pristine copy), fill parameters, close.
void BM_OpenFillClose(benchmark::State& state) {
    Fixture f;
    ReportProject project;
    project.SetProjectFile(f.templatePath);
    for (auto _ : state) {
        project.Open();
        for (int n = 1; n <= kSlots; ++n) {
            project.SetParam(QStringLiteral("Domanda%1").arg(n), f.questions[std::size_t(n - 1)]);
        }
        project.Close();
    }
}
BENCHMARK(BM_OpenFillClose)->Unit(benchmark::kMicrosecond);

// A page preview as an image at 96 dpi.
void BM_PageToImage(benchmark::State& state) {
    ReportTemplate t = sheetTemplate();
    Fixture f;
    for (int n = 1; n <= kSlotsPerPage; ++n) {
        t.SetParam(QStringLiteral("Domanda%1").arg(n), f.questions[std::size_t(n - 1)]);
        t.FindPage(QStringLiteral("SchedaAB.Page1"))
            ->FindComponent(QStringLiteral("Figura%1").arg(n))
            ->SetImage(f.figures[std::size_t(n - 1)]);
    }
    for (auto _ : state) {
        QImage image = renderPageImage(t, t.Reports()[0], 0, 96);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PageToImage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    const QString resolved = QFontInfo(QFont(kFamily)).family();
    if (!fontFamilyAvailable(kFamily) || resolved != kFamily) {
        std::fprintf(stderr,
                     "font \"%s\" not available (resolves to \"%s\"); install fonts-dejavu-core\n",
                     qPrintable(kFamily), qPrintable(resolved));
        return 1;
    }
    std::printf("font: %s; Qt jpeg writer: %s\n", qPrintable(resolved),
                jpegWriterAvailable() ? "yes" : "no");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

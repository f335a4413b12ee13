#include "report_test_util.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <memory>

namespace vexora::report::test {
namespace {

// Fonts, images and painting need a QGuiApplication; one lives for the whole run.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[12] = "test_report";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

const ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

ReportTemplate sampleTemplate() {
    ReportTemplate t;
    t.SetParam(QStringLiteral("NomeAutoscuola"), QStringLiteral("Autoscuola Bellavista"));
    t.SetParam(QStringLiteral("IndirizzoAutoscuola"), QStringLiteral("Via Roma 1, Città"));
    t.SetParam(QStringLiteral("Domanda1"), QString());

    Report& sheet = t.AddReport(QStringLiteral("SchedaAB"));
    Page& p1 = sheet.AddPage(QStringLiteral("Page1"));
    ReportFont normal;
    normal.pointSize = 11;
    ReportFont small;
    small.pointSize = 8;
    p1.Add(Component::MakeFontMaster(QStringLiteral("FontMasterDom"), normal));
    p1.Add(Component::MakeFontMaster(QStringLiteral("FontMasterDomX"), small));
    p1.Add(Component::MakeText(QStringLiteral("Intestazione"), 0.5, 0.4, 7.2, 0.3,
                               QStringLiteral("{NomeAutoscuola} - {IndirizzoAutoscuola}")));
    p1.Add(Component::MakeText(QStringLiteral("NomeSchedaA"), 6.5, 0.8, 1.2, 0.3));
    Component d1 =
        Component::MakeText(QStringLiteral("Domanda1"), 1.35, 1.3, 5.0, 0.9, "{Domanda1}");
    d1.SetFontMirrorName(QStringLiteral("FontMasterDom"));
    p1.Add(d1);
    p1.Add(Component::MakeRectangle(QStringLiteral("Rectangle1"), 0.35, 1.3, 0.9, 0.9));
    p1.Add(Component::MakeImage(QStringLiteral("Figura1"), 0.4, 1.35, 0.8, 0.8));

    Component row = Component::MakeGroup(QStringLiteral("Riga2"));
    Component inner = Component::MakeGroup(QStringLiteral("Interno2"));
    Component d2 = Component::MakeText(QStringLiteral("Domanda2"), 0.5, 2.4, 5.0, 0.9,
                                       QStringLiteral("{Domanda2}"));
    d2.SetAnchor(AnchorEdge::Right);
    inner.AddChild(d2);
    inner.AddChild(Component::MakeImage(QStringLiteral("Figura2"), 6.6, 2.45, 0.8, 0.8));
    row.AddChild(inner);
    Component mark = Component::MakeRectangle(QStringLiteral("Risp2"), 7.6, 2.5, 0.2, 0.2);
    mark.SetFillColor(QColor(0, 0, 0));
    row.AddChild(mark);
    p1.Add(row);

    Page& p2 = sheet.AddPage(QStringLiteral("Page2"));
    p2.Add(Component::MakeText(QStringLiteral("NomeSchedaB"), 6.5, 0.8, 1.2, 0.3));
    p2.Add(Component::MakeText(QStringLiteral("Domanda16"), 1.35, 1.3, 5.0, 0.9,
                               QStringLiteral("{Domanda16}")));

    Report& key = t.AddReport(QStringLiteral("CorrettoreAB"));
    Page& k1 = key.AddPage(QStringLiteral("Page1"));
    Component block = Component::MakeGroup(QStringLiteral("S_Corr1a"));
    block.AddChild(Component::MakeText(QStringLiteral("NomeSchedaA1"), 0.5, 0.5, 1.5, 0.3));
    Component cell = Component::MakeRectangle(QStringLiteral("Corr1_1"), 0.5, 1.0, 0.2, 0.2);
    cell.SetFillColor(QColor(0, 0, 0));
    block.AddChild(cell);
    k1.Add(block);
    return t;
}

QImage solidImage(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

std::optional<QString> runTool(const QString& program, const QStringList& args) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(path, args);
    if (!process.waitForFinished(60000))
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString simplified(const QString& text) {
    return text.simplified();
}

}  // namespace vexora::report::test

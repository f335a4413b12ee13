#include "print_world.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>

#include "data/category_opening.h"
#include "vexora-sample-data/sample_data.h"

namespace vexora::test {
namespace {

// Fonts, pictures and printing need a QGuiApplication; one lives for the whole run.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "test_print";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

const ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// A copy of component list `from` into page `to`.
void copyComponents(const report::Page& from, report::Page& to) {
    to.SetGotoMode(from.GotoMode());
    for (const report::Component& c : from.Components())
        to.Add(c);
}

report::ReportTemplate rebuilt(const report::ReportTemplate& t, const QString& skipReport,
                               const QString& skipPage) {
    report::ReportTemplate out;
    for (const auto& [name, value] : t.Params())
        out.SetParam(name, value);
    for (const report::Report& r : t.Reports()) {
        if (r.Name() == skipReport && skipPage.isEmpty())
            continue;
        report::Report& copy = out.AddReport(r.Name());
        copy.SetCopies(r.Copies());
        copy.SetDuplexMode(r.DuplexMode());
        for (const report::Page& p : r.Pages()) {
            if (r.Name() == skipReport && p.Name() == skipPage) {
                // A report needs a page: the only one stays under a name nobody asks for.
                if (r.Pages().size() == 1)
                    copyComponents(p, copy.AddPage(QStringLiteral("Foglio1")));
                continue;
            }
            copyComponents(p, copy.AddPage(p.Name()));
        }
    }
    return out;
}

}  // namespace

report::ReportTemplate withoutPage(const report::ReportTemplate& t, const QString& reportName,
                                   const QString& pageName) {
    return rebuilt(t, reportName, pageName);
}

report::ReportTemplate withoutReport(const report::ReportTemplate& t, const QString& reportName) {
    return rebuilt(t, reportName, QString());
}

compose::TDomandaPrint plainSlot(int n, std::size_t length, std::string figura,
                                 std::string risposta) {
    compose::TDomandaPrint s;
    s.IdMaster = 1000 + n;
    s.Svolta = "X";
    std::string text = "Domanda " + std::to_string(n) + " sulla precedenza";
    while (text.size() < length)
        text += " e la segnaletica";
    text.resize(length);
    s.Testo = text;
    s.Risposta = std::move(risposta);
    s.Figura = std::move(figura);
    s.BlkDom = std::to_string(100 + n) + "/" + std::to_string(n % 9 + 1);
    s.Indice = "A" + std::to_string(n % 7);
    return s;
}

void fillPlainSheet(PrintWorld& w, TModalitaQuiz m) {
    auto sheet = w.composer.sheet(m);
    for (std::size_t i = 0; i < sheet.size(); ++i)
        sheet[i] = plainSlot(static_cast<int>(i) + 1);
}

void writeSolidBmp(const std::string& path, int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(color);
    if (!image.save(QString::fromStdString(path), "BMP"))
        throw std::runtime_error("cannot write " + path);
}

std::set<std::string> composeSampleSheet(PrintWorld& w, TModalitaQuiz m) {
    const std::filesystem::path dataDir = w.dir.path() / "dati";
    sampledata::GenerateOptions options;
    options.categories = {m};
    options.figures = false;
    options.settingsFile = false;
    sampledata::generateSampleData(dataDir, options);
    w.state.dataFolder = dataDir.string() + "/";
    w.state.currentCategory = m;
    const data::CategoryOpening opened = data::InitAndCountDb(w.state, w.qd);
    if (!opened.masterLoaded || !opened.printLoaded || !opened.examPossible)
        throw std::runtime_error("sample category not opened");
    if (!w.composer.CaricaArrayScheda(compose::tsEsame, compose::toNulla))
        throw std::runtime_error("sample sheet not composed");

    const sampledata::FigureCatalogue figures =
        sampledata::buildFigureCatalogue(sampledata::kDefaultSeed);
    std::map<std::string, const sampledata::FigureBitmap*> byName;
    for (const auto& b : figures.bitmaps)
        byName[b.fileName] = &b;
    std::set<std::string> written;
    for (const compose::TDomandaPrint& slot : w.composer.sheet(m)) {
        if (slot.Figura.empty())
            continue;
        for (const std::string& name : {slot.Figura + ".bmp", slot.Figura + "n.bmp"}) {
            const auto it = byName.find(name);
            if (it == byName.end() || written.count(name))
                continue;
            std::ofstream out(w.state.figuresFolder + name, std::ios::binary);
            out << sampledata::renderFigureBmp(*it->second);
            written.insert(name);
        }
    }
    return written;
}

std::optional<QString> runTool(const QString& program, const QStringList& args, int* exitCode) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(path, args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput());
}

std::optional<QString> pdfText(const std::string& path) {
    const auto text =
        runTool(QStringLiteral("pdftotext"),
                {QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8"),
                 QString::fromStdString(path), QStringLiteral("-")});
    if (!text)
        return std::nullopt;
    return text->simplified();
}

}  // namespace vexora::test

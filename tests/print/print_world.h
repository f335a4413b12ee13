#pragma once

// A fresh printing world in a temporary program folder: the program's services, the
// question data and composer, one template project and output controller, and the
// renderers under test, writing PDF files. The default template built by the project is
// copied beside the program. A run hook keeps a copy of the template with every value
// the renderer set, as the engine starts each run.

#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "compose/sheet_composer.h"
#include "core/catalogue.h"
#include "core/error_report.h"
#include "core/program_state.h"
#include "core/run_log.h"
#include "core/switches.h"
#include "core/user_interaction.h"
#include "data/question_data.h"
#include "print/sheet_printer.h"
#include "report/report_output.h"
#include "report/report_project.h"
#include "report/run_values.h"
#include "report/template_file.h"
#include "report/template_model.h"
#include "support/temp_dir.h"

namespace vexora::test {

// Path of the template the build wrote into the program folder.
inline std::string builtTemplatePath() {
    return std::string(VEXORA_PROGRAM_DIR) + "/" + std::string(print::kTemplateFileName);
}

// The system platform without sound, remembering every tone.
class SilentPlatform : public SystemPlatform {
public:
    std::vector<std::pair<unsigned, unsigned>> tones;
    void beep(unsigned frequencyHz, unsigned durationMs) override {
        tones.emplace_back(frequencyHz, durationMs);
    }
};

// What one engine run showed: the template as it ran, and the report it ran.
struct RunSnapshot {
    report::ReportTemplate tmpl;
    QString reportName;

    const report::Report& report() const { return *tmpl.FindReport(reportName); }
    // A component on any page of the report that ran.
    const report::Component* find(const QString& name) const {
        return report().FindComponent(name);
    }
    QString param(const QString& name) const {
        const QString* v = tmpl.Param(name);
        return v ? *v : QString();
    }
};

struct PrintWorld {
    TempDir dir;
    SilentPlatform platform;
    Switches switches;
    ProgramState state{dir.folder()};
    RunLog log{platform, dir.folder(), switches};
    RecordingInteraction ui;
    Reporting reporting{log, switches, ui};
    data::QuestionData qd{reporting, platform, state};
    compose::SheetComposer composer{qd, reporting, ui, 2};
    report::ReportProject project;
    report::ReportOutput output;
    print::SheetPrinter printer{state, reporting, platform, ui, composer, project, output};
    // One entry per engine run, taken before its first page.
    std::vector<RunSnapshot> runs;

    PrintWorld() {
        switches.CkStampaSuPdf = true;
        switches.CkProgFlowLog = true;
        state.figuresFolder = dir.folder() + "PicSgn/";
        std::filesystem::create_directories(state.figuresFolder);
        state.schoolName = "Autoscuola Bellavista";
        state.schoolAddress = "Via Giuseppe Garibaldi 12, Città di Castello";
        useTemplateFile(builtTemplatePath());
        output.SetRunHook([this](const report::ReportTemplate& t, const report::Report& r,
                                 const report::RunValues& values) {
            runs.push_back({report::withRunValues(t, values, &r), r.Name()});
        });
    }

    std::string file(const std::string& name) const { return dir.file(name); }
    std::string programFile(const std::string& name) const { return state.programFolder + name; }

    // Puts a copy of a template file beside the program.
    void useTemplateFile(const std::string& path) {
        std::filesystem::copy_file(path, programFile(std::string(print::kTemplateFileName)),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    // Writes a template beside the program.
    void useTemplate(const report::ReportTemplate& t) {
        report::writeTemplateFile(
            t, QString::fromStdString(programFile(std::string(print::kTemplateFileName))));
    }

    std::string logText() const {
        std::ifstream in(log.currentFilePath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool logHas(const std::string& text) const { return logText().find(text) != std::string::npos; }

    const RunSnapshot& lastRun() const { return runs.back(); }
};

// Every byte of a file ("" when it cannot be read).
inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The default template as the build wrote it.
inline report::ReportTemplate builtTemplate() {
    return report::readTemplateFile(QString::fromStdString(builtTemplatePath()));
}

// A copy of t in which report `reportName` lacks page `pageName` (a report's only page
// is renamed "Foglio1" instead, as a report needs one).
report::ReportTemplate withoutPage(const report::ReportTemplate& t, const QString& reportName,
                                   const QString& pageName);
// A copy of t without report `reportName`.
report::ReportTemplate withoutReport(const report::ReportTemplate& t, const QString& reportName);

// A plain question for slot n: distinct text of `length` characters, an answer, a
// block reference and a topic.
compose::TDomandaPrint plainSlot(int n, std::size_t length = 60, std::string figura = {},
                                 std::string risposta = "V");
// Fills every slot of category m's sheet with plainSlot(n) (no figures).
void fillPlainSheet(PrintWorld& w, TModalitaQuiz m);

// Writes a 24-bit BMP picture of one colour.
void writeSolidBmp(const std::string& path, int width, int height, QColor color);

// Fills category m's sheet from generated sample data: composes an exam-like sheet with
// the composer from the category's sample master and topic list, and writes the
// generated figure bitmaps the sheet refers to (except those missing on purpose) into
// the figures folder. Returns the figure files written.
std::set<std::string> composeSampleSheet(PrintWorld& w, TModalitaQuiz m);

// Output of a command-line tool, or nullopt when it is not installed or fails to run.
std::optional<QString> runTool(const QString& program, const QStringList& args,
                               int* exitCode = nullptr);
// Text of a PDF file with its words separated by single blanks (pdftotext).
std::optional<QString> pdfText(const std::string& path);

}  // namespace vexora::test

// bench-deps: vexora_print vexora_sampledata vexora_templategen
//
// Sheet and answer-key renderers through the default template, to PDF. Targets: one AB
// sheet (2 pages, 30 figures; the template opened, filled, run and closed) under 50 ms;
// one answer key under 20 ms; the AB sheet's PDF under 800 KB; memory flat over 600
// sheets. Set VEXORA_BENCH_KEEP to a folder to keep the files written.

#include <QGuiApplication>
#include <QString>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "compose/sheet_composer.h"
#include "core/error_report.h"
#include "core/program_state.h"
#include "core/run_log.h"
#include "core/switches.h"
#include "core/user_interaction.h"
#include "data/question_data.h"
#include "print/sheet_printer.h"
#include "report/report_output.h"
#include "report/report_project.h"
#include "report/template_file.h"
#include "vexora-sample-data/sample_data.h"
#include "vexora-template/template_builder.h"

namespace {

using namespace vexora;

class SilentPlatform : public SystemPlatform {
public:
    void beep(unsigned, unsigned) override {}
};

// A program folder with the default template, 30 sample figures and an AB sheet whose
// every slot has one of them.
std::filesystem::path benchFolder() {
    if (const char* keep = std::getenv("VEXORA_BENCH_KEEP"))
        return keep;
    std::random_device rd;
    return std::filesystem::temp_directory_path() / ("vexora-bench-print-" + std::to_string(rd()));
}

struct BenchWorld {
    std::filesystem::path folder = benchFolder();
    SilentPlatform platform;
    Switches switches;
    ProgramState state{folder.string() + "/"};
    RunLog log{platform, state.programFolder, switches};
    QuietInteraction ui;
    Reporting reporting{log, switches, ui};
    data::QuestionData qd{reporting, platform, state};
    compose::SheetComposer composer{qd, reporting, ui, 1};
    report::ReportProject project;
    report::ReportOutput output;
    std::unique_ptr<print::SheetPrinter> printer;

    BenchWorld() {
        std::filesystem::create_directories(folder / "PicSgn");
        state.figuresFolder = folder.string() + "/PicSgn/";
        state.schoolName = "Autoscuola Bellavista";
        state.schoolAddress = "Via Giuseppe Garibaldi 12, Città di Castello";
        state.currentCategory = mqAB;
        switches.CkStampaSuPdf = true;
        report::writeTemplateFile(templategen::buildDefaultTemplate(),
                                  QString::fromStdString(state.programFolder + "Vexora.rav"));

        const auto figures = sampledata::buildFigureCatalogue(sampledata::kDefaultSeed);
        const auto sample = sampledata::buildCategory(mqAB, sampledata::kDefaultSeed, figures);
        std::map<std::string, const sampledata::FigureBitmap*> plain;
        for (const auto& b : figures.bitmaps)
            plain[b.fileName] = &b;
        std::size_t testo = 0;
        std::size_t figura = 0;
        for (std::size_t i = 0; i < sample.master.fields.size(); ++i) {
            if (sample.master.fields[i].name == "Testo")
                testo = i;
            if (sample.master.fields[i].name == "Figura")
                figura = i;
        }
        auto sheet = composer.sheet(mqAB);
        auto keys = composer.keyAccumulator(mqAB);
        std::size_t n = 0;
        for (const auto& row : sample.master.rows) {
            if (n == sheet.size())
                break;
            const std::string fig = std::get<std::string>(row[figura]);
            const auto it = plain.find(fig + ".bmp");
            if (fig.empty() || it == plain.end())
                continue;
            std::ofstream(state.figuresFolder + it->first, std::ios::binary)
                << sampledata::renderFigureBmp(*it->second);
            auto& slot = sheet[n];
            slot.Testo = std::get<std::string>(row[testo]);
            slot.Figura = fig;
            slot.Risposta = n % 3 == 0 ? "F" : "V";
            slot.BlkDom = std::to_string(100 + n) + "/" + std::to_string(n % 9 + 1);
            slot.Indice = "A01";
            ++n;
        }
        for (std::size_t i = 0; i < keys.size(); ++i) {
            keys[i].Scheda = "E00" + std::to_string(i / sheet.size() + 1);
            keys[i].IdMaster = int(1000 + i);
            keys[i].BlkDom = "12/" + std::to_string(i % 9 + 1);
            keys[i].Risposta = i % 4 == 0 ? "F" : "V";
        }
        printer = std::make_unique<print::SheetPrinter>(state, reporting, platform, ui, composer,
                                                        project, output);
    }
    ~BenchWorld() {
        printer.reset();
        if (!std::getenv("VEXORA_BENCH_KEEP")) {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        }
    }
};

BenchWorld& world() {
    static BenchWorld w;
    return w;
}

long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * 4;  // 4 KiB pages
}

// One sheet after another inside a print run, as the job driver prints them (figures
// fitted once a run, the PDF drawn on a worker where there are two cores); each output
// is waited for, so a sheet's whole cost lands in its iteration. The file is removed
// again, or every later one would take a free " (k)" name.
void BM_ABSheetToPdf(benchmark::State& state) {
    BenchWorld& w = world();
    const auto pdf = w.folder / "AB_ESAE001.pdf";
    double bytes = 0;
    w.printer->beginRun();
    for (auto _ : state) {
        if (!w.printer->StampaScheda(tdsEsame, "E001", 1) || !w.printer->settleOldest())
            state.SkipWithError("sheet not printed");
        bytes = double(std::filesystem::file_size(pdf));
        std::filesystem::remove(pdf);
    }
    w.printer->endRun();
    state.counters["pdf_kb"] = bytes / 1024.0;
}
BENCHMARK(BM_ABSheetToPdf)->Unit(benchmark::kMillisecond)->MinTime(3.0)->MeasureProcessCPUTime();

void BM_ABAnswerKeyToPdf(benchmark::State& state) {
    BenchWorld& w = world();
    const auto pdf = w.folder / "Correttore AB E001-E004.pdf";
    double bytes = 0;
    w.printer->beginRun();
    for (auto _ : state) {
        if (!w.printer->StampaCorrettore(4, 1) || !w.printer->settleOldest())
            state.SkipWithError("key not printed");
        bytes = double(std::filesystem::file_size(pdf));
        std::filesystem::remove(pdf);
    }
    w.printer->endRun();
    state.counters["pdf_kb"] = bytes / 1024.0;
}
BENCHMARK(BM_ABAnswerKeyToPdf)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->MeasureProcessCPUTime();

// 600 sheets in a row: resident memory and heap in use after the first 50 and after all
// 600. Flat means the growth stays within allocator noise, not proportional to sheets.
void BM_MemoryOver600Sheets(benchmark::State& state) {
    BenchWorld& w = world();
    for (auto _ : state) {
        long rss50 = 0;
        std::size_t heap50 = 0;
        w.printer->beginRun();
        for (int i = 1; i <= 600; ++i) {
            if (!w.printer->StampaScheda(tdsEsame, "E002", 1) || !w.printer->settleOldest()) {
                state.SkipWithError("sheet not printed");
                break;
            }
            std::filesystem::remove(w.folder / "AB_ESAE002.pdf");
            if (i == 50) {
                rss50 = residentKb();
                heap50 = mallinfo2().uordblks;
            }
        }
        w.printer->endRun();
        state.counters["rss_kb_after_50"] = double(rss50);
        state.counters["rss_growth_kb_50_to_600"] = double(residentKb() - rss50);
        state.counters["heap_growth_kb_50_to_600"] =
            (double(mallinfo2().uordblks) - double(heap50)) / 1024.0;
    }
}
BENCHMARK(BM_MemoryOver600Sheets)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// bench-deps: vexora_print vexora_sampledata
// Import of a 7,000-row question list with its figures (the size of the official AB
// list): reading and checking the CSV, converting 400 PNG figures to BMP, writing the
// master, the topic list and the aligned print history. Target: under 1 s.

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <fstream>

#include "../tests/importer/realistic_list.h"
#include "../tests/support/temp_dir.h"
#include "print/question_import.h"

namespace {

using namespace vexora;

struct ImportFixture {
    test::TempDir dir;
    print::ImportRequest request;
    explicit ImportFixture(int figures) {
        const test::RealisticList list = test::makeRealisticList(7000, figures);
        std::ofstream(dir.file("lista.csv"), std::ios::binary) << list.csv;
        test::writePngFigures(dir.path() / "immagini", list.figures, 256);
        request = {dir.folder(), mqAB, dir.file("lista.csv"),
                   figures ? dir.file("immagini") : std::string(), dir.folder() + "PicSgn/"};
    }
};

void runImport(benchmark::State& state, int figures) {
    ImportFixture f(figures);
    for (auto _ : state) {
        const importer::QuestionList list = print::prepareImport(f.request);
        if (!list.ok()) {
            state.SkipWithError("the list has errors");
            return;
        }
        benchmark::DoNotOptimize(print::commitImport(f.request, list));
    }
    state.counters["rows"] = 7000;
}

void BM_Import7000RowsWith400Figures(benchmark::State& state) {
    runImport(state, 400);
}
void BM_Import7000RowsNoFigures(benchmark::State& state) {
    runImport(state, 0);
}

BENCHMARK(BM_Import7000RowsWith400Figures)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Import7000RowsNoFigures)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

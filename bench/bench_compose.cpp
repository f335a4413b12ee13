// bench-deps: vexora_compose vexora_data vexora_core vexora_sampledata
//
// Sheet composition on generated data: one AB exam-like sheet, one C1 topic sheet with
// 25 topics, and a run of 600 AB exam-like sheets (chapters run out and fall back to
// questions already printed).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include "compose/sheet_composer.h"
#include "core/error_report.h"
#include "core/program_state.h"
#include "core/run_log.h"
#include "core/switches.h"
#include "core/user_interaction.h"
#include "data/question_data.h"
#include "vexora-sample-data/sample_data.h"

namespace {

using namespace vexora;

// Sample masters and topic lists of AB and C1, written once per process.
const std::filesystem::path& sampleFolder() {
    static const std::filesystem::path dir = [] {
        std::random_device rd;
        auto d = std::filesystem::temp_directory_path() /
                 ("vexora-bench-compose-" + std::to_string(rd()));
        sampledata::GenerateOptions options;
        options.categories = {mqAB, mqCqc1M};
        options.figures = false;
        options.settingsFile = false;
        sampledata::generateSampleData(d, options);
        return d;
    }();
    return dir;
}

// A program world on the sample data of one category, with a fresh print history.
struct World {
    SystemPlatform platform;
    Switches switches;
    ProgramState state;
    RunLog log;
    QuietInteraction ui{[](std::string_view) {}};
    Reporting reporting{log, switches, ui};
    data::QuestionData qd{reporting, platform, state};
    compose::SheetComposer composer{qd, reporting, ui, 2016};
    std::string historyPath;

    explicit World(TModalitaQuiz m)
        : state(sampleFolder().string() + "/"), log(platform, state.programFolder, switches) {
        state.currentCategory = m;
        const std::filesystem::path dir = sampleFolder();
        historyPath = (dir / ("bench-" + std::string(printHistoryFile(m)))).string();
        std::filesystem::remove(historyPath);
        if (!qd.CaricaMaster((dir / std::string(masterFile(m))).string()) ||
            !qd.CaricaPrintDb(historyPath) ||
            !qd.CaricaArgomenti((dir / std::string(topicListFile(m))).string(), false)) {
            throw std::runtime_error("sample data not loaded");
        }
        // Keep the pristine history so runs can start again from it.
        qd.SavePrintDb(historyPath);
    }
    void freshHistory() {
        if (!qd.CaricaPrintDb(historyPath))
            throw std::runtime_error("history not reloaded");
    }
};

void BM_AbExamSheet(benchmark::State& st) {
    World w(mqAB);
    for (auto _ : st) {
        if (!w.composer.CaricaArrayScheda(compose::tsEsame, compose::toNulla)) {
            st.SkipWithError("sheet not composed");
            break;
        }
        st.PauseTiming();
        w.composer.UndoLastSheetMarks();
        st.ResumeTiming();
    }
}
BENCHMARK(BM_AbExamSheet)->Unit(benchmark::kMicrosecond);

void BM_C1TopicSheet25Topics(benchmark::State& st) {
    World w(mqCqc1M);
    for (std::size_t k = 0; k < 25 && k < w.qd.LbArgomenti.count(); ++k)
        w.qd.LbArgomenti.select(k);
    if (w.qd.LbArgomenti.selectedCount() != 25) {
        st.SkipWithError("C1 sample has fewer than 25 topics");
        return;
    }
    for (auto _ : st) {
        if (!w.composer.CaricaArrayScheda(compose::tsNormale, compose::toArgomentoMista)) {
            st.SkipWithError("sheet not composed");
            break;
        }
        st.PauseTiming();
        w.composer.UndoLastSheetMarks();
        st.ResumeTiming();
    }
}
BENCHMARK(BM_C1TopicSheet25Topics)->Unit(benchmark::kMicrosecond);

void BM_Ab600ExamSheets(benchmark::State& st) {
    World w(mqAB);
    int fallbacks = 0;
    for (auto _ : st) {
        st.PauseTiming();
        w.freshHistory();
        st.ResumeTiming();
        for (int i = 0; i < 600; ++i) {
            if (!w.composer.CaricaArrayScheda(compose::tsEsame, compose::toNulla)) {
                st.SkipWithError("sheet not composed");
                return;
            }
            fallbacks += w.composer.lastFallbackCount();
        }
    }
    st.counters["fallbacks/run"] =
        benchmark::Counter(fallbacks, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Ab600ExamSheets)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

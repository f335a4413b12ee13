// bench-deps: vexora_data vexora_settings vexora_core vexora_sampledata
// Category opening on generated AB data (7,000 questions, 31 topics): loading the
// master, the print history and the topic list with counts; creating a history; the
// recount after a print run.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

#include "core/error_report.h"
#include "core/run_log.h"
#include "data/question_data.h"
#include "vexora-sample-data/sample_data.h"

using namespace vexora;

namespace {

struct AbData {
    std::filesystem::path dir;
    AbData() {
        dir = std::filesystem::temp_directory_path() /
              ("vexora-bench-qd-" + std::to_string(std::random_device{}()));
        sampledata::GenerateOptions opt;
        opt.categories = {mqAB};
        opt.figures = false;
        opt.settingsFile = false;
        sampledata::generateSampleData(dir, opt);
    }
    ~AbData() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string file(std::string_view name) const { return (dir / std::string(name)).string(); }
};

const AbData& abData() {
    static const AbData data;
    return data;
}

struct World {
    SystemPlatform platform;
    Switches switches;
    ProgramState state;
    RunLog log;
    QuietInteraction ui{[](std::string_view) {}};
    Reporting rep{log, switches, ui};
    data::QuestionData qd{rep, platform, state};
    explicit World(const std::string& folder) : state(folder), log(platform, folder, switches) {
        state.currentCategory = mqAB;
    }
};

void BM_OpenCategoryAB(benchmark::State& s) {
    const AbData& d = abData();
    World w(d.dir.string());
    // The history exists, as on every opening but the first.
    w.qd.CaricaMaster(d.file(masterFile(mqAB)));
    w.qd.CaricaPrintDb(d.file(printHistoryFile(mqAB)));
    for (auto _ : s) {
        bool ok = w.qd.CaricaMaster(d.file(masterFile(mqAB)));
        ok &= w.qd.CaricaPrintDb(d.file(printHistoryFile(mqAB)));
        ok &= w.qd.CaricaArgomenti(d.file(topicListFile(mqAB)), false);
        if (!ok) s.SkipWithError("category did not open");
    }
    s.counters["topics"] = static_cast<double>(w.qd.Argomenti.size());
    s.counters["rows"] = static_cast<double>(w.qd.CdsMaster.RecordCount());
}
BENCHMARK(BM_OpenCategoryAB)->Unit(benchmark::kMillisecond);

void BM_CreateHistoryAB(benchmark::State& s) {
    const AbData& d = abData();
    World w(d.dir.string());
    w.qd.CaricaMaster(d.file(masterFile(mqAB)));
    const std::string target = d.file("bench-history.QXD");
    for (auto _ : s) {
        if (!w.qd.CreaNuovoPrintDb(target)) s.SkipWithError("creation failed");
    }
}
BENCHMARK(BM_CreateHistoryAB)->Unit(benchmark::kMillisecond);

void BM_RecountAB(benchmark::State& s) {
    const AbData& d = abData();
    World w(d.dir.string());
    w.qd.CaricaMaster(d.file(masterFile(mqAB)));
    w.qd.CaricaPrintDb(d.file(printHistoryFile(mqAB)));
    w.qd.CaricaArgomenti(d.file(topicListFile(mqAB)), false);
    for (auto _ : s) {
        if (!w.qd.CaricaArgomenti(d.file(topicListFile(mqAB)), true)) s.SkipWithError("recount");
    }
}
BENCHMARK(BM_RecountAB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

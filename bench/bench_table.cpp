// bench-deps: vexora_data vexora_core
// Table engine figures on generated tables shaped like a category's files: a
// 7,000-row master and a 7,000-row print history (21 columns).
//   load and save (binary form)            target < 10 ms each
//   load of the master in the XML form     (the strict XML check costs at most +30 %)
//   SetRange + RecordCount + 10 x (First + MoveBy)   target < 20 us
//   memory of the loaded master            target < 10 MB (counter "bytes")

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "data/binary_form.h"
#include "data/date_time.h"
#include "data/table.h"
#include "data/table_file.h"

namespace {

using namespace vexora::data;

constexpr int kRows = 7000;
constexpr int kChapters = 25;

FieldDef def(const char* name, FieldType type, int size) {
    FieldDef f;
    f.name = name;
    f.type = type;
    f.size = size;
    return f;
}

std::string chapterCode(int c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", c);
    return buf;
}

// Question text of 80 to 400 characters, accented Italian words, with a figure
// reference now and then.
std::string questionText(std::mt19937& rng, int figure) {
    static const char* const kWords[] = {"Il",      "veicolo", "può",      "sorpassare", "quando",
                                         "la",      "strada",  "è",        "libera",     "perché",
                                         "segnale", "indica",  "velocità", "massima",    "città",
                                         "nei",     "centri",  "abitati",  "è",          "vietato"};
    std::string s;
    const std::size_t target = 80 + rng() % 320;
    while (s.size() < target) {
        if (!s.empty())
            s += ' ';
        s += kWords[rng() % 20];
    }
    if (figure > 0)
        s += " (" + std::to_string(figure) + ")";
    return s.substr(0, 400);
}

TableData makeMaster() {
    std::mt19937 rng(2016);
    TableData t;
    t.fields = {def("Id", FieldType::Integer, 4),       def("Blocco", FieldType::String, 5),
                def("Domanda", FieldType::Integer, 2),  def("Testo", FieldType::String, 400),
                def("Risposta", FieldType::Boolean, 2), def("Figura", FieldType::String, 10),
                def("Libro1", FieldType::String, 20),   def("Libro2", FieldType::String, 20),
                def("Capitolo", FieldType::String, 3),  def("Indice", FieldType::String, 3),
                def("Difficolta", FieldType::String, 2)};
    for (int i = 0; i < kRows; ++i) {
        const int figure = rng() % 3 == 0 ? static_cast<int>(rng() % 400) + 1 : 0;
        t.rows.push_back({std::int64_t{i + 1}, std::to_string(100 + i / 12),
                          std::int64_t{i % 12 + 1}, questionText(rng, figure), rng() % 2 == 0,
                          figure ? std::to_string(figure) : std::string(),
                          "Cap. " + std::to_string(rng() % 30), std::string("pag. 12"),
                          chapterCode(i % kChapters + 1), "T" + std::to_string(i % 60),
                          std::to_string(rng() % 3)});
    }
    return t;
}

TableData makeHistory(const TableData& master) {
    std::mt19937 rng(7);
    TableData t;
    t.fields = {def("nRec", FieldType::AutoInc, 4),     def("IdMaster", FieldType::Integer, 4),
                def("Blocco", FieldType::String, 5),    def("Domanda", FieldType::String, 2),
                def("Risposta", FieldType::Boolean, 2), def("Capitolo", FieldType::String, 2),
                def("Indice", FieldType::String, 3),    def("Difficolta", FieldType::String, 2),
                def("Data", FieldType::String, 4),      def("Info", FieldType::String, 20)};
    for (const char* kind : {"Normali", "Difficili", "Esame", "Dubbie", "Errori"}) {
        t.fields.push_back(def(("dt" + std::string(kind)).c_str(), FieldType::DateTime, 8));
        t.fields.push_back(def(("rs" + std::string(kind)).c_str(), FieldType::Boolean, 2));
    }
    t.fields.push_back(def("TagSk", FieldType::String, 4));
    const DateTimeValue printed = makeDateTime({2024, 5, 6, 10, 30, 0, 0});
    for (std::size_t i = 0; i < master.rows.size(); ++i) {
        const auto& m = master.rows[i];
        std::vector<Value> row(t.fields.size());
        row[0] = std::int64_t(i + 1);
        row[1] = m[0];
        row[2] = m[1];
        row[3] = std::to_string(std::get<std::int64_t>(m[2]));
        row[4] = m[4];
        row[5] = std::get<std::string>(m[8]).substr(0, 2);
        row[6] = m[9];
        row[7] = m[10];
        if (rng() % 3 == 0) {
            row[10] = printed;
            row[11] = true;
        }
        if (rng() % 4 == 0) {
            row[14] = printed;
            row[15] = true;
        }
        t.rows.push_back(std::move(row));
    }
    t.autoIncValue = static_cast<std::int64_t>(master.rows.size()) + 1;
    return t;
}

std::string benchFile(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("vexora_bench_" + name)).string();
}

// Writes the generated files once per benchmark (outside the timed loop).
std::string masterFile() {
    const std::string path = benchFile("NQM.QXD");
    saveTableFile(path, makeMaster());
    return path;
}
std::string historyFile() {
    const std::string path = benchFile("NQP.QXD");
    saveTableFile(path, makeHistory(makeMaster()));
    return path;
}

void BM_LoadMaster(benchmark::State& state) {
    const std::string path = masterFile();
    for (auto _ : state) {
        Table t;
        t.LoadFromFile(path);
        benchmark::DoNotOptimize(t.RecordCount());
    }
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_LoadMaster)->Unit(benchmark::kMillisecond);

void BM_LoadHistory(benchmark::State& state) {
    const std::string path = historyFile();
    for (auto _ : state) {
        Table t;
        t.LoadFromFile(path);
        benchmark::DoNotOptimize(t.RecordCount());
    }
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_LoadHistory)->Unit(benchmark::kMillisecond);

// The same master in the XML form: read, check and parse the whole document.
void BM_LoadMasterXml(benchmark::State& state) {
    const std::string path = benchFile("NQM.XML");
    saveTableFile(path, makeMaster());
    for (auto _ : state) {
        Table t;
        t.LoadFromFile(path);
        benchmark::DoNotOptimize(t.RecordCount());
    }
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_LoadMasterXml)->Unit(benchmark::kMillisecond);

// SaveToFile: serialise, write a temporary file, flush it to disk, rename it.
void BM_SaveMaster(benchmark::State& state) {
    Table t;
    t.LoadFromFile(masterFile());
    const std::string out = benchFile("NQM_out.QXD");
    for (auto _ : state)
        t.SaveToFile(out);
}
BENCHMARK(BM_SaveMaster)->Unit(benchmark::kMillisecond);

void BM_SaveHistory(benchmark::State& state) {
    Table t;
    t.LoadFromFile(historyFile());
    const std::string out = benchFile("NQP_out.QXD");
    for (auto _ : state)
        t.SaveToFile(out);
}
BENCHMARK(BM_SaveHistory)->Unit(benchmark::kMillisecond);

// The serialisation alone, without the disk.
void BM_SerializeHistory(benchmark::State& state) {
    const TableData t = makeHistory(makeMaster());
    for (auto _ : state)
        benchmark::DoNotOptimize(writeBinaryTable(t));
}
BENCHMARK(BM_SerializeHistory)->Unit(benchmark::kMillisecond);

// Exam composition's access pattern: range on one chapter's unprinted rows, count
// them, and draw ten times from the first row.
void BM_RangeCountAndTenMoves(benchmark::State& state) {
    Table t;
    t.LoadFromFile(historyFile());
    t.SetIndexFieldNames("Capitolo;dtEsame");
    t.SetFiltered(state.range(0) != 0);  // composition runs with the filter on
    t.SetOnFilterRecord([](Table&, bool&) {});
    std::vector<std::string> chapters;
    for (int c = 1; c <= kChapters; ++c)
        chapters.push_back(chapterCode(c));
    std::size_t next = 0;
    std::int64_t sum = 0;
    for (auto _ : state) {
        const std::string& c = chapters[next++ % chapters.size()];
        t.SetRange({c, ""}, {c, ""});
        const auto n = static_cast<int>(t.RecordCount());
        for (int k = 0; k < 10; ++k) {
            t.First();
            t.MoveBy((k * 37) % (n + 1));
            sum += t.FieldByName("IdMaster").AsInteger();
        }
    }
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_RangeCountAndTenMoves)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Topic composition's pattern: switch the filter off and on for a new topic, count,
// draw, mark the drawn row (Edit + Post re-checks only that row).
void BM_TopicFilterDrawAndMark(benchmark::State& state) {
    Table t;
    t.LoadFromFile(historyFile());
    t.SetLogChanges(false);
    std::string topic = "T0";
    t.SetOnFilterRecord([&topic](Table& table, bool& accept) {
        accept = isNull(table.FieldValues("dtNormali")) &&
                 table.FieldByName("Indice").AsString() == topic;
    });
    int slot = 0;
    for (auto _ : state) {
        topic = "T" + std::to_string(slot++ % 60);
        t.SetFiltered(false);
        t.SetFiltered(true);
        const auto n = static_cast<int>(t.RecordCount());
        if (n == 0)
            continue;
        t.First();
        t.MoveBy(slot % n);
        t.Edit();
        t.FieldByName("dtNormali").SetAsDateTime(makeDateTime({2024, 6, 1, 9, 0, 0, 0}));
        t.FieldByName("rsNormali").SetAsBoolean(true);
        t.Post();
    }
}
BENCHMARK(BM_TopicFilterDrawAndMark)->Unit(benchmark::kMicrosecond);

// Heap held by a loaded master table.
void BM_MasterMemory(benchmark::State& state) {
    const std::string path = masterFile();
    double bytes = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const auto before = mallinfo2().uordblks;
        auto t = std::make_unique<Table>();
        t->LoadFromFile(path);
        benchmark::DoNotOptimize(t->RecordCount());
        bytes = static_cast<double>(mallinfo2().uordblks - before);
    }
    state.counters["bytes"] = bytes;
    state.counters["MB"] = bytes / (1024.0 * 1024.0);
}
BENCHMARK(BM_MasterMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

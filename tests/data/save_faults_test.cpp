// The print history, in both table-file forms, under real faults: a disk full at any
// byte, a full or read-only disk, a read-only file, a vanished folder, and processes
// killed while they save. SavePrintDb must report every failure naming the file and
// leave the previous history whole.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/table.h"
#include "support/question_world.h"
#include "support/save_faults.h"

using namespace vexora;
using namespace vexora::test;

namespace {

constexpr int kRows = 200;

// A history whose every save marks another third of the rows as printed on exam-like
// sheets and writes the version into each row's Info, so that a file mixing two saves
// shows.
class PrintHistory : public SavedFile {
public:
    PrintHistory(const std::filesystem::path& folder, const char* name)
        : path_((folder / name).string()) {
        w_.switches.CkNoExceptMsg = false;  // failures as boxes, which the test reads
        w_.switches.CkProgFlowLog = false;
        std::vector<MasterRow> rows;
        for (int id = 1; id <= kRows; ++id)
            rows.push_back({id, id % 2 ? "01" : "02", id % 3 ? "T01" : "T02"});
        writeMaster(w_.path("MASTER.QXD"), rows);
        w_.qd.CaricaMaster(w_.path("MASTER.QXD"));
        w_.qd.FilePrintr = path_;
    }

    std::string file() const override { return path_; }

    std::string save(int v) override {
        if (!w_.qd.CdsPrint || !w_.qd.CdsPrint->Active()) {
            if (!w_.qd.CaricaPrintDb(path_))
                return lastMessage("CaricaPrintDb");
        }
        data::Table& t = *w_.qd.CdsPrint;
        int row = 0;
        for (t.First(); !t.Eof(); t.Next(), ++row) {
            t.Edit();
            t.FieldByName("Info").SetAsString("v" + std::to_string(v));
            if ((row + v) % 3 == 0) {
                t.FieldByName("dtEsame").SetAsDateTime(LocalDateTime{2026, 5, 4, 10, 0, 0, 0});
                t.FieldByName("rsEsame").SetAsBoolean(true);
            } else {
                t.FieldByName("dtEsame").SetAsString("");
                t.FieldByName("rsEsame").SetAsString("");
            }
            t.Post();
        }
        return w_.qd.SavePrintDb(path_) ? "" : lastMessage("SavePrintDb");
    }

    std::string check() override {
        try {
            data::Table t;
            t.LoadFromFile(path_);
            t.Open();
            if (t.RecordCount() != static_cast<std::size_t>(kRows))
                return std::to_string(t.RecordCount()) + " rows";
            t.First();
            const std::string info = t.FieldByName("Info").AsString();
            const int v = std::stoi(info.substr(1));
            int row = 0;
            for (; !t.Eof(); t.Next(), ++row) {
                const bool marked = (row + v) % 3 == 0;
                if (t.FieldByName("Info").AsString() != info ||
                    t.FieldByName("rsEsame").IsNull() == marked ||
                    t.FieldByName("dtEsame").IsNull() == marked)
                    return "row " + std::to_string(row + 1) + " is not of version " + info;
            }
            return "";
        } catch (const std::exception& e) {
            return std::string("cannot be read: ") + e.what();
        }
    }

private:
    std::string lastMessage(const char* routine) {
        if (w_.ui.messages.empty())
            return std::string(routine) + " failed without a message";
        std::string m = w_.ui.messages.back();
        w_.ui.messages.clear();
        return m;
    }

    QuestionWorld w_;
    std::string path_;
};

struct Kind {
    const char* name;
    SavedFileMaker make;
};

const Kind kKinds[] = {
    {"Binary", [](const auto& f) { return std::make_unique<PrintHistory>(f, "NQP2016.QXD"); }},
    {"Xml", [](const auto& f) { return std::make_unique<PrintHistory>(f, "NQP2016.XML"); }},
};

class FaultsHistorySaves : public testing::TestWithParam<Kind> {
protected:
    TempDir dir;
    std::filesystem::path folder = dir.path() / "storico";
};

}  // namespace

TEST_P(FaultsHistorySaves, DiskFullAtAnyByteIsRefused) {
    EXPECT_GT(expectFullDiskAtAnyByteRefused(GetParam().make, folder), 64);
}

TEST_P(FaultsHistorySaves, FullDiskIsRefused) {
    expectFullScratchDiskRefused(GetParam().make, folder);
}

TEST_P(FaultsHistorySaves, ReadOnlyFolderIsRefused) {
    expectReadOnlyFolderRefused(GetParam().make, folder);
}

TEST_P(FaultsHistorySaves, ReadOnlyFileIsRefused) {
    expectReadOnlyFileRefused(GetParam().make, folder);
}

TEST_P(FaultsHistorySaves, VanishedFolderIsRefused) {
    expectVanishedFolderRefused(GetParam().make, folder);
}

TEST_P(FaultsHistorySaves, KilledSavesLeaveWholeFiles) {
    expectKilledSavesLeaveWholeFiles(GetParam().make, folder, 200);
}

INSTANTIATE_TEST_SUITE_P(Saves, FaultsHistorySaves, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<Kind>& i) { return i.param.name; });

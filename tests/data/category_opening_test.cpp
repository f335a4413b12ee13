#include "data/category_opening.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "data/table_file.h"

#include "support/question_world.h"

using namespace vexora;
using namespace vexora::test;

namespace {

class CategoryOpeningTest : public ::testing::Test {
protected:
    QuestionWorld w;

    void writeAbFiles(const std::string& folder) {
        std::vector<MasterRow> rows;
        for (int i = 1; i <= 60; ++i)
            rows.push_back({i, i % 2 ? "01" : "02", i <= 30 ? "A01" : "A02"});
        writeMaster(folder + std::string(masterFile(mqAB)), rows);
        writeTopicList(folder + std::string(topicListFile(mqAB)), {{"Uno", "A01"}, {"Due", "A02"}});
    }
    int examMarks() {
        int n = 0;
        for (const auto& row : w.qd.CdsPrint->Data().rows)
            n += !data::isNull(row[14]);
        return n;
    }
};

}  // namespace

TEST_F(CategoryOpeningTest, LooksInTheDataFolderThenTheProgramFolder) {
    std::filesystem::create_directory(w.path("data"));
    w.state.dataFolder = w.path("data") + "/";
    writeAbFiles(w.state.programFolder);
    const auto files = data::locateCategoryFiles(mqAB, w.state, w.platform);
    EXPECT_EQ(files.master, w.state.programFolder + "NQM2016.QXD");
    EXPECT_EQ(files.topicList, w.state.programFolder + "ARG2013.XML");
    // A history found nowhere belongs in the data folder.
    EXPECT_EQ(files.printHistory, w.state.dataFolder + "NQP2016.QXD");

    writeAbFiles(w.state.dataFolder);
    { std::ofstream(w.state.programFolder + "NQP2016.QXD") << "x"; }
    const auto again = data::locateCategoryFiles(mqAB, w.state, w.platform);
    EXPECT_EQ(again.master, w.state.dataFolder + "NQM2016.QXD");
    EXPECT_EQ(again.printHistory, w.state.programFolder + "NQP2016.QXD");
}

TEST_F(CategoryOpeningTest, OpensAllThreeFilesAndCreatesTheHistory) {
    writeAbFiles(w.state.programFolder);
    const auto r = data::InitAndCountDb(w.state, w.qd);
    EXPECT_TRUE(r.masterLoaded && r.printLoaded && r.examPossible && r.topicPossible);
    EXPECT_TRUE(w.state.printDatabaseLoaded);
    EXPECT_EQ(w.qd.FilePrintr, w.state.dataFolder + "NQP2016.QXD");
    EXPECT_TRUE(std::filesystem::exists(w.qd.FilePrintr));
    EXPECT_EQ(w.qd.LbCount.lines, (std::vector<std::string>{"0/30", "0/30"}));
    EXPECT_TRUE(
        w.logHas("TFormStampe.InitAndCountDb Mode: mqAB - Esa: True - Arg: True - "
                 "Master: True - Print: True"));
}

TEST_F(CategoryOpeningTest, MissingTopicListLeavesOnlyExamSheets) {
    writeAbFiles(w.state.programFolder);
    std::filesystem::remove(w.state.programFolder + "ARG2013.XML");
    const auto r = data::InitAndCountDb(w.state, w.qd);
    EXPECT_TRUE(r.examPossible);
    EXPECT_FALSE(r.topicPossible);
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].rfind("La lista argomenti non esiste.", 0), 0u);
}

TEST_F(CategoryOpeningTest, ProblemNamesTheFileAndWhereItWasLookedFor) {
    writeAbFiles(w.state.programFolder);
    EXPECT_EQ(data::InitAndCountDb(w.state, w.qd).problem, "");
    std::filesystem::remove(w.state.programFolder + "NQM2016.QXD");
    std::ofstream(w.state.programFolder + "ARG2013.XML", std::ios::trunc) << "rotto";
    const auto r = data::InitAndCountDb(w.state, w.qd);
    EXPECT_EQ(r.problem, "Archivio delle domande NQM2016.QXD non trovato.\nCercato in: " +
                             w.state.programFolder +
                             "\nElenco degli argomenti ARG2013.XML non leggibile o vuoto.\nFile: " +
                             w.state.programFolder + "ARG2013.XML");
}

TEST_F(CategoryOpeningTest, NothingIsOpenedWhileARunHoldsTheCategory) {
    writeAbFiles(w.state.programFolder);
    ASSERT_TRUE(data::InitAndCountDb(w.state, w.qd).examPossible);
    const data::Table* history = w.qd.CdsPrint.get();
    w.state.runCategory = mqAB;
    w.state.currentCategory = mqSuperC;  // a window switched it before asking
    const auto r = data::InitAndCountDb(w.state, w.qd);
    EXPECT_TRUE(r.refusedDuringRun);
    EXPECT_EQ(w.state.currentCategory, mqAB);
    EXPECT_EQ(w.qd.CdsPrint.get(), history);  // the tables the run marks stay
    EXPECT_EQ(w.qd.FilePrintr, w.state.dataFolder + "NQP2016.QXD");
    ASSERT_FALSE(w.ui.messages.empty());
    EXPECT_EQ(w.ui.messages.back(), runInProgressRefusal());
}

TEST_F(CategoryOpeningTest, ExamHistoryIsResetAtTheThreshold) {
    writeAbFiles(w.state.programFolder);
    ASSERT_TRUE(data::InitAndCountDb(w.state, w.qd).examPossible);
    data::Table& t = *w.qd.CdsPrint;
    t.First();
    t.Edit();
    t.FieldByName("dtEsame").SetAsDateTime(LocalDateTime{2026, 1, 2, 3, 4, 5, 0});
    t.FieldByName("rsEsame").SetAsBoolean(true);
    t.Post();
    ASSERT_TRUE(w.qd.SavePrintDb(w.qd.FilePrintr));

    w.state.counter(mqAB, tdsEsame) = 599;  // below: nothing happens
    data::InitAndCountDb(w.state, w.qd);
    EXPECT_EQ(examMarks(), 1);
    EXPECT_EQ(w.state.counter(mqAB, tdsEsame), 599);
    EXPECT_FALSE(w.logHas("(ResetEsame AB)"));

    w.state.counter(mqAB, tdsEsame) = 600;
    data::InitAndCountDb(w.state, w.qd);
    EXPECT_EQ(examMarks(), 0);
    EXPECT_EQ(w.state.counter(mqAB, tdsEsame), 1);
    EXPECT_TRUE(w.logHas("TFormStampe.InitAndCountDb (ResetEsame AB)"));
}

// Turns the print history file into a folder when the topic list starts loading, so the
// history loads but can no longer be written.
class HistoryBlockingInteraction : public RecordingInteraction {
public:
    std::string history;
    void setWaitCursor(bool on) override {
        if (on && !history.empty() && std::filesystem::is_regular_file(history)) {
            std::filesystem::remove(history);
            std::filesystem::create_directory(history);
        }
        RecordingInteraction::setWaitCursor(on);
    }
};

TEST_F(CategoryOpeningTest, AutomaticExamResetIsSavedAtOnceOrNotCounted) {
    writeAbFiles(w.state.programFolder);
    ASSERT_TRUE(data::InitAndCountDb(w.state, w.qd).examPossible);
    const auto markAll = [&](data::QuestionData& qd) {
        data::Table& t = *qd.CdsPrint;
        for (t.First(); !t.Eof(); t.Next()) {
            t.Edit();
            t.FieldByName("dtEsame").SetAsDateTime(LocalDateTime{2026, 1, 2, 3, 4, 5, 0});
            t.FieldByName("rsEsame").SetAsBoolean(true);
            t.Post();
        }
        ASSERT_TRUE(qd.SavePrintDb(qd.FilePrintr));
    };
    const auto marksOnDisk = [&] {
        int n = 0;
        for (const auto& row : data::loadTableFile(w.qd.FilePrintr).rows)
            n += !data::isNull(row[14]);
        return n;
    };
    markAll(w.qd);
    w.state.counter(mqAB, tdsEsame) = 600;
    data::InitAndCountDb(w.state, w.qd);
    EXPECT_EQ(w.state.counter(mqAB, tdsEsame), 1);
    EXPECT_EQ(marksOnDisk(), 0);  // no print run needed

    // A reset that cannot be saved leaves the counter where it was.
    markAll(w.qd);
    HistoryBlockingInteraction ui;
    ui.history = w.qd.FilePrintr;
    Reporting reporting{w.log, w.switches, ui};
    data::QuestionData qd{reporting, w.platform, w.state};
    w.state.counter(mqAB, tdsEsame) = 600;
    EXPECT_TRUE(data::InitAndCountDb(w.state, qd).examPossible);
    EXPECT_EQ(w.state.counter(mqAB, tdsEsame), 600);
    EXPECT_TRUE(w.logHas("UDorvel/SavePrintDb - "));
}

TEST_F(CategoryOpeningTest, HistoryIsBroughtInLineWithAnUpdatedMaster) {
    writeAbFiles(w.state.programFolder);
    ASSERT_TRUE(data::InitAndCountDb(w.state, w.qd).examPossible);
    data::Table& t = *w.qd.CdsPrint;
    ASSERT_TRUE(t.Locate("IdMaster", data::Value{std::int64_t{5}}));
    t.Edit();
    t.FieldByName("dtNormali").SetAsDateTime(LocalDateTime{2026, 1, 2, 3, 4, 5, 0});
    t.Post();
    ASSERT_TRUE(w.qd.SavePrintDb(w.qd.FilePrintr));

    // The publisher's new master: questions 1..10 gone, 61..64 new.
    std::vector<MasterRow> rows;
    for (int i = 5; i <= 64; ++i)
        rows.push_back({i, "01", i <= 30 ? "A01" : "A02"});
    rows.erase(rows.begin() + 1, rows.begin() + 6);  // drops 6..10, keeps the marked 5
    writeMaster(w.state.programFolder + std::string(masterFile(mqAB)), rows);
    const auto r = data::InitAndCountDb(w.state, w.qd);
    EXPECT_TRUE(r.examPossible);
    EXPECT_TRUE(w.logHas("UDorvel/AllineaPrintDb - \"" + w.qd.FilePrintr +
                         "\" allineato al master: 4 record aggiunti, 9 record tolti."));
    const auto saved = data::loadTableFile(w.qd.FilePrintr);
    std::set<std::int64_t> ids;
    std::set<std::int64_t> recs;
    for (const auto& row : saved.rows) {
        ids.insert(std::get<std::int64_t>(row[1]));
        recs.insert(std::get<std::int64_t>(row[0]));
        EXPECT_EQ(!data::isNull(row[10]), std::get<std::int64_t>(row[1]) == 5);
    }
    std::set<std::int64_t> expected;
    for (const auto& m : rows)
        expected.insert(m.id);
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(recs.size(), saved.rows.size());  // new rows get numbers of their own
    EXPECT_EQ(w.qd.CdsPrint->RecordCount(), rows.size());
    EXPECT_EQ(w.qd.LbCount.lines, (std::vector<std::string>{"1/21", "0/34"}));
}

TEST_F(CategoryOpeningTest, NoResetWithoutAPrintDatabase) {
    w.state.counter(mqAB, tdsEsame) = 700;
    const auto r = data::InitAndCountDb(w.state, w.qd);  // nothing on disk
    EXPECT_FALSE(r.examPossible);
    EXPECT_EQ(w.state.counter(mqAB, tdsEsame), 700);
}

TEST_F(CategoryOpeningTest, NonWorkingCategoriesOpenNothing) {
    for (TModalitaQuiz m : {mqNone, mqAdr, mqCapB}) {
        w.state.currentCategory = m;
        const auto r = data::InitAndCountDb(w.state, w.qd);
        EXPECT_FALSE(r.masterLoaded || r.printLoaded || r.examPossible || r.topicPossible);
    }
    EXPECT_FALSE(std::filesystem::exists(w.log.currentFilePath()));
}

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "data/date_time.h"
#include "support/compose_tables.h"
#include "support/compose_world.h"

using namespace vexora;
using namespace vexora::test;

namespace {

bool composeExam(ComposeWorld& w) {
    return w.composer.CaricaArrayScheda(compose::tsEsame, compose::toNulla);
}

std::vector<int> slotIds(ComposeWorld& w, TModalitaQuiz m) {
    std::vector<int> ids;
    for (const auto& s : w.composer.sheet(m))
        ids.push_back(s.IdMaster);
    return ids;
}

// Marks the exam date of every history row of a chapter.
void markChapter(ComposeWorld& w, const std::string& chapter) {
    data::Table& t = w.history();
    t.SetFiltered(false);
    t.CancelRange();
    t.SetIndexFieldNames("");
    for (t.First(); !t.Eof(); t.Next()) {
        if (t.FieldByName("Capitolo").AsString() != chapter)
            continue;
        t.Edit();
        t.FieldByName("dtEsame").SetAsDateTime(LocalDateTime{2020, 6, 1, 8, 0, 0, 0});
        t.FieldByName("rsEsame").SetAsBoolean(true);
        t.Post();
    }
}

// Rewrites the history file with one field made read-only, so that marking fails.
void makeHistoryFieldReadOnly(ComposeWorld& w, const std::string& field) {
    data::TableData d = w.history().Data();
    d.fields[*w.history().FindFieldIndex(field)].readOnly = true;
    data::saveTableFile(w.qd.FilePrintr, d);
    ASSERT_TRUE(w.qd.CaricaPrintDb(w.qd.FilePrintr));
}

}  // namespace

TEST(ExamSheet, EveryCategoryFollowsItsChapterPlanAndMarksItsQuestions) {
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        ComposeWorld w(100 + m);
        w.open(m, chapterMaster(25, 20), numberedTopics(25));
        ASSERT_TRUE(composeExam(w));
        const auto plan = expectedExamPlan(m);
        const auto master = w.masterIndex();
        const auto sheet = w.composer.sheet(m);
        const auto keys = w.composer.sheetKeys(m);
        ASSERT_EQ(sheet.size(), plan.size());
        std::set<int> ids;
        for (std::size_t i = 0; i < sheet.size(); ++i) {
            const auto& s = sheet[i];
            ASSERT_TRUE(master.count(s.IdMaster)) << "slot " << i + 1;
            EXPECT_EQ(master.at(s.IdMaster).first, plan[i]) << "slot " << i + 1;
            EXPECT_EQ(s.Svolta, "X");
            EXPECT_EQ(s.Indice, master.at(s.IdMaster).second);
            EXPECT_EQ(s.Risposta, s.IdMaster % 3 != 0 ? "V" : "F");
            // The text loses its figure reference; block/question as the master has them.
            EXPECT_EQ(s.Testo, "Domanda " + std::to_string(s.IdMaster) +
                                   (s.IdMaster % 5 == 0 ? " sul segnale" : ""));
            EXPECT_EQ(s.BlkDom, std::to_string(100 + std::stoi(plan[i])) + "/" +
                                    std::to_string(1 + (s.IdMaster - 1) % 20 % 9));
            EXPECT_EQ(s.Libro1, "L1-" + std::to_string(s.IdMaster));
            EXPECT_EQ(keys[i].IdMaster, s.IdMaster);
            EXPECT_EQ(keys[i].Risposta, s.Risposta);
            EXPECT_EQ(keys[i].BlkDom, s.BlkDom);
            EXPECT_TRUE(keys[i].Scheda.empty());
            ids.insert(s.IdMaster);
        }
        EXPECT_EQ(ids.size(), sheet.size()) << "a question came twice";
        EXPECT_EQ(w.marked("Esame"), ids);
        for (const auto& [id, pair] : w.marks("Esame")) {
            if (ids.count(id)) {
                EXPECT_EQ(pair.second, data::Value{true});
            } else {
                EXPECT_TRUE(data::isNull(pair.second));
            }
        }
        EXPECT_TRUE(w.marked("Normali").empty());
        EXPECT_EQ(w.composer.lastFallbackCount(), 0);
        EXPECT_EQ(w.composer.lastSheetMarkCount(), sheet.size());
        EXPECT_TRUE(
            w.logHas("UDorvel/FilterCdsAndLoadArrSimForPrint" + std::string(categoryCode(m))));
        EXPECT_FALSE(w.history().RangeActive());
    }
}

TEST(ExamSheet, NoQuestionTwiceWhileTheChapterHasEnoughUnprintedQuestions) {
    // C1 takes ten questions from each of chapters 11 to 13; with 24 per chapter, the
    // third sheet finds only 4 unprinted ones there.
    ComposeWorld w(31337);
    w.open(mqCqc1M, chapterMaster(13, 24), numberedTopics(13));
    const auto plan = expectedExamPlan(mqCqc1M);
    for (int sheetNo = 1; sheetNo <= 6; ++sheetNo) {
        SCOPED_TRACE("sheet " + std::to_string(sheetNo));
        std::map<std::string, int> unprinted;
        const auto master = w.masterIndex();
        const auto printed = w.marked("Esame");
        for (const auto& [id, capInd] : master)
            unprinted[capInd.first] += printed.count(id) ? 0 : 1;
        std::map<std::string, int> slotsOf;
        for (const auto& c : plan)
            ++slotsOf[c];

        ASSERT_TRUE(composeExam(w));
        // Until a chapter of the sheet runs dry, questions come from the unprinted ones.
        // After that (F > 0) repairs may take printed questions of their chapter.
        const bool noFallback = w.composer.lastFallbackCount() == 0;
        std::map<std::string, std::set<int>> byChapter;
        for (const auto& s : w.composer.sheet(mqCqc1M)) {
            const std::string& chapter = master.at(s.IdMaster).first;
            byChapter[chapter].insert(s.IdMaster);
            if (noFallback && unprinted[chapter] >= slotsOf[chapter]) {
                EXPECT_FALSE(printed.count(s.IdMaster)) << "printed question " << s.IdMaster;
            }
        }
        // Every chapter has at least as many questions as slots: never one twice.
        for (const auto& [chapter, ids] : byChapter) {
            EXPECT_EQ(static_cast<int>(ids.size()), slotsOf[chapter]) << "chapter " << chapter;
        }
    }
}

TEST(ExamSheet, ExhaustedChapterFallsBackToAllItsQuestions) {
    ComposeWorld w(5);
    w.open(mqAB, chapterMaster(25, 6), numberedTopics(25));
    markChapter(w, "07");
    ASSERT_TRUE(composeExam(w));
    EXPECT_EQ(w.composer.lastFallbackCount(), 1);
    const auto master = w.masterIndex();
    const int slot7 = w.composer.sheet(mqAB)[6].IdMaster;
    EXPECT_EQ(master.at(slot7).first, "07");
    // Its mark is renewed.
    EXPECT_NE(w.marks("Esame").at(slot7).first,
              data::Value{data::fromLocalDateTime(LocalDateTime{2020, 6, 1, 8, 0, 0, 0})});

    markChapter(w, "05");
    markChapter(w, "13");
    ASSERT_TRUE(composeExam(w));
    // Chapters 05 and 13 have two slots each; 07 is still exhausted.
    EXPECT_EQ(w.composer.lastFallbackCount(), 5);
    const auto ids = slotIds(w, mqAB);
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size());
}

TEST(ExamSheet, ARunOfSheetsWearsTheChaptersOutAndKeepsComposing) {
    ComposeWorld w(8);
    w.open(mqAB, chapterMaster(25, 5), numberedTopics(25));
    for (int sheetNo = 0; sheetNo < 8; ++sheetNo) {
        ASSERT_TRUE(composeExam(w)) << sheetNo;
        const auto ids = slotIds(w, mqAB);
        EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size()) << sheetNo;
    }
    EXPECT_EQ(w.marked("Esame").size(), 125u);
    EXPECT_GT(w.composer.lastFallbackCount(), 0);
}

TEST(ExamSheet, InterruptionAfterSlot12OfC1LeavesTwelveMarks) {
    ComposeWorld w;
    w.open(mqCqc1M, chapterMaster(13, 20), numberedTopics(13));
    w.progress.interruptAt = 12;
    EXPECT_FALSE(composeExam(w));
    EXPECT_EQ(w.marked("Esame").size(), 12u);
    const auto sheet = w.composer.sheet(mqCqc1M);
    for (std::size_t i = 0; i < sheet.size(); ++i) {
        EXPECT_EQ(sheet[i].Svolta, i < 12 ? "X" : "") << i;
        EXPECT_NE(sheet[i].IdMaster, 0);
    }
}

TEST(ExamSheet, InfoTextDescribesTheQuestion) {
    ComposeWorld w;
    w.switches.CkAddInfoText = true;
    w.open(mqAB, chapterMaster(25, 4), numberedTopics(25));
    ASSERT_TRUE(composeExam(w));
    for (const auto& s : w.composer.sheet(mqAB)) {
        const int chapter = (s.IdMaster - 1) / 4 + 1;
        const std::string domanda = std::to_string(1 + (s.IdMaster - 1) % 4);
        const std::string original = s.IdMaster % 5 == 0
                                         ? "Domanda " + std::to_string(s.IdMaster) + " (" +
                                               std::to_string(s.IdMaster) + ") sul segnale"
                                         : "Domanda " + std::to_string(s.IdMaster);
        EXPECT_EQ(s.Testo, original + " [Ris: " + s.Risposta + ", Fig: " + s.Figura + ", Lb1: L1-" +
                               std::to_string(s.IdMaster) +
                               ", Lb2: L2, Blk/Dom: " + std::to_string(100 + chapter) + " / " +
                               domanda + ", Arg: " + s.Indice + "]");
    }
}

TEST(ExamSheet, QuestionMissingFromTheMasterFailsTheSheetWithAMessage) {
    ComposeWorld w;
    w.open(mqAB, chapterMaster(25, 4), numberedTopics(25));
    // The master loses chapter 03 (ids 9..12); the history still has it.
    auto rows = chapterMaster(25, 4);
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const MasterRow& r) { return r.capitolo == "03"; }),
               rows.end());
    writeMaster(w.path("short.QXD"), rows);
    ASSERT_TRUE(w.qd.CaricaMaster(w.path("short.QXD")));

    EXPECT_FALSE(composeExam(w));
    const int id = w.composer.sheet(mqAB)[2].IdMaster;
    EXPECT_GE(id, 9);
    EXPECT_LE(id, 12);
    EXPECT_TRUE(w.logHas("UDorvel/FilterCdsAndLoadArrSimForPrintAB - La domanda " +
                         std::to_string(id) +
                         " del print database non esiste nel database master"));
    ASSERT_TRUE(w.composer.UndoLastSheetMarks());
    EXPECT_TRUE(w.marked("Esame").empty());
}

TEST(ExamSheet, ChapterWithoutAnyQuestionFailsTheSheet) {
    ComposeWorld w;
    w.open(mqAB, chapterMaster(24, 4), numberedTopics(24));  // no chapter 25
    EXPECT_FALSE(composeExam(w));
    EXPECT_TRUE(w.logHas("Impossibile generare un id casuale. Tipo sequenza: tsEsame"));
    // Nothing is marked and the slot is not given question 1 of another chapter.
    EXPECT_TRUE(w.marked("Esame").empty());
    EXPECT_EQ(w.composer.sheet(mqAB)[24].IdMaster, 0);
}

TEST(ExamSheet, MarkingErrorsFollowEachRoutinesRule) {
    {
        // Logged at level 0 (tone) with the routine's name; composition goes on.
        ComposeWorld w;
        w.open(mqAB, chapterMaster(25, 4), numberedTopics(25));
        makeHistoryFieldReadOnly(w, "rsEsame");
        EXPECT_FALSE(composeExam(w));
        EXPECT_TRUE(w.logHas(">ERRORE: UDorvel/FilterCdsAndLoadArrSimForPrintAB - field "));
        EXPECT_EQ(std::count(w.platform.tones.begin(), w.platform.tones.end(),
                             std::pair<unsigned, unsigned>{440, 25}),
                  30);
        EXPECT_TRUE(w.marked("Esame").empty());
        for (const auto& s : w.composer.sheet(mqAB))
            EXPECT_EQ(s.Svolta, "X");
    }
    for (TModalitaQuiz m : {mqAB, mqSuperCx}) {
        // Without the log: the tone only, and composition goes on.
        ComposeWorld w;
        w.switches.CkNoExceptMsg = false;
        w.open(m, chapterMaster(25, 4), numberedTopics(25));
        makeHistoryFieldReadOnly(w, "rsEsame");
        EXPECT_FALSE(composeExam(w));
        EXPECT_TRUE(w.ui.messages.empty());
        EXPECT_EQ(std::count(w.platform.tones.begin(), w.platform.tones.end(),
                             std::pair<unsigned, unsigned>{440, 25}),
                  questionsPerSheet(m));
        for (const auto& s : w.composer.sheet(m))
            EXPECT_EQ(s.Svolta, "X");
    }
    {
        // AM: the error leaves the routine and the dispatch reports it.
        ComposeWorld w;
        w.switches.CkNoExceptMsg = false;
        w.open(mqAM, chapterMaster(10, 6), numberedTopics(10));
        makeHistoryFieldReadOnly(w, "rsEsame");
        EXPECT_FALSE(composeExam(w));
        ASSERT_EQ(w.ui.messages.size(), 1u);
        EXPECT_EQ(w.ui.messages[0].rfind("Impossibile filtrare il print database\r\nERRORE: ", 0),
                  0u);
        EXPECT_EQ(w.composer.sheet(mqAM)[0].Svolta, "X");
        EXPECT_EQ(w.composer.sheet(mqAM)[1].Svolta, "");
        EXPECT_EQ(w.history().State(), data::TableState::Browse);
    }
}

TEST(ExamSheet, SharedRoutineRefusesAbAndAm) {
    ComposeWorld w;
    w.open(mqAB, chapterMaster(25, 4), numberedTopics(25));
    w.composer.TipoSequenza = compose::tsEsame;
    EXPECT_FALSE(w.composer.FilterCdsAndLoadArrSimForPrint(mqAB));
    EXPECT_FALSE(w.composer.FilterCdsAndLoadArrSimForPrint(mqAM));
    EXPECT_FALSE(w.composer.FilterCdsAndLoadArrSimForPrint(mqNone));
    EXPECT_TRUE(w.marked("Esame").empty());
    EXPECT_TRUE(w.composer.FilterCdsAndLoadArrSimForPrintAB());
    EXPECT_EQ(w.marked("Esame").size(), 30u);
}

TEST(ExamSheet, UndoGivesEveryMarkBackItsOldValue) {
    ComposeWorld w(21);
    w.open(mqAB, chapterMaster(25, 3), numberedTopics(25));
    ASSERT_TRUE(composeExam(w));
    markChapter(w, "09");  // the next sheet renews marks that hold a date
    const auto before = w.marks("Esame");
    const auto topicBefore = w.marks("Normali");
    w.history().SetFiltered(true);
    ASSERT_TRUE(composeExam(w));
    EXPECT_NE(w.marks("Esame"), before);
    ASSERT_TRUE(w.composer.UndoLastSheetMarks());
    EXPECT_EQ(w.marks("Esame"), before);
    EXPECT_EQ(w.marks("Normali"), topicBefore);
    EXPECT_TRUE(w.history().Filtered());
    EXPECT_TRUE(w.composer.lastSheetChanges().empty());
    // Nothing left to undo.
    EXPECT_TRUE(w.composer.UndoLastSheetMarks());
    EXPECT_EQ(w.marks("Esame"), before);
}

TEST(ExamSheet, UndoLeavesMarksThatChangedSinceTheSheetAlone) {
    ComposeWorld w;
    w.open(mqAB, chapterMaster(25, 4), numberedTopics(25));
    markChapter(w, "09");
    ASSERT_TRUE(composeExam(w));
    ASSERT_TRUE(w.qd.ResetEsame());
    ASSERT_TRUE(w.composer.UndoLastSheetMarks());
    // The reset after the sheet wins: no exam mark comes back, not even chapter 09's.
    EXPECT_TRUE(w.marked("Esame").empty());
}

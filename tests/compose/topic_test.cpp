#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "support/compose_world.h"

using namespace vexora;
using namespace vexora::test;

namespace {

bool composeTopics(ComposeWorld& w) {
    return w.composer.CaricaArrayScheda(compose::tsNormale, compose::toArgomentoMista);
}

// Topic code ("T07") of each slot, read from the master.
std::vector<std::string> slotTopics(ComposeWorld& w, TModalitaQuiz m) {
    const auto master = w.masterIndex();
    std::vector<std::string> out;
    for (const auto& s : w.composer.sheet(m)) {
        out.push_back(master.count(s.IdMaster) ? master.at(s.IdMaster).second : "?");
    }
    return out;
}

std::map<std::string, int> countTopics(const std::vector<std::string>& topics) {
    std::map<std::string, int> c;
    for (const auto& t : topics)
        ++c[t];
    return c;
}

std::string code(int topicNumber) {
    return topicCode(topicNumber);
}

}  // namespace

TEST(TopicSheet, AbWithOneTopicTakesEverySlotFromIt) {
    ComposeWorld w;
    w.open(mqAB, topicMaster({40, 40}), numberedTopics(2));
    w.selectTopics({2});
    ASSERT_TRUE(composeTopics(w));
    const auto topics = slotTopics(w, mqAB);
    EXPECT_EQ(countTopics(topics), (std::map<std::string, int>{{"T02", 30}}));
    std::set<int> ids;
    for (const auto& s : w.composer.sheet(mqAB))
        ids.insert(s.IdMaster);
    EXPECT_EQ(ids.size(), 30u);
    EXPECT_EQ(w.marked("Normali"), ids);
    for (const auto& [id, pair] : w.marks("Normali")) {
        if (ids.count(id)) {
            EXPECT_EQ(pair.second, data::Value{true});
        }
    }
    EXPECT_TRUE(w.marked("Esame").empty());
    EXPECT_TRUE(w.logHas("UDorvel/FilterCdsAndLoadArrArgForPrintAB"));
    // The slot topic set keeps the last slot's topic; filtering stays on, no range.
    EXPECT_EQ(w.composer.ArgomentiSlot, compose::TopicSet().set(2));
    EXPECT_TRUE(w.history().Filtered());
    EXPECT_FALSE(w.history().RangeActive());
}

TEST(TopicSheet, AbWithFourTopicsFollowsTheTableRow) {
    ComposeWorld w;
    w.open(mqAB, topicMaster(std::vector<int>(12, 20)), numberedTopics(12));
    w.selectTopics({2, 5, 9, 11});
    ASSERT_TRUE(composeTopics(w));
    std::vector<std::string> expected;
    for (int k = 0; k < 7; ++k)
        expected.push_back("T02");
    for (int k = 0; k < 7; ++k)
        expected.push_back("T05");
    for (int k = 0; k < 7; ++k)
        expected.push_back("T09");
    for (int k = 0; k < 7; ++k)
        expected.push_back("T11");
    expected.push_back("T02");
    expected.push_back("T09");
    EXPECT_EQ(slotTopics(w, mqAB), expected);
}

TEST(TopicSheet, AbWithThirtyOneTopicsLeavesTheFirstOut) {
    ComposeWorld w;
    w.open(mqAB, topicMaster(std::vector<int>(31, 3)), numberedTopics(31));
    std::vector<int> all;
    for (int k = 1; k <= 31; ++k)
        all.push_back(k);
    w.selectTopics(all);
    ASSERT_TRUE(composeTopics(w));
    const auto counts = countTopics(slotTopics(w, mqAB));
    EXPECT_EQ(counts.count("T01"), 0u);
    for (int k = 2; k <= 31; ++k)
        EXPECT_EQ(counts.at(code(k)), 1) << k;
}

TEST(TopicSheet, S1WithNineTopicsGivesThreeToTheFirstAndTheLast) {
    ComposeWorld w;
    w.open(mqSuperC1, topicMaster(std::vector<int>(9, 10)), numberedTopics(9));
    w.selectTopics({1, 2, 3, 4, 5, 6, 7, 8, 9});
    ASSERT_TRUE(composeTopics(w));
    const auto counts = countTopics(slotTopics(w, mqSuperC1));
    for (int k = 1; k <= 9; ++k)
        EXPECT_EQ(counts.at(code(k)), k == 1 || k == 9 ? 3 : 2) << k;
}

TEST(TopicSheet, EveryCategoryFollowsItsDistributionTable) {
    for (TModalitaQuiz m : workingCategories()) {
        const int rows = compose::topicTableRows(m);
        ComposeWorld w(static_cast<std::uint32_t>(m));
        // A few more topics than the table takes (31 at most), each with more questions
        // than a one-topic sheet needs.
        const int total = std::min(rows + 2, compose::kMaxTopicNumber);
        const int size = questionsPerSheet(m) + 2;
        w.open(m, topicMaster(std::vector<int>(static_cast<std::size_t>(total), size)),
               numberedTopics(total));
        for (int n : {1, 2, (rows + 1) / 2, rows - 1, rows}) {
            SCOPED_TRACE(std::string(categoryCode(m)) + " n=" + std::to_string(n));
            // Topics spread over the list.
            std::vector<int> chosen;
            for (int k = 0; k < n; ++k)
                chosen.push_back(1 + (k * total) / n);
            w.selectTopics(chosen);
            ASSERT_TRUE(composeTopics(w));
            const auto row = compose::topicTableRow(m, n);
            const auto topics = slotTopics(w, m);
            ASSERT_EQ(topics.size(), row.size());
            for (std::size_t i = 0; i < row.size(); ++i) {
                EXPECT_EQ(topics[i], code(chosen[static_cast<std::size_t>(row[i] - 1)]))
                    << "slot " << i + 1;
            }
            std::set<int> ids;
            for (const auto& s : w.composer.sheet(m)) {
                ids.insert(s.IdMaster);
                EXPECT_EQ(s.Svolta, "X");
            }
            EXPECT_EQ(ids.size(), row.size()) << "a question came twice";
            EXPECT_EQ(w.marked("Normali"), ids);
            // The next sheet starts from an unprinted history again.
            ASSERT_TRUE(w.composer.UndoLastSheetMarks());
            ASSERT_TRUE(w.marked("Normali").empty());
        }
    }
}

TEST(TopicSheet, SheetsOfARunNeverRepeatAQuestionUntilTheTopicIsReset) {
    ComposeWorld w(99);
    w.open(mqSuperC0, topicMaster({30, 30, 30}), numberedTopics(3));
    w.selectTopics({1, 2, 3});
    std::set<int> seen;
    // S2 with 3 topics: 4 + 3 + 3 per sheet; topic 1 (30 questions) lasts 7 sheets.
    for (int sheetNo = 1; sheetNo <= 7; ++sheetNo) {
        ASSERT_TRUE(composeTopics(w)) << sheetNo;
        for (const auto& s : w.composer.sheet(mqSuperC0)) {
            EXPECT_TRUE(seen.insert(s.IdMaster).second)
                << "sheet " << sheetNo << " id " << s.IdMaster;
        }
    }
    EXPECT_EQ(w.marked("Normali").size(), seen.size());
}

TEST(TopicSheet, PreCheckResetsATopicWithTooFewUnprintedQuestions) {
    ComposeWorld w;
    w.switches.CkNoDebugMssg = false;
    w.open(mqAB, topicMaster({35}), numberedTopics(1));
    w.selectTopics({1});
    ASSERT_TRUE(composeTopics(w));
    EXPECT_TRUE(w.ui.messages.empty());  // 35 left, the quota is 31
    const auto first = w.marked("Normali");
    ASSERT_TRUE(w.qd.CaricaArgomenti(w.qd.FileArgmnt, true));  // recount: 5 left
    w.selectTopics({1});                                       // the recount refilled the list box
    ASSERT_TRUE(composeTopics(w));
    ASSERT_FALSE(w.ui.messages.empty());
    EXPECT_EQ(w.ui.messages[0],
              "L'argomento Argomento 1 T01 ha bisogno di essere resettato,\r\ncontrollo "
              "effettuato prima del ciclo sulle domande.\r\nContiene 5 domande, ne servono "
              "almeno 31");
    EXPECT_TRUE(w.logHas("UDorvel/ResetArgomento (T01)"));
    // After the reset the sheet draws from all 35 again: 30 distinct, all marked.
    std::set<int> ids;
    for (const auto& s : w.composer.sheet(mqAB))
        ids.insert(s.IdMaster);
    EXPECT_EQ(ids.size(), 30u);
    EXPECT_EQ(w.marked("Normali"), ids);
}

TEST(TopicSheet, TopicRunningOutMidSheetIsResetAndEarlierQuestionsComeBack) {
    ComposeWorld w(3);
    w.switches.CkNoDebugMssg = false;
    w.open(mqAB, topicMaster({40}), numberedTopics(1));
    w.selectTopics({1});
    ASSERT_TRUE(composeTopics(w));
    const auto firstSheet = w.marked("Normali");
    ASSERT_EQ(firstSheet.size(), 30u);
    // No recount in between, as within one print run: the pre-check still sees 40.
    ASSERT_TRUE(composeTopics(w));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0],
              "Attenzione zero record per l'argomento: [1]\r\nArgomento 1  (T01 = T01)\r\n"
              "controllo effettuato durante il ciclo sulle domande.\r\n   Rec.filtrati: 0 ,  "
              "NumArgSel: 1 ,  i (n.dom): 11");
    const auto sheet = w.composer.sheet(mqAB);
    std::set<int> before;
    std::set<int> after;
    for (std::size_t i = 0; i < 10; ++i)
        before.insert(sheet[i].IdMaster);
    for (std::size_t i = 10; i < 30; ++i)
        after.insert(sheet[i].IdMaster);
    // Slots 1-10 took the 10 questions the first sheet left.
    EXPECT_EQ(before.size(), 10u);
    for (int id : before)
        EXPECT_FALSE(firstSheet.count(id));
    // After the reset slots 11-30 take earlier sheets' questions again, but none of the
    // questions already on this sheet: those stay marked.
    EXPECT_EQ(after.size(), 20u);
    EXPECT_TRUE(
        std::any_of(after.begin(), after.end(), [&](int id) { return firstSheet.count(id) > 0; }));
    for (int id : before)
        EXPECT_FALSE(after.count(id)) << id;
    std::set<int> all = before;
    all.insert(after.begin(), after.end());
    EXPECT_EQ(w.marked("Normali"), all);
}

TEST(TopicSheet, TopicSmallerThanItsSlotsStillFillsTheSheet) {
    ComposeWorld w;
    w.open(mqAB, topicMaster({12}), numberedTopics(1));
    w.selectTopics({1});
    ASSERT_TRUE(composeTopics(w));
    std::set<int> ids;
    for (const auto& s : w.composer.sheet(mqAB)) {
        EXPECT_FALSE(s.Testo.empty());
        ids.insert(s.IdMaster);
    }
    EXPECT_EQ(ids.size(), 12u);
    EXPECT_EQ(w.marked("Normali").size(), 12u);
    EXPECT_TRUE(w.history().Filtered());
}

TEST(TopicSheet, PreCheckResetIsCountedSoLaterSheetsOfTheRunKeepTheirMarks) {
    ComposeWorld w(7);
    w.open(mqAB, topicMaster({100}), numberedTopics(1));
    w.selectTopics({1});
    for (int k = 0; k < 3; ++k)
        ASSERT_TRUE(composeTopics(w));
    ASSERT_TRUE(w.qd.CaricaArgomenti(w.qd.FileArgmnt, true));  // 90 printed, 10 left
    w.selectTopics({1});
    const auto resets = [&] {
        const std::string log = w.logText();
        int n = 0;
        for (auto at = log.find("UDorvel/ResetArgomento (T01)"); at != std::string::npos;
             at = log.find("UDorvel/ResetArgomento (T01)", at + 1))
            ++n;
        return n;
    };
    std::set<int> run;
    for (int sheetNo = 1; sheetNo <= 3; ++sheetNo) {
        ASSERT_TRUE(composeTopics(w)) << sheetNo;
        for (const auto& s : w.composer.sheet(mqAB))
            EXPECT_TRUE(run.insert(s.IdMaster).second) << "sheet " << sheetNo;
    }
    // One reset before the first sheet; the later sheets see what is really left.
    EXPECT_EQ(resets(), 1);
    EXPECT_EQ(w.marked("Normali"), run);
    EXPECT_EQ(w.qd.Argomenti[0].RecordSvolti, 60);  // as the third sheet's pre-check counted
}

TEST(TopicSheet, UndoBringsBackTheMarksATopicResetCleared) {
    ComposeWorld w(3);
    w.open(mqAB, topicMaster({40}), numberedTopics(1));
    w.selectTopics({1});
    ASSERT_TRUE(composeTopics(w));
    const auto before = w.marks("Normali");
    ASSERT_TRUE(composeTopics(w));  // runs out at slot 11 and resets the topic
    EXPECT_EQ(w.composer.lastSheetMarkCount(), 30u);
    EXPECT_GT(w.composer.lastSheetChanges().size(), 30u);
    ASSERT_TRUE(w.composer.UndoLastSheetMarks());
    EXPECT_EQ(w.marks("Normali"), before);
}

TEST(TopicSheet, UnavailableDataOrNoSelectionIsShown) {
    ComposeWorld w;
    w.open(mqAB, topicMaster({40}), numberedTopics(1));
    EXPECT_FALSE(composeTopics(w));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0],
              "Caricamento domande per blocchi di argomenti: database AB non disponibili o "
              "argomenti non selezionati.\r\nDbPrint: True - DbMaster: True - Argomenti "
              "selezionati: 0");

    ComposeWorld am;
    am.open(mqAM, topicMaster({40}), numberedTopics(1));
    EXPECT_FALSE(composeTopics(am));
    ASSERT_EQ(am.ui.messages.size(), 1u);
    EXPECT_EQ(am.ui.messages[0].rfind(
                  "Caricamento domande per blocchi di argomenti: database non disponibili o "
                  "argomenti non selezionati.\r\nDbPrint: True",
                  0),
              0u);

    ComposeWorld s3;
    s3.open(mqSuperC, topicMaster({60}), numberedTopics(1));
    s3.selectTopics({1});
    s3.qd.CdsPrint->Close();
    s3.composer.TipoSequenza = compose::tsNormale;
    EXPECT_FALSE(s3.composer.FilterCdsAndLoadArrArgForPrint(mqSuperC));
    ASSERT_EQ(s3.ui.messages.size(), 1u);
    EXPECT_EQ(s3.ui.messages[0],
              "Caricamento domande per blocchi di argomenti: database S3 non disponibili o "
              "argomenti non selezionati.\r\nDbPrint: False - DbMaster: True - Argomenti "
              "selezionati: 1");
}

TEST(TopicSheet, SelectionsOutsideTheTableAreRefused) {
    {
        ComposeWorld w;
        w.open(mqSuperC0, topicMaster(std::vector<int>(9, 5)), numberedTopics(9));
        w.selectTopics({1, 2, 3, 4, 5, 6, 7, 8, 9});  // S2's table has 8 rows
        EXPECT_FALSE(composeTopics(w));
        ASSERT_EQ(w.ui.messages.size(), 1u);
        EXPECT_EQ(w.ui.messages[0],
                  "Troppi argomenti selezionati per una scheda S2: 9 (al massimo 8).\r\nLa "
                  "scheda non viene composta.");
        EXPECT_TRUE(w.marked("Normali").empty());
        EXPECT_FALSE(w.logHas("ResetArgomento"));
    }
    {
        ComposeWorld w;
        w.open(mqAB, topicMaster(std::vector<int>(33, 5)), numberedTopics(33));
        w.selectTopics({1, 32});
        EXPECT_FALSE(composeTopics(w));
        ASSERT_EQ(w.ui.messages.size(), 1u);
        EXPECT_EQ(w.ui.messages[0].rfind("L'argomento n. 32 non pu\u00f2 essere usato", 0), 0u);
        EXPECT_TRUE(w.marked("Normali").empty());
    }
}

TEST(TopicSheet, TopicWithoutQuestionsFailsTheSheet) {
    ComposeWorld w;
    auto topics = numberedTopics(2);
    topics.push_back({"Argomento vuoto", "T99"});
    w.open(mqAB, topicMaster({40, 40}), topics);
    w.selectTopics({1, 3});
    EXPECT_FALSE(composeTopics(w));
    EXPECT_TRUE(w.logHas("Impossibile generare un id casuale. Tipo sequenza: tsNormale"));
    // Slots 1-15 come from topic 1; the empty topic's first slot is not filled with the
    // question whose Id is 1.
    const auto sheet = w.composer.sheet(mqAB);
    EXPECT_EQ(sheet[14].Svolta, "X");
    EXPECT_EQ(sheet[15].IdMaster, 0);
    EXPECT_EQ(w.marked("Normali").size(), 15u);
}

TEST(TopicSheet, InterruptionStopsAfterTheSlot) {
    ComposeWorld w;
    w.open(mqCqc3M, topicMaster({40, 40}), numberedTopics(2));
    w.selectTopics({1, 2});
    w.progress.interruptAt = 5;
    EXPECT_FALSE(composeTopics(w));
    EXPECT_EQ(w.marked("Normali").size(), 5u);
    EXPECT_EQ(w.composer.sheet(mqCqc3M)[5].IdMaster, 0);
}

TEST(TopicSheet, FilterErrorsFollowEachRoutinesRule) {
    // A history whose Indice column holds numbers cannot be narrowed to a topic code.
    auto numericTopicHistory = [](ComposeWorld& w) {
        data::TableData d = w.history().Data();
        const auto at = *w.history().FindFieldIndex("Indice");
        d.fields[at].type = data::FieldType::Integer;
        d.fields[at].size = 4;
        for (auto& row : d.rows)
            row[at] = data::Value{std::int64_t{1}};
        data::saveTableFile(w.qd.FilePrintr, d);
        ASSERT_TRUE(w.qd.CaricaPrintDb(w.qd.FilePrintr));
    };
    {
        ComposeWorld w;
        w.switches.CkNoExceptMsg = false;
        w.open(mqAB, topicMaster({40}), numberedTopics(1));
        numericTopicHistory(w);
        w.selectTopics({1});
        EXPECT_FALSE(composeTopics(w));
        ASSERT_EQ(w.ui.messages.size(), 1u);
        EXPECT_EQ(w.ui.messages[0].rfind("Impossibile filtrare il print database\r\nERRORE: ", 0),
                  0u);
        EXPECT_FALSE(w.history().RangeActive());
    }
    {
        // AM: the tone, and composition goes on.
        ComposeWorld w;
        w.switches.CkNoExceptMsg = false;
        w.open(mqAM, topicMaster({40}), numberedTopics(1));
        numericTopicHistory(w);
        w.selectTopics({1});
        composeTopics(w);
        EXPECT_TRUE(w.ui.messages.empty());
        EXPECT_EQ(std::count(w.platform.tones.begin(), w.platform.tones.end(),
                             std::pair<unsigned, unsigned>{440, 25}),
                  30);
        for (const auto& s : w.composer.sheet(mqAM))
            EXPECT_EQ(s.Svolta, "X");
    }
    {
        ComposeWorld w;
        w.open(mqSuperC1, topicMaster({40}), numberedTopics(1));
        numericTopicHistory(w);
        w.selectTopics({1});
        composeTopics(w);
        EXPECT_TRUE(w.logHas(">ERRORE: UDorvel/FilterCdsAndLoadArrArgForPrintS1 Filter - "));
    }
}

TEST(TopicSheet, MarkingErrorsAreLoggedOrLeaveTheRoutine) {
    auto readOnlyFlag = [](ComposeWorld& w) {
        data::TableData d = w.history().Data();
        d.fields[*w.history().FindFieldIndex("rsNormali")].readOnly = true;
        data::saveTableFile(w.qd.FilePrintr, d);
        ASSERT_TRUE(w.qd.CaricaPrintDb(w.qd.FilePrintr));
    };
    {
        ComposeWorld w;
        w.open(mqCqc4P, topicMaster({40}), numberedTopics(1));
        readOnlyFlag(w);
        w.selectTopics({1});
        EXPECT_FALSE(composeTopics(w));
        EXPECT_TRUE(w.logHas(">ERRORE: UDorvel/FilterCdsAndLoadArrArgForPrintC4 Edit - "));
    }
    {
        ComposeWorld w;
        w.switches.CkNoExceptMsg = false;
        w.open(mqAM, topicMaster({40}), numberedTopics(1));
        readOnlyFlag(w);
        w.selectTopics({1});
        EXPECT_FALSE(composeTopics(w));
        ASSERT_EQ(w.ui.messages.size(), 1u);
        EXPECT_EQ(w.ui.messages[0].rfind("Impossibile filtrare il print database\r\nERRORE: ", 0),
                  0u);
        EXPECT_EQ(w.composer.sheet(mqAM)[1].IdMaster, 0);
    }
}

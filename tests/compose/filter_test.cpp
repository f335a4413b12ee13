#include <gtest/gtest.h>

#include "support/compose_world.h"

using namespace vexora;
using namespace vexora::test;
using compose::TopicSet;

namespace {

const LocalDateTime kSomeDay{2025, 3, 14, 9, 30, 0, 0};

class FilterTest : public ::testing::Test {
protected:
    ComposeWorld w;
    compose::SheetComposer& c = w.composer;

    void SetUp() override { w.open(mqAB, chapterMaster(25, 4), numberedTopics(25)); }

    // Evaluates the record filter on the history row with this IdMaster.
    bool accepts(int idMaster, bool arriving = true) {
        data::Table& t = w.history();
        t.SetFiltered(false);
        EXPECT_TRUE(t.Locate("IdMaster", data::Value{std::int64_t{idMaster}}));
        bool accept = arriving;
        c.OnFilterRecordPrint(t, accept);
        return accept;
    }

    void set(int idMaster, const char* field, const data::Value& v) {
        data::Table& t = w.history();
        t.SetFiltered(false);
        ASSERT_TRUE(t.Locate("IdMaster", data::Value{std::int64_t{idMaster}}));
        t.Edit();
        t.FieldByName(field).SetAsVariant(v);
        t.Post();
    }

    void setDate(int idMaster, const char* field) {
        data::Table& t = w.history();
        t.SetFiltered(false);
        ASSERT_TRUE(t.Locate("IdMaster", data::Value{std::int64_t{idMaster}}));
        t.Edit();
        t.FieldByName(field).SetAsDateTime(kSomeDay);
        t.Post();
    }
};

// A history-like table whose date columns are plain numbers, as files made elsewhere
// may hold them.
struct NumberDatedTable {
    data::Table t;
    NumberDatedTable() {
        t.AddFieldDef("IdMaster", data::FieldType::Integer, 4);
        t.AddFieldDef("Indice", data::FieldType::String, 3);
        t.AddFieldDef("dtNormali", data::FieldType::Float, 8);
        t.AddFieldDef("dtDubbie", data::FieldType::Integer, 4);
        t.AddFieldDef("rsDubbie", data::FieldType::Boolean);
        t.CreateDataSet();
    }
    bool accepts(compose::SheetComposer& c, data::Value dt) {
        t.EmptyDataSet();
        t.Append();
        t.FieldByName("IdMaster").SetAsInteger(1);
        t.FieldByName("dtNormali").SetAsVariant(dt);
        t.Post();
        t.First();
        bool accept = true;
        c.OnFilterRecordPrint(t, accept);
        return accept;
    }
};

}  // namespace

TEST_F(FilterTest, NormaleSeesRowsWithoutATopicSheetDate) {
    c.TipoSequenza = compose::tsNormale;
    c.Ordinamento = compose::toNulla;
    EXPECT_TRUE(accepts(3));
    setDate(3, "dtNormali");
    EXPECT_FALSE(accepts(3));
    // An exam mark does not hide a row from topic sheets.
    setDate(4, "dtEsame");
    EXPECT_TRUE(accepts(4));
}

TEST_F(FilterTest, ValidDateMeansADateTimeOrANumberInsideTheTwoCenturies) {
    c.TipoSequenza = compose::tsNormale;
    NumberDatedTable n;
    EXPECT_TRUE(n.accepts(c, data::Value{}));
    EXPECT_TRUE(n.accepts(c, data::Value{2.0}));  // 1 January 1900 itself is not inside
    EXPECT_FALSE(n.accepts(c, data::Value{2.5}));
    EXPECT_FALSE(n.accepts(c, data::Value{45000.0}));
    EXPECT_FALSE(n.accepts(c, data::Value{73050.9}));
    EXPECT_TRUE(n.accepts(c, data::Value{73051.0}));  // 1 January 2100
    EXPECT_TRUE(n.accepts(c, data::Value{-5.0}));
}

TEST_F(FilterTest, DubbiaAndErroreNeedADateAndAFalseFlag) {
    for (auto [kind, word] : {std::pair{compose::tsDubbia, std::string("Dubbie")},
                              std::pair{compose::tsErrore, std::string("Errori")}}) {
        c.TipoSequenza = kind;
        const std::string dt = "dt" + word;
        const std::string rs = "rs" + word;
        EXPECT_FALSE(accepts(10)) << word;  // no date
        setDate(10, dt.c_str());
        EXPECT_FALSE(accepts(10)) << word;  // flag null
        set(10, rs.c_str(), data::Value{false});
        EXPECT_TRUE(accepts(10)) << word;
        set(10, rs.c_str(), data::Value{true});
        EXPECT_FALSE(accepts(10)) << word;
    }
    // A flag that is a number is not the Boolean false.
    c.TipoSequenza = compose::tsDubbia;
    NumberDatedTable n;
    n.t.EmptyDataSet();
    n.t.Append();
    n.t.FieldByName("IdMaster").SetAsInteger(1);
    n.t.FieldByName("dtDubbie").SetAsInteger(40000);  // an integer, not a date
    n.t.FieldByName("rsDubbie").SetAsBoolean(false);
    n.t.Post();
    n.t.First();
    bool accept = true;
    c.OnFilterRecordPrint(n.t, accept);
    EXPECT_FALSE(accept);
}

TEST_F(FilterTest, DifficileHidesDatedRowsAndNullaLeavesTheFlagAsItArrived) {
    c.TipoSequenza = compose::tsDifficile;
    EXPECT_TRUE(accepts(7));
    setDate(7, "dtDifficili");
    EXPECT_FALSE(accepts(7));
    for (auto kind : {compose::tsNulla, compose::tsCustom}) {
        c.TipoSequenza = kind;
        EXPECT_TRUE(accepts(7, true));
        EXPECT_FALSE(accepts(7, false));
    }
    c.TipoSequenza = compose::tsEsame;
    setDate(8, "dtEsame");
    EXPECT_TRUE(accepts(8, false));
}

TEST_F(FilterTest, TopicOrderShowsOnlyTheSlotTopicsUnprintedRows) {
    // Topic 3 is T03: chapter 03, ids 9..12.
    c.TipoSequenza = compose::tsNormale;
    c.Ordinamento = compose::toArgomentoMista;
    c.ArgomentiSlot = TopicSet().set(3);
    setDate(10, "dtNormali");
    data::Table& t = w.history();
    t.SetFiltered(true);
    std::set<int> visible;
    for (t.First(); !t.Eof(); t.Next()) {
        visible.insert(static_cast<int>(t.FieldByName("IdMaster").AsInteger()));
    }
    EXPECT_EQ(visible, (std::set<int>{9, 11, 12}));

    // The exam kind ignores the topic rule.
    c.TipoSequenza = compose::tsEsame;
    c.refreshPrintFilter();
    EXPECT_EQ(t.RecordCount(), 100u);

    c.TipoSequenza = compose::tsNormale;
    c.Ordinamento = compose::toArgSequenziale;
    c.ArgomentiSlot = TopicSet().set(1).set(25);
    c.refreshPrintFilter();
    EXPECT_EQ(t.RecordCount(), 8u);
}

TEST_F(FilterTest, TopicRuleComparesOnlyPositionsTheTopicArrayHas) {
    w.qd.Argomenti.resize(2);
    c.TipoSequenza = compose::tsNormale;
    c.Ordinamento = compose::toArgomentoMista;
    c.ArgomentiSlot = TopicSet().set(3).set(31);
    data::Table& t = w.history();
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), 0u);
    c.ArgomentiSlot = TopicSet().set(1).set(2).set(3);
    c.refreshPrintFilter();
    EXPECT_EQ(t.RecordCount(), 8u);
}

TEST_F(FilterTest, NullTopicCodeMatchesNoTopic) {
    w.qd.Argomenti[0].Indice = "";
    set(1, "Indice", data::Value{});
    set(2, "Indice", data::Value{std::string()});
    c.TipoSequenza = compose::tsNormale;
    c.Ordinamento = compose::toArgomentoMista;
    c.ArgomentiSlot = TopicSet().set(1);
    EXPECT_FALSE(accepts(1));
    EXPECT_TRUE(accepts(2));
}

TEST_F(FilterTest, SelectionGivesTopicNumbersAndLogsTheirCount) {
    w.selectTopics({1, 4, 5});
    EXPECT_EQ(c.SceltaArgomentiForPrint(), TopicSet().set(1).set(4).set(5));
    EXPECT_TRUE(w.logHas("UDorvel/SceltaArgomentiForPrint - 3 argomenti selezionati"));
}

TEST_F(FilterTest, SelectionOfABoxThatDoesNotMatchTheTopicsIsEmpty) {
    w.qd.LbArgomenti.add("extra");
    w.qd.LbArgomenti.select(0);
    EXPECT_TRUE(c.SceltaArgomentiForPrint().none());
    EXPECT_TRUE(w.logHas(
        "UDorvel/SceltaArgomentiForPrint - Numero di argomenti non corrispondente. 25 <> 24"));
    EXPECT_TRUE(w.ui.messages.empty());

    w.switches.CkNoExceptMsg = false;
    EXPECT_TRUE(c.SceltaArgomentiForPrint().none());
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0], "Numero di argomenti non corrispondente. 25 <> 24");
}

TEST_F(FilterTest, EntryClearsTheSheetAndLogsKindAndOrdering) {
    auto sheet = c.sheet(mqAB);
    auto keys = c.sheetKeys(mqAB);
    ASSERT_EQ(sheet.size(), 30u);
    for (auto& s : sheet)
        s = {99, "X", "t", "V", "f", "a", "b", "1/2", "T01"};
    for (auto& k : keys)
        k = {"E001", "V", 99, "1/2"};

    EXPECT_FALSE(c.CaricaArrayScheda(compose::tsNulla, compose::toNulla));
    for (const auto& s : sheet) {
        EXPECT_EQ(s.IdMaster, 0);
        EXPECT_TRUE(s.Svolta.empty() && s.Testo.empty() && s.Risposta.empty() && s.Figura.empty() &&
                    s.Libro1.empty() && s.Libro2.empty() && s.BlkDom.empty() && s.Indice.empty());
    }
    for (const auto& k : keys) {
        EXPECT_EQ(k.IdMaster, 0);
        EXPECT_TRUE(k.Scheda.empty() && k.Risposta.empty() && k.BlkDom.empty());
    }
    EXPECT_TRUE(
        w.logHas("UDorvel/CaricaArrayScheda (TipoSequenza: tsNulla - Ordinamento: toNulla)"));
    EXPECT_TRUE(w.logHas(">ERRORE: UDorvel/PredisponiFiltriForPrint - TipoSequenza nulla!"));
    EXPECT_FALSE(w.history().Filtered());
    EXPECT_FALSE(w.logHas("CdsPrint.Filter ON"));

    EXPECT_TRUE(c.CaricaArrayScheda(compose::tsEsame, compose::toNulla));
    EXPECT_TRUE(
        w.logHas("UDorvel/CaricaArrayScheda (TipoSequenza: tsEsame - Ordinamento: toNulla)"));
    EXPECT_TRUE(w.logHas("UDorvel/PredisponiFiltriForPrint - CdsPrint.Filter OFF"));
    EXPECT_TRUE(w.logHas("UDorvel/PredisponiFiltriForPrint - CdsPrint.Filter ON"));
    EXPECT_TRUE(w.logHas("UDorvel/FilterCdsAndLoadArrSimForPrintAB"));
    EXPECT_TRUE(w.history().Filtered());
    EXPECT_EQ(c.TipoSequenza, compose::tsEsame);
    EXPECT_EQ(c.Ordinamento, compose::toNulla);
}

TEST_F(FilterTest, KindsWithoutCompositionSwitchFilteringOnAndComposeNothing) {
    for (auto kind : {compose::tsCustom, compose::tsDifficile, compose::tsDubbia}) {
        EXPECT_FALSE(c.CaricaArrayScheda(kind, compose::toNulla));
        EXPECT_TRUE(w.history().Filtered());
    }
    EXPECT_FALSE(w.logHas("FilterCdsAndLoadArr"));
    EXPECT_TRUE(w.marked("Esame").empty());
    EXPECT_TRUE(w.marked("Normali").empty());
}

TEST_F(FilterTest, PreparationFailuresAreLogged) {
    w.state.currentCategory = mqNone;
    EXPECT_FALSE(c.CaricaArrayScheda(compose::tsEsame, compose::toNulla));
    EXPECT_TRUE(w.logHas("UDorvel/PredisponiFiltriForPrint - ModoQuiz non compatibile: mqNone"));
    EXPECT_TRUE(w.history().Filtered());

    w.state.currentCategory = mqAB;
    w.qd.CdsPrint.reset();
    EXPECT_FALSE(c.CaricaArrayScheda(compose::tsEsame, compose::toNulla));
    EXPECT_TRUE(w.logHas(">ERRORE: UDorvel/PredisponiFiltriForPrint - CdsPrint non accessibile!"));
}

TEST_F(FilterTest, AnErrorInsideCompositionIsReportedByTheDispatch) {
    w.qd.CdsMaster.Close();  // the exam routine cannot read the master
    EXPECT_FALSE(c.CaricaArrayScheda(compose::tsEsame, compose::toNulla));
    EXPECT_TRUE(
        w.logHas("UDorvel/PredisponiFiltriForPrint - Impossibile filtrare il print "
                 "database! - Eccezione: "));
    w.switches.CkNoExceptMsg = false;
    EXPECT_FALSE(c.CaricaArrayScheda(compose::tsEsame, compose::toNulla));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].rfind("Impossibile filtrare il print database\r\nERRORE: ", 0), 0u);
}

TEST_F(FilterTest, FilterFollowsAReloadedHistoryWithFieldsInAnotherOrder) {
    // Same fields, Indice moved to the end: the filter must read the right column.
    data::TableData d = w.history().Data();
    const auto from = *w.history().FindFieldIndex("Indice");
    std::rotate(d.fields.begin() + static_cast<long>(from),
                d.fields.begin() + static_cast<long>(from) + 1, d.fields.end());
    for (auto& row : d.rows) {
        std::rotate(row.begin() + static_cast<long>(from),
                    row.begin() + static_cast<long>(from) + 1, row.end());
    }
    c.TipoSequenza = compose::tsNormale;
    c.Ordinamento = compose::toArgomentoMista;
    c.ArgomentiSlot = TopicSet().set(2);
    w.history().SetFiltered(true);
    EXPECT_EQ(w.history().RecordCount(), 4u);

    const std::string other = w.path("other.QXD");
    data::saveTableFile(other, d);
    ASSERT_TRUE(w.qd.CaricaPrintDb(other));
    w.history().SetFiltered(true);
    EXPECT_EQ(w.history().RecordCount(), 4u);
}

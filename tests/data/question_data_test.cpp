#include "data/question_data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "data/table_file.h"
#include "support/question_world.h"

using namespace vexora;
using namespace vexora::test;

namespace {

// 3 topics x 40 questions, chapters "01".."04"; topic "T03" carries ids 81..120.
std::vector<MasterRow> sampleMaster(int perTopic = 40) {
    std::vector<MasterRow> rows;
    int id = 1;
    for (const char* topic : {"T01", "T02", "T03"}) {
        for (int i = 0; i < perTopic; ++i, ++id) {
            char chapter[3];
            std::snprintf(chapter, sizeof chapter, "%02d", 1 + id % 4);
            rows.push_back({id, chapter, topic, 1 + i % 9, id % 2 == 0});
        }
    }
    return rows;
}

class QuestionDataTest : public ::testing::Test {
protected:
    QuestionWorld w;
    data::QuestionData& qd = w.qd;

    void loadAll() {
        writeMaster(w.path("M.QXD"), sampleMaster());
        writeTopicList(w.path("ARG.XML"), {{"Segnali di pericolo", "T01"},
                                            {"Precedenze", "T02"},
                                            {"Velocit\u00e0", "T03"}});
        ASSERT_TRUE(qd.CaricaMaster(w.path("M.QXD")));
        ASSERT_TRUE(qd.CaricaPrintDb(w.path("P.QXD")));
        ASSERT_TRUE(qd.CaricaArgomenti(w.path("ARG.XML"), false));
    }

    // Marks `count` history rows of a topic in the given dt/rs pair.
    void mark(const std::string& topic, const char* dt, const char* rs, int count) {
        data::Table& t = *qd.CdsPrint;
        t.First();
        int done = 0;
        while (!t.Eof() && done < count) {
            if (t.FieldByName("Indice").AsString() == topic) {
                t.Edit();
                t.FieldByName(dt).SetAsDateTime(LocalDateTime{2026, 5, 4, 10, 0, 0, 0});
                t.FieldByName(rs).SetAsBoolean(true);
                t.Post();
                ++done;
            }
            t.Next();
        }
        ASSERT_EQ(done, count);
    }
};

}  // namespace

TEST_F(QuestionDataTest, MissingMasterIsReportedByLogOrBox) {
    EXPECT_FALSE(qd.CaricaMaster(w.path("NONE.QXD")));
    EXPECT_TRUE(w.logHas("UDorvel/CaricaMaster - Il file database master \"" + w.path("NONE.QXD") +
                         "\" non esiste."));
    EXPECT_TRUE(w.ui.messages.empty());

    w.switches.CkNoExceptMsg = false;
    EXPECT_FALSE(qd.CaricaMaster(w.path("NONE.QXD")));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0],
              "Il file database master \"" + w.path("NONE.QXD") + "\" non esiste.");
}

TEST_F(QuestionDataTest, FailedMasterLoadDropsThePreviousCategorysQuestions) {
    writeMaster(w.path("M.QXD"), sampleMaster());
    ASSERT_TRUE(qd.CaricaMaster(w.path("M.QXD")));
    { std::ofstream(w.path("BAD.QXD"), std::ios::binary) << "\x96\x19\xe0\xbd garbage"; }
    const std::string before = readText(w.path("BAD.QXD"));

    EXPECT_FALSE(qd.CaricaMaster(w.path("BAD.QXD")));
    EXPECT_FALSE(qd.CdsMaster.Active());
    EXPECT_TRUE(w.logHas("UDorvel/CaricaMaster - "));
    EXPECT_EQ(readText(w.path("BAD.QXD")), before);

    ASSERT_TRUE(qd.CaricaMaster(w.path("M.QXD")));
    EXPECT_FALSE(qd.CaricaMaster(w.path("MISSING.QXD")));
    EXPECT_FALSE(qd.CdsMaster.Active());
    // Nothing to build a history from now.
    EXPECT_FALSE(qd.CaricaPrintDb(w.path("P.QXD")));
    EXPECT_FALSE(std::filesystem::exists(w.path("P.QXD")));
}

TEST_F(QuestionDataTest, CorruptMasterShowsTheBoxWhenExceptionsAreShown) {
    w.switches.CkNoExceptMsg = false;
    { std::ofstream(w.path("BAD.QXD")) << "<DATAPACKET><oops"; }
    EXPECT_FALSE(qd.CaricaMaster(w.path("BAD.QXD")));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].rfind("Impossibile accedere al database master\r\nERRORE: ", 0), 0u);
    EXPECT_NE(w.ui.messages[0].find("BAD.QXD"), std::string::npos);
}

TEST_F(QuestionDataTest, EmptyMasterLoadsWithoutMessageAndReturnsFalse) {
    writeMaster(w.path("M.QXD"), {});
    EXPECT_FALSE(qd.CaricaMaster(w.path("M.QXD")));
    EXPECT_TRUE(qd.CdsMaster.Active());
    EXPECT_TRUE(w.ui.messages.empty());
    EXPECT_FALSE(w.logHas(">ERRORE:"));
}

TEST_F(QuestionDataTest, MasterWithoutARequiredFieldIsRefused) {
    data::Table t;
    t.AddFieldDef("Id", data::FieldType::Integer, 4);
    t.CreateDataSet();
    t.Append();
    t.FieldByName("Id").SetAsInteger(1);
    t.Post();
    t.SaveToFile(w.path("M.QXD"));
    EXPECT_FALSE(qd.CaricaMaster(w.path("M.QXD")));
    EXPECT_TRUE(w.logHas("\"Testo\""));
    EXPECT_FALSE(qd.CdsMaster.Active());
}

TEST_F(QuestionDataTest, NewHistoryMirrorsTheMaster) {
    std::vector<MasterRow> rows;
    for (int i = 0; i < 1200; ++i) rows.push_back({5000 - i, "01", "T01", i % 50 + 1});
    rows[3].domanda = 7;
    writeMaster(w.path("M.QXD"), rows);
    ASSERT_TRUE(qd.CaricaMaster(w.path("M.QXD")));
    ASSERT_TRUE(qd.CreaNuovoPrintDb(w.path("P.QXD")));
    EXPECT_EQ(qd.CdsPrint, nullptr);

    const data::TableData h = data::loadTableFile(w.path("P.QXD"));
    ASSERT_EQ(h.rows.size(), 1200u);
    ASSERT_EQ(h.fields.size(), 21u);
    EXPECT_EQ(h.fields[0].type, data::FieldType::AutoInc);
    for (std::size_t i = 0; i < h.rows.size(); ++i) {
        EXPECT_EQ(std::get<std::int64_t>(h.rows[i][0]), static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(std::get<std::int64_t>(h.rows[i][1]), 5000 - static_cast<std::int64_t>(i));
        for (std::size_t f = 10; f < 20; ++f) EXPECT_TRUE(data::isNull(h.rows[i][f])) << i << "," << f;
    }
    EXPECT_EQ(std::get<std::string>(h.rows[3][3]), "7");
    EXPECT_EQ(std::get<std::string>(h.rows[0][6]), "T01");
}

TEST_F(QuestionDataTest, HistoryThatCannotBeBuiltLeavesNothingBehind) {
    EXPECT_FALSE(qd.CreaNuovoPrintDb(w.path("P.QXD")));  // no master loaded
    EXPECT_FALSE(std::filesystem::exists(w.path("P.QXD")));
    EXPECT_EQ(qd.CdsPrint, nullptr);
    EXPECT_FALSE(qd.CaricaPrintDb(w.path("P.QXD")));
    EXPECT_FALSE(std::filesystem::exists(w.path("P.QXD")));
    // A later load with a master present rebuilds it.
    writeMaster(w.path("M.QXD"), sampleMaster());
    ASSERT_TRUE(qd.CaricaMaster(w.path("M.QXD")));
    EXPECT_TRUE(qd.CaricaPrintDb(w.path("P.QXD")));
    EXPECT_EQ(qd.CdsPrint->RecordCount(), 120u);
}

TEST_F(QuestionDataTest, MissingHistoryIsRecreatedAndLoaded) {
    loadAll();
    EXPECT_TRUE(w.logHas("UDorvel/CaricaPrintDb - \"" + w.path("P.QXD") + "\" Ricreato. 120 records."));
    EXPECT_TRUE(w.logHas(">STATUS: UDorvel/CreaNuovoPrintDb"));
    EXPECT_FALSE(qd.CdsPrint->Filtered());

    std::filesystem::remove(w.path("P.QXD"));
    EXPECT_TRUE(qd.CaricaPrintDb(w.path("P.QXD")));
    EXPECT_TRUE(std::filesystem::exists(w.path("P.QXD")));
    ASSERT_TRUE(qd.CaricaPrintDb(w.path("P.QXD")));
    EXPECT_TRUE(w.logHas("\" Caricato. 120 records."));
}

TEST_F(QuestionDataTest, CorruptHistoryIsReportedAndLeftAlone) {
    writeMaster(w.path("M.QXD"), sampleMaster());
    ASSERT_TRUE(qd.CaricaMaster(w.path("M.QXD")));
    { std::ofstream(w.path("P.QXD"), std::ios::binary) << std::string(50, '\x01'); }
    EXPECT_FALSE(qd.CaricaPrintDb(w.path("P.QXD")));
    EXPECT_TRUE(w.logHas("UDorvel/CaricaPrintDb - "));
    EXPECT_EQ(readText(w.path("P.QXD")), std::string(50, '\x01'));
    qd.CdsPrint.reset();  // destroying the object must not write either
    EXPECT_EQ(readText(w.path("P.QXD")), std::string(50, '\x01'));
}

TEST_F(QuestionDataTest, CountsMatchAnIndependentCount) {
    loadAll();
    ASSERT_EQ(qd.Argomenti.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(qd.Argomenti[i].Item, i + 1);
        EXPECT_EQ(qd.Argomenti[i].RecordTotali, 40);
        EXPECT_EQ(qd.Argomenti[i].RecordSvolti, 0);
        EXPECT_EQ(qd.Argomenti[i].Argomento, "A");
    }
    EXPECT_EQ(qd.ContaRecordMaster("T02"), 40);
    EXPECT_EQ(qd.ContaRecordMaster("t02"), 0);  // exact comparison
    EXPECT_EQ(qd.LbCount.lines, (std::vector<std::string>{"0/40", "0/40", "0/40"}));
}

TEST_F(QuestionDataTest, RecountSeesTopicMarksButNotExamMarks) {
    loadAll();
    mark("T02", "dtNormali", "rsNormali", 5);
    mark("T03", "dtEsame", "rsEsame", 7);
    ASSERT_TRUE(qd.CaricaArgomenti(w.path("ARG.XML"), true));
    EXPECT_EQ(qd.Argomenti[1].RecordSvolti, 5);
    EXPECT_EQ(qd.Argomenti[1].RecordTotali, 40);
    EXPECT_EQ(qd.Argomenti[2].RecordSvolti, 0);
    EXPECT_EQ(qd.LbCount.lines[1], "5/40");
    EXPECT_EQ(qd.ContaRecordSvolti("T02"), 5);

    // A recount does not read the file: it works with the file gone.
    std::filesystem::remove(w.path("ARG.XML"));
    mark("T01", "dtNormali", "rsNormali", 2);
    EXPECT_TRUE(qd.CaricaArgomenti(w.path("ARG.XML"), true));
    EXPECT_EQ(qd.LbCount.lines[0], "2/40");
}

TEST_F(QuestionDataTest, IntegerTopicCodesOfTheMasterAreComparedAsText) {
    data::Table t;
    t.AddFieldDef("Id", data::FieldType::Integer, 4);
    for (const char* name :
         {"Testo", "Figura", "Libro1", "Libro2", "Blocco", "Capitolo", "Difficolta"})
        t.AddFieldDef(name, data::FieldType::String, 20);
    t.AddFieldDef("Risposta", data::FieldType::Boolean);
    t.AddFieldDef("Domanda", data::FieldType::Integer, 2);
    t.AddFieldDef("Indice", data::FieldType::Integer, 4);
    t.CreateDataSet();
    for (int id = 1; id <= 30; ++id) {
        t.Append();
        t.FieldByName("Id").SetAsInteger(id);
        t.FieldByName("Capitolo").SetAsString("01");
        t.FieldByName("Domanda").SetAsInteger(1);
        t.FieldByName("Indice").SetAsInteger(id <= 20 ? 7 : 12);
        t.Post();
    }
    t.SaveToFile(w.path("M.QXD"));
    writeTopicList(w.path("ARG.XML"), {{"Sette", "7"}, {"Dodici", "12"}});
    ASSERT_TRUE(qd.CaricaMaster(w.path("M.QXD")));
    ASSERT_TRUE(qd.CaricaPrintDb(w.path("P.QXD")));
    ASSERT_TRUE(qd.CaricaArgomenti(w.path("ARG.XML"), false));
    EXPECT_EQ(qd.LbCount.lines, (std::vector<std::string>{"0/20", "0/10"}));
    EXPECT_EQ(qd.ContaRecordMaster("12"), 10);
    mark("7", "dtNormali", "rsNormali", 3);
    ASSERT_TRUE(qd.CaricaArgomenti(w.path("ARG.XML"), true));
    EXPECT_EQ(qd.LbCount.lines[0], "3/20");
}

TEST(TopicListLine, CutsAt45CharactersAndPadsWith70Blanks) {
    const std::string blanks(70, ' ');
    const std::string t45(45, 'a');
    EXPECT_EQ(data::topicListLine(t45), t45 + blanks);
    EXPECT_EQ(data::topicListLine(t45 + "b"), t45 + "..." + blanks);
    // Accented letters count as one character each.
    const std::string accented = std::string(44, 'x') + "\u00e8\u00e0";
    EXPECT_EQ(data::topicListLine(accented), std::string(44, 'x') + "\u00e8..." + blanks);
    EXPECT_EQ(data::topicListLine(""), blanks);
    EXPECT_EQ(data::topicCountLine(12, 87), "12/87");
}

TEST_F(QuestionDataTest, TopicListProblemsAndTheirMessages) {
    loadAll();
    // Missing file on a full load: always a box, topics and lines kept.
    w.switches.CkNoExceptMsg = true;
    EXPECT_FALSE(qd.CaricaArgomenti(w.path("NOPE.XML"), false));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0], "La lista argomenti non esiste.\r\nFile: " + w.path("NOPE.XML"));
    EXPECT_EQ(qd.Argomenti.size(), 3u);
    EXPECT_EQ(qd.LbArgomenti.count(), 3u);

    // "Totale" of 0: the "empty" box, topics kept.
    {
        settings::TXmlIni ini(w.path("EMPTY.XML"));
        ini.WriteInteger("Lista_Argomenti", "Totale", 0);
        ini.Save();
    }
    EXPECT_FALSE(qd.CaricaArgomenti(w.path("EMPTY.XML"), false));
    EXPECT_EQ(w.ui.messages.back(), "La lista argomenti \u00e8 vuota.\r\nFile: " + w.path("EMPTY.XML"));
    EXPECT_EQ(qd.Argomenti.size(), 3u);

    // "Totale" not an integer: the read-error path.
    {
        settings::TXmlIni ini(w.path("ABC.XML"));
        ini.WriteString("Lista_Argomenti", "Totale", "abc");
        ini.Save();
    }
    EXPECT_FALSE(qd.CaricaArgomenti(w.path("ABC.XML"), false));
    EXPECT_TRUE(w.logHas("UDorvel/CaricaArgomenti1 - 'abc' is not a valid integer value"));

    // Not well-formed: the read-error path names the file.
    { std::ofstream(w.path("BROKEN.XML")) << "<QX_XmlIni><Lista_Argomenti"; }
    w.switches.CkNoExceptMsg = false;
    EXPECT_FALSE(qd.CaricaArgomenti(w.path("BROKEN.XML"), false));
    EXPECT_EQ(w.ui.messages.back().rfind(
                  "Problemi durante la lettura della lista argomenti\r\nERRORE: ", 0),
              0u);
    EXPECT_NE(w.ui.messages.back().find("BROKEN.XML"), std::string::npos);
    EXPECT_EQ(qd.Argomenti.size(), 3u);

    // An absurd count is refused before anything is allocated for it.
    {
        settings::TXmlIni ini(w.path("HUGE.XML"));
        ini.WriteInteger("Lista_Argomenti", "Totale", 2000000000);
        ini.Save();
    }
    EXPECT_FALSE(qd.CaricaArgomenti(w.path("HUGE.XML"), false));
    EXPECT_EQ(qd.Argomenti.size(), 3u);
}

TEST_F(QuestionDataTest, MissingSectionsReadAsEmptyTopics) {
    writeMaster(w.path("M.QXD"), sampleMaster());
    ASSERT_TRUE(qd.CaricaMaster(w.path("M.QXD")));
    ASSERT_TRUE(qd.CaricaPrintDb(w.path("P.QXD")));
    {
        settings::TXmlIni ini(w.path("ARG.XML"));
        ini.WriteInteger("Lista_Argomenti", "Totale", 3);
        ini.WriteString("Argomento_01", "Indice", "T02");
        ini.Save();
    }
    ASSERT_TRUE(qd.CaricaArgomenti(w.path("ARG.XML"), false));
    ASSERT_EQ(qd.Argomenti.size(), 3u);
    EXPECT_EQ(qd.Argomenti[0].Indice, "");
    EXPECT_EQ(qd.LbCount.lines, (std::vector<std::string>{"0/0", "0/40", "0/0"}));
    EXPECT_EQ(qd.Argomenti[2].Item, 3);
}

TEST_F(QuestionDataTest, ResetArgomentoClearsOnlyThatTopicsTopicMarks) {
    loadAll();
    mark("T03", "dtNormali", "rsNormali", 40);
    mark("T03", "dtEsame", "rsEsame", 40);
    mark("T01", "dtNormali", "rsNormali", 3);
    qd.CdsPrint->SetFiltered(true);

    EXPECT_FALSE(qd.ResetArgomento("T99"));
    EXPECT_TRUE(qd.ResetArgomento("T03"));
    EXPECT_TRUE(qd.CdsPrint->Filtered());
    EXPECT_EQ(qd.ContaRecordSvolti("T03"), 0);
    EXPECT_EQ(qd.ContaRecordSvolti("T01"), 3);
    int examMarks = 0;
    for (const auto& row : qd.CdsPrint->Data().rows) examMarks += !data::isNull(row[14]);
    EXPECT_EQ(examMarks, 40);
    EXPECT_TRUE(w.logHas("UDorvel/ResetArgomento (T03)"));
}

TEST_F(QuestionDataTest, ResetEsameClearsEveryExamMark) {
    loadAll();
    mark("T01", "dtEsame", "rsEsame", 10);
    mark("T01", "dtNormali", "rsNormali", 10);
    qd.CdsPrint->SetIndexFieldNames("Capitolo;dtEsame");
    EXPECT_TRUE(qd.ResetEsame());
    EXPECT_FALSE(qd.CdsPrint->Filtered());
    for (const auto& row : qd.CdsPrint->Data().rows) {
        EXPECT_TRUE(data::isNull(row[14]));
        EXPECT_TRUE(data::isNull(row[15]));
    }
    EXPECT_EQ(qd.ContaRecordSvolti("T01"), 10);
    EXPECT_EQ(qd.CdsPrint->IndexFieldNames(), "Capitolo;dtEsame");
}

TEST_F(QuestionDataTest, ResetEsameWithoutCategoryDoesNothing) {
    loadAll();
    mark("T01", "dtEsame", "rsEsame", 4);
    w.state.currentCategory = mqNone;
    const std::string logBefore = w.logText();
    EXPECT_FALSE(qd.ResetEsame());
    EXPECT_EQ(w.logText(), logBefore);
    int examMarks = 0;
    for (const auto& row : qd.CdsPrint->Data().rows) examMarks += !data::isNull(row[14]);
    EXPECT_EQ(examMarks, 4);
}

TEST_F(QuestionDataTest, SaveUsesTheFormOfTheExtensionAndFailsSafely) {
    loadAll();
    mark("T01", "dtNormali", "rsNormali", 2);
    ASSERT_TRUE(qd.SavePrintDb(w.path("prova.xml")));
    EXPECT_EQ(readText(w.path("prova.xml")).rfind("<?xml", 0), 0u);
    ASSERT_TRUE(qd.SavePrintDb(w.path("P.QXD")));
    const std::string saved = readText(w.path("P.QXD"));

    // A save that cannot complete reports false and leaves the old file as it was.
    std::filesystem::create_directory(w.path("dir.QXD"));
    EXPECT_FALSE(qd.SavePrintDb(w.path("dir.QXD")));
    EXPECT_TRUE(w.logHas("UDorvel/SavePrintDb - "));
    EXPECT_EQ(readText(w.path("P.QXD")), saved);
    EXPECT_FALSE(qd.SavePrintDb(""));

    w.switches.CkNoExceptMsg = false;
    EXPECT_FALSE(qd.SavePrintDb(w.path("dir.QXD")));
    EXPECT_EQ(w.ui.messages.back().rfind("Impossibile salvare il database di stampa\r\nERRORE: ", 0),
              0u);
}

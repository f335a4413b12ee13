#include "data/archive_resets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

#include "core/file_util.h"
#include "data/options_numbering.h"
#include "settings/settings_model.h"
#include "support/question_world.h"

using namespace vexora;
using namespace vexora::test;

namespace {

// Category AB with topics T01..T03 of 40 questions each, history loaded, the settings
// file beside the program (its writes can be refused).
struct ResetWorld : QuestionWorld {
    bool refuseSettings = false;
    settings::SettingsModel settings{
        path("Vexora.ini"), log, path("Plarn.ini"),
        [this](const std::string& p, std::string_view bytes, std::string* error) {
            if (refuseSettings)
                return false;
            return writeFileAtomically(p, bytes, error);
        }};
    data::ArchiveResets resets{state, qd, settings};

    explicit ResetWorld(std::vector<TopicRow> topics = {
                            {"Segnali", "T01"}, {"Precedenze", "T02"}, {"Sorpasso", "T03"}}) {
        std::vector<MasterRow> master;
        for (int id = 1; id <= 120; ++id)
            master.push_back({id, "01", "T0" + std::to_string(1 + (id - 1) / 40)});
        writeMaster(path("M.QXD"), master);
        writeTopicList(path("ARG.XML"), topics);
        qd.FilePrintr = path("P.QXD");
        qd.FileArgmnt = path("ARG.XML");
        EXPECT_TRUE(qd.CaricaMaster(path("M.QXD")));
        state.printDatabaseLoaded = qd.CaricaPrintDb(qd.FilePrintr);
        EXPECT_TRUE(qd.CaricaArgomenti(qd.FileArgmnt, false));
        state.counter(mqAB, tdsEsame) = 57;
        state.counter(mqAB, tdsArgomento) = 33;
        settings.SalvaProgressivi(state);
    }

    // Marks `count` rows of a topic printed in the pair dt<word>/rs<word> and, unless
    // told, saves the history as a print run does.
    void mark(const std::string& topic, const std::string& word, int count, bool save = true) {
        data::Table& t = *qd.CdsPrint;
        for (t.First(); !t.Eof() && count > 0; t.Next()) {
            if (t.FieldByName("Indice").AsString() != topic)
                continue;
            t.Edit();
            t.FieldByName("dt" + word).SetAsDateTime(LocalDateTime{2026, 5, 4, 10, 0, 0, 0});
            t.FieldByName("rs" + word).SetAsBoolean(true);
            t.Post();
            --count;
        }
        if (save) {
            EXPECT_TRUE(qd.SavePrintDb(qd.FilePrintr));
        }
    }
    // Marked rows per topic in the pair's dt field, of the history in memory or on disk.
    static std::map<std::string, int> marks(const data::Table& t, const std::string& word) {
        std::map<std::string, int> out;
        const auto ind = *t.FindFieldIndex("Indice");
        const auto dt = *t.FindFieldIndex("dt" + word);
        for (const auto& row : t.Data().rows)
            out[std::get<std::string>(row[ind])] += data::isNull(row[dt]) ? 0 : 1;
        return out;
    }
    std::map<std::string, int> savedMarks(const std::string& word) {
        data::Table t;
        t.LoadFromFile(qd.FilePrintr);
        return marks(t, word);
    }
    std::map<std::string, int> memoryMarks(const std::string& word) {
        if (!qd.CdsPrint) {
            ADD_FAILURE() << "no print history in memory";
            return {};
        }
        return marks(*qd.CdsPrint, word);
    }
    // The counters as the settings file holds them.
    ProgramState savedCounters() {
        ProgramState fresh(dir.folder());
        Switches sw;
        settings::MainWindowValues window;
        settings.InizializzaOpzioni(fresh, sw, window, {});
        return fresh;
    }
};

using Marks = std::map<std::string, int>;

}  // namespace

TEST(ArchiveResets, CounterResetsLogFirstThenSaveEveryCounter) {
    ResetWorld w;
    w.state.currentCategory = mqCqc1M;
    w.state.counter(mqCqc1M, tdsEsame) = 9;
    w.state.counter(mqCqc1M, tdsArgomento) = 8;
    const auto exam = w.resets.BtResetPrEsa();
    EXPECT_TRUE(exam.outcome && exam.reenableButton);
    EXPECT_EQ(exam.examCounterText, "1");
    EXPECT_TRUE(w.logHas(
        ">STATUS: TFormOpzioni.BtResetPrEsaABClick (Reset Num. progressivo Esame CQC M)\r\n"));
    ProgramState saved = w.savedCounters();
    EXPECT_EQ(saved.counter(mqCqc1M, tdsEsame), 1);
    EXPECT_EQ(saved.counter(mqCqc1M, tdsArgomento), 8);
    EXPECT_EQ(saved.counter(mqAB, tdsEsame), 57);  // all 28 counters are written

    // A refused settings write is reported after the log line; the counter stays reset.
    w.refuseSettings = true;
    const auto topic = w.resets.BtResetPrArg();
    EXPECT_TRUE(topic.counterSaveFailed);
    EXPECT_EQ(w.state.counter(mqCqc1M, tdsArgomento), 1);
    const std::string log = w.logText();
    const auto line = log.find(
        "TFormOpzioni.BtResetPrArgClick (Reset Num. progressivo Argomento "
        "CQC M)\r\n");
    ASSERT_NE(line, std::string::npos);
    EXPECT_GT(log.find(">ERRORE: Unable to write to " + w.path("Vexora.ini")), line);
    EXPECT_EQ(w.savedCounters().counter(mqCqc1M, tdsArgomento), 8);
    // Told whatever CkNoExceptMsg says: the labels would repeat.
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].rfind("Impossibile salvare la numerazione delle schede nel file \"" +
                                         w.path("Vexora.ini") + "\"",
                                     0),
              0u);
}

TEST(ArchiveResets, EveryResetIsRefusedWhileARunHoldsTheCategory) {
    ResetWorld w;
    w.state.currentCategory = mqAB;
    w.mark("T01", "Esame", 5);
    const std::string history = readWholeFile(w.qd.FilePrintr, 1u << 24).value();
    const std::string settingsBefore = readWholeFile(w.path("Vexora.ini"), 1u << 20).value();
    w.state.runCategory = mqAB;
    for (auto reset :
         {&data::ArchiveResets::BtResetPrArg, &data::ArchiveResets::BtResetPrEsa,
          &data::ArchiveResets::BtResetDbArg, &data::ArchiveResets::BtResetDbEsa,
          &data::ArchiveResets::BtResetArgSel, &data::ArchiveResets::ResetSelectArgs}) {
        EXPECT_FALSE((w.resets.*reset)().outcome);
    }
    EXPECT_FALSE(w.resets.BtFullReset().outcome);
    EXPECT_EQ(w.ui.messages.size(), 7u);
    EXPECT_EQ(w.state.counter(mqAB, tdsEsame), 57);
    EXPECT_EQ(w.memoryMarks("Esame")["T01"], 5);
    EXPECT_EQ(readWholeFile(w.qd.FilePrintr, 1u << 24).value(), history);
    EXPECT_EQ(readWholeFile(w.path("Vexora.ini"), 1u << 20).value(), settingsBefore);

    // Nor are the options saved.
    EXPECT_THROW(w.settings.SalvaOpzioni({}, w.switches, w.state), std::runtime_error);
    EXPECT_EQ(readWholeFile(w.path("Vexora.ini"), 1u << 20).value(), settingsBefore);
}

TEST(ArchiveResets, AllTopicsResetSavesTheHistoryResetsTheCounterAndRecounts) {
    ResetWorld w;
    w.mark("T01", "Normali", 2);
    w.mark("T03", "Normali", 3);
    w.mark("T02", "Esame", 4);
    const auto r = w.resets.BtResetDbArg();
    EXPECT_TRUE(r.outcome && r.topicListsRefilled);
    EXPECT_EQ(r.topicCounterText, "1");
    EXPECT_TRUE(w.logHas("TFormOpzioni.BtResetDbArgClick (Reset Database Argomento AB) > True"));
    EXPECT_EQ(w.savedMarks("Normali"), (Marks{{"T01", 0}, {"T02", 0}, {"T03", 0}}));
    EXPECT_EQ(w.savedMarks("Esame"), (Marks{{"T01", 0}, {"T02", 4}, {"T03", 0}}));
    EXPECT_EQ(w.savedCounters().counter(mqAB, tdsArgomento), 1);
    EXPECT_EQ(w.qd.LbCount.lines, (std::vector<std::string>{"0/40", "0/40", "0/40"}));
}

TEST(ArchiveResets, TopicWithoutRowsMakesTheOutcomeFalseAfterClearingTheOthers) {
    ResetWorld w({{"Vuoto", "T09"}, {"Segnali", "T01"}, {"Precedenze", "T02"}});
    w.mark("T01", "Normali", 2);
    w.mark("T02", "Normali", 1);
    ASSERT_TRUE(w.qd.CaricaArgomenti(w.qd.FileArgmnt, true));
    const auto r = w.resets.BtResetDbArg();
    EXPECT_FALSE(r.outcome || r.topicListsRefilled || r.topicCounterText);
    const std::string log = w.logText();
    const auto last = log.find("UDorvel/ResetArgomento (T02)");
    ASSERT_NE(last, std::string::npos);
    EXPECT_LT(log.find("UDorvel/ResetArgomento (T09)"), last);
    EXPECT_NE(log.find("(Reset Database Argomento AB) > False"), std::string::npos);
    EXPECT_EQ(w.state.counter(mqAB, tdsArgomento), 33);
    EXPECT_EQ(w.qd.LbCount.lines[1], "2/40");  // not recounted
    // The topics that were cleared are on disk all the same.
    EXPECT_EQ(w.savedMarks("Normali"), (Marks{{"T01", 0}, {"T02", 0}, {"T03", 0}}));

    w.qd.Argomenti.clear();
    const std::string before = w.logText();
    EXPECT_FALSE(w.resets.BtResetDbArg().outcome);
    EXPECT_EQ(w.logText(), before);  // an empty list: nothing at all
}

TEST(ArchiveResets, ExamResetSavesTheHistoryAndAFailedSaveIsFalse) {
    ResetWorld w;
    w.mark("T01", "Esame", 5);
    w.mark("T02", "Normali", 2);
    const auto r = w.resets.BtResetDbEsa();
    EXPECT_TRUE(r.outcome);
    EXPECT_EQ(r.examCounterText, "1");
    EXPECT_TRUE(w.logHas("TFormOpzioni.BtResetDbEsaClick (Reset Database Esame AB) > True"));
    EXPECT_EQ(w.savedMarks("Esame"), (Marks{{"T01", 0}, {"T02", 0}, {"T03", 0}}));
    EXPECT_EQ(w.savedMarks("Normali")["T02"], 2);
    EXPECT_EQ(w.savedCounters().counter(mqAB, tdsEsame), 1);

    // A history file that cannot be written: reported naming it, counter kept.
    w.state.counter(mqAB, tdsEsame) = 12;
    std::filesystem::create_directory(w.path("dir.QXD"));
    w.qd.FilePrintr = w.path("dir.QXD");
    const auto failed = w.resets.BtResetDbEsa();
    EXPECT_FALSE(failed.outcome);
    EXPECT_TRUE(failed.historySaveFailed);
    EXPECT_TRUE(w.logHas(">ERRORE: UDorvel/SavePrintDb - table file \"" + w.path("dir.QXD")));
    EXPECT_TRUE(w.logHas("(Reset Database Esame AB) > False"));
    EXPECT_EQ(w.state.counter(mqAB, tdsEsame), 12);

    w.state.currentCategory = mqNone;
    EXPECT_FALSE(w.resets.BtResetDbEsa().outcome);
    EXPECT_TRUE(w.logHas("TFormOpzioni.BtResetDbEsaClick (Reset Database Esame ) > False"));
}

TEST(ArchiveResets, FullResetRebuildsTheHistoryFromTheMaster) {
    ResetWorld w;
    w.mark("T01", "Normali", 2);
    w.mark("T02", "Esame", 3);
    std::vector<bool> button;
    const auto r = w.resets.BtFullReset([&](bool on) { button.push_back(on); });
    EXPECT_EQ(button, (std::vector<bool>{false, true}));
    EXPECT_TRUE(r.outcome && r.topicListsRefilled && r.reenableButton);
    EXPECT_EQ(r.topicCounterText, "1");
    EXPECT_EQ(r.examCounterText, "1");
    EXPECT_TRUE(w.logHas(" Ricreato. 120 records."));
    EXPECT_TRUE(w.logHas("TFormOpzioni.BtFullResetClick (Rebuild Database schede AB) > True"));
    EXPECT_TRUE(w.state.printDatabaseLoaded);
    const Marks none{{"T01", 0}, {"T02", 0}, {"T03", 0}};
    EXPECT_EQ(w.memoryMarks("Normali"), none);
    EXPECT_EQ(w.savedMarks("Esame"), none);
    const ProgramState saved = w.savedCounters();
    EXPECT_EQ(saved.counter(mqAB, tdsEsame) + saved.counter(mqAB, tdsArgomento), 2);

    // Without a loaded history nothing happens but the "False" line.
    w.state.printDatabaseLoaded = false;
    button.clear();
    EXPECT_FALSE(w.resets.BtFullReset([&](bool on) { button.push_back(on); }).outcome);
    EXPECT_TRUE(button.empty());
    EXPECT_TRUE(w.logHas("(Rebuild Database schede AB) > False"));
}

TEST(ArchiveResets, FullResetThatCannotDeleteOrRebuildKeepsTheOldHistory) {
    ResetWorld w;
    w.mark("T01", "Normali", 2);
    w.mark("T03", "Normali", 1, false);  // not saved: in memory only
    const std::string file = readText(w.qd.FilePrintr);
    const Marks old{{"T01", 2}, {"T02", 0}, {"T03", 1}};

    // The file cannot be moved away (a folder holds the name it is moved to) ...
    std::filesystem::create_directories(w.path("P.QXD.bak/x"));
    std::vector<bool> button;
    auto r = w.resets.BtFullReset([&](bool on) { button.push_back(on); });
    EXPECT_FALSE(r.outcome);
    EXPECT_EQ(button, (std::vector<bool>{false, true}));
    EXPECT_TRUE(
        w.logHas(">ERRORE: TFormOpzioni.BtFullResetClick() - Impossibile cancellare il file \"" +
                 w.qd.FilePrintr + "\""));
    EXPECT_EQ(readText(w.qd.FilePrintr), file);
    EXPECT_EQ(w.memoryMarks("Normali"), old);

    // ... or no new history can be built (no master open).
    std::filesystem::remove_all(w.path("P.QXD.bak"));
    w.qd.CdsMaster.Close();
    r = w.resets.BtFullReset();
    EXPECT_FALSE(r.outcome || r.topicCounterText);
    EXPECT_TRUE(w.logHas(">ERRORE: TFormOpzioni.BtFullResetClick() - Il print database \"" +
                         w.qd.FilePrintr + "\" non "));
    EXPECT_EQ(readText(w.qd.FilePrintr), file);
    EXPECT_FALSE(std::filesystem::exists(w.path("P.QXD.bak")));
    EXPECT_TRUE(w.state.printDatabaseLoaded);
    EXPECT_EQ(w.memoryMarks("Normali"), old);
    EXPECT_EQ(w.state.counter(mqAB, tdsEsame), 57);
}

TEST(ArchiveResets, SelectedTopicsAreResetAfterConfirmation) {
    ResetWorld w;
    for (const char* t : {"T01", "T02", "T03"})
        w.mark(t, "Normali", 2);
    const std::string logLine =
        "TFormOpzioni.BtResetArgSelClick (Reset degli argomenti selezionati AB)\r\n";

    w.qd.LbArgomenti.select(0);
    w.ui.answers = {false};
    EXPECT_FALSE(w.resets.BtResetArgSel().topicListsRefilled);
    EXPECT_EQ(w.ui.questions.back(), "Si desidera resettare l'argomento selezionato?");
    EXPECT_EQ(w.memoryMarks("Normali")["T01"], 2);
    EXPECT_TRUE(w.logHas(logLine));

    w.qd.LbArgomenti.select(2);
    const auto r = w.resets.BtResetArgSel();
    EXPECT_EQ(w.ui.questions.back(), "Si desidera resettare i 2 argomenti selezionati?");
    EXPECT_TRUE(r.outcome && r.topicListsRefilled);
    EXPECT_EQ(w.savedMarks("Normali"), (Marks{{"T01", 0}, {"T02", 2}, {"T03", 0}}));
    EXPECT_EQ(w.qd.LbArgomenti.selectedCount(), 0u);
    EXPECT_EQ(w.state.counter(mqAB, tdsArgomento), 33);

    // Nothing selected, or no category: no question, the log line all the same.
    w.state.currentCategory = mqNone;
    w.qd.LbArgomenti.select(1);
    w.resets.BtResetArgSel();
    EXPECT_EQ(w.ui.questions.size(), 2u);
    EXPECT_TRUE(w.logHas("(Reset degli argomenti selezionati )\r\n"));
}

TEST(OptionsNumbering, CaptionsCountersAndTabs) {
    EXPECT_EQ(data::numberingCaption(mqSuperCx),
              "  Numerazione e database schede Estensione C-CE ");
    EXPECT_EQ(data::numberingCaption(mqCqc4P), "  Numerazione e database schede Estensione CQC P ");
    EXPECT_EQ(data::numberingCaption(mqCqc5B), "  Numerazione e database schede CQC da APC ");

    ProgramState state;
    data::TopicListModel topics;
    topics.add("a");
    topics.add("b");
    state.currentCategory = mqAB;
    state.counter(mqAB, tdsEsame) = 7;
    state.counter(mqAB, tdsArgomento) = 12;
    auto view = data::AggiornaNumerazione(state, topics);
    EXPECT_EQ(view.caption, "  Numerazione e database schede AB ");
    EXPECT_EQ(view.topicCounter + "/" + view.examCounter, "12/7");
    EXPECT_TRUE(view.panelEnabled);
    EXPECT_FALSE(view.resetSelectedEnabled);
    topics.select(1);
    EXPECT_TRUE(data::AggiornaNumerazione(state, topics).resetSelectedEnabled);
    state.currentCategory = mqAdr;
    view = data::AggiornaNumerazione(state, topics);
    EXPECT_EQ(state.currentCategory, mqNone);
    EXPECT_EQ(view.caption, " Database non aperto! ");
    EXPECT_TRUE(view.topicCounter.empty() && view.examCounter.empty());
    EXPECT_FALSE(view.panelEnabled || view.resetSelectedEnabled);

    std::string captions;
    std::string groups;
    for (const auto& tab : data::categoryTabs()) {
        EXPECT_EQ(tab.caption, displayName(tab.category));
        captions += std::string(tab.caption) + "|";
        groups += std::to_string(static_cast<int>(tab.group));
    }
    EXPECT_EQ(captions,
              "AB|AM|CQC M|CQC P|Est. CQC M|Est. CQC P|CQC da APC|C1-C1E|C1-C1E NP|C-CE|Est. C-CE|"
              "D1-D1E|D-DE|Est. D-DE|");
    EXPECT_EQ(groups, "01333332222222");  // AB, AM, CQC x 5, SUP x 7
}

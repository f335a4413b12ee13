#include "print/print_job_driver.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>

#include "data/category_opening.h"
#include "data/table_file.h"
#include "support/compose_world.h"

using namespace vexora;
using namespace vexora::test;

namespace {

// Records what would be printed; fails the sheets it is told to.
class FakeRenderers : public print::SheetRenderers {
public:
    explicit FakeRenderers(compose::SheetComposer& composer) : composer_(composer) {}
    std::vector<std::string> calls;
    std::vector<std::vector<std::string>> keyLabels;  // labels of the blocks of each key
    std::set<std::string> failLabels;

    std::function<void()> onSheet;  // what the user does while a sheet prints
    bool StampaScheda(TModalitaQuiz, TTipoDiStampa, const std::string& label) override {
        calls.push_back("S:" + label);
        if (onSheet)
            onSheet();
        return !failLabels.count(label);
    }
    bool StampaCorrettore(TModalitaQuiz m, int numCorr) override {
        calls.push_back("K:" + std::to_string(numCorr));
        auto acc = composer_.keyAccumulator(m);
        const int n = questionsPerSheet(m);
        std::vector<std::string> labels;
        for (int j = 0; j < numCorr; ++j)
            labels.push_back(acc[static_cast<std::size_t>(j * n)].Scheda);
        keyLabels.push_back(labels);
        return true;
    }

private:
    compose::SheetComposer& composer_;
};

// Leaves every output pending, as PDF files drawn on worker threads are, until the
// driver settles it; the outcome is decided when the call is made, and a key is skipped
// like the output queue skips it: when a sheet pending at its call was not written.
class PendingRenderers : public FakeRenderers {
public:
    using FakeRenderers::FakeRenderers;
    struct Out {
        std::size_t seq;
        bool key;
        bool ok;
        std::size_t firstPending;
    };
    std::deque<Out> outcomes;
    std::vector<bool> keyWritten;  // per key call, in call order
    std::size_t maxSeen = 0;
    std::size_t beginRun() override { return 2; }
    std::size_t pendingOutputs() const override { return outcomes.size(); }
    bool StampaScheda(TModalitaQuiz m, TTipoDiStampa k, const std::string& label) override {
        push(false, FakeRenderers::StampaScheda(m, k, label));
        return true;
    }
    bool StampaCorrettore(TModalitaQuiz m, int numCorr) override {
        push(true, FakeRenderers::StampaCorrettore(m, numCorr));
        return true;
    }
    bool settleOldest() override {
        const Out o = outcomes.front();
        outcomes.pop_front();
        bool written = o.ok;
        if (o.key) {
            written = written && !(lastFailedSheet && *lastFailedSheet >= o.firstPending);
            keyWritten.push_back(written);
        } else if (!written) {
            lastFailedSheet = o.seq;
        }
        calls.push_back("settled");
        return written;
    }
    std::vector<std::vector<std::string>> writtenKeyLabels() const {
        std::vector<std::vector<std::string>> out;
        for (std::size_t i = 0; i < keyWritten.size(); ++i)
            if (keyWritten[i])
                out.push_back(keyLabels[i]);
        return out;
    }

private:
    void push(bool key, bool ok) {
        outcomes.push_back({nextSeq, key, ok, outcomes.empty() ? nextSeq : outcomes.front().seq});
        ++nextSeq;
        maxSeen = std::max(maxSeen, outcomes.size());
    }
    std::size_t nextSeq = 0;
    std::optional<std::size_t> lastFailedSheet;
};

struct DriverTest : ::testing::Test {
    ComposeWorld w;
    FakeRenderers renderers{w.composer};
    settings::SettingsModel settingsModel{w.path("Vexora.ini"), w.log, w.path("Plarn.ini")};
    print::PrintJobDriver driver{w.state, w.reporting, w.progress, w.platform,
                                 w.qd,    w.composer,  renderers,  &settingsModel};

    void openExamCategory(TModalitaQuiz m) { w.open(m, chapterMaster(25, 40), numberedTopics(3)); }
    print::PrintRunResult run(TTipoDiStampa kind, int sheets, int copies = 1) {
        print::PrintRequest r;
        r.sheetsText = std::to_string(sheets);
        r.copiesText = std::to_string(copies);
        r.copies = copies;
        return driver.AvviaStampaSchede(kind, r);
    }
    std::vector<std::string> infos() {
        std::vector<std::string> out;
        for (const auto& c : w.progress.calls) {
            if (c.rfind("Progress: ", 0) != 0)
                continue;
            // "Progress: posPar,maxPar,posTot,maxTot,title,info": the info follows the fifth comma.
            std::size_t at = 0;
            for (int k = 0; k < 5; ++k)
                at = c.find(',', at) + 1;
            const std::string info = c.substr(at);
            if (info != "-1")
                out.push_back(info);
        }
        return out;
    }
    int savedExamMarks() { return w.savedExamMarks(); }
};

}  // namespace

TEST(PrintJobTexts, LabelsCopiesAndKeyTexts) {
    EXPECT_EQ(print::sheetLabel(tdsEsame, 7), "E007");
    EXPECT_EQ(print::sheetLabel(tdsArgomento, 128), "A128");
    EXPECT_EQ(print::sheetLabel(tdsEsame, 999), "E999");
    print::PrintRequest one;
    EXPECT_EQ(print::copiesText(one), "una copia");
    print::PrintRequest three{"1", "3", 3};
    EXPECT_EQ(print::copiesText(three), "3 copie");
    EXPECT_EQ(print::answerKeyText(1), "la scheda stampata");
    EXPECT_EQ(print::answerKeyText(3), "le ultime 3 schede stampate");
}

TEST_F(DriverTest, TenSheetsInterleaveAnswerKeysEveryFour) {
    openExamCategory(mqAB);
    const auto r = run(tdsEsame, 10, 2);
    EXPECT_EQ(
        renderers.calls,
        (std::vector<std::string>{"S:E001", "S:E002", "S:E003", "S:E004", "K:4", "S:E005", "S:E006",
                                  "S:E007", "S:E008", "K:4", "S:E009", "S:E010", "K:2"}));
    EXPECT_EQ(renderers.keyLabels[2], (std::vector<std::string>{"E009", "E010"}));
    EXPECT_EQ(w.state.counter(mqAB, tdsEsame), 11);
    EXPECT_TRUE(r.saved);
    EXPECT_EQ(savedExamMarks(), 300);
    const auto texts = infos();
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        "Avvio stampa per 2 copie della scheda E003 in corso..."),
              texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        "Stampa per le ultime 2 schede stampate, in corso..."),
              texts.end());
    // The counters reach the settings file at the end of the run.
    EXPECT_NE(readText(w.path("Vexora.ini")).find("Progressivo Esa AB=11"), std::string::npos);
}

TEST_F(DriverTest, ProgressTextsOfAOneSheetRunInOrder) {
    openExamCategory(mqAB);
    run(tdsEsame, 1);
    EXPECT_EQ(infos(), (std::vector<std::string>{
                           "Preparazione della scheda n. 1, attendere...",
                           "Ricombinazione dell'ordinamento delle domande... ",
                           "Avvio stampa per una copia della scheda E001 in corso...",
                           "Stampa per la scheda stampata, in corso...",
                           "Salvataggio database di stampa e riconteggio domande..."}));
    EXPECT_EQ(w.progress.calls[0], "ProgressReset");
    EXPECT_EQ(w.progress.calls[1], "Progress: 0,100,0,40,Stampa schede tipo esame AB,-1");
    EXPECT_NE(std::find(w.progress.calls.begin(), w.progress.calls.end(), "ProgressFull"),
              w.progress.calls.end());
    EXPECT_FALSE(w.progress.visible());
    EXPECT_FALSE(w.ui.waitCursor());
}

TEST_F(DriverTest, EightSheetKeyWithThreeSheetsAndTwoSheetKeyWithThree) {
    w.open(mqSuperC1, chapterMaster(10, 40), numberedTopics(3));
    run(tdsEsame, 3);
    EXPECT_EQ(renderers.calls, (std::vector<std::string>{"S:E001", "S:E002", "S:E003", "K:3"}));

    renderers.calls.clear();
    w.open(mqCqc1M, chapterMaster(13, 60), numberedTopics(3));
    run(tdsEsame, 3);
    EXPECT_EQ(renderers.calls,
              (std::vector<std::string>{"S:E001", "S:E002", "K:2", "S:E003", "K:1"}));
    const auto texts = infos();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Stampa per la scheda stampata, in corso..."),
              1);
    EXPECT_EQ(
        std::count(texts.begin(), texts.end(), "Preparazione della scheda n. 2 di 3, attendere..."),
        2);
}

TEST_F(DriverTest, CounterWrapsFrom999To1) {
    openExamCategory(mqAB);
    w.state.counter(mqAB, tdsEsame) = 999;
    run(tdsEsame, 2);
    EXPECT_EQ(renderers.calls, (std::vector<std::string>{"S:E999", "S:E001", "K:2"}));
    EXPECT_EQ(w.state.counter(mqAB, tdsEsame), 2);
}

TEST_F(DriverTest, ZeroSheetsOpensAndClosesTheProgressOnly) {
    openExamCategory(mqAB);
    const auto r = run(tdsEsame, 0);
    EXPECT_TRUE(renderers.calls.empty());
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(savedExamMarks(), 0);
    EXPECT_FALSE(w.progress.visible());
}

TEST_F(DriverTest, NoCategoryFailsEverySheet) {
    const auto r = run(tdsEsame, 2);
    EXPECT_TRUE(renderers.calls.empty());
    EXPECT_EQ(r.failedSheets, 2);
    EXPECT_FALSE(r.saved);
    const auto texts = infos();
    EXPECT_EQ(texts[1], "Ricombinazione dell'ordinamento delle domande... ");
    EXPECT_EQ(texts[2], "ERRORE sulla scheda n. 1 di 2, non stampata...");
    EXPECT_EQ(
        std::count(w.platform.tones.begin(), w.platform.tones.end(), std::make_pair(440u, 10u)), 2);
}

TEST_F(DriverTest, SecondOfFourFailsToComposeAndTakesNoLabel) {
    openExamCategory(mqAB);
    w.progress.onTick = [&](RecordingInteraction& p) {
        if (p.progress.info == "Preparazione della scheda n. 2 di 4, attendere...") {
            w.state.currentCategory = mqNone;
        } else if (p.progress.info == "Preparazione della scheda n. 3 di 4, attendere...") {
            w.state.currentCategory = mqAB;
        }
    };
    const auto r = run(tdsEsame, 4);
    EXPECT_EQ(renderers.calls, (std::vector<std::string>{"S:E001", "S:E002", "S:E003", "K:3"}));
    EXPECT_EQ(r.failedSheets, 1);
    EXPECT_TRUE(r.saved);
    EXPECT_EQ(savedExamMarks(), 90);
}

TEST_F(DriverTest, SheetThatFailsToPrintGivesBackItsBlockAndItsMarks) {
    openExamCategory(mqAB);
    renderers.failLabels = {"E002"};
    const auto r = run(tdsEsame, 4);
    EXPECT_EQ(renderers.calls,
              (std::vector<std::string>{"S:E001", "S:E002", "S:E003", "S:E004", "K:3"}));
    EXPECT_EQ(renderers.keyLabels[0], (std::vector<std::string>{"E001", "E003", "E004"}));
    EXPECT_EQ(w.state.counter(mqAB, tdsEsame), 5);
    EXPECT_EQ(r.printedLabels.size(), 3u);
    EXPECT_EQ(savedExamMarks(), 90);
}

TEST_F(DriverTest, LastSheetFailingStillGetsTheGatheredSheetsTheirKey) {
    openExamCategory(mqAB);
    renderers.failLabels = {"E003"};
    const auto r = run(tdsEsame, 3);
    EXPECT_EQ(renderers.calls, (std::vector<std::string>{"S:E001", "S:E002", "S:E003", "K:2"}));
    EXPECT_TRUE(r.saved);
    EXPECT_EQ(savedExamMarks(), 60);
}

TEST_F(DriverTest, InterruptionDuringTheThirdCompositionKeepsThePrintedSheets) {
    openExamCategory(mqAB);
    w.progress.onTick = [](RecordingInteraction& base) {
        auto& p = static_cast<InterruptingProgress&>(base);
        if (p.progress.info == "Preparazione della scheda n. 3 di 3, attendere..." &&
            p.interruptAt == 0) {
            p.interruptAt = p.readings + 3;  // a few slots into the composition
        }
        if (p.interruptAt > 0 && p.readings >= p.interruptAt)
            p.progress.interruption = true;
    };
    const auto r = run(tdsEsame, 3);
    EXPECT_TRUE(r.interrupted);
    // The printed sheets still get their answer key.
    ASSERT_EQ(renderers.calls, (std::vector<std::string>{"S:E001", "S:E002", "K:2"}));
    EXPECT_EQ(renderers.keyLabels[0], (std::vector<std::string>{"E001", "E002"}));
    EXPECT_EQ(w.state.counter(mqAB, tdsEsame), 3);
    EXPECT_EQ(
        std::count(w.platform.tones.begin(), w.platform.tones.end(), std::make_pair(440u, 10u)), 1);
    // The printed sheets' marks are kept and saved; the cut-short sheet's are undone.
    EXPECT_TRUE(r.saved);
    EXPECT_EQ(savedExamMarks(), 60);
    EXPECT_EQ(w.marked("Esame").size(), 60u);
}

TEST_F(DriverTest, EscapeHeldEndsTheRunAfterTheCurrentSheet) {
    openExamCategory(mqAB);
    w.progress.escape = true;
    const auto r = run(tdsEsame, 3);
    EXPECT_TRUE(r.interrupted);
    EXPECT_EQ(renderers.calls, (std::vector<std::string>{"S:E001", "K:1"}));
    EXPECT_EQ(savedExamMarks(), 30);
}

TEST_F(DriverTest, PdfRunsAnnounceOneFilePerSheetNotCopies) {
    openExamCategory(mqAB);
    w.switches.CkStampaSuPdf = true;
    run(tdsEsame, 1, 2);
    const auto texts = infos();
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        "Avvio stampa per un file PDF della scheda E001 in corso..."),
              texts.end());
    for (const auto& t : texts)
        EXPECT_EQ(t.find("copie"), std::string::npos) << t;
    EXPECT_EQ(print::copiesText(print::PrintRequest{"1", "2", 2}, false), "2 copie");
}

TEST_F(DriverTest, HugeTypedSheetCountIsClampedToTheFieldsMaximum) {
    // No category: every sheet fails at once; the second one stops the run.
    w.progress.onTick = [](RecordingInteraction& p) {
        if (p.progress.info.rfind("Preparazione della scheda n. 2 di", 0) == 0)
            p.progress.interruption = true;
    };
    print::PrintRequest request;
    request.sheetsText = "2147483647";
    const auto r = driver.AvviaStampaSchede(tdsEsame, request);
    EXPECT_EQ(r.requested, 600);
    EXPECT_EQ(w.progress.calls[1], "Progress: 0,100,0,6030,Stampa schede tipo esame ,-1");
    EXPECT_EQ(infos()[0], "Preparazione della scheda n. 1 di 600, attendere...");
    EXPECT_EQ(print::sheetCount("-5"), -5);
    EXPECT_EQ(print::sheetCount("abc"), 1);
}

TEST_F(DriverTest, ARunHoldsItsCategoryAgainstSwitchesAndSecondRuns) {
    openExamCategory(mqAB);
    int tried = 0;
    renderers.onSheet = [&] {
        if (tried++ > 0)
            return;
        EXPECT_TRUE(w.state.runInProgress());
        w.state.currentCategory = mqSuperC;
        EXPECT_TRUE(data::InitAndCountDb(w.state, w.qd).refusedDuringRun);
        EXPECT_FALSE(run(tdsEsame, 2).started);  // a second run from inside the first
    };
    const auto r = run(tdsEsame, 3);
    EXPECT_EQ(r.printedLabels, (std::vector<std::string>{"E001", "E002", "E003"}));
    EXPECT_TRUE(r.saved);
    EXPECT_EQ(w.state.currentCategory, mqAB);
    EXPECT_FALSE(w.state.runInProgress());
    EXPECT_EQ(w.savedExamMarks(), 3 * questionsPerSheet(mqAB));
}

TEST_F(DriverTest, FailuresEndInASummaryAndUnsavedCountersAreTold) {
    openExamCategory(mqAB);
    renderers.failLabels = {"E002"};
    std::filesystem::remove(w.path("Vexora.ini"));
    std::filesystem::create_directory(w.path("Vexora.ini"));  // cannot be written
    const auto r = run(tdsEsame, 3);
    EXPECT_TRUE(r.counterSaveFailed);
    EXPECT_TRUE(r.summaryShown);
    const auto& boxes = w.ui.messages;
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[boxes.size() - 2].rfind("Impossibile salvare la numerazione delle schede nel "
                                            "file \"" +
                                                w.path("Vexora.ini") + "\"",
                                            0),
              0u);
    EXPECT_EQ(boxes.back(),
              "Stampa terminata.\r\nStampate: 2 schede su 3 (da E001 a E003), 1 correttore."
              "\r\nNON stampate: 1 scheda.\r\n\r\nLe domande delle schede stampate sono segnate "
              "nel database di stampa \"" +
                  w.qd.FilePrintr +
                  "\"; quelle delle schede non "
                  "stampate no.");
}

TEST_F(DriverTest, TopicRunRecountsTheTopics) {
    w.open(mqAB, topicMaster({80, 80, 80}), numberedTopics(3));
    w.selectTopics({1, 3});
    const auto r = run(tdsArgomento, 2);
    EXPECT_EQ(renderers.calls, (std::vector<std::string>{"S:A001", "S:A002", "K:2"}));
    ASSERT_TRUE(r.saved);
    EXPECT_EQ(w.qd.Argomenti[0].RecordSvolti + w.qd.Argomenti[2].RecordSvolti, 60);
    EXPECT_EQ(w.qd.Argomenti[1].RecordSvolti, 0);
    EXPECT_EQ(w.qd.LbCount.lines[1], "0/80");
}

TEST_F(DriverTest, RequestIgnoredWhileTheWaitCursorShows) {
    openExamCategory(mqAB);
    w.ui.setWaitCursor(true);
    const auto r = run(tdsEsame, 1);
    EXPECT_FALSE(r.started);
    EXPECT_TRUE(renderers.calls.empty());
}

// The same ten-sheet run with every output left pending and with none.
struct PipelinedAndSequential {
    ComposeWorld pw;
    PendingRenderers pending{pw.composer};
    print::PrintJobDriver pipelined{pw.state, pw.reporting, pw.progress, pw.platform,
                                    pw.qd,    pw.composer,  pending,     nullptr};
    ComposeWorld sw;
    FakeRenderers plain{sw.composer};
    print::PrintJobDriver sequential{sw.state, sw.reporting, sw.progress, sw.platform,
                                     sw.qd,    sw.composer,  plain,       nullptr};
    print::PrintRunResult p, s;

    explicit PipelinedAndSequential(const std::set<std::string>& fail) {
        pw.open(mqAB, chapterMaster(25, 40), numberedTopics(3));
        sw.open(mqAB, chapterMaster(25, 40), numberedTopics(3));
        pending.failLabels = plain.failLabels = fail;
        p = pipelined.AvviaStampaSchede(tdsEsame, {"10", "1", 1});
        s = sequential.AvviaStampaSchede(tdsEsame, {"10", "1", 1});
    }
};

TEST(PipelinedDriver, PendingOutputsKeepTheOrderOfSheetsKeysAndReports) {
    PipelinedAndSequential run({});
    EXPECT_LE(run.pending.maxSeen, 4u);  // the limit, then a sheet and its key
    EXPECT_TRUE(run.pending.outcomes.empty());
    std::vector<std::string> calls;
    std::copy_if(run.pending.calls.begin(), run.pending.calls.end(), std::back_inserter(calls),
                 [](const std::string& c) { return c != "settled"; });
    EXPECT_EQ(calls, run.plain.calls);
    EXPECT_EQ(run.pending.keyLabels, run.plain.keyLabels);
    EXPECT_EQ(run.pw.progress.calls, run.sw.progress.calls);
    EXPECT_EQ(run.p.answerKeys, (std::vector<int>{4, 4, 2}));
    EXPECT_EQ(run.pw.marked("Esame").size(), 300u);
}

TEST(PipelinedDriver, AFailedSheetVoidsTheKeysMadeMeanwhileAndItsBlockGoesToTheNextSheets) {
    PipelinedAndSequential run({"E002", "E006"});
    EXPECT_TRUE(run.pending.outcomes.empty());
    // The keys written hold exactly the written sheets, four to a key, as without
    // pending outputs: E001 E003 E004 E005 and E007 .. E010.
    EXPECT_EQ(run.pending.writtenKeyLabels(), run.plain.keyLabels);
    EXPECT_EQ(run.p.printedLabels, run.s.printedLabels);
    EXPECT_EQ(run.p.failedSheets, 2);
    EXPECT_EQ(run.p.answerKeys, (std::vector<int>{4, 4}));
    EXPECT_EQ(run.p.failedAnswerKeys, 0);
    // Only the written sheets keep their marks.
    EXPECT_EQ(run.pw.marked("Esame").size(), 240u);
}

TEST(PipelinedDriver, InterruptionSettlesTheSheetsAlreadyHandedOver) {
    ComposeWorld w;
    PendingRenderers renderers{w.composer};
    print::PrintJobDriver driver{w.state, w.reporting, w.progress, w.platform,
                                 w.qd,    w.composer,  renderers,  nullptr};
    w.open(mqAB, chapterMaster(25, 40), numberedTopics(3));
    w.progress.onTick = [](RecordingInteraction& base) {
        auto& p = static_cast<InterruptingProgress&>(base);
        if (p.progress.info == "Preparazione della scheda n. 4 di 6, attendere...")
            p.progress.interruption = true;
    };
    const auto r = driver.AvviaStampaSchede(tdsEsame, {"6", "1", 1});
    EXPECT_TRUE(r.interrupted);
    EXPECT_TRUE(renderers.outcomes.empty());
    EXPECT_EQ(renderers.writtenKeyLabels(),
              (std::vector<std::vector<std::string>>{{"E001", "E002", "E003"}}));
    EXPECT_EQ(w.marked("Esame").size(), 90u);
}

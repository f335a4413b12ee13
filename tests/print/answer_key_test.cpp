#include <gtest/gtest.h>

#include <filesystem>

#include "core/codepage.h"
#include "print/sheet_layout.h"
#include "print/text_util.h"
#include "print_world.h"

using namespace vexora;
using namespace vexora::test;

namespace {

// Fills the first `sheets` blocks of category m's key accumulator: labels E001, E002 ...,
// answer i of sheet j false when (i + j) is a multiple of 3.
void fillKeys(PrintWorld& w, TModalitaQuiz m, int sheets) {
    auto acc = w.composer.keyAccumulator(m);
    const int n = questionsPerSheet(m);
    for (int j = 1; j <= sheets; ++j) {
        const std::string label = "E00" + std::to_string(j);
        for (int i = 1; i <= n; ++i) {
            compose::TCorrettPrint& e = acc[std::size_t((j - 1) * n + i - 1)];
            e.Scheda = label;
            e.IdMaster = 100 * j + i;
            e.BlkDom = std::to_string(10 + i) + "/" + std::to_string(i % 9 + 1);
            e.Risposta = (i + j) % 3 == 0 ? "F" : "V";
        }
    }
}

std::string expectedText(PrintWorld& w, TModalitaQuiz m, int sheets) {
    std::string out;
    const auto acc = w.composer.keyAccumulator(m);
    const int n = questionsPerSheet(m);
    for (int j = 1; j <= sheets; ++j) {
        for (int i = 1; i <= n; ++i) {
            const auto& e = acc[std::size_t((j - 1) * n + i - 1)];
            std::string id = std::to_string(e.IdMaster) + "/" + e.BlkDom;
            id = std::string(13 - utf8Length(id), ' ') + id;
            const std::string pos = (i < 10 ? "0" : "") + std::to_string(i);
            out += e.Scheda + " | " + id + " | " + pos + " | " + e.Risposta + "\r\n";
        }
        out += "\r\n==============\r\n\r\n";
    }
    return out;
}

const report::Component& component(const RunSnapshot& run, const QString& name) {
    const report::Component* c = run.find(name);
    if (!c)
        throw std::runtime_error("no component " + name.toStdString());
    return *c;
}

}  // namespace

TEST(KeyText, LineFieldsAreFixedWidth) {
    compose::TCorrettPrint e{"E001", "V", 1234, "12/3"};
    EXPECT_EQ(print::keyTextLine(e, 3), "E001 |     1234/12/3 | 03 | V");
    // 13 characters exactly: no blank; a six-digit id (14 and more) is written whole, the
    // line's later columns shifting by the extra characters.
    e.IdMaster = 27165;
    e.BlkDom = "2315/24";
    EXPECT_EQ(print::keyTextLine(e, 7), "E001 | 27165/2315/24 | 07 | V");
    e.IdMaster = 127165;
    EXPECT_EQ(print::keyTextLine(e, 7), "E001 | 127165/2315/24 | 07 | V");
    e.IdMaster = 12345678;
    e.BlkDom = "12/345";
    EXPECT_EQ(print::keyTextLine(e, 123), "E001 | 12345678/12/345 | 23 | V");
    EXPECT_EQ(print::PadValue("abc", 5, '.', false), "abc..");
    EXPECT_EQ(print::PadValue("abcdefg", 5, '.', false), "abcde");
    EXPECT_EQ(print::PadValue(7, 3, '0', true), "007");
    // Widths count characters, not bytes.
    EXPECT_EQ(print::PadValue("è1", 4, ' ', true), "  è1");
    EXPECT_EQ(print::PadValue("àèìòù", 3, ' ', true), "ìòù");
}

TEST(KeyText, NameTakesTheFirstAndLastLabelAndNeverReadsPastTheAccumulator) {
    PrintWorld w;
    fillKeys(w, mqAB, 4);
    const auto acc = w.composer.keyAccumulator(mqAB);
    EXPECT_EQ(print::keyName(mqAB, acc, 1), "Correttore AB E001");
    EXPECT_EQ(print::keyName(mqAB, acc, 3), "Correttore AB E001-E003");
    EXPECT_EQ(print::keyName(mqAB, acc, 4), "Correttore AB E001-E004");
    EXPECT_EQ(print::keyName(mqAB, acc, 9), "Correttore AB E001-E004");
    EXPECT_EQ(print::keyName(mqAB, {}, 2), "Correttore AB -");
}

TEST(AnswerKey, OneSheetShowsItsBlockHidesTheOthersAndWritesTheText) {
    PrintWorld w;
    w.switches.CkSaveCorrTxt = true;
    fillKeys(w, mqAB, 1);
    w.state.currentCategory = mqAB;
    ASSERT_TRUE(w.printer.StampaCorrettore(1, 2));
    EXPECT_TRUE(w.logHas("TFormStampe.StampaCorrettoreAB (NumCorr 1)"));
    ASSERT_EQ(w.runs.size(), 1u);
    const RunSnapshot& run = w.lastRun();
    EXPECT_EQ(run.reportName, "CorrettoreAB");
    EXPECT_TRUE(component(run, "S_Corr1a").Visible());
    EXPECT_TRUE(component(run, "S_Corr1b").Visible());
    for (const char* hidden :
         {"S_Corr2a", "S_Corr2b", "S_Corr3a", "S_Corr3b", "S_Corr4a", "S_Corr4b"}) {
        EXPECT_FALSE(component(run, QString::fromLatin1(hidden)).Visible()) << hidden;
    }
    EXPECT_EQ(component(run, "NomeSchedaA1").Text(), "E001/a");
    EXPECT_EQ(component(run, "NomeSchedaB1").Text(), "E001/b");
    EXPECT_EQ(component(run, "NomeSchedaA2").Text(), "");  // hidden blocks are not labelled
    EXPECT_TRUE(std::filesystem::exists(w.programFile("Correttore AB E001.pdf")));
    const std::string text = fileBytes(w.programFile("Correttore AB E001.txt"));
    EXPECT_EQ(text, expectedText(w, mqAB, 1));
    // 30 answer lines, an empty line, the equals line and an empty line.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 33);
}

TEST(AnswerKey, FullKeyLabelsEveryPartAndMarksTheFalseAnswers) {
    PrintWorld w;
    fillKeys(w, mqAB, 4);
    auto acc = w.composer.keyAccumulator(mqAB);
    acc[30 + 6].Risposta = "F";    // Corr2_7
    acc[30 + 7].Risposta = "V";    // Corr2_8
    acc[30 + 8].Risposta = " F ";  // trimmed
    ASSERT_TRUE(w.printer.StampaCorrettore(mqAB, 4, 1));
    const RunSnapshot& run = w.lastRun();
    for (int j = 1; j <= 4; ++j) {
        const QString label = QStringLiteral("E00%1").arg(j);
        EXPECT_EQ(component(run, QStringLiteral("NomeSchedaA%1").arg(j)).Text(), label + "/a");
        EXPECT_EQ(component(run, QStringLiteral("NomeSchedaB%1").arg(j)).Text(), label + "/b");
        for (int i = 1; i <= 30; ++i) {
            const bool isFalse =
                acc[std::size_t((j - 1) * 30 + i - 1)].Risposta.find('F') != std::string::npos;
            EXPECT_EQ(component(run, QStringLiteral("Corr%1_%2").arg(j).arg(i)).Visible(), isFalse)
                << j << "_" << i;
        }
    }
    EXPECT_TRUE(component(run, "Corr2_7").Visible());
    EXPECT_FALSE(component(run, "Corr2_8").Visible());
    EXPECT_TRUE(component(run, "Corr2_9").Visible());
    EXPECT_TRUE(std::filesystem::exists(w.programFile("Correttore AB E001-E004.pdf")));
    EXPECT_FALSE(std::filesystem::exists(w.programFile("Correttore AB E001-E004.txt")));
}

TEST(AnswerKey, BlocksWithoutPartsCarryBareLabels) {
    PrintWorld w;
    w.switches.CkSaveCorrTxt = true;
    fillKeys(w, mqSuperC1, 8);
    ASSERT_TRUE(w.printer.StampaCorrettore(mqSuperC1, 8, 1));
    const RunSnapshot& run = w.lastRun();
    for (int j = 1; j <= 8; ++j) {
        EXPECT_TRUE(component(run, QStringLiteral("S_Corr%1").arg(j)).Visible());
        EXPECT_EQ(component(run, QStringLiteral("NomeScheda%1").arg(j)).Text(),
                  QStringLiteral("E00%1").arg(j));
    }
    const std::string text = fileBytes(w.programFile("Correttore S1 E001-E008.txt"));
    EXPECT_EQ(text, expectedText(w, mqSuperC1, 8));
    std::size_t separators = 0;
    for (std::size_t p = text.find("=============="); p != std::string::npos;
         p = text.find("==============", p + 1))
        ++separators;
    EXPECT_EQ(separators, 8u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 160 + 8 * 3);
}

TEST(AnswerKey, CopiesFollowTheOneKeySwitchAndTheKeyIsAlwaysOneSided) {
    for (const bool oneKey : {false, true}) {
        PrintWorld w;
        w.switches.CkUnSoloCorrettore = oneKey;
        w.switches.CkSkedaDuplex = true;
        fillKeys(w, mqCqc5B, 2);
        ASSERT_TRUE(w.printer.StampaCorrettore(mqCqc5B, 2, 3));
        EXPECT_EQ(w.lastRun().report().Copies(), oneKey ? 1 : 3);
        EXPECT_EQ(w.lastRun().report().DuplexMode(), report::DuplexSetting::Off);
        EXPECT_FALSE(w.output.Duplex());
    }
}

TEST(AnswerKey, TextIsWindows1252AndNeverReplacesAnOlderFile) {
    PrintWorld w;
    w.switches.CkSaveCorrTxt = true;
    fillKeys(w, mqSuperC0, 1);
    w.composer.keyAccumulator(mqSuperC0)[0].BlkDom = "1/è";
    // A key of an earlier run with the same number (the counter restarted).
    const std::string older = w.programFile("Correttore S2 E001.txt");
    const std::string olderPdf = w.programFile("Correttore S2 E001.pdf");
    std::ofstream(older) << std::string(5000, 'x');
    std::ofstream(olderPdf) << "pdf";
    ASSERT_TRUE(w.printer.StampaCorrettore(mqSuperC0, 1, 1));
    EXPECT_EQ(fileBytes(older), std::string(5000, 'x'));
    EXPECT_EQ(fileBytes(olderPdf), "pdf");
    const std::string path = w.programFile("Correttore S2 E001 (2).txt");
    const std::string text = fileBytes(path);
    EXPECT_EQ(text.rfind("E001 |       101/1/\xE8 | 01 | V\r\n", 0), 0u);
    EXPECT_EQ(text, utf8ToCp1252(expectedText(w, mqSuperC0, 1)));
    EXPECT_TRUE(std::filesystem::exists(w.programFile("Correttore S2 E001 (2).pdf")));
    EXPECT_TRUE(w.logHas(utf8ToCp1252(">ALERTS: TFormStampe.StampaCorrettoreS2 - Il file \"" +
                                      older + "\" esiste gi\u00e0: scritto \"" + path + "\"")));
}

TEST(AnswerKey, MissingReportOrPageOrTooManySheetsWriteNoText) {
    {
        PrintWorld w;  // no key report: nothing runs (the template's sheets would)
        w.switches.CkSaveCorrTxt = true;
        w.useTemplate(withoutReport(builtTemplate(), QStringLiteral("CorrettoreAB")));
        fillKeys(w, mqAB, 1);
        EXPECT_FALSE(w.printer.StampaCorrettore(mqAB, 1, 1));
        EXPECT_TRUE(w.runs.empty());
        // No key: the user and the log are told which report and which file.
        const std::string file = w.programFile("Vexora.rav");
        EXPECT_EQ(
            w.ui.messages,
            (std::vector<std::string>{"Problema di stampa del correttore AB Correttore AB E001, "
                                      "report: CorrettoreAB non disponibile.\r\nFile: " +
                                      file}));
        EXPECT_TRUE(
            w.logHas("TFormStampe.StampaCorrettoreAB - report CorrettoreAB non "
                     "disponibile nel template \"" +
                     file + "\""));
        EXPECT_FALSE(std::filesystem::exists(w.programFile("Correttore AB E001.txt")));
        EXPECT_FALSE(std::filesystem::exists(w.programFile("Correttore AB E001.pdf")));
        EXPECT_FALSE(w.project.Active());
    }
    {
        PrintWorld w;  // page 1 missing: runs as stored, no text
        w.switches.CkSaveCorrTxt = true;
        w.useTemplate(
            withoutPage(builtTemplate(), QStringLiteral("CorrettoreS2"), QStringLiteral("Page1")));
        fillKeys(w, mqSuperC0, 1);
        EXPECT_TRUE(w.printer.StampaCorrettore(mqSuperC0, 1, 1));
        EXPECT_FALSE(std::filesystem::exists(w.programFile("Correttore S2 E001.txt")));
    }
    {
        PrintWorld w;  // NumCorr beyond K: components untouched, the name stays inside
        w.switches.CkSaveCorrTxt = true;
        fillKeys(w, mqCqc1M, 2);
        EXPECT_TRUE(w.printer.StampaCorrettore(mqCqc1M, 7, 1));
        EXPECT_TRUE(component(w.lastRun(), "S_Corr2d").Visible());
        EXPECT_EQ(component(w.lastRun(), "NomeSchedaA1").Text(), "");
        EXPECT_TRUE(std::filesystem::exists(w.programFile("Correttore C1 E001-E002.pdf")));
        EXPECT_FALSE(std::filesystem::exists(w.programFile("Correttore C1 E001-E002.txt")));
    }
}

TEST(AnswerKey, TextWriteFailureEndsTheKeyBeforeItRuns) {
    for (const bool noExceptMsg : {true, false}) {
        PrintWorld w;
        w.switches.CkSaveCorrTxt = true;
        w.switches.CkNoExceptMsg = noExceptMsg;
        fillKeys(w, mqSuperC, 1);
        // A folder where the text file should go: it cannot be replaced.
        std::filesystem::create_directories(w.programFile("Correttore S3 E001.txt") + "/x");
        EXPECT_FALSE(w.printer.StampaCorrettore(mqSuperC, 1, 1));
        EXPECT_TRUE(w.runs.empty());
        EXPECT_FALSE(w.project.Active());
        if (noExceptMsg) {
            EXPECT_TRUE(w.logHas("FormStampe.StampaCorrettoreS3 - "));
        } else {
            ASSERT_EQ(w.ui.messages.size(), 1u);
            // The S3 prefix has no trailing blank.
            EXPECT_EQ(w.ui.messages[0].rfind("Problema di stampa del correttore C-CECorrettore S3 "
                                             "E001 (report: CorrettoreS3)\r\nERRORE: ",
                                             0),
                      0u)
                << w.ui.messages[0];
        }
    }
}

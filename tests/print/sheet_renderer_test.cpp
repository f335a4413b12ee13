#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "print/sheet_layout.h"
#include "print_world.h"

using namespace vexora;
using namespace vexora::test;

namespace {

const report::Component& component(const RunSnapshot& run, const char* name) {
    const report::Component* c = run.find(QString::fromLatin1(name));
    if (!c)
        throw std::runtime_error(std::string("no component ") + name);
    return *c;
}

// The stored geometry of a component in the default template's report.
const report::Component& stored(const report::ReportTemplate& t, const QString& reportName,
                                const char* name) {
    return *t.FindReport(reportName)->FindComponent(QString::fromLatin1(name));
}

bool pdfExists(const PrintWorld& w, const std::string& name) {
    return std::filesystem::exists(w.programFile(name));
}

}  // namespace

TEST(SheetFonts, ThresholdsAre200WithFigureAnd265Without) {
    PrintWorld w;
    w.state.currentCategory = mqSuperC0;  // S2: ten slots on one page
    auto sheet = w.composer.sheet(mqSuperC0);
    sheet[0] = plainSlot(1, 200, "123");
    sheet[1] = plainSlot(2, 201, "123");
    sheet[2] = plainSlot(3, 265);
    sheet[3] = plainSlot(4, 266);
    sheet[4] = plainSlot(5, 201, " ");  // a blank figure name counts as a figure here
    for (int n = 6; n <= 10; ++n)
        sheet[static_cast<std::size_t>(n - 1)] = plainSlot(n);
    // Multi-byte characters count once: 200 characters of "è" are 400 bytes.
    std::string accented;
    for (int i = 0; i < 200; ++i)
        accented += "è";
    sheet[5].Testo = accented;
    sheet[5].Figura = "7";
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E001", 1));
    const RunSnapshot& run = w.lastRun();
    EXPECT_EQ(component(run, "Domanda1").FontMirror(), "FontMasterDom");
    EXPECT_EQ(component(run, "Domanda2").FontMirror(), "FontMasterDomX");
    EXPECT_EQ(component(run, "Domanda3").FontMirror(), "FontMasterDom");
    EXPECT_EQ(component(run, "Domanda4").FontMirror(), "FontMasterDomX");
    EXPECT_EQ(component(run, "Domanda5").FontMirror(), "FontMasterDomX");
    EXPECT_EQ(component(run, "Domanda6").FontMirror(), "FontMasterDom");
    EXPECT_EQ(component(run, "Domanda7").FontMirror(), "FontMasterDom");
}

TEST(SheetParameters, SchoolLabelsAndSlotTextsReachTheTemplate) {
    PrintWorld w;
    w.state.currentCategory = mqAB;
    fillPlainSheet(w, mqAB);
    auto sheet = w.composer.sheet(mqAB);
    sheet[2].Figura = "123";
    sheet[3].Figura = "   ";
    sheet[4].Testo = "Con\ttab\tdue";
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E012", 2));
    const RunSnapshot& run = w.lastRun();
    EXPECT_EQ(run.reportName, "SchedaAB");
    EXPECT_EQ(run.param(QStringLiteral("NomeAutoscuola")), "Autoscuola Bellavista");
    EXPECT_EQ(run.param(QStringLiteral("IndirizzoAutoscuola")),
              QString::fromUtf8("Via Giuseppe Garibaldi 12, Città di Castello"));
    EXPECT_EQ(component(run, "NomeSchedaA").Text(), "E012/a");
    EXPECT_EQ(component(run, "NomeSchedaB").Text(), "E012/b");
    EXPECT_EQ(run.param(QStringLiteral("Domanda1")), QString::fromStdString(sheet[0].Testo));
    EXPECT_EQ(run.param(QStringLiteral("Domanda5")), "Con\ttab\tdue");  // AB keeps tabs
    EXPECT_EQ(run.param(QStringLiteral("Figura3")), "123");
    EXPECT_EQ(run.param(QStringLiteral("Libro3")), "Figura 123");
    EXPECT_EQ(run.param(QStringLiteral("Libro4")), "");  // blanks only
    EXPECT_EQ(run.param(QStringLiteral("Libro1")), "");
    EXPECT_EQ(run.param(QStringLiteral("Risposta30")), "V");
    EXPECT_EQ(run.param(QStringLiteral("Blk_Dom_Arg7")),
              QString::fromStdString(sheet[6].BlkDom + "/" + sheet[6].Indice));
    EXPECT_TRUE(component(run, "Rectangle3").Visible());
    EXPECT_FALSE(component(run, "Rectangle4").Visible());
    EXPECT_FALSE(component(run, "Rectangle1").Visible());
    for (const report::Page& page : run.report().Pages())
        EXPECT_EQ(page.GotoMode(), 1);
    EXPECT_EQ(run.report().Copies(), 2);
    EXPECT_TRUE(run.report().Duplex());  // CkSkedaDuplex is on by default
    EXPECT_TRUE(pdfExists(w, "AB_ESAE012.pdf"));
}

TEST(SheetParameters, OnlyS1AndS3LoseTheFirstTabAndOnePageLabelsAreBare) {
    for (TModalitaQuiz m : {mqSuperC1, mqSuperC0, mqSuperC, mqCqc1M}) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        PrintWorld w;
        w.state.currentCategory = m;
        fillPlainSheet(w, m);
        w.composer.sheet(m)[0].Testo = "A\tB\tC";
        w.composer.sheet(m)[1].Figura = "12";
        ASSERT_TRUE(w.printer.StampaScheda(tdsArgomento, "A003", 1));
        const RunSnapshot& run = w.lastRun();
        const bool drops = m == mqSuperC1 || m == mqSuperC;
        EXPECT_EQ(run.param(QStringLiteral("Domanda1")), drops ? "AB\tC" : "A\tB\tC");
        EXPECT_EQ(run.param(QStringLiteral("Libro2")), "");  // only AB and AM
        const bool onePage = reportPages(m) == 1;
        EXPECT_EQ(component(run, "NomeSchedaA").Text(), onePage ? "A003" : "A003/a");
        if (m == mqCqc1M) {
            EXPECT_EQ(component(run, "NomeSchedaD").Text(), "A003/d");
        }
        EXPECT_TRUE(pdfExists(w, std::string(categoryCode(m)) + "_ARGA003.pdf"));
    }
}

TEST(SheetWidening, TextWithoutFigureTakesTheFigurePlace) {
    PrintWorld w;
    const report::ReportTemplate t = builtTemplate();
    w.state.currentCategory = mqSuperC1;
    fillPlainSheet(w, mqSuperC1);
    w.composer.sheet(mqSuperC1)[0].Figura = "1";  // slot 1 keeps its figure
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E001", 1));
    const RunSnapshot& run = w.lastRun();
    const QString r = QStringLiteral("SchedaS1");
    const auto& s7 = stored(t, r, "Domanda7");
    const auto& s8 = stored(t, r, "Domanda8");
    EXPECT_NEAR(component(run, "Domanda7").Width(), s7.Width() + 0.8, 1e-9);
    EXPECT_NEAR(component(run, "Domanda7").Left(), 0.35, 1e-9);
    EXPECT_NEAR(component(run, "Domanda8").Width(), s8.Width() + 0.8, 1e-9);
    EXPECT_NEAR(component(run, "Domanda8").Left(), s8.Left(), 1e-9);
    EXPECT_FALSE(component(run, "Figura7").Visible());
    EXPECT_NEAR(component(run, "Domanda1").Width(), stored(t, r, "Domanda1").Width(), 1e-9);
    EXPECT_TRUE(component(run, "Figura1").Visible());
}

TEST(SheetWidening, OrderOfLeftAndWidthShowsWithARightAnchoredText) {
    // AB sets the left edge first, S1 the width first: with the right edge anchored,
    // the left edge ends 0.8 inch left of 0.35 in AB and at 0.35 in S1.
    for (const auto& [m, expectedLeft] :
         {std::pair{mqAB, 0.35 - 0.8}, std::pair{mqSuperC1, 0.35}, std::pair{mqCqc3M, 0.35 - 0.8},
          std::pair{mqCqc1M, 0.35}}) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        PrintWorld w;
        report::ReportTemplate t = builtTemplate();
        report::Component* text =
            t.FindReport(QString::fromStdString(sheetReportName(m)))->FindComponent("Domanda7");
        text->SetAnchor(report::AnchorEdge::Right);
        const double width = text->Width();
        w.useTemplate(t);
        w.state.currentCategory = m;
        fillPlainSheet(w, m);
        ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E001", 1));
        const auto& c = component(w.lastRun(), "Domanda7");
        EXPECT_NEAR(c.Left(), expectedLeft, 1e-9);
        EXPECT_NEAR(c.Width(), width + 0.8, 1e-9);
    }
}

TEST(SheetMarks, FalseAnswersAreMarkedOnlyOnRequest) {
    for (const bool addText : {false, true}) {
        for (const bool visible : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "CkAddRispText " << addText << ", CkRispVisible " << visible);
            PrintWorld w;
            w.switches.CkAddRispText = addText;
            w.switches.CkRispVisible = visible;
            w.state.currentCategory = mqAB;
            fillPlainSheet(w, mqAB);
            auto sheet = w.composer.sheet(mqAB);
            sheet[3] = plainSlot(4, 60, "", "F");
            sheet[18] = plainSlot(19, 60, "", "F");  // page 2
            sheet[4].Testo = "Con\ttab";
            sheet[4].Risposta = "F";
            sheet[5].Risposta = "F ";  // not exactly "F"
            ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E001", 1));
            const RunSnapshot& run = w.lastRun();
            EXPECT_EQ(component(run, "Risp4").Visible(), visible);
            EXPECT_EQ(component(run, "Risp19").Visible(), visible);
            EXPECT_FALSE(component(run, "Risp1").Visible());
            EXPECT_FALSE(component(run, "Risp6").Visible());
            const QString d4 = QString::fromStdString(sheet[3].Testo);
            EXPECT_EQ(run.param(QStringLiteral("Domanda4")), addText ? d4 + " F" : d4);
            EXPECT_EQ(run.param(QStringLiteral("Domanda5")), addText ? "Con\ttab F" : "Con\ttab");
            EXPECT_EQ(run.param(QStringLiteral("Domanda6")),
                      QString::fromStdString(sheet[5].Testo));
            const report::Component& text = component(run, "Domanda4");
            EXPECT_EQ(text.FontColor() == QColor(255, 0, 0), addText);
            EXPECT_EQ(text.ForeColor() == QColor(255, 0, 0), addText);
            // Still drawn with its font master, whose colour wins.
            EXPECT_EQ(text.FontMirror(), "FontMasterDom");
            EXPECT_NE(component(run, "Domanda1").ForeColor(), QColor(255, 0, 0));
        }
    }
}

TEST(SheetPages, RequiredPagesMissingEndTheSheetWithTheFamilyLogText) {
    struct Case {
        TModalitaQuiz m;
        const char* page;
        const char* log;
    };
    for (const Case& c :
         {Case{mqSuperC0, "Page1", "TFormStampe.StampaSchedaS2 - pagina non disponibile"},
          Case{mqSuperC1, "Page1", "TFormStampe.StampaSchedaS1 - pagina non disponibile"},
          Case{mqSuperC, "Page2", "TFormStampe.StampaSchedaS3 - pagine non disponibili"},
          Case{mqSuperD, "Page1", "TFormStampe.StampaSchedaS6 - pagine non disponibili"},
          Case{mqCqc1M, "Page3", "TFormStampe.StampaSchedaC1 - 4 pagine non tutte disponibili"},
          Case{mqCqc2P, "Page4", "TFormStampe.StampaSchedaC2 - 4 pagine non tutte disponibili"}}) {
        SCOPED_TRACE(std::string(categoryCode(c.m)) + " without " + c.page);
        PrintWorld w;
        const QString r = QString::fromStdString(sheetReportName(c.m));
        w.useTemplate(withoutPage(builtTemplate(), r, QString::fromLatin1(c.page)));
        w.state.currentCategory = c.m;
        fillPlainSheet(w, c.m);
        EXPECT_FALSE(w.printer.StampaScheda(tdsEsame, "E005", 1));
        EXPECT_TRUE(w.logHas(c.log));
        EXPECT_TRUE(w.runs.empty()) << "the report ran";
        EXPECT_FALSE(pdfExists(w, std::string(categoryCode(c.m)) + "_ESAE005.pdf"));
        EXPECT_FALSE(w.project.Active()) << "the template was left open";
        EXPECT_TRUE(w.ui.messages.empty());
    }
}

TEST(SheetPages, OptionalPageMissingPrintsWithoutWideningOrMarks) {
    for (TModalitaQuiz m : {mqAB, mqAM, mqCqc3M, mqCqc5B}) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        PrintWorld w;
        w.switches.CkRispVisible = true;
        const report::ReportTemplate t = builtTemplate();
        const QString r = QString::fromStdString(sheetReportName(m));
        w.useTemplate(withoutPage(t, r, QStringLiteral("Page2")));
        w.state.currentCategory = m;
        fillPlainSheet(w, m);  // no figures: every slot would be widened
        for (auto& slot : w.composer.sheet(m))
            slot.Risposta = "F";
        ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E001", 1));
        const RunSnapshot& run = w.lastRun();
        EXPECT_EQ(run.report().Pages().size(), 1u);
        const auto [first, last] = print::slotRangeOfPage(m, 1);
        for (int n = first; n <= last; ++n) {
            const QString d = QStringLiteral("Domanda%1").arg(n);
            const report::Component* text = run.find(d);
            ASSERT_NE(text, nullptr);
            EXPECT_NEAR(text->Width(), t.FindReport(r)->FindComponent(d)->Width(), 1e-9);
            EXPECT_FALSE(text->FontMirror().isEmpty()) << "page-1 slots still get their font";
            EXPECT_FALSE(run.find(QStringLiteral("Figura%1").arg(n))->Visible());
            EXPECT_FALSE(run.find(QStringLiteral("Risp%1").arg(n))->Visible())
                << "stored hidden, not touched";
        }
        // Slots of the missing page still get their parameters.
        const int lastSlot = questionsPerSheet(m);
        EXPECT_EQ(run.param(QStringLiteral("Domanda%1").arg(lastSlot)),
                  QString::fromStdString(w.composer.sheet(m)[std::size_t(lastSlot - 1)].Testo));
        EXPECT_TRUE(pdfExists(w, std::string(categoryCode(m)) + "_ESAE001.pdf"));
    }
}

TEST(SheetReport, MissingReportIsAlwaysABoxAndNothingRuns) {
    for (const bool noExceptMsg : {true, false}) {
        PrintWorld w;
        w.switches.CkNoExceptMsg = noExceptMsg;
        w.useTemplate(withoutReport(builtTemplate(), QStringLiteral("SchedaAB")));
        w.state.currentCategory = mqAB;
        fillPlainSheet(w, mqAB);
        EXPECT_FALSE(w.printer.StampaScheda(tdsEsame, "E001", 1));
        ASSERT_EQ(w.ui.messages.size(), 1u);
        EXPECT_EQ(w.ui.messages[0],
                  "Problema di stampa della scheda AB E001, report: SchedaAB non disponibile.");
        EXPECT_TRUE(w.runs.empty());
        EXPECT_FALSE(pdfExists(w, "AB_ESAE001.pdf"));
        EXPECT_FALSE(w.project.Active());
    }
}

TEST(SheetReport, MissingTemplateFileIsNamed) {
    PrintWorld w;
    const std::string path = w.programFile("Vexora.rav");
    std::filesystem::remove(path);
    w.state.currentCategory = mqAB;
    fillPlainSheet(w, mqAB);
    EXPECT_FALSE(w.printer.StampaScheda(tdsEsame, "E001", 1));
    EXPECT_TRUE(
        w.logHas("FormStampe.StampaSchedaAB - Nessun file di template impostato: il file \"" +
                 path + "\" non esiste"));
}

TEST(SheetReport, EachSheetStartsFromTheStoredTemplate) {
    PrintWorld w;
    w.switches.CkRispVisible = true;
    w.switches.CkAddRispText = true;
    w.state.currentCategory = mqSuperC1;
    fillPlainSheet(w, mqSuperC1);  // no figures, slot 3 false
    w.composer.sheet(mqSuperC1)[2].Risposta = "F";
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E001", 1));
    EXPECT_FALSE(w.project.Active());
    // The second sheet: every slot has a figure (missing files), all answers true.
    for (auto& slot : w.composer.sheet(mqSuperC1)) {
        slot.Figura = "5";
        slot.Risposta = "V";
    }
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E002", 1));
    ASSERT_EQ(w.runs.size(), 2u);
    const report::ReportTemplate stored = builtTemplate();
    const report::Report& original = *stored.FindReport(QStringLiteral("SchedaS1"));
    const RunSnapshot& second = w.runs[1];
    for (int n = 1; n <= 20; ++n) {
        const QString d = QStringLiteral("Domanda%1").arg(n);
        EXPECT_NEAR(second.find(d)->Width(), original.FindComponent(d)->Width(), 1e-9);
        EXPECT_NEAR(second.find(d)->Left(), original.FindComponent(d)->Left(), 1e-9);
        EXPECT_TRUE(second.find(QStringLiteral("Figura%1").arg(n))->Visible());
    }
    EXPECT_EQ(second.find(QStringLiteral("Domanda3"))->FontColor(),
              original.FindComponent(QStringLiteral("Domanda3"))->FontColor());
    EXPECT_FALSE(second.find(QStringLiteral("Risp3"))->Visible());
    EXPECT_EQ(second.find(QStringLiteral("NomeSchedaA"))->Text(), "E002");
}

TEST(SheetReport, AFailedSheetDoesNotLeakIntoTheNextOne) {
    PrintWorld w;
    w.switches.CkNoExceptMsg = false;
    w.state.currentCategory = mqSuperC1;
    fillPlainSheet(w, mqSuperC1);
    // A figure component that cannot take a picture stops the first sheet after earlier
    // slots were widened.
    report::ReportTemplate broken = builtTemplate();
    report::Component* figure =
        broken.FindReport(QStringLiteral("SchedaS1"))->FindComponent(QStringLiteral("Figura10"));
    *figure = report::Component::MakeText(QStringLiteral("Figura10"), figure->Left(), figure->Top(),
                                          figure->Width(), figure->Height());
    w.useTemplate(broken);
    w.composer.sheet(mqSuperC1)[9].Figura = "77";
    writeSolidBmp(w.state.figuresFolder + "77.bmp", 8, 8, Qt::green);
    EXPECT_FALSE(w.printer.StampaScheda(tdsEsame, "E001", 1));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].rfind("Problema di stampa della scheda C1-C1E E001 (report: "
                                     "SchedaS1)\r\nERRORE: Il componente Figura10",
                                     0),
              0u)
        << w.ui.messages[0];
    EXPECT_FALSE(w.project.Active());
    EXPECT_TRUE(w.runs.empty());
    w.composer.sheet(mqSuperC1)[9].Figura = "";
    for (auto& slot : w.composer.sheet(mqSuperC1))
        slot.Figura = "1";  // missing: nothing is widened
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E002", 1));
    const report::ReportTemplate stored = builtTemplate();
    EXPECT_NEAR(w.lastRun().find(QStringLiteral("Domanda1"))->Width(),
                stored.FindReport(QStringLiteral("SchedaS1"))->FindComponent("Domanda1")->Width(),
                1e-9);
}

TEST(SheetReport, ErrorsGoToTheLogOrABoxByTheSwitch) {
    // No template beside the program: opening fails.
    for (const bool noExceptMsg : {true, false}) {
        PrintWorld w;
        w.switches.CkNoExceptMsg = noExceptMsg;
        std::filesystem::remove(w.programFile("Vexora.rav"));
        w.state.currentCategory = mqCqc5B;
        fillPlainSheet(w, mqCqc5B);
        EXPECT_FALSE(w.printer.StampaScheda(tdsArgomento, "A003", 1));
        if (noExceptMsg) {
            EXPECT_TRUE(w.ui.messages.empty());
            EXPECT_TRUE(w.logHas("FormStampe.StampaSchedaC5 - "));
        } else {
            ASSERT_EQ(w.ui.messages.size(), 1u);
            EXPECT_EQ(w.ui.messages[0].rfind(
                          "Problema di stampa della scheda CQC da APC A003 (report: SchedaC5)\r\n"
                          "ERRORE: ",
                          0),
                      0u)
                << w.ui.messages[0];
        }
        EXPECT_TRUE(w.logHas("TFormStampe.StampaSchedaC5 (tdsArgomento)"));
        EXPECT_FALSE(pdfExists(w, "C5_ARGA003.pdf"));
    }
}

TEST(SheetFigures, PlacedPictureAndMissingFigureWarningPerCategory) {
    for (TModalitaQuiz m : {mqAB, mqSuperC1, mqCqc1M}) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        PrintWorld w;
        w.state.currentCategory = m;
        fillPlainSheet(w, m);
        auto sheet = w.composer.sheet(m);
        sheet[0].Figura = "12";
        sheet[1].Figura = "404";
        writeSolidBmp(w.state.figuresFolder + "12.bmp", 300, 200, QColor(0, 0, 255));
        ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E001", 1));
        const RunSnapshot& run = w.lastRun();
        const QImage& picture = run.find(QStringLiteral("Figura1"))->Image();
        ASSERT_EQ(picture.size(), QSize(256, 256));
        EXPECT_EQ(picture.pixelColor(128, 128), QColor(0, 0, 255));
        EXPECT_EQ(picture.pixelColor(128, 20), QColor(255, 255, 255));  // above row 42
        EXPECT_TRUE(run.find(QStringLiteral("Figura2"))->Image().isNull());
        EXPECT_TRUE(run.find(QStringLiteral("Figura2"))->Visible());
        const std::string missing = w.state.figuresFolder + "404.bmp";
        const auto& calls = w.ui.calls;
        const auto info =
            std::find(calls.begin(), calls.end(),
                      "setInfo: Attenzione! Impossibile trovare la figura: " + missing);
        ASSERT_NE(info, calls.end());
        ASSERT_NE(info + 1, calls.end());
        EXPECT_EQ(*(info + 1), "Delay: 1000");
        const bool s1 = m == mqSuperC1;
        EXPECT_EQ(w.logHas("FormStampe.StampaSchedaS1 - Compnente figura non in pagina e figura "
                           "assente!"),
                  s1);
        EXPECT_EQ(w.platform.tones.size(), s1 ? 0u : 1u);
        if (!s1) {
            EXPECT_EQ(w.platform.tones[0], std::make_pair(900u, 40u));
        }
        EXPECT_EQ(w.logHas("TFormStampe.GetFiguraSUP - La figura \"" + missing +
                           "\" ( da 404) non esiste."),
                  m != mqAB);
    }
}

TEST(SheetFigures, UnreadableFigureIsReportedOnceARunAndEverySheetStillPrints) {
    for (const bool messagesOff : {true, false}) {
        SCOPED_TRACE(messagesOff ? "CkNoExceptMsg on" : "CkNoExceptMsg off");
        PrintWorld w;
        w.switches.CkNoExceptMsg = messagesOff;
        w.state.currentCategory = mqAB;
        fillPlainSheet(w, mqAB);
        w.composer.sheet(mqAB)[0].Figura = "66";
        w.composer.sheet(mqAB)[1].Figura = "66";
        const std::string path = w.state.figuresFolder + "66.bmp";
        std::ofstream(path) << "BM garbage";
        w.printer.beginRun();
        ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E001", 1));
        ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E002", 1));
        w.printer.endRun();
        EXPECT_TRUE(pdfExists(w, "AB_ESAE001.pdf") && pdfExists(w, "AB_ESAE002.pdf"));
        EXPECT_TRUE(w.lastRun().find(QStringLiteral("Figura1"))->Image().isNull());
        const std::string line = "UDorvel/LoadGraphicsFile - La figura \"" + path + "\"";
        const std::string log = w.logText();
        const std::size_t first = log.find(line);
        if (messagesOff) {
            ASSERT_NE(first, std::string::npos);
            EXPECT_EQ(log.find(line, first + 1), std::string::npos);
            EXPECT_TRUE(w.ui.messages.empty());
        } else {
            ASSERT_EQ(w.ui.messages.size(), 1u);
            EXPECT_NE(w.ui.messages[0].find(path), std::string::npos);
        }
    }
}

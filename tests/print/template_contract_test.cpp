#include <gtest/gtest.h>

#include <filesystem>

#include "print/sheet_layout.h"
#include "print/template_contract.h"
#include "print_world.h"

using namespace vexora;
using namespace vexora::test;

namespace {

bool has(const report::ReportTemplate& t, const char* page, const char* name) {
    const report::Page* p = t.FindPage(QString::fromLatin1(page));
    return p && p->FindComponent(QString::fromLatin1(name));
}

}  // namespace

TEST(DefaultTemplate, EveryCategoryFindsEveryNameItsRenderersNeed) {
    const report::ReportTemplate t = builtTemplate();
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        const auto faults = print::templateContractFaults(t, m);
        EXPECT_TRUE(faults.empty()) << faults.front();
    }
    EXPECT_EQ(t.Reports().size(), 28u);
}

TEST(DefaultTemplate, SpotChecksOfPagesSlotsAndBlocks) {
    const report::ReportTemplate t = builtTemplate();
    EXPECT_TRUE(has(t, "SchedaC1.Page3", "Domanda60"));
    EXPECT_FALSE(has(t, "SchedaC1.Page3", "Domanda61"));
    EXPECT_TRUE(has(t, "SchedaC1.Page4", "Domanda70"));
    EXPECT_TRUE(has(t, "SchedaC1.Page4", "NomeSchedaD"));
    EXPECT_EQ(t.FindReport(QStringLiteral("SchedaC1"))->Pages().size(), 4u);
    EXPECT_TRUE(has(t, "SchedaAB.Page1", "Rectangle15"));
    EXPECT_TRUE(has(t, "SchedaAB.Page2", "Rectangle16"));
    EXPECT_FALSE(has(t, "SchedaAB.Page1", "Domanda16"));
    EXPECT_FALSE(has(t, "SchedaS1.Page1", "Rectangle1"));
    EXPECT_TRUE(has(t, "SchedaC5.Page2", "Figura40"));
    EXPECT_TRUE(has(t, "SchedaC3.Page2", "Risp30"));
    EXPECT_FALSE(has(t, "SchedaC3.Page2", "Risp31"));
    EXPECT_TRUE(has(t, "SchedaS2.Page1", "FontMasterDomX"));
    EXPECT_TRUE(has(t, "CorrettoreC1.Page1", "S_Corr2d"));
    EXPECT_TRUE(has(t, "CorrettoreC1.Page1", "NomeSchedaD2"));
    EXPECT_TRUE(has(t, "CorrettoreC1.Page1", "Corr2_70"));
    EXPECT_FALSE(has(t, "CorrettoreC1.Page1", "S_Corr3a"));
    EXPECT_TRUE(has(t, "CorrettoreS2.Page1", "NomeScheda8"));
    EXPECT_TRUE(has(t, "CorrettoreS2.Page1", "Corr8_10"));
    EXPECT_FALSE(has(t, "CorrettoreS2.Page1", "S_Corr9"));
    EXPECT_TRUE(has(t, "CorrettoreAB.Page1", "Corr4_30"));
    EXPECT_TRUE(has(t, "CorrettoreAB.Page1", "NomeSchedaB4"));
    EXPECT_NE(t.Param(QStringLiteral("Blk_Dom_Arg70")), nullptr);
    EXPECT_NE(t.Param(QStringLiteral("IndirizzoAutoscuola")), nullptr);
    // A block's marks and label hide with it.
    const report::Component* block =
        t.FindPage(QStringLiteral("CorrettoreAB.Page1"))->FindComponent(QStringLiteral("S_Corr3b"));
    ASSERT_NE(block, nullptr);
    EXPECT_NE(block->Find(QStringLiteral("Corr3_16")), nullptr);
    EXPECT_NE(block->Find(QStringLiteral("NomeSchedaB3")), nullptr);
    EXPECT_EQ(block->Find(QStringLiteral("Corr3_15")), nullptr);
}

TEST(DefaultTemplate, ContractCheckReportsWhatIsMissing) {
    report::ReportTemplate t = builtTemplate();
    t.FindPage(QStringLiteral("SchedaS4.Page1"))
        ->FindComponent(QStringLiteral("Domanda9"))
        ->SetText(QStringLiteral("{Domanda19}"));
    auto faults = print::templateContractFaults(t, mqSuperCx);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_NE(faults[0].find("Domanda9"), std::string::npos) << faults[0];

    const report::ReportTemplate missing =
        withoutPage(builtTemplate(), QStringLiteral("SchedaC2"), QStringLiteral("Page3"));
    faults = print::templateContractFaults(missing, mqCqc2P);
    ASSERT_FALSE(faults.empty());
    EXPECT_EQ(faults[0], "manca la pagina SchedaC2.Page3");
    EXPECT_TRUE(print::templateContractFaults(missing, mqCqc1M).empty());
    faults = print::templateContractFaults(
        withoutReport(builtTemplate(), QStringLiteral("CorrettoreS7")), mqSuperDx);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0], "manca il report CorrettoreS7");
}

TEST(DefaultTemplate, RowsLeaveRoomForTheWidenedText) {
    // A widened text spans 0.35 inch to the right edge of the figure column on odd and on
    // even slots: it covers the figure box, and neither the number (between the text and
    // the answer boxes, nothing stands left of the text) nor the answer boxes.
    const report::ReportTemplate t = builtTemplate();
    for (TModalitaQuiz m : workingCategories()) {
        const report::Report& r = *t.FindReport(QString::fromStdString(sheetReportName(m)));
        for (int n = 1; n <= questionsPerSheet(m); ++n) {
            SCOPED_TRACE(std::string(categoryCode(m)) + " slot " + std::to_string(n));
            const auto* text = r.FindComponent(QStringLiteral("Domanda%1").arg(n));
            const auto* figure = r.FindComponent(QStringLiteral("Figura%1").arg(n));
            const auto* number = r.FindComponent(QStringLiteral("Numero%1").arg(n));
            const auto* boxV = r.FindComponent(QStringLiteral("CasellaV%1").arg(n));
            ASSERT_TRUE(text && figure && number && boxV);
            EXPECT_NEAR(figure->Width(), figure->Height(), 1e-9) << "square figure box";
            const bool odd = n % 2 == 1;
            const double widenedLeft = odd ? 0.35 : text->Left();
            const double widenedRight = widenedLeft + text->Width() + 0.8;
            EXPECT_LE(widenedRight, number->Left());
            EXPECT_LE(number->Left() + number->Width(), boxV->Left());
            EXPECT_GE(figure->Left(), widenedLeft);
            EXPECT_LE(figure->Left() + figure->Width(), widenedRight + 1e-9);
            if (odd) {
                // The figure starts at 0.35 inch; the text keeps its right edge.
                EXPECT_NEAR(figure->Left(), 0.35, 1e-9);
                EXPECT_GE(text->Left(), figure->Left() + figure->Width());
                EXPECT_NEAR(widenedRight, text->Left() + text->Width(), 1e-9);
            } else {
                EXPECT_LE(text->Left() + text->Width(), figure->Left());
            }
            EXPECT_EQ(text->Anchor(), report::AnchorEdge::Left);
        }
    }
}

#include <gtest/gtest.h>

#include <limits>

#include "report/report_error.h"
#include "report/template_model.h"
#include "report_test_util.h"

namespace vexora::report {
namespace {

TEST(TemplateLookup, FindsPagesByReportDotPage) {
    ReportTemplate t = test::sampleTemplate();
    Page* p2 = t.FindPage(QStringLiteral("SchedaAB.Page2"));
    ASSERT_NE(p2, nullptr);
    EXPECT_EQ(p2->Name(), QStringLiteral("Page2"));
    EXPECT_EQ(p2, &t.FindReport(QStringLiteral("SchedaAB"))->Pages()[1]);
    EXPECT_NE(t.FindPage(QStringLiteral("CorrettoreAB.Page1")), nullptr);
    EXPECT_EQ(t.FindPage(QStringLiteral("SchedaAB.Page3")), nullptr);
    EXPECT_EQ(t.FindPage(QStringLiteral("SchedaAB")), nullptr);
    EXPECT_EQ(t.FindPage(QStringLiteral("SchedaAM.Page1")), nullptr);
    EXPECT_EQ(t.FindPage(QStringLiteral("CorrettoreAB.Page2")), nullptr);
}

TEST(TemplateLookup, FindsComponentsNestedInGroupsOnlyOnTheirPage) {
    ReportTemplate t = test::sampleTemplate();
    Page* p1 = t.FindPage(QStringLiteral("SchedaAB.Page1"));
    Page* p2 = t.FindPage(QStringLiteral("SchedaAB.Page2"));
    Component* d2 = p1->FindComponent(QStringLiteral("Domanda2"));  // Riga2 > Interno2 > Domanda2
    ASSERT_NE(d2, nullptr);
    EXPECT_EQ(d2->Kind(), ComponentKind::Text);
    EXPECT_NE(p1->FindComponent(QStringLiteral("Risp2")), nullptr);
    EXPECT_NE(p1->FindComponent(QStringLiteral("Interno2")), nullptr);
    EXPECT_EQ(p2->FindComponent(QStringLiteral("Domanda2")), nullptr);
    EXPECT_EQ(p1->FindComponent(QStringLiteral("Domanda16")), nullptr);
    EXPECT_NE(p2->FindComponent(QStringLiteral("Domanda16")), nullptr);
    // Lookups change the found component in place.
    d2->SetVisible(false);
    EXPECT_FALSE(p1->FindComponent(QStringLiteral("Domanda2"))->Visible());
}

TEST(TemplateLookup, ReportWideSearchTakesTheFirstPageHoldingTheName) {
    ReportTemplate t;
    Report& r = t.AddReport(QStringLiteral("R"));
    r.AddPage(QStringLiteral("Page1"));
    r.AddPage(QStringLiteral("Page2"))
        .Add(Component::MakeText(QStringLiteral("X"), 1, 1, 1, 1, QStringLiteral("due")));
    EXPECT_EQ(r.FindComponent(QStringLiteral("X"))->Text(), QStringLiteral("due"));
    Page& p3 = r.AddPage(QStringLiteral("Page3"));
    p3.Add(Component::MakeText(QStringLiteral("X"), 1, 1, 1, 1, QStringLiteral("tre")));
    EXPECT_EQ(r.FindComponent(QStringLiteral("X"))->Text(), QStringLiteral("due"));
}

TEST(TemplateNames, DuplicatesAndInvalidNamesAreRefused) {
    ReportTemplate t = test::sampleTemplate();
    Page* p1 = t.FindPage(QStringLiteral("SchedaAB.Page1"));
    Component group = Component::MakeGroup(QStringLiteral("Nuovo"));
    group.AddChild(Component::MakeImage(QStringLiteral("Figura2"), 0, 0, 1, 1));
    EXPECT_THROW(p1->Add(group), ReportError);  // Figura2 already sits in Riga2
    EXPECT_THROW(t.AddReport(QStringLiteral("SchedaAB")), ReportError);
    EXPECT_THROW(t.FindReport(QStringLiteral("SchedaAB"))->AddPage(QStringLiteral("Page2")),
                 ReportError);
    EXPECT_THROW(Component::MakeGroup(QStringLiteral("Con spazio")), ReportError);
    EXPECT_THROW(Component::MakeGroup(QStringLiteral("Rapporto.Pagina")), ReportError);
    EXPECT_THROW(Component::MakeGroup(QString()), ReportError);
    EXPECT_THROW(t.SetParam(QStringLiteral("Città"), QStringLiteral("x")), ReportError);
}

TEST(TemplateParams, SetParamCreatesMissingParametersAndKeepsOrder) {
    ReportTemplate t = test::sampleTemplate();
    const std::size_t before = t.Params().size();
    EXPECT_EQ(t.Param(QStringLiteral("Blk_Dom_Arg7")), nullptr);
    t.SetParam(QStringLiteral("Blk_Dom_Arg7"), QStringLiteral("12/3/4"));
    ASSERT_NE(t.Param(QStringLiteral("Blk_Dom_Arg7")), nullptr);
    EXPECT_EQ(*t.Param(QStringLiteral("Blk_Dom_Arg7")), QStringLiteral("12/3/4"));
    EXPECT_EQ(t.Params().size(), before + 1);
    EXPECT_EQ(t.Params().back().first, QStringLiteral("Blk_Dom_Arg7"));
    t.SetParam(QStringLiteral("NomeAutoscuola"), QStringLiteral("Nuova"));
    EXPECT_EQ(t.Params().size(), before + 1);
    EXPECT_EQ(t.Params().front().second, QStringLiteral("Nuova"));
}

TEST(TemplateParams, ExpandInsertsParameterValuesOnce) {
    ReportTemplate t;
    t.SetParam(QStringLiteral("NomeAutoscuola"), QStringLiteral("Autoscuola Rossi"));
    t.SetParam(QStringLiteral("Domanda7"), QStringLiteral("Il segnale {Domanda8} è {{x}}"));
    t.SetParam(QStringLiteral("Domanda8"), QStringLiteral("NO"));
    EXPECT_EQ(t.Expand(QStringLiteral("Autoscuola: {NomeAutoscuola}.")),
              QStringLiteral("Autoscuola: Autoscuola Rossi."));
    // A value is inserted as it is, braces included.
    EXPECT_EQ(t.Expand(QStringLiteral("{Domanda7}")),
              QStringLiteral("Il segnale {Domanda8} è {{x}}"));
    EXPECT_EQ(t.Expand(QStringLiteral("[{Sconosciuto}]")), QStringLiteral("[]"));
    EXPECT_EQ(t.Expand(QStringLiteral("{{Domanda8}} {Domanda8}")), QStringLiteral("{Domanda8} NO"));
    EXPECT_EQ(t.Expand(QStringLiteral("{ non chiusa {Domanda8")),
              QStringLiteral("{ non chiusa {Domanda8"));
    EXPECT_EQ(t.Expand(QStringLiteral("{a b} {} }")), QStringLiteral("{a b} {} }"));
    EXPECT_EQ(t.Expand(QStringLiteral("{Domanda8}{Domanda8}")), QStringLiteral("NONO"));
}

TEST(ComponentWidth, LeftAnchoredKeepsLeftRightAnchoredKeepsRightEdge) {
    Component left = Component::MakeText(QStringLiteral("A"), 1.35, 1, 5.0, 1);
    left.SetWidth(5.8);
    EXPECT_DOUBLE_EQ(left.Left(), 1.35);
    EXPECT_DOUBLE_EQ(left.Width(), 5.8);

    Component right = Component::MakeText(QStringLiteral("B"), 1.35, 1, 5.0, 1);
    right.SetAnchor(AnchorEdge::Right);
    right.SetWidth(5.8);
    EXPECT_DOUBLE_EQ(right.Left() + right.Width(), 6.35);
    EXPECT_NEAR(right.Left(), 0.55, 1e-12);
    EXPECT_THROW(right.SetWidth(std::numeric_limits<double>::quiet_NaN()), ReportError);
}

TEST(ComponentWidth, OrderOfLeftAndWidthShowsOnlyWithRightAnchor) {
    auto widen = [](AnchorEdge edge, bool leftFirst) {
        Component c = Component::MakeText(QStringLiteral("Domanda7"), 1.35, 1, 5.0, 1);
        c.SetAnchor(edge);
        if (leftFirst)
            c.SetLeft(0.35);
        c.SetWidth(c.Width() + 0.8);
        if (!leftFirst)
            c.SetLeft(0.35);
        return c.Left();
    };
    EXPECT_NEAR(widen(AnchorEdge::Right, true), 0.35 - 0.8, 1e-12);
    EXPECT_NEAR(widen(AnchorEdge::Right, false), 0.35, 1e-12);
    EXPECT_NEAR(widen(AnchorEdge::Left, true), 0.35, 1e-12);
    EXPECT_NEAR(widen(AnchorEdge::Left, false), 0.35, 1e-12);
}

TEST(ComponentProperties, PropertiesOfAnotherKindAndFontMirrorLinks) {
    ReportTemplate t = test::sampleTemplate();
    Page* p1 = t.FindPage(QStringLiteral("SchedaAB.Page1"));
    Component* figure = p1->FindComponent(QStringLiteral("Figura1"));
    EXPECT_THROW(figure->SetText(QStringLiteral("x")), ReportError);
    EXPECT_THROW(p1->FindComponent(QStringLiteral("Domanda1"))->SetImage(QImage()), ReportError);
    EXPECT_THROW(figure->AddChild(Component::MakeGroup(QStringLiteral("G"))), ReportError);
    // Groups and font masters have no geometry of their own.
    EXPECT_THROW(p1->FindComponent(QStringLiteral("Riga2"))->SetWidth(1), ReportError);
    EXPECT_THROW(p1->FindComponent(QStringLiteral("FontMasterDom"))->SetLeft(1), ReportError);

    Component* text = p1->FindComponent(QStringLiteral("Domanda1"));
    text->SetFontMirror(p1->FindComponent(QStringLiteral("FontMasterDomX")));
    EXPECT_EQ(text->FontMirror(), QStringLiteral("FontMasterDomX"));
    text->SetFontMirror(figure);  // not a font master
    EXPECT_TRUE(text->FontMirror().isEmpty());
    text->SetFontMirror(p1->FindComponent(QStringLiteral("FontMasterDom")));
    text->SetFontMirror(nullptr);  // a lookup that found nothing
    EXPECT_TRUE(text->FontMirror().isEmpty());
}

TEST(Colors, WindowsRgbValuesMapToColours) {
    EXPECT_EQ(colorFromWindowsRgb(255), QColor(255, 0, 0));
    EXPECT_EQ(colorFromWindowsRgb(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(colorFromWindowsRgb(0x00FF00), QColor(0, 255, 0));
    EXPECT_EQ(windowsRgbFromColor(QColor(0x12, 0x34, 0x56)), 0x563412u);
}

}  // namespace
}  // namespace vexora::report

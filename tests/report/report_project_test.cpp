#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

#include "report/report_error.h"
#include "report/report_project.h"
#include "report/template_file.h"
#include "report_test_util.h"

namespace vexora::report {
namespace {

class ReportProjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("Vexora.rav"));
        ReportTemplate t = test::sampleTemplate();
        t.FindPage(QStringLiteral("SchedaAB.Page1"))
            ->FindComponent(QStringLiteral("Figura1"))
            ->SetImage(test::solidImage(16, 16, Qt::blue));
        writeTemplateFile(t, path_);
        project_.SetProjectFile(path_);
    }

    QTemporaryDir dir_;
    QString path_;
    ReportProject project_;
};

TEST_F(ReportProjectTest, OpenFailsClearlyWithoutAUsableFile) {
    ReportProject none;
    EXPECT_THROW(none.Open(), ReportError);
    EXPECT_FALSE(none.Active());
    ReportProject missing;
    missing.SetProjectFile(dir_.filePath(QStringLiteral("Assente.rav")));
    try {
        missing.Open();
        FAIL() << "opened";
    } catch (const ReportError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Assente.rav"))) << e.what();
    }
    EXPECT_FALSE(missing.Active());
}

TEST_F(ReportProjectTest, LookupsAndParametersNeedAnOpenTemplate) {
    EXPECT_EQ(project_.FindReport(QStringLiteral("SchedaAB")), nullptr);
    EXPECT_EQ(project_.FindPage(QStringLiteral("SchedaAB.Page1")), nullptr);
    EXPECT_THROW(project_.SetParam(QStringLiteral("X"), QStringLiteral("y")), ReportError);
    EXPECT_THROW(project_.SelectReport(QStringLiteral("SchedaAB")), ReportError);
    EXPECT_THROW(project_.Execute(), ReportError);
    project_.Open();
    EXPECT_TRUE(project_.Active());
    Page* page = project_.FindPage(QStringLiteral("SchedaAB.Page1"));
    ASSERT_NE(page, nullptr);
    EXPECT_NE(project_.FindComponent(QStringLiteral("Risp2"), page), nullptr);
    EXPECT_EQ(project_.FindComponent(QStringLiteral("Domanda16"), page), nullptr);
    EXPECT_EQ(project_.FindComponent(QStringLiteral("Risp2"), nullptr), nullptr);
}

TEST_F(ReportProjectTest, OpenWhileOpenKeepsTheChanges) {
    project_.Open();
    project_.SetParam(QStringLiteral("Domanda1"), QStringLiteral("cambiata"));
    project_.Open();
    EXPECT_EQ(project_.GetParam(QStringLiteral("Domanda1")), QStringLiteral("cambiata"));
}

TEST_F(ReportProjectTest, CloseDiscardsEveryChangeMadeSinceOpen) {
    project_.Open();
    Page* p1 = project_.FindPage(QStringLiteral("SchedaAB.Page1"));
    Component* text = project_.FindComponent(QStringLiteral("Domanda2"), p1);
    Component* figure = project_.FindComponent(QStringLiteral("Figura1"), p1);
    const double width = text->Width();
    const double left = text->Left();
    text->SetWidth(width + 0.8);
    text->SetLeft(0.35);
    text->SetFontMirror(nullptr);
    text->SetForeColor(colorFromWindowsRgb(255));
    figure->SetVisible(false);
    figure->SetImage(test::solidImage(4, 4, Qt::red));
    project_.SetParam(QStringLiteral("Domanda1"), QStringLiteral("testo"));
    project_.SetParam(QStringLiteral("Nuovo"), QStringLiteral("x"));
    project_.FindReport(QStringLiteral("SchedaAB"))->SetCopies(4);
    project_.FindReport(QStringLiteral("SchedaAB"))->SetDuplex(true);
    p1->SetGotoMode(1);
    project_.Close();
    EXPECT_FALSE(project_.Active());

    project_.Open();
    p1 = project_.FindPage(QStringLiteral("SchedaAB.Page1"));
    text = project_.FindComponent(QStringLiteral("Domanda2"), p1);
    figure = project_.FindComponent(QStringLiteral("Figura1"), p1);
    EXPECT_DOUBLE_EQ(text->Width(), width);
    EXPECT_DOUBLE_EQ(text->Left(), left);
    EXPECT_FALSE(text->ForeColor().isValid());
    EXPECT_TRUE(figure->Visible());
    EXPECT_EQ(figure->Image().pixel(0, 0), QColor(Qt::blue).rgb());
    EXPECT_EQ(project_.GetParam(QStringLiteral("Domanda1")), QString());
    EXPECT_EQ(project_.Template()->Param(QStringLiteral("Nuovo")), nullptr);
    EXPECT_EQ(project_.FindReport(QStringLiteral("SchedaAB"))->Copies(), 0);
    EXPECT_EQ(project_.FindReport(QStringLiteral("SchedaAB"))->DuplexMode(),
              DuplexSetting::Default);
    EXPECT_EQ(p1->GotoMode(), 0);
    EXPECT_TRUE(*project_.Template() == readTemplateFile(path_));
}

TEST_F(ReportProjectTest, OpenReadsTheFileAgainWhenItChangedOnDisk) {
    project_.Open();
    project_.Close();
    ReportTemplate changed = test::sampleTemplate();
    changed.AddReport(QStringLiteral("SchedaAM")).AddPage(QStringLiteral("Page1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    writeTemplateFile(changed, path_);
    project_.Open();
    EXPECT_NE(project_.FindReport(QStringLiteral("SchedaAM")), nullptr);
    project_.Close();
    QFile::remove(path_);
    EXPECT_THROW(project_.Open(), ReportError);
}

TEST_F(ReportProjectTest, SelectReportByItsOwnNameAndExecuteErrors) {
    project_.Open();
    ReportOutput output;
    EXPECT_THROW(project_.Execute(), ReportError);  // no engine
    project_.SetEngine(&output);
    EXPECT_THROW(project_.Execute(), ReportError);  // nothing selected
    EXPECT_TRUE(project_.SelectReport(QStringLiteral("CorrettoreAB")));
    EXPECT_EQ(project_.SelectedReport(), project_.FindReport(QStringLiteral("CorrettoreAB")));
    EXPECT_FALSE(project_.SelectReport(QStringLiteral("SchedaS1")));
    EXPECT_EQ(project_.SelectedReport(), nullptr);
    EXPECT_FALSE(project_.SelectReport(QStringLiteral("Vexora.SchedaAB")));
    try {
        project_.Execute();
        FAIL() << "ran a missing report";
    } catch (const ReportError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("SchedaAB"))) << e.what();
    }
}

TEST_F(ReportProjectTest, AttachingTheEngineStartsANewJob) {
    ReportOutput output;
    output.Abort();
    EXPECT_TRUE(output.Aborted());
    project_.Open();
    project_.SetEngine(&output);
    EXPECT_FALSE(output.Aborted());
    project_.SetUnits(DisplayUnit::Millimetre);
    project_.SetUnitsFactor(25.4);
    EXPECT_EQ(project_.Units(), DisplayUnit::Millimetre);
    EXPECT_THROW(project_.SetUnitsFactor(0), ReportError);
}

}  // namespace
}  // namespace vexora::report

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

#include "report/report_error.h"
#include "report/report_project.h"
#include "report/run_values.h"
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
    const Page* page = project_.FindPage(QStringLiteral("SchedaAB.Page1"));
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

TEST_F(ReportProjectTest, RunValuesLeaveTheStoredTemplateAloneAndCloseDiscardsThem) {
    project_.Open();
    const Page* p1 = project_.FindPage(QStringLiteral("SchedaAB.Page1"));
    const Component* text = project_.FindComponent(QStringLiteral("Domanda2"), p1);
    const Component* figure = project_.FindComponent(QStringLiteral("Figura1"), p1);
    const double width = text->Width();
    const double left = text->Left();
    RunValues& values = project_.Values();
    Component& own = values.Edit(*text);
    own.SetWidth(width + 0.8);
    own.SetLeft(0.35);
    own.SetFontMirror(nullptr);
    own.SetForeColor(colorFromWindowsRgb(255));
    values.Edit(*figure).SetVisible(false);
    values.Edit(*figure).SetImage(test::solidImage(4, 4, Qt::red));
    project_.SetParam(QStringLiteral("Domanda1"), QStringLiteral("testo"));
    project_.SetParam(QStringLiteral("Nuovo"), QStringLiteral("x"));
    values.SetCopies(4);
    values.SetDuplex(true);
    values.SetGotoMode(*p1, 1);
    // The run sees its values; the template every run starts from does not.
    EXPECT_DOUBLE_EQ(values.Resolve(*text).Width(), width + 0.8);
    EXPECT_FALSE(values.Resolve(*figure).Visible());
    EXPECT_EQ(project_.GetParam(QStringLiteral("Domanda1")), QStringLiteral("testo"));
    EXPECT_TRUE(*project_.Template() == readTemplateFile(path_));
    const Report* report = project_.FindReport(QStringLiteral("SchedaAB"));
    const ReportTemplate applied = withRunValues(*project_.Template(), values, report);
    const Component* appliedText =
        applied.FindReport(QStringLiteral("SchedaAB"))->FindComponent(QStringLiteral("Domanda2"));
    EXPECT_DOUBLE_EQ(appliedText->Width(), width + 0.8);
    EXPECT_DOUBLE_EQ(appliedText->Left(), 0.35);
    EXPECT_EQ(applied.FindReport(QStringLiteral("SchedaAB"))->Copies(), 4);
    EXPECT_EQ(applied.FindPage(QStringLiteral("SchedaAB.Page1"))->GotoMode(), 1);
    EXPECT_EQ(*applied.Param(QStringLiteral("Nuovo")), QStringLiteral("x"));
    project_.Close();
    EXPECT_FALSE(project_.Active());

    project_.Open();
    p1 = project_.FindPage(QStringLiteral("SchedaAB.Page1"));
    text = project_.FindComponent(QStringLiteral("Domanda2"), p1);
    figure = project_.FindComponent(QStringLiteral("Figura1"), p1);
    const RunValues& fresh = project_.Values();
    EXPECT_DOUBLE_EQ(fresh.Resolve(*text).Width(), width);
    EXPECT_DOUBLE_EQ(fresh.Resolve(*text).Left(), left);
    EXPECT_FALSE(fresh.Resolve(*text).ForeColor().isValid());
    EXPECT_TRUE(fresh.Resolve(*figure).Visible());
    EXPECT_EQ(fresh.Resolve(*figure).Image().pixel(0, 0), QColor(Qt::blue).rgb());
    EXPECT_EQ(project_.GetParam(QStringLiteral("Domanda1")), QString());
    EXPECT_EQ(project_.GetParam(QStringLiteral("Nuovo")), QString());
    report = project_.FindReport(QStringLiteral("SchedaAB"));
    EXPECT_EQ(fresh.Copies(*report), 0);
    EXPECT_EQ(fresh.DuplexMode(*report), DuplexSetting::Default);
    EXPECT_EQ(fresh.GotoMode(*p1), 0);
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

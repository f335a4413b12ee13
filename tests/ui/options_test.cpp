// The options window as a user drives it: category tabs that move the main window,
// counter resets that the next sheet shows, switches that Annulla leaves unsaved.

#include <QTest>

#include <gtest/gtest.h>

#include "core/catalogue.h"
#include "data/options_numbering.h"
#include "ui/form_opzioni.h"
#include "ui/form_stampe.h"
#include "window_world.h"

namespace vexora::test {
namespace {

TEST(OptionsWindow, TabsMoveTheMainWindowAndANumberingResetRestartsTheLabels) {
    WindowWorld world("[Debug]\r\nCkStampaSuPdf=1\r\n[Status]\r\nProgressivo Esa S4=57\r\n");
    world.start();
    ui::TFormStampe& w = world.w();
    ui::TFormOpzioni& o = world.program->optionsWindow();

    // Opened before any category: AB becomes current and its counters show.
    QKeyEvent key(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
    QCoreApplication::sendEvent(&w, &key);
    ASSERT_TRUE(o.isVisible());
    EXPECT_EQ(world.program->state().currentCategory, mqAB);
    EXPECT_TRUE(w.BtTipoEsame()->isEnabled());
    EXPECT_EQ(o.GbNumAndDb()->title(), QStringLiteral("  Numerazione e database schede AB "));
    EXPECT_EQ(o.EdProgEsa()->text(), QStringLiteral("1"));
    EXPECT_EQ(o.PcOpzioni()->currentIndex(), 0);

    // "Est. C-CE": the main window follows.
    o.PcOpzioni()->setCurrentIndex(1);
    o.categoryTab(tabOf(mqSuperCx))->click();
    EXPECT_EQ(world.program->state().currentCategory, mqSuperCx);
    EXPECT_TRUE(w.groupButton(CategoryGroup::SUP)->isChecked());
    EXPECT_EQ(w.CbListatiQuiz()->currentIndex(), 3);
    EXPECT_EQ(w.BtTipoEsame()->text(), QStringLiteral("Schede tipo ESAME Est. C-CE"));
    EXPECT_EQ(o.GbNumAndDb()->title(),
              QStringLiteral("  Numerazione e database schede Estensione C-CE "));
    EXPECT_EQ(o.EdProgEsa()->text(), QStringLiteral("57"));

    o.BtResetPrEsa()->click();
    EXPECT_EQ(o.EdProgEsa()->text(), QStringLiteral("1"));
    EXPECT_NE(slurp(world.dir.file("Vexora.ini")).find("Progressivo Esa S4=1"), std::string::npos);
    o.BtAnnulla()->click();
    EXPECT_FALSE(o.isVisible());

    w.BtTipoEsame()->click();
    w.BtPrint()->click();
    ASSERT_TRUE(w.lastRun().has_value());
    EXPECT_EQ(w.lastRun()->printedLabels, std::vector<std::string>{"E001"});
}

TEST(OptionsWindow, RestoredDefaultsAndAnnullaLeaveTheSettingsFileAlone) {
    WindowWorld world("[Debug]\r\nCkStampaSuPdf=1\r\nCkRandomArgom=0\r\nCkNoExceptMsg=0\r\n");
    world.start();
    const std::string before = slurp(world.dir.file("Vexora.ini"));
    ui::TFormOpzioni& o = world.program->optionsWindow();
    world.w().LOpzioniClick();
    ASSERT_TRUE(o.isVisible());
    QCheckBox* pdf = o.check(&Switches::CkStampaSuPdf);
    ASSERT_TRUE(pdf && pdf->isChecked());

    QTest::mouseClick(o.PnRipristinaOpz(), Qt::LeftButton);
    // The defaults act at once, unsaved.
    EXPECT_FALSE(pdf->isChecked());
    EXPECT_FALSE(world.program->switches().CkStampaSuPdf);
    EXPECT_TRUE(world.program->switches().CkRandomArgom);
    EXPECT_TRUE(world.program->switches().CkNoExceptMsg);
    o.BtAnnulla()->click();
    EXPECT_EQ(slurp(world.dir.file("Vexora.ini")), before);

    // Shown again, the window reads the saved state back.
    world.w().LOpzioniClick();
    EXPECT_TRUE(pdf->isChecked());
    EXPECT_TRUE(world.program->switches().CkStampaSuPdf);
    EXPECT_FALSE(world.program->switches().CkNoExceptMsg);

    // Ok saves the school data and they print at once.
    o.Ed_NmScuola()->setText(QStringLiteral("Autoscuola Bellavista"));
    o.BtOk()->click();
    EXPECT_FALSE(o.isVisible());
    EXPECT_EQ(world.program->state().schoolName, "Autoscuola Bellavista");
    EXPECT_NE(slurp(world.dir.file("Vexora.ini")).find("Nome=Autoscuola Bellavista"),
              std::string::npos);
}

}  // namespace
}  // namespace vexora::test

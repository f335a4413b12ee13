// The window program as a user drives it: wizard pages, topic selection, print runs to
// PDF under the progress window, interruption, shutdown and restart.

#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include "core/catalogue.h"
#include "ui/form_progress.h"
#include "ui/form_stampe.h"
#include "window_world.h"

namespace vexora::test {
namespace {

namespace fs = std::filesystem;
using ui::TFormStampe;

void clickTopic(TFormStampe& w, int row, Qt::MouseButton button, Qt::KeyboardModifiers mods = {}) {
    auto* list = w.LbArgomenti();
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), button, mods, at);
}

std::vector<int> selectedRows(TFormStampe& w) {
    std::vector<int> rows;
    for (int i = 0; i < w.LbArgomenti()->count(); ++i)
        if (w.LbArgomenti()->item(i)->isSelected())
            rows.push_back(i);
    return rows;
}

bool directChildrenEnabled(QWidget& w) {
    for (QObject* o : w.children()) {
        auto* c = qobject_cast<QWidget*>(o);
        if (c && !c->isWindow() && !c->isEnabled())
            return false;
    }
    return true;
}

// Watches a running print: whether the progress window showed with the main window
// disabled, and what Ctrl+Alt+C did meanwhile.
struct RunWatcher {
    bool progressSeen = false;
    bool mainDisabledWhilePrinting = false;
    QTimer timer;
    std::function<void(ui::TFormProgress&)> extra;

    explicit RunWatcher(WindowWorld& world) {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this, &world] {
            auto& p = world.progress();
            if (!p.isVisible())
                return;
            progressSeen = true;
            if (!directChildrenEnabled(world.w()))
                mainDisabledWhilePrinting = true;
            if (extra)
                extra(p);
        });
        timer.start();
    }
};

TEST(MainWindow, TopicRunFromTheFirstPageToThePdfFiles) {
    WindowWorld world;
    world.start();
    TFormStampe& w = world.w();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Vexora ver. " VEXORA_VERSION));
    EXPECT_EQ(w.BtIndietro()->text(), QStringLiteral("Chiudi"));
    EXPECT_FALSE(w.BtTipoArgom()->isEnabled());

    w.groupButton(CategoryGroup::AB)->click();
    ASSERT_TRUE(w.BtTipoArgom()->isEnabled());
    EXPECT_EQ(w.BtTipoArgom()->text(), QStringLiteral("Schede tipo ARGOMENTO AB"));
    const QString countBefore = w.LbCount()->item(0)->text();

    w.BtTipoArgom()->click();
    ASSERT_EQ(w.PcPagina()->currentIndex(), 1);
    EXPECT_EQ(w.BtIndietro()->text(), QStringLiteral("Indietro"));
    clickTopic(w, 0, Qt::LeftButton);
    clickTopic(w, 2, Qt::LeftButton, Qt::ControlModifier);
    clickTopic(w, 5, Qt::RightButton);
    clickTopic(w, 7, Qt::RightButton);
    EXPECT_EQ(selectedRows(w), (std::vector<int>{0, 2, 5, 7}));
    // The right button toggles one topic and leaves the others alone.
    clickTopic(w, 2, Qt::RightButton);
    EXPECT_EQ(selectedRows(w), (std::vector<int>{0, 5, 7}));
    clickTopic(w, 2, Qt::RightButton);
    EXPECT_EQ(world.program->data().LbArgomenti.selectedCount(), 4u);

    w.BtAvanti()->click();
    ASSERT_EQ(w.PcPagina()->currentIndex(), 2);
    EXPECT_EQ(w.BtPrint()->text(), QStringLiteral("Stampa schede per Argomento AB"));
    EXPECT_EQ(w.BtAvanti()->text(), QStringLiteral("Stampa"));
    w.SeSchede()->setText(QStringLiteral("3"));

    RunWatcher watch(world);
    w.BtAvanti()->click();  // "Stampa" on the last page prints
    ASSERT_TRUE(w.lastRun().has_value());
    EXPECT_EQ(w.lastRun()->printedLabels, (std::vector<std::string>{"A001", "A002", "A003"}));
    EXPECT_TRUE(w.lastRun()->saved);
    EXPECT_TRUE(watch.progressSeen);
    EXPECT_TRUE(watch.mainDisabledWhilePrinting);
    EXPECT_FALSE(world.progress().isVisible());
    EXPECT_TRUE(directChildrenEnabled(w));
    EXPECT_EQ(w.PcPagina()->currentIndex(), 0);
    EXPECT_EQ(w.BtIndietro()->text(), QStringLiteral("Chiudi"));
    EXPECT_EQ(world.program->state().counter(mqAB, tdsArgomento), 4);
    EXPECT_EQ(pdfFiles(world.dir.path(), "AB_ARG").size(), 3u);
    EXPECT_NE(w.LbCount()->item(0)->text(), countBefore);  // counts recounted after the run
    EXPECT_TRUE(world.messages.empty()) << world.messages.front();
}

TEST(MainWindow, ExamRunOfAHigherLicenceChosenFromTheListato) {
    WindowWorld world;
    world.start();
    TFormStampe& w = world.w();
    w.groupButton(CategoryGroup::SUP)->click();
    ASSERT_TRUE(w.CbListatiQuiz()->isVisibleTo(&w));
    EXPECT_EQ(world.program->state().currentCategory, mqSuperC1);
    w.CbListatiQuiz()->setCurrentIndex(2);
    emit w.CbListatiQuiz()->activated(2);
    EXPECT_EQ(world.program->state().currentCategory, mqSuperC);
    EXPECT_EQ(w.BtTipoEsame()->text(), QStringLiteral("Schede tipo ESAME C-CE"));

    w.BtTipoEsame()->click();
    ASSERT_EQ(w.PcPagina()->currentIndex(), 2);
    EXPECT_EQ(w.BtPrint()->text(), QStringLiteral("Stampa schede tipo Esame C-CE"));
    w.SeSchede()->setText(QStringLiteral("2"));
    w.BtPrint()->click();
    ASSERT_TRUE(w.lastRun().has_value());
    EXPECT_EQ(w.lastRun()->printedLabels, (std::vector<std::string>{"E001", "E002"}));
    EXPECT_EQ(pdfFiles(world.dir.path(), "S3_ESA").size(), 2u);
    EXPECT_EQ(world.program->state().counter(mqSuperC, tdsEsame), 3);
    EXPECT_EQ(w.PcPagina()->currentIndex(), 0);
}

TEST(MainWindow, GroupButtonsFollowTheCurrentCategory) {
    WindowWorld world("[Debug]\nCkProgFlowLog=1\n");
    world.start();
    TFormStampe& w = world.w();
    auto& state = world.program->state();

    w.groupButton(CategoryGroup::CQC)->click();
    w.CbListatiQuiz()->setCurrentIndex(1);
    emit w.CbListatiQuiz()->activated(1);
    ASSERT_EQ(state.currentCategory, mqCqc2P);
    EXPECT_EQ(w.shownPicture(CategoryGroup::CQC), 7);
    // AM while C2 is current: AM, and the listato goes away.
    w.groupButton(CategoryGroup::AM)->click();
    EXPECT_EQ(state.currentCategory, mqAM);
    EXPECT_FALSE(w.CbListatiQuiz()->isVisibleTo(&w));
    EXPECT_EQ(w.shownPicture(CategoryGroup::AM), 3);
    EXPECT_EQ(w.shownPicture(CategoryGroup::CQC), 6);

    // SUP while "Estensione CQC Persone" (position 3) is current: the SUP entry at 3.
    w.groupButton(CategoryGroup::CQC)->click();
    w.CbListatiQuiz()->setCurrentIndex(3);
    emit w.CbListatiQuiz()->activated(3);
    ASSERT_EQ(state.currentCategory, mqCqc4P);
    w.groupButton(CategoryGroup::SUP)->click();
    EXPECT_EQ(state.currentCategory, mqSuperCx);
    EXPECT_EQ(w.CbListatiQuiz()->currentIndex(), 3);
    EXPECT_EQ(w.LabelBtMenu()->text(),
              QStringLiteral("Schede quiz per le patenti superiori C-CE e D-DE"));
    // CQC while a SUP category is current: the first CQC category.
    w.groupButton(CategoryGroup::CQC)->click();
    EXPECT_EQ(state.currentCategory, mqCqc1M);

    // The same group again reopens the category's files.
    auto opened = [&] {
        const std::string log = world.logText();
        std::size_t count = 0;
        for (std::size_t at = 0; (at = log.find("Mode: mqCqc1M", at)) != std::string::npos; ++at)
            ++count;
        return count;
    };
    const std::size_t before = opened();
    w.groupButton(CategoryGroup::CQC)->click();
    EXPECT_EQ(opened(), before + 1);
}

TEST(MainWindow, SheetKindAndTheOneKeyBoxFollowWhatTheUserDid) {
    WindowWorld world;
    world.start();
    TFormStampe& w = world.w();
    w.groupButton(CategoryGroup::AB)->click();
    // Topic sheets chosen, no topic selected: exam sheets.
    w.BtTipoArgom()->click();
    w.BtAvanti()->click();
    EXPECT_EQ(w.BtPrint()->text(), QStringLiteral("Stampa schede tipo Esame AB"));
    EXPECT_EQ(world.program->state().currentKind, tdsEsame);
    w.BtIndietro()->click();
    EXPECT_EQ(w.PcPagina()->currentIndex(), 0);  // exam kind goes back to page 1

    for (const auto& [typed, shown] :
         std::vector<std::pair<QString, bool>>{{"5", true}, {"1", false}, {"x", false}}) {
        w.SeCopie()->edit()->clear();
        QTest::keyClicks(w.SeCopie()->edit(), typed);
        EXPECT_EQ(!w.CkUnSoloCorrettore()->isHidden(), shown) << typed.toStdString();
        EXPECT_EQ(w.SeCopie()->text(), typed);  // the field keeps what was typed
    }

    // More topics than a sheet can take (AM: 22 of its 24) are refused with a message
    // naming the maximum.
    w.groupButton(CategoryGroup::AM)->click();
    w.BtTipoArgom()->click();
    const int rows = w.LbArgomenti()->count();
    ASSERT_GE(rows, 23);
    for (int i = 0; i < rows; ++i)
        clickTopic(w, i, Qt::RightButton);
    EXPECT_EQ(world.program->data().LbArgomenti.selectedCount(), 22u);
    EXPECT_EQ(selectedRows(w).size(), 22u);
    ASSERT_FALSE(world.messages.empty());
    EXPECT_NE(world.messages.back().find("al massimo 22"), std::string::npos)
        << world.messages.back();
}

TEST(MainWindow, InterrompiStopsTheRunAndKeepsThePrintedSheets) {
    WindowWorld world("[Debug]\nCkStampaSuPdf=1\nCkProgFlowLog=1\n");
    world.start();
    TFormStampe& w = world.w();
    int optionsShown = 0;
    w.setShowOptions([&] { ++optionsShown; });
    w.groupButton(CategoryGroup::AB)->click();
    w.BtTipoEsame()->click();
    w.SeSchede()->setText(QStringLiteral("20"));

    RunWatcher watch(world);
    bool pressed = false;
    watch.extra = [&](ui::TFormProgress& p) {
        // Ctrl+Alt+C while printing does nothing.
        QKeyEvent key(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
        QCoreApplication::sendEvent(&w, &key);
        if (!pressed && p.ProgressBarTot()->value() >= 25) {
            pressed = true;
            p.BtInterrompi()->click();
        }
    };
    w.BtPrint()->click();
    ASSERT_TRUE(pressed);
    ASSERT_TRUE(w.lastRun().has_value());
    const auto& run = *w.lastRun();
    EXPECT_TRUE(run.interrupted);
    EXPECT_GE(run.printedLabels.size(), 1u);
    EXPECT_LT(run.printedLabels.size(), 20u);
    EXPECT_TRUE(run.saved);  // the marks of the printed sheets reach the history file
    EXPECT_EQ(pdfFiles(world.dir.path(), "AB_ESA").size(), run.printedLabels.size());
    EXPECT_EQ(optionsShown, 0);
    EXPECT_TRUE(world.progress().Interruzione());
    EXPECT_NE(world.logText().find("TFormProgress.InterrompiClick (Abort print)"),
              std::string::npos);
    EXPECT_TRUE(directChildrenEnabled(w));
    EXPECT_EQ(w.PcPagina()->currentIndex(), 0);

    // Once the run is over the key combination opens the options.
    QKeyEvent key(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
    QCoreApplication::sendEvent(w.BtAvanti(), &key);
    EXPECT_EQ(optionsShown, 1);
}

TEST(ProgressWindow, BarsJumpBackAtOnceAndWalkForwardThroughEveryPosition) {
    WindowWorld world;
    world.start();
    auto& p = world.progress();
    p.ProgressReset();
    EXPECT_FALSE(p.Progress(80, 100, -1, -1, "-1", "-1"));
    EXPECT_TRUE(p.isVisible());
    EXPECT_FALSE(directChildrenEnabled(world.w()));
    p.takeParSteps();
    p.Progress(25, -1, -1, -1, "-1", "-1");
    EXPECT_EQ(p.takeParSteps(), std::vector<int>{25});
    p.Progress(70, -1, -1, -1, "titolo", "info");
    std::vector<int> expected;
    for (int i = 25; i <= 70; ++i)
        expected.push_back(i);
    EXPECT_EQ(p.takeParSteps(), expected);
    EXPECT_EQ(p.LbTitle()->text(), QStringLiteral("titolo"));

    // "-1" everywhere changes nothing visible but shows a hidden window again.
    p.close();
    EXPECT_TRUE(directChildrenEnabled(world.w()));
    p.setInterruzione(true);
    EXPECT_TRUE(p.Progress(-1, -1, -1, -1, "-1", "-1"));
    EXPECT_TRUE(p.isVisible());
    EXPECT_EQ(p.ProgressBarPar()->value(), 70);
    EXPECT_EQ(p.LbInfo()->text(), QStringLiteral("info"));
    p.ProgressReset();
    EXPECT_FALSE(p.Interruzione());
    p.close();
}

TEST(MainWindow, ShutdownSavesTheTypedTextsAndASecondStartRestoresThem) {
    WindowWorld world;
    world.start();
    world.w().SeSchede()->setText(QStringLiteral("dodici"));
    world.w().SeCopie()->setText(QStringLiteral("7"));
    world.w().CkUnSoloCorrettore()->setChecked(false);
    world.w().move(40, 30);
    world.stop();
    const std::string ini = slurp(world.dir.file("Vexora.ini"));
    EXPECT_NE(ini.find("Num. schede=dodici"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Num. copie=7"), std::string::npos);
    EXPECT_NE(ini.find("Solo un correttore=0"), std::string::npos);
    EXPECT_NE(ini.find("Pos. finestra L=40"), std::string::npos);

    world.start();
    EXPECT_EQ(world.w().SeSchede()->text(), QStringLiteral("dodici"));
    EXPECT_EQ(world.w().SeCopie()->text(), QStringLiteral("7"));
    EXPECT_FALSE(world.w().CkUnSoloCorrettore()->isChecked());
    EXPECT_FALSE(world.w().CkUnSoloCorrettore()->isHidden());
    EXPECT_EQ(world.w().frameGeometry().topLeft(), QPoint(40, 30));
    world.stop();
}

TEST(MainWindow, APositionOffEveryScreenIsCentredOnThePrimaryScreen) {
    WindowWorld world("[Status]\r\nPos. finestra L=-30000\r\nPos. finestra T=20000\r\n");
    world.start();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(world.w().frameGeometry().center()));
}

TEST(MainWindow, BrokenFilesGiveMessagesAndDisabledButtonsNeverACrash) {
    WindowWorld world;
    // A master cut in the middle, and no template at all.
    const std::string master = slurp(world.dir.file("NQM2016.QXD"));
    std::ofstream(world.dir.file("NQM2016.QXD"), std::ios::binary | std::ios::trunc)
        << master.substr(0, master.size() / 3);
    fs::remove(world.dir.path() / "Vexora.rav");
    world.start();
    TFormStampe& w = world.w();
    w.groupButton(CategoryGroup::AB)->click();
    EXPECT_FALSE(w.BtTipoEsame()->isEnabled());
    EXPECT_FALSE(w.BtTipoArgom()->isEnabled());

    w.groupButton(CategoryGroup::AM)->click();
    ASSERT_TRUE(w.BtTipoEsame()->isEnabled());
    w.BtTipoEsame()->click();
    w.BtPrint()->click();
    ASSERT_TRUE(w.lastRun().has_value());
    EXPECT_TRUE(w.lastRun()->printedLabels.empty());
    // With exceptions to the log (the default) the loaders and the renderer write there.
    EXPECT_NE(world.logText().find("NQM2016.QXD"), std::string::npos) << world.logText();
    EXPECT_NE(world.logText().find("StampaSchedaAM - "), std::string::npos) << world.logText();
    EXPECT_FALSE(world.progress().isVisible());
    EXPECT_TRUE(directChildrenEnabled(w));
}

TEST(Application, AnExceptionEscapingAHandlerIsLoggedAndTheProgramGoesOn) {
    WindowWorld world;
    world.start();
    struct Thrower : QObject {
        bool event(QEvent* e) override {
            if (e->type() == QEvent::User)
                throw std::runtime_error("guasto di prova");
            return QObject::event(e);
        }
    } thrower;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &event);
    EXPECT_NE(world.logText().find(">ERRORE: guasto di prova"), std::string::npos)
        << world.logText();

    // A settings file that cannot be written at shutdown: reported, and the program ends.
    fs::remove(world.dir.path() / "Vexora.ini");
    fs::create_directory(world.dir.path() / "Vexora.ini");
    world.stop();
    EXPECT_NE(world.logText().find("Vexora.ini"), std::string::npos) << world.logText();
}

}  // namespace
}  // namespace vexora::test

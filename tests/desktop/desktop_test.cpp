// The windows on a real X display with a real window manager, as a school meets them:
// what the window manager draws and moves, mouse input routed by position, and the
// ordinary mistakes and situations of a day at the desk.

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "data/options_numbering.h"
#include "data/table_file.h"
#include "desktop.h"
#include "support/save_faults.h"
#include "ui/form_opzioni.h"
#include "ui/form_progress.h"
#include "ui/form_stampe.h"
#include "ui/topic_lists.h"
#include "window_world.h"

namespace vexora::test {
namespace {

namespace fs = std::filesystem;
using ui::TFormStampe;

constexpr int kAbQuestions = 30;

// Rows of a saved print history with an exam mark.
int savedExamMarks(const fs::path& history) {
    const auto t = data::loadTableFile(history.string());
    int n = 0;
    for (const auto& row : t.rows)
        n += !data::isNull(row[14]);
    return n;
}

// The centre of a control in the coordinates of its window, for input routed by position.
QPoint centreInWindow(QWidget* w) {
    return w->mapTo(w->window(), w->rect().center());
}

// The whole text of a label that may show it shortened.
std::string wholeText(const QLabel* l) {
    return (l->toolTip().isEmpty() ? l->text() : l->toolTip()).toStdString();
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::size_t count(const std::vector<std::string>& texts, const std::string& part) {
    return static_cast<std::size_t>(std::count_if(
        texts.begin(), texts.end(), [&](const std::string& t) { return contains(t, part); }));
}

bool hasAction(const std::vector<std::string>& actions, const std::string& name) {
    return std::find(actions.begin(), actions.end(), "_NET_WM_ACTION_" + name) != actions.end();
}

// Calls `during` on every tick while the progress window shows.
struct DuringRun {
    QTimer timer;
    DuringRun(WindowWorld& world, std::function<void(ui::TFormProgress&)> during) {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&world, during] {
            if (world.progress().isVisible())
                during(world.progress());
        });
        timer.start();
    }
};

void chooseAbExamSheets(TFormStampe& w, const QString& sheets) {
    w.groupButton(CategoryGroup::AB)->click();
    w.BtTipoEsame()->click();
    w.SeSchede()->setText(sheets);
}

TEST(Desktop, TheOptionsWindowStepsAsideDuringARunAndTheRunKeepsItsCategory) {
    WindowWorld world;
    world.start();
    TFormStampe& w = world.w();
    ui::TFormOpzioni& o = world.program->optionsWindow();
    chooseAbExamSheets(w, QStringLiteral("6"));
    o.showOptions();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&o));
    o.PcOpzioni()->setCurrentIndex(1);  // "Schede quiz", as the school left it
    const fs::path cce = world.dir.path() / std::string(printHistoryFile(mqSuperC));
    const std::string cceBefore = slurp(cce);

    bool optionsSeen = false;
    bool tried = false;
    DuringRun during(world, [&](ui::TFormProgress&) {
        optionsSeen = optionsSeen || o.isVisible();
        if (!tried) {
            tried = true;
            // What the window-free layer refuses even when a window lets it through.
            o.categoryTab(tabOf(mqSuperC))->click();
            o.BtFullReset()->click();
        }
    });
    w.BtPrint()->click();

    ASSERT_TRUE(tried);
    EXPECT_FALSE(optionsSeen);  // it never covered the progress window
    ASSERT_TRUE(w.lastRun().has_value());
    EXPECT_EQ(w.lastRun()->printedLabels.size(), 6u);
    EXPECT_TRUE(w.lastRun()->saved);
    EXPECT_EQ(world.program->state().currentCategory, mqAB);
    // Six different sheets, all marked in AB's history; C-CE's untouched.
    EXPECT_EQ(savedExamMarks(world.dir.path() / std::string(printHistoryFile(mqAB))),
              6 * kAbQuestions);
    EXPECT_EQ(slurp(cce), cceBefore);
    EXPECT_GE(count(world.messages, std::string(runInProgressRefusal())), 1u);
    // Back as it was left.
    EXPECT_TRUE(o.isVisible());
    EXPECT_EQ(o.PcOpzioni()->currentIndex(), 1);
}

TEST(Desktop, OutputsThatCannotBeWrittenAreToldInTheirPlaceAndInABoxAtTheEnd) {
    WindowWorld world;  // exceptions to the log, as by default
    world.start();
    TFormStampe& w = world.w();
    chooseAbExamSheets(w, QStringLiteral("3"));
    const fs::path history = world.dir.path() / std::string(printHistoryFile(mqAB));
    const std::string historyBefore = slurp(history);

    std::vector<std::string> infos;
    DuringRun during(world, [&](ui::TFormProgress& p) {
        const std::string info = p.LbInfo()->text().toStdString();
        if (infos.empty() || infos.back() != info)
            infos.push_back(info);
    });
    {
        // No file grows past 4 KB: no PDF can be written, as in a folder that is full or
        // read-only (root ignores permission bits; the size limit holds for it too).
        FileSizeLimit limit(4096);
        w.BtPrint()->click();
    }
    ASSERT_TRUE(w.lastRun().has_value());
    EXPECT_TRUE(w.lastRun()->printedLabels.empty());
    EXPECT_GE(count(infos, "ERRORE - Scheda E00"), 1u);
    ASSERT_FALSE(world.messages.empty());
    const std::string& summary = world.messages.back();
    EXPECT_TRUE(contains(summary, "Stampate: 0 schede su 3")) << summary;
    EXPECT_TRUE(contains(summary, "NON stampate: 3 schede")) << summary;
    EXPECT_TRUE(contains(summary, (world.dir.path() / "AB_ESA").string())) << summary;
    EXPECT_TRUE(contains(summary, "il database di stampa non \u00e8 stato modificato")) << summary;
    EXPECT_EQ(slurp(history), historyBefore);
}

TEST(Desktop, CountersThatCannotBeSavedAreToldAtTheEndOfTheRunAndAtClosing) {
    WindowWorld world;
    fs::permissions(world.dir.path() / "Vexora.ini", fs::perms::owner_read | fs::perms::group_read,
                    fs::perm_options::replace);
    world.start();
    chooseAbExamSheets(world.w(), QStringLiteral("1"));
    world.w().BtPrint()->click();
    ASSERT_TRUE(world.w().lastRun().has_value());
    EXPECT_TRUE(world.w().lastRun()->counterSaveFailed);
    const std::string told = "Impossibile salvare la numerazione delle schede nel file";
    ASSERT_EQ(count(world.messages, told), 1u);
    EXPECT_TRUE(contains(world.messages.back(), "Vexora.ini")) << world.messages.back();
    EXPECT_TRUE(contains(world.messages.back(), "numeri gi\u00e0 stampati"));
    world.stop();  // still closes
    EXPECT_EQ(count(world.messages, told), 2u);
}

TEST(Desktop, TheWindowStartsWhereItWasClosedUnderAWindowManager) {
    WindowWorld world;
    std::optional<QPoint> first;
    for (int round = 0; round < 10; ++round) {
        world.start();
        ASSERT_TRUE(waitForFrame(world.w()));
        QTest::qWait(50);
        const QPoint at = world.w().frameGeometry().topLeft();
        if (!first)
            first = at;
        EXPECT_EQ(at, *first) << "start " << round + 1;
        world.stop();
    }
    const std::string ini = slurp(world.dir.file("Vexora.ini"));
    EXPECT_TRUE(contains(ini, "Pos. finestra L=" + std::to_string(first->x()))) << ini;
    EXPECT_TRUE(contains(ini, "Pos. finestra T=" + std::to_string(first->y()))) << ini;

    // Saved off every screen (a monitor gone): centred, title bar reachable.
    std::ofstream(world.dir.file("Vexora.ini"), std::ios::app)
        << "[Status]\r\nPos. finestra L=-30000\r\nPos. finestra T=20000\r\n";
    world.start();
    ASSERT_TRUE(waitForFrame(world.w()));
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(
        world.w().frameGeometry().topLeft()));
    world.stop();
}

TEST(Desktop, ADoubleClickOnTheExamButtonDoesNotPrint) {
    WindowWorld world;
    world.start();
    TFormStampe& w = world.w();
    ASSERT_TRUE(waitForFrame(w));
    w.groupButton(CategoryGroup::AB)->click();
    w.SeSchede()->setText(QStringLiteral("1"));
    const QPoint spot = centreInWindow(w.BtTipoEsame());

    QTest::mouseDClick(w.windowHandle(), Qt::LeftButton, {}, spot);
    QCoreApplication::processEvents();
    ASSERT_EQ(w.PcPagina()->currentIndex(), 2);
    // The print button took the second click's spot: the case that wasted paper.
    EXPECT_TRUE(QRect(w.BtPrint()->mapTo(&w, QPoint(0, 0)), w.BtPrint()->size()).contains(spot));
    EXPECT_FALSE(w.lastRun().has_value());

    // A deliberate click later prints.
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, spot);
    ASSERT_TRUE(w.lastRun().has_value());
    EXPECT_EQ(w.lastRun()->printedLabels.size(), 1u);
}

TEST(Desktop, ClosingTheWindowDuringARunAsksAndInterruptsCleanly) {
    WindowWorld world;
    world.start();
    TFormStampe& w = world.w();
    ASSERT_TRUE(waitForFrame(w));
    chooseAbExamSheets(w, QStringLiteral("40"));
    world.answer = false;
    int asked = 0;
    DuringRun during(world, [&](ui::TFormProgress& p) {
        const int shown = static_cast<int>(world.questions.size());
        if (asked == shown && asked < 2 && p.ProgressBarTot()->value() >= 20 * (asked + 1)) {
            if (asked == 1) {
                EXPECT_FALSE(p.Interruzione());  // "No": the run went on
                world.answer = true;
            }
            ++asked;
            askWindowManagerToClose(w);
        }
    });
    w.BtPrint()->click();
    ASSERT_EQ(world.questions.size(), 2u);
    EXPECT_EQ(world.questions[0], "Interrompere la stampa in corso?");
    ASSERT_TRUE(w.lastRun().has_value());
    EXPECT_TRUE(w.lastRun()->interrupted);
    EXPECT_TRUE(w.lastRun()->saved);
    EXPECT_LT(w.lastRun()->printedLabels.size(), 40u);
    const int printed = static_cast<int>(w.lastRun()->printedLabels.size());
    EXPECT_EQ(savedExamMarks(world.dir.path() / std::string(printHistoryFile(mqAB))),
              printed * kAbQuestions);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 3000));
}

// The texts of the buttons, labels and group boxes of the modal dialog that opens while
// `open` runs; the dialog is then cancelled.
std::vector<std::string> textsOfNextDialog(const std::function<void()>& open,
                                           const std::function<void(QWidget&)>& dismiss) {
    std::vector<std::string> texts;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible())
            return;
        poll.stop();
        QTest::qWait(100);  // shown and captioned
        for (auto* b : dialog->findChildren<QAbstractButton*>())
            if (b->isVisible())
                texts.push_back(b->text().remove(u'&').toStdString());
        for (auto* l : dialog->findChildren<QLabel*>())
            if (l->isVisible())
                texts.push_back(l->text().remove(u'&').toStdString());
        for (auto* g : dialog->findChildren<QGroupBox*>())
            if (g->isVisible())
                texts.push_back(g->title().remove(u'&').toStdString());
        dismiss(*dialog);
    });
    poll.start();
    open();
    return texts;
}

TEST(Desktop, StandardDialogsSpeakItalian) {
    WindowWorld world;
    world.start();
    world.program->interaction().setAnswerer({});
    const auto box = textsOfNextDialog(
        [&] {
            world.program->interaction().askYesNo("Si desidera resettare l'argomento selezionato?");
        },
        [](QWidget& d) { static_cast<QMessageBox&>(d).button(QMessageBox::No)->click(); });
    EXPECT_EQ(count(box, "S\u00ec"), 1u);
    EXPECT_EQ(count(box, "Yes"), 0u);

    const auto setup = textsOfNextDialog([&] { world.w().SbImpostaClick(); },
                                         [](QWidget& d) { static_cast<QDialog&>(d).reject(); });
    ASSERT_FALSE(setup.empty());
    EXPECT_EQ(count(setup, "OK"), 1u);
    EXPECT_EQ(count(setup, "Annulla"), 1u);
    for (const char* word : {"Stampa", "Print", "Printer", "Cancel", "Properties", "Options"}) {
        EXPECT_EQ(std::count(setup.begin(), setup.end(), std::string(word)), 0) << word;
    }
    for (const std::string& t : setup)
        EXPECT_FALSE(contains(t, "Output file") || contains(t, "Name:")) << t;
}

TEST(Desktop, ACategoryThatCannotBeOpenedSaysWhichFileAndWhere) {
    WindowWorld world;
    const std::string folder = world.dir.folder();
    fs::remove(world.dir.path() / std::string(masterFile(mqAB)));
    std::ofstream(world.dir.path() / std::string(topicListFile(mqAM)), std::ios::trunc)
        << "non \u00e8 un elenco";
    world.start();
    TFormStampe& w = world.w();

    w.groupButton(CategoryGroup::AB)->click();
    EXPECT_FALSE(w.BtTipoEsame()->isEnabled());
    ASSERT_TRUE(w.LbStatoArchivi()->isVisible());
    std::string line = wholeText(w.LbStatoArchivi());
    EXPECT_TRUE(contains(line, std::string(masterFile(mqAB)) + " non trovato")) << line;
    EXPECT_TRUE(contains(line, "Cercato in: " + folder)) << line;

    w.groupButton(CategoryGroup::AM)->click();
    EXPECT_TRUE(w.BtTipoEsame()->isEnabled());
    EXPECT_FALSE(w.BtTipoArgom()->isEnabled());
    line = wholeText(w.LbStatoArchivi());
    EXPECT_TRUE(contains(line, folder + std::string(topicListFile(mqAM)))) << line;

    // Data and template taken away while the program runs.
    fs::remove(world.dir.path() / std::string(masterFile(mqAM)));
    fs::remove(world.dir.path() / "Vexora.rav");
    w.groupButton(CategoryGroup::AM)->click();
    EXPECT_FALSE(w.BtTipoEsame()->isEnabled());
    line = wholeText(w.LbStatoArchivi());
    EXPECT_TRUE(contains(line, std::string(masterFile(mqAM)))) << line;
    EXPECT_TRUE(contains(line, "Modello di stampa non trovato")) << line;
    EXPECT_TRUE(contains(line, "File: " + folder + "Vexora.rav")) << line;

    // Everything back: the line goes away.
    fs::copy_file(sampleDataFolder() / std::string(masterFile(mqAB)),
                  world.dir.path() / std::string(masterFile(mqAB)));
    fs::copy_file(fs::path(VEXORA_PROGRAM_DIR) / "Vexora.rav", world.dir.path() / "Vexora.rav");
    w.groupButton(CategoryGroup::AB)->click();
    EXPECT_TRUE(w.BtTipoEsame()->isEnabled());
    EXPECT_FALSE(w.LbStatoArchivi()->isVisible()) << wholeText(w.LbStatoArchivi());
}

TEST(Desktop, LongTextsFitTheirPlaceAndMissingFiguresAreListedAtTheEnd) {
    WindowWorld world;
    // A figures folder that is not there, with a long name.
    const std::string figures =
        "/media/chiavetta-della-segreteria/archivio-2016/"
        "figure-ministeriali-aggiornate/PicSgn/";
    std::ofstream(world.dir.file("Vexora.ini"), std::ios::trunc)
        << "[Paths]\r\nFigure=" << figures << "\r\n[Debug]\r\nCkStampaSuPdf=1\r\n";
    world.start();
    TFormStampe& w = world.w();
    w.groupButton(CategoryGroup::AB)->click();
    EXPECT_TRUE(contains(wholeText(w.LbStatoArchivi()), figures));

    // Topic titles: whole in the tooltip, drawn to the list's width.
    const auto& topics = world.program->data().Argomenti;
    ASSERT_EQ(static_cast<std::size_t>(w.LbArgomenti()->count()), topics.size());
    const auto longest = std::max_element(topics.begin(), topics.end(), [](auto& a, auto& b) {
        return a.Testo.size() < b.Testo.size();
    });
    QListWidgetItem* item = w.LbArgomenti()->item(static_cast<int>(longest - topics.begin()));
    EXPECT_EQ(item->toolTip().toStdString(), longest->Testo);
    EXPECT_GT(w.LbArgomenti()->fontMetrics().horizontalAdvance(item->toolTip()),
              w.LbArgomenti()->viewport()->width());

    w.BtTipoEsame()->click();
    w.SeSchede()->setText(QStringLiteral("1"));
    std::vector<QString> warnings;
    int tooWide = 0;
    DuringRun during(world, [&](ui::TFormProgress& p) {
        const QString info = p.LbInfo()->text();
        if (!info.startsWith(QStringLiteral("Attenzione!")))
            return;
        if (p.LbInfo()->fontMetrics().horizontalAdvance(info) > p.LbInfo()->width())
            ++tooWide;
        warnings.push_back(info);
    });
    w.BtPrint()->click();
    ASSERT_FALSE(warnings.empty());
    EXPECT_EQ(tooWide, 0);
    // The beginning of the line and the file's name stay readable.
    EXPECT_TRUE(
        warnings.front().startsWith(QStringLiteral("Attenzione! Impossibile trovare la figura: ")));
    EXPECT_TRUE(warnings.front().endsWith(QStringLiteral(".bmp")))
        << warnings.front().toStdString();
    ASSERT_FALSE(world.messages.empty());
    EXPECT_TRUE(contains(world.messages.back(), "Figure non trovate")) << world.messages.back();
    EXPECT_TRUE(contains(world.messages.back(), figures)) << world.messages.back();
    EXPECT_TRUE(contains(world.logText(), "Figure non trovate: " + figures));
}

TEST(Desktop, TheSheetCountShowsTheNumberThatWillRun) {
    WindowWorld world;
    world.start();
    TFormStampe& w = world.w();
    w.groupButton(CategoryGroup::AB)->click();
    w.BtTipoEsame()->click();
    QLineEdit* field = w.SeSchede()->edit();
    auto type = [&](const QString& text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    };
    type(QStringLiteral("9999"));
    EXPECT_EQ(field->text(), QStringLiteral("600"));
    EXPECT_TRUE(w.LbSchedeAvviso()->isVisible());
    EXPECT_TRUE(w.LbSchedeAvviso()->text().contains(QStringLiteral("600")));
    type(QStringLiteral("abc"));
    EXPECT_EQ(field->text(), QStringLiteral("1"));
    EXPECT_TRUE(w.LbSchedeAvviso()->text().contains(QStringLiteral("Numero non valido")));
    type(QStringLiteral("3"));
    EXPECT_EQ(field->text(), QStringLiteral("3"));
    EXPECT_FALSE(w.LbSchedeAvviso()->isVisible());

    type(QStringLiteral("0"));
    EXPECT_TRUE(w.LbSchedeAvviso()->isVisible());
    w.BtPrint()->click();
    EXPECT_FALSE(w.lastRun().has_value());
    ASSERT_FALSE(world.messages.empty());
    EXPECT_TRUE(contains(world.messages.back(), "Nessuna scheda da stampare"))
        << world.messages.back();
}

TEST(Desktop, ProgressAndOptionsWindowsHaveNoSystemBoxes) {
    WindowWorld world;
    world.start();
    TFormStampe& w = world.w();
    ASSERT_TRUE(waitForFrame(w));
    // The main window keeps the window manager's frame with its own boxes.
    EXPECT_TRUE(hasAction(allowedActions(w), "CLOSE"));

    ui::TFormProgress& p = world.progress();
    ui::TFormOpzioni& o = world.program->optionsWindow();
    o.showOptions();
    p.Progress(0, 100, 0, 10, "Prova", "-1");
    for (QWidget* window : {static_cast<QWidget*>(&o), static_cast<QWidget*>(&p)}) {
        const std::string name = window->objectName().toStdString();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << name;
        QTest::qWait(200);  // time for a window manager to frame it
        // No frame of the window manager, so none of its boxes; a caption of its own.
        EXPECT_EQ(window->frameGeometry(), window->geometry()) << name;
        auto* strip = window->findChild<QWidget*>(QStringLiteral("TitleStrip"));
        ASSERT_NE(strip, nullptr) << name;
        EXPECT_TRUE(strip->isVisible()) << name;
        EXPECT_TRUE(strip->findChildren<QAbstractButton*>().empty()) << name;
        // Every control still in the window, under the strip.
        for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child == strip || child->objectName() == QStringLiteral("WindowBorder"))
                continue;
            EXPECT_GE(child->y(), strip->height())
                << name << " " << child->objectName().toStdString();
            EXPECT_LE(child->geometry().bottom(), window->height()) << name;
        }
    }
    EXPECT_EQ(p.frameGeometry().size(), QSize(460, 220));
    p.close();
}

}  // namespace
}  // namespace vexora::test

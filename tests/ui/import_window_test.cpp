// "Importa domande da file..." in the options window as a user drives it: the report,
// Annulla, then Importa of a list edited in a spreadsheet.

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "core/catalogue.h"
#include "data/options_numbering.h"
#include "data/table_file.h"
#include "data/table_values.h"
#include "importer/question_list.h"
#include "ui/form_opzioni.h"
#include "ui/form_stampe.h"
#include "ui/import_dialog.h"
#include "window_world.h"

namespace vexora::test {
namespace {

constexpr TModalitaQuiz kCategory = mqSuperC0;  // the smallest sample master

std::size_t column(const data::TableData& t, const char* name) {
    for (std::size_t i = 0; i < t.fields.size(); ++i)
        if (data::equalsIgnoreCase(t.fields[i].name, name))
            return i;
    ADD_FAILURE() << "no column " << name;
    return 0;
}

// The marks of each question in a print history (the dt... and rs... columns), by IdMaster.
std::map<std::int64_t, std::vector<std::string>> marksById(const data::TableData& history) {
    const std::size_t id = column(history, "IdMaster");
    std::map<std::int64_t, std::vector<std::string>> out;
    for (const auto& row : history.rows) {
        std::vector<std::string> marks;
        for (std::size_t i = 0; i < history.fields.size(); ++i) {
            const std::string& n = history.fields[i].name;
            if (n.starts_with("dt") || n.starts_with("rs"))
                marks.push_back(data::valueToString(history.fields[i], row[i]));
        }
        out[data::valueToInteger(history.fields[id], row[id])] = std::move(marks);
    }
    return out;
}

// "printed/total" of a topic-count line, changed by the given amounts.
QString countLine(const QString& line, int printed, int total) {
    const QStringList parts = line.split(QLatin1Char('/'));
    EXPECT_EQ(parts.size(), 2) << line.toStdString();
    return QString::number(parts.value(0).toInt() + printed) + QLatin1Char('/') +
           QString::number(parts.value(1).toInt() + total);
}

TEST(ImportWindow, AnnullaWritesNothingAndImportaReopensTheCategoryKeepingItsMarks) {
    WindowWorld world;
    world.start();
    ui::TFormStampe& w = world.w();
    ui::TFormOpzioni& o = world.program->optionsWindow();
    w.LOpzioniClick();
    o.PcOpzioni()->setCurrentIndex(1);
    o.categoryTab(tabOf(kCategory))->click();
    o.BtAnnulla()->click();
    ASSERT_EQ(world.program->state().currentCategory, kCategory);

    // One topic sheet printed: its questions are marked in the print history.
    w.BtTipoArgom()->click();
    const QPoint first = w.LbArgomenti()->visualItemRect(w.LbArgomenti()->item(0)).center();
    QTest::mouseClick(w.LbArgomenti()->viewport(), Qt::LeftButton, {}, first);
    w.BtAvanti()->click();
    w.SeSchede()->setText(QStringLiteral("1"));
    w.BtAvanti()->click();
    ASSERT_TRUE(w.lastRun().has_value() && w.lastRun()->saved);

    const std::string masterPath = world.dir.folder() + std::string(masterFile(kCategory));
    const std::string topicsPath = world.dir.folder() + std::string(topicListFile(kCategory));
    const std::string historyPath = world.dir.folder() + std::string(printHistoryFile(kCategory));
    const std::string masterBytes = slurp(masterPath);
    const std::string topicsBytes = slurp(topicsPath);
    const std::string historyBytes = slurp(historyPath);
    const auto marksBefore = marksById(data::loadTableFile(historyPath));

    // The list as a school edits it: a printed question of the first topic removed, a
    // question of another topic added.
    data::TableData master = data::loadTableFile(masterPath);
    const auto topics = importer::readTopicListFile(topicsPath);
    ASSERT_GE(topics.size(), 2u);
    const std::size_t mId = column(master, "Id"), mTesto = column(master, "Testo"),
                      mIndice = column(master, "Indice");
    const auto idOf = [&](const auto& row) {
        return data::valueToInteger(master.fields[mId], row[mId]);
    };
    const auto indiceOf = [&](const auto& row) {
        return data::valueToString(master.fields[mIndice], row[mIndice]);
    };
    std::int64_t maxId = 0;
    for (const auto& row : master.rows)
        maxId = std::max(maxId, idOf(row));
    const auto removed = std::find_if(master.rows.begin(), master.rows.end(), [&](const auto& r) {
        return indiceOf(r) == topics[0].Indice && marksBefore.at(idOf(r))[0] != "";
    });
    ASSERT_NE(removed, master.rows.end());
    const std::int64_t removedId = idOf(*removed);
    master.rows.erase(removed);
    const auto other = std::find_if(master.rows.begin(), master.rows.end(),
                                    [&](const auto& r) { return indiceOf(r) == topics[1].Indice; });
    ASSERT_NE(other, master.rows.end());
    auto added = *other;
    added[mId] = maxId + 1;
    added[mTesto] = std::string("Domanda aggiunta dall'autoscuola: è vietato sostare qui.");
    master.rows.push_back(added);
    const std::string csv = world.dir.file("lista.csv");
    std::ofstream(csv, std::ios::binary) << importer::questionListCsv(master, topics);

    w.LOpzioniClick();
    o.PcOpzioni()->setCurrentIndex(2);
    auto* button = o.findChild<QPushButton*>(QStringLiteral("BtImportaDomande"));
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible());
    auto* hooks = new ui::ImportDialogHooks(&o);
    hooks->chooseFile = [&] { return QString::fromStdString(csv); };
    std::vector<QString> reports, messages;
    bool import = false;
    hooks->answerReport = [&](ui::ImportReportDialog& d) {
        EXPECT_TRUE(d.isVisible());
        EXPECT_TRUE(d.BtImporta()->isEnabled());
        reports.push_back(d.report()->toPlainText());
        (import ? d.BtImporta() : d.BtAnnulla())->click();
    };
    hooks->message = [&](const QString& text) { messages.push_back(text); };
    std::vector<QString> countsBefore;
    for (int i = 0; i < w.LbCount()->count(); ++i)
        countsBefore.push_back(w.LbCount()->item(i)->text());

    button->click();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].contains(QString::number(master.rows.size()) + " domande"))
        << reports[0].toStdString();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(slurp(masterPath), masterBytes);
    EXPECT_EQ(slurp(topicsPath), topicsBytes);
    EXPECT_EQ(slurp(historyPath), historyBytes);

    import = true;
    button->click();
    ASSERT_EQ(reports.size(), 2u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Argomenti (stampate/totali):")))
        << messages[0].toStdString();

    // The category was opened again: the two topics' counts moved, the others stayed.
    ASSERT_EQ(w.LbCount()->count(), static_cast<int>(countsBefore.size()));
    std::vector<QString> expected = countsBefore;
    expected[0] = countLine(countsBefore[0], -1, -1);
    expected[1] = countLine(countsBefore[1], 0, +1);
    for (int i = 0; i < w.LbCount()->count(); ++i)
        EXPECT_EQ(w.LbCount()->item(i)->text().toStdString(),
                  expected[static_cast<std::size_t>(i)].toStdString())
            << i;
    EXPECT_TRUE(messages[0].contains(expected[0] + QStringLiteral("  ") +
                                     QString::fromStdString(topics[0].Testo)));

    // The history: marks kept by Id, the removed question's row gone, the new one unmarked.
    auto marksAfter = marksById(data::loadTableFile(historyPath));
    ASSERT_EQ(marksAfter.count(maxId + 1), 1u);
    for (const std::string& mark : marksAfter[maxId + 1])
        EXPECT_TRUE(mark.empty() || mark == "False") << mark;
    marksAfter.erase(maxId + 1);
    auto kept = marksBefore;
    kept.erase(removedId);
    EXPECT_EQ(marksAfter, kept);
    world.stop();
}

}  // namespace
}  // namespace vexora::test

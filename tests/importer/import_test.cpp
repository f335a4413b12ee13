#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "core/catalogue.h"
#include "core/file_util.h"
#include "core/folder_lock.h"
#include "data/table_file.h"
#include "data/table_values.h"
#include "importer/question_list.h"
#include "print/question_import.h"
#include "realistic_list.h"
#include "support/save_faults.h"
#include "support/temp_dir.h"
#include "vexora-sample-data/sample_data.h"

namespace vexora {
namespace {

namespace fs = std::filesystem;
using importer::QuestionList;

// QImage needs an application object for its plug-ins.
QGuiApplication& app() {
    static int argc = 1;
    static char name[] = "test_importer";
    static char* argv[] = {name, nullptr};
    static QGuiApplication a(argc, argv);
    return a;
}

std::string bytesOf(const std::string& path) {
    return readWholeFile(path, std::size_t{1} << 28).value_or("<missing>");
}

// The master columns the program reads, as text, row by row.
std::vector<std::vector<std::string>> programView(const data::TableData& t) {
    static const char* const names[] = {"Id",     "Testo",    "Risposta",  "Figura",
                                        "Libro1", "Libro2",   "Blocco",    "Domanda",
                                        "Indice", "Capitolo", "Difficolta"};
    std::vector<std::size_t> at;
    for (const char* n : names)
        for (std::size_t i = 0; i < t.fields.size(); ++i)
            if (data::equalsIgnoreCase(t.fields[i].name, n))
                at.push_back(i);
    EXPECT_EQ(at.size(), std::size(names));
    std::vector<std::vector<std::string>> out;
    for (const auto& row : t.rows) {
        std::vector<std::string> r;
        for (std::size_t i : at)
            r.push_back(data::valueToString(t.fields[i], row[i]));
        out.push_back(std::move(r));
    }
    return out;
}

bool sameTopics(const std::vector<importer::TopicEntry>& a,
                const std::vector<importer::TopicEntry>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].Testo != b[i].Testo || a[i].Indice != b[i].Indice ||
            a[i].Argomento != b[i].Argomento || a[i].SubArgomento != b[i].SubArgomento)
            return false;
    return true;
}

TEST(QuestionImport, ExportThenImportGivesTheSameMasterAndTopicsInEveryCategory) {
    app();
    test::TempDir dir;
    sampledata::GenerateOptions o;
    o.figures = false;
    sampledata::generateSampleData(dir.path(), o);
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        const std::string master = dir.folder() + std::string(masterFile(m));
        const std::string topics = dir.folder() + std::string(topicListFile(m));
        const auto before = programView(data::loadTableFile(master));
        const auto topicsBefore = importer::readTopicListFile(topics);
        const std::string csv = dir.file(std::string(categoryCode(m)) + ".csv");
        EXPECT_EQ(importer::exportQuestionList(dir.folder(), m, csv), before.size());

        print::ImportRequest r{dir.folder(), m, csv, {}, {}};
        const QuestionList list = print::prepareImport(r);
        ASSERT_TRUE(list.ok()) << importer::formatReport(list);
        EXPECT_EQ(list.textsTidied, 0);
        print::commitImport(r, list);
        EXPECT_EQ(programView(data::loadTableFile(master)), before);
        EXPECT_TRUE(sameTopics(importer::readTopicListFile(topics), topicsBefore));
    }
}

TEST(QuestionImport, RealisticListWithPngFiguresIsImportedWhole) {
    app();
    test::TempDir dir;
    const test::RealisticList src = test::makeRealisticList(4000, 120);
    test::writePngFigures(dir.path() / "immagini", src.figures);
    fs::remove(dir.path() / "immagini" / (src.figures.back() + ".png"));  // one missing
    { std::ofstream(dir.file("lista.csv"), std::ios::binary) << src.csv; }
    print::ImportRequest r{dir.folder(), mqAB, dir.file("lista.csv"), dir.file("immagini"),
                           dir.folder() + "PicSgn/"};
    const QuestionList list = print::prepareImport(r);
    ASSERT_TRUE(list.ok()) << importer::formatReport(list);
    EXPECT_EQ(list.master.rows.size(), 4000u);
    EXPECT_EQ(list.topics.size(), 31u);
    EXPECT_EQ(list.textsTidied, src.tidiedTexts);
    EXPECT_EQ(list.figures.size(), src.figures.size() - 1);
    ASSERT_EQ(list.warnings.size(), 1u);
    EXPECT_NE(list.warnings[0].text.find(src.figures.back()), std::string::npos);

    const print::ImportOutcome out = print::commitImport(r, list);
    EXPECT_EQ(out.figuresWritten, src.figures.size() - 1);
    const QImage bmp(QString::fromStdString(dir.folder() + "PicSgn/101.bmp"), "BMP");
    ASSERT_FALSE(bmp.isNull());
    EXPECT_EQ(bmp.pixelColor(0, 0), QColor(Qt::white));  // transparency on white

    const data::TableData master = data::loadTableFile(dir.folder() + "NQM2016.QXD");
    const auto view = programView(master);
    EXPECT_EQ(view[1][1],
              "Si può sorpassare a destra, se il veicolo che precede segnala di "
              "voltare a sinistra, domanda n° 2.");
    EXPECT_EQ(view[0][1],
              "Il segnale raffigurato è posto in prossimità di un incrocio; quesito "
              "«1». fine");
    EXPECT_EQ(view[0][3], "101");
    EXPECT_EQ(importer::readTopicListFile(dir.folder() + "ARG2013.XML")[0].Testo,
              "Argomento 1: segnali, precedenze; \"norme\" di comportamento e velocità");
}

TEST(QuestionImport, HistoryKeepsTheMarksOfTheQuestionsThatStay) {
    app();
    test::TempDir dir;
    const auto writeList = [&](int rows) {
        std::ofstream(dir.file("lista.csv"), std::ios::binary)
            << test::makeRealisticList(rows, 0).csv;
    };
    writeList(600);
    print::ImportRequest r{dir.folder(), mqAB, dir.file("lista.csv"), {}, {}};
    print::commitImport(r, print::prepareImport(r));
    // A history as the program makes it, with question 3 printed on an exam sheet.
    const std::string historyFile = dir.folder() + "NQP2016.QXD";
    data::TableData history;
    history.fields = data::printHistoryFields();
    history.autoIncValue = 1;
    data::TableData master = data::loadTableFile(dir.folder() + "NQM2016.QXD");
    data::alignHistoryWithMaster(master, history);
    for (auto& row : history.rows)
        if (std::get<std::int64_t>(row[1]) == 3) {
            row[14] = data::DateTimeValue{63'900'000'000'000};  // dtEsame
            row[15] = true;
        }
    data::saveTableFile(historyFile, history);

    // A question moved to another chapter keeps its mark and follows in the history.
    master.rows[2][9] = std::string("25");
    data::TableData moved = history;
    EXPECT_EQ(data::alignHistoryWithMaster(master, moved).updated, 1u);
    EXPECT_EQ(std::get<std::string>(moved.rows[2][5]), "25");
    EXPECT_TRUE(std::get<bool>(moved.rows[2][15]));

    writeList(550);  // questions 551..600 leave
    const print::ImportOutcome out = print::commitImport(r, print::prepareImport(r));
    EXPECT_EQ(out.history.dropped, 50u);
    EXPECT_EQ(out.history.added, 0u);
    const data::TableData after = data::loadTableFile(historyFile);
    ASSERT_EQ(after.rows.size(), 550u);
    for (const auto& row : after.rows)
        EXPECT_EQ(!data::isNull(row[14]), std::get<std::int64_t>(row[1]) == 3);
}

class BadInput : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        std::ofstream(dir.file("buona.csv"), std::ios::binary)
            << test::makeRealisticList(300, 0).csv;
        print::ImportRequest r{dir.folder(), mqAB, dir.file("buona.csv"), {}, {}};
        print::commitImport(r, print::prepareImport(r));
        std::ofstream(dir.folder() + "NQP2016.QXD") << "storico";
        masterBefore = bytesOf(dir.folder() + "NQM2016.QXD");
        topicsBefore = bytesOf(dir.folder() + "ARG2013.XML");
    }
    // Imports path into AB, expecting a refusal whose report holds part.
    void expectRefused(const std::string& path, const std::string& part,
                       const std::string& pictures = {}) {
        print::ImportRequest r{dir.folder(), mqAB, path, pictures, {}};
        const QuestionList l = print::prepareImport(r);
        EXPECT_FALSE(l.ok());
        EXPECT_NE(importer::formatReport(l).find(part), std::string::npos)
            << importer::formatReport(l);
        EXPECT_THROW(print::commitImport(r, l), importer::ImportError);
        expectUntouched();
    }
    void expectUntouched() {
        EXPECT_EQ(bytesOf(dir.folder() + "NQM2016.QXD"), masterBefore);
        EXPECT_EQ(bytesOf(dir.folder() + "ARG2013.XML"), topicsBefore);
        EXPECT_EQ(bytesOf(dir.folder() + "NQP2016.QXD"), "storico");
    }
    test::TempDir dir;
    std::string masterBefore, topicsBefore;
};

TEST_F(BadInput, EveryKindIsRefusedAndNothingIsWritten) {
    const auto file = [&](const char* name, const std::string& bytes) {
        std::ofstream(dir.file(name), std::ios::binary) << bytes;
        return dir.file(name);
    };
    expectRefused(file("vuoto.csv", ""), "il file è vuoto");
    expectRefused(file("binario.csv", std::string("\x7F"
                                                  "ELF\2\1\1\0\0\0",
                                                  10)),
                  "dati binari");
    expectRefused(file("testo.csv", "Caro cliente,\nle scriviamo per\n"), "colonne richieste");
    expectRefused(dir.file("manca.csv"), "non si può leggere");
    {
        std::ofstream big(dir.file("grande.csv"), std::ios::binary);
        big << "Testo;Risposta;Capitolo\n";
        const std::string line(1023, 'x');
        for (int i = 0; i < 50 * 1024; ++i)
            big << line << '\n';
    }
    expectRefused(dir.file("grande.csv"), "troppo grande (50.0 MB)");
    std::string withFigure = test::makeRealisticList(300, 3).csv;
    expectRefused(file("figure.csv", withFigure), "non si può leggere",
                  dir.file("cartella-che-non-c-e"));
    fs::create_directories(dir.path() / "finte");
    std::ofstream(dir.path() / "finte" / "101.png") << "non sono un PNG";
    expectRefused(dir.file("figure.csv"), "non è un'immagine", dir.file("finte"));
}

// An unwritable program folder: a tmpfs remounted read-only as root, the folder's write
// bits taken away for other users.
TEST(FaultsImport, AnUnwritableProgramFolderKeepsTheOldFiles) {
    app();
    test::TempDir dir;
    const fs::path folder = dir.path() / "programma";
    test::ScratchDisk disk(folder, std::size_t{8} << 20);
    if (!disk.available() && ::geteuid() == 0)
        GTEST_SKIP() << "running as root without a tmpfs: " << disk.why();
    const std::string prog = folder.string() + "/";
    std::ofstream(dir.file("prima.csv"), std::ios::binary) << test::makeRealisticList(300, 0).csv;
    std::ofstream(dir.file("dopo.csv"), std::ios::binary) << test::makeRealisticList(400, 0).csv;
    print::ImportRequest first{prog, mqAB, dir.file("prima.csv"), {}, {}};
    print::commitImport(first, print::prepareImport(first));
    const std::string master = bytesOf(prog + "NQM2016.QXD");
    const std::string topics = bytesOf(prog + "ARG2013.XML");

    print::ImportRequest second{prog, mqAB, dir.file("dopo.csv"), {}, {}};
    const QuestionList l = print::prepareImport(second);
    ASSERT_TRUE(l.ok());
    if (disk.available())
        ASSERT_TRUE(disk.setReadOnly(true));
    else
        fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
    try {
        print::commitImport(second, l);
        ADD_FAILURE() << "the import wrote into a read-only folder";
    } catch (const importer::ImportError& e) {
        EXPECT_NE(std::string(e.what()).find("NQM2016.QXD"), std::string::npos) << e.what();
    }
    if (disk.available())
        disk.setReadOnly(false);
    else
        fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(bytesOf(prog + "NQM2016.QXD"), master);
    EXPECT_EQ(bytesOf(prog + "ARG2013.XML"), topics);
}

TEST_F(BadInput, TheToolRefusesAFolderInUseAndCheckWritesNothing) {
    const std::string tool = std::string(VEXORA_PROGRAM_DIR) + "/vexora-import";
    std::ofstream(dir.file("nuova.csv"), std::ios::binary) << test::makeRealisticList(400, 0).csv;
    const std::string args = " --folder '" + dir.folder() + "' --category AB '" +
                             dir.file("nuova.csv") + "' > '" + dir.file("out.txt") + "' 2>&1";
    {
        const FolderLock lock(dir.folder());
        ASSERT_TRUE(lock.held());
        EXPECT_EQ(WEXITSTATUS(std::system((tool + args).c_str())), 1);
        EXPECT_NE(bytesOf(dir.file("out.txt")).find("già in uso su questa cartella"),
                  std::string::npos);
        expectUntouched();
    }
    EXPECT_EQ(WEXITSTATUS(std::system((tool + " --check" + args).c_str())), 0);
    EXPECT_NE(bytesOf(dir.file("out.txt")).find("Nessun errore"), std::string::npos);
    expectUntouched();
    EXPECT_EQ(WEXITSTATUS(std::system((tool + args).c_str())), 0);
    EXPECT_NE(bytesOf(dir.file("out.txt")).find("Importate 400 domande"), std::string::npos);
    EXPECT_NE(bytesOf(dir.folder() + "NQM2016.QXD"), masterBefore);
}

}  // namespace
}  // namespace vexora

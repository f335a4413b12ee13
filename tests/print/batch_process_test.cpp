// vexora-batch as a process: exit codes, files written, the settings file afterwards and
// Ctrl+C in the middle of a run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "core/folder_lock.h"
#include "data/table_file.h"
#include "support/save_faults.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using vexora::test::TempDir;

namespace {

const std::string kBin = VEXORA_PROGRAM_DIR;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Starts a program with its output going to two files; returns its pid.
pid_t start(const std::vector<std::string>& args, const std::string& outFile,
            const std::string& errFile) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int waitExit(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class BatchProcess : public ::testing::Test {
protected:
    static TempDir* data_;

    static void SetUpTestSuite() {
        data_ = new TempDir;
        const pid_t pid = start({kBin + "/vexora-sample-data", data_->folder(), "--seed", "7"},
                                data_->file("gen.out"), data_->file("gen.err"));
        ASSERT_EQ(waitExit(pid), 0) << slurp(data_->file("gen.err"));
    }
    static void TearDownTestSuite() {
        delete data_;
        data_ = nullptr;
    }

    TempDir dir;
    TempDir io;  // the process's captured output, outside the program folder

    void SetUp() override {
        if (!fs::exists(kBin + "/vexora-batch") || !fs::exists(kBin + "/Vexora.rav")) {
            GTEST_SKIP() << "vexora-batch or Vexora.rav not built in " << kBin;
        }
        // A program folder of our own: the sample data, the template, no outputs.
        for (const auto& e : fs::directory_iterator(data_->path())) {
            if (e.path().extension() == ".QXD" || e.path().extension() == ".XML" ||
                e.path().filename() == "Vexora.ini") {
                fs::copy_file(e.path(), dir.path() / e.path().filename());
            }
        }
        fs::copy_file(kBin + "/Vexora.rav", dir.file("Vexora.rav"));
    }

    Outcome batch(std::vector<std::string> args) {
        args.insert(args.begin(), {kBin + "/vexora-batch", "--folder", dir.folder()});
        Outcome o;
        o.exitCode = waitExit(start(args, io.file("out.txt"), io.file("err.txt")));
        o.out = slurp(io.file("out.txt"));
        o.err = slurp(io.file("err.txt"));
        return o;
    }

    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::stringstream ss(text);
        for (std::string l; std::getline(ss, l);)
            out.push_back(l);
        return out;
    }

    int examMarks(const std::string& historyName) {
        const auto t = vexora::data::loadTableFile(dir.file(historyName));
        int n = 0;
        for (const auto& row : t.rows)
            n += !vexora::data::isNull(row[14]);
        return n;
    }
};

TempDir* BatchProcess::data_ = nullptr;

}  // namespace

TEST_F(BatchProcess, UsageErrorsExitWithTwo) {
    EXPECT_EQ(batch({"--help"}).exitCode, 0);
    EXPECT_NE(batch({"--help"}).out.find("--topics"), std::string::npos);
    EXPECT_EQ(batch({"--category", "XX", "--kind", "esame"}).exitCode, 2);
    EXPECT_EQ(batch({"--category", "AB"}).exitCode, 2);
    const Outcome noTopics = batch({"--category", "C1", "--kind", "argomento"});
    EXPECT_EQ(noTopics.exitCode, 2);
    EXPECT_NE(noTopics.err.find("--topics"), std::string::npos);
    EXPECT_EQ(batch({"--category", "AB", "--kind", "esame", "--sheets", "abc"}).exitCode, 2);
    EXPECT_EQ(batch({"--category", "AB", "--kind", "esame", "--pdf", "--printer", "X"}).exitCode,
              2);
    EXPECT_EQ(
        batch({"--category", "C1", "--kind", "argomento", "--topics", "1,99", "--pdf"}).exitCode,
        2);
}

TEST_F(BatchProcess, PrintsSheetsAndKeysAndListsTheFiles) {
    const Outcome o = batch({"--category", "AB", "--kind", "esame", "--sheets", "5", "--pdf",
                             "--key-text", "--seed", "3"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const auto files = lines(o.out);
    std::set<std::string> names;
    for (const auto& f : files) {
        EXPECT_TRUE(fs::exists(f)) << f;
        names.insert(fs::path(f).filename().string());
    }
    for (int i = 1; i <= 5; ++i)
        EXPECT_TRUE(names.count("AB_ESAE00" + std::to_string(i) + ".pdf"));
    EXPECT_EQ(files.size(), 5u + 2u * 2u);  // 5 sheets, 2 keys as PDF and as text
    EXPECT_EQ(examMarks("NQP2016.QXD"), 150);

    // The counters advanced; this run's options stayed out of the settings file.
    const std::string ini = slurp(dir.file("Vexora.ini"));
    EXPECT_NE(ini.find("Progressivo Esa AB=6"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("CkStampaSuPdf=1"), std::string::npos);
    EXPECT_EQ(ini.find("CkSaveCorrTxt=1"), std::string::npos);
}

TEST_F(BatchProcess, TopicSheetsOfChosenTopics) {
    const Outcome o = batch({"--category", "C1", "--kind", "argomento", "--topics", "1,2,3,4",
                             "--sheets", "2", "--pdf", "--seed", "5"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("C1_ARGA001.pdf"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("C1_ARGA002.pdf"), std::string::npos);
}

TEST_F(BatchProcess, CategoryThatCannotBeOpenedExitsWithOne) {
    fs::remove(dir.file("SQM2014.4.QXD"));
    const Outcome o = batch({"--category", "S4", "--kind", "esame", "--pdf"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("Est. C-CE"), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(dir.file("SQP2014.4.QXD")));
}

TEST_F(BatchProcess, CtrlCKeepsAValidHistoryWithThePrintedSheetsMarks) {
    const pid_t pid = start({kBin + "/vexora-batch", "--folder", dir.folder(), "--category", "AB",
                             "--kind", "esame", "--sheets", "200", "--pdf", "--seed", "9"},
                            io.file("out.txt"), io.file("err.txt"));
    // Wait until a few sheets are out, then interrupt.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!fs::exists(dir.file("AB_ESAE004.pdf")) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(fs::exists(dir.file("AB_ESAE004.pdf")));
    kill(pid, SIGINT);
    const int code = waitExit(pid);
    EXPECT_EQ(code, 3) << slurp(io.file("err.txt"));

    int printed = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        printed += e.path().filename().string().rfind("AB_ESAE", 0) == 0 ? 1 : 0;
    }
    EXPECT_GE(printed, 4);
    EXPECT_LT(printed, 200);
    EXPECT_EQ(examMarks("NQP2016.QXD"), 30 * printed);
    EXPECT_NE(
        slurp(dir.file("Vexora.ini")).find("Progressivo Esa AB=" + std::to_string(printed + 1)),
        std::string::npos);
}

TEST_F(BatchProcess, FailuresAreExplainedOnStderrAndProgressKeepsOneLinePerSheet) {
    // Without a template every sheet fails; the reason, logged by the renderer, is shown
    // and names the file.
    fs::remove(dir.file("Vexora.rav"));
    const Outcome failed = batch({"--category", "AB", "--kind", "esame", "--pdf"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find("ERRORE: FormStampe.StampaSchedaAB - Nessun file di template "
                              "impostato: il file \"" +
                              dir.file("Vexora.rav") + "\" non esiste"),
              std::string::npos)
        << failed.err;

    fs::copy_file(kBin + "/Vexora.rav", dir.file("Vexora.rav"));
    const Outcome o = batch({"--category", "AB", "--kind", "esame", "--sheets", "3", "--pdf",
                             "--copies", "2", "--seed", "4"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    int sheetLines = 0;
    for (const auto& line : lines(o.err)) {
        EXPECT_EQ(line.find("Preparazione della scheda"), std::string::npos) << line;
        EXPECT_EQ(line.find("Ricombinazione"), std::string::npos) << line;
        sheetLines +=
            line.find("Avvio stampa per un file PDF della scheda E00") != std::string::npos;
    }
    EXPECT_EQ(sheetLines, 3) << o.err;
    EXPECT_NE(o.err.find("--copies 2 non si applica"), std::string::npos) << o.err;

    // The batch command has no window: it leaves the window position alone.
    EXPECT_EQ(slurp(dir.file("Vexora.ini")).find("Pos. finestra"), std::string::npos);
}

TEST_F(BatchProcess, FolderInUseByAnotherProgramIsRefusedUntilItEnds) {
    // Another program on the folder: a child holding its lock, killed afterwards.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const vexora::FolderLock lock(dir.folder());
        const char c = lock.held() ? 'h' : 'n';
        if (write(ready[1], &c, 1) == 1) {
            for (;;)
                pause();
        }
        _exit(2);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    close(ready[1]);
    ASSERT_EQ(c, 'h');
    const std::string settings = slurp(dir.file("Vexora.ini"));
    const std::string history = slurp(dir.file("NQP2016.QXD"));

    const Outcome refused = batch({"--category", "AB", "--kind", "esame", "--pdf"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err,
              "vexora-batch: " + vexora::folderInUseMessage(dir.folder(), holder) + "\n");
    EXPECT_EQ(slurp(dir.file("Vexora.ini")), settings);
    EXPECT_EQ(slurp(dir.file("NQP2016.QXD")), history);
    EXPECT_FALSE(fs::exists(dir.file("AB_ESAE001.pdf")));

    kill(holder, SIGKILL);
    waitExit(holder);
    const Outcome after = batch({"--category", "AB", "--kind", "esame", "--pdf"});
    EXPECT_EQ(after.exitCode, 0) << after.err;
    EXPECT_TRUE(fs::exists(dir.file("AB_ESAE001.pdf")));
}

TEST_F(BatchProcess, HistoryOrCountersThatCannotBeSavedFailTheRunAndOpenTheClosingReport) {
    // The first run creates the history; then its file, later the settings file, refuse
    // to be replaced (no write bit: refused for root too).
    ASSERT_EQ(batch({"--category", "AB", "--kind", "esame", "--sheets", "0"}).exitCode, 0);
    const std::string history = dir.file("NQP2016.QXD");
    const std::string settings = dir.file("Vexora.ini");
    const auto closingReport = [](const Outcome& o) {
        // Everything after the last progress line of a sheet.
        std::vector<std::string> all = lines(o.err);
        std::size_t start = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i].find("scheda E0") != std::string::npos)
                start = i + 1;
        }
        while (start < all.size() && all[start].rfind("vexora-batch: ERRORE:", 0) != 0 &&
               all[start].rfind("Schede stampate", 0) != 0)
            ++start;
        return std::vector<std::string>(all.begin() + static_cast<long>(start), all.end());
    };

    fs::permissions(history, fs::perms::owner_read | fs::perms::group_read);
    const std::string before = slurp(history);
    const Outcome noHistory =
        batch({"--category", "AB", "--kind", "esame", "--sheets", "2", "--pdf", "--seed", "2"});
    EXPECT_EQ(noHistory.exitCode, 3) << noHistory.err;
    EXPECT_TRUE(fs::exists(dir.file("AB_ESAE001.pdf")));
    EXPECT_EQ(slurp(history), before);
    std::vector<std::string> report = closingReport(noHistory);
    ASSERT_FALSE(report.empty()) << noHistory.err;
    EXPECT_EQ(report.front(), "vexora-batch: ERRORE: Il database di stampa \"" + history +
                                  "\" non \u00e8 stato salvato: le domande delle 2 schede "
                                  "stampate (da E001 a E002) non risultano segnate come "
                                  "stampate nel file.")
        << noHistory.err;
    fs::permissions(history, fs::perms::owner_read | fs::perms::owner_write);

    // A disk that fills up before the history fits (the sheets' files are smaller).
    Outcome noRoom;
    {
        const vexora::test::FileSizeLimit full(fs::file_size(history) - 1);
        noRoom = batch(
            {"--category", "AB", "--kind", "esame", "--sheets", "1", "--pdf", "--seed", "5"});
    }
    EXPECT_EQ(noRoom.exitCode, 3) << noRoom.err;
    EXPECT_TRUE(fs::exists(dir.file("AB_ESAE003.pdf"))) << noRoom.err;
    report = closingReport(noRoom);
    ASSERT_FALSE(report.empty()) << noRoom.err;
    EXPECT_EQ(report.front(), "vexora-batch: ERRORE: Il database di stampa \"" + history +
                                  "\" non \u00e8 stato salvato: le domande della scheda "
                                  "stampata E003 non risultano segnate come stampate nel file.")
        << noRoom.err;
    EXPECT_EQ(slurp(history), before);

    fs::permissions(settings, fs::perms::owner_read | fs::perms::group_read);
    const Outcome noCounters =
        batch({"--category", "AB", "--kind", "esame", "--sheets", "1", "--pdf", "--seed", "3"});
    fs::permissions(settings, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(noCounters.exitCode, 3) << noCounters.err;
    report = closingReport(noCounters);
    ASSERT_FALSE(report.empty()) << noCounters.err;
    EXPECT_EQ(report.front().rfind("vexora-batch: ERRORE: Il file delle impostazioni \"" +
                                       settings + "\" non \u00e8 stato salvato: i contatori",
                                   0),
              0u)
        << noCounters.err;
    EXPECT_EQ(examMarks("NQP2016.QXD"), 30);  // this run's history was saved
}

TEST_F(BatchProcess, LeftoverTemporariesOfKilledSavesAreRemovedAtStart) {
    const std::string left = dir.file("NQP2016.QXD.0a1b2c3d.tmp");
    const std::string notOurs = dir.file("appunti.tmp");
    std::ofstream(left) << "half a history";
    std::ofstream(notOurs) << "x";
    EXPECT_EQ(batch({"--category", "AB", "--kind", "esame", "--sheets", "0"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(left));
    EXPECT_TRUE(fs::exists(notOurs));
}

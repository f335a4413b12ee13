// The answer-key text file and the PDF output under real faults (a disk full at any
// byte, a full or read-only disk, a read-only file, a vanished folder, processes killed
// while they save), and the print job driver when the print history cannot be saved:
// the printed sheets' marks are never lost without a word.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/table_file.h"
#include "print/print_job_driver.h"
#include "print/text_util.h"
#include "print_world.h"
#include "support/compose_world.h"
#include "support/save_faults.h"

using namespace vexora;
using namespace vexora::test;

namespace {

// The AB answer key of one sheet, saved as text and as PDF by StampaCorrettore, in a
// program folder of its own. Version v shows in every entry's master id and answer.
class AnswerKey : public SavedFile {
public:
    AnswerKey(const std::filesystem::path& folder, const char* extension)
        : path_((folder / ("Correttore AB E001" + std::string(extension))).string()) {
        w_.switches.CkNoExceptMsg = false;  // failures as boxes, which the test reads
        w_.switches.CkProgFlowLog = false;
        // The PDF kind alone: the text file, written first, would take the faults.
        w_.switches.CkSaveCorrTxt = path_.compare(path_.size() - 4, 4, ".txt") == 0;
        w_.state.currentCategory = mqAB;
        w_.state.programFolder = folder.string() + "/";
        w_.useTemplateFile(builtTemplatePath());
    }

    std::string file() const override { return path_; }

    std::string save(int v) override {
        auto acc = w_.composer.keyAccumulator(mqAB);
        for (std::size_t i = 0; i < 30; ++i)
            acc[i] = entry(v, static_cast<int>(i) + 1);
        if (w_.printer.StampaCorrettore(1, 1))
            return "";
        if (w_.ui.messages.empty())
            return "StampaCorrettore failed without a message";
        std::string m = w_.ui.messages.back();
        w_.ui.messages.clear();
        return m;
    }

    std::string check() override {
        const std::string bytes = bytesOf(path_);
        if (path_.size() > 4 && path_.compare(path_.size() - 4, 4, ".pdf") == 0)
            return wholePdf(bytes);
        // The text of one version, byte for byte.
        const std::size_t bar = bytes.find(" | ");
        const int v = bar == std::string::npos ? 0 : std::atoi(bytes.c_str() + bar + 3) / 100;
        std::vector<std::string> lines;
        for (int i = 1; i <= 30; ++i)
            lines.push_back(print::keyTextLine(entry(v, i), i));
        lines.emplace_back(print::kKeyBlockSeparator);
        return bytes == print::keyTextFileBytes(lines) ? "" : "not the key of one save: " + bytes;
    }

private:
    static compose::TCorrettPrint entry(int v, int i) {
        return {"E001", (i + v) % 3 == 0 ? "F" : "V", v * 100 + i, std::to_string(i) + "/1"};
    }

    // A PDF that ends where its trailer says: the header, the cross-reference table at
    // the offset startxref names, and the end-of-file marker last.
    static std::string wholePdf(const std::string& bytes) {
        if (bytes.rfind("%PDF-", 0) != 0)
            return "no PDF header";
        const std::size_t eof = bytes.rfind("%%EOF");
        if (eof == std::string::npos ||
            bytes.find_first_not_of("\r\n", eof + 5) != std::string::npos)
            return "the PDF does not end with %%EOF";
        const std::size_t start = bytes.rfind("startxref");
        if (start == std::string::npos)
            return "no startxref";
        const long offset = std::atol(bytes.c_str() + start + 9);
        if (offset <= 0 || static_cast<std::size_t>(offset) >= start ||
            bytes.compare(static_cast<std::size_t>(offset), 4, "xref") != 0)
            return "startxref does not point at the cross-reference table";
        return "";
    }

    PrintWorld w_;
    std::string path_;
};

struct Kind {
    const char* name;
    SavedFileMaker make;
};

const Kind kKinds[] = {
    {"KeyText", [](const auto& f) { return std::make_unique<AnswerKey>(f, ".txt"); }},
    {"KeyPdf", [](const auto& f) { return std::make_unique<AnswerKey>(f, ".pdf"); }},
};

class FaultsPrintSaves : public testing::TestWithParam<Kind> {
protected:
    TempDir dir;
    std::filesystem::path folder = dir.path() / "programma";
};

}  // namespace

TEST_P(FaultsPrintSaves, DiskFullAtAnyByteIsRefused) {
    EXPECT_GT(expectFullDiskAtAnyByteRefused(GetParam().make, folder), 64);
}

TEST_P(FaultsPrintSaves, FullDiskIsRefused) {
    expectFullScratchDiskRefused(GetParam().make, folder);
}

TEST_P(FaultsPrintSaves, ReadOnlyFolderIsRefused) {
    expectReadOnlyFolderRefused(GetParam().make, folder);
}

TEST_P(FaultsPrintSaves, ReadOnlyEarlierOutputIsKeptAndTheNewOneWrittenBeside) {
    // Outputs are never replaced: a read-only earlier one stays as it is, and the new one
    // goes beside it under a free name.
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    auto f = GetParam().make(folder);
    ASSERT_EQ(f->save(1), "");
    const std::string before = bytesOf(f->file());
    fs::permissions(f->file(), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(f->save(2), "");
    fs::permissions(f->file(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(bytesOf(f->file()), before);
    EXPECT_EQ(f->check(), "");
}

TEST_P(FaultsPrintSaves, KilledSavesLeaveWholeFiles) {
    expectKilledSavesLeaveWholeFiles(GetParam().make, folder, 200);
}

INSTANTIATE_TEST_SUITE_P(Saves, FaultsPrintSaves, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<Kind>& i) { return i.param.name; });

TEST_P(FaultsPrintSaves, VanishedProgramFolderIsRefused) {
    // The template goes with the folder: the message names the folder's template.
    expectVanishedFolderRefused(GetParam().make, folder, folder.string());
}

namespace {

// Prints every sheet and key; runs `duringSheet` while printing each sheet.
class PrintingRenderers : public print::SheetRenderers {
public:
    std::function<void()> duringSheet;
    bool StampaScheda(TModalitaQuiz, TTipoDiStampa, const std::string&) override {
        if (duringSheet)
            duringSheet();
        return true;
    }
    bool StampaCorrettore(TModalitaQuiz, int) override { return true; }
};

struct FaultsHistoryAfterRun : testing::Test {
    ComposeWorld w;
    PrintingRenderers renderers;
    print::PrintJobDriver driver{w.state, w.reporting, w.progress, w.platform,
                                 w.qd,    w.composer,  renderers,  nullptr};

    FaultsHistoryAfterRun() { w.open(mqAB, chapterMaster(25, 40), numberedTopics(3)); }

    print::PrintRunResult run(int sheets) {
        print::PrintRequest r;
        r.sheetsText = std::to_string(sheets);
        return driver.AvviaStampaSchede(tdsEsame, r);
    }
    int savedExamMarks() { return w.savedExamMarks(); }
};

}  // namespace

TEST_F(FaultsHistoryAfterRun, UnsavedMarksAreToldNamingTheFileAndSavedByTheNextRun) {
    namespace fs = std::filesystem;
    const std::string file = w.qd.FilePrintr;
    for (const bool noExceptMsg : {true, false}) {
        w.switches.CkNoExceptMsg = noExceptMsg;
        w.ui.messages.clear();
        fs::permissions(file, fs::perms::owner_read);  // refused even for root
        const auto r = run(2);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(r.printedLabels.size(), 2u);
        EXPECT_FALSE(r.saved);
        // One box either way, naming the file: the marks' own, or SavePrintDb's.
        ASSERT_EQ(w.ui.messages.size(), 1u) << noExceptMsg;
        EXPECT_NE(w.ui.messages[0].find(file), std::string::npos) << w.ui.messages[0];
        if (noExceptMsg) {
            EXPECT_NE(w.ui.messages[0].find("(da " + r.printedLabels[0] + " a " +
                                            r.printedLabels[1] + ") non risultano segnate"),
                      std::string::npos)
                << w.ui.messages[0];
            EXPECT_TRUE(w.logHas("UDorvel/SavePrintDb - "));
        } else {
            EXPECT_EQ(w.ui.messages[0].rfind("Impossibile salvare il database di stampa\r\n", 0),
                      0u);
        }
        EXPECT_EQ(savedExamMarks(), 0);
    }
    // The marks stayed in memory: the next run that saves writes those of all six sheets.
    const auto r = run(2);
    EXPECT_TRUE(r.saved);
    EXPECT_EQ(savedExamMarks(), 6 * 30);
}

TEST_F(FaultsHistoryAfterRun, HistoryFileRemovedDuringTheRunIsWrittenAgain) {
    renderers.duringSheet = [&] { std::filesystem::remove(w.qd.FilePrintr); };
    const auto r = run(2);
    EXPECT_TRUE(r.saved);
    EXPECT_TRUE(w.ui.messages.empty());
    EXPECT_EQ(savedExamMarks(), 60);
}

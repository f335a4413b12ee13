#include "print/output_queue.h"

#include <gtest/gtest.h>

#include <QString>

#include <filesystem>
#include <memory>

#include "support/temp_dir.h"

using namespace vexora;

namespace {

// A template with report "Long" of many pages and report "Short" of one, each page
// showing parameter T.
std::shared_ptr<const report::ReportTemplate> twoReports() {
    auto t = std::make_shared<report::ReportTemplate>();
    for (const auto& [name, pages] : {std::pair{"Long", 40}, std::pair{"Short", 1}}) {
        report::Report& r = t->AddReport(QString::fromLatin1(name));
        for (int p = 1; p <= pages; ++p) {
            r.AddPage(QStringLiteral("Page%1").arg(p))
                .Add(report::Component::MakeText(QStringLiteral("Testo"), 1, 1, 5, 1,
                                                 QStringLiteral("{T} pagina %1").arg(p)));
        }
    }
    return t;
}

report::ReportOutput::FileRun fileRun(const std::shared_ptr<const report::ReportTemplate>& t,
                                      const char* reportName, const std::string& path) {
    report::ReportOutput::FileRun run;
    run.tmpl = t;
    run.report = t->FindReport(QString::fromLatin1(reportName));
    run.values.SetParam(QStringLiteral("T"), QString::fromStdString(path));
    run.fileName = QString::fromStdString(path);
    run.title = QStringLiteral("Vexora");
    return run;
}

}  // namespace

TEST(OutputQueue, FilesAppearInQueueOrderAndAFailureStaysInItsPlace) {
    test::TempDir dir;
    const auto t = twoReports();
    print::OutputQueue queue(2);
    // The first run takes longest to draw; the third cannot be written.
    const std::vector<std::string> paths = {dir.file("1.pdf"), dir.file("2.pdf"),
                                            dir.file("missing/3.pdf"), dir.file("4.pdf"),
                                            dir.file("5.pdf")};
    for (std::size_t i = 0; i < paths.size(); ++i)
        queue.submit(fileRun(t, i == 0 ? "Long" : "Short", paths[i]));
    EXPECT_EQ(queue.pending(), paths.size());
    int pumps = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const auto outcome = queue.takeOldest([&] { ++pumps; });
        SCOPED_TRACE(paths[i]);
        if (i == 2) {
            EXPECT_FALSE(outcome.written);
            EXPECT_NE(outcome.error.find(paths[i]), std::string::npos) << outcome.error;
        } else {
            EXPECT_TRUE(outcome.written) << outcome.error;
            EXPECT_TRUE(std::filesystem::exists(paths[i]));
        }
    }
    EXPECT_EQ(queue.pending(), 0u);
    EXPECT_GT(pumps, 0);  // the long first run was waited for with the events pumped
    const auto time = [](const std::string& p) { return std::filesystem::last_write_time(p); };
    EXPECT_LE(time(paths[0]), time(paths[1]));
    EXPECT_LE(time(paths[1]), time(paths[3]));
    EXPECT_LE(time(paths[3]), time(paths[4]));
}

TEST(OutputQueue, DestroyedWithRunsQueuedFinishesTheRunningOnesAndDropsTheRest) {
    test::TempDir dir;
    const auto t = twoReports();
    std::vector<std::string> paths;
    {
        print::OutputQueue queue(1);
        for (int i = 0; i < 20; ++i) {
            paths.push_back(dir.file(std::to_string(i) + ".pdf"));
            queue.submit(fileRun(t, "Long", paths.back()));
        }
    }
    // No hang, and what was written is whole: a prefix of the queue, in order.
    bool gap = false;
    for (const auto& p : paths) {
        const bool exists = std::filesystem::exists(p);
        EXPECT_FALSE(gap && exists) << p;
        gap = gap || !exists;
    }
}

TEST(OutputQueue, AKeyMadeWhileAFailedSheetWasPendingIsSkippedWithItsTextFile) {
    test::TempDir dir;
    const auto t = twoReports();
    print::OutputQueue queue(2);
    using Role = print::OutputQueue::Role;
    queue.submit(fileRun(t, "Short", dir.file("1.pdf")));
    queue.submit(fileRun(t, "Short", dir.file("missing/2.pdf")));
    queue.submit(fileRun(t, "Short", dir.file("key.pdf")), Role::AnswerKey,
                 {{dir.file("key.txt"), "chiave"}});
    EXPECT_TRUE(queue.takeOldest({}).written);
    EXPECT_FALSE(queue.takeOldest({}).error.empty());
    const auto skipped = queue.takeOldest({});
    EXPECT_FALSE(skipped.written);
    EXPECT_TRUE(skipped.error.empty());  // nothing to report: its sheets are keyed again
    EXPECT_FALSE(std::filesystem::exists(dir.file("key.pdf")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("key.txt")));
    // Made after the failure was known: written, text file first.
    queue.submit(fileRun(t, "Short", dir.file("key2.pdf")), Role::AnswerKey,
                 {{dir.file("key2.txt"), "chiave"}});
    EXPECT_TRUE(queue.takeOldest({}).written);
    EXPECT_TRUE(std::filesystem::exists(dir.file("key2.pdf")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("key2.txt")));
}

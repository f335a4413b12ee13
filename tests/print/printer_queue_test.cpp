#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QPrinterInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>

#include <cstdlib>
#include <set>

#include "print_world.h"

using namespace vexora;
using namespace vexora::test;

// Qt's CUPS support keeps libcups' PPD cache of each printer it opened until the process
// ends; LeakSanitizer reports that as a leak of the library, not of ours. (The hook is
// read only by sanitizer builds.)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libcups\n";
}

namespace {

const QString kQueue = QStringLiteral("VexoraPDF");

QString script() {
    return QStringLiteral(VEXORA_SOURCE_DIR "/scripts/test-printer.sh");
}

// Where the test queue's cups-pdf writes its files.
QString captureFolder() {
    const QString root = qEnvironmentVariable("CUPS_TEST_OUT", "/var/spool/cups-pdf-test");
    return root + QLatin1Char('/') + kQueue;
}

bool printerRequired() {
    return qEnvironmentVariable("VEXORA_REQUIRE_PRINTER") == QStringLiteral("1");
}

// Why the test queue cannot be used, or empty when it can.
QString queueUnavailable() {
    const auto status = runTool(QStringLiteral("lpstat"), {QStringLiteral("-r")});
    if (!status)
        return QStringLiteral("lpstat (cups-client) is not installed");
    if (status->trimmed() != QStringLiteral("scheduler is running"))
        return QStringLiteral("no CUPS scheduler is running");
    if (QPrinterInfo::printerInfo(kQueue).isNull())
        return QStringLiteral("the CUPS queue VexoraPDF does not exist");
    return {};
}

// Ids of the queue's jobs, finished or not.
std::set<int> jobIds() {
    std::set<int> ids;
    const auto list =
        runTool(QStringLiteral("lpstat"),
                {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), kQueue});
    if (!list)
        return ids;
    const QRegularExpression line(QStringLiteral("^%1-(\\d+)\\s").arg(kQueue),
                                  QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(*list); it.hasNext();)
        ids.insert(it.next().captured(1).toInt());
    return ids;
}

}  // namespace

TEST(PrinterQueue, SheetInTwoCopiesTwoSidedReachesTheQueue) {
    const QString why = queueUnavailable();
    if (!why.isEmpty()) {
        if (printerRequired())
            FAIL() << why.toStdString() << " (VEXORA_REQUIRE_PRINTER=1)";
        GTEST_SKIP() << why.toStdString()
                     << "; start it as root with scripts/test-printer.sh to run this test";
    }

    PrintWorld w;
    w.switches.CkStampaSuPdf = false;
    w.switches.CkSkedaDuplex = true;
    w.switches.CkNoPrntSetup = true;
    w.printer.selectPrinter(kQueue);
    ASSERT_TRUE(w.printer.printer()->IsValid());
    w.state.currentCategory = mqAB;
    fillPlainSheet(w, mqAB);
    // A printer run leaves the file name of an earlier PDF run alone.
    w.output.SetOutputFileName(QStringLiteral("earlier.pdf"));
    const std::set<int> before = jobIds();
    ASSERT_TRUE(w.printer.StampaScheda(tdsEsame, "E042", 2)) << w.logText();
    EXPECT_FALSE(std::filesystem::exists(w.programFile("AB_ESAE042.pdf")));
    EXPECT_EQ(w.output.OutputFileName(), QStringLiteral("earlier.pdf"));

    int job = 0;
    QElapsedTimer timer;
    timer.start();
    while (job == 0 && timer.elapsed() < 30000) {
        for (int id : jobIds()) {
            if (!before.count(id))
                job = id;
        }
        if (job == 0)
            QThread::msleep(100);
    }
    ASSERT_NE(job, 0) << "no new job on " << kQueue.toStdString();
    int exitCode = -1;
    ASSERT_TRUE(runTool(QStringLiteral("bash"),
                        {script(), QStringLiteral("wait"), QStringLiteral("90")}, &exitCode));
    ASSERT_EQ(exitCode, 0) << "the job did not finish";

    const auto attrs = runTool(QStringLiteral("bash"),
                               {script(), QStringLiteral("job-attrs"), QString::number(job)});
    ASSERT_TRUE(attrs.has_value());
    EXPECT_TRUE(attrs->contains(QStringLiteral("copies=2\n"))) << attrs->toStdString();
    EXPECT_TRUE(attrs->contains(QStringLiteral("sides=two-sided-long-edge\n")))
        << attrs->toStdString();
    EXPECT_TRUE(attrs->contains(QStringLiteral("job-state=completed\n"))) << attrs->toStdString();
    EXPECT_TRUE(attrs->contains(QStringLiteral("job-name=Vexora\n"))) << attrs->toStdString();
    EXPECT_TRUE(attrs->contains(QStringLiteral("media=A4\n"))) << attrs->toStdString();

    // cups-pdf names the file after the job title and id.
    const QDir folder(captureFolder());
    const QStringList files =
        folder.entryList({QStringLiteral("*-job_%1.pdf").arg(job)}, QDir::Files);
    ASSERT_EQ(files.size(), 1) << "no capture in " << captureFolder().toStdString();
    const std::string pdf = folder.filePath(files.front()).toStdString();
    const auto info = runTool(QStringLiteral("pdfinfo"), {QString::fromStdString(pdf)});
    ASSERT_TRUE(info.has_value());
    // Two pages, two collated copies: four pages.
    EXPECT_TRUE(info->contains(QRegularExpression(QStringLiteral("Pages:\\s+4\\b"))))
        << info->toStdString();
    const auto text = pdfText(pdf);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->count(QStringLiteral("E042/a")), 2);
    EXPECT_EQ(text->count(QStringLiteral("E042/b")), 2);
    EXPECT_TRUE(text->contains(QStringLiteral("Autoscuola Bellavista")));
}

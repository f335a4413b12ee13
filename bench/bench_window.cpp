// bench-deps: vexora_app vexora_sampledata
// The window program's two targets, measured end to end on the sample data:
//   1. time from process start until the main window has been shown and painted;
//   2. a run of 10 AB exam sheets to PDF through the windows: its wall time, the time the
//      progress window spends in the pauses it prescribes (bar steps, final 800 ms) and
//      the share of the wall time outside them.
// Usage: bench_window [FOLDER]  (a program folder with sample data and Vexora.rav; by
// default the build's program folder, which must hold the sample data).
#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "app/program.h"
#include "core/platform.h"

namespace {

// Milliseconds since this process was started by the system (from /proc).
double msSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    // The command name may hold blanks; the fields after it are blank-separated.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long long start = 0;
    for (int i = 3; i <= 22 && rest >> field; ++i)
        if (i == 22)
            start = std::stoull(field);
    std::ifstream up("/proc/uptime");
    double uptime = 0;
    up >> uptime;
    return (uptime - static_cast<double>(start) / static_cast<double>(sysconf(_SC_CLK_TCK))) *
           1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    vexora::app::VexoraApplication app(argc, argv);
    const std::string folder = vexora::withTrailingSeparator(
        argc > 1 ? std::string(argv[1]) : std::string(VEXORA_PROGRAM_DIR));
    vexora::app::Program program(folder, 1u);
    program.interaction().setAnswerer([](bool, const std::string& text) {
        std::fprintf(stderr, "messaggio: %s\n", text.c_str());
        return true;
    });
    auto& w = program.mainWindow();
    w.show();
    w.repaint();
    QCoreApplication::processEvents();
    std::printf("main window shown %.0f ms after process start (target 300 ms)\n",
                msSinceProcessStart());

    w.groupButton(vexora::CategoryGroup::AB)->click();
    w.BtTipoEsame()->click();
    w.SeSchede()->setText(QStringLiteral("10"));
    program.switches().CkStampaSuPdf = true;
    const auto pausedBefore = program.progressWindow().pausedTime();
    QElapsedTimer wall;
    wall.start();
    w.BtPrint()->click();
    const double wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    const double pausedMs = std::chrono::duration<double, std::milli>(
                                program.progressWindow().pausedTime() - pausedBefore)
                                .count();
    const auto& run = w.lastRun();
    std::printf(
        "10 AB exam sheets to PDF: %zu printed, wall %.0f ms, in pauses %.0f ms, "
        "outside them %.0f ms = %.1f %% (target < 25 %%)\n",
        run ? run->printedLabels.size() : 0, wallMs, pausedMs, wallMs - pausedMs,
        100.0 * (wallMs - pausedMs) / wallMs);
    w.close();
    return run && run->printedLabels.size() == 10 ? 0 : 1;
}

#include "data/program_lifecycle.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/question_world.h"

using namespace vexora;
using namespace vexora::test;

namespace {

struct LifecycleTest : ::testing::Test {
    TempDir dir;
    SystemPlatform platform;
    Switches switches;
    ProgramState state{dir.folder()};
    RunLog log{platform, dir.folder(), switches};
    settings::MainWindowValues window;
    settings::SettingsModel model{dir.file("Vexora.ini"), log, dir.file("Plarn.ini")};

    void writeIni(const std::string& text) { std::ofstream(dir.file("Vexora.ini")) << text; }
};

}  // namespace

TEST_F(LifecycleTest, StartLoadsSettingsStartsAFreshLogAndWritesTheStartLine) {
    writeIni("[Debug]\nCkProgFlowLog=1\nCkNoAppendLog=1\n[Status]\nProgressivo Esa S4=17\n");
    switches.CkProgFlowLog = true;
    log.ScriviErrorLog("", 1, "riga di una sessione precedente");
    switches.CkProgFlowLog = false;

    data::startProgram(model, state, switches, window, log, {1920, 1080, 800, 600},
                       data::programTitle());
    EXPECT_TRUE(switches.CkProgFlowLog);
    EXPECT_EQ(state.counter(mqSuperCx, tdsEsame), 17);
    EXPECT_EQ(window.left, 560);
    const std::string text = readText(log.currentFilePath());
    EXPECT_EQ(text.find("sessione precedente"), std::string::npos);
    EXPECT_NE(text.find(">START:  TFormStampe.FormShow (Vexora ver. " VEXORA_VERSION ")\r\n"),
              std::string::npos);
}

TEST_F(LifecycleTest, AppendingLogKeepsEarlierLines) {
    writeIni("[Debug]\nCkProgFlowLog=1\nCkNoAppendLog=0\n");
    log.ScriviErrorLog("", 1, "riga precedente");
    data::startProgram(model, state, switches, window, log, {}, "T");
    EXPECT_NE(readText(log.currentFilePath()).find("riga precedente"), std::string::npos);
}

TEST_F(LifecycleTest, ShutdownWritesCountersAndPrintValues) {
    state.counter(mqCqc5B, tdsArgomento) = 42;
    window.sheetCountText = "abc";
    window.printer = "VexoraPDF";
    data::shutdownProgram(model, state, switches, window);
    const std::string ini = readText(dir.file("Vexora.ini"));
    EXPECT_NE(ini.find("Progressivo Arg C5=42"), std::string::npos);
    EXPECT_NE(ini.find("Num. schede=abc"), std::string::npos);
    EXPECT_NE(ini.find("Stampante=VexoraPDF"), std::string::npos);
}

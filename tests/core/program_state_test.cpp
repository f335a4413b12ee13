#include "core/program_state.h"

#include <gtest/gtest.h>

#include "core/platform.h"
#include "core/switches.h"

using namespace vexora;

TEST(ProgramState, StartValues) {
    ProgramState s("/opt/vexora");
    EXPECT_EQ(s.currentCategory, mqNone);
    EXPECT_EQ(s.currentKind, tdsEsame);
    EXPECT_FALSE(s.printDatabaseLoaded);
    for (int c : s.counters) EXPECT_EQ(c, 1);
    EXPECT_EQ(s.programFolder, "/opt/vexora" + std::string(pathSeparator()));
    EXPECT_EQ(s.dataFolder, s.programFolder);
    EXPECT_EQ(s.schoolName.size(), 14u);
    EXPECT_EQ(s.schoolName, std::string("Vedovade ORVA") + '\x08');
    EXPECT_EQ(s.figuresFolder, defaultFiguresFolder());
}

TEST(ProgramState, CounterAccessUsesTheIndexRule) {
    ProgramState s;
    s.counter(mqCqc5B, tdsArgomento) = 42;
    s.counter(mqAB, tdsEsame) = 7;
    EXPECT_EQ(s.counters[27], 42);
    EXPECT_EQ(s.counters[0], 7);
    EXPECT_EQ(s.counter(mqSuperC1, tdsArgomento), 1);
}

TEST(Switches, DefaultsAndRestore) {
    Switches sw;
    EXPECT_TRUE(sw.CkNoExceptMsg);
    EXPECT_TRUE(sw.CkRandomArgom);
    EXPECT_FALSE(sw.CkProgFlowLog);
    ASSERT_EQ(debugSwitches().size(), 11u);
    EXPECT_EQ(debugSwitches().front().key, "CkStampaSuPdf");
    EXPECT_EQ(debugSwitches().back().key, "CkNoAppendLog");
    for (const auto& info : debugSwitches()) {
        sw.*(info.member) = !info.defaultValue;
    }
    sw.restoreDebugDefaults();
    for (const auto& info : debugSwitches()) EXPECT_EQ(sw.*(info.member), info.defaultValue);
}

#include "core/run_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

using namespace vexora;

namespace {

// Real file system, injected clock, recorded tones, optional refused appends.
class FakePlatform : public SystemPlatform {
public:
    LocalDateTime clock{2026, 3, 9, 17, 42, 3, 0};
    std::vector<std::pair<unsigned, unsigned>> tones;
    bool refuseAppend = false;
    int nowCalls = 0;

    LocalDateTime now() override {
        ++nowCalls;
        return clock;
    }
    void beep(unsigned f, unsigned ms) override { tones.emplace_back(f, ms); }
    bool appendToFile(const std::string& path, std::string_view bytes) override {
        return !refuseAppend && SystemPlatform::appendToFile(path, bytes);
    }
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class RunLogTest : public ::testing::Test {
protected:
    test::TempDir dir;
    FakePlatform platform;
    Switches switches;
    RunLog log{platform, dir.folder(), switches};
    std::string file(const char* name) { return dir.folder() + "ErrorLog/" + name; }
};

}  // namespace

TEST_F(RunLogTest, EntryBytesHavePaddedPrefixAndCrLf) {
    switches.CkProgFlowLog = true;
    log.ScriviErrorLog(">START:", 4, "TFormStampe.FormShow (x)");
    log.ScriviErrorLog("", 1, "guasto");
    EXPECT_EQ(readFile(file("202603.log")),
              "09 17:42:03 >START:  TFormStampe.FormShow (x)\r\n"
              "09 17:42:03 >ERRORE: guasto\r\n");
}

TEST_F(RunLogTest, LongPrefixIsWrittenWhole) {
    log.ScriviErrorLog("PREFISSOLUNGO", 1, "m");
    EXPECT_EQ(readFile(file("202603.log")), "09 17:42:03 PREFISSOLUNGO m\r\n");
}

TEST_F(RunLogTest, MessageIsWrittenInWindows1252) {
    log.ScriviErrorLog("", 1, "perché è così");
    EXPECT_EQ(readFile(file("202603.log")), "09 17:42:03 >ERRORE: perch\xe9 \xe8 cos\xec\r\n");
}

TEST_F(RunLogTest, LevelFilteringAndTones) {
    log.ScriviErrorLog("", 3, "traccia");  // flow tracing off: tone only
    EXPECT_FALSE(std::filesystem::exists(dir.folder() + "ErrorLog"));
    ASSERT_EQ(platform.tones.size(), 1u);
    EXPECT_EQ(platform.tones[0], std::make_pair(1760u, 5u));

    log.ScriviErrorLog("", 4, "flusso");
    log.ScriviErrorLog("", 7, "altro livello");
    EXPECT_FALSE(std::filesystem::exists(dir.folder() + "ErrorLog"));

    log.ScriviErrorLog("", 2, "avviso");
    EXPECT_EQ(platform.tones.back(), std::make_pair(1000u, 15u));
    log.ScriviErrorLog("", 0, "eccezione");
    EXPECT_EQ(platform.tones.back(), std::make_pair(440u, 25u));
    EXPECT_EQ(platform.tones.size(), 3u);  // levels 4, 7 are silent
    EXPECT_EQ(readFile(file("202603.log")),
              "09 17:42:03 >ALERTS: avviso\r\n09 17:42:03 >ERRORE: eccezione\r\n");

    // The switch is read at every call.
    switches.CkProgFlowLog = true;
    log.ScriviErrorLog("", 7, "ora si");
    EXPECT_NE(readFile(file("202603.log")).find(">ERRORE: ora si\r\n"), std::string::npos);
}

TEST_F(RunLogTest, LevelFiveWritesThreeEmptyLinesFirst) {
    switches.CkProgFlowLog = true;
    log.ScriviErrorLog("", 5, "FormOpzioni.InizializzaOpzioni (Loaded)");
    EXPECT_EQ(readFile(file("202603.log")),
              "\r\n\r\n\r\n09 17:42:03 >ERRORE: FormOpzioni.InizializzaOpzioni (Loaded)\r\n");
}

TEST_F(RunLogTest, NewMonthGoesToANewFile) {
    platform.clock = {2026, 1, 31, 23, 59, 59, 999};
    log.ScriviErrorLog("", 1, "prima");
    platform.clock = {2026, 2, 1, 0, 0, 0, 0};
    log.ScriviErrorLog("", 1, "dopo");
    EXPECT_EQ(readFile(file("202601.log")), "31 23:59:59 >ERRORE: prima\r\n");
    EXPECT_EQ(readFile(file("202602.log")), "01 00:00:00 >ERRORE: dopo\r\n");
}

TEST_F(RunLogTest, FolderIsRecreatedAfterDeletion) {
    log.ScriviErrorLog("", 1, "uno");
    std::filesystem::remove_all(dir.folder() + "ErrorLog");
    log.ScriviErrorLog("", 1, "due");
    EXPECT_EQ(readFile(file("202603.log")), "09 17:42:03 >ERRORE: due\r\n");
}

TEST_F(RunLogTest, FailedWriteBeepsAndDoesNotThrow) {
    platform.refuseAppend = true;
    EXPECT_NO_THROW(log.ScriviErrorLog("", 1, "perso"));
    ASSERT_EQ(platform.tones.size(), 1u);
    EXPECT_EQ(platform.tones[0], std::make_pair(440u, 25u));
}

TEST_F(RunLogTest, UnwritableFolderBeeps) {
    // A file where the log folder should be makes folder creation fail.
    { std::ofstream(dir.folder() + "ErrorLog") << "x"; }
    EXPECT_NO_THROW(log.ScriviErrorLog("", 1, "perso"));
    ASSERT_FALSE(platform.tones.empty());
    EXPECT_EQ(platform.tones.back(), std::make_pair(440u, 25u));
}

TEST_F(RunLogTest, DeleteCurrentFileStartsAFreshLog) {
    log.ScriviErrorLog("", 1, "vecchio");
    EXPECT_TRUE(log.deleteCurrentFile());
    EXPECT_FALSE(std::filesystem::exists(file("202603.log")));
    EXPECT_TRUE(log.deleteCurrentFile());  // nothing to delete is fine
    log.ScriviErrorLog("", 1, "nuovo");
    EXPECT_EQ(readFile(file("202603.log")), "09 17:42:03 >ERRORE: nuovo\r\n");
}

#include "settings/settings_model.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <set>

#include "core/catalogue.h"
#include "core/file_util.h"
#include "settings/file_names.h"
#include "settings/settings_keys.h"
#include "settings_test_support.h"
#include "support/temp_dir.h"

using namespace vexora;
using namespace vexora::settings;
using vexora::test::readBytes;
using vexora::test::writeBytes;

namespace {

// The switches with every value opposite to its default, so that a load must set each one.
Switches invertedSwitches() {
    Switches s;
    for (const auto& d : debugSwitches())
        s.*(d.member) = !d.defaultValue;
    s.CkUnSoloCorrettore = true;
    s.CkSkedaDuplex = false;
    s.CkNoPrntSetup = false;
    return s;
}

class SettingsModelTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::FixedClockPlatform platform;
    Switches switches = invertedSwitches();
    RunLog log{platform, dir.folder(), switches};
    std::string settingsPath = dir.file("Vexora.ini");
    std::string classroomPath = dir.file("Plarn.ini");
    SettingsModel model{settingsPath, log, classroomPath};
    ProgramState state{dir.folder()};
    MainWindowValues window;
    ScreenGeometry screen{1920, 1080, 800, 600};

    void load() { model.InizializzaOpzioni(state, switches, window, screen); }
    std::string logText() { return readBytes(dir.folder() + "ErrorLog/202603.log"); }
    // A settings file with flow tracing on, so level-4 and level-5 lines reach the log.
    void settingsWith(const std::string& extra) {
        writeBytes(settingsPath, "[Debug]\r\nCkProgFlowLog=1\r\n" + extra);
    }
    static std::string level5(std::string_view message) {
        return "\r\n\r\n\r\n09 17:42:03 >ERRORE: " + std::string(message) + "\r\n";
    }
};

// Counts the writes of a settings file and refuses the one numbered failAt (1-based).
struct CountingWriter {
    int calls = 0;
    int failAt = 0;
    IniFile::Writer writer() {
        return [this](const std::string& path, std::string_view bytes, std::string* error) {
            ++calls;
            if (calls == failAt) {
                *error = "refused by the test";
                return false;
            }
            return writeFileAtomically(path, bytes, error);
        };
    }
};

// Lines of a file without their CR LF.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t e = text.find("\r\n", pos);
        out.push_back(text.substr(pos, e - pos));
        if (e == std::string::npos)
            break;
        pos = e + 2;
    }
    return out;
}

}  // namespace

TEST(SettingsFilePath, ExtensionReplacedByIni) {
    EXPECT_EQ(settingsFilePath("/opt/vexora/Vexora"), "/opt/vexora/Vexora.ini");
    EXPECT_EQ(settingsFilePath("C:\\Programmi\\Vexora\\Vexora.exe"),
              "C:\\Programmi\\Vexora\\Vexora.ini");
    EXPECT_EQ(settingsFilePath("/opt/v.1/Vexora"), "/opt/v.1/Vexora.ini");
    EXPECT_EQ(settingsFilePath("C:\\v.1\\Vexora"), "C:\\v.1\\Vexora.ini");
    EXPECT_EQ(settingsFilePath("Vexora.tar.gz"), "Vexora.tar.ini");
    EXPECT_EQ(defaultSettingsFilePath(), settingsFilePath(executablePath()));
}

TEST(SettingsTable, CountersComeFromTheCatalogueInCounterOrder) {
    const SettingsTable& t = settingsTable();
    for (const TModalitaQuiz m : workingCategories()) {
        for (const TTipoDiStampa kind : {tdsEsame, tdsArgomento}) {
            const SettingKey& k = t.counters[static_cast<std::size_t>(counterIndex(m, kind))];
            EXPECT_EQ(k.section, kCounterSection);
            EXPECT_EQ(k.key, counterKey(m, kind));
            EXPECT_EQ(k.defaultNumber, 1);
        }
    }
    EXPECT_EQ(t.counters.front().key, "Progressivo Esa AB");
    EXPECT_EQ(t.counters.back().key, "Progressivo Arg C5");
}

TEST(SettingsTable, DebugKeysAreTheSwitchTableInOrder) {
    const SettingsTable& t = settingsTable();
    for (std::size_t i = 0; i < debugSwitches().size(); ++i) {
        EXPECT_EQ(t.debug[i].section, "Debug");
        EXPECT_EQ(t.debug[i].key, debugSwitches()[i].key);
        EXPECT_EQ(t.debug[i].defaultNumber != 0, debugSwitches()[i].defaultValue);
    }
}

TEST(SettingsTable, EveryKeyIsListedOnceInReadingOrder) {
    const auto order = settingsTable().readingOrder();
    EXPECT_EQ(order.size(), 2u + 28u + 9u + 11u);
    std::set<std::pair<std::string, std::string>> seen;
    for (const SettingKey* k : order)
        EXPECT_TRUE(seen.emplace(k->section, k->key).second);
    EXPECT_EQ(order.front()->key, "Nome");
    EXPECT_EQ(order[30]->key, "Pos. finestra L");
    EXPECT_EQ(order[38]->key, "Figure");
    EXPECT_EQ(order.back()->key, "CkNoAppendLog");
}

TEST_F(SettingsModelTest, NoSettingsFile_StartsWithDefaults) {
    state.counters.fill(77);
    state.schoolName = "x";
    state.figuresFolder = "y";
    window = MainWindowValues{1, 2, "9", 9, "8", 8, "p"};
    load();
    EXPECT_EQ(state.schoolName, std::string("Vedovade ORVA") + '\b');
    EXPECT_EQ(state.schoolName.size(), 14u);
    EXPECT_EQ(state.schoolAddress, defaultSchoolAddress());
    for (int c : state.counters)
        EXPECT_EQ(c, 1);
    EXPECT_EQ(window.left, 560);
    EXPECT_EQ(window.top, 240);
    EXPECT_EQ(window.sheetCountText, "1");
    EXPECT_EQ(window.sheetCount, 1);
    EXPECT_EQ(window.copyCountText, "1");
    EXPECT_EQ(window.copyCount, 1);
    EXPECT_EQ(window.printer, "");
    EXPECT_FALSE(switches.CkUnSoloCorrettore);
    EXPECT_TRUE(switches.CkSkedaDuplex);
    EXPECT_TRUE(switches.CkNoPrntSetup);
    EXPECT_EQ(state.figuresFolder, defaultFiguresFolder());
    for (const auto& d : debugSwitches())
        EXPECT_EQ(switches.*(d.member), d.defaultValue) << d.key;
    EXPECT_FALSE(test::exists(settingsPath));  // loading writes nothing
}

TEST_F(SettingsModelTest, WindowPosition_CentringDefaultRoundsTowardZero) {
    screen = {1921, 1081, 800, 600};
    load();
    EXPECT_EQ(window.left, 560);  // 1121 / 2
    EXPECT_EQ(window.top, 240);   // 481 / 2
    screen = {800, 600, 1001, 803};
    load();
    EXPECT_EQ(window.left, -100);  // -201 / 2 toward zero
    EXPECT_EQ(window.top, -101);   // -203 / 2 toward zero
}

TEST_F(SettingsModelTest, WindowPosition_FromFileOverridesCentring) {
    writeBytes(settingsPath, "[Status]\r\nPos. finestra L=-5\r\nPos. finestra T=33\r\n");
    load();
    EXPECT_EQ(window.left, -5);
    EXPECT_EQ(window.top, 33);
}

TEST_F(SettingsModelTest, FullFile_LoadsEveryValue) {
    std::string text = "[Autoscuola]\r\nNome=Autoscuola Rossi\r\nIndirizzo=Via Po 3 - Torino\r\n";
    text += "[Status]\r\n";
    for (int i = 0; i < kCounterCount; ++i) {
        text += settingsTable().counters[static_cast<std::size_t>(i)].key + "=" +
                std::to_string(100 + i) + "\r\n";
    }
    text += "Pos. finestra L=10\r\nPos. finestra T=20\r\n";
    text +=
        "[Print]\r\nNum. schede=5\r\nNum. copie=2\r\nSolo un correttore=1\r\n"
        "Stampante=HP LaserJet\r\nStampa in duplex=0\r\nNo print setup=0\r\n";
    text += "[Paths]\r\nFigure=/srv/figure/\r\n[Debug]\r\n";
    for (const auto& d : debugSwitches()) {
        text += std::string(d.key) + "=" + (d.defaultValue ? "0" : "1") + "\r\n";
    }
    writeBytes(settingsPath, text);
    switches = Switches{};
    load();
    EXPECT_EQ(state.schoolName, "Autoscuola Rossi");
    EXPECT_EQ(state.schoolAddress, "Via Po 3 - Torino");
    for (int i = 0; i < kCounterCount; ++i)
        EXPECT_EQ(state.counters[static_cast<std::size_t>(i)], 100 + i);
    EXPECT_EQ(state.counter(mqSuperCx, tdsArgomento), 100 + counterIndex(mqSuperCx, tdsArgomento));
    EXPECT_EQ(window.left, 10);
    EXPECT_EQ(window.top, 20);
    EXPECT_EQ(window.sheetCountText, "5");
    EXPECT_EQ(window.sheetCount, 5);
    EXPECT_EQ(window.copyCount, 2);
    EXPECT_TRUE(switches.CkUnSoloCorrettore);
    EXPECT_EQ(window.printer, "HP LaserJet");
    EXPECT_FALSE(switches.CkSkedaDuplex);
    EXPECT_FALSE(switches.CkNoPrntSetup);
    EXPECT_EQ(state.figuresFolder, "/srv/figure/");
    for (const auto& d : debugSwitches())
        EXPECT_EQ(switches.*(d.member), !d.defaultValue) << d.key;
}

TEST_F(SettingsModelTest, NumSchedeAbc_GoesToFieldAndSpinnerGetsOne) {
    writeBytes(settingsPath, "[Print]\r\nNum. schede=abc\r\nNum. copie=3x\r\n");
    load();
    EXPECT_EQ(window.sheetCountText, "abc");
    EXPECT_EQ(window.sheetCount, 1);
    EXPECT_EQ(window.copyCountText, "3x");
    EXPECT_EQ(window.copyCount, 1);
}

TEST_F(SettingsModelTest, BadCounterValues_ReadAsOne) {
    writeBytes(settingsPath, "[Status]\r\nProgressivo Esa AB=dodici\r\nProgressivo Arg AB=12\r\n");
    load();
    EXPECT_EQ(state.counter(mqAB, tdsEsame), 1);
    EXPECT_EQ(state.counter(mqAB, tdsArgomento), 12);
}

TEST_F(SettingsModelTest, NoSettingsFile_ClassroomFileSuppliesSchoolData) {
    writeBytes(classroomPath,
               "[Autoscuola]\r\nNome autoscuola=Autoscuola Bianchi\r\n"
               "Indirizzo autoscuola=Corso Italia 9 - Citt\xE0\r\n");
    load();
    EXPECT_EQ(state.schoolName, "Autoscuola Bianchi");
    EXPECT_EQ(state.schoolAddress, "Corso Italia 9 - Citt\u00e0");
    EXPECT_FALSE(test::exists(settingsPath));  // nothing written back
}

TEST_F(SettingsModelTest, ClassroomRead_LogsLevelFiveLine) {
    settingsWith("");
    writeBytes(classroomPath, "[Autoscuola]\r\nNome autoscuola=Scuola\r\n");
    load();
    EXPECT_EQ(logText(), level5(kLogClassroomRead));
}

TEST_F(SettingsModelTest, ClassroomMissing_LogsLoadedAndKeepsDefaults) {
    settingsWith("");
    load();
    EXPECT_EQ(logText(), level5(kLogLoaded));
    EXPECT_EQ(state.schoolName, defaultSchoolName());
}

TEST_F(SettingsModelTest, FlowTracingOff_LevelFiveLineNotWritten) {
    writeBytes(classroomPath, "[Autoscuola]\r\nNome autoscuola=Scuola\r\n");
    load();
    EXPECT_FALSE(test::exists(dir.folder() + "ErrorLog"));
    EXPECT_EQ(state.schoolName, "Scuola");
}

TEST_F(SettingsModelTest, OtherSchoolName_LeavesClassroomFileUnread) {
    settingsWith("[Autoscuola]\r\nNome=Autoscuola Verdi\r\nIndirizzo=Via 1\r\n");
    writeBytes(classroomPath, "[Autoscuola]\r\nNome autoscuola=Scuola\r\n");
    load();
    EXPECT_EQ(state.schoolName, "Autoscuola Verdi");
    EXPECT_EQ(state.schoolAddress, "Via 1");
    EXPECT_EQ(logText(), level5(kLogLoaded));
}

TEST_F(SettingsModelTest, NameWithoutTrailingBackspace_LeavesClassroomFileUnread) {
    settingsWith("[Autoscuola]\r\nNome=Vedovade ORVA\r\n");
    writeBytes(classroomPath, "[Autoscuola]\r\nNome autoscuola=Scuola\r\n");
    load();
    EXPECT_EQ(state.schoolName, "Vedovade ORVA");
    EXPECT_EQ(logText(), level5(kLogLoaded));
}

TEST_F(SettingsModelTest, DefaultNameInFile_LetsClassroomFileBeRead) {
    settingsWith("[Autoscuola]\r\nNome=Vedovade ORVA\b\r\nIndirizzo=Via 1\r\n");
    writeBytes(classroomPath, "[Autoscuola]\r\nNome autoscuola=Scuola\r\n");
    load();
    EXPECT_EQ(state.schoolName, "Scuola");
    EXPECT_EQ(state.schoolAddress, defaultSchoolAddress());  // classroom default replaces it
    EXPECT_EQ(logText(), level5(kLogClassroomRead));
}

TEST_F(SettingsModelTest, BlankOrEmptyName_LetsClassroomFileBeRead) {
    writeBytes(classroomPath, "[Autoscuola]\r\nNome autoscuola=Scuola\r\n");
    for (const std::string name : {"Nome=   \r\n", "Nome=\r\n", "Nome=\t \t\r\n"}) {
        writeBytes(settingsPath, "[Autoscuola]\r\n" + name);
        state.schoolName = "reset";
        load();
        EXPECT_EQ(state.schoolName, "Scuola") << name;
    }
}

TEST_F(SettingsModelTest, ClassroomFileWithoutKeys_GivesDefaults) {
    writeBytes(classroomPath, "[Altro]\r\nx=1\r\n");
    settingsWith("[Autoscuola]\r\nNome=\r\nIndirizzo=Via 1\r\n");
    load();
    EXPECT_EQ(state.schoolName, defaultSchoolName());
    EXPECT_EQ(state.schoolAddress, defaultSchoolAddress());
}

TEST(SchoolNameRule, DefaultEmptyAndBlankAskForClassroom) {
    EXPECT_TRUE(SettingsModel::schoolNameAsksForClassroom(defaultSchoolName()));
    EXPECT_TRUE(SettingsModel::schoolNameAsksForClassroom(""));
    EXPECT_TRUE(SettingsModel::schoolNameAsksForClassroom("    "));
    EXPECT_FALSE(SettingsModel::schoolNameAsksForClassroom("Vedovade ORVA"));
    EXPECT_FALSE(SettingsModel::schoolNameAsksForClassroom("vedovade orva\b"));
    EXPECT_FALSE(SettingsModel::schoolNameAsksForClassroom(" x "));
}

TEST_F(SettingsModelTest, CaricaOpzioniDebug_ReadsTheElevenSwitchesOnly) {
    writeBytes(settingsPath,
               "[Debug]\r\nCkStampaSuPdf=1\r\nCkNoExceptMsg=0\r\nCkRandomArgom=abc\r\n"
               "[Print]\r\nStampa in duplex=0\r\n");
    Switches s = invertedSwitches();
    model.CaricaOpzioniDebug(s);
    EXPECT_TRUE(s.CkStampaSuPdf);
    EXPECT_FALSE(s.CkNoExceptMsg);
    EXPECT_TRUE(s.CkRandomArgom);  // not an integer: default
    EXPECT_FALSE(s.CkSaveCorrTxt);
    EXPECT_TRUE(s.CkNoAppendLog);
    EXPECT_FALSE(s.CkSkedaDuplex);  // not a debug switch: untouched (inverted value)
    EXPECT_TRUE(s.CkUnSoloCorrettore);
}

TEST_F(SettingsModelTest, SalvaProgressivi_WritesTheCountersInCounterOrder) {
    for (int i = 0; i < kCounterCount; ++i)
        state.counters[static_cast<std::size_t>(i)] = i + 1;
    model.SalvaProgressivi(state);
    const auto got = lines(readBytes(settingsPath));
    ASSERT_EQ(got.size(), 29u);
    EXPECT_EQ(got[0], "[Status]");
    for (std::size_t i = 0; i < 28; ++i) {
        EXPECT_EQ(got[i + 1], settingsTable().counters[i].key + "=" + std::to_string(i + 1));
    }
    EXPECT_EQ(got[1], "Progressivo Esa AB=1");
    EXPECT_EQ(got[2], "Progressivo Arg AB=2");
    EXPECT_EQ(got[28], "Progressivo Arg C5=28");
}

TEST_F(SettingsModelTest, SalvaOpzioni_WritesItsKeysInOrderAfterTheLogLine) {
    switches = Switches{};
    switches.CkProgFlowLog = true;
    switches.CkNoPrntSetup = false;
    model.SalvaOpzioni({"Scuola Neri", "Via Roma 1", "PDF Printer"}, switches);
    std::vector<std::string> expected = {
        "[Autoscuola]",          "Nome=Scuola Neri",   "Indirizzo=Via Roma 1", "[Print]",
        "Stampante=PDF Printer", "Stampa in duplex=1", "No print setup=0",     "[Debug]"};
    for (const auto& d : debugSwitches()) {
        expected.push_back(std::string(d.key) + "=" + (switches.*(d.member) ? "1" : "0"));
    }
    EXPECT_EQ(lines(readBytes(settingsPath)), expected);
    EXPECT_EQ(logText(), "09 17:42:03 >STATUS: " + std::string(kLogOkSave) + "\r\n");
}

TEST_F(SettingsModelTest, SalvaChiusura_WritesItsKeysInOrderAfterTheLogLine) {
    switches = Switches{};
    switches.CkProgFlowLog = true;
    switches.CkUnSoloCorrettore = true;
    for (int i = 0; i < kCounterCount; ++i)
        state.counters[static_cast<std::size_t>(i)] = 500 + i;
    window = MainWindowValues{15, -3, "abc", 1, "2", 2, "HP"};
    model.SalvaChiusura(state, switches, window);
    std::vector<std::string> expected = {"[Status]"};
    for (std::size_t i = 0; i < 28; ++i) {
        expected.push_back(settingsTable().counters[i].key + "=" + std::to_string(500 + i));
    }
    expected.insert(expected.end(),
                    {"Pos. finestra L=15", "Pos. finestra T=-3", "[Print]", "Num. schede=abc",
                     "Num. copie=2", "Solo un correttore=1", "Stampante=HP"});
    EXPECT_EQ(lines(readBytes(settingsPath)), expected);
    EXPECT_EQ(logText(), "09 17:42:03 >STATUS: " + std::string(kLogCloseSave) + "\r\n");
}

TEST_F(SettingsModelTest, SalvaChiusura_AfterLoadWritesPrinterLoadedAtStartUp) {
    writeBytes(settingsPath, "[Print]\r\nStampante=Canon MX\r\n");
    load();
    std::filesystem::remove(settingsPath);
    model.SalvaChiusura(state, switches, window);
    SettingsModel again(settingsPath, log, classroomPath);
    MainWindowValues w;
    again.InizializzaOpzioni(state, switches, w, screen);
    EXPECT_EQ(w.printer, "Canon MX");
}

TEST_F(SettingsModelTest, SaveThenLoad_GivesTheSameState) {
    Switches saved = invertedSwitches();
    model.SalvaOpzioni({"Scuola \u00c8lite", "Piazza Duomo 1", "Stampante 1"}, saved);
    for (int i = 0; i < kCounterCount; ++i)
        state.counters[static_cast<std::size_t>(i)] = 3 * i;
    window = MainWindowValues{7, 8, "4", 4, "5", 5, "Stampante 1"};
    model.SalvaChiusura(state, saved, window);

    ProgramState loaded{dir.folder()};
    Switches s;
    MainWindowValues w;
    model.InizializzaOpzioni(loaded, s, w, screen);
    EXPECT_EQ(loaded.schoolName, "Scuola \u00c8lite");
    EXPECT_EQ(loaded.schoolAddress, "Piazza Duomo 1");
    EXPECT_EQ(loaded.counters, state.counters);
    EXPECT_EQ(w.left, 7);
    EXPECT_EQ(w.top, 8);
    EXPECT_EQ(w.sheetCountText, "4");
    EXPECT_EQ(w.copyCount, 5);
    EXPECT_EQ(w.printer, "Stampante 1");
    for (const auto& d : debugSwitches())
        EXPECT_EQ(s.*(d.member), saved.*(d.member)) << d.key;
    EXPECT_EQ(s.CkSkedaDuplex, saved.CkSkedaDuplex);
    EXPECT_EQ(s.CkNoPrntSetup, saved.CkNoPrntSetup);
    EXPECT_EQ(s.CkUnSoloCorrettore, saved.CkUnSoloCorrettore);
}

TEST_F(SettingsModelTest, RefusedWrite_ThrowsUnableToWriteWithThePath) {
    const std::string bad = dir.file("missing-folder/Vexora.ini");
    SettingsModel m(bad, log, classroomPath);
    try {
        m.SalvaChiusura(state, switches, window);
        FAIL() << "no exception";
    } catch (const IniWriteError& e) {
        EXPECT_STREQ(e.what(), ("Unable to write to " + bad).c_str());
    }
    EXPECT_THROW(m.SalvaOpzioni({}, switches), IniWriteError);
    EXPECT_THROW(m.SalvaProgressivi(state), IniWriteError);
    EXPECT_FALSE(test::exists(bad));
}

TEST_F(SettingsModelTest, RefusedWrite_InReadOnlyFolderKeepsTheOldFile) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows: folder permission bits do not refuse writes";
#else
    const std::filesystem::path locked = dir.path() / "locked";
    std::filesystem::create_directory(locked);
    const std::string file = (locked / "Vexora.ini").string();
    writeBytes(file, "[Status]\r\nProgressivo Esa AB=5\r\n");
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::geteuid() == 0) {
        std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
        GTEST_SKIP() << "running as root: folder permissions do not refuse writes";
    }
    SettingsModel m(file, log, classroomPath);
    try {
        m.SalvaProgressivi(state);
        FAIL() << "no exception";
    } catch (const IniWriteError& e) {
        EXPECT_STREQ(e.what(), ("Unable to write to " + file).c_str());
    }
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    EXPECT_EQ(readBytes(file), "[Status]\r\nProgressivo Esa AB=5\r\n");
    EXPECT_EQ(test::folderEntries(locked), std::vector<std::string>{"Vexora.ini"});
#endif
}

TEST_F(SettingsModelTest, RefusedWrite_InsideAFileInsteadOfAFolder) {
    writeBytes(dir.file("plain-file"), "x");
    SettingsModel m(dir.file("plain-file/Vexora.ini"), log, classroomPath);
    EXPECT_THROW(m.SalvaProgressivi(state), IniWriteError);
}

TEST_F(SettingsModelTest, RefusedWrite_OkSaveStopsAtThatKey) {
    const auto order = std::vector<std::string>{"Nome", "Indirizzo", "Stampante",
                                                "Stampa in duplex", "No print setup"};
    const int total = 5 + kDebugSwitchCount;
    for (int failAt = 1; failAt <= total; ++failAt) {
        std::filesystem::remove(settingsPath);
        CountingWriter w{0, failAt};
        SettingsModel m(settingsPath, log, classroomPath, w.writer());
        try {
            m.SalvaOpzioni({"S", "I", "P"}, Switches{});
            ADD_FAILURE() << "no exception at " << failAt;
        } catch (const IniWriteError& e) {
            EXPECT_STREQ(e.what(), ("Unable to write to " + settingsPath).c_str());
        }
        EXPECT_EQ(w.calls, failAt);  // nothing tried after the refused key
        // Exactly the keys before the refused one are in the file.
        const IniFile ini(settingsPath);
        std::vector<std::pair<std::string, std::string>> keys;
        for (const auto& k : order) {
            keys.emplace_back(k == "Nome" || k == "Indirizzo" ? "Autoscuola" : "Print", k);
        }
        for (const auto& d : debugSwitches())
            keys.emplace_back("Debug", std::string(d.key));
        for (int i = 0; i < total; ++i) {
            EXPECT_EQ(ini.valueExists(keys[static_cast<std::size_t>(i)].first,
                                      keys[static_cast<std::size_t>(i)].second),
                      i < failAt - 1)
                << "failAt " << failAt << " key " << keys[static_cast<std::size_t>(i)].second;
        }
    }
}

TEST_F(SettingsModelTest, RefusedWrite_ShutdownSaveStopsAtThatKey) {
    for (int i = 0; i < kCounterCount; ++i)
        state.counters[static_cast<std::size_t>(i)] = 2;
    for (const int failAt : {1, 2, 28, 29, 30, 31, 34}) {
        std::filesystem::remove(settingsPath);
        CountingWriter w{0, failAt};
        SettingsModel m(settingsPath, log, classroomPath, w.writer());
        EXPECT_THROW(m.SalvaChiusura(state, switches, window), IniWriteError);
        EXPECT_EQ(w.calls, failAt);
        const auto got = lines(readBytes(settingsPath));
        // One line per written key plus the section headers.
        const int written = failAt - 1;
        const int headers = written == 0 ? 0 : (written <= 30 ? 1 : 2);
        EXPECT_EQ(static_cast<int>(got.size()), written + headers) << "failAt " << failAt;
    }
}

TEST_F(SettingsModelTest, SavingUnchangedValues_DoesNotRewriteTheFile) {
    model.SalvaChiusura(state, switches, window);
    CountingWriter w;
    SettingsModel m(settingsPath, log, classroomPath, w.writer());
    m.SalvaChiusura(state, switches, window);
    EXPECT_EQ(w.calls, 0);
    state.counter(mqCqc5B, tdsArgomento) = 9;
    m.SalvaChiusura(state, switches, window);
    EXPECT_EQ(w.calls, 1);
}

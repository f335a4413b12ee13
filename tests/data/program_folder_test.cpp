// A program folder whose name the ANSI code page cannot spell (Greek, Cyrillic), or that
// holds blanks and accents: the window-free layers must find and write every file of
// the program in that folder under its real name, on Linux and on Windows alike.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/file_util.h"
#include "data/category_opening.h"
#include "settings/file_names.h"
#include "settings/settings_model.h"
#include "support/question_world.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace vexora;
using namespace vexora::test;

namespace {

struct FolderName {
    const char* label;
    const char* utf8;
};

const FolderName kFolderNames[] = {
    {"Greek",
     "\xce\x91\xcf\x85\xcf\x84\xce\xbf\xcf\x83\xcf\x87\xce\xbf\xce\xbb\xce\xae "
     "\xce\x95\xce\xbb\xce\xbb\xce\xac\xcf\x82"},
    {"Cyrillic", "\xd0\x90\xd0\xb2\xd1\x82\xd0\xbe\xd1\x88\xd0\xba\xd0\xbe\xd0\xbb\xd0\xb0"},
    {"BlanksAndAccents", "Autoscuola Citt\xc3\xa0 di Forl\xc3\xac"},
};

void PrintTo(const FolderName& name, std::ostream* out) {
    *out << name.label;
}

// Every line of a CR LF file ends with CR LF, and only there.
bool crLfOnly(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            return false;
        if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))
            return false;
    }
    return !bytes.empty() && bytes.back() == '\n';
}

int examMarks(data::Table& t) {
    int n = 0;
    for (t.First(); !t.Eof(); t.Next())
        n += t.FieldByName("rsEsame").AsBoolean();
    return n;
}

class ProgramFolderTest : public ::testing::TestWithParam<FolderName> {};

}  // namespace

TEST_P(ProgramFolderTest, SampleDataOpensAndHistoryAndSettingsRoundTrip) {
    TempDir base;
    const std::filesystem::path folderPath = base.path() / pathFromUtf8(GetParam().utf8);
    ASSERT_TRUE(std::filesystem::create_directory(folderPath));
    const std::string folder = withTrailingSeparator(utf8FromPath(folderPath));

    // Sample data of AB under the catalogue's names, accented texts included.
    std::vector<MasterRow> rows;
    for (int i = 1; i <= 40; ++i)
        rows.push_back({i, i % 2 ? "01" : "02", i <= 20 ? "A01" : "A02", 1, i % 3 == 0,
                        "Il conducente pu\u00f2 sorpassare: \u00e8 vero?"});
    writeMaster(folder + std::string(masterFile(mqAB)), rows);
    writeTopicList(folder + std::string(topicListFile(mqAB)),
                   {{"Segnali di pericolo", "A01"}, {"Velocit\u00e0 e precedenza", "A02"}});

    SystemPlatform platform;
    Switches switches;
    switches.CkProgFlowLog = true;
    ProgramState state(folder);
    state.currentCategory = mqAB;
    RunLog log(platform, folder, switches);
    RecordingInteraction ui;
    Reporting reporting{log, switches, ui};
    {
        data::QuestionData qd(reporting, platform, state);
        const auto opened = data::InitAndCountDb(state, qd);
        ASSERT_TRUE(opened.masterLoaded && opened.printLoaded && opened.topicPossible);
        EXPECT_EQ(qd.FilePrintr, folder + std::string(printHistoryFile(mqAB)));
        EXPECT_EQ(qd.Argomenti.at(1).Testo, "Velocit\u00e0 e precedenza");
        EXPECT_EQ(qd.CdsMaster.FieldByName("Testo").AsString(),
                  "Il conducente pu\u00f2 sorpassare: \u00e8 vero?");
        data::Table& t = *qd.CdsPrint;
        t.First();
        t.Edit();
        t.FieldByName("dtEsame").SetAsDateTime(LocalDateTime{2026, 3, 4, 5, 6, 7, 0});
        t.FieldByName("rsEsame").SetAsBoolean(true);
        t.Post();
        ASSERT_TRUE(qd.SavePrintDb(qd.FilePrintr));
    }
    {
        data::QuestionData qd(reporting, platform, state);
        ASSERT_TRUE(data::InitAndCountDb(state, qd).examPossible);
        EXPECT_EQ(examMarks(*qd.CdsPrint), 1);
    }

    const std::string settingsFile = settings::settingsFilePath(folder + "Vexora.exe");
    state.counter(mqAB, tdsEsame) = 42;
    settings::SettingsModel(settingsFile, log, utf8FromPath(base.path() / "none.ini"))
        .SalvaProgressivi(state);
    ProgramState reread(folder);
    settings::MainWindowValues window;
    settings::SettingsModel(settingsFile, log, utf8FromPath(base.path() / "none.ini"))
        .InizializzaOpzioni(reread, switches, window, {});
    EXPECT_EQ(reread.counter(mqAB, tdsEsame), 42);

    // Everything landed in the folder itself, under the names the program gave.
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folderPath))
        names.insert(utf8FromPath(e.path().filename()));
    EXPECT_EQ(names, (std::set<std::string>{"ARG2013.XML", "ErrorLog", "NQM2016.QXD", "NQP2016.QXD",
                                            "Vexora.ini"}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(base.path()),
                            std::filesystem::directory_iterator()),
              1);

    const auto logBytes = readWholeFile(log.currentFilePath(), 1 << 20);
    ASSERT_TRUE(logBytes);
    EXPECT_NE(logBytes->find("TFormStampe.InitAndCountDb Mode: mqAB - Esa: True - Arg: True - "
                             "Master: True - Print: True\r\n"),
              std::string::npos);
    EXPECT_TRUE(crLfOnly(*logBytes));
    const auto iniBytes = readWholeFile(settingsFile, 1 << 20);
    ASSERT_TRUE(iniBytes);
    EXPECT_TRUE(crLfOnly(*iniBytes));
#ifdef _WIN32
    const DWORD attributes = ::GetFileAttributesW(pathFromUtf8(log.folderPath()).c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
#endif
}

INSTANTIATE_TEST_SUITE_P(FolderNames, ProgramFolderTest, ::testing::ValuesIn(kFolderNames),
                         [](const auto& info) { return std::string(info.param.label); });

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "sample_support.h"
#include "settings/ini_file.h"

using namespace vexora;
using namespace vexora::sampledata;

namespace {

// Every file under dir (relative name -> bytes), the settings file left out: it names
// the folder, which differs between two runs.
std::map<std::string, std::string> contents(const std::filesystem::path& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file() || e.path().filename() == "Vexora.ini")
            continue;
        const auto bytes = readWholeFile(e.path().string(), 64u << 20);
        out[std::filesystem::relative(e.path(), dir).string()] = bytes.value_or("<unreadable>");
    }
    return out;
}

std::string slurp(const std::filesystem::path& p) {
    return readWholeFile(p.string(), 1u << 20).value_or("<unreadable>");
}

int run(const std::string& arguments) {
    const std::string program = std::string(VEXORA_PROGRAM_DIR) + "/vexora-sample-data";
    if (!std::filesystem::exists(program))
        ADD_FAILURE() << program << " is not built";
    // Headless: no display and no platform plugin chosen.
    const std::string command =
        "env -u DISPLAY -u QT_QPA_PLATFORM " + program + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(SampleGenerate, SameSeedGivesTheSameBytesAndAnotherSeedOtherBytes) {
    test::TempDir a, b, c, d;
    GenerateOptions options;
    options.seed = 7;
    options.categories = {mqAB, mqSuperC1, mqCqc4P};
    generateSampleData(a.path(), options);
    generateSampleData(b.path(), options);
    const auto first = contents(a.path());
    EXPECT_EQ(first.size(), 6u + buildFigureCatalogue(7).bitmaps.size());
    EXPECT_TRUE(first == contents(b.path()));

    // A category's bytes do not depend on which others are generated with it.
    options.categories = {mqCqc4P};
    options.figures = false;
    generateSampleData(c.path(), options);
    const auto alone = contents(c.path());
    ASSERT_EQ(alone.size(), 2u);
    for (const auto& [name, bytes] : alone)
        EXPECT_TRUE(first.at(name) == bytes) << name;

    options.seed = 8;
    options.categories = {mqAB, mqSuperC1, mqCqc4P};
    options.figures = true;
    generateSampleData(d.path(), options);
    const auto other = contents(d.path());
    for (TModalitaQuiz m : options.categories) {
        EXPECT_NE(other.at(std::string(masterFile(m))), first.at(std::string(masterFile(m))));
        EXPECT_NE(other.at(std::string(topicListFile(m))), first.at(std::string(topicListFile(m))));
    }
    EXPECT_NE(other.size(), 0u);
    EXPECT_FALSE(other == first);
}

TEST(SampleGenerate, SettingsFileNamesTheFiguresFolderAndIsWrittenOnlyWhenMissing) {
    test::TempDir dir;
    const std::filesystem::path out = dir.path() / "demo";
    GenerateOptions options;
    options.categories = {mqSuperC0};
    options.figures = false;
    auto summary = generateSampleData(out, options);
    EXPECT_TRUE(summary.settingsWritten);

    const std::filesystem::path ini = out / "Vexora.ini";
    settings::IniFile file(ini.string());
    const std::string folder = file.readString("Paths", "Figure", "");
    const std::string expected =
        std::filesystem::absolute(out / "PicSgn").lexically_normal().string() +
        std::string(1, std::filesystem::path::preferred_separator);
    EXPECT_EQ(folder, expected);
    EXPECT_TRUE(std::filesystem::path(folder).is_absolute());
    EXPECT_EQ(figuresFolderSetting(out), expected);

    // An existing settings file is the user's: left byte for byte.
    const std::string own =
        "[Autoscuola]\r\nNome=Scuola Guida Bianchi\r\n[Paths]\r\nFigure=C:\\X\\\r\n";
    std::ofstream(ini, std::ios::binary | std::ios::trunc) << own;
    summary = generateSampleData(out, options);
    EXPECT_FALSE(summary.settingsWritten);
    EXPECT_EQ(slurp(ini), own);

    // A folder the single-byte settings file cannot spell is refused before anything is
    // written, rather than pointing the program at a mangled path.
    const std::filesystem::path foreign = dir.path() / "\xe6\x97\xa5\xe6\x9c\xac";
    EXPECT_THROW(generateSampleData(foreign, options), SampleDataError);
    EXPECT_FALSE(std::filesystem::exists(foreign));

    // Not asked for: not written.
    test::TempDir other;
    options.settingsFile = false;
    generateSampleData(other.path(), options);
    EXPECT_FALSE(std::filesystem::exists(other.path() / "Vexora.ini"));
    generateSampleData(foreign, options);
    EXPECT_TRUE(std::filesystem::exists(foreign / std::string(masterFile(mqSuperC0))));
}

TEST(SampleGenerate, FolderThatCannotBeCreatedIsReportedByName) {
    test::TempDir dir;
    std::ofstream(dir.path() / "plainfile") << "x";
    GenerateOptions options;
    options.categories = {mqSuperC0};
    options.figures = false;
    const std::filesystem::path bad = dir.path() / "plainfile" / "sub";
    try {
        generateSampleData(bad, options);
        FAIL() << "no error";
    } catch (const SampleDataError& e) {
        EXPECT_NE(std::string(e.what()).find(bad.string()), std::string::npos) << e.what();
    }
    options.categories = {mqSuperC0, mqAdr};
    EXPECT_THROW(generateSampleData(dir.path() / "ok", options), SampleDataError);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "ok"));
}

TEST(SampleDataTool, HelpSucceedsAndBadArgumentsExitWithTwo) {
    test::TempDir dir;
    const std::string d = dir.folder() + "out";
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(run("-h"), 0);
    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(run(d + " --seed"), 2);
    EXPECT_EQ(run(d + " --seed abc"), 2);
    EXPECT_EQ(run(d + " --seed -1"), 2);
    EXPECT_EQ(run(d + " --seed 18446744073709551616"), 2);
    EXPECT_EQ(run(d + " --seed 1 --seed 2"), 2);
    EXPECT_EQ(run(d + " --bogus"), 2);
    EXPECT_EQ(run(d + " " + d + "2"), 2);
    EXPECT_FALSE(std::filesystem::exists(d)) << "nothing written on a usage error";
    std::ofstream(dir.path() / "plainfile") << "x";
    EXPECT_EQ(run(dir.folder() + "plainfile/sub"), 1);
}

TEST(SampleDataTool, WritesAllFourteenCategoriesHeadless) {
    test::TempDir dir;
    ASSERT_EQ(run(dir.folder() + "out --seed=3"), 0);
    const std::filesystem::path out = dir.path() / "out";
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        const auto master = test::readMaster(out, m);
        EXPECT_GT(master.rows.size(), 500u);
        EXPECT_GE(test::readTopicList(out, m).size(), 8u);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out / "PicSgn"),
                            std::filesystem::directory_iterator()),
              static_cast<long>(buildFigureCatalogue(3).bitmaps.size()));
    EXPECT_TRUE(std::filesystem::exists(out / "Vexora.ini"));
}

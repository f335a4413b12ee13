#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "core/codepage.h"
#include "sample_support.h"

using namespace vexora;
using namespace vexora::sampledata;
using vexora::test::column;
using vexora::test::defaultSample;
using vexora::test::readMaster;
using vexora::test::readTopicList;
using vexora::test::text;

TEST(SampleTopics, ListsHoldRToRPlusThreeTopicsAndNeverMoreThan31) {
    const std::map<TModalitaQuiz, int> rows = {
        {mqAB, 31},      {mqAM, 22},      {mqSuperC1, 13}, {mqSuperC0, 8},  {mqSuperC, 27},
        {mqSuperCx, 14}, {mqSuperD1, 12}, {mqSuperD, 25},  {mqSuperDx, 13}, {mqCqc1M, 25},
        {mqCqc2P, 27},   {mqCqc3M, 10},   {mqCqc4P, 12},   {mqCqc5B, 15},
    };
    const auto& sample = defaultSample();
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        const auto topics = readTopicList(sample.dir.path(), m);
        const int n = static_cast<int>(topics.size());
        EXPECT_GE(n, rows.at(m));
        EXPECT_LE(n, std::min(rows.at(m) + 3, 31));
    }
}

TEST(SampleTopics, SectionsCarryTitleCodeLetterAndSubTopic) {
    const auto& dir = defaultSample().dir.path();
    int longTitles = 0, shortTitles = 0, accented = 0;
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        std::set<std::string> codes;
        for (const auto& t : readTopicList(dir, m)) {
            EXPECT_FALSE(t.testo.empty());
            EXPECT_EQ(t.indice.size(), 3u) << t.indice;
            EXPECT_TRUE(codes.insert(t.indice).second) << "duplicate topic code " << t.indice;
            ASSERT_EQ(t.argomento.size(), 1u);
            EXPECT_EQ(t.argomento[0], t.indice[0]);
            EXPECT_EQ(t.subArgomento, t.indice.substr(1));
            (utf8Length(t.testo) > 45 ? longTitles : shortTitles)++;
            accented += t.testo.find("à") != std::string::npos ||
                        t.testo.find("é") != std::string::npos ||
                        t.testo.find("è") != std::string::npos;
        }
    }
    EXPECT_GT(longTitles, 10) << "titles longer than the 45 characters the list shows";
    EXPECT_GT(shortTitles, 10);
    EXPECT_GT(accented, 0);
}

TEST(SampleTopics, EveryTopicHasWellOverTheOneTopicQuotaAndMatchesTheMaster) {
    const auto& dir = defaultSample().dir.path();
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        const auto master = readMaster(dir, m);
        const std::size_t idx = column(master, "Indice");
        std::map<std::string, int> perTopic;
        for (const auto& row : master.rows)
            ++perTopic[text(row[idx])];
        const auto topics = readTopicList(dir, m);
        // q = Q div 1 + 1 for a sheet of one topic; "well over" it by a quarter at least.
        const int quota = questionsPerSheet(m) + 1;
        std::set<std::string> listed;
        for (const auto& t : topics) {
            listed.insert(t.indice);
            EXPECT_GE(perTopic[t.indice] * 4, quota * 5) << t.indice;
        }
        for (const auto& [code, count] : perTopic)
            EXPECT_TRUE(listed.count(code)) << "master topic " << code << " is not listed";
    }
}

TEST(SampleTopics, RegeneratingWithAnotherSeedLeavesNoSectionOfTheOldList) {
    test::TempDir dir;
    GenerateOptions options;
    options.figures = false;
    options.settingsFile = false;
    options.categories = {mqCqc2P};
    // Find two seeds with different topic counts, write the longer list first.
    std::map<std::size_t, std::uint64_t> seedByCount;
    for (std::uint64_t s = 1; s <= 12; ++s)
        seedByCount[buildCategory(mqCqc2P, s, buildFigureCatalogue(s)).topics.size()] = s;
    const std::uint64_t more = seedByCount.rbegin()->second;
    const std::uint64_t fewer = seedByCount.begin()->second;
    ASSERT_NE(more, fewer);
    options.seed = more;
    generateSampleData(dir.path(), options);
    options.seed = fewer;
    generateSampleData(dir.path(), options);

    const auto expected = buildCategory(mqCqc2P, fewer, buildFigureCatalogue(fewer)).topics;
    const auto topics = readTopicList(dir.path(), mqCqc2P);
    ASSERT_EQ(topics.size(), expected.size());
    const std::string file = (dir.path() / std::string(topicListFile(mqCqc2P))).string();
    settings::TXmlIni store(file);
    const std::string last = "Argomento_" + std::to_string(expected.size());
    EXPECT_EQ(store.ReadString(last, "Indice", "absent"), "absent");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "ARGCQC2.xmb")) << "no backup copy";
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".new"), std::string::npos) << entry.path();
}

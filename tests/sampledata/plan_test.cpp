#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <set>
#include <string>

#include "sample_support.h"

using namespace vexora;
using namespace vexora::sampledata;

namespace {

std::set<std::string> codes(int from, int to) {
    std::set<std::string> s;
    for (int i = from; i <= to; ++i)
        s.insert((i < 10 ? "0" : "") + std::to_string(i));
    return s;
}

std::set<std::string> unite(std::set<std::string> a, const std::set<std::string>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

// The chapters each category's exam sheet draws from, written out independently of the
// generator's slot lists.
const std::map<TModalitaQuiz, std::set<std::string>>& expectedChapters() {
    static const std::map<TModalitaQuiz, std::set<std::string>> m = {
        {mqAB, codes(1, 25)},
        {mqAM, codes(1, 10)},
        {mqSuperC1, codes(1, 10)},
        {mqSuperC0, codes(5, 10)},
        {mqSuperC, codes(1, 17)},
        {mqSuperCx, codes(11, 17)},
        {mqSuperD1, codes(1, 10)},
        {mqSuperD, codes(1, 16)},
        {mqSuperDx, codes(11, 16)},
        {mqCqc1M, codes(1, 13)},
        {mqCqc2P, unite(codes(1, 10), codes(14, 16))},
        {mqCqc3M, codes(11, 13)},
        {mqCqc4P, codes(14, 16)},
        {mqCqc5B, codes(1, 10)},
    };
    return m;
}

}  // namespace

TEST(SamplePlan, ExamPlansFillEverySlotWithTheCategoryChapters) {
    ASSERT_EQ(categoryPlans().size(), 14u);
    for (const CategoryPlan& plan : categoryPlans()) {
        SCOPED_TRACE(std::string(categoryCode(plan.category)));
        EXPECT_EQ(&categoryPlan(plan.category), &plan);
        int slots = 0;
        std::set<std::string> chapters;
        for (const auto& [code, n] : chapterSlots(plan)) {
            slots += n;
            chapters.insert(code);
        }
        EXPECT_EQ(slots, questionsPerSheet(plan.category));
        EXPECT_EQ(chapters, expectedChapters().at(plan.category));
    }
    // Spot checks of repeated chapters.
    const auto slotsOf = [](TModalitaQuiz m, const std::string& code) {
        for (const auto& [c, n] : chapterSlots(categoryPlan(m)))
            if (c == code)
                return n;
        return 0;
    };
    EXPECT_EQ(slotsOf(mqAB, "05"), 2);
    EXPECT_EQ(slotsOf(mqAB, "06"), 1);
    EXPECT_EQ(slotsOf(mqAM, "07"), 3);
    EXPECT_EQ(slotsOf(mqSuperC, "11"), 5);
    EXPECT_EQ(slotsOf(mqCqc1M, "11"), 10);
    EXPECT_EQ(slotsOf(mqCqc1M, "01"), 4);
    EXPECT_EQ(slotsOf(mqCqc4P, "16"), 10);
    EXPECT_THROW(categoryPlan(mqAdr), std::out_of_range);
}

TEST(SamplePlan, SizesAndTopicRowsFollowTheCategoryTables) {
    const std::map<TModalitaQuiz, std::pair<int, int>> expected = {
        {mqAB, {7000, 31}},      {mqAM, {1800, 22}},     {mqSuperC1, {1400, 13}},
        {mqSuperC0, {600, 8}},   {mqSuperC, {2400, 27}}, {mqSuperCx, {1000, 14}},
        {mqSuperD1, {1300, 12}}, {mqSuperD, {2400, 25}}, {mqSuperDx, {1000, 13}},
        {mqCqc1M, {3200, 25}},   {mqCqc2P, {3200, 27}},  {mqCqc3M, {1200, 10}},
        {mqCqc4P, {1200, 12}},   {mqCqc5B, {1600, 15}},
    };
    for (const CategoryPlan& plan : categoryPlans()) {
        SCOPED_TRACE(std::string(categoryCode(plan.category)));
        EXPECT_EQ(plan.questions, expected.at(plan.category).first);
        EXPECT_EQ(plan.topicRows, expected.at(plan.category).second);
        EXPECT_GT(plan.figureShare, 0.15);
        EXPECT_LT(plan.figureShare, 0.35);
        EXPECT_EQ(plan.tabsInTexts, plan.category == mqSuperC1 || plan.category == mqSuperC);
        // Well over the quota of a one-topic sheet.
        EXPECT_GE(minimumTopicSize(plan.category) * 4, (questionsPerSheet(plan.category) + 1) * 5);
    }
}

TEST(SampleRng, StaysInRangeReachesEveryValueAndRepeatsForTheSameSeed) {
    SampleRng a(42), b(42), c(43);
    std::map<std::int64_t, int> seen;
    bool differs = false;
    for (int i = 0; i < 6000; ++i) {
        const auto x = a.between(-3, 2);
        EXPECT_EQ(x, b.between(-3, 2));
        differs = differs || x != c.between(-3, 2);
        ASSERT_GE(x, -3);
        ASSERT_LE(x, 2);
        ++seen[x];
    }
    EXPECT_TRUE(differs);
    ASSERT_EQ(seen.size(), 6u);
    for (const auto& [value, count] : seen)
        EXPECT_NEAR(count, 1000, 150) << value;  // roughly uniform
    EXPECT_EQ(a.between(7, 7), 7);
    const auto full = a.between(INT64_MIN, INT64_MAX);  // the whole range is allowed
    (void)full;
    EXPECT_THROW(a.between(2, 1), std::invalid_argument);
    for (int i = 0; i < 1000; ++i) {
        const double u = a.unit();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
    }
    EXPECT_NE(streamSeed(1, 5), streamSeed(1, 6));
    EXPECT_NE(streamSeed(1, 5), streamSeed(2, 5));
    EXPECT_EQ(streamSeed(9, 5), streamSeed(9, 5));
}

#if __has_include("compose/plans.h")
#include "compose/plans.h"

TEST(SamplePlan, AgreesWithTheCompositionTables) {
    for (const CategoryPlan& plan : categoryPlans()) {
        SCOPED_TRACE(std::string(categoryCode(plan.category)));
        std::vector<std::string> slots;
        std::string code;
        for (char c : std::string(plan.examPlan) + " ") {
            if (c != ' ') {
                code += c;
            } else if (!code.empty()) {
                slots.push_back(code);
                code.clear();
            }
        }
        const auto exam = compose::examChapters(plan.category);
        EXPECT_EQ(slots, std::vector<std::string>(exam.begin(), exam.end()));
        EXPECT_EQ(plan.topicRows, compose::topicTableRows(plan.category));
    }
}
#endif

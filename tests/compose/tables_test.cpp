#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "compose/plans.h"
#include "compose/sequence.h"
#include "core/catalogue.h"
#include "support/compose_tables.h"

using namespace vexora;
using namespace vexora::compose;

namespace {

std::vector<int> rowOf(TModalitaQuiz m, int n) {
    const auto row = topicTableRow(m, n);
    return {row.begin(), row.end()};
}

std::vector<int> blocks(int q, int n) {
    std::vector<int> row;
    for (int p = 1; p <= n; ++p)
        row.insert(row.end(), static_cast<std::size_t>(q / n), p);
    return row;
}

std::vector<int> concat(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<int> run(int first, int last) {
    std::vector<int> r;
    for (int p = first; p <= last; ++p)
        r.push_back(p);
    return r;
}

// Rows written out whole rather than as blocks plus extra topics.
bool builtDifferently(TModalitaQuiz m, int n) {
    if (m == mqAB)
        return n == 31;
    if (m == mqSuperC)
        return n == 15 || n >= 23;
    if (m == mqSuperD)
        return n == 15 || n >= 23;
    if (m == mqCqc5B)
        return n == 15;
    return false;
}

}  // namespace

TEST(SequenceKinds, NamesAndFieldPairs) {
    EXPECT_EQ(valueName(tsNulla), "tsNulla");
    EXPECT_EQ(valueName(tsErrore), "tsErrore");
    EXPECT_EQ(valueName(toArgomentoMista), "toArgomentoMista");
    EXPECT_EQ(valueName(toMista), "toMista");
    EXPECT_EQ(dtFieldName(tsNormale), "dtNormali");
    EXPECT_EQ(rsFieldName(tsEsame), "rsEsame");
    EXPECT_EQ(dtFieldName(tsDifficile), "dtDifficili");
    EXPECT_EQ(rsFieldName(tsDubbia), "rsDubbie");
    EXPECT_EQ(dtFieldName(tsErrore), "dtErrori");
    EXPECT_EQ(dtFieldName(tsNulla), "");
    EXPECT_EQ(rsFieldName(tsCustom), "");
    EXPECT_EQ(valueName(static_cast<TTipoSequenza>(9)), "");
}

TEST(ExamPlans, EveryCategoryHasItsChapterListSlotBySlot) {
    for (TModalitaQuiz m : workingCategories()) {
        const auto plan = examChapters(m);
        const auto expected = test::expectedExamPlan(m);
        ASSERT_EQ(static_cast<int>(plan.size()), questionsPerSheet(m)) << categoryCode(m);
        EXPECT_EQ(std::vector<std::string>(plan.begin(), plan.end()), expected) << categoryCode(m);
    }
    EXPECT_TRUE(examChapters(mqNone).empty());
    EXPECT_TRUE(examChapters(mqAdr).empty());
}

TEST(ExamPlans, ChaptersPerSheetMatchTheStatedCounts) {
    auto counts = [](TModalitaQuiz m) {
        std::map<std::string, int> c;
        for (const auto& code : examChapters(m))
            ++c[code];
        return c;
    };
    const auto ab = counts(mqAB);
    EXPECT_EQ(ab.size(), 25u);
    for (const char* twice : {"05", "12", "13", "17", "22"})
        EXPECT_EQ(ab.at(twice), 2) << twice;
    EXPECT_EQ(ab.at("01"), 1);
    for (TModalitaQuiz m : {mqCqc1M, mqCqc2P}) {
        const auto c = counts(m);
        EXPECT_EQ(c.size(), 13u);
        for (int k = 1; k <= 10; ++k)
            EXPECT_EQ(c.at(test::expectedExamPlan(mqCqc5B)[k - 1]), 4);
        const int own = m == mqCqc1M ? 11 : 14;
        for (int k = own; k < own + 3; ++k)
            EXPECT_EQ(c.at(std::to_string(k)), 10);
    }
    for (const auto& [code, n] : counts(mqAM))
        EXPECT_EQ(n, 3) << code;
    for (const auto& [code, n] : counts(mqCqc3M))
        EXPECT_EQ(n, 10) << code;
    for (const auto& [code, n] : counts(mqCqc5B))
        EXPECT_EQ(n, 4) << code;
}

TEST(TopicTables, DimensionsPerCategory) {
    const std::map<TModalitaQuiz, int> rows = {
        {mqAB, 31},      {mqAM, 22},      {mqSuperC1, 13}, {mqSuperC0, 8},  {mqSuperC, 27},
        {mqSuperCx, 14}, {mqSuperD1, 12}, {mqSuperD, 25},  {mqSuperDx, 13}, {mqCqc1M, 25},
        {mqCqc2P, 27},   {mqCqc3M, 10},   {mqCqc4P, 12},   {mqCqc5B, 15}};
    for (const auto& [m, r] : rows)
        EXPECT_EQ(topicTableRows(m), r) << categoryCode(m);
    EXPECT_EQ(topicTableRows(mqNone), 0);
    EXPECT_TRUE(topicTableRow(mqAB, 0).empty());
    EXPECT_TRUE(topicTableRow(mqAB, 32).empty());
    EXPECT_TRUE(topicTableRow(mqSuperC0, 9).empty());
}

TEST(TopicTables, EveryRowFillsTheSheetWithSelectedTopicsOnly) {
    for (TModalitaQuiz m : workingCategories()) {
        const int q = questionsPerSheet(m);
        for (int n = 1; n <= topicTableRows(m); ++n) {
            const auto row = rowOf(m, n);
            ASSERT_EQ(static_cast<int>(row.size()), q) << categoryCode(m) << " n=" << n;
            std::vector<int> uses(static_cast<std::size_t>(n) + 1, 0);
            for (int p : row) {
                ASSERT_GE(p, 1) << categoryCode(m) << " n=" << n;
                ASSERT_LE(p, n) << categoryCode(m) << " n=" << n;
                ++uses[static_cast<std::size_t>(p)];
            }
            // Every selected topic supplies a slot, except the first of AB's 31-topic row.
            for (int p = 1; p <= n; ++p) {
                if (m == mqAB && n == 31 && p == 1) {
                    EXPECT_EQ(uses[1], 0);
                } else {
                    EXPECT_GE(uses[static_cast<std::size_t>(p)], 1)
                        << categoryCode(m) << " n=" << n << " topic " << p;
                }
            }
        }
    }
}

TEST(TopicTables, RowsNotWrittenWholeStartWithTheirBlocks) {
    for (TModalitaQuiz m : workingCategories()) {
        const int q = questionsPerSheet(m);
        for (int n = 1; n <= topicTableRows(m); ++n) {
            if (builtDifferently(m, n))
                continue;
            const auto row = rowOf(m, n);
            const auto expected = blocks(q, n);
            ASSERT_GE(row.size(), expected.size());
            EXPECT_EQ(
                std::vector<int>(row.begin(), row.begin() + static_cast<long>(expected.size())),
                expected)
                << categoryCode(m) << " n=" << n;
            if (q % n == 0) {
                EXPECT_EQ(row, expected) << categoryCode(m) << " n=" << n;
            }
        }
    }
}

TEST(TopicTables, WorkedExamples) {
    // AB, 4 topics: 7 + 1, 7, 7 + 1, 7 (slots 29 and 30 to topics 1 and 3).
    EXPECT_EQ(rowOf(mqAB, 4), concat(blocks(30, 4), {1, 3}));
    // AB, 31 topics: topic 1 supplies nothing.
    EXPECT_EQ(rowOf(mqAB, 31), run(2, 31));
    EXPECT_EQ(rowOf(mqAB, 11), concat(blocks(30, 11), run(3, 10)));
    EXPECT_EQ(rowOf(mqAB, 16), concat(blocks(30, 16), run(1, 14)));
    // S1, 9 topics: topics 9 and 1 supply three.
    EXPECT_EQ(rowOf(mqSuperC1, 9),
              (std::vector<int>{1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 9, 1}));
    EXPECT_EQ(rowOf(mqSuperC0, 3), (std::vector<int>{1, 1, 1, 2, 2, 2, 3, 3, 3, 1}));
    EXPECT_EQ(rowOf(mqCqc5B, 7), concat(blocks(40, 7), {1, 2, 3, 4, 6}));
    EXPECT_EQ(rowOf(mqCqc1M, 25), concat(concat(blocks(70, 25), {2, 3}), run(7, 24)));
    // S3, 15 topics: topic 15 supplies a single slot.
    const std::vector<int> s3row15 = {1,  1, 2, 2, 3,  3,  4,  4,  5,  5,  6,  6,  7,  7,
                                      8,  8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                      15, 2, 3, 4, 6,  7,  8,  9,  10, 12, 13, 14};
    EXPECT_EQ(rowOf(mqSuperC, 15), s3row15);
    EXPECT_EQ(rowOf(mqCqc5B, 15), s3row15);
    auto s6row15 = s3row15;
    s6row15[37] = 11;  // S6 takes topic 11 where S3 takes 12
    EXPECT_EQ(rowOf(mqSuperD, 15), s6row15);
    EXPECT_EQ(rowOf(mqSuperC, 23),
              concat(concat(run(1, 22), run(14, 23)), {12, 14, 15, 16, 18, 19, 20, 22}));
    EXPECT_EQ(rowOf(mqSuperD, 25),
              concat(concat(run(1, 22), run(14, 25)), {18, 19, 20, 22, 23, 24}));
    EXPECT_EQ(rowOf(mqSuperC, 27), concat(concat(run(1, 22), run(14, 27)), {23, 24, 25, 26}));
    EXPECT_EQ(rowOf(mqCqc2P, 27), concat(blocks(70, 27), {2, 3, 9, 10, 11, 12, 13, 14, 15, 20, 21,
                                                          22, 23, 24, 25, 26}));
}

TEST(TopicTables, AmUsesTheFirstRowsOfAb) {
    for (int n = 1; n <= 22; ++n)
        EXPECT_EQ(rowOf(mqAM, n), rowOf(mqAB, n)) << n;
}

TEST(TopicTables, Slot22OfThe21TopicRowsIsAChosenSelectedTopic) {
    for (TModalitaQuiz m : {mqSuperC, mqSuperD}) {
        const auto row = rowOf(m, 21);
        EXPECT_EQ(row[21], kSlot22TopicOfRow21);
        EXPECT_EQ(std::vector<int>(row.begin(), row.begin() + 21), run(1, 21));
        EXPECT_EQ(std::vector<int>(row.begin() + 22, row.end()),
                  concat(concat(run(14, 21), run(1, 6)), {10, 18, 19, 20}));
    }
}

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "compose/random_source.h"
#include "support/compose_world.h"

using namespace vexora;
using namespace vexora::test;

namespace {

// A seed whose first draws over n rows are the given row offsets.
std::uint32_t seedDrawing(std::uint32_t n, const std::vector<std::uint32_t>& offsets) {
    for (std::uint32_t seed = 1;; ++seed) {
        compose::RandomSource r(seed);
        bool all = true;
        for (std::uint32_t o : offsets)
            all = all && r.below(n) == o;
        if (all)
            return seed;
    }
}

// A world whose history shows `rows` questions (ids 1..rows, all in chapter 01) with
// filtering off, so every row is visible.
struct PickerWorld {
    ComposeWorld w;
    explicit PickerWorld(int rows, std::uint32_t seed = 777) : w(seed) {
        w.open(mqAB, chapterMaster(1, rows), numberedTopics(1));
        w.history().SetFiltered(false);
    }
    int pick(compose::TTipoSequenza kind, bool ancheSvolte, int escludi) {
        return w.composer.IndiceDomandaRandom(kind, ancheSvolte, escludi);
    }
    int currentId() { return static_cast<int>(w.history().FieldByName("IdMaster").AsInteger()); }
};

}  // namespace

TEST(RandomSource, DrawsAreFixedByTheSeed) {
    // mt19937's first output for seed 5489 is 3499211612 on every library.
    compose::RandomSource r(5489);
    EXPECT_EQ(r.below(1000), 612u);
    compose::RandomSource a(99), b(99);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(a.between(-3, 40), b.between(-3, 40));
    EXPECT_EQ(a.draws(), 100u);
    compose::RandomSource one(1);
    EXPECT_EQ(one.below(1), 0u);
    EXPECT_THROW(one.below(0), std::invalid_argument);
}

TEST(Picker, SingleRowIsReturnedEvenWhenExcluded) {
    PickerWorld p(1);
    const auto before = p.w.composer.random().draws();
    EXPECT_EQ(p.pick(compose::tsEsame, false, 1), 1);
    EXPECT_EQ(p.w.composer.random().draws(), before + 1);
    EXPECT_EQ(p.w.composer.UltimoRandom, 1);
}

TEST(Picker, OfTwoRowsTheExcludedOneIsNeverReturned) {
    PickerWorld p(2);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(p.pick(compose::tsEsame, true, 2), 1);
        EXPECT_EQ(p.currentId(), 1);
    }
}

TEST(Picker, DistanceThresholdHalvesFromAQuarterOfTheRows) {
    // Eight rows, ids 1..8; UltimoRandom 4. First attempt: D = 2.
    {
        // Difference 1 (id 5, offset 4) fails the first attempt; the second is offset 0.
        PickerWorld p(8, seedDrawing(8, {4, 0}));
        p.w.composer.UltimoRandom = 4;
        const auto before = p.w.composer.random().draws();
        EXPECT_EQ(p.pick(compose::tsNormale, false, 0), 1);
        EXPECT_EQ(p.w.composer.random().draws(), before + 2);
    }
    {
        // Difference 2 (id 6, offset 5) passes at once.
        PickerWorld p(8, seedDrawing(8, {5}));
        p.w.composer.UltimoRandom = 4;
        const auto before = p.w.composer.random().draws();
        EXPECT_EQ(p.pick(compose::tsNormale, false, 0), 6);
        EXPECT_EQ(p.w.composer.random().draws(), before + 1);
    }
    {
        // Second attempt (D = 1): difference 1 passes.
        PickerWorld p(8, seedDrawing(8, {3, 4}));
        p.w.composer.UltimoRandom = 4;
        const auto before = p.w.composer.random().draws();
        EXPECT_EQ(p.pick(compose::tsNormale, false, 0), 5);
        EXPECT_EQ(p.w.composer.random().draws(), before + 2);
    }
    {
        // The previous question itself: refused twice, taken at the third attempt (D = 0).
        PickerWorld p(8, seedDrawing(8, {3, 3, 3}));
        p.w.composer.UltimoRandom = 4;
        const auto before = p.w.composer.random().draws();
        EXPECT_EQ(p.pick(compose::tsNormale, false, 0), 4);
        EXPECT_EQ(p.w.composer.random().draws(), before + 3);
    }
    {
        // AncheSvolte switches the distance test off.
        PickerWorld p(8, seedDrawing(8, {3}));
        p.w.composer.UltimoRandom = 4;
        EXPECT_EQ(p.pick(compose::tsNormale, true, 0), 4);
    }
}

TEST(Picker, EveryVisibleRowIsEquallyLikely) {
    constexpr int kRows = 10;
    constexpr int kPicks = 20000;
    PickerWorld p(kRows, 4242);
    std::vector<int> counts(kRows + 1, 0);
    for (int i = 0; i < kPicks; ++i)
        ++counts[static_cast<std::size_t>(p.pick(compose::tsNormale, true, 0))];
    double chi2 = 0;
    const double expected = static_cast<double>(kPicks) / kRows;
    for (int id = 1; id <= kRows; ++id) {
        const double d = counts[static_cast<std::size_t>(id)] - expected;
        chi2 += d * d / expected;
    }
    // 9 degrees of freedom: 27.88 is the 0.1 % point. Doubling the last row's chance
    // gives a value in the thousands.
    EXPECT_LT(chi2, 27.88) << "last row " << counts[kRows];
}

TEST(Picker, ExamRowsAllPrintedGiveUpAfter501AttemptsWithADiagnostic) {
    PickerWorld p(8);
    data::Table& t = p.w.history();
    for (t.First(); !t.Eof(); t.Next()) {
        t.Edit();
        t.FieldByName("dtEsame").SetAsDateTime(LocalDateTime{2024, 1, 2, 3, 4, 5, 0});
        t.Post();
    }
    p.w.composer.UltimoRandom = 77;
    const auto before = p.w.composer.random().draws();
    const int id = p.pick(compose::tsEsame, false, 0);
    EXPECT_EQ(p.w.composer.random().draws(), before + 501);
    EXPECT_EQ(p.currentId(), id);
    EXPECT_EQ(p.w.composer.UltimoRandom, id);
    ASSERT_EQ(p.w.ui.messages.size(), 1u);
    const std::string expected =
        "Problemi a generare un id casuale:\r\nTotaleRec: 8 - numRandom: " +
        std::to_string(id - 1) + "\r\nIdxRandom: " + std::to_string(id) + " - DistanzaOK: [" +
        std::to_string(77 - id + 1) +
        " > Distanziatore 0]\r\nDistanzaOk: True - NotInDbExist: False";
    EXPECT_EQ(p.w.ui.messages[0], expected);

    // With AncheSvolte the printed rows are fine.
    p.w.ui.messages.clear();
    p.pick(compose::tsEsame, true, 0);
    EXPECT_TRUE(p.w.ui.messages.empty());
}

TEST(Picker, NothingToDrawIsReportedAndGivesOne) {
    PickerWorld p(8);
    p.w.composer.UltimoRandom = 5;
    EXPECT_EQ(p.pick(compose::tsCustom, false, 0), 1);
    EXPECT_TRUE(
        p.w.logHas("Udorvel/IndiceDomandaRandom.IndiceDomandaRandom - Impossibile generare "
                   "un id casuale. Tipo sequenza: tsCustom\r\n8 record nel database "
                   "Allievo."));
    EXPECT_EQ(p.w.composer.UltimoRandom, 5);

    // No visible row under tsNormale, reported in a box when CkNoExceptMsg is off.
    p.w.switches.CkNoExceptMsg = false;
    p.w.composer.TipoSequenza = compose::tsNormale;
    p.w.composer.Ordinamento = compose::toArgomentoMista;
    p.w.composer.ArgomentiSlot.reset();
    p.w.history().SetFiltered(true);
    ASSERT_EQ(p.w.history().RecordCount(), 0u);
    EXPECT_EQ(p.pick(compose::tsNormale, false, 0), 1);
    ASSERT_EQ(p.w.ui.messages.size(), 1u);
    EXPECT_EQ(p.w.ui.messages[0],
              "Impossibile generare un id casuale. Tipo sequenza: tsNormale\r\n0 record nel "
              "database Allievo.");
    EXPECT_EQ(p.w.composer.UltimoRandom, 5);

    p.w.ui.messages.clear();
    EXPECT_EQ(p.pick(compose::tsNulla, false, 0), 1);
    ASSERT_EQ(p.w.ui.messages.size(), 1u);
    EXPECT_NE(p.w.ui.messages[0].find("Tipo sequenza: tsNulla"), std::string::npos);
}

TEST(Picker, ClosedHistoryGivesOneSilently) {
    PickerWorld p(8);
    p.w.qd.CdsPrint.reset();
    EXPECT_EQ(p.pick(compose::tsEsame, false, 0), 1);
    EXPECT_TRUE(p.w.ui.messages.empty());
    EXPECT_FALSE(p.w.logHas("IndiceDomandaRandom"));
}

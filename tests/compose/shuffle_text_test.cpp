#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>

#include "compose/sheet_text.h"
#include "support/compose_world.h"

using namespace vexora;
using namespace vexora::test;
using compose::TCorrettPrint;
using compose::TDomandaPrint;

namespace {

// Fills a category's sheet with distinct records (slot i: IdMaster i + 1), leaving the
// last slot empty.
void fillSheet(compose::SheetComposer& c, TModalitaQuiz m) {
    auto sheet = c.sheet(m);
    auto keys = c.sheetKeys(m);
    for (std::size_t i = 0; i + 1 < sheet.size(); ++i) {
        const int id = static_cast<int>(i) + 1;
        sheet[i] = {id,
                    "X",
                    "Testo " + std::to_string(id),
                    id % 2 ? "V" : "F",
                    "",
                    "",
                    "",
                    "B/" + std::to_string(id),
                    "T01"};
        keys[i] = {"", sheet[i].Risposta, id, sheet[i].BlkDom};
    }
}

}  // namespace

TEST(QuestionText, FigureReferenceIsRemovedOnceWithoutRegardToCase) {
    EXPECT_EQ(compose::removeFigureReference("Il segnale (F12) indica (F12) ancora", "f12"),
              "Il segnale indica (F12) ancora");
    EXPECT_EQ(compose::removeFigureReference("Vedi (F12)", "F12"), "Vedi");
    EXPECT_EQ(compose::removeFigureReference("Senza riferimento", "F12"), "Senza riferimento");
    EXPECT_EQ(compose::removeFigureReference("(F12) senza blank", "F12"), "(F12) senza blank");
    EXPECT_EQ(compose::removeFigureReference("Figura (\u00c8X9) qui", "\u00e8x9"), "Figura qui");
    EXPECT_EQ(compose::removeFigureReference("", "F1"), "");
}

TEST(Shuffle, RecordsStayWithTheirKeysAndNoneIsLost) {
    ComposeWorld w;
    fillSheet(w.composer, mqAB);
    std::vector<TDomandaPrint> before(w.composer.sheet(mqAB).begin(), w.composer.sheet(mqAB).end());
    ASSERT_TRUE(w.composer.MischiaScheda(mqAB));
    EXPECT_TRUE(w.logHas("TFormStampe.MischiaSchedaAB"));
    const auto sheet = w.composer.sheet(mqAB);
    const auto keys = w.composer.sheetKeys(mqAB);
    std::vector<int> ids;
    for (std::size_t i = 0; i < sheet.size(); ++i) {
        EXPECT_EQ(sheet[i].IdMaster, keys[i].IdMaster);
        EXPECT_EQ(sheet[i].BlkDom, keys[i].BlkDom);
        EXPECT_EQ(sheet[i].Risposta, keys[i].Risposta);
        ids.push_back(sheet[i].IdMaster);
        const auto& was = *std::find_if(before.begin(), before.end(), [&](const TDomandaPrint& b) {
            return b.IdMaster == sheet[i].IdMaster;
        });
        EXPECT_EQ(sheet[i].Testo, was.Testo);
    }
    std::vector<int> original;
    for (const auto& b : before)
        original.push_back(b.IdMaster);
    EXPECT_NE(ids, original) << "thirty records came out in their original order";
    std::sort(ids.begin(), ids.end());
    std::sort(original.begin(), original.end());
    EXPECT_EQ(ids, original);  // the empty slot (IdMaster 0) is shuffled too
}

TEST(Shuffle, FewerThanTwoRecordsDrawNothing) {
    ComposeWorld w;
    fillSheet(w.composer, mqSuperC0);
    auto sheet = w.composer.sheet(mqSuperC0);
    auto keys = w.composer.sheetKeys(mqSuperC0);
    const auto draws = w.composer.random().draws();
    w.composer.MischiaArray(sheet, keys, 0);
    w.composer.MischiaArray(sheet, keys, 1);
    w.composer.MischiaArray(sheet, keys, -4);
    EXPECT_EQ(w.composer.random().draws(), draws);
    for (std::size_t i = 0; i + 1 < sheet.size(); ++i)
        EXPECT_EQ(sheet[i].IdMaster, static_cast<int>(i) + 1);

    w.composer.MischiaArray(sheet, keys, 2);
    EXPECT_EQ(w.composer.random().draws(), draws + 1);
    EXPECT_EQ(sheet[2].IdMaster, 3);
    // A count beyond the arrays is held to their length.
    w.composer.MischiaArray(sheet, keys, 1000);
    EXPECT_EQ(w.composer.random().draws(), draws + 1 + 9);
}

TEST(Shuffle, EveryOrderOfThreeIsEquallyLikely) {
    ComposeWorld w(2718);
    std::array<TDomandaPrint, 3> sheet;
    std::array<TCorrettPrint, 3> keys;
    std::map<std::array<int, 3>, int> orders;
    constexpr int kRuns = 60000;
    for (int run = 0; run < kRuns; ++run) {
        for (int i = 0; i < 3; ++i) {
            sheet[static_cast<std::size_t>(i)].IdMaster = i + 1;
            keys[static_cast<std::size_t>(i)].IdMaster = i + 1;
        }
        w.composer.MischiaArray(sheet, keys, 3);
        ASSERT_EQ(sheet[0].IdMaster, keys[0].IdMaster);
        ++orders[{sheet[0].IdMaster, sheet[1].IdMaster, sheet[2].IdMaster}];
    }
    ASSERT_EQ(orders.size(), 6u);
    double chi2 = 0;
    for (const auto& [order, n] : orders) {
        const double d = n - kRuns / 6.0;
        chi2 += d * d / (kRuns / 6.0);
    }
    // 5 degrees of freedom: 20.5 is the 0.1 % point.
    EXPECT_LT(chi2, 20.5);
}

TEST(Shuffle, SameSeedSameOrder) {
    ComposeWorld a(55), b(55);
    fillSheet(a.composer, mqCqc1M);
    fillSheet(b.composer, mqCqc1M);
    ASSERT_TRUE(a.composer.MischiaScheda(mqCqc1M));
    ASSERT_TRUE(b.composer.MischiaScheda(mqCqc1M));
    for (std::size_t i = 0; i < a.composer.sheet(mqCqc1M).size(); ++i) {
        EXPECT_EQ(a.composer.sheet(mqCqc1M)[i].IdMaster, b.composer.sheet(mqCqc1M)[i].IdMaster);
    }
    EXPECT_FALSE(a.composer.MischiaScheda(mqNone));
}

TEST(Arrays, SizedFromTheCatalogueAndAccumulatorSurvivesSheets) {
    ComposeWorld w;
    for (TModalitaQuiz m : workingCategories()) {
        EXPECT_EQ(static_cast<int>(w.composer.sheet(m).size()), questionsPerSheet(m));
        EXPECT_EQ(static_cast<int>(w.composer.sheetKeys(m).size()), questionsPerSheet(m));
        EXPECT_EQ(static_cast<int>(w.composer.keyAccumulator(m).size()), keyAccumulatorSize(m));
    }
    EXPECT_TRUE(w.composer.sheet(mqNone).empty());
    EXPECT_TRUE(w.composer.keyAccumulator(mqCapB).empty());

    w.open(mqAB, chapterMaster(25, 4), numberedTopics(25));
    w.composer.keyAccumulator(mqAB)[5] = {"E001", "V", 7, "1/1"};
    ASSERT_TRUE(w.composer.CaricaArrayScheda(compose::tsEsame, compose::toNulla));
    EXPECT_EQ(w.composer.keyAccumulator(mqAB)[5].Scheda, "E001");
    w.composer.clearKeyAccumulator(mqAB);
    EXPECT_EQ(w.composer.keyAccumulator(mqAB)[5].IdMaster, 0);
    EXPECT_TRUE(w.composer.keyAccumulator(mqAB)[5].Scheda.empty());
}

#include "core/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

using namespace vexora;

TEST(Catalogue, DisplayNamesCoverAllSeventeenValues) {
    EXPECT_EQ(displayName(mqNone), "");
    EXPECT_EQ(displayName(mqAdr), "ADR");
    EXPECT_EQ(displayName(mqCapB), "CAP B");
    EXPECT_EQ(displayName(mqCqc3M), "Est. CQC M");
    EXPECT_EQ(displayName(mqSuperDx), "Est. D-DE");
    EXPECT_EQ(valueName(mqSuperC0), "mqSuperC0");
    EXPECT_EQ(valueName(mqCapB), "mqCapB");
    EXPECT_EQ(displayName(static_cast<TModalitaQuiz>(40)), "");
}

TEST(Catalogue, OnlyOneToFourteenAreWorkingCategories) {
    for (int v = 0; v < kCategoryValueCount; ++v) {
        const auto m = static_cast<TModalitaQuiz>(v);
        EXPECT_EQ(isWorkingCategory(m), v >= 1 && v <= 14) << v;
        if (!isWorkingCategory(m)) {
            EXPECT_THROW(categoryRow(m), std::out_of_range) << v;
            EXPECT_THROW(counterIndex(m, tdsEsame), std::out_of_range) << v;
        }
    }
}

TEST(Catalogue, RowsHoldTheirOwnValueAndConsistentSizes) {
    std::set<std::string_view> codes;
    for (TModalitaQuiz m : workingCategories()) {
        const CategoryRow& r = categoryRow(m);
        EXPECT_EQ(r.value, m);
        EXPECT_EQ(keyAccumulatorSize(m), r.k * r.n);
        EXPECT_TRUE(codes.insert(r.code).second) << r.code;
        // Master and history share the stem except for the third letter.
        std::string master(r.masterFile), history(r.printHistoryFile);
        ASSERT_EQ(master.size(), history.size());
        EXPECT_EQ(master[2], 'M');
        EXPECT_EQ(history[2], 'P');
        master[2] = 'P';
        EXPECT_EQ(master, history);
        EXPECT_EQ(categoryFromCode(r.code), m);
    }
    EXPECT_EQ(codes.size(), 14u);
}

TEST(Catalogue, PerCategoryConstantsMatchTheTable) {
    EXPECT_EQ(questionsPerSheet(mqSuperC0), 10);
    EXPECT_EQ(keyAccumulatorSize(mqSuperC0), 80);
    EXPECT_EQ(sheetsPerKey(mqCqc1M), 2);
    EXPECT_EQ(keyAccumulatorSize(mqCqc2P), 140);
    EXPECT_EQ(reportPages(mqCqc1M), 4);
    EXPECT_EQ(reportPages(mqCqc2P), 4);
    EXPECT_EQ(examResetThreshold(mqAB), 600);
    EXPECT_EQ(masterFile(mqSuperC1), "SQM2014.1.QXD");
    EXPECT_EQ(topicListFile(mqAM), "ARGCIGC.XML");
    EXPECT_EQ(printHistoryFile(mqCqc5B), "QQP2021.5.QXD");
    int withTenQuestions = 0;
    for (TModalitaQuiz m : workingCategories()) withTenQuestions += questionsPerSheet(m) == 10;
    EXPECT_EQ(withTenQuestions, 1);
}

TEST(Catalogue, CategoryFromCodeIgnoresCaseAndRejectsOthers) {
    EXPECT_EQ(categoryFromCode("s4"), mqSuperCx);
    EXPECT_EQ(categoryFromCode("c5"), mqCqc5B);
    EXPECT_FALSE(categoryFromCode("S8"));
    EXPECT_FALSE(categoryFromCode(""));
    EXPECT_FALSE(categoryFromCode("ABC"));
}

TEST(Catalogue, ListatoPositionsRoundTrip) {
    for (TModalitaQuiz m : workingCategories()) {
        const auto pos = listatoPosition(m);
        const CategoryGroup g = groupOf(m);
        if (g == CategoryGroup::AB || g == CategoryGroup::AM) {
            EXPECT_FALSE(pos) << int{m};
            continue;
        }
        ASSERT_TRUE(pos);
        EXPECT_EQ(categoryFromListato(g, *pos), m);
        EXPECT_LT(static_cast<std::size_t>(*pos), listatoEntries(g).size());
    }
    EXPECT_EQ(categoryFromListato(CategoryGroup::SUP, 6), mqSuperDx);
    EXPECT_EQ(listatoEntries(CategoryGroup::SUP)[6], "Estensione D-DE");
    EXPECT_EQ(categoryFromListato(CategoryGroup::CQC, 4), mqCqc5B);
    EXPECT_EQ(listatoEntries(CategoryGroup::CQC)[2], "Estensione CQC Merci");
    EXPECT_FALSE(categoryFromListato(CategoryGroup::SUP, 7));
    EXPECT_FALSE(categoryFromListato(CategoryGroup::CQC, 5));
    EXPECT_FALSE(categoryFromListato(CategoryGroup::CQC, -1));
    EXPECT_FALSE(categoryFromListato(CategoryGroup::AB, 0));
}

TEST(Catalogue, GroupsAndTheirCaptions) {
    EXPECT_EQ(firstCategoryOfGroup(CategoryGroup::SUP), mqSuperC1);
    EXPECT_EQ(firstCategoryOfGroup(CategoryGroup::CQC), mqCqc1M);
    EXPECT_EQ(groupOf(mqSuperDx), CategoryGroup::SUP);
    EXPECT_EQ(groupOf(mqCqc1M), CategoryGroup::CQC);
    EXPECT_EQ(groupCaption(CategoryGroup::CQC), "Schede quiz per l'abilitazione CQC");
    EXPECT_EQ(groupButtonName(CategoryGroup::SUP), "BtQuizModeSUP");
    EXPECT_EQ(groupButtonTag(CategoryGroup::CQC), 3);
    EXPECT_EQ(noGroupCaption(), "Selezionare prima la categoria AB, AM, CDE o CQC");
}

TEST(Catalogue, CounterIndexFollowsCatalogueOrder) {
    EXPECT_EQ(counterIndex(mqAB, tdsEsame), 0);
    EXPECT_EQ(counterIndex(mqAB, tdsArgomento), 1);
    EXPECT_EQ(counterIndex(mqCqc5B, tdsArgomento), 27);
    std::set<int> seen;
    for (TModalitaQuiz m : workingCategories()) {
        EXPECT_TRUE(seen.insert(counterIndex(m, tdsEsame)).second);
        EXPECT_TRUE(seen.insert(counterIndex(m, tdsArgomento)).second);
    }
    EXPECT_EQ(seen.size(), 28u);
    EXPECT_EQ(*seen.rbegin(), 27);
}

TEST(Catalogue, DerivedNamesForEveryCode) {
    for (TModalitaQuiz m : workingCategories()) {
        const std::string code(categoryCode(m));
        const std::string name(displayName(m));
        EXPECT_EQ(examCounterKey(m), "Progressivo Esa " + code);
        EXPECT_EQ(topicCounterKey(m), "Progressivo Arg " + code);
        EXPECT_EQ(counterKey(m, tdsArgomento), topicCounterKey(m));
        EXPECT_EQ(sheetReportName(m), "Scheda" + code);
        EXPECT_EQ(answerKeyReportName(m), "Correttore" + code);
        EXPECT_EQ(answerKeyTitle(m), "Correttore " + code + " ");
        EXPECT_EQ(pdfPrefix(m, tdsEsame), code + "_ESA");
        EXPECT_EQ(pdfPrefix(m, tdsArgomento), code + "_ARG");
        EXPECT_EQ(examButtonCaption(m), "Schede tipo ESAME " + name);
        EXPECT_EQ(topicButtonCaption(m), "Schede tipo ARGOMENTO " + name);
    }
    EXPECT_EQ(examCounterKey(mqSuperCx), "Progressivo Esa S4");
    EXPECT_EQ(shuffleRoutineName(mqSuperCx), "MischiaSchedaS4");
    EXPECT_EQ(sheetRendererName(mqSuperCx), "StampaSchedaS4");
    EXPECT_EQ(answerKeyRendererName(mqSuperCx), "StampaCorrettoreS4");
    EXPECT_EQ(examResetLogLine(mqSuperCx), "TFormStampe.InitAndCountDb (ResetEsame S4)");
    EXPECT_EQ(examButtonCaption(mqSuperCx), "Schede tipo ESAME Est. C-CE");
    EXPECT_EQ(topicButtonCaption(mqCqc5B), "Schede tipo ARGOMENTO CQC da APC");
    EXPECT_EQ(printButtonCaption(mqAB, tdsEsame), "Stampa schede tipo Esame AB");
    EXPECT_EQ(printButtonCaption(mqCqc3M, tdsArgomento), "Stampa schede per Argomento Est. CQC M");
    EXPECT_EQ(progressTitle(mqAB, tdsEsame), "Stampa schede tipo esame AB");
    EXPECT_EQ(progressTitle(mqSuperC0, tdsArgomento),
              "Stampa schede per blocchi di argomenti C1-C1E NP");
}

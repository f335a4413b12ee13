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
using vexora::test::text;

namespace {

// The question text as a sheet shows it: the first " (" + figure + ")" removed, found
// without regard to case.
std::string shownText(const std::string& testo, const std::string& figure) {
    if (figure.empty())
        return testo;
    const std::string ref = vexora::test::lower(" (" + figure + ")");
    const std::size_t at = vexora::test::lower(testo).find(ref);
    if (at == std::string::npos)
        return testo;
    return testo.substr(0, at) + testo.substr(at + ref.size());
}

bool isInteger(data::FieldType t) {
    return t == data::FieldType::Integer || t == data::FieldType::UnsignedInteger ||
           t == data::FieldType::AutoInc;
}

}  // namespace

TEST(SampleMasters, SizesLieWithinThreePercentOfTheTargets) {
    const std::map<TModalitaQuiz, int> targets = {
        {mqAB, 7000},      {mqAM, 1800},      {mqSuperC1, 1400}, {mqSuperC0, 600},
        {mqSuperC, 2400},  {mqSuperCx, 1000}, {mqSuperD1, 1300}, {mqSuperD, 2400},
        {mqSuperDx, 1000}, {mqCqc1M, 3200},   {mqCqc2P, 3200},   {mqCqc3M, 1200},
        {mqCqc4P, 1200},   {mqCqc5B, 1600},
    };
    const auto& sample = defaultSample();
    ASSERT_EQ(sample.summary.categories.size(), 14u);
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        const auto master = readMaster(sample.dir.path(), m);
        const double target = targets.at(m);
        EXPECT_NEAR(static_cast<double>(master.rows.size()), target, target * 0.03);
    }
}

TEST(SampleMasters, ChaptersAreExactlyThoseOfTheExamPlanWithRoomForSeveralSheets) {
    const auto& dir = defaultSample().dir.path();
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        const auto master = readMaster(dir, m);
        const std::size_t cap = column(master, "capitolo");
        std::map<std::string, int> perChapter;
        for (const auto& row : master.rows)
            ++perChapter[text(row[cap])];
        std::map<std::string, int> slots;
        for (const auto& [code, n] : chapterSlots(categoryPlan(m)))
            slots[code] = n;
        ASSERT_EQ(perChapter.size(), slots.size());
        for (const auto& [code, count] : perChapter) {
            ASSERT_TRUE(slots.count(code)) << "chapter " << code << " is not in the exam plan";
            EXPECT_GE(count, 5 * slots[code]) << "chapter " << code;
        }
    }
}

TEST(SampleMasters, ColumnsHaveTheRequiredNamesAndReadableTypes) {
    const auto& dir = defaultSample().dir.path();
    bool shortTextPrefixAndShortNumber = false;
    std::set<std::pair<data::FieldType, int>> domandaKinds;
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        const auto master = readMaster(dir, m);
        const auto& f = master.fields;
        const std::size_t id = column(master, "ID"), testo = column(master, "testo"),
                          risposta = column(master, "Risposta"),
                          domanda = column(master, "DOMANDA");
        EXPECT_TRUE(isInteger(f[id].type));
        EXPECT_EQ(f[testo].type, data::FieldType::String);
        EXPECT_EQ(f[risposta].type, data::FieldType::Boolean);
        EXPECT_TRUE(isInteger(f[domanda].type));
        for (const char* name :
             {"Figura", "Libro1", "Libro2", "Blocco", "Indice", "Capitolo", "Difficolta"})
            EXPECT_EQ(f[column(master, name)].type, data::FieldType::String) << name;
        if (f[testo].prefixSize == 2 && f[domanda].size == 2)
            shortTextPrefixAndShortNumber = true;
        domandaKinds.insert({f[domanda].type, f[domanda].size});

        // Values fit the print history built from the master.
        std::set<std::int64_t> ids;
        const std::size_t blocco = column(master, "Blocco"), indice = column(master, "Indice"),
                          cap = column(master, "Capitolo"), diff = column(master, "Difficolta");
        for (const auto& row : master.rows) {
            ASSERT_TRUE(ids.insert(std::get<std::int64_t>(row[id])).second) << "duplicate Id";
            const auto n = std::get<std::int64_t>(row[domanda]);
            ASSERT_TRUE(n >= 1 && n <= 99) << n;
            ASSERT_TRUE(std::holds_alternative<bool>(row[risposta]));
            const std::string b = text(row[blocco]), c = text(row[cap]);
            ASSERT_TRUE(!b.empty() && b.size() <= 5) << b;
            ASSERT_EQ(text(row[indice]).size(), 3u);
            ASSERT_TRUE(c.size() == 2 && std::isdigit(static_cast<unsigned char>(c[0])) &&
                        std::isdigit(static_cast<unsigned char>(c[1])))
                << c;
            ASSERT_LE(text(row[diff]).size(), 2u);
        }
        EXPECT_EQ(*ids.begin(), 1) << "composition falls back to the question with Id 1";
    }
    EXPECT_TRUE(shortTextPrefixAndShortNumber);
    EXPECT_GE(domandaKinds.size(), 3u) << "question numbers stored in several integer kinds";
}

TEST(SampleMasters, AnswersAreAboutHalfTrue) {
    const auto& dir = defaultSample().dir.path();
    for (TModalitaQuiz m : workingCategories()) {
        const auto master = readMaster(dir, m);
        const std::size_t r = column(master, "Risposta");
        int yes = 0;
        for (const auto& row : master.rows)
            yes += std::get<bool>(row[r]) ? 1 : 0;
        const double share = double(yes) / double(master.rows.size());
        EXPECT_GT(share, 0.44) << categoryCode(m);
        EXPECT_LT(share, 0.56) << categoryCode(m);
    }
}

TEST(SampleMasters, TextsSpanFortyToThreeHundredThirtyAndCrossBothFontThresholds) {
    const auto& dir = defaultSample().dir.path();
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        const auto master = readMaster(dir, m);
        const std::size_t t = column(master, "Testo"), fig = column(master, "Figura");
        std::size_t shortest = 1000, longest = 0;
        int figUpTo200 = 0, figOver200 = 0, plainUpTo265 = 0, plainOver265 = 0, under60 = 0;
        int accented = 0;
        for (const auto& row : master.rows) {
            const std::string testo = text(row[t]), figure = text(row[fig]);
            ASSERT_TRUE(fitsCp1252(testo)) << testo;
            const std::size_t raw = utf8Length(testo);
            shortest = std::min(shortest, raw);
            longest = std::max(longest, raw);
            const std::size_t shown = utf8Length(shownText(testo, figure));
            under60 += shown < 60;
            if (figure.empty())
                (shown > 265 ? plainOver265 : plainUpTo265)++;
            else
                (shown > 200 ? figOver200 : figUpTo200)++;
            for (const char* a : {"è", "à", "ò", "ù", "é", "ì"})
                if (testo.find(a) != std::string::npos) {
                    ++accented;
                    break;
                }
        }
        EXPECT_GE(shortest, 40u);
        EXPECT_LE(longest, 330u);
        EXPECT_GE(longest, 300u);
        EXPECT_GT(under60, 0);
        EXPECT_GT(figUpTo200, 10);
        EXPECT_GT(figOver200, 10);
        EXPECT_GT(plainUpTo265, 10);
        EXPECT_GT(plainOver265, 10);
        EXPECT_GT(accented, static_cast<int>(master.rows.size()) / 4);
    }
}

TEST(SampleMasters, FigureReferencesAndTabsAppearWhereTheyShould) {
    const auto& dir = defaultSample().dir.path();
    int exactCase = 0, otherCase = 0, twice = 0;
    bool perche = false;
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        const auto master = readMaster(dir, m);
        const std::size_t t = column(master, "Testo"), fig = column(master, "Figura");
        int tabs = 0, referenced = 0, withFigure = 0;
        for (const auto& row : master.rows) {
            const std::string testo = text(row[t]), figure = text(row[fig]);
            tabs += testo.find('\t') != std::string::npos;
            perche = perche || testo.find("perché") != std::string::npos;
            if (figure.empty())
                continue;
            ++withFigure;
            const std::string ref = " (" + figure + ")";
            if (testo.find(ref) != std::string::npos) {
                ++exactCase;
                ++referenced;
                if (testo.find(ref, testo.find(ref) + 1) != std::string::npos)
                    ++twice;
            } else if (shownText(testo, figure) != testo) {
                ++otherCase;
                ++referenced;
            }
        }
        if (m == mqSuperC1 || m == mqSuperC)
            EXPECT_GT(tabs, 5);
        else
            EXPECT_EQ(tabs, 0);
        EXPECT_GT(referenced, withFigure / 5);
        EXPECT_LT(referenced, withFigure / 2);
    }
    EXPECT_GT(exactCase, 100);
    EXPECT_GT(otherCase, 0) << "some references differ in letter case from their Figura";
    EXPECT_GT(twice, 0) << "a second reference stays in the text after composition";
    EXPECT_TRUE(perche);
}

TEST(SampleMasters, AboutAQuarterHaveFiguresNamedByTheCategoryRules) {
    const auto& dir = defaultSample().dir.path();
    const FigureCatalogue cat = buildFigureCatalogue(kDefaultSeed);
    std::map<std::string, FigureFiles> kinds;
    for (const auto& f : cat.low)
        kinds[f.name] = f.files;
    for (const auto& f : cat.high)
        kinds[f.name] = f.files;
    for (TModalitaQuiz m : workingCategories()) {
        SCOPED_TRACE(std::string(categoryCode(m)));
        const auto master = readMaster(dir, m);
        const std::size_t fig = column(master, "Figura");
        int withFigure = 0, high = 0, missing = 0;
        std::set<FigureFiles> highKinds;
        for (const auto& row : master.rows) {
            const std::string figure = text(row[fig]);
            if (figure.empty())
                continue;
            ++withFigure;
            ASSERT_TRUE(kinds.count(figure)) << figure << " is not in the figure catalogue";
            missing += kinds[figure] == FigureFiles::Missing;
            if (vexora::test::figureNumber(figure) >= 800) {
                ++high;
                highKinds.insert(kinds[figure]);
            }
        }
        const double share = double(withFigure) / double(master.rows.size());
        EXPECT_GT(share, 0.15);
        EXPECT_LT(share, 0.35);
        EXPECT_GE(missing, 1);
        EXPECT_LE(missing, withFigure / 50 + 1) << "only a few are missing on purpose";
        if (m == mqAB || m == mqAM) {
            EXPECT_EQ(high, 0) << "AB and AM have no numbers from 800 up";
        } else {
            EXPECT_GT(high, withFigure / 4);
            EXPECT_TRUE(highKinds.count(FigureFiles::Missing));
        }
    }
}

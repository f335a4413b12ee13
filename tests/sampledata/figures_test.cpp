#include <gtest/gtest.h>

#include <QImage>

#include <fstream>
#include <map>
#include <set>
#include <string>

#include "sample_support.h"

using namespace vexora;
using namespace vexora::sampledata;
using vexora::test::column;
using vexora::test::figureNumber;
using vexora::test::readMaster;
using vexora::test::text;

namespace {

std::uint32_t le(const std::string& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::set<std::string> filesIn(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

// The figure file a sheet of S1..C5 uses: "n.bmp" first from 800 up, else ".bmp".
std::string supFigurePath(const std::filesystem::path& folder, const std::string& figure) {
    int n = 0;
    try {
        std::size_t used = 0;
        n = std::stoi(figure, &used);
        if (used != figure.size())
            n = 0;
    } catch (const std::exception&) {
        n = 0;
    }
    if (n >= 800 && std::filesystem::exists(folder / (figure + "n.bmp")))
        return (folder / (figure + "n.bmp")).string();
    return (folder / (figure + ".bmp")).string();
}

}  // namespace

TEST(SampleFigures, CatalogueNamesFollowTheVariantRules) {
    const FigureCatalogue cat = buildFigureCatalogue(kDefaultSeed);
    std::set<std::string> files;
    for (const auto& b : cat.bitmaps) {
        EXPECT_TRUE(files.insert(b.fileName).second) << b.fileName;
        EXPECT_EQ(b.fileName, b.label + ".bmp");
    }
    std::map<FigureFiles, int> lowKinds, highKinds;
    int suffixed = 0;
    for (const auto& f : cat.low) {
        EXPECT_LT(figureNumber(f.name), 800) << f.name;
        ++lowKinds[f.files];
        suffixed += f.name.back() == 'a' || f.name.back() == 'b';
        EXPECT_EQ(files.count(f.name + ".bmp"), f.files == FigureFiles::Missing ? 0u : 1u);
        EXPECT_EQ(files.count(f.name + "n.bmp"), 0u);
    }
    for (const auto& f : cat.high) {
        EXPECT_GE(figureNumber(f.name), 800) << f.name;
        ++highKinds[f.files];
        const bool plain = files.count(f.name + ".bmp") != 0;
        const bool variant = files.count(f.name + "n.bmp") != 0;
        switch (f.files) {
            case FigureFiles::Plain:
                EXPECT_TRUE(plain && !variant) << f.name;
                break;
            case FigureFiles::SuffixN:
                EXPECT_TRUE(!plain && variant) << f.name;
                break;
            case FigureFiles::Both:
                EXPECT_TRUE(plain && variant) << f.name;
                break;
            case FigureFiles::Missing:
                EXPECT_TRUE(!plain && !variant) << f.name;
                break;
        }
    }
    EXPECT_GT(lowKinds[FigureFiles::Plain], 200);
    EXPECT_GE(lowKinds[FigureFiles::Missing], 1);
    EXPECT_LE(lowKinds[FigureFiles::Missing], 5);
    EXPECT_GT(suffixed, 0);
    EXPECT_GT(highKinds[FigureFiles::Plain], 20);
    EXPECT_GT(highKinds[FigureFiles::SuffixN], 20);
    EXPECT_GT(highKinds[FigureFiles::Both], 5);
    EXPECT_GE(highKinds[FigureFiles::Missing], 1);
    EXPECT_LE(highKinds[FigureFiles::Missing], 10);
    // Another seed, another catalogue.
    const FigureCatalogue other = buildFigureCatalogue(kDefaultSeed + 1);
    EXPECT_NE(other.bitmaps.front().fileName + other.bitmaps.back().fileName,
              cat.bitmaps.front().fileName + cat.bitmaps.back().fileName);
}

TEST(SampleFigures, EveryBitmapLoadsBackWithItsSizeAndDepth) {
    test::TempDir dir;
    GenerateOptions options;
    options.categories = {mqSuperC0};
    options.settingsFile = false;
    const auto summary = generateSampleData(dir.path(), options);
    const FigureCatalogue cat = buildFigureCatalogue(kDefaultSeed);
    const std::filesystem::path folder = dir.path() / "PicSgn";
    ASSERT_EQ(summary.figureFiles, static_cast<int>(cat.bitmaps.size()));
    ASSERT_EQ(filesIn(folder).size(), cat.bitmaps.size());

    std::set<int> depths;
    int square = 0, wide = 0, tall = 0;
    std::uintmax_t totalBytes = 0;
    for (const auto& b : cat.bitmaps) {
        SCOPED_TRACE(b.fileName);
        const std::filesystem::path path = folder / b.fileName;
        std::string error;
        const auto bytes = readWholeFile(path.string(), 1u << 20, &error);
        ASSERT_TRUE(bytes) << error;
        totalBytes += bytes->size();
        ASSERT_GE(bytes->size(), 54u);
        EXPECT_EQ(bytes->substr(0, 2), "BM");
        EXPECT_EQ(le(*bytes, 2, 4), bytes->size());
        EXPECT_EQ(static_cast<int>(le(*bytes, 28, 2)), b.bitsPerPixel);
        depths.insert(b.bitsPerPixel);

        const QImage img(QString::fromStdString(path.string()));
        ASSERT_FALSE(img.isNull());
        EXPECT_EQ(img.width(), b.width);
        EXPECT_EQ(img.height(), b.height);
        EXPECT_GE(std::min(b.width, b.height), 40);
        EXPECT_LE(std::max(b.width, b.height), 200);
        if (b.width == b.height)
            ++square;
        else if (b.width >= b.height * 3 / 2)
            ++wide;
        else if (b.height >= b.width * 3 / 2)
            ++tall;
        // A drawn picture: white background and a good share of coloured ink.
        int ink = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                ink += (img.pixel(x, y) | 0xFF000000u) != qRgb(255, 255, 255);
        const int area = img.width() * img.height();
        EXPECT_GT(ink, area / 20);
        EXPECT_LT(ink, area - area / 20);
    }
    EXPECT_EQ(depths, (std::set<int>{8, 24, 32}));
    EXPECT_GT(square, 50);
    EXPECT_GT(wide, 20);
    EXPECT_GT(tall, 20);
    EXPECT_LT(totalBytes, 12u * 1024 * 1024) << "small bitmaps";
}

TEST(SampleFigures, SupCategoriesResolveEveryVariantAndMissFewOnPurpose) {
    test::TempDir dir;
    GenerateOptions options;
    options.settingsFile = false;
    options.categories = {mqSuperC, mqCqc1M};
    generateSampleData(dir.path(), options);
    const std::filesystem::path folder = dir.path() / "PicSgn";
    int viaVariant = 0, viaPlainHigh = 0, missing = 0, referenced = 0;
    for (TModalitaQuiz m : options.categories) {
        const auto master = readMaster(dir.path(), m);
        const std::size_t fig = column(master, "Figura");
        for (const auto& row : master.rows) {
            const std::string figure = text(row[fig]);
            if (figure.empty())
                continue;
            ++referenced;
            const std::string path = supFigurePath(folder, figure);
            if (!std::filesystem::exists(path))
                ++missing;
            else if (path.ends_with("n.bmp"))
                ++viaVariant;
            else if (figureNumber(figure) >= 800)
                ++viaPlainHigh;
        }
    }
    EXPECT_GT(viaVariant, 50);
    EXPECT_GT(viaPlainHigh, 50);
    EXPECT_GE(missing, 2);
    EXPECT_LT(missing, referenced / 50);
}

TEST(SampleFigures, FiguresOfAnotherSeedAreRemovedButForeignFilesKept) {
    test::TempDir dir;
    GenerateOptions options;
    options.settingsFile = false;
    options.categories = {mqSuperC0};
    options.seed = 11;
    generateSampleData(dir.path(), options);
    const std::filesystem::path folder = dir.path() / "PicSgn";
    std::ofstream(folder / "logo.bmp") << "not ours";
    std::ofstream(folder / "notes.txt") << "kept";

    options.seed = 12;
    const auto summary = generateSampleData(dir.path(), options);
    EXPECT_GT(summary.staleFiguresRemoved, 0);
    std::set<std::string> expected = {"logo.bmp", "notes.txt"};
    const FigureCatalogue cat = buildFigureCatalogue(12);
    for (const auto& b : cat.bitmaps)
        expected.insert(b.fileName);
    EXPECT_EQ(filesIn(folder), expected);
    for (const auto& f : cat.high)
        if (f.files == FigureFiles::Missing) {
            EXPECT_FALSE(std::filesystem::exists(folder / (f.name + ".bmp"))) << f.name;
            EXPECT_FALSE(std::filesystem::exists(folder / (f.name + "n.bmp"))) << f.name;
        }
}

TEST(SampleFigures, RenderingRefusesSizesAndDepthsItCannotEncode) {
    FigureBitmap b;
    b.fileName = "1.bmp";
    b.label = "1";
    b.width = 40;
    b.height = 40;
    b.bitsPerPixel = 16;
    EXPECT_THROW(renderFigureBmp(b), SampleDataError);
    b.bitsPerPixel = 8;
    b.width = 0;
    EXPECT_THROW(renderFigureBmp(b), SampleDataError);
    b.width = 41;  // rows padded to four bytes
    const std::string bmp = renderFigureBmp(b);
    EXPECT_EQ(bmp.size(), 14u + 40u + 1024u + 44u * 40u);
}

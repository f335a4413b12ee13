#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>

#include "print/figure_cache.h"
#include "print/figure_files.h"
#include "print_world.h"

using namespace vexora;
using namespace vexora::test;
using print::FitRect;

TEST(MulDiv, RoundsHalvesAwayFromZeroWithoutOverflow) {
    EXPECT_EQ(print::MulDiv(256, 200, 300), 171);  // 170.67
    EXPECT_EQ(print::MulDiv(5, 1, 2), 3);          // 2.5
    EXPECT_EQ(print::MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(print::MulDiv(5, -1, 2), -3);
    EXPECT_EQ(print::MulDiv(-5, -1, 2), 3);
    EXPECT_EQ(print::MulDiv(7, 1, 3), 2);                    // 2.33
    EXPECT_EQ(print::MulDiv(8, 1, 3), 3);                    // 2.67
    EXPECT_EQ(print::MulDiv(2000000000, 3, 4), 1500000000);  // product beyond 32 bits
    EXPECT_EQ(print::MulDiv(1, 1, 0), -1);
    EXPECT_EQ(print::MulDiv(2000000000, 2000000000, 1), -1);
}

TEST(FitRectangle, ExamplesForTheFigureSquare) {
    EXPECT_EQ(print::fitRectangle(100, 100, 256, 256), (FitRect{5, 10, 246, 246}));
    EXPECT_EQ(print::fitRectangle(200, 100, 256, 256), (FitRect{0, 64, 256, 192}));
    EXPECT_EQ(print::fitRectangle(100, 200, 256, 256), (FitRect{64, 0, 192, 256}));
    EXPECT_EQ(print::fitRectangle(300, 200, 256, 256), (FitRect{0, 42, 256, 213}));
    // Same proportions as a wide target: the inset rule again.
    EXPECT_EQ(print::fitRectangle(50, 25, 200, 100), (FitRect{5, 10, 190, 90}));
    EXPECT_EQ(print::fitRectangle(0, 10, 256, 256), FitRect{});
    EXPECT_EQ(print::fitRectangle(10, 10, 0, 256), FitRect{});
}

TEST(FitBitmap, DrawsInsideTheRectangleOnWhiteAndKeepsTheTargetSize) {
    struct Case {
        QSize source;
        FitRect rect;
    };
    for (const Case& c : {Case{{100, 100}, {5, 10, 246, 246}}, Case{{300, 200}, {0, 42, 256, 213}},
                          Case{{100, 200}, {64, 0, 192, 256}}}) {
        SCOPED_TRACE(testing::Message() << c.source.width() << "x" << c.source.height());
        QImage source(c.source, QImage::Format_RGB32);
        source.fill(QColor(200, 0, 0));
        const QImage untouched = source.copy();
        QImage target(256, 256, QImage::Format_ARGB32);
        target.fill(Qt::black);
        print::FitBitmap(source, target);
        EXPECT_EQ(target.size(), QSize(256, 256));
        EXPECT_EQ(target.format(), QImage::Format_RGB888);
        EXPECT_EQ(source, untouched);
        QImage empty = target;
        print::FitBitmap(QImage(), empty);  // nothing to draw: all white
        EXPECT_EQ(empty.pixelColor(128, 128), QColor(255, 255, 255));
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                const bool inside =
                    x >= c.rect.left && x < c.rect.right && y >= c.rect.top && y < c.rect.bottom;
                const QColor want = inside ? QColor(200, 0, 0) : QColor(255, 255, 255);
                if (target.pixelColor(x, y) != want) {
                    ADD_FAILURE() << "pixel " << x << "," << y;
                    return;
                }
            }
        }
    }
}

namespace {

struct FigureWorld {
    TempDir dir;
    SilentPlatform platform;
    Switches switches;
    RunLog log{platform, dir.folder(), switches};
    RecordingInteraction ui;
    Reporting reporting{log, switches, ui};
    std::string folder = dir.folder() + "PicSgn/";

    FigureWorld() { std::filesystem::create_directories(folder); }
    void touch(const std::string& name) { writeSolidBmp(folder + name, 4, 4, Qt::red); }
    std::string sup(TModalitaQuiz m, const std::string& figura) {
        return print::GetFiguraSUP(figura, m, folder, platform, log);
    }
    std::string logText() const {
        std::ifstream in(log.currentFilePath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

}  // namespace

TEST(GetFiguraSUP, HighNumbersPreferTheNVariantThenThePlainFile) {
    FigureWorld w;
    w.touch("812n.bmp");
    w.touch("812.bmp");
    EXPECT_EQ(w.sup(mqCqc1M, "812"), w.folder + "812n.bmp");
    std::filesystem::remove(w.folder + "812n.bmp");
    EXPECT_EQ(w.sup(mqCqc1M, "812"), w.folder + "812.bmp");
    EXPECT_EQ(w.logText(), "");
    std::filesystem::remove(w.folder + "812.bmp");
    EXPECT_EQ(w.sup(mqCqc1M, "812"), w.folder + "812.bmp");
    EXPECT_NE(w.logText().find(">ERRORE:"), std::string::npos);
    EXPECT_NE(w.logText().find("TFormStampe.GetFiguraSUP - La figura \"" + w.folder +
                               "812.bmp\" ( da 812) non esiste."),
              std::string::npos);
}

TEST(GetFiguraSUP, LeadingZerosBlanksAndLowNumbers) {
    FigureWorld w;
    w.touch("0812n.bmp");
    w.touch("799n.bmp");
    EXPECT_EQ(w.sup(mqSuperC1, "0812"), w.folder + "0812n.bmp");  // read as 812
    EXPECT_EQ(w.sup(mqSuperC1, "799"), w.folder + "799.bmp");     // below 800: plain only
    EXPECT_EQ(w.sup(mqSuperC1, "850a"), w.folder + "850a.bmp");   // not a number
    EXPECT_EQ(w.sup(mqSuperC1, ""), w.folder + ".bmp");
    EXPECT_EQ(w.sup(mqSuperC1, "   "), w.folder + "   .bmp");
    const std::string log = w.logText();
    EXPECT_EQ(log.find("( da ) non esiste"), std::string::npos);
    EXPECT_EQ(log.find("( da    ) non esiste"), std::string::npos);
    EXPECT_NE(log.find("( da 799) non esiste"), std::string::npos);
    EXPECT_NE(log.find("( da 850a) non esiste"), std::string::npos);
}

TEST(GetFiguraSUP, EmptyForABAndAMAndAFolderWithoutSeparatorStillNamesItsFiles) {
    FigureWorld w;
    w.touch("850n.bmp");
    EXPECT_EQ(w.sup(mqAB, "850"), "");
    EXPECT_EQ(w.sup(mqAM, "850"), "");
    EXPECT_EQ(w.logText(), "");
    EXPECT_EQ(print::plainFigurePath(w.folder, "850"), w.folder + "850.bmp");
    const std::string bare = w.folder.substr(0, w.folder.size() - 1);
    EXPECT_EQ(print::plainFigurePath(bare, "850"), w.folder + "850.bmp");
    EXPECT_EQ(print::GetFiguraSUP("850", mqSuperC, bare, w.platform, w.log), w.folder + "850n.bmp");
    EXPECT_EQ(w.logText(), "");
}

TEST(LoadGraphicsFile, ReadsABitmapInEveryDepthAsColourWithoutAlpha) {
    FigureWorld w;
    for (const QImage::Format format :
         {QImage::Format_RGB888, QImage::Format_Indexed8, QImage::Format_ARGB32}) {
        QImage image(30, 20, QImage::Format_RGB888);
        image.fill(QColor(10, 200, 30));
        image = image.convertToFormat(format);
        const std::string path = w.folder + "f" + std::to_string(int(format)) + ".bmp";
        ASSERT_TRUE(image.save(QString::fromStdString(path), "BMP"));
        const auto loaded = print::LoadGraphicsFile(path, w.platform, w.reporting);
        ASSERT_TRUE(loaded.has_value());
        EXPECT_EQ(loaded->size(), QSize(30, 20));
        EXPECT_FALSE(loaded->hasAlphaChannel());
        EXPECT_EQ(loaded->pixelColor(3, 3), QColor(10, 200, 30));
    }
    EXPECT_FALSE(print::LoadGraphicsFile(w.folder + "none.bmp", w.platform, w.reporting));
    EXPECT_EQ(w.logText(), "");
}

TEST(LoadGraphicsFile, BadFilesAreLoggedOrThrownByTheSwitchAndNameTheFile) {
    FigureWorld w;
    // A bitmap header that claims 3000 x 3000 pixels in a 60-byte file.
    std::string huge = "BM";
    huge.resize(54, '\0');
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            huge[at + std::size_t(i)] = char((v >> (8 * i)) & 0xFF);
    };
    put32(2, 60);
    put32(10, 54);
    put32(14, 40);
    put32(18, 3000);
    put32(22, 3000);
    huge[26] = 1;
    huge[28] = 24;
    huge += "abcdef";
    std::ofstream(w.folder + "huge.bmp", std::ios::binary) << huge;
    std::ofstream(w.folder + "junk.bmp", std::ios::binary) << "definitely not a picture";
    std::ofstream(w.folder + "short.bmp", std::ios::binary) << huge.substr(0, 20);
    std::ofstream(w.folder + "empty.bmp", std::ios::binary);

    for (const char* name : {"huge.bmp", "junk.bmp", "short.bmp", "empty.bmp"}) {
        SCOPED_TRACE(name);
        const std::string path = w.folder + name;
        w.switches.CkNoExceptMsg = true;
        EXPECT_FALSE(print::LoadGraphicsFile(path, w.platform, w.reporting));
        EXPECT_NE(w.logText().find("UDorvel/LoadGraphicsFile - La figura \"" + path + "\""),
                  std::string::npos);
        w.switches.CkNoExceptMsg = false;
        try {
            print::LoadGraphicsFile(path, w.platform, w.reporting);
            ADD_FAILURE() << "no error";
        } catch (const print::FigureError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            if (std::string(name) == "huge.bmp") {
                // Refused from the header, before any pixel memory is taken.
                EXPECT_NE(std::string(e.what()).find("3000 x 3000"), std::string::npos) << e.what();
            }
        }
    }
    // Level 0 sounds the error tone.
    EXPECT_FALSE(w.platform.tones.empty());
}

namespace {

// A picture with no two neighbouring pixels alike, so a different stretch shows.
void writePatternBmp(const std::string& path, int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, QColor((x * 37) % 256, (y * 53) % 256, ((x + y) * 11) % 256));
    }
    ASSERT_TRUE(image.save(QString::fromStdString(path), "BMP"));
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST(FigureCache, FitsEachPathAndSideOnceAsLoadAndFitDoAndSharesThePicture) {
    FigureWorld w;
    const std::string path = w.folder + "120.bmp";
    writePatternBmp(path, 60, 40);
    const int side = print::kPlacedFigureSide;
    QImage expected(side, side, QImage::Format_RGB888);
    print::FitBitmap(*print::LoadGraphicsFile(path, w.platform, w.reporting), expected);

    print::FigureCache cache;
    const auto first = cache.fitted(path, side, w.platform, w.reporting);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->format(), QImage::Format_RGB888);
    EXPECT_EQ(*first, expected);
    const auto again = cache.fitted(path, side, w.platform, w.reporting);
    ASSERT_TRUE(again);
    EXPECT_EQ(cache.decodes(), 1u);
    EXPECT_EQ(again->constBits(), first->constBits());

    const auto small = cache.fitted(path, 64, w.platform, w.reporting);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size(), QSize(64, 64));
    EXPECT_EQ(cache.decodes(), 2u);
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_EQ(cache.bytes(), std::size_t(first->sizeInBytes() + small->sizeInBytes()));

    cache.clear();
    EXPECT_EQ(cache.bytes(), 0u);
    ASSERT_TRUE(cache.fitted(path, side, w.platform, w.reporting));
    EXPECT_EQ(cache.decodes(), 3u);
    EXPECT_EQ(w.logText(), "");
}

TEST(FigureCache, AnUnreadableFileIsReportedOnceARunAndNotReadAgain) {
    FigureWorld w;
    const std::string path = w.folder + "bad.bmp";
    std::ofstream(path, std::ios::binary) << "BM garbage";
    const std::string logged = "UDorvel/LoadGraphicsFile - La figura \"" + path + "\"";
    const int side = print::kPlacedFigureSide;
    print::FigureCache cache;

    w.switches.CkNoExceptMsg = true;
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(cache.fitted(path, side, w.platform, w.reporting));
    EXPECT_FALSE(cache.fitted(path, 64, w.platform, w.reporting));  // any side: as unreadable
    EXPECT_EQ(occurrences(w.logText(), logged), 1u);
    EXPECT_EQ(cache.decodes(), 1u);
    EXPECT_TRUE(w.ui.messages.empty());

    cache.clear();
    w.switches.CkNoExceptMsg = false;
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(cache.fitted(path, side, w.platform, w.reporting));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].rfind(
                  "Impossibile leggere la figura\r\nERRORE: La figura \"" + path + "\"", 0),
              0u)
        << w.ui.messages[0];
    EXPECT_EQ(occurrences(w.logText(), logged), 1u);
    EXPECT_EQ(cache.decodes(), 2u);
}

TEST(FigureCache, KeepsWithinItsBoundDroppingTheLeastRecentlyUsed) {
    FigureWorld w;
    for (const char* name : {"a", "b", "c"})
        writeSolidBmp(w.folder + name + ".bmp", 8, 8, Qt::red);
    const int side = 16;
    const auto one = std::size_t(QImage(side, side, QImage::Format_RGB888).sizeInBytes());
    print::FigureCache cache(2 * one);
    const auto fit = [&](const char* name, int s) {
        return cache.fitted(w.folder + name + ".bmp", s, w.platform, w.reporting).has_value();
    };

    ASSERT_TRUE(fit("a", side));
    ASSERT_TRUE(fit("b", side));
    ASSERT_TRUE(fit("a", side));  // now the most recently used
    ASSERT_TRUE(fit("c", side));  // pushes out b
    EXPECT_EQ(cache.decodes(), 3u);
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_EQ(cache.bytes(), 2 * one);
    ASSERT_TRUE(fit("a", side));
    EXPECT_EQ(cache.decodes(), 3u);
    ASSERT_TRUE(fit("b", side));
    EXPECT_EQ(cache.decodes(), 4u);
    EXPECT_EQ(cache.bytes(), 2 * one);

    // Larger than the whole bound: given, not kept, and nothing else dropped for it.
    ASSERT_TRUE(fit("a", 64));
    ASSERT_TRUE(fit("a", 64));
    EXPECT_EQ(cache.decodes(), 6u);
    EXPECT_EQ(cache.bytes(), 2 * one);
    ASSERT_TRUE(fit("a", side));
    ASSERT_TRUE(fit("b", side));
    EXPECT_EQ(cache.decodes(), 6u);
}

TEST(FigureCache, AMissingFileIsNotReportedNorRememberedSoALaterFileIsFound) {
    FigureWorld w;
    const std::string path = w.folder + "900.bmp";
    print::FigureCache cache;
    EXPECT_FALSE(cache.fitted(path, print::kPlacedFigureSide, w.platform, w.reporting));
    w.switches.CkNoExceptMsg = true;
    EXPECT_FALSE(cache.fitted(path, print::kPlacedFigureSide, w.platform, w.reporting));
    EXPECT_EQ(cache.decodes(), 0u);
    EXPECT_TRUE(w.ui.messages.empty());
    EXPECT_EQ(w.logText(), "");

    writeSolidBmp(path, 10, 10, Qt::blue);
    const auto found = cache.fitted(path, print::kPlacedFigureSide, w.platform, w.reporting);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->pixelColor(128, 128), QColor(Qt::blue));
}

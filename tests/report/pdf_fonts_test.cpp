#include "report/pdf_fonts.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QPainterPath>
#include <QRawFont>

#include <random>

using namespace vexora::report;

namespace {

QRawFont systemFace(bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(bold);
    font.setPixelSize(48);
    font.setHintingPreference(QFont::PreferNoHinting);
    return QRawFont::fromFont(font);
}

std::function<QByteArray(const char*)> tablesOf(const QRawFont& raw) {
    return [raw](const char* tag) { return raw.fontTable(tag); };
}

}  // namespace

TEST(UnhintedTrueType, SameOutlinesAdvancesAndPostScriptNameWithoutHinting) {
    for (const bool bold : {false, true}) {
        const QRawFont original = systemFace(bold);
        ASSERT_TRUE(original.isValid());
        const auto data = unhintedTrueType(tablesOf(original), QStringLiteral("Copia Prova"));
        ASSERT_TRUE(data.has_value());
        const QRawFont copy(*data, 48, QFont::PreferNoHinting);
        ASSERT_TRUE(copy.isValid());
        EXPECT_EQ(copy.familyName(), QStringLiteral("Copia Prova"));
        EXPECT_EQ(copy.styleName(), original.styleName());
        for (const char* gone : {"fpgm", "prep", "cvt ", "hdmx"})
            EXPECT_TRUE(copy.fontTable(gone).isEmpty()) << gone;
        EXPECT_EQ(copy.fontTable("cmap"), original.fontTable("cmap"));
        EXPECT_EQ(copy.fontTable("hmtx"), original.fontTable("hmtx"));

        // Every glyph the text uses, composites (accented letters) included.
        const QRawFont& reference = original;
        const QString text = QString::fromUtf8("Àè perché è così: Città di Forlì, €12 «ÅÇÑ» fi ff");
        const QList<quint32> glyphs = reference.glyphIndexesForString(text);
        ASSERT_EQ(copy.glyphIndexesForString(text), glyphs);
        EXPECT_EQ(copy.advancesForGlyphIndexes(glyphs), reference.advancesForGlyphIndexes(glyphs));
        for (const quint32 g : glyphs) {
            EXPECT_EQ(copy.pathForGlyph(g), reference.pathForGlyph(g)) << "glyph " << g;
        }
    }
}

TEST(UnhintedTrueType, DamagedTablesGiveNothingAndNeverACrash) {
    const QRawFont original = systemFace(false);
    ASSERT_TRUE(original.isValid());
    // Fonts without TrueType outlines are left alone.
    EXPECT_FALSE(unhintedTrueType([](const char*) { return QByteArray(); }, QStringLiteral("X")));
    std::mt19937 random(7);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        const char* damaged = round % 3 == 0 ? "loca" : round % 3 == 1 ? "glyf" : "name";
        const auto table = [&](const char* tag) {
            QByteArray data = original.fontTable(tag);
            if (qstrcmp(tag, damaged) == 0 && !data.isEmpty()) {
                if (round % 2 == 0) {
                    data.truncate(qsizetype(random() % std::uint32_t(data.size())));
                } else {
                    for (int k = 0; k < 16; ++k)
                        data[qsizetype(random() % std::uint32_t(data.size()))] = char(random());
                }
            }
            return data;
        };
        refused += !unhintedTrueType(table, QStringLiteral("X")).has_value();
    }
    EXPECT_GT(refused, 0);
}

TEST(PdfFonts, TemplateFamiliesGetARegisteredCopyWithTheSameFaces) {
    ReportTemplate t;
    Page& page = t.AddReport(QStringLiteral("R")).AddPage(QStringLiteral("P"));
    ReportFont font;
    font.family = QStringLiteral("DejaVu Sans");
    page.Add(Component::MakeFontMaster(QStringLiteral("M"), font));
    PdfFonts fonts;
    fonts.prepare(t);
    fonts.prepare(t);  // once per family
    const QString copy = fonts.families().value(QStringLiteral("DejaVu Sans"));
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_EQ(fonts.families().size(), 1);
    // Each style a template can ask for resolves to the same face in both families.
    for (const bool bold : {false, true}) {
        for (const bool italic : {false, true}) {
            QFont asked(QStringLiteral("DejaVu Sans"));
            asked.setBold(bold);
            asked.setItalic(italic);
            QFont drawn = asked;
            drawn.setFamily(copy);
            EXPECT_EQ(QRawFont::fromFont(drawn).familyName(), copy);
            EXPECT_EQ(QRawFont::fromFont(drawn).styleName(), QRawFont::fromFont(asked).styleName())
                << bold << italic;
        }
    }
}

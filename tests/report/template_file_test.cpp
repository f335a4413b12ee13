#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "report/report_error.h"
#include "report/template_file.h"
#include "report_test_util.h"

namespace vexora::report {
namespace {

// A template using every kind and every property away from its default.
ReportTemplate richTemplate() {
    ReportTemplate t = test::sampleTemplate();
    t.SetParam(
        QStringLiteral("Domanda3"),
        QStringLiteral("Riga uno\r\nriga due\tcon tab, <tag> & \"virgolette\" {Altro} è à ò ù"));
    t.SetParam(QStringLiteral("Vuoto"), QStringLiteral(" "));
    Report& r = *t.FindReport(QStringLiteral("SchedaAB"));
    r.SetCopies(3);
    r.SetDuplex(true);
    Page& p2 = *r.FindPage(QStringLiteral("Page2"));
    p2.SetGotoMode(1);
    Component text = Component::MakeText(QStringLiteral("Tutto"), -0.25, 0.125, 3.3, 0.7,
                                         QStringLiteral("  spazi  \n\nè {{letterale}}  "));
    ReportFont f;
    f.family = QStringLiteral("DejaVu Serif");
    f.pointSize = 12.5;
    f.bold = f.italic = f.underline = true;
    f.color = QColor(0x12, 0x34, 0x56);
    text.SetFont(f);
    text.SetForeColor(QColor(255, 0, 0));
    text.SetAlignment(TextAlign::Justify);
    text.SetVerticalAlignment(VerticalAlign::Bottom);
    text.SetWordWrap(false);
    text.SetAnchor(AnchorEdge::Right);
    text.SetVisible(false);
    text.SetFontMirrorName(QStringLiteral("FontMasterDomX"));
    p2.Add(text);
    Component image = Component::MakeImage(QStringLiteral("Foto"), 1, 2, 1.5, 1);
    QImage picture = test::solidImage(40, 30, QColor(10, 200, 30));
    picture.setPixel(3, 4, qRgb(1, 2, 3));
    image.SetImage(picture);
    image.SetFit(ImageFit::KeepAspect);
    p2.Add(image);
    Component line = Component::MakeLine(QStringLiteral("Diagonale"), 7, 1, 1, 3);
    line.SetLineColor(QColor(0, 0, 255));
    line.SetLineWidth(2.25);
    p2.Add(line);
    Component frame = Component::MakeRectangle(QStringLiteral("Cornice"), 0, 0, 0, 0);
    frame.SetLineWidth(0);
    frame.SetFillColor(QColor(250, 250, 0));
    Component master = Component::MakeFontMaster(QStringLiteral("MasterNascosto"), f);
    master.SetVisible(false);
    p2.Add(master);
    Component outer = Component::MakeGroup(QStringLiteral("Esterno"));
    Component empty = Component::MakeGroup(QStringLiteral("Vuoto"));
    empty.SetVisible(false);
    outer.AddChild(frame);
    outer.AddChild(empty);
    p2.Add(outer);
    return t;
}

std::string asBytes(const QByteArray& a) {
    return std::string(a.constData(), std::size_t(a.size()));
}

TEST(TemplateFile, WriteThenReadGivesTheSameModel) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Vexora.rav"));
    const ReportTemplate original = richTemplate();
    writeTemplateFile(original, path);
    const ReportTemplate back = readTemplateFile(path);
    EXPECT_TRUE(back == original);
    // Spot checks, so a broken comparison cannot hide a loss.
    EXPECT_EQ(*back.Param(QStringLiteral("Domanda3")), *original.Param(QStringLiteral("Domanda3")));
    EXPECT_EQ(*back.Param(QStringLiteral("Vuoto")), QStringLiteral(" "));
    const Component* text = back.FindPage(QStringLiteral("SchedaAB.Page2"))->FindComponent("Tutto");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Text(), QStringLiteral("  spazi  \n\nè {{letterale}}  "));
    EXPECT_EQ(text->Font().pointSize, 12.5);
    EXPECT_EQ(text->Anchor(), AnchorEdge::Right);
    EXPECT_EQ(back.FindReport(QStringLiteral("SchedaAB"))->Copies(), 3);
    const Component* foto = back.FindPage(QStringLiteral("SchedaAB.Page2"))->FindComponent("Foto");
    EXPECT_EQ(foto->Image().pixel(3, 4), qRgb(1, 2, 3));
    // Writing what was read gives the same bytes.
    EXPECT_EQ(serializeTemplate(back), serializeTemplate(original));
}

TEST(TemplateFile, ModelDifferencesAreSeenByTheComparison) {
    const ReportTemplate a = richTemplate();
    ReportTemplate b = richTemplate();
    b.FindPage(QStringLiteral("SchedaAB.Page2"))
        ->FindComponent("Foto")
        ->SetImage(test::solidImage(40, 30, QColor(10, 200, 31)));
    EXPECT_FALSE(a == b);
    ReportTemplate c = richTemplate();
    c.FindPage(QStringLiteral("SchedaAB.Page1"))->FindComponent("Domanda2")->SetWidth(5.0001);
    EXPECT_FALSE(a == c);
}

TEST(TemplateFile, WriterRefusesModelsTheReaderWouldRefuse) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.rav"));
    ReportTemplate t = test::sampleTemplate();
    t.FindPage(QStringLiteral("SchedaAB.Page1"))->FindComponent("Domanda1")->SetWidth(250);
    EXPECT_THROW(writeTemplateFile(t, path), ReportError);
    EXPECT_FALSE(QFile::exists(path));
    ReportTemplate empty;
    empty.AddReport(QStringLiteral("SenzaPagine"));
    EXPECT_THROW(serializeTemplate(empty), ReportError);
    try {
        writeTemplateFile(test::sampleTemplate(), dir.filePath(QStringLiteral("manca/x.rav")));
        FAIL() << "no error for a missing folder";
    } catch (const ReportError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("manca/x.rav"))) << e.what();
    }
}

QByteArray pngBytes(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return png;
}

QByteArray wrap(const QByteArray& pageContent) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<vexora-report-template version=\"1\">\n"
           "<report name=\"R\"><page name=\"Page1\">\n" +
           pageContent + "\n</page></report></vexora-report-template>\n";
}

struct HostileCase {
    const char* label;
    QByteArray bytes;
    const char* expected;  // fragment of the message
};

std::vector<HostileCase> hostileCases() {
    const QByteArray ok = "<text name=\"A\" left=\"1\" top=\"1\" width=\"1\" height=\"1\"/>";
    auto text = [](const QByteArray& content) {
        return "<text name=\"A\" left=\"1\" top=\"1\" width=\"1\" height=\"1\">" + content +
               "</text>";
    };
    QByteArray manyComponents;
    for (int i = 0; i <= limits::kMaxComponentsPerPage; ++i) {
        manyComponents += "<line name=\"L" + QByteArray::number(i) +
                          "\" left=\"0\" top=\"0\" width=\"1\" height=\"0\"/>";
    }
    QByteArray deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<group name=\"G" + QByteArray::number(i) + "\">";
    for (int i = 0; i < 100000; ++i)
        deep += "</group>";
    QByteArray manyPages =
        "<?xml version=\"1.0\"?><vexora-report-template version=\"1\"><report name=\"R\">";
    for (int i = 0; i <= limits::kMaxPagesPerReport; ++i) {
        manyPages += "<page name=\"P" + QByteArray::number(i) + "\"/>";
    }
    manyPages += "</report></vexora-report-template>";
    const QByteArray wide = pngBytes(test::solidImage(limits::kMaxImageSide + 1, 1, Qt::white));
    const QByteArray big =
        pngBytes(test::solidImage(limits::kMaxImageSide, limits::kMaxImageSide, Qt::white));
    auto image = [](const QByteArray& png, const char* name) {
        return "<image name=\"" + QByteArray(name) +
               "\" left=\"0\" top=\"0\" width=\"1\" height=\"1\">" + png.toBase64() + "</image>";
    };
    return {
        {"empty file", "", "elemento radice"},
        {"not XML", "Questo non è un template", "non è un documento XML"},
        {"binary", QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11), "UTF-8"},
        {"truncated", wrap(ok).left(90), "XML non valido"},
        {"HTML entity", wrap(text("a&nbsp;b")), "alla posizione"},
        {"unterminated reference", wrap(text("a&amp b")), "alla posizione"},
        {"reference to NUL", wrap(text("&#0;")), "alla posizione"},
        {"reference to U+FFFE", wrap(text("&#xFFFE;")), "alla posizione"},
        {"second root", wrap(ok) + "<vexora-report-template version=\"1\"/>", "alla posizione"},
        {"raw < in a value",
         wrap("<text name=\"A\" font=\"a<b\" left=\"1\" top=\"1\" width=\"1\" height=\"1\"/>"),
         "alla posizione"},
        {"declared entity",
         "<!DOCTYPE vexora-report-template [<!ENTITY e \"x\">]><vexora-report-template "
         "version=\"1\"><param name=\"P\">&e;</param></vexora-report-template>",
         "alla posizione"},
        {"wrong root", "<?xml version=\"1.0\"?><RaveProject version=\"1\"/>",
         "elemento radice <RaveProject>"},
        {"no version", "<vexora-report-template/>", "version"},
        {"future version", "<vexora-report-template version=\"2\"/>", "versione"},
        {"other encoding",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><vexora-report-template version=\"1\"/>",
         "codifica"},
        {"bad UTF-8",
         wrap("<text name=\"A\" left=\"1\" top=\"1\" width=\"1\" height=\"1\">\xE8</text>"),
         "UTF-8"},
        {"missing name", wrap("<text left=\"1\" top=\"1\" width=\"1\" height=\"1\"/>"),
         "manca l'attributo name"},
        {"bad name",
         wrap("<text name=\"Dom anda\" left=\"1\" top=\"1\" width=\"1\" height=\"1\"/>"),
         "non valido"},
        {"missing report name",
         "<vexora-report-template version=\"1\"><report><page "
         "name=\"P\"/></report></vexora-report-template>",
         "name"},
        {"duplicate nested name",
         wrap(ok + "<group name=\"G\"><group name=\"H\">" + ok + "</group></group>"),
         "componente A ripetuto"},
        {"duplicate page",
         "<vexora-report-template version=\"1\"><report name=\"R\"><page name=\"P\"/><page "
         "name=\"P\"/></report></vexora-report-template>",
         "ripetuta"},
        {"duplicate report",
         "<vexora-report-template version=\"1\"><report name=\"R\"><page "
         "name=\"P\"/></report><report name=\"R\"><page "
         "name=\"P\"/></report></vexora-report-template>",
         "report R ripetuto"},
        {"duplicate param",
         "<vexora-report-template version=\"1\"><param name=\"X\"/><param "
         "name=\"X\"/></vexora-report-template>",
         "ripetuto"},
        {"report without pages",
         "<vexora-report-template version=\"1\"><report name=\"R\"/></vexora-report-template>",
         "non ha pagine"},
        {"missing width", wrap("<text name=\"A\" left=\"1\" top=\"1\" height=\"1\"/>"), "width"},
        {"huge width", wrap("<text name=\"A\" left=\"1\" top=\"1\" width=\"1e308\" height=\"1\"/>"),
         "width"},
        {"infinite left",
         wrap("<text name=\"A\" left=\"inf\" top=\"1\" width=\"1\" height=\"1\"/>"), "left"},
        {"NaN top", wrap("<text name=\"A\" left=\"1\" top=\"nan\" width=\"1\" height=\"1\"/>"),
         "top"},
        {"negative height",
         wrap("<rect name=\"A\" left=\"1\" top=\"1\" width=\"1\" height=\"-2\"/>"), "height"},
        {"text in number",
         wrap("<text name=\"A\" left=\"1cm\" top=\"1\" width=\"1\" height=\"1\"/>"), "left"},
        {"font size zero", wrap("<fontmaster name=\"F\" size=\"0\"/>"), "size"},
        {"absurd font size", wrap("<fontmaster name=\"F\" size=\"100000\"/>"), "size"},
        {"absurd copies",
         "<vexora-report-template version=\"1\"><report name=\"R\" copies=\"2000000000\"><page "
         "name=\"P\"/></report></vexora-report-template>",
         "copies"},
        {"absurd gotomode",
         "<vexora-report-template version=\"1\"><report name=\"R\"><page name=\"P\" "
         "gotomode=\"-1\"/></report></vexora-report-template>",
         "gotomode"},
        {"bad colour",
         wrap("<rect name=\"A\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" fill=\"red\"/>"),
         "fill"},
        {"bad enum",
         wrap("<text name=\"A\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" align=\"middle\"/>"),
         "align"},
        {"bad boolean",
         wrap("<text name=\"A\" left=\"1\" top=\"1\" width=\"1\" height=\"1\" visible=\"yes\"/>"),
         "visible"},
        {"unknown element", wrap("<circle name=\"C\"/>"), "<circle>"},
        {"unknown attribute",
         wrap("<text name=\"A\" left=\"1\" top=\"1\" widht=\"1\" height=\"1\"/>"), "widht"},
        {"repeated attribute",
         wrap("<text name=\"A\" left=\"1\" left=\"2\" top=\"1\" width=\"1\" height=\"1\"/>"),
         "alla posizione"},
        {"stray text", wrap("testo sciolto" + ok), "testo inatteso"},
        {"element in text",
         wrap("<text name=\"A\" left=\"1\" top=\"1\" width=\"1\" height=\"1\"><b>x</b></text>"),
         "<b>"},
        {"bad base64",
         wrap("<image name=\"I\" left=\"0\" top=\"0\" width=\"1\" height=\"1\">@@@@</image>"),
         "base64"},
        {"not a PNG",
         wrap("<image name=\"I\" left=\"0\" top=\"0\" width=\"1\" height=\"1\">" +
              QByteArray("GIF89a-------").toBase64() + "</image>"),
         "PNG"},
        {"picture too wide", wrap(image(wide, "I")), "troppo grande"},
        {"pictures too large together", wrap(image(big, "I1") + image(big, "I2")), "nel complesso"},
        {"too many components", wrap(manyComponents), "troppi componenti"},
        {"too many pages", manyPages, "troppe pagine"},
        {"groups nested too deep", wrap(deep), "annidati"},
    };
}

TEST(TemplateFileHostile, EveryBadFileGivesAClearErrorNamingTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Ostile.rav"));
    for (const HostileCase& c : hostileCases()) {
        SCOPED_TRACE(c.label);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.bytes);
        f.close();
        try {
            readTemplateFile(path);
            ADD_FAILURE() << "accepted";
        } catch (const ReportError& e) {
            EXPECT_TRUE(e.message().contains(path)) << e.what();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.expected))) << e.what();
        }
    }
}

TEST(TemplateFileHostile, ErrorsGiveTheLineOfTheFault) {
    const QByteArray bytes = wrap(
        "<text name=\"A\" left=\"1\" top=\"1\" width=\"1\" height=\"1\"/>\n\n"
        "<rect name=\"B\" left=\"1\" top=\"1\" width=\"-1\" height=\"1\"/>");
    try {
        parseTemplate(asBytes(bytes), QStringLiteral("t.rav"));
        FAIL() << "accepted";
    } catch (const ReportError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("riga 6"))) << e.what();
    }
}

TEST(TemplateFileHostile, MissingAndOversizedFilesAreRefusedWithoutReading) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("Manca.rav"));
    try {
        readTemplateFile(missing);
        FAIL() << "accepted";
    } catch (const ReportError& e) {
        EXPECT_TRUE(e.message().contains(missing)) << e.what();
    }
    const QString huge = dir.filePath(QStringLiteral("Enorme.rav"));
    QFile f(huge);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(qint64(kMaxTemplateFileBytes) + 1));  // sparse
    f.close();
    try {
        readTemplateFile(huge);
        FAIL() << "accepted";
    } catch (const ReportError& e) {
        EXPECT_TRUE(e.message().contains(huge)) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("troppo grande"))) << e.what();
    }
}

TEST(TemplateFileHostile, TruncatedAndMutatedFilesNeverCrash) {
    const std::string good = serializeTemplate(richTemplate());
    int refused = 0;
    auto attempt = [&](const std::string& bytes) {
        try {
            parseTemplate(bytes, QStringLiteral("m.rav"));
        } catch (const ReportError& e) {
            ++refused;
            EXPECT_TRUE(e.message().contains(QStringLiteral("m.rav")));
        }
    };
    for (std::size_t n = 0; n < good.size(); n += 23)
        attempt(good.substr(0, n));
    std::mt19937 rng(20240607);
    const std::string noise = "<>\"&/= #.-0e\xC3\xA8\x01";
    for (int i = 0; i < 400; ++i) {
        std::string bytes = good;
        for (int k = 0; k < 3; ++k) {
            bytes[rng() % bytes.size()] = noise[rng() % noise.size()];
        }
        attempt(bytes);
    }
    EXPECT_GT(refused, 100);
}

// The example in the format documentation must stay a valid template.
TEST(TemplateFile, DocumentedExampleReads) {
    QFile doc(QStringLiteral(VEXORA_TEST_DATA_DIR "/../../docs/report-template.md"));
    ASSERT_TRUE(doc.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(doc.readAll());
    const qsizetype section = text.indexOf(QStringLiteral("## Example"));
    const qsizetype begin = text.indexOf(QStringLiteral("```xml\n"), section);
    const qsizetype end = text.indexOf(QStringLiteral("```"), begin + 7);
    ASSERT_TRUE(section > 0 && begin > section && end > begin);
    const QByteArray xml = text.mid(begin + 7, end - begin - 7).toUtf8();
    const ReportTemplate t = parseTemplate(asBytes(xml), QStringLiteral("report-template.md"));
    const Page* page = t.FindPage(QStringLiteral("SchedaS2.Page1"));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->FindComponent(QStringLiteral("Domanda1"))->FontMirror(),
              QStringLiteral("FontMasterDom"));
    EXPECT_NE(t.FindPage(QStringLiteral("CorrettoreS2.Page1"))->FindComponent("Corr1_1"), nullptr);
    EXPECT_EQ(t.Expand(QStringLiteral("{NomeAutoscuola}")), QStringLiteral("Autoscuola"));
}

}  // namespace
}  // namespace vexora::report

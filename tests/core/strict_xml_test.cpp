#include "core/strict_xml.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace vexora {
namespace {

// Documents in the shapes the readers meet: a table file, a topic list, a template.
const std::vector<std::string> kSeeds = {
    "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
    "<FIELD attrname=\"Id\" fieldtype=\"i4\"/><FIELD attrname=\"Testo\" fieldtype=\"string\" "
    "WIDTH=\"40\"/></FIELDS><PARAMS AUTOINCVALUE=\"3\"/></METADATA><ROWDATA>"
    "<ROW Id=\"1\" Testo=\"Perch\xC3\xA9 &lt;a&gt; &amp; &quot;b&quot; &#013;&#010;\"/>"
    "<ROW Id=\"2\" Testo='&#x20AC; &apos;'/></ROWDATA></DATAPACKET>",
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<?xml-stylesheet type=\"text/xsl\" "
    "href=\"a.xsl\"?>\r\n<!-- elenco -->\r\n<QX_XmlIni>\r\n  <Lista_Argomenti Totale=\"2\" />\r\n"
    "  <Argomento_00 Testo0=\"Segnali \xE2\x82\xAC\" Indice=\"01\" />\r\n</QX_XmlIni>\r\n",
    "\xEF\xBB\xBF<vexora-report-template version=\"1\"><param name=\"P\">a<![CDATA[<&]]>b</param>"
    "<report name=\"R\"><page name=\"Page1\"><text name=\"T\" left=\"1\">{P} \xF0\x9F\x98\x80"
    "</text><?pi data?></page></report></vexora-report-template><!-- fine -->",
};

// Pieces that make or break well-formedness.
const std::vector<std::string> kPieces = {"<",
                                          ">",
                                          "&",
                                          ";",
                                          "\"",
                                          "'",
                                          "=",
                                          "/",
                                          "!",
                                          "?",
                                          "-",
                                          "]",
                                          " ",
                                          "\t",
                                          "\r\n",
                                          "\x01",
                                          "&#0;",
                                          "&#xFFFE;",
                                          "&#xD800;",
                                          "&#65;",
                                          "&#x10FFFF;",
                                          "&nbsp;",
                                          "&amp",
                                          "&lt;",
                                          "<a/>",
                                          "</a>",
                                          "<!--x-->",
                                          "<!-- - -->",
                                          "--",
                                          "]]>",
                                          "<![CDATA[",
                                          "<?x y?>",
                                          "<?xml?>",
                                          "\xC3\xA9",
                                          "\xC3",
                                          "\xE9",
                                          "\xEF\xBF\xBE",
                                          "\xED\xA0\x80",
                                          "\xF4\x90\x80\x80",
                                          "a=\"1\"",
                                          " a=\"1\""};

TEST(StrictXml, FastCheck_GivesTheFullParsersVerdict) {
    std::mt19937 rng(16);
    const auto below = [&rng](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    int good = 0;
    int bad = 0;
    for (int round = 0; round < 30000; ++round) {
        std::string doc = kSeeds[below(kSeeds.size())];
        const std::size_t edits = 1 + below(4);
        for (std::size_t e = 0; e < edits && !doc.empty(); ++e) {
            const std::size_t at = below(doc.size() + 1);
            switch (below(4)) {
                case 0:
                    doc.insert(at, kPieces[below(kPieces.size())]);
                    break;
                case 1:
                    doc.erase(at, 1 + below(6));
                    break;
                case 2:
                    if (at < doc.size())
                        doc[at] = static_cast<char>(0x20 + below(0x5F));  // printable ASCII
                    break;
                default:
                    if (below(4) == 0)
                        doc.resize(at);
                    break;
            }
        }
        const auto full = findXmlFaultWithExpat(doc, "UTF-8");
        const auto fast = findUtf8XmlFault(doc);
        ASSERT_EQ(full.has_value(), fast.has_value())
            << "round " << round << ": " << (full ? full->description : "good") << " / "
            << (fast ? fast->description : "good") << "\n"
            << doc;
        (full ? bad : good)++;
    }
    EXPECT_GT(good, 1000);
    EXPECT_GT(bad, 1000);
}

TEST(StrictXml, DocumentTypeDeclarations_FollowTheReadersRules) {
    for (const char* doc : {"<!DOCTYPE r [<!ENTITY e \"x\">]><r a=\"&e;\"/>",
                            "<!DOCTYPE r [<!ATTLIST r a CDATA \"1\">]><r/>",
                            "<!DOCTYPE r SYSTEM \"r.dtd\"><r/>", "<!DOCTYPE r><r a=\"&e;\"/>"}) {
        EXPECT_TRUE(findXmlFault(doc)) << doc;
        EXPECT_TRUE(findUtf8XmlFault(doc)) << doc;
    }
    for (const char* doc : {"<!DOCTYPE r><r/>", "<!DOCTYPE r [<!ELEMENT r ANY>]><r/>"}) {
        EXPECT_FALSE(findXmlFault(doc)) << doc;
        EXPECT_FALSE(findUtf8XmlFault(doc)) << doc;
    }
}

TEST(StrictXml, FaultOffsets_CountTheDocumentsOwnBytes) {
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<r a=\"\xE8&nbsp;\"/>"))
        utf16 += std::string{c, '\0'};
    const auto fault = findXmlFault(utf16);
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->offset, 2u + 2u * 7u);  // the '&', two bytes a character after the mark
    const auto latin1 =
        findXmlFault("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r a=\"\xE8\xE8<\"/>");
    ASSERT_TRUE(latin1);
    EXPECT_EQ(latin1->offset, 51u);
    EXPECT_TRUE(findXmlFault("<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><r/>"));
    // Names follow the fifth edition of XML 1.0, as the store's own writer does.
    EXPECT_FALSE(findXmlFault("<r k\xE2\x82\xAC=\"1\"/>"));
}

TEST(StrictXml, Windows1252Documents_ReadEveryByteAsTheCodePageHelperDoes) {
    std::string doc = "<?xml version=\"1.0\" encoding=\"windows-1252\"?><r a=\"";
    for (int b = 0x80; b <= 0xFF; ++b)
        doc.push_back(static_cast<char>(b));
    doc += "\"/>";
    EXPECT_FALSE(findXmlFault(doc));
    const std::string control = "<?xml version=\"1.0\" encoding=\"windows-1252\"?><r a=\"\x01\"/>";
    const auto fault = findXmlFault(control);
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->offset, control.find('\x01'));
}

}  // namespace
}  // namespace vexora

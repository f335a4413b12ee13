#include <gtest/gtest.h>

#include "importer/csv_file.h"

namespace vexora::importer {
namespace {

TEST(DecodeListBytes, TellsTheEncodingsApart) {
    std::string why;
    const auto bom = decodeListBytes("\xEF\xBB\xBFTesto;Risposta\n", &why);
    ASSERT_TRUE(bom);
    EXPECT_EQ(bom->encoding, TextEncoding::Utf8WithBom);
    EXPECT_EQ(bom->utf8, "Testo;Risposta\n");

    const auto utf8 = decodeListBytes("perch\xC3\xA9", &why);
    ASSERT_TRUE(utf8);
    EXPECT_EQ(utf8->encoding, TextEncoding::Utf8);

    const auto cp = decodeListBytes("perch\xE9 \x93no\x94", &why);  // é and curly quotes
    ASSERT_TRUE(cp);
    EXPECT_EQ(cp->encoding, TextEncoding::Windows1252);
    EXPECT_EQ(cp->utf8, "perch\xC3\xA9 \xE2\x80\x9Cno\xE2\x80\x9D");
}

TEST(DecodeListBytes, RefusesWhatIsNoText) {
    std::string why;
    EXPECT_FALSE(decodeListBytes("", &why));
    EXPECT_EQ(why, "il file è vuoto");
    EXPECT_FALSE(decodeListBytes("\xEF\xBB\xBF", &why));
    EXPECT_FALSE(decodeListBytes(std::string("PK\x03\x04\x14\0\0\0", 8), &why));
    EXPECT_NE(why.find("dati binari"), std::string::npos);
    EXPECT_FALSE(decodeListBytes("\xEF\xBB\xBFperch\xE9", &why));  // BOM, then no UTF-8
}

TEST(ParseCsv, FindsTheSeparatorFromTheHeader) {
    EXPECT_EQ(detectSeparator("Testo;Risposta;Capitolo"), ';');
    EXPECT_EQ(detectSeparator("Testo,Risposta,Capitolo"), ',');
    EXPECT_EQ(detectSeparator("\"Testo; lungo\",Risposta,Capitolo"), ',');
    EXPECT_EQ(parseCsv("a,b\n1,2\n").separator, ',');
    // A quote inside a header name is text, as the reader takes it: it opens no quoted
    // part that would hide the separators of the line and reach into the next one.
    const CsvText q = parseCsv("Cap\"itolo;Testo;Risposta\n\"uno, due\",V,01\n");
    EXPECT_EQ(q.separator, ';');
    EXPECT_EQ(q.header.fields, (std::vector<std::string>{"Cap\"itolo", "Testo", "Risposta"}));
    // Blank lines above the header do not decide it.
    const CsvText t = parseCsv("  \r\n\t\na,b\n1,2\n");
    EXPECT_EQ(t.separator, ',');
    EXPECT_EQ(t.header.line, 3);
    EXPECT_EQ(t.header.fields, (std::vector<std::string>{"a", "b"}));
}

TEST(ParseCsv, QuotedFieldsHoldSeparatorsQuotesAndLineBreaks) {
    const CsvText t = parseCsv(
        "\n"
        "Testo;Risposta\r\n"
        "\"uno; \"\"due\"\"\";V\r\n"
        "\"riga\r\nspezzata\";F\n"
        ";\n"  // a spreadsheet's empty row
        "ultima;1");
    ASSERT_FALSE(t.fault);
    EXPECT_EQ(t.header.line, 2);
    ASSERT_EQ(t.records.size(), 3u);
    EXPECT_EQ(t.records[0].fields, (std::vector<std::string>{"uno; \"due\"", "V"}));
    EXPECT_EQ(t.records[0].line, 3);
    EXPECT_EQ(t.records[1].fields[0], "riga\r\nspezzata");
    EXPECT_EQ(t.records[1].line, 4);
    EXPECT_EQ(t.records[2].line, 7);  // the quoted line break counts
}

TEST(ParseCsv, StopsAtAnUnclosedQuoteNamingItsLine) {
    const CsvText t = parseCsv("a;b\n1;2\n\"aperto;3\n4;5\n");
    ASSERT_TRUE(t.fault);
    EXPECT_EQ(t.faultLine, 3);
    EXPECT_EQ(t.records.size(), 1u);
    EXPECT_TRUE(parseCsv("a;b\n\"x\"y;2\n").fault);
}

TEST(ParseCsv, KeepsOnlyOneFieldMoreThanTheHeader) {
    const CsvText t = parseCsv("a;b\n" + std::string(100000, ';') + "\n");
    ASSERT_EQ(t.records.size(), 0u);  // only separators: an empty row
    const CsvText u = parseCsv("a;b\nx" + std::string(100000, ';') + "\n");
    ASSERT_EQ(u.records.size(), 1u);
    EXPECT_EQ(u.records[0].fields.size(), 3u);
    EXPECT_EQ(u.records[0].fieldCount, 100001u);
}

TEST(CsvField, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(csvField("semplice", ';'), "semplice");
    EXPECT_EQ(csvField("a;b", ';'), "\"a;b\"");
    EXPECT_EQ(csvField("a,b", ';'), "a,b");
    EXPECT_EQ(csvField("il \"STOP\"", ';'), "\"il \"\"STOP\"\"\"");
    EXPECT_EQ(csvField("a\tb", ';'), "\"a\tb\"");
    EXPECT_EQ(csvField(" a", ';'), "\" a\"");
}

}  // namespace
}  // namespace vexora::importer

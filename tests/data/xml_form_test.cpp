#include "data/xml_form.h"

#include <gtest/gtest.h>

#include "data/table.h"
#include "data/table_file.h"
#include "data/type_words.h"
#include "table_test_support.h"

namespace vexora::data {
namespace {

using testing::at;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

FieldDef def(std::string name, FieldType type, int size = 0) {
    FieldDef f;
    f.name = std::move(name);
    f.type = type;
    f.size = size;
    return f;
}

// Wraps FIELD elements and ROW elements into a whole XML table file.
std::string packet(const std::string& fields, const std::string& rows,
                   const std::string& params = "<PARAMS/>",
                   const std::string& declaration = "<?xml version=\"1.0\" standalone=\"yes\"?>") {
    return declaration + "  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>" + fields + "</FIELDS>" +
           params + "</METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>";
}

// ---------------------------------------------------------------- writing

TEST(XmlFormWrite, SmallTable_IsWrittenByteForByte) {
    TableData t;
    t.fields = {def("nRec", FieldType::AutoInc, 4), def("IdMaster", FieldType::Integer, 4),
                def("Cap (n.)", FieldType::String, 2), def("Risposta", FieldType::Boolean, 2),
                def("dtEsame", FieldType::DateTime, 8)};
    t.fields[1].required = true;
    t.fields[3].readOnly = true;
    t.fields[3].hidden = true;
    t.autoIncValue = 3;
    t.rows = {{std::int64_t{1}, std::int64_t{-42}, std::string("3\xC3\xA8"), true,
               at(2024, 3, 3, 14, 5, 9, 250)},
              {std::int64_t{2}, std::int64_t{7}, Value{}, false, at(2024, 3, 3)}};
    const std::string expected =
        "<?xml version=\"1.0\" standalone=\"yes\"?>  "
        "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
        "<FIELD attrname=\"nRec\" fieldtype=\"i4\" SUBTYPE=\"Autoinc\"/>"
        "<FIELD attrname=\"IdMaster\" fieldtype=\"i4\" required=\"true\"/>"
        "<FIELD fieldname=\"Cap (n.)\" attrname=\"Cap__n._\" fieldtype=\"string\" WIDTH=\"2\"/>"
        "<FIELD attrname=\"Risposta\" fieldtype=\"boolean\" readonly=\"true\" hidden=\"true\"/>"
        "<FIELD attrname=\"dtEsame\" fieldtype=\"dateTime\"/>"
        "</FIELDS><PARAMS AUTOINCVALUE=\"3\"/></METADATA><ROWDATA>"
        "<ROW nRec=\"1\" IdMaster=\"-42\" Cap__n._=\"3\xE8\" Risposta=\"TRUE\" "
        "dtEsame=\"20240303T14:05:09250\"/>"
        "<ROW nRec=\"2\" IdMaster=\"7\" Risposta=\"FALSE\" dtEsame=\"20240303\"/>"
        "</ROWDATA></DATAPACKET>";
    EXPECT_EQ(writeXmlTable(t), expected);
}

TEST(XmlFormWrite, SpecialCharacters_AreReplacedByTheirReferences) {
    TableData t;
    t.fields = {def("S", FieldType::String, 50)};
    t.rows = {{std::string("a<b>c&d'e\"f\rg\nh\ti\\j")}};
    const std::string xml = writeXmlTable(t);
    EXPECT_NE(xml.find("S=\"a&lt;b&gt;c&amp;d&apos;e&quot;f&#013;g&#010;h&#009;i&#092;j\""),
              std::string::npos)
        << xml;
}

TEST(XmlFormWrite, NamesWithBlanksAndSymbols_GetAnAttrnameAndKeepTheirTrueName) {
    TableData t;
    t.fields = {def("a b!#$%()*?", FieldType::Integer, 4),
                def("a_b________", FieldType::Integer, 4)};
    t.rows = {{std::int64_t{1}, std::int64_t{2}}};
    const std::string xml = writeXmlTable(t);
    EXPECT_NE(xml.find("<FIELD fieldname=\"a b!#$%()*?\" attrname=\"a_b________\""),
              std::string::npos);
    // The second name would collide with the first attrname: it is told apart.
    EXPECT_NE(xml.find("attrname=\"a_b_________2\""), std::string::npos) << xml;
    const TableData back = readXmlTable(xml);
    EXPECT_EQ(back.fields[0].name, "a b!#$%()*?");
    EXPECT_EQ(back.fields[1].name, "a_b________");
    EXPECT_EQ(back.rows[0], (std::vector<Value>{std::int64_t{1}, std::int64_t{2}}));
}

TEST(XmlFormWrite, CharactersOutsideWindows1252_TravelAsNumericReferences) {
    TableData t;
    t.fields = {def("S", FieldType::String, 50)};
    t.rows = {{std::string("€ α")}};
    const std::string xml = writeXmlTable(t);
    EXPECT_NE(xml.find("S=\"\x80 &#945;\""), std::string::npos) << xml;
    EXPECT_EQ(std::get<std::string>(readXmlTable(xml).rows[0][0]), "€ α");
}

TEST(XmlFormWrite, TableWithoutProperties_WritesAnEmptyParams) {
    TableData t;
    t.fields = {def("A", FieldType::Integer, 4)};
    EXPECT_NE(writeXmlTable(t).find("</FIELDS><PARAMS/></METADATA><ROWDATA></ROWDATA>"),
              std::string::npos);
}

TEST(XmlFormWrite, AutoIncrementWithoutCounter_StatesTheNextValue) {
    TableData t;
    t.fields = {def("nRec", FieldType::AutoInc, 4)};
    t.rows = {{std::int64_t{5}}, {std::int64_t{9}}};
    EXPECT_NE(writeXmlTable(t).find("<PARAMS AUTOINCVALUE=\"10\"/>"), std::string::npos);
}

TEST(XmlFormWrite, OtherTypes_UseTheirTypeWords) {
    TableData t;
    t.fields = {def("a", FieldType::Integer, 2), def("b", FieldType::UnsignedInteger, 1),
                def("c", FieldType::Float, 8),   def("d", FieldType::Date, 4),
                def("e", FieldType::Time, 4),    def("f", FieldType::WideString, 9),
                def("g", FieldType::Bytes, 0),   def("h", FieldType::Decimal, 10)};
    t.fields[7].decimals = 2;
    t.rows = {{std::int64_t{-5}, std::int64_t{200}, 2.5, DateValue{738'949}, TimeValue{50'709'250},
               std::string("x"), BytesValue{std::string("\x01\xAB")}, 12.5}};
    const std::string xml = writeXmlTable(t);
    for (const char* piece :
         {"attrname=\"a\" fieldtype=\"i2\"", "attrname=\"b\" fieldtype=\"ui1\"",
          "attrname=\"c\" fieldtype=\"r8\"", "attrname=\"d\" fieldtype=\"date\"",
          "attrname=\"e\" fieldtype=\"time\"",
          "attrname=\"f\" fieldtype=\"string.uni\" WIDTH=\"9\"",
          "attrname=\"g\" fieldtype=\"bin.hex\"/>",
          "attrname=\"h\" fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"19\"",
          "a=\"-5\" b=\"200\" c=\"2.5\"", "e=\"14:05:09250\"", "g=\"01AB\"", "h=\"12.5\""}) {
        EXPECT_NE(xml.find(piece), std::string::npos) << piece << "\n" << xml;
    }
}

TEST(XmlFormWrite, ValueOfTheWrongKind_IsRefused) {
    TableData t;
    t.fields = {def("A", FieldType::Integer, 4)};
    t.rows = {{std::string("1")}};
    EXPECT_THROW(writeXmlTable(t), TableError);
}

// ---------------------------------------------------------------- values through the table

TEST(XmlFormTable, NullDateIsAbsentAndMidnightHasNoTimePart) {
    TempDir dir;
    Table t;
    t.AddFieldDef("Id", FieldType::Integer);
    t.AddFieldDef("dtNormali", FieldType::DateTime);
    t.AddFieldDef("dtEsame", FieldType::DateTime);
    t.CreateDataSet();
    t.Append();
    t.FieldByName("Id").SetAsInteger(1);
    t.FieldByName("dtEsame").SetAsDateTime(at(2024, 3, 3));
    t.Post();
    t.SaveToFile(dir.file("p.XML"));
    const std::string xml = readBytes(dir.file("p.XML"));
    EXPECT_NE(xml.find("<ROW Id=\"1\" dtEsame=\"20240303\"/>"), std::string::npos) << xml;
}

TEST(XmlFormTable, TextWithMarkupQuotesAndLineBreaks_SurvivesSaveAndLoad) {
    TempDir dir;
    const std::string text = "Se <a> & \"b\" 'c'\r\nriga\ttab \\ fine è";
    Table t;
    t.AddFieldDef("Testo", FieldType::String, 200);
    t.CreateDataSet();
    t.Append();
    t.FieldByName("Testo").SetAsString(text);
    t.Post();
    t.SaveToFile(dir.file("t.xml"));
    Table back;
    back.LoadFromFile(dir.file("t.xml"));
    EXPECT_EQ(back.FieldByName("Testo").AsString(), text);
}

TEST(XmlFormTable, AfterMergeAndSave_NoChangeLogAndNoRowState) {
    TempDir dir;
    const std::string source = dir.file("in.xml");
    writeBytes(source, packet("<FIELD attrname=\"A\" fieldtype=\"i4\"/>",
                              "<ROW RowState=\"4\" A=\"1\"/><ROW A=\"2\"/>",
                              "<PARAMS CHANGE_LOG=\"1 0 4\" LCID=\"1040\"/>"));
    Table t;
    t.LoadFromFile(source);
    t.Edit();
    t.FieldByName("A").SetAsInteger(5);
    t.Post();
    t.MergeChangeLog();
    t.SaveToFile(dir.file("out.xml"));
    const std::string xml = readBytes(dir.file("out.xml"));
    EXPECT_EQ(xml.find("CHANGE_LOG"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("RowState"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<PARAMS LCID=\"1040\"/>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<ROW A=\"5\"/><ROW A=\"2\"/>"), std::string::npos) << xml;
}

// ---------------------------------------------------------------- reading

TEST(XmlFormRead, EveryAcceptedTypeWord_MapsToItsTypeInAnyCase) {
    const std::string fields =
        "<FIELD attrname=\"a\" fieldtype=\"I1\"/><FIELD attrname=\"b\" fieldtype=\"i2\"/>"
        "<FIELD attrname=\"c\" fieldtype=\"i8\"/><FIELD attrname=\"d\" fieldtype=\"UI1\"/>"
        "<FIELD attrname=\"e\" fieldtype=\"ui2\"/><FIELD attrname=\"f\" fieldtype=\"ui4\"/>"
        "<FIELD attrname=\"g\" fieldtype=\"r4\"/><FIELD attrname=\"h\" fieldtype=\"R8\"/>"
        "<FIELD attrname=\"i\" fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"8\"/>"
        "<FIELD attrname=\"j\" fieldtype=\"date\"/><FIELD attrname=\"k\" fieldtype=\"time\"/>"
        "<FIELD attrname=\"l\" fieldtype=\"string.uni\" WIDTH=\"5\"/>"
        "<FIELD attrname=\"m\" fieldtype=\"bin.hex\" SUBTYPE=\"Text\"/>"
        "<FIELD attrname=\"n\" fieldtype=\"SQLdateTime\"/>"
        "<FIELD attrname=\"o\" fieldtype=\"fixedFMT\" DECIMALS=\"1\"/>"
        "<FIELD attrname=\"p\" fieldtype=\"DATETIME\"/><FIELD attrname=\"q\" "
        "fieldtype=\"Boolean\"/>";
    const std::string row =
        "<ROW a=\"-1\" b=\"300\" c=\"-9000000000\" d=\"255\" e=\"65535\" f=\"4000000000\" "
        "g=\"0.5\" h=\"1e300\" i=\"-12.34\" j=\"20240229\" k=\"23:59:59999\" l=\"x\" m=\"6869\" "
        "n=\"20000101T00:00:01000\" o=\"7.5\" p=\"19991231\" q=\"false\"/>";
    const TableData t = readXmlTable(packet(fields, row));
    const FieldType types[] = {FieldType::Integer,
                               FieldType::Integer,
                               FieldType::Integer,
                               FieldType::UnsignedInteger,
                               FieldType::UnsignedInteger,
                               FieldType::UnsignedInteger,
                               FieldType::Float,
                               FieldType::Float,
                               FieldType::Decimal,
                               FieldType::Date,
                               FieldType::Time,
                               FieldType::WideString,
                               FieldType::Bytes,
                               FieldType::DateTime,
                               FieldType::FormattedDecimal,
                               FieldType::DateTime,
                               FieldType::Boolean};
    // A packed decimal's WIDTH is its digits: 8 digits take 5 bytes.
    const int sizes[] = {1, 2, 8, 1, 2, 4, 4, 8, 5, 4, 4, 5, 0, 8, 0, 8, 2};
    ASSERT_EQ(t.fields.size(), 17u);
    for (std::size_t j = 0; j < t.fields.size(); ++j) {
        EXPECT_EQ(t.fields[j].type, types[j]) << j;
        EXPECT_EQ(t.fields[j].size, sizes[j]) << j;
    }
    EXPECT_EQ(t.fields[8].decimals, 2);
    EXPECT_EQ(t.fields[8].precision, 8);
    EXPECT_TRUE(t.fields[13].sqlDateTime);
    ASSERT_EQ(t.fields[12].extra.size(), 1u);  // SUBTYPE "Text" is kept
    const auto& r = t.rows.at(0);
    EXPECT_EQ(r[2], Value{std::int64_t{-9'000'000'000}});
    EXPECT_EQ(r[5], Value{std::int64_t{4'000'000'000}});
    EXPECT_EQ(r[8], Value{-12.34});
    EXPECT_EQ(r[9], Value{DateValue{static_cast<std::int32_t>(dayNumber(2024, 2, 29))}});
    EXPECT_EQ(r[10], Value{TimeValue{86'399'999}});
    EXPECT_EQ(r[12], Value{BytesValue{"hi"}});
    EXPECT_EQ(r[13], Value{at(2000, 1, 1, 0, 0, 1)});
    EXPECT_EQ(r[16], Value{false});
    // The dump's type words come back for each column.
    EXPECT_EQ(xmlTypeWord(t.fields[1]), "i2");
    EXPECT_EQ(xmlTypeWord(t.fields[7]), "r8");
    EXPECT_EQ(xmlTypeWord(t.fields[14]), "fixedFMT");
    EXPECT_EQ(xmlTypeWord(t.fields[13]), "SQLdateTime");
}

TEST(XmlFormRead, ParamsWithAnyAttributesOrParamChildren_AreAccepted) {
    const std::string fields = "<FIELD attrname=\"n\" fieldtype=\"i4\" SUBTYPE=\"Autoinc\"/>";
    for (const char* params :
         {"", "<PARAMS/>", "<PARAMS></PARAMS>",
          "<PARAMS DEFAULT_ORDER=\"1\" PRIMARY_KEY=\"1\" UNIQUE_KEY=\"1\" AUTOINCVALUE=\"8\"/>",
          "<PARAMS AUTOINCVALUE=\"8\"><PARAM Name=\"MYPROP\" Value=\"x\" Type=\"1\"/></PARAMS>",
          "<PARAMS><PARAM Name=\"AUTOINCVALUE\" Value=\"8\" Type=\"4\"/></PARAMS>"}) {
        const TableData t = readXmlTable(packet(fields, "<ROW n=\"1\"/>", params));
        ASSERT_EQ(t.fields.at(0).type, FieldType::AutoInc) << params;
        if (std::string(params).find("AUTOINCVALUE") != std::string::npos) {
            EXPECT_EQ(t.autoIncValue, 8) << params;
        } else {
            EXPECT_EQ(t.autoIncValue, -1) << params;
        }
    }
}

TEST(XmlFormRead, DeclarationWithoutEncoding_MeansWindows1252) {
    const std::string fields = "<FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"9\"/>";
    const TableData t = readXmlTable(packet(fields, "<ROW S=\"Perch\xE9 \x80\"/>"));
    EXPECT_EQ(std::get<std::string>(t.rows[0][0]), "Perché €");
}

TEST(XmlFormRead, Utf8Declaration_MeansUtf8) {
    const std::string fields = "<FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"9\"/>";
    const std::string row = "<ROW S=\"Perch\xC3\xA9\"/>";
    const TableData utf8 = readXmlTable(packet(
        fields, row, "<PARAMS/>", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"));
    EXPECT_EQ(std::get<std::string>(utf8.rows[0][0]), "Perché");
    // The same bytes under the plain declaration are two Windows-1252 characters.
    const TableData cp = readXmlTable(packet(fields, row));
    EXPECT_EQ(std::get<std::string>(cp.rows[0][0]), "PerchÃ©");
    // A byte order mark means UTF-8 as well.
    const TableData bom = readXmlTable("\xEF\xBB\xBF" + packet(fields, row));
    EXPECT_EQ(std::get<std::string>(bom.rows[0][0]), "Perché");
}

TEST(XmlFormRead, RowDataFirst_AndUnknownAttributes_AreAccepted) {
    const std::string xml =
        "<DATAPACKET Version=\"2.0\"><ROWDATA><ROW A=\"3\" Extra=\"x\" RowState=\"2\"/></ROWDATA>"
        "<METADATA><FIELDS><FIELD attrname=\"A\" fieldtype=\"i4\" LINKFIELD2=\"q\"/></FIELDS>"
        "</METADATA></DATAPACKET>";
    const TableData t = readXmlTable(xml);
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.rows[0][0], Value{std::int64_t{3}});
}

TEST(XmlFormRead, EmptyTextAttribute_IsAnEmptyTextNotNull) {
    const TableData t = readXmlTable(
        packet("<FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"3\"/><FIELD attrname=\"D\" "
               "fieldtype=\"dateTime\"/>",
               "<ROW S=\"\"/>"));
    EXPECT_EQ(t.rows[0][0], Value{std::string()});
    EXPECT_TRUE(isNull(t.rows[0][1]));
}

TEST(XmlFormRead, RowDataWithoutMetadata_IsReadAsTextFields) {
    const TableData t = readXmlTable(
        "<DATAPACKET Version=\"2.0\"><ROWDATA><ROW A=\"1\" Testo=\"Perch\xE9\" RowState=\"4\"/>"
        "<ROW Testo=\"abcdefg\" Altro=\"x\"/><ROW/></ROWDATA></DATAPACKET>");
    ASSERT_EQ(t.fields.size(), 3u);
    const char* names[] = {"A", "Testo", "Altro"};
    const int widths[] = {1, 7, 1};
    for (std::size_t j = 0; j < 3; ++j) {
        EXPECT_EQ(t.fields[j].name, names[j]);
        EXPECT_EQ(t.fields[j].type, FieldType::String);
        EXPECT_EQ(t.fields[j].size, widths[j]);
    }
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0], (std::vector<Value>{std::string("1"), std::string("Perché"), Value{}}));
    EXPECT_EQ(t.rows[1], (std::vector<Value>{Value{}, std::string("abcdefg"), std::string("x")}));
    EXPECT_EQ(t.rows[2], std::vector<Value>(3));
    // Such a table writes like any other, with its fields declared.
    EXPECT_EQ(readXmlTable(writeXmlTable(t)).rows, t.rows);
}

TEST(XmlFormTable, AutoIncrementCounterPast32Bits_RefusesNewRows) {
    TempDir dir;
    writeBytes(dir.file("a.xml"),
               packet("<FIELD attrname=\"n\" fieldtype=\"i4\" SUBTYPE=\"Autoinc\"/>", "",
                      "<PARAMS AUTOINCVALUE=\"2147483648\"/>"));
    Table t;
    t.LoadFromFile(dir.file("a.xml"));
    t.Append();
    EXPECT_THROW(t.Post(), TableError);
    t.Cancel();
    EXPECT_EQ(t.RecordCount(), 0u);
}

// ---------------------------------------------------------------- hostile input

struct HostileCase {
    const char* name;
    std::string bytes;
};

std::vector<HostileCase> hostileCorpus() {
    const std::string i4 = "<FIELD attrname=\"A\" fieldtype=\"i4\"/>";
    return {
        {"empty file", ""},
        {"blanks only", "   \r\n\t "},
        {"plain text", "Questo non è un file XML"},
        {"wrong root", "<?xml version=\"1.0\"?><TABLE><METADATA/></TABLE>"},
        {"unclosed markup", "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"A\""},
        {"mismatched tags", "<DATAPACKET><METADATA></ROWDATA></DATAPACKET>"},
        {"unterminated declaration", "<?xml version=\"1.0\" standalone=\"yes\""},
        {"unsupported encoding", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><DATAPACKET/>"},
        {"UTF-16 text", std::string("\xFF\xFE<\0D\0", 6)},
        {"first child not metadata",
         "<DATAPACKET><FOO/><METADATA><FIELDS/></METADATA></DATAPACKET>"},
        {"rows without metadata and without values",
         "<DATAPACKET><ROWDATA><ROW/></ROWDATA></DATAPACKET>"},
        {"no fields element", "<DATAPACKET><METADATA><PARAMS/></METADATA></DATAPACKET>"},
        {"no fields at all", packet("", "")},
        {"field without attrname", packet("<FIELD fieldtype=\"i4\"/>", "")},
        {"field without type", packet("<FIELD attrname=\"A\"/>", "")},
        {"unknown type", packet("<FIELD attrname=\"A\" fieldtype=\"blob\"/>", "")},
        {"nested table",
         packet("<FIELD attrname=\"A\" fieldtype=\"nested\"><FIELDS>" + i4 + "</FIELDS></FIELD>",
                "")},
        {"duplicate names", packet(i4 + "<FIELD attrname=\"a\" fieldtype=\"i2\"/>", "")},
        {"duplicate attrnames",
         packet(i4 + "<FIELD fieldname=\"B\" attrname=\"A\" fieldtype=\"i2\"/>", "")},
        {"bogus width", packet("<FIELD attrname=\"A\" fieldtype=\"string\" WIDTH=\"abc\"/>", "")},
        {"negative width", packet("<FIELD attrname=\"A\" fieldtype=\"string\" WIDTH=\"-1\"/>", "")},
        {"huge width",
         packet("<FIELD attrname=\"A\" fieldtype=\"string\" WIDTH=\"99999999999999\"/>", "")},
        {"huge decimal", packet("<FIELD attrname=\"A\" fieldtype=\"fixed\" WIDTH=\"4000\"/>", "")},
        {"bogus autoinc", packet(i4, "", "<PARAMS AUTOINCVALUE=\"x\"/>")},
        {"negative autoinc", packet(i4, "", "<PARAMS AUTOINCVALUE=\"-5\"/>")},
        {"integer with letters", packet(i4, "<ROW A=\"12x\"/>")},
        {"integer too large", packet(i4, "<ROW A=\"2147483648\"/>")},
        {"i2 out of range",
         packet("<FIELD attrname=\"A\" fieldtype=\"i2\"/>", "<ROW A=\"70000\"/>")},
        {"negative unsigned",
         packet("<FIELD attrname=\"A\" fieldtype=\"ui4\"/>", "<ROW A=\"-1\"/>")},
        {"bogus boolean",
         packet("<FIELD attrname=\"A\" fieldtype=\"boolean\"/>", "<ROW A=\"maybe\"/>")},
        {"month 13",
         packet("<FIELD attrname=\"A\" fieldtype=\"dateTime\"/>", "<ROW A=\"20241301\"/>")},
        {"30 February",
         packet("<FIELD attrname=\"A\" fieldtype=\"dateTime\"/>", "<ROW A=\"20240230\"/>")},
        {"hour 25", packet("<FIELD attrname=\"A\" fieldtype=\"dateTime\"/>",
                           "<ROW A=\"20240303T25:00:00000\"/>")},
        {"seconds 60", packet("<FIELD attrname=\"A\" fieldtype=\"dateTime\"/>",
                              "<ROW A=\"20240303T10:00:60000\"/>")},
        {"short date", packet("<FIELD attrname=\"A\" fieldtype=\"date\"/>", "<ROW A=\"2024\"/>")},
        {"bad hex", packet("<FIELD attrname=\"A\" fieldtype=\"bin.hex\"/>", "<ROW A=\"XYZ\"/>")},
        {"odd hex", packet("<FIELD attrname=\"A\" fieldtype=\"bin.hex\"/>", "<ROW A=\"ABC\"/>")},
        {"bogus number", packet("<FIELD attrname=\"A\" fieldtype=\"r8\"/>", "<ROW A=\"1.2.3\"/>")},
        {"huge integer attribute", packet(i4, "<ROW A=\"" + std::string(2'000'000, '7') + "\"/>")},
        {"binary magic, then nothing", std::string("\x96\x19\xE0\xBD\x01\x00\x00\x00", 8)},
        {"binary header with huge counts",
         std::string("\x96\x19\xE0\xBD\x01\x00\x00\x00\x18\x00\x00\x00\xFF\xFF\xFF\xFF\xFF\x7F"
                     "\x01\x00\x00\x00\x00\x00",
                     24)},
    };
}

TEST(XmlFormHostile, EveryCorpusFile_FailsWithAMessageNamingTheFile) {
    TempDir dir;
    int index = 0;
    for (const HostileCase& c : hostileCorpus()) {
        const std::string path = dir.file("hostile_" + std::to_string(index++) + ".xml");
        writeBytes(path, c.bytes);
        Table t;
        try {
            t.LoadFromFile(path);
            ADD_FAILURE() << c.name << ": loaded";
        } catch (const TableError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(path), std::string::npos) << c.name << ": " << message;
            EXPECT_LT(message.size(), 400u) << c.name << ": " << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << c.name;
        }
        EXPECT_FALSE(t.Active()) << c.name;
    }
}

// Documents that are not well-formed XML, or values off the form's patterns: each is
// refused naming the file and where it breaks, never read as something else.
TEST(XmlFormStrict, MalformedDocumentsAndValues_AreRefusedNamingFileAndPlace) {
    const std::string s = "<FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"20\"/>";
    const std::string dt = "<FIELD attrname=\"D\" fieldtype=\"dateTime\"/>";
    const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>";
    struct Case {
        const char* what;
        std::string bytes;
        const char* where;  // expected in the message
    };
    const std::vector<Case> cases = {
        {"HTML entity", packet(s, "<ROW S=\"a&nbsp;b\"/>"), "byte "},
        {"unterminated reference", packet(s, "<ROW S=\"a&amp b\"/>"), "byte "},
        {"bare ampersand", packet(s, "<ROW S=\"a & b\"/>"), "byte "},
        {"reference to NUL", packet(s, "<ROW S=\"a&#0;b\"/>"), "byte "},
        {"reference to U+FFFE", packet(s, "<ROW S=\"a&#xFFFE;b\"/>"), "byte "},
        {"reference to a surrogate", packet(s, "<ROW S=\"a&#xD800;b\"/>"), "byte "},
        {"invalid UTF-8", packet(s, "<ROW S=\"Perch\xE9\"/>", "<PARAMS/>", utf8), "byte "},
        {"control byte in Windows-1252", packet(s, "<ROW S=\"a\x01b\"/>"), "byte "},
        {"8-bit byte in US-ASCII",
         packet(s, "<ROW S=\"\xE9\"/>", "<PARAMS/>",
                "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>"),
         "byte "},
        {"byte order mark against the declaration",
         "\xEF\xBB\xBF" + packet(s, "<ROW S=\"a\"/>", "<PARAMS/>",
                                 "<?xml version=\"1.0\" encoding=\"windows-1252\"?>"),
         "byte order mark"},
        {"repeated attribute", packet(s, "<ROW S=\"a\" S=\"b\"/>"), "byte "},
        {"second root", packet(s, "<ROW S=\"a\"/>") + "<DATAPACKET/>", "byte "},
        {"raw < in a value", packet(s, "<ROW S=\"a<b\"/>"), "byte "},
        {"entity declared in the document",
         "<!DOCTYPE DATAPACKET [<!ENTITY e \"x\">]>" + packet(s, "<ROW S=\"&e;\"/>", "", ""),
         "byte "},
        {"date of seven digits", packet(dt, "<ROW D=\"2024033\"/>"), "row 1"},
        {"date of nine digits", packet(dt, "<ROW D=\"202403031\"/>"), "row 1"},
        {"seconds in two digits", packet(dt, "<ROW D=\"20240303T14:05:09\"/>"), "row 1"},
        {"hour in one digit", packet(dt, "<ROW D=\"20240303T4:05:09250\"/>"), "row 1"},
        {"blank before a date", packet(dt, "<ROW D=\" 20240303\"/>"), "row 1"},
        {"time in two-digit seconds",
         packet("<FIELD attrname=\"T\" fieldtype=\"time\"/>", "<ROW T=\"14:05:09\"/>"), "row 1"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.file("strict.xml");
        writeBytes(path, c.bytes);
        try {
            Table t;
            t.LoadFromFile(path);
            ADD_FAILURE() << c.what << ": loaded";
        } catch (const TableError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(path), std::string::npos) << c.what << ": " << message;
            EXPECT_NE(message.find(c.where), std::string::npos) << c.what << ": " << message;
        }
    }
}

TEST(XmlFormStrict, FaultOffset_CountsTheFileBytesOfWindows1252Text) {
    // Each "è" is one byte in the file and two once decoded: the offset is the file's.
    const std::string xml = packet("<FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"20\"/>",
                                   "<ROW S=\"\xE8\xE8\xE8<\"/>");
    const std::size_t at = xml.find("\xE8<") + 1;
    try {
        readXmlTable(xml);
        FAIL() << "loaded";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("byte " + std::to_string(at)), std::string::npos)
            << e.what();
    }
}

TEST(XmlFormStrict, LegalButUnusualDocuments_StayReadable) {
    const std::string s = "<FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"20\"/>";
    for (const std::string& xml : {
             packet(s, "<ROW S='&#233;&#x20AC;&lt;&gt;&quot;&apos;&amp;'/>"),
             "<!DOCTYPE DATAPACKET>" + packet(s, "<ROW S=\"a\"/>", "", ""),
             packet(s, "<!-- note --><ROW S = \"a\" /><?pi data?>"),
             packet(s, "<ROW S=\"a\"><![CDATA[<&>]]></ROW>") + "\r\n<!-- end -->\r\n",
             packet(s, "<ROW S=\"\x80\x81\x9D\"/>"),  // Windows-1252, its gaps included
             packet(s, "<ROW S=\"\xE8\"/>", "<PARAMS/>",
                    "<?xml version='1.0' encoding='ISO-8859-1'?>"),
         }) {
        EXPECT_NO_THROW(readXmlTable(xml)) << xml;
    }
    EXPECT_EQ(std::get<std::string>(
                  readXmlTable(packet(s, "<ROW S=\"\x80\"/>", "<PARAMS/>",
                                      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"))
                      .rows[0][0]),
              "\xC2\x80");  // Latin-1 has no euro sign
}

TEST(XmlFormWrite, CharactersXmlCannotCarry_AreRefusedNotDropped) {
    for (const std::string& text :
         {std::string("a\0b", 3), std::string("a\x01b"), std::string("a\xEF\xBF\xBE")}) {
        TableData t;
        t.fields = {def("S", FieldType::String, 10)};
        t.rows = {{text}};
        EXPECT_THROW(writeXmlTable(t), TableError);
    }
}

TEST(XmlFormHostile, HugeTextAttribute_IsReadWhole) {
    const std::string big(3'000'000, 'q');
    const TableData t = readXmlTable(packet(
        "<FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"10\"/>", "<ROW S=\"" + big + "\"/>"));
    EXPECT_EQ(std::get<std::string>(t.rows[0][0]).size(), big.size());
}

TEST(XmlFormHostile, DeepNesting_DoesNotExhaustTheStack) {
    std::string inner;
    for (int i = 0; i < 200'000; ++i)
        inner += "<x>";
    for (int i = 0; i < 200'000; ++i)
        inner += "</x>";
    const TableData t = readXmlTable(
        packet("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "<ROW A=\"1\">" + inner + "</ROW>"));
    EXPECT_EQ(t.rows.size(), 1u);
}

TEST(XmlFormHostile, EveryTruncation_LoadsOrFailsCleanly) {
    TableData t;
    t.fields = {def("nRec", FieldType::AutoInc, 4), def("Testo", FieldType::String, 30),
                def("dt", FieldType::DateTime, 8), def("ok", FieldType::Boolean, 2)};
    t.autoIncValue = 3;
    t.rows = {{std::int64_t{1}, std::string("a&b"), at(2024, 1, 2, 3, 4, 5, 6), true},
              {std::int64_t{2}, Value{}, Value{}, false}};
    const std::string xml = writeXmlTable(t);
    std::size_t loaded = 0;
    for (std::size_t n = 0; n <= xml.size(); ++n) {
        try {
            readTableBytes(std::string_view(xml).substr(0, n));
            ++loaded;
        } catch (const TableError&) {
        }
    }
    EXPECT_EQ(loaded, 1u);  // only the whole text is a table
}

TEST(XmlFormHostile, ByteFlips_LoadOrFailCleanly) {
    TableData t;
    t.fields = {def("Id", FieldType::Integer, 4), def("S", FieldType::String, 5),
                def("dt", FieldType::DateTime, 8)};
    t.rows = {{std::int64_t{12}, std::string("x\"y"), at(2020, 2, 29, 23, 59, 59, 999)}};
    const std::string xml = writeXmlTable(t);
    std::size_t read = 0;
    std::size_t refused = 0;
    for (std::size_t i = 0; i < xml.size(); ++i) {
        for (char c : {'<', '>', '"', '&', '\0', 'Z', '9', '\xE8'}) {
            std::string bad = xml;
            bad[i] = c;
            try {
                const TableData back = readTableBytes(bad);
                ASSERT_EQ(back.fields.size(),
                          back.rows.empty() ? back.fields.size() : back.rows[0].size());
                ++read;
            } catch (const TableError&) {
                ++refused;
            }
        }
    }
    EXPECT_GT(read, 0u);
    EXPECT_GT(refused, 0u);
}

}  // namespace
}  // namespace vexora::data

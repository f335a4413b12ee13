#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "data/table_file.h"
#include "table_json_reader.h"
#include "table_test_support.h"

namespace vexora::data {
namespace {

using testing::at;
using testing::Json;
using testing::parseJson;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

const std::string kTool = VEXORA_PROGRAM_DIR "/vexora-table";

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

RunResult runTool(const TempDir& dir, const std::string& args) {
    const std::string outPath = dir.file("stdout.txt");
    const std::string errPath = dir.file("stderr.txt");
    const std::string cmd =
        quoted(kTool) + " " + args + " >" + quoted(outPath) + " 2>" + quoted(errPath);
    const int status = std::system(cmd.c_str());
    RunResult r;
    if (status != -1 && WIFEXITED(status))
        r.exitCode = WEXITSTATUS(status);
    r.out = readBytes(outPath);
    r.err = readBytes(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return r;
}

TableData sampleTable() {
    TableData t;
    auto field = [&t](std::string name, FieldType type, int size) {
        FieldDef f;
        f.name = std::move(name);
        f.type = type;
        f.size = size;
        t.fields.push_back(std::move(f));
    };
    field("nRec", FieldType::AutoInc, 4);
    field("Testo domanda", FieldType::String, 40);
    field("Risposta", FieldType::Boolean, 2);
    field("dtEsame", FieldType::DateTime, 8);
    field("Peso", FieldType::Float, 8);
    field("Giorno", FieldType::Date, 4);
    field("Ora", FieldType::Time, 4);
    field("Dati", FieldType::Bytes, 0);
    field("Piccolo", FieldType::Integer, 2);
    t.fields[2].readOnly = true;
    t.fields[3].hidden = true;
    t.fields[8].required = true;
    t.autoIncValue = 3;
    t.rows = {{std::int64_t{1}, std::string("Perché \"sì\"\n\tfine"), true,
               at(2024, 3, 3, 14, 5, 9, 250), 2.5, DateValue{1}, TimeValue{50'709'250},
               BytesValue{std::string("\x00\xff", 2)}, std::int64_t{-3}},
              {std::int64_t{2}, Value{}, false, Value{}, Value{}, Value{}, Value{}, Value{},
               std::int64_t{7}}};
    return t;
}

TEST(VexoraTableTool, Dump_PrintsFieldsAutoIncAndRowsAsJson) {
    TempDir dir;
    const std::string path = dir.file("NQP.QXD");
    saveTableFile(path, sampleTable());
    const RunResult r = runTool(dir, "dump " + quoted(path));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json j = parseJson(r.out);

    const Json& fields = j["fields"];
    ASSERT_EQ(fields.items.size(), 9u);
    EXPECT_EQ(fields[0]["name"].text, "nRec");
    EXPECT_EQ(fields[0]["type"].text, "autoinc");
    EXPECT_EQ(fields[1]["name"].text, "Testo domanda");  // the true name, not the attrname
    EXPECT_EQ(fields[1]["type"].text, "string");
    EXPECT_EQ(fields[1]["width"].number, 40);
    EXPECT_EQ(fields[2]["type"].text, "boolean");
    EXPECT_EQ(fields[2]["width"].number, 0);
    EXPECT_TRUE(fields[2]["readonly"].boolean);
    EXPECT_FALSE(fields[2]["hidden"].boolean);
    EXPECT_EQ(fields[3]["type"].text, "dateTime");
    EXPECT_TRUE(fields[3]["hidden"].boolean);
    EXPECT_EQ(fields[4]["type"].text, "r8");
    EXPECT_EQ(fields[7]["type"].text, "bin.hex");
    EXPECT_EQ(fields[8]["type"].text, "i2");
    EXPECT_TRUE(fields[8]["required"].boolean);
    EXPECT_EQ(j["autoincvalue"].number, 3);
    EXPECT_TRUE(j["autoincvalue"].integral);

    const Json& rows = j["rows"];
    ASSERT_EQ(rows.items.size(), 2u);
    const Json& r0 = rows[0];
    EXPECT_EQ(r0[0].number, 1);
    EXPECT_EQ(r0[1].text, "Perché \"sì\"\n\tfine");
    EXPECT_TRUE(r0[2].boolean);
    EXPECT_EQ(r0[3].text, "2024-03-03T14:05:09.250");
    EXPECT_EQ(r0[4].number, 2.5);
    EXPECT_EQ(r0[5].text, "0001-01-01");
    EXPECT_EQ(r0[6].text, "14:05:09.250");
    EXPECT_EQ(r0[7]["hex"].text, "00ff");
    EXPECT_EQ(r0[8].number, -3);
    const Json& r1 = rows[1];
    EXPECT_EQ(r1[1].kind, Json::Kind::Null);
    EXPECT_EQ(r1[2].kind, Json::Kind::Bool);
    EXPECT_FALSE(r1[2].boolean);
    EXPECT_EQ(r1[3].kind, Json::Kind::Null);
}

TEST(VexoraTableTool, Dump_OfTableWithoutAutoIncrement_GivesNull) {
    TempDir dir;
    TableData t;
    FieldDef a;
    a.name = "A";
    a.type = FieldType::Integer;
    a.size = 4;
    t.fields.push_back(a);
    const std::string path = dir.file("a.xml");
    saveTableFile(path, t);
    const RunResult r = runTool(dir, "dump " + quoted(path));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json j = parseJson(r.out);
    EXPECT_EQ(j["autoincvalue"].kind, Json::Kind::Null);
    EXPECT_TRUE(j["rows"].items.empty());
}

TEST(VexoraTableTool, Convert_WritesTheFormOfTheTargetExtension) {
    TempDir dir;
    const std::string bin = dir.file("in.qxd");
    const std::string xml = dir.file("out.XML");
    const std::string back = dir.file("back.qxd");
    saveTableFile(bin, sampleTable());
    ASSERT_EQ(runTool(dir, "convert " + quoted(bin) + " " + quoted(xml)).exitCode, 0);
    EXPECT_EQ(readBytes(xml).rfind("<?xml", 0), 0u);
    ASSERT_EQ(runTool(dir, "convert " + quoted(xml) + " " + quoted(back)).exitCode, 0);
    EXPECT_EQ(readBytes(back), readBytes(bin));
    EXPECT_EQ(runTool(dir, "dump " + quoted(xml)).out, runTool(dir, "dump " + quoted(bin)).out);
}

TEST(VexoraTableTool, TypeWordsInAnyCase_KeepWidthDecimalsAndSubtypeInBothFormsAndConversion) {
    TempDir dir;
    const std::string xml = dir.file("tipi.xml");
    writeBytes(xml,
               "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\">"
               "<METADATA><FIELDS>"
               "<FIELD attrname=\"Prezzo\" fieldtype=\"Fixed\" DECIMALS=\"2\" WIDTH=\"10\"/>"
               "<FIELD attrname=\"Dati\" fieldtype=\"bin.hex\" SUBTYPE=\"Binary\" WIDTH=\"20\"/>"
               "<FIELD attrname=\"Memo\" fieldtype=\"BIN.HEX\" subtype=\"Text\" width=\"30\"/>"
               "<FIELD attrname=\"Peso\" fieldtype=\"FIXEDFMT\" decimals=\"1\" width=\"6\"/>"
               "<FIELD attrname=\"Nome\" fieldtype=\"String\" WIDTH=\"7\"/>"
               "</FIELDS><PARAMS/></METADATA><ROWDATA>"
               "<ROW Prezzo=\"12.5\" Dati=\"00ff\" Memo=\"6869\" Peso=\"-3.5\" Nome=\"x\"/>"
               "</ROWDATA></DATAPACKET>");
    const std::string bin = dir.file("tipi.QXD");
    const std::string back = dir.file("ritorno.XML");
    ASSERT_EQ(runTool(dir, "convert " + quoted(xml) + " " + quoted(bin)).exitCode, 0);
    ASSERT_EQ(runTool(dir, "convert " + quoted(bin) + " " + quoted(back)).exitCode, 0);
    for (const std::string& file : {xml, bin, back}) {
        const RunResult r = runTool(dir, "dump " + quoted(file));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Json fields = parseJson(r.out)["fields"];
        ASSERT_EQ(fields.items.size(), 5u) << file;
        EXPECT_EQ(fields[0]["type"].text, "fixed") << file;
        EXPECT_EQ(fields[0]["width"].number, 10) << file;
        EXPECT_EQ(fields[0]["decimals"].number, 2) << file;
        EXPECT_EQ(fields[1]["width"].number, 20) << file;
        EXPECT_EQ(fields[1]["subtype"].text, "Binary") << file;
        EXPECT_EQ(fields[2]["width"].number, 30) << file;
        EXPECT_EQ(fields[2]["subtype"].text, "Text") << file;
        EXPECT_EQ(fields[3]["type"].text, "fixedFMT") << file;
        EXPECT_EQ(fields[3]["width"].number, 6) << file;
        EXPECT_EQ(fields[3]["decimals"].number, 1) << file;
        EXPECT_EQ(fields[4]["width"].number, 7) << file;
    }
    const std::string written = readBytes(back);
    EXPECT_NE(written.find("fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"10\""), std::string::npos)
        << written;
    EXPECT_NE(written.find("WIDTH=\"20\" SUBTYPE=\"Binary\""), std::string::npos) << written;
}

TEST(VexoraTableTool, Check_ExitCodesAndOneLineFault) {
    TempDir dir;
    const std::string good = dir.file("good.qxd");
    const std::string bad = dir.file("bad.xml");
    saveTableFile(good, sampleTable());
    writeBytes(bad, "<DATAPACKET><METADATA>\n<FIELDS>");
    EXPECT_EQ(runTool(dir, "check " + quoted(good)).exitCode, 0);

    const RunResult r = runTool(dir, "check " + quoted(bad));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(bad), std::string::npos) << r.err;
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;

    const RunResult missing = runTool(dir, "check " + quoted(dir.file("none.qxd")));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("none.qxd"), std::string::npos);
}

TEST(VexoraTableTool, WrongArguments_ExitTwoWithUsage) {
    TempDir dir;
    for (const std::string& args : {std::string(), std::string("dump"), std::string("frobnicate x"),
                                    std::string("convert only-one"), std::string("check a b")}) {
        const RunResult r = runTool(dir, args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find("usage: vexora-table"), std::string::npos) << args;
    }
}

}  // namespace
}  // namespace vexora::data

#include "data/table_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "core/file_util.h"

#include "data/binary_form.h"
#include "data/table.h"
#include "data/type_words.h"
#include "data/xml_form.h"
#include "table_test_support.h"

namespace vexora::data {
namespace {

using testing::appendPrintRow;
using testing::at;
using testing::definePrintLikeFields;
using testing::readBytes;
using testing::TempDir;
using testing::visibleIds;
using testing::writeBytes;

bool isXmlText(const std::string& bytes) {
    return bytes.rfind("<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET", 0) == 0;
}

// Identity of the file a path names (inode; on Windows the file index, which stat()
// leaves 0): an atomic rewrite gives a new one.
std::uint64_t inodeOf(const std::string& path) {
#ifdef _WIN32
    const HANDLE h = ::CreateFileW(pathFromUtf8(path).c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info);
    ::CloseHandle(h);
    return ok ? (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow : 0;
#else
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return 0;
    return st.st_ino;
#endif
}

// A small print-like table with marks and nulls, created in memory.
void buildPrintLike(Table& t, int rows) {
    definePrintLikeFields(t);
    t.CreateDataSet();
    t.SetLogChanges(false);
    for (int i = 1; i <= rows; ++i)
        appendPrintRow(t, 100 + i, std::to_string(i % 3), "T" + std::to_string(i % 4));
    t.First();
    t.Edit();
    t.FieldByName("dtEsame").SetAsDateTime(at(2024, 3, 3, 14, 5, 9, 250));
    t.FieldByName("rsEsame").SetAsBoolean(true);
    t.Post();
}

// ---------------------------------------------------------------- form choice

TEST(TableFileForm, XmlExtensionInAnyCase_SelectsXml) {
    EXPECT_EQ(formForFileName("prova.xml"), TableFileForm::Xml);
    EXPECT_EQ(formForFileName("C:\\Dati\\PROVA.XML"), TableFileForm::Xml);
    EXPECT_EQ(formForFileName("/tmp/a.XmL"), TableFileForm::Xml);
    EXPECT_EQ(formForFileName("NQP2016.QXD"), TableFileForm::Binary);
    EXPECT_EQ(formForFileName("noext"), TableFileForm::Binary);
    EXPECT_EQ(formForFileName("file.xml.bak"), TableFileForm::Binary);
    EXPECT_EQ(formForFileName("xml"), TableFileForm::Binary);
}

TEST(TableFile, SaveToFile_FormFollowsTheExtensionAndLoadGivesTheSameTable) {
    TempDir dir;
    Table t;
    buildPrintLike(t, 7);
    const std::string xml = dir.file("storico.Xml");
    const std::string bin = dir.file("NQP2016.QXD");
    t.SaveToFile(xml);
    t.SaveToFile(bin);
    EXPECT_TRUE(isXmlText(readBytes(xml)));
    EXPECT_TRUE(looksLikeBinaryTable(readBytes(bin)));
    for (const std::string& path : {xml, bin}) {
        Table back;
        back.LoadFromFile(path);
        EXPECT_EQ(back.Data().fields.size(), t.Data().fields.size()) << path;
        EXPECT_EQ(back.Data().rows, t.Data().rows) << path;
        EXPECT_EQ(back.Data().autoIncValue, 8) << path;
        EXPECT_EQ(back.RecordCount(), 7u);
        EXPECT_EQ(back.FieldByName("IdMaster").AsInteger(), 101);  // opened on the first row
    }
}

TEST(TableFile, LoadedTable_ContinuesTheAutoIncrement) {
    TempDir dir;
    {
        Table t;
        buildPrintLike(t, 3);
        t.SaveToFile(dir.file("a.qxd"));
    }
    Table t;
    t.LoadFromFile(dir.file("a.qxd"));
    appendPrintRow(t, 999, "1", "T1");
    EXPECT_EQ(t.FieldByName("nRec").AsInteger(), 4);
}

// ---------------------------------------------------------------- load failures

TEST(TableFile, LoadFromMissingFile_RaisesNamingTheFileAndLeavesTableClosed) {
    TempDir dir;
    Table t;
    buildPrintLike(t, 2);
    const std::string path = dir.file("missing.qxd");
    try {
        t.LoadFromFile(path);
        FAIL() << "no error";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_FALSE(t.Active());
}

TEST(TableFile, LoadFromNonTableFile_RaisesNamingTheFile) {
    TempDir dir;
    const std::string path = dir.file("notes.txt");
    writeBytes(path, "just some words\n");
    Table t;
    try {
        t.LoadFromFile(path);
        FAIL() << "no error";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_FALSE(t.Active());
}

// ---------------------------------------------------------------- write on close

TEST(TableWriteOnClose, CreatedTableWithRows_WritesItselfOnClose) {
    TempDir dir;
    const std::string path = dir.file("NQP2016.QXD");
    {
        Table t;
        t.SetFileName(path);
        buildPrintLike(t, 4);
        t.Close();
    }
    Table back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.RecordCount(), 4u);
}

TEST(TableWriteOnClose, DestroyingAChangedTable_WritesIt) {
    TempDir dir;
    const std::string path = dir.file("p.xml");
    {
        Table t;
        t.SetFileName(path);
        buildPrintLike(t, 2);
    }
    EXPECT_TRUE(isXmlText(readBytes(path)));
}

TEST(TableWriteOnClose, EmptyTable_IsNeverWrittenOverAFile) {
    TempDir dir;
    const std::string path = dir.file("p.qxd");
    {
        Table t;
        t.SetFileName(path);
        definePrintLikeFields(t);
        t.CreateDataSet();
        t.Close();
    }
    EXPECT_FALSE(std::filesystem::exists(path));

    // Nor over an existing file after its rows were deleted.
    {
        Table t;
        buildPrintLike(t, 3);
        t.SaveToFile(path);
    }
    const std::string before = readBytes(path);
    {
        Table t;
        t.LoadFromFile(path);
        t.SetFileName(path);
        t.EmptyDataSet();
    }
    EXPECT_EQ(readBytes(path), before);
}

TEST(TableWriteOnClose, TableNeverCreated_WritesNothing) {
    TempDir dir;
    const std::string path = dir.file("p.qxd");
    {
        Table t;
        t.SetFileName(path);
        definePrintLikeFields(t);  // defined, never created
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(TableWriteOnClose, FailedLoad_DoesNotTouchTheAssociatedFile) {
    TempDir dir;
    const std::string path = dir.file("p.qxd");
    {
        Table t;
        buildPrintLike(t, 3);
        t.SaveToFile(path);
    }
    const std::string before = readBytes(path);
    const std::string broken = dir.file("broken.qxd");
    writeBytes(broken, before.substr(0, before.size() / 2));
    {
        Table t;
        t.SetFileName(path);
        EXPECT_THROW(t.LoadFromFile(broken), TableError);
        EXPECT_FALSE(t.Active());
    }
    EXPECT_EQ(readBytes(path), before);
}

TEST(TableWriteOnClose, UnchangedLoadedTable_IsNotRewritten) {
    TempDir dir;
    const std::string path = dir.file("p.qxd");
    {
        Table t;
        buildPrintLike(t, 3);
        t.SaveToFile(path);
    }
    const std::uint64_t inode = inodeOf(path);
    ASSERT_NE(inode, 0u);
    {
        Table t;
        t.SetFileName(path);
        t.Open();  // loads the associated file
        EXPECT_EQ(t.RecordCount(), 3u);
        t.First();
        t.MoveBy(2);  // reading and moving change nothing
    }
    EXPECT_EQ(inodeOf(path), inode);  // an atomic rewrite would give a new file
}

TEST(TableWriteOnClose, MissingFile_IsWrittenEvenWhenUnchanged) {
    TempDir dir;
    const std::string path = dir.file("p.qxd");
    const std::string copy = dir.file("copy.qxd");
    {
        Table t;
        buildPrintLike(t, 3);
        t.SaveToFile(copy);
    }
    {
        Table t;
        t.LoadFromFile(copy);
        t.SetFileName(path);
    }
    EXPECT_EQ(readBytes(path), readBytes(copy));
}

TEST(TableWriteOnClose, RowBeingAppended_IsNotWritten) {
    TempDir dir;
    const std::string path = dir.file("p.qxd");
    {
        Table t;
        buildPrintLike(t, 3);
        t.SaveToFile(path);
    }
    const std::string before = readBytes(path);
    {
        Table t;
        t.LoadFromFile(path);
        t.SetFileName(path);
        t.Append();
        t.FieldByName("IdMaster").SetAsInteger(77);
        t.Close();  // the half-built row is dropped; nothing else changed
    }
    EXPECT_EQ(readBytes(path), before);
}

TEST(TableWriteOnClose, SaveToTheAssociatedFile_ClearsTheChange) {
    TempDir dir;
    const std::string path = dir.file("p.qxd");
    Table t;
    t.SetFileName(path);
    buildPrintLike(t, 3);
    EXPECT_TRUE(t.DataChanged());
    t.SaveToFile(path);
    EXPECT_FALSE(t.DataChanged());
    const std::uint64_t inode = inodeOf(path);
    ASSERT_NE(inode, 0u);
    t.Close();
    EXPECT_EQ(inodeOf(path), inode);
}

// ---------------------------------------------------------------- failed saves

TEST(TableSave, ValueTheFormCannotHold_LeavesTheOldFileAndNoLeftovers) {
    TempDir dir;
    const std::string path = dir.file("p.xml");
    Table t;
    buildPrintLike(t, 3);
    t.SaveToFile(path);
    const std::string before = readBytes(path);
    t.First();
    t.Edit();
    // Year 10000 has no eight-digit date in the XML form.
    t.FieldByName("dtNormali").SetAsDateTime(DateTimeValue{3'652'500 * kMsPerDay});
    t.Post();
    EXPECT_THROW(t.SaveToFile(path), TableError);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(dir.entryCount(), 1u);
}

#ifndef _WIN32
// A child process with a file-size limit: POSIX only.
TEST(TableSave, WriteFailingMidway_LeavesTheOldFileAndNoLeftovers) {
    TempDir dir;
    const std::string path = dir.file("p.qxd");
    {
        Table t;
        buildPrintLike(t, 3);
        t.SaveToFile(path);
    }
    const std::string before = readBytes(path);
    ASSERT_LT(before.size(), 4096u);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child may write at most 4 KiB per file: a large save fails halfway.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int code = 3;
        try {
            Table t;
            buildPrintLike(t, 2000);
            t.SaveToFile(path);
            code = 0;
        } catch (const TableError&) {
            code = 1;
        }
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the save should have failed with a TableError";
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(dir.entryCount(), 1u);
}
#endif

TEST(TableSave, TargetThatCannotBeReplaced_RaisesNamingTheFile) {
    TempDir dir;
    const std::string path = dir.file("taken.qxd");
    std::filesystem::create_directory(path);
    Table t;
    buildPrintLike(t, 2);
    try {
        t.SaveToFile(path);
        FAIL() << "no error";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(dir.entryCount(), 1u);
}

// ---------------------------------------------------------------- both forms

// A table of every column type the engine holds, with ordinary, extreme and null values.
TableData everyTypeTable() {
    TableData t;
    auto field = [&t](std::string name, FieldType type, int size, int decimals = 0) {
        FieldDef f;
        f.name = std::move(name);
        f.type = type;
        f.size = size;
        f.decimals = decimals;
        t.fields.push_back(std::move(f));
    };
    field("nRec", FieldType::AutoInc, 4);
    field("I1", FieldType::Integer, 1);
    field("I2", FieldType::Integer, 2);
    field("I4", FieldType::Integer, 4);
    field("I8", FieldType::Integer, 8);
    field("U1", FieldType::UnsignedInteger, 1);
    field("U2", FieldType::UnsignedInteger, 2);
    field("U4", FieldType::UnsignedInteger, 4);
    field("Ok", FieldType::Boolean, 2);
    field("R4", FieldType::Float, 4);
    field("R8", FieldType::Float, 8);
    field("Prezzo", FieldType::Decimal, 10, 2);
    field("Peso", FieldType::FormattedDecimal, 8, 3);
    field("Giorno", FieldType::Date, 4);
    field("Ora", FieldType::Time, 4);
    field("Quando", FieldType::DateTime, 8);
    field("Testo breve", FieldType::String, 20);
    field("Testo", FieldType::String, 400);
    field("Uni", FieldType::WideString, 30);
    field("Memo", FieldType::Bytes, 0);
    field("Quattro", FieldType::Bytes, 4);
    t.fields[3].required = true;
    t.fields[8].readOnly = true;
    t.fields[16].hidden = true;
    t.autoIncValue = 4;
    t.rows.push_back({std::int64_t{1},
                      std::int64_t{-128},
                      std::int64_t{32767},
                      std::int64_t{-7},
                      std::int64_t{-9'000'000'000'000},
                      std::int64_t{255},
                      std::int64_t{0},
                      std::int64_t{4'294'967'295},
                      true,
                      1.5,
                      -0.1,
                      1234.56,
                      -0.125,
                      DateValue{1},
                      TimeValue{86'399'999},
                      DateTimeValue{86'400'000},
                      std::string("<&\"'\\\r\n\t>"),
                      std::string(300, 'x') + "èéàù€",
                      std::string("αβγ ∑ 😀"),
                      BytesValue{std::string("\0\x01\xFFmemo", 7)},
                      BytesValue{std::string("\xDE\xAD\xBE\xEF")}});
    t.rows.push_back(std::vector<Value>(t.fields.size()));
    t.rows[1][0] = std::int64_t{2};
    t.rows[1][3] = std::int64_t{0};
    t.rows.push_back({std::int64_t{3},
                      std::int64_t{127},
                      std::int64_t{-32768},
                      std::int64_t{2147483647},
                      std::int64_t{9'000'000'000'000'000'000},
                      Value{},
                      std::int64_t{65535},
                      Value{},
                      false,
                      -2048.25,
                      6.02214076e23,
                      -99.5,
                      0.0,
                      DateValue{738'948},
                      TimeValue{0},
                      at(2024, 3, 3, 14, 5, 9, 250),
                      std::string(),
                      std::string("Perché l'auto?"),
                      std::string(),
                      BytesValue{},
                      Value{}});
    return t;
}

void expectSameTable(const TableData& a, const TableData& b) {
    ASSERT_EQ(a.fields.size(), b.fields.size());
    for (std::size_t j = 0; j < a.fields.size(); ++j) {
        const FieldDef& fa = a.fields[j];
        const FieldDef& fb = b.fields[j];
        EXPECT_EQ(fa.name, fb.name);
        EXPECT_EQ(fa.type, fb.type) << fa.name;
        EXPECT_EQ(fa.size, fb.size) << fa.name;
        EXPECT_EQ(fa.decimals, fb.decimals) << fa.name;
        EXPECT_EQ(fa.readOnly, fb.readOnly) << fa.name;
        EXPECT_EQ(fa.required, fb.required) << fa.name;
        EXPECT_EQ(fa.hidden, fb.hidden) << fa.name;
    }
    EXPECT_EQ(a.autoIncValue, b.autoIncValue);
    ASSERT_EQ(a.rows.size(), b.rows.size());
    for (std::size_t r = 0; r < a.rows.size(); ++r) {
        for (std::size_t j = 0; j < a.fields.size(); ++j)
            EXPECT_EQ(a.rows[r][j], b.rows[r][j]) << "row " << r << ", " << a.fields[j].name;
    }
}

struct BinaryForm {
    static constexpr TableFileForm kForm = TableFileForm::Binary;
    static constexpr TableFileForm kOther = TableFileForm::Xml;
    static std::string write(const TableData& t) { return writeBinaryTable(t); }
};
struct XmlForm {
    static constexpr TableFileForm kForm = TableFileForm::Xml;
    static constexpr TableFileForm kOther = TableFileForm::Binary;
    static std::string write(const TableData& t) { return writeXmlTable(t); }
};

template <class Form>
class BothForms : public ::testing::Test {};
using Forms = ::testing::Types<BinaryForm, XmlForm>;
TYPED_TEST_SUITE(BothForms, Forms);

TYPED_TEST(BothForms, EveryType_RoundTripsThroughTheForm) {
    const TableData original = everyTypeTable();
    const TableData back = readTableBytes(TypeParam::write(original));
    expectSameTable(original, back);
}

TYPED_TEST(BothForms, EveryType_RoundTripsThroughTheOtherFormAndBack) {
    TempDir dir;
    const TableData original = everyTypeTable();
    const std::string first = dir.file("first");
    const std::string other = dir.file("other");
    const std::string again = dir.file("again");
    saveTableFile(first, original, TypeParam::kForm);
    saveTableFile(other, loadTableFile(first), TypeParam::kOther);
    saveTableFile(again, loadTableFile(other), TypeParam::kForm);
    expectSameTable(original, loadTableFile(again));
    // The program's own forms carry nothing the other form loses: same bytes.
    EXPECT_EQ(readBytes(first), readBytes(again));
}

// Columns whose declared width, precision or type word the engine only carries along.
TableData declaredWidthsTable() {
    TableData t;
    auto add = [&t](const char* name, FieldType type, int size) {
        FieldDef f;
        f.name = name;
        f.type = type;
        f.size = size;
        t.fields.push_back(f);
        return &t.fields.back();
    };
    add("Prezzo", FieldType::Decimal, 10)->precision = 18;  // fewer digits than 10 bytes hold
    t.fields[0].decimals = 2;
    add("Peso", FieldType::FormattedDecimal, 4)->precision = 7;  // as many as 4 bytes hold
    t.fields[1].decimals = 3;
    add("Memo", FieldType::Bytes, 100);  // a declared size its values do not fill
    add("Quando", FieldType::DateTime, 8)->sqlDateTime = true;
    add("Uni", FieldType::WideString, 12);
    t.rows = {
        {1234.56, -0.125, BytesValue{"memo"}, at(2024, 3, 3, 14, 5, 9, 250), std::string("αβ")},
        std::vector<Value>(5)};
    return t;
}

TYPED_TEST(BothForms, DeclaredWidthsAndTypeWords_SurviveTheFormAndTheOther) {
    TempDir dir;
    const TableData original = declaredWidthsTable();
    const std::string first = dir.file("first");
    const std::string other = dir.file("other");
    const std::string again = dir.file("again");
    saveTableFile(first, original, TypeParam::kForm);
    saveTableFile(other, loadTableFile(first), TypeParam::kOther);
    saveTableFile(again, loadTableFile(other), TypeParam::kForm);
    for (const std::string& path : {first, other, again}) {
        SCOPED_TRACE(path);
        const TableData t = loadTableFile(path);
        ASSERT_EQ(t.fields.size(), 5u);
        EXPECT_EQ(decimalPrecision(t.fields[0]), 18);
        EXPECT_EQ(t.fields[0].decimals, 2);
        EXPECT_EQ(decimalPrecision(t.fields[1]), 7);
        EXPECT_EQ(t.fields[1].decimals, 3);
        EXPECT_EQ(t.fields[2].size, 100);
        EXPECT_EQ(xmlTypeWord(t.fields[3]), "SQLdateTime");
        EXPECT_EQ(t.fields[4].size, 12);
        EXPECT_EQ(t.rows, original.rows);
    }
    const std::string xml = readBytes(TypeParam::kForm == TableFileForm::Xml ? first : other);
    for (const char* piece : {"fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"18\"",
                              "fieldtype=\"fixedFMT\" DECIMALS=\"3\" WIDTH=\"7\"",
                              "fieldtype=\"bin.hex\" WIDTH=\"100\"", "fieldtype=\"SQLdateTime\""}) {
        EXPECT_NE(xml.find(piece), std::string::npos) << piece << "\n" << xml;
    }
    EXPECT_EQ(readBytes(first), readBytes(again));
}

TYPED_TEST(BothForms, PrintHistoryTable_SurvivesSaveAndLoadThroughTheTable) {
    TempDir dir;
    const std::string path =
        dir.file(TypeParam::kForm == TableFileForm::Xml ? "storico.xml" : "storico.qxd");
    Table t;
    buildPrintLike(t, 30);
    t.SaveToFile(path);
    Table back;
    back.LoadFromFile(path);
    expectSameTable(t.Data(), back.Data());
    // Null date-times stay null, so the exam range still finds the unmarked rows.
    back.SetIndexFieldNames("Capitolo;dtEsame");
    back.SetRange({"1", ""}, {"1", ""});
    EXPECT_EQ(back.RecordCount(), 9u);  // 10 rows of chapter "1", one marked
}

TYPED_TEST(BothForms, LoadFromFile_RecognisesTheFormByContentNotName) {
    TempDir dir;
    const std::string path = dir.file("misnamed.dat");
    testing::writeBytes(path, TypeParam::write(everyTypeTable()));
    Table t;
    t.LoadFromFile(path);
    EXPECT_EQ(t.RecordCount(), 3u);
}

}  // namespace
}  // namespace vexora::data

#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "settings_test_support.h"
#include "support/temp_dir.h"

using namespace vexora;
using namespace vexora::settings;
using vexora::test::readBytes;
using vexora::test::writeBytes;
using namespace std::string_literals;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string path = dir.file("Vexora.ini");

    // Writes content, opens it, sets one key and returns the resulting file.
    std::string afterWrite(std::string_view content, std::string_view section, std::string_view key,
                           std::string_view value) {
        writeBytes(path, content);
        IniFile ini(path);
        ini.writeString(section, key, value);
        return readBytes(path);
    }
};

}  // namespace

TEST_F(IniFileTest, MissingFile_ReadsDefaults) {
    const IniFile ini(path);
    EXPECT_EQ(ini.state(), IniFile::State::Missing);
    EXPECT_EQ(ini.readString("Autoscuola", "Nome", "def"), "def");
    EXPECT_EQ(ini.readInteger("Status", "Progressivo Esa AB", 7), 7);
    EXPECT_TRUE(ini.readBool("Print", "Stampa in duplex", true));
    EXPECT_FALSE(ini.readBool("Print", "Solo un correttore", false));
    EXPECT_FALSE(ini.sectionExists("Autoscuola"));
    EXPECT_FALSE(test::exists(path));
}

TEST_F(IniFileTest, MissingSectionOrKey_ReadsDefault) {
    writeBytes(path, "[Print]\r\nNum. schede=3\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.readString("Paths", "Figure", "x"), "x");
    EXPECT_EQ(ini.readString("Print", "Num. copie", "1"), "1");
    EXPECT_EQ(ini.readString("Print", "Num. schede", "1"), "3");
}

TEST_F(IniFileTest, FirstWrite_CreatesFileWithSectionAndKey) {
    IniFile ini(path);
    ini.writeString("Autoscuola", "Nome", "Scuola Rossi");
    EXPECT_EQ(readBytes(path), "[Autoscuola]\r\nNome=Scuola Rossi\r\n");
    EXPECT_EQ(ini.state(), IniFile::State::Loaded);
    EXPECT_EQ(ini.readString("Autoscuola", "Nome", ""), "Scuola Rossi");
}

TEST_F(IniFileTest, Write_RewritesKeyLineInPlace) {
    EXPECT_EQ(afterWrite("[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n", "A", "x", "10"),
              "[A]\r\nx=10\r\ny=2\r\n[B]\r\nz=3\r\n");
}

TEST_F(IniFileTest, Write_InPlaceKeepsKeySpellingAndEverythingBeforeEquals) {
    EXPECT_EQ(afterWrite("[Print]\n  Num. SCHEDE = 3 \nx=1\n", "print", "num. schede", "5"),
              "[Print]\n  Num. SCHEDE =5\nx=1\n");
}

TEST_F(IniFileTest, Write_AppendsToSectionAfterItsLastKeyBeforeBlankLines) {
    EXPECT_EQ(afterWrite("[A]\r\nx=1\r\n\r\n[B]\r\nz=3\r\n", "A", "y", "2"),
              "[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
}

TEST_F(IniFileTest, Write_AppendsToEmptySectionRightAfterHeader) {
    EXPECT_EQ(afterWrite("[A]\r\n\r\n[B]\r\n", "A", "k", "v"), "[A]\r\nk=v\r\n\r\n[B]\r\n");
}

TEST_F(IniFileTest, Write_AppendsToLastSectionWithoutFinalLineEnd) {
    EXPECT_EQ(afterWrite("[A]\r\nx=1", "A", "y", "2"), "[A]\r\nx=1\r\ny=2\r\n");
}

TEST_F(IniFileTest, Write_AppendsMissingSectionAtEnd) {
    EXPECT_EQ(afterWrite("[A]\r\nx=1\r\n", "Debug", "CkProgFlowLog", "1"),
              "[A]\r\nx=1\r\n[Debug]\r\nCkProgFlowLog=1\r\n");
    EXPECT_EQ(afterWrite("[A]\r\nx=1", "B", "k", "v"), "[A]\r\nx=1\r\n[B]\r\nk=v\r\n");
}

TEST_F(IniFileTest, Names_AreCaseInsensitive) {
    writeBytes(path, "[autoSCUOLA]\r\nNOME=Scuola\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readString("Autoscuola", "Nome", "d"), "Scuola");
    EXPECT_TRUE(ini.sectionExists("AUTOSCUOLA"));
    ini.writeString("AutoScuola", "nome", "Altra");
    EXPECT_EQ(readBytes(path), "[autoSCUOLA]\r\nNOME=Altra\r\n");
}

TEST_F(IniFileTest, Names_CaseInsensitiveForWindows1252Letters) {
    writeBytes(path, "[\xC0rea]\r\nCitt\xC0=1\r\n");  // "Àrea" / "CittÀ"
    const IniFile ini(path);
    EXPECT_EQ(ini.readString("\u00e0rea", "citt\u00e0", "d"), "1");
}

TEST_F(IniFileTest, SectionHeader_NameRunsToTheLastBracket) {
    writeBytes(path, "[a]b]\r\nk=1\r\n[ Status ] ; note\r\nj=2\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.readString("a]b", "k", "d"), "1");
    EXPECT_EQ(ini.readString("a", "k", "d"), "d");
    EXPECT_EQ(ini.readString("Status", "j", "d"), "2");
}

TEST_F(IniFileTest, Keys_WithBlanksAndDots) {
    IniFile ini(path);
    ini.writeInteger("Status", "Pos. finestra L", 120);
    ini.writeString("Print", "Num. schede", "4");
    const IniFile again(path);
    EXPECT_EQ(again.readInteger("Status", "Pos. finestra L", 0), 120);
    EXPECT_EQ(again.readString("Print", "Num. schede", ""), "4");
    EXPECT_EQ(again.readString("Print", "Num.schede", "none"), "none");
}

TEST_F(IniFileTest, Values_AreTrimmedOfBlanks) {
    writeBytes(path, "[S]\r\n  k  =  v w  \r\n\tt\t=\tx\t\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.readString("S", "k", ""), "v w");
    EXPECT_EQ(ini.readString("S", "t", ""), "x");
}

TEST_F(IniFileTest, EmptyValue_IsEmptyStringButIntegerDefault) {
    writeBytes(path, "[S]\r\nk=\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.readString("S", "k", "default"), "");
    EXPECT_EQ(ini.readInteger("S", "k", 9), 9);
    EXPECT_TRUE(ini.valueExists("S", "k"));
}

TEST_F(IniFileTest, Integers_ThatDoNotParseGiveDefault) {
    writeBytes(path,
               "[S]\r\na=12\r\nb=-5\r\nc=+7\r\nd=12abc\r\ne=abc\r\nf=99999999999\r\ng=0x10\r\n"
               "h=1 2\r\ni=2147483647\r\nj=-2147483648\r\nk=2147483648\r\nl=-\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.readInteger("S", "a", 0), 12);
    EXPECT_EQ(ini.readInteger("S", "b", 0), -5);
    EXPECT_EQ(ini.readInteger("S", "c", 0), 7);
    EXPECT_EQ(ini.readInteger("S", "d", 42), 42);
    EXPECT_EQ(ini.readInteger("S", "e", 42), 42);
    EXPECT_EQ(ini.readInteger("S", "f", 42), 42);
    EXPECT_EQ(ini.readInteger("S", "g", 42), 42);
    EXPECT_EQ(ini.readInteger("S", "h", 42), 42);
    EXPECT_EQ(ini.readInteger("S", "i", 0), 2147483647);
    EXPECT_EQ(ini.readInteger("S", "j", 0), -2147483647 - 1);
    EXPECT_EQ(ini.readInteger("S", "k", 42), 42);
    EXPECT_EQ(ini.readInteger("S", "l", 42), 42);
}

TEST_F(IniFileTest, Booleans_ReadAsIntegers) {
    writeBytes(path, "[S]\r\none=1\r\nzero=0\r\ntwo=2\r\nneg=-1\r\nyes=yes\r\ntrue=True\r\n");
    const IniFile ini(path);
    EXPECT_TRUE(ini.readBool("S", "one", false));
    EXPECT_FALSE(ini.readBool("S", "zero", true));
    EXPECT_TRUE(ini.readBool("S", "two", false));
    EXPECT_TRUE(ini.readBool("S", "neg", false));
    EXPECT_FALSE(ini.readBool("S", "yes", false));
    EXPECT_TRUE(ini.readBool("S", "yes", true));
    EXPECT_FALSE(ini.readBool("S", "true", false));
}

TEST_F(IniFileTest, Booleans_WrittenAsOneAndZero) {
    IniFile ini(path);
    ini.writeBool("Print", "Stampa in duplex", true);
    ini.writeBool("Print", "No print setup", false);
    ini.writeInteger("Status", "Pos. finestra T", -12);
    EXPECT_EQ(
        readBytes(path),
        "[Print]\r\nStampa in duplex=1\r\nNo print setup=0\r\n[Status]\r\nPos. finestra T=-12\r\n");
}

TEST_F(IniFileTest, DuplicatedSections_FirstOneWins) {
    writeBytes(path, "[A]\r\nx=first\r\n[B]\r\n[a]\r\nx=second\r\ny=only-in-second\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readString("A", "x", ""), "first");
    EXPECT_EQ(ini.readString("A", "y", "default"), "default");
    ini.writeString("A", "y", "new");
    EXPECT_EQ(readBytes(path),
              "[A]\r\nx=first\r\ny=new\r\n[B]\r\n[a]\r\nx=second\r\ny=only-in-second\r\n");
}

TEST_F(IniFileTest, DuplicatedKeys_FirstOneWins) {
    writeBytes(path, "[A]\r\nx=1\r\nX=2\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readInteger("A", "x", 0), 1);
    ini.writeInteger("A", "x", 5);
    EXPECT_EQ(readBytes(path), "[A]\r\nx=5\r\nX=2\r\n");
}

TEST_F(IniFileTest, GarbageLines_AreIgnoredAndKept) {
    const std::string content =
        "orphan=before any section\r\n"
        "garbage line without equals\r\n"
        "[Autoscuola\r\n"
        "]\r\n"
        "\x01\x02\xFF\xFE\r\n"
        "[Autoscuola] ; a comment\r\n"
        "just words\r\n"
        "Nome=Scuola\r\n"
        "=value without key\r\n";
    writeBytes(path, content);
    IniFile ini(path);
    EXPECT_EQ(ini.readString("Autoscuola", "Nome", ""), "Scuola");
    EXPECT_EQ(ini.readString("Autoscuola", "just words", "d"), "d");
    EXPECT_EQ(ini.readString("", "orphan", "d"), "d");
    ini.writeString("Autoscuola", "Indirizzo", "Via Roma 1");
    EXPECT_EQ(readBytes(path), content + "Indirizzo=Via Roma 1\r\n");
}

TEST_F(IniFileTest, NulBytes_EndTheLineForReading) {
    writeBytes(path, "[S]\r\nk=ab\0cd\r\n[T\0]\r\nz=1\r\n[U]\r\nq=\0\r\n"s);
    IniFile ini(path);
    EXPECT_EQ(ini.readString("S", "k", ""), "ab");
    EXPECT_EQ(ini.readString("S", "z", ""), "1");  // "[T" is no header: z stays in S
    EXPECT_EQ(ini.readString("U", "q", "d"), "");
    ini.writeString("S", "k", "new");
    EXPECT_EQ(ini.readString("S", "k", ""), "new");
    EXPECT_EQ(readBytes(path).substr(0, 12), "[S]\r\nk=new\r\n");
}

TEST_F(IniFileTest, NamesHoldingNul_NeverMatch) {
    writeBytes(path, "[S]\r\nk=1\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.readString("S\0x"s, "k", "d"), "d");
    EXPECT_EQ(ini.readString("S", "k\0x"s, "d"), "d");
}

TEST_F(IniFileTest, TenMegabyteLine_IsSkippedAndFileStaysUsable) {
    std::string content = "[Print]\r\nNum. schede=3\r\n";
    content += std::string(10 * 1024 * 1024, 'x');
    content += "\r\n[Status]\r\nProgressivo Esa AB=17\r\n";
    writeBytes(path, content);
    IniFile ini(path);
    EXPECT_EQ(ini.state(), IniFile::State::Loaded);
    EXPECT_EQ(ini.readString("Print", "Num. schede", ""), "3");
    EXPECT_EQ(ini.readInteger("Status", "Progressivo Esa AB", 1), 17);
    ini.writeInteger("Status", "Progressivo Esa AB", 18);
    ini.writeString("Print", "Num. copie", "2");
    const IniFile again(path);
    EXPECT_EQ(again.readInteger("Status", "Progressivo Esa AB", 1), 18);
    EXPECT_EQ(again.readString("Print", "Num. copie", ""), "2");
    EXPECT_EQ(readBytes(path).size(), content.size() + std::string("Num. copie=2\r\n").size());
}

TEST_F(IniFileTest, TenMegabyteValue_IsReadWhole) {
    writeBytes(path, "[S]\r\nk=" + std::string(10 * 1024 * 1024, 'v') + "\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.readString("S", "k", "").size(), 10u * 1024u * 1024u);
}

TEST_F(IniFileTest, ManyLines_BeyondTheIndexLimit_ReadAndWriteTheSame) {
    std::string content = "[Status]\r\n";
    for (std::size_t i = 0; i < IniText::kDefaultIndexLimit + 10; ++i) {
        const std::string n = std::to_string(i);
        content.append("k").append(n).append("=").append(n).append("\r\n");
    }
    content += "[Print]\r\nNum. schede=4\r\n";
    writeBytes(path, content);
    IniFile ini(path);
    EXPECT_FALSE(ini.text().isIndexed());
    EXPECT_EQ(ini.readInteger("Status", "k65540", 0), 65540);
    EXPECT_EQ(ini.readString("Print", "Num. schede", ""), "4");
    EXPECT_TRUE(ini.sectionExists("print"));
    ini.writeString("Print", "Num. copie", "2");
    EXPECT_EQ(ini.readString("Print", "Num. copie", ""), "2");
    EXPECT_TRUE(IniText("[S]\r\nk=1\r\n").isIndexed());
}

TEST_F(IniFileTest, Text_IsWindows1252OnDiskAndUtf8InMemory) {
    writeBytes(path, "[Autoscuola]\r\nNome=Citt\xE0 \x80\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readString("Autoscuola", "Nome", ""), "Citt\u00e0 \u20ac");
    ini.writeString("Autoscuola", "Indirizzo", "Via Pi\u00f9 \u2014 \u4e2d");  // CJK has no byte
    EXPECT_EQ(readBytes(path),
              "[Autoscuola]\r\nNome=Citt\xE0 \x80\r\nIndirizzo=Via Pi\xF9 \x97 ?\r\n");
}

TEST_F(IniFileTest, InvalidBytes_AreReadAsWindows1252) {
    writeBytes(path, "[S]\r\nk=\x81\x8D\xC3(\xFF\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.readString("S", "k", ""), "\u0081\u008d\u00c3(\u00ff");
}

TEST_F(IniFileTest, Utf8ByteOrderMark_MakesTheFileUtf8) {
    writeBytes(path, "\xEF\xBB\xBF[Autoscuola]\r\nNome=Citt\xC3\xA0\r\n");
    IniFile ini(path);
    EXPECT_TRUE(ini.text().isUtf8());
    EXPECT_EQ(ini.readString("Autoscuola", "Nome", ""), "Citt\u00e0");
    ini.writeString("Autoscuola", "Indirizzo", "Pi\u00f9");
    EXPECT_EQ(readBytes(path),
              "\xEF\xBB\xBF[Autoscuola]\r\nNome=Citt\xC3\xA0\r\nIndirizzo=Pi\xC3\xB9\r\n");
}

TEST_F(IniFileTest, LineEnds_LfAndLoneCrAreLineEnds) {
    writeBytes(path, "[A]\nx=1\n[B]\ry=2\r[C]\r\nz=3");
    IniFile ini(path);
    EXPECT_EQ(ini.readString("A", "x", ""), "1");
    EXPECT_EQ(ini.readString("B", "y", ""), "2");
    EXPECT_EQ(ini.readString("C", "z", ""), "3");
    ini.writeString("B", "y", "22");
    ini.writeString("B", "w", "4");
    EXPECT_EQ(readBytes(path), "[A]\nx=1\n[B]\ry=22\rw=4\r\n[C]\r\nz=3");
}

TEST_F(IniFileTest, WrittenValue_LineBreaksBecomeBlanksAndNulEndsIt) {
    IniFile ini(path);
    ini.writeString("S", "k", std::string("a\r\nb\0c", 6));
    EXPECT_EQ(readBytes(path), "[S]\r\nk=a  b\r\n");
}

TEST_F(IniFileTest, WriteWithUnwritableName_IsRejected) {
    IniFile ini(path);
    EXPECT_THROW(ini.writeString("S", "a=b", "v"), std::invalid_argument);
    EXPECT_THROW(ini.writeString("S", "", "v"), std::invalid_argument);
    EXPECT_THROW(ini.writeString("S", "[k]", "v"), std::invalid_argument);
    EXPECT_THROW(ini.writeString("S\r\nX", "k", "v"), std::invalid_argument);
    EXPECT_FALSE(test::exists(path));
}

TEST_F(IniFileTest, AtomicWrite_LeavesNoTemporaryFiles) {
    IniFile ini(path);
    for (int i = 0; i < 20; ++i)
        ini.writeInteger("Status", "Progressivo Esa AB", i);
    EXPECT_EQ(test::folderEntries(dir.path()), std::vector<std::string>{"Vexora.ini"});
}

TEST_F(IniFileTest, RefusedWrite_ThrowsUnableToWriteAndCreatesNothing) {
    const std::string bad = dir.file("no-such-folder/Vexora.ini");
    IniFile ini(bad);
    try {
        ini.writeString("Autoscuola", "Nome", "x");
        FAIL() << "no exception";
    } catch (const IniWriteError& e) {
        EXPECT_STREQ(e.what(), ("Unable to write to " + bad).c_str());
        EXPECT_EQ(e.path(), bad);
    }
    EXPECT_FALSE(test::exists(bad));
    EXPECT_EQ(ini.readString("Autoscuola", "Nome", "d"), "d");
}

TEST_F(IniFileTest, RefusedWrite_KeepsPreviousTextInMemoryAndOnDisk) {
    writeBytes(path, "[S]\r\nk=1\r\n");
    IniFile ini(path, [](const std::string&, std::string_view, std::string* err) {
        *err = "disk full";
        return false;
    });
    EXPECT_THROW(ini.writeString("S", "k", "2"), IniWriteError);
    EXPECT_EQ(ini.readString("S", "k", ""), "1");
    EXPECT_EQ(readBytes(path), "[S]\r\nk=1\r\n");
}

TEST_F(IniFileTest, WriteOfEqualValue_DoesNotTouchTheDisk) {
    writeBytes(path, "[S]\r\nk=1\r\n");
    int writes = 0;
    IniFile ini(path, [&](const std::string&, std::string_view, std::string*) {
        ++writes;
        return true;
    });
    ini.writeInteger("S", "k", 1);
    EXPECT_EQ(writes, 0);
    ini.writeInteger("S", "k", 2);
    EXPECT_EQ(writes, 1);
}

TEST_F(IniFileTest, AbsurdlyLargeFile_ReadsDefaultsAndRefusesWrites) {
    writeBytes(path, "[S]\r\nk=1\r\n");
    std::filesystem::resize_file(path, IniFile::kMaxFileBytes + 1);  // sparse, no real data
    IniFile ini(path);
    EXPECT_EQ(ini.state(), IniFile::State::Unreadable);
    EXPECT_EQ(ini.readInteger("S", "k", 7), 7);
    EXPECT_THROW(ini.writeInteger("S", "k", 2), IniWriteError);
    EXPECT_EQ(std::filesystem::file_size(path), IniFile::kMaxFileBytes + 1);
}

TEST_F(IniFileTest, FolderInPlaceOfFile_ReadsDefaultsAndRefusesWrites) {
    std::filesystem::create_directory(path);
    IniFile ini(path);
    EXPECT_EQ(ini.readString("S", "k", "d"), "d");
    EXPECT_THROW(ini.writeString("S", "k", "v"), IniWriteError);
}

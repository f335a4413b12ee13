#include "settings/xml_ini.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "core/error_report.h"
#include "core/platform.h"
#include "core/run_log.h"
#include "core/user_interaction.h"
#include "settings/file_names.h"
#include "settings/integer_text.h"
#include "settings_test_support.h"
#include "support/temp_dir.h"

using namespace vexora;
using namespace vexora::settings;
using vexora::test::readBytes;
using vexora::test::writeBytes;

namespace {

constexpr std::string_view kTopicList =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<QX_XmlIni>\r\n"
    "  <Lista_Argomenti Totale=\"2\" />\r\n"
    "  <Argomento_00 Testo0=\"Segnali di pericolo\" Indice=\"01\" Argomento=\"A\" "
    "SubArgomento=\"01\" />\r\n"
    "  <Argomento_01 Testo0=\"Precedenza \u00e8 obbligo\" Indice=\"02\" Vuoto=\"\" />\r\n"
    "</QX_XmlIni>\r\n";

class XmlIniTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string path = dir.file("ARG2013.XML");

    void writeTopicList() { writeBytes(path, kTopicList); }
};

}  // namespace

TEST_F(XmlIniTest, ReadString_MissingSectionGivesDefault) {
    writeTopicList();
    const TXmlIni ini(path);
    EXPECT_EQ(ini.ReadString("Argomento_99", "Testo0", "def"), "def");
    EXPECT_EQ(ini.ReadString("Argomento_00", "Manca", "def"), "def");
    EXPECT_EQ(ini.ReadString("Argomento_00", "Testo0", "def"), "Segnali di pericolo");
    EXPECT_EQ(ini.ReadString("Argomento_01", "Testo0", ""), "Precedenza \u00e8 obbligo");
}

TEST_F(XmlIniTest, ReadString_PresentEmptyKeyGivesEmptyNotDefault) {
    writeTopicList();
    const TXmlIni ini(path);
    EXPECT_EQ(ini.ReadString("Argomento_01", "Vuoto", "def"), "");
}

TEST_F(XmlIniTest, Lookups_AreExactAndCaseSensitive) {
    writeTopicList();
    const TXmlIni ini(path);
    EXPECT_EQ(ini.ReadString("lista_argomenti", "Totale", "x"), "x");
    EXPECT_EQ(ini.ReadString("Lista_Argomenti", "totale", "x"), "x");
    EXPECT_EQ(ini.ReadInteger("Lista_Argomenti", "Totale", -1), 2);
}

TEST_F(XmlIniTest, NamesHoldingNul_NeverMatch) {
    writeTopicList();
    const TXmlIni ini(path);
    EXPECT_EQ(ini.ReadString(std::string("Argomento_00\0x", 14), "Indice", "d"), "d");
    EXPECT_EQ(ini.ReadString("Argomento_00", std::string("Indice\0x", 8), "d"), "d");
    EXPECT_FALSE(ini.CheckSection(std::string("Lista_Argomenti\0", 16)));
}

TEST_F(XmlIniTest, FirstElementOfANameIsTheSection) {
    writeBytes(path, "<QX_XmlIni><S k=\"first\"/><S k=\"second\" j=\"1\"/></QX_XmlIni>");
    TXmlIni ini(path);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "first");
    EXPECT_EQ(ini.ReadString("S", "j", "d"), "d");
}

TEST_F(XmlIniTest, ReadInteger_StrictConversionFailsWithOriginalMessage) {
    writeBytes(path, "<QX_XmlIni><S a=\"12\" b=\"abc\" c=\"-4\" d=\"\" e=\"12 \"/></QX_XmlIni>");
    const TXmlIni ini(path);
    EXPECT_EQ(ini.ReadInteger("S", "a", 0), 12);
    EXPECT_EQ(ini.ReadInteger("S", "c", 0), -4);
    EXPECT_EQ(ini.ReadInteger("S", "missing", -1), -1);
    EXPECT_EQ(ini.ReadInteger("Missing", "a", 5), 5);
    try {
        ini.ReadInteger("S", "b", 0);
        FAIL() << "no exception";
    } catch (const ConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
    try {
        ini.ReadInteger("S", "d", 0);
        FAIL() << "no exception";
    } catch (const ConvertError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
    EXPECT_THROW(ini.ReadInteger("S", "e", 0), ConvertError);
}

TEST_F(XmlIniTest, ReadBoolean_IsIntegerWithOneOrZeroDefault) {
    writeBytes(path, "<QX_XmlIni><S t=\"1\" f=\"0\" two=\"2\" bad=\"True\"/></QX_XmlIni>");
    const TXmlIni ini(path);
    EXPECT_TRUE(ini.ReadBoolean("S", "t", false));
    EXPECT_FALSE(ini.ReadBoolean("S", "f", true));
    EXPECT_TRUE(ini.ReadBoolean("S", "two", false));
    EXPECT_TRUE(ini.ReadBoolean("S", "missing", true));
    EXPECT_FALSE(ini.ReadBoolean("S", "missing", false));
    EXPECT_THROW(ini.ReadBoolean("S", "bad", false), ConvertError);
}

TEST_F(XmlIniTest, NewStoreWithoutWrites_LeavesNoFile) {
    { TXmlIni ini(path); }
    EXPECT_FALSE(test::exists(path));
    EXPECT_TRUE(test::folderEntries(dir.path()).empty());
}

TEST_F(XmlIniTest, NewStoreAfterOneWrite_DestroyCreatesTheFile) {
    {
        TXmlIni ini(path);
        ini.WriteString("Lista_Argomenti", "Totale", "31");
        EXPECT_TRUE(ini.Modified());
        EXPECT_FALSE(test::exists(path));  // writes stay in memory
    }
    EXPECT_EQ(readBytes(path),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<QX_XmlIni>\r\n"
              "  <Lista_Argomenti Totale=\"31\" />\r\n"
              "</QX_XmlIni>\r\n");
    EXPECT_FALSE(test::exists(dir.file("ARG2013.xmb")));  // nothing to back up
}

TEST_F(XmlIniTest, StyleSheet_HrefIsTheFilePartOfThePath) {
    for (const std::string xsl :
         {"C:\\Programmi\\Vexora\\argomenti.xsl", "/opt/x/argomenti.xsl", "argomenti.xsl"}) {
        const std::string file = dir.file("new.xml");
        {
            TXmlIni ini(file, xsl);
            ini.WriteInteger("S", "k", 1);
        }
        EXPECT_EQ(readBytes(file),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                  "<?xml-stylesheet type=\"text/xsl\" href=\"argomenti.xsl\"?>\r\n"
                  "<QX_XmlIni>\r\n"
                  "  <S k=\"1\" />\r\n"
                  "</QX_XmlIni>\r\n")
            << xsl;
        std::filesystem::remove(file);
    }
}

TEST_F(XmlIniTest, StyleSheet_IgnoredForAnExistingFile) {
    writeBytes(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><QX_XmlIni/>");
    {
        TXmlIni ini(path, "C:\\x\\argomenti.xsl");
        ini.WriteString("S", "k", "v");
    }
    EXPECT_EQ(readBytes(path).find("xml-stylesheet"), std::string::npos);
}

TEST_F(XmlIniTest, WriteOfEqualValue_ChangesNothing) {
    writeTopicList();
    const auto before = std::filesystem::last_write_time(path);
    {
        TXmlIni ini(path);
        ini.WriteString("Argomento_00", "Indice", "01");
        ini.WriteInteger("Lista_Argomenti", "Totale", 2);
        EXPECT_FALSE(ini.Modified());
        ini.Save();
    }
    EXPECT_EQ(readBytes(path), kTopicList);
    EXPECT_EQ(std::filesystem::last_write_time(path), before);
    EXPECT_FALSE(test::exists(dir.file("ARG2013.xmb")));
}

TEST_F(XmlIniTest, WriteOfEmptyStringToMissingKey_CreatesNothing) {
    TXmlIni ini(path);
    ini.WriteString("Nuova", "Chiave", "");
    EXPECT_FALSE(ini.Modified());
    EXPECT_FALSE(ini.CheckSection("Nuova"));
}

TEST_F(XmlIniTest, SectionsAndKeys_KeepTheirOrderNewOnesAppended) {
    writeBytes(path, "<Root><B b2=\"1\" b1=\"2\"/><A a=\"1\"/></Root>");
    {
        TXmlIni ini(path);
        ini.WriteString("B", "b2", "9");  // in place
        ini.WriteString("B", "b0", "3");  // appended after b1
        ini.WriteString("C", "c", "4");   // new section after A
        ini.WriteString("A", "a", "5");
    }
    EXPECT_EQ(readBytes(path),
              "<?xml version=\"1.0\"?>\r\n"
              "<Root>\r\n"
              "  <B b2=\"9\" b1=\"2\" b0=\"3\" />\r\n"
              "  <A a=\"5\" />\r\n"
              "  <C c=\"4\" />\r\n"
              "</Root>\r\n");
}

TEST_F(XmlIniTest, LoadedDocument_KeepsItsOwnRootAndOtherNodes) {
    writeBytes(path,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- elenco -->\n"
               "<Elenco><?x y?><S k=\"1\"/></Elenco>\n");
    {
        TXmlIni ini(path);
        EXPECT_EQ(ini.ReadString("S", "k", ""), "1");
        EXPECT_EQ(ini.ReadString("x", "y", "d"), "d");  // an instruction is no section
        ini.WriteString("x", "k", "2");
    }
    EXPECT_EQ(readBytes(path),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<!-- elenco -->\r\n"
              "<Elenco>\r\n"
              "  <?x y?>\r\n"
              "  <S k=\"1\" />\r\n"
              "  <x k=\"2\" />\r\n"
              "</Elenco>\r\n");
}

TEST_F(XmlIniTest, WrittenFile_UsesCrLfAndTwoBlankIndentation) {
    {
        TXmlIni ini(path);
        for (int i = 0; i < 5; ++i)
            ini.WriteInteger(std::string(1, 'S').append(std::to_string(i)), "k", i);
    }
    const std::string bytes = readBytes(path);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "lone LF at " << i;
        }
    }
    EXPECT_NE(bytes.find("\r\n  <S3 k=\"3\" />\r\n"), std::string::npos);
}

TEST_F(XmlIniTest, Values_RoundTripSpecialCharacters) {
    // Control characters other than tab, CR and LF have no place in XML 1.0 at all.
    const std::string value = "a & b < c > \"d\" 'e' \ttab\r\nline \u00e8\u20ac\U0001F600";
    {
        TXmlIni ini(path);
        ini.WriteString("S", "k", value);
    }
    const TXmlIni again(path);
    EXPECT_EQ(again.ReadString("S", "k", ""), value);
}

TEST_F(XmlIniTest, ValuesXml10CannotHold_AreRefusedNamingTheFileAndTheStoreStaysReadable) {
    writeTopicList();
    {
        TXmlIni ini(path);
        for (const std::string& bad :
             {std::string("a\x01b"), std::string("\x1b[0m"), std::string("fine\xef\xbf\xbf"),
              std::string("caff\xe8"), std::string("\x7f\x0b")}) {
            try {
                ini.WriteString("Argomento_00", "Testo0", bad);
                ADD_FAILURE() << "accepted " << bad;
            } catch (const XmlIniError& e) {
                EXPECT_EQ(e.fileName(), path);
                EXPECT_NE(std::string(e.what()).find("Testo0"), std::string::npos) << e.what();
            }
        }
        EXPECT_FALSE(ini.Modified());
        EXPECT_EQ(ini.ReadString("Argomento_00", "Testo0", ""), "Segnali di pericolo");
        ini.WriteString("Argomento_00", "Testo0", "DEL \x7f e NEL \u0085 ammessi");
    }
    const TXmlIni again(path);
    EXPECT_EQ(again.ReadString("Argomento_00", "Testo0", ""), "DEL \x7f e NEL \u0085 ammessi");
}

TEST_F(XmlIniTest, WriteIntegerAndBoolean_StoreDecimalText) {
    TXmlIni ini(path);
    ini.WriteInteger("S", "neg", -42);
    ini.WriteBoolean("S", "t", true);
    ini.WriteBoolean("S", "f", false);
    EXPECT_EQ(ini.ReadString("S", "neg", ""), "-42");
    EXPECT_EQ(ini.ReadString("S", "t", ""), "1");
    EXPECT_EQ(ini.ReadString("S", "f", ""), "0");
}

TEST_F(XmlIniTest, WriteWithInvalidXmlName_Throws) {
    TXmlIni ini(path);
    EXPECT_THROW(ini.WriteString("Num. schede", "k", "v"), XmlIniError);
    EXPECT_THROW(ini.WriteString("S", "1k", "v"), XmlIniError);
    EXPECT_THROW(ini.WriteString("", "k", "v"), XmlIniError);
    EXPECT_FALSE(ini.Modified());
    ini.WriteString("Citt\u00e0_1", "k.a-b", "v");  // valid names, also non-ASCII
    EXPECT_EQ(ini.ReadString("Citt\u00e0_1", "k.a-b", ""), "v");
}

TEST_F(XmlIniTest, Backup_CopiesOldFileToXmbReplacingOlderCopy) {
    writeTopicList();
    writeBytes(dir.file("ARG2013.xmb"), "older backup");
    {
        TXmlIni ini(path);
        EXPECT_TRUE(ini.Backup());
        ini.WriteInteger("Lista_Argomenti", "Totale", 3);
        ini.Save();
    }
    EXPECT_EQ(readBytes(dir.file("ARG2013.xmb")), kTopicList);
    EXPECT_NE(readBytes(path), kTopicList);
}

TEST_F(XmlIniTest, BackupOff_MakesNoCopy) {
    writeTopicList();
    {
        TXmlIni ini(path);
        ini.setBackup(false);
        ini.WriteInteger("Lista_Argomenti", "Totale", 3);
    }
    EXPECT_FALSE(test::exists(dir.file("ARG2013.xmb")));
    EXPECT_EQ(TXmlIni(path).ReadInteger("Lista_Argomenti", "Totale", 0), 3);
}

TEST_F(XmlIniTest, Backup_NameWithoutExtensionGetsXmbAppended) {
    const std::string file = dir.file("lista");
    writeBytes(file, "<QX_XmlIni/>");
    {
        TXmlIni ini(file);
        ini.WriteString("S", "k", "v");
    }
    EXPECT_EQ(readBytes(dir.file("lista.xmb")), "<QX_XmlIni/>");
}

TEST_F(XmlIniTest, DeleteKey_MissingReturnsFalseAndLeavesFileAlone) {
    writeTopicList();
    TXmlIni ini(path);
    EXPECT_FALSE(ini.DeleteKey("Argomento_00", "Manca"));
    EXPECT_FALSE(ini.DeleteKey("Manca", "Indice"));
    EXPECT_FALSE(ini.Modified());
    EXPECT_EQ(readBytes(path), kTopicList);
    EXPECT_EQ(test::folderEntries(dir.path()), std::vector<std::string>{"ARG2013.XML"});
}

TEST_F(XmlIniTest, DeleteKey_RemovesAndSavesAtOnce) {
    writeTopicList();
    TXmlIni ini(path);
    EXPECT_TRUE(ini.DeleteKey("Argomento_00", "SubArgomento"));
    EXPECT_FALSE(ini.Modified());
    const std::string bytes = readBytes(path);
    EXPECT_EQ(bytes.find("SubArgomento"), std::string::npos);
    EXPECT_NE(bytes.find("Argomento=\"A\" />"), std::string::npos);
    EXPECT_EQ(readBytes(dir.file("ARG2013.xmb")), kTopicList);
}

TEST_F(XmlIniTest, DeleteSection_MissingReturnsFalseAndLeavesFileAlone) {
    writeTopicList();
    TXmlIni ini(path);
    EXPECT_FALSE(ini.DeleteSection("Argomento_77"));
    EXPECT_FALSE(ini.Modified());
    EXPECT_EQ(test::folderEntries(dir.path()), std::vector<std::string>{"ARG2013.XML"});
}

TEST_F(XmlIniTest, DeleteSection_RemovesFirstOfItsNameAndSavesAtOnce) {
    writeBytes(path, "<QX_XmlIni><S k=\"1\"/><T/><S k=\"2\"/></QX_XmlIni>");
    TXmlIni ini(path);
    EXPECT_TRUE(ini.DeleteSection("S"));
    EXPECT_FALSE(ini.Modified());
    EXPECT_EQ(readBytes(path),
              "<?xml version=\"1.0\"?>\r\n<QX_XmlIni>\r\n  <T />\r\n  <S k=\"2\" />\r\n"
              "</QX_XmlIni>\r\n");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "2");
}

TEST_F(XmlIniTest, DeleteKey_FailedSaveReturnsFalse) {
    const std::string file = dir.file("gone/lista.xml");
    TXmlIni ini(file);
    ini.WriteString("S", "a", "1");
    ini.WriteString("S", "b", "2");
    EXPECT_FALSE(ini.DeleteKey("S", "a"));
    EXPECT_FALSE(ini.DeleteSection("S"));
}

TEST_F(XmlIniTest, SaveToNewName_WithoutChangesWritesNothing) {
    writeTopicList();
    TXmlIni ini(path);
    const std::string other = dir.file("altro.xml");
    ini.Save(other);
    EXPECT_EQ(ini.FileName(), other);
    EXPECT_FALSE(test::exists(other));
    EXPECT_EQ(readBytes(path), kTopicList);
}

TEST_F(XmlIniTest, SaveToNewName_WritesThereWhenModified) {
    writeTopicList();
    const std::string other = dir.file("altro.xml");
    {
        TXmlIni ini(path);
        ini.WriteString("Argomento_00", "Indice", "99");
        ini.Save(other);
        EXPECT_FALSE(ini.Modified());
    }
    EXPECT_EQ(readBytes(path), kTopicList);
    EXPECT_EQ(TXmlIni(other).ReadString("Argomento_00", "Indice", ""), "99");
}

TEST_F(XmlIniTest, Destroy_SavesOnlyWhenModified) {
    writeTopicList();
    {
        TXmlIni ini(path);
        ini.WriteString("Argomento_00", "Indice", "07");
        ini.Save();
        ini.setBackup(false);
        writeBytes(path, "changed behind the store's back");
    }  // nothing pending: the destructor must not write
    EXPECT_EQ(readBytes(path), "changed behind the store's back");
}

TEST_F(XmlIniTest, CheckSection_ReportsExistenceAndDoesNotModify) {
    writeTopicList();
    TXmlIni ini(path);
    EXPECT_TRUE(ini.CheckSection("Lista_Argomenti"));
    EXPECT_FALSE(ini.CheckSection("Lista"));
    EXPECT_FALSE(ini.Modified());
}

TEST_F(XmlIniTest, SaveFailure_PropagatesFromSaveButNotFromDestructor) {
    const std::string file = dir.file("no-such-folder/lista.xml");
    {
        TXmlIni ini(file);
        ini.WriteString("S", "k", "v");
        try {
            ini.Save();
            FAIL() << "no exception";
        } catch (const XmlIniError& e) {
            EXPECT_EQ(e.fileName(), file);
            EXPECT_NE(std::string(e.what()).find(file), std::string::npos);
        }
        EXPECT_TRUE(ini.Modified());
    }  // destructor tries again and swallows the failure
    EXPECT_FALSE(test::exists(file));
}

TEST_F(XmlIniTest, SaveFailure_InTheDestructorIsLoggedAndShownUnlessMessagesAreOff) {
    const std::string file = dir.file("no-such-folder/lista.xml");
    for (const bool noExceptMsg : {true, false}) {
        SystemPlatform platform;
        Switches switches;
        switches.CkNoExceptMsg = noExceptMsg;
        RunLog log(platform, dir.folder(), switches);
        RecordingInteraction ui;
        Reporting reporting{log, switches, ui};
        {
            TXmlIni ini(file);
            ini.setReporting(&reporting);
            ini.WriteString("S", "k", "v");
        }
        const std::string logged = readBytes(log.currentFilePath());
        EXPECT_NE(logged.find(">ERRORE: UXmlIni/Destroy - " + file), std::string::npos) << logged;
        if (noExceptMsg) {
            EXPECT_TRUE(ui.messages.empty());
        } else {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].rfind("Impossibile salvare il file XML\r\nERRORE: " + file, 0),
                      0u)
                << ui.messages[0];
        }
    }
}

TEST_F(XmlIniTest, Save_IsAtomicAndLeavesNoTemporaryFiles) {
    writeTopicList();
    TXmlIni ini(path);
    ini.setBackup(false);
    for (int i = 0; i < 10; ++i) {
        ini.WriteInteger("Lista_Argomenti", "Totale", i + 10);
        ini.Save();
    }
    EXPECT_EQ(test::folderEntries(dir.path()), std::vector<std::string>{"ARG2013.XML"});
}

TEST_F(XmlIniTest, NotWellFormed_ConstructorFailsNamingTheFile) {
    const std::vector<std::string> broken = {
        "",
        "<QX_XmlIni>",
        "<QX_XmlIni><S k=\"1\"></QX_XmlIni>",
        "<QX_XmlIni><S k=\"1/></QX_XmlIni>",
        "<QX_XmlIni/><Altra/>",
        "<QX_XmlIni/>testo",
        "<QX_XmlIni><S k=\"1\" k=\"2\"/></QX_XmlIni>",
        "just text",
        std::string("<QX_XmlIni>\0</QX_XmlIni>", 24),
    };
    for (const std::string& content : broken) {
        writeBytes(path, content);
        try {
            TXmlIni ini(path);
            ADD_FAILURE() << "accepted: " << content;
        } catch (const XmlIniError& e) {
            EXPECT_EQ(e.fileName(), path);
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
}

// Documents pugixml alone would read (as something else): refused naming file and offset.
TEST_F(XmlIniTest, NotWellFormedXml10_ConstructorFailsNamingFileAndOffset) {
    const std::string ok = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    const std::vector<std::pair<const char*, std::string>> broken = {
        {"HTML entity", "<QX_XmlIni><S k=\"a&nbsp;b\"/></QX_XmlIni>"},
        {"unterminated reference", "<QX_XmlIni><S k=\"a&amp b\"/></QX_XmlIni>"},
        {"reference to NUL", "<QX_XmlIni><S k=\"&#0;\"/></QX_XmlIni>"},
        {"reference to U+FFFE", "<QX_XmlIni><S k=\"&#xFFFE;\"/></QX_XmlIni>"},
        {"invalid UTF-8", ok + "<QX_XmlIni><S k=\"Citt\xE0\"/></QX_XmlIni>"},
        {"bytes of no declared encoding",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><QX_XmlIni><S k=\"\xA4\"/></QX_XmlIni>"},
        {"byte order mark against the declaration",
         "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-4\"?><QX_XmlIni/>"},
        {"attribute repeated", "<QX_XmlIni><S k=\"1\" k=\"1\"/></QX_XmlIni>"},
        {"second root", "<QX_XmlIni/><QX_XmlIni/>"},
        {"raw < in a value", "<QX_XmlIni><S k=\"a<b\"/></QX_XmlIni>"},
        {"declared entity",
         "<!DOCTYPE QX_XmlIni [<!ENTITY e \"x\">]><QX_XmlIni><S k=\"&e;\"/></QX_XmlIni>"},
        {"declared attribute default",
         "<!DOCTYPE QX_XmlIni [<!ATTLIST S k CDATA \"1\">]><QX_XmlIni><S/></QX_XmlIni>"},
        {"entity of an external subset",
         "<!DOCTYPE QX_XmlIni SYSTEM \"x.dtd\"><QX_XmlIni><S k=\"&e;\"/></QX_XmlIni>"},
    };
    for (const auto& [what, content] : broken) {
        writeBytes(path, content);
        try {
            TXmlIni ini(path);
            ADD_FAILURE() << what << ": accepted";
        } catch (const XmlIniError& e) {
            EXPECT_EQ(e.fileName(), path) << what;
            EXPECT_NE(std::string(e.what()).find("alla posizione"), std::string::npos)
                << what << ": " << e.what();
        }
    }
    // Legal, if unusual: still read.
    writeBytes(path,
               "<!DOCTYPE QX_XmlIni [<!ELEMENT S ANY>]><QX_XmlIni><S k='&#xE0;&lt;'/>"
               "<!-- c --><?pi x?></QX_XmlIni>");
    EXPECT_EQ(TXmlIni(path).ReadString("S", "k", ""), "\u00e0<");
}

TEST_F(XmlIniTest, AbsurdlyLargeFile_ConstructorFailsNamingTheFile) {
    writeBytes(path, "<QX_XmlIni/>");
    std::filesystem::resize_file(path, TXmlIni::kMaxFileBytes + 1);
    try {
        TXmlIni ini(path);
        FAIL() << "no exception";
    } catch (const XmlIniError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    }
}

TEST_F(XmlIniTest, Windows1252Document_IsReadAndWrittenInItsEncoding) {
    writeBytes(path,
               "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
               "<QX_XmlIni><S k=\"Citt\xE0 \x80\"/></QX_XmlIni>");
    {
        TXmlIni ini(path);
        EXPECT_EQ(ini.ReadString("S", "k", ""), "Citt\u00e0 \u20ac");
        ini.WriteString("S", "j", "Pi\u00f9 \u4e2d");
    }
    EXPECT_EQ(readBytes(path),
              "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
              "<QX_XmlIni>\r\n"
              "  <S k=\"Citt\xE0 \x80\" j=\"Pi\xF9 &#20013;\" />\r\n"
              "</QX_XmlIni>\r\n");
    EXPECT_EQ(TXmlIni(path).ReadString("S", "j", ""), "Pi\u00f9 \u4e2d");
}

TEST_F(XmlIniTest, Windows1252Document_RefusesNamesItCannotHoldAndStaysReadable) {
    writeBytes(path,
               "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
               "<QX_XmlIni><S k=\"Citt\xE0\"/></QX_XmlIni>");
    {
        TXmlIni ini(path);
        EXPECT_THROW(ini.WriteString("Sezione_\u0142", "k", "v"), XmlIniError);
        EXPECT_THROW(ini.WriteString("S", "chiave_\u4e2d", "v"), XmlIniError);
        ini.WriteString("S_\u00e8", "k\u20ac", "\u4e2d");  // these fit; the value is a reference
        ini.Save();
    }
    TXmlIni again(path);  // reads back
    EXPECT_EQ(again.ReadString("S_\u00e8", "k\u20ac", ""), "\u4e2d");
    EXPECT_EQ(again.ReadString("S", "k", ""), "Citt\u00e0");
    EXPECT_FALSE(again.CheckSection("Sezione_\u0142"));
}

TEST_F(XmlIniTest, Latin1AndUtf16Documents_AreReadAndKeepTheirEncoding) {
    writeBytes(path, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R><S k=\"\xE8\"/></R>");
    {
        TXmlIni ini(path);
        EXPECT_EQ(ini.ReadString("S", "k", ""), "\u00e8");
        ini.WriteString("S", "j", "\u00e0");
    }
    EXPECT_NE(readBytes(path).find("j=\"\xE0\""), std::string::npos);

    // UTF-16 LE with byte order mark.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<R><S k=\"1\"/></R>")) {
        utf16 += c;
        utf16 += '\0';
    }
    writeBytes(path, utf16);
    {
        TXmlIni ini(path);
        EXPECT_EQ(ini.ReadInteger("S", "k", 0), 1);
        ini.WriteInteger("S", "k", 2);
    }
    const std::string bytes = readBytes(path);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[1], '\0');  // still UTF-16
    EXPECT_NE(bytes.find(std::string("\r\0\n\0", 4)), std::string::npos);
    EXPECT_EQ(TXmlIni(path).ReadInteger("S", "k", 0), 2);
}

TEST_F(XmlIniTest, DefaultCreate_UsesExecutablePathWithIniXml) {
    EXPECT_EQ(TXmlIni::defaultFileName(), changeFileExt(executablePath(), "_ini.xml"));
    EXPECT_EQ(changeFileExt("C:\\Prog\\X.exe", "_ini.xml"), "C:\\Prog\\X_ini.xml");
    const TXmlIni ini;
    EXPECT_EQ(ini.FileName(), TXmlIni::defaultFileName());
    EXPECT_FALSE(ini.Modified());
}

TEST_F(XmlIniTest, NestingUpToTheLimit_LoadsAndSaves) {
    std::string text = "<QX_XmlIni><S k=\"1\">";
    for (int i = 2; i < TXmlIni::kMaxDepth; ++i)
        text += "<a>";
    for (int i = 2; i < TXmlIni::kMaxDepth; ++i)
        text += "</a>";
    text += "</S></QX_XmlIni>";
    writeBytes(path, text);
    {
        TXmlIni ini(path);
        ini.WriteString("S", "k", "2");
    }
    EXPECT_EQ(TXmlIni(path).ReadString("S", "k", ""), "2");
}

TEST_F(XmlIniTest, DeeperNesting_ConstructorFailsNamingTheFile) {
    for (const int depth : {TXmlIni::kMaxDepth + 1, 200000}) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += "<a>";
        for (int i = 0; i < depth; ++i)
            text += "</a>";
        writeBytes(path, text);
        try {
            TXmlIni ini(path);
            ADD_FAILURE() << "accepted depth " << depth;
        } catch (const XmlIniError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
        }
    }
}

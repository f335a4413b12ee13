// Randomized robustness of TXmlIni: mutated topic lists (fixed seed) either fail in the
// constructor with an error naming the file, or load, read, write and save into a file that
// loads again with the same values; random documents written through the API round-trip.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "settings/integer_text.h"
#include "settings/xml_ini.h"
#include "settings_test_support.h"
#include "support/temp_dir.h"

using namespace vexora;
using namespace vexora::settings;

namespace {

using Values = std::map<std::pair<std::string, std::string>, std::string>;

const std::vector<std::string> kKeys = {"Testo0", "Indice", "Argomento", "SubArgomento"};

std::string sectionName(int i) {
    const std::string n = "00" + std::to_string(i);
    return "Argomento_" + n.substr(n.size() - 2);
}

// A 31-topic list written by the store itself.
std::string topicList(const test::TempDir& dir) {
    const std::string path = dir.file("base.xml");
    {
        TXmlIni ini(path);
        ini.WriteInteger("Lista_Argomenti", "Totale", 31);
        for (int i = 0; i < 31; ++i) {
            const std::string s = sectionName(i);
            ini.WriteString(s, "Testo0", "Argomento n. " + std::to_string(i) + " \u00e8 & <ok>");
            ini.WriteString(s, "Indice", std::to_string(100 + i));
            ini.WriteString(s, "Argomento", std::string(1, static_cast<char>('A' + i % 26)));
            ini.WriteString(s, "SubArgomento", std::to_string(10 + i));
        }
    }
    return test::readBytes(path);
}

// Every value the topic-list loader would read, plus Totale (or its conversion error).
Values readAll(const TXmlIni& ini) {
    Values v;
    v[{"Lista_Argomenti", "Totale"}] = ini.ReadString("Lista_Argomenti", "Totale", "<none>");
    try {
        (void)ini.ReadInteger("Lista_Argomenti", "Totale", -1);
    } catch (const ConvertError& e) {
        const std::string what = e.what();
        EXPECT_EQ(what, "'" + e.text() + "' is not a valid integer value");
    }
    for (int i = 0; i < 31; ++i) {
        for (const std::string& k : kKeys) {
            v[{sectionName(i), k}] = ini.ReadString(sectionName(i), k, "<none>");
        }
    }
    return v;
}

class Mutator {
public:
    explicit Mutator(unsigned seed) : rng_(seed) {}
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::string mutate(std::string f) {
        const int edits = 1 + below(3);
        for (int i = 0; i < edits && !f.empty(); ++i) {
            const auto at = static_cast<std::size_t>(below(static_cast<int>(f.size())));
            switch (below(7)) {
                case 0:
                    f[at] = static_cast<char>(below(256));
                    break;
                case 1:
                    f.insert(at, 1, "<>\"'=/&;!?\0 \r\n"[below(14)]);
                    break;
                case 2:
                    f.erase(at, static_cast<std::size_t>(1 + below(30)));
                    break;
                case 3:
                    f.insert(at, f.substr(at, static_cast<std::size_t>(below(80))));
                    break;
                case 4:
                    if (below(3) == 0)
                        f.resize(at);
                    break;
                case 5: {
                    static const std::vector<std::string> pieces = {
                        "&#0;",          "&#8;",       "&amp;",        "&unknown;",
                        "<![CDATA[x]]>", "<!-- c -->", "<?pi x?>",     "<!DOCTYPE x>",
                        "<X/>",          "</X>",       "\xEF\xBB\xBF", "\xC3\x28"};
                    f.insert(
                        at,
                        pieces[static_cast<std::size_t>(below(static_cast<int>(pieces.size())))]);
                    break;
                }
                default:
                    f[at] = static_cast<char>(f[at] ^ (1 << below(8)));
                    break;
            }
        }
        return f;
    }

    // Random text: ASCII, XML specials, the controls XML holds (tab, CR, LF), accented and
    // astral letters.
    std::string text() {
        static const std::vector<std::string> pieces = {
            "a",  "Z",  "0",    " ",      "&",      "<",      ">",          "\"",  "'",     "\t",
            "\r", "\n", "\r\n", "\u00e8", "\u20ac", "\u4e2d", "\U0001F600", "]]>", "&amp;", "="};
        std::string s;
        const int n = below(12);
        for (int i = 0; i < n; ++i) {
            s += pieces[static_cast<std::size_t>(below(static_cast<int>(pieces.size())))];
        }
        return s;
    }

    std::string name() {
        static const std::vector<std::string> first = {"S",      "k",     "_", "Argomento_",
                                                       "\u00e8", "Lista", "x:"};
        static const std::vector<std::string> rest = {"", "0", "1", ".", "-", "_a", "\u00b7"};
        return first[static_cast<std::size_t>(below(static_cast<int>(first.size())))] +
               rest[static_cast<std::size_t>(below(static_cast<int>(rest.size())))] +
               rest[static_cast<std::size_t>(below(static_cast<int>(rest.size())))];
    }

private:
    std::mt19937 rng_;
};

}  // namespace

TEST(XmlIniRobustness, MutatedTopicLists_FailNamingTheFileOrRoundTrip) {
    test::TempDir dir;
    const std::string base = topicList(dir);
    ASSERT_GT(base.size(), 3000u);
    Mutator mut(4242);
    const std::string path = dir.file("ARG2013.XML");
    const std::string copy = dir.file("copia.xml");
    int loaded = 0;
    int refused = 0;
    for (int round = 0; round < 800; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string bytes = mut.mutate(base);
        test::writeBytes(path, bytes);
        Values before;
        try {
            TXmlIni ini(path);
            ++loaded;
            before = readAll(ini);
            const std::string section = sectionName(mut.below(31));
            const std::string value = mut.text();
            ini.WriteString(section, "Indice", value);
            before[{section, "Indice"}] = value;
            ini.setBackup(false);
            ini.Save(copy);
            if (ini.Modified())
                ADD_FAILURE() << "still modified after Save";
        } catch (const XmlIniError& e) {
            ++refused;
            ASSERT_TRUE(before.empty()) << "failed after loading: " << e.what();
            ASSERT_EQ(e.fileName(), path);
            ASSERT_NE(std::string(e.what()).find(path), std::string::npos);
            continue;
        }
        if (!test::exists(copy))
            continue;  // the write changed nothing
        try {
            const TXmlIni again(copy);
            ASSERT_EQ(readAll(again), before);
        } catch (const XmlIniError& e) {
            FAIL() << "the store wrote a file it cannot read: " << e.what();
        }
        std::filesystem::remove(copy);
    }
    // Both outcomes must actually occur for the test to mean something.
    std::cout << "[          ] loaded " << loaded << ", refused " << refused << "\n";
    EXPECT_GT(loaded, 50);
    EXPECT_GT(refused, 50);
}

TEST(XmlIniRobustness, APiWhoseTargetOnlyBeginsWithXml_NamesNoEncoding) {
    // Found by fuzzing: "<?xmlse ... encoding=...?>" was taken for a declaration, so bytes
    // that are no UTF-8 were read as Windows-1252 and the saved store could not be read.
    test::TempDir dir;
    const std::string path = dir.file("ARG2013.XML");
    test::writeBytes(path,
                     "<?xmlse vrion=\"1.0\" encoding=\"windows-1252\"?>\r\n"
                     "<QX_XmlIni><S k=\"Citt\xE0\"/></QX_XmlIni>");
    try {
        const TXmlIni ini(path);
        FAIL() << "bytes that are no UTF-8 were read";
    } catch (const XmlIniError& e) {
        EXPECT_EQ(e.fileName(), path);
    }
    // A real declaration still names the encoding.
    test::writeBytes(path,
                     "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
                     "<QX_XmlIni><S k=\"Citt\xE0\"/></QX_XmlIni>");
    EXPECT_EQ(TXmlIni(path).ReadString("S", "k", ""), "Citt\u00e0");
}

TEST(XmlIniRobustness, RandomDocumentsWrittenThroughTheApi_RoundTrip) {
    test::TempDir dir;
    Mutator gen(99);
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string path = dir.file("doc" + std::to_string(round) + ".xml");
        Values written;
        {
            TXmlIni ini(path, round % 2 ? "C:\\x\\argomenti.xsl" : "");
            const int n = gen.below(40);
            for (int i = 0; i < n; ++i) {
                const std::string s = gen.name();
                const std::string k = gen.name();
                const std::string v = gen.text();
                ini.WriteString(s, k, v);
                if (!v.empty() || written.count({s, k}))
                    written[{s, k}] = v;
                if (gen.below(10) == 0 && ini.DeleteKey(s, k))
                    written.erase({s, k});
            }
        }
        if (written.empty())
            continue;
        const TXmlIni again(path);
        for (const auto& [sk, v] : written) {
            ASSERT_EQ(again.ReadString(sk.first, sk.second, "<none>"), v)
                << sk.first << "/" << sk.second;
        }
    }
}

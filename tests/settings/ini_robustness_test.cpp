// Randomized robustness of the INI reader and writer: many generated and mutated files
// (fixed seed), each checked against a plain reference reading of the same rules and for
// the edit property (a write changes its key and nothing else).
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "settings/ini_file.h"
#include "settings/integer_text.h"
#include "settings/settings_model.h"
#include "settings_test_support.h"
#include "support/temp_dir.h"

using namespace vexora;
using namespace vexora::settings;

namespace {

const std::vector<std::string> kSections = {"Autoscuola", "Status", "print",   "",
                                            "Prin t",     "PATHS",  "Citt\xC0"};
const std::vector<std::string> kKeys = {
    "Nome", "Num. schede", "Progressivo Esa AB", "nome", "NUM. SCHEDE", "k", "x y"};

// ---- Reference reading: the rules written out plainly, with copies everywhere. ----

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::string trimmed(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && blank(s[b]))
        ++b;
    while (e > b && blank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::string folded(std::string s) {
    for (char& c : s) {
        auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7))
            b += 32;
        else if (b == 0x8A || b == 0x8C || b == 0x8E)
            b += 0x10;
        else if (b == 0x9F)
            b = 0xFF;
        c = static_cast<char>(b);
    }
    return s;
}

struct RefLine {
    enum { Other, Header, Key } kind = Other;
    std::string name;
    std::string value;
};

std::vector<RefLine> refLines(const std::string& bytes) {
    std::vector<std::string> raw;
    std::string cur;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            raw.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        raw.push_back(cur);
    std::vector<RefLine> out;
    for (std::string line : raw) {
        line = line.substr(0, line.find('\0'));
        RefLine r;
        const std::string t = trimmed(line);
        const std::size_t close = t.rfind(']');
        if (!t.empty() && t[0] == '[' && close != std::string::npos && close > 0) {
            r.kind = RefLine::Header;
            r.name = trimmed(t.substr(1, close - 1));
        } else if (const std::size_t eq = line.find('='); eq != std::string::npos) {
            r.kind = RefLine::Key;
            r.name = trimmed(line.substr(0, eq));
            r.value = trimmed(line.substr(eq + 1));
        }
        out.push_back(r);
    }
    return out;
}

// Raw Windows-1252 value of the key, first section and first key winning.
std::optional<std::string> refValue(const std::vector<RefLine>& lines, const std::string& section,
                                    const std::string& key) {
    const std::string s = folded(trimmed(section));
    const std::string k = folded(trimmed(key));
    bool inSection = false;
    for (const RefLine& l : lines) {
        if (l.kind == RefLine::Header) {
            if (inSection)
                return std::nullopt;
            inSection = folded(l.name) == s;
        } else if (inSection && l.kind == RefLine::Key && folded(l.name) == k) {
            return l.value;
        }
    }
    return std::nullopt;
}

// ---- Generation ----

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool chance(int percent) { return below(100) < percent; }
    template <class T>
    const T& pick(const std::vector<T>& v) {
        return v[static_cast<std::size_t>(below(static_cast<int>(v.size())))];
    }

    std::string randomCase(std::string s) {
        for (char& c : s) {
            if (chance(30) && c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        }
        return s;
    }
    std::string blanks() {
        return std::string(static_cast<std::size_t>(chance(20) ? below(3) : 0),
                           chance(50) ? ' ' : '\t');
    }
    std::string bytes(int n, bool any) {
        std::string s;
        for (int i = 0; i < n; ++i) {
            s += static_cast<char>(any ? below(256) : 32 + below(95));
        }
        return s;
    }
    std::string value() {
        switch (below(6)) {
            case 0:
                return std::to_string(below(2000) - 1000);
            case 1:
                return "";
            case 2:
                return bytes(below(20), false);
            case 3:
                return bytes(below(20), true);
            case 4:
                return "Citt\xE0 \x80 \xFF";
            default:
                return pick(std::vector<std::string>{"1", "0", "abc", "12abc", " 7 "});
        }
    }
    std::string eol() {
        switch (below(10)) {
            case 0:
                return "\n";
            case 1:
                return "\r";
            default:
                return "\r\n";
        }
    }
    std::string line() {
        switch (below(12)) {
            case 0:
            case 1:
                return blanks() + "[" + blanks() + randomCase(pick(kSections)) + blanks() + "]" +
                       (chance(10) ? " ; c" : "") + (chance(5) ? "x]" : "");
            case 2:
                return bytes(below(30), true);
            case 3:
                return "[" + pick(kSections);
            case 4:
                return "";
            case 5:
                return "no equals here";
            case 6:
                return chance(5) ? std::string(static_cast<std::size_t>(20000 + below(100000)), 'L')
                                 : "=v";
            default:
                return blanks() + randomCase(pick(kKeys)) + blanks() + "=" + blanks() + value();
        }
    }
    std::string file() {
        std::string f = chance(3) ? "\xEF\xBB\xBF" : "";
        const int n = below(40);
        for (int i = 0; i < n; ++i) {
            f += line();
            if (i + 1 < n || chance(70))
                f += eol();
        }
        return f;
    }
    std::string mutate(std::string f) {
        const int edits = 1 + below(8);
        for (int i = 0; i < edits && !f.empty(); ++i) {
            const auto at = static_cast<std::size_t>(below(static_cast<int>(f.size())));
            switch (below(5)) {
                case 0:
                    f[at] = static_cast<char>(below(256));
                    break;
                case 1:
                    f.insert(at, bytes(1 + below(4), true));
                    break;
                case 2:
                    f.erase(at, static_cast<std::size_t>(below(20)));
                    break;
                case 3:
                    f.insert(at, f.substr(at, static_cast<std::size_t>(below(60))));
                    break;
                default:
                    f.insert(at, 1, pick(std::vector<char>{'\0', '\r', '\n', '[', ']', '='}));
                    break;
            }
        }
        return f;
    }
    std::mt19937& rng() { return rng_; }

private:
    std::mt19937 rng_;
};

bool validUtf8(const std::string& s) {
    std::size_t pos = 0;
    while (pos < s.size()) {
        if (decodeUtf8(s, pos) < 0)
            return false;
    }
    return true;
}

std::string fullSettingsFile() {
    test::TempDir dir;
    const std::string path = dir.file("full.ini");
    test::FixedClockPlatform platform;
    Switches sw;
    RunLog log(platform, dir.folder(), sw);
    SettingsModel model(path, log, dir.file("none.ini"));
    ProgramState state(dir.folder());
    model.SalvaOpzioni({"Scuola", "Via", "Stampante"}, sw);
    model.SalvaChiusura(state, sw, MainWindowValues{});
    return test::readBytes(path);
}

void checkText(const std::string& bytes, Generator& gen, int round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const IniText text(bytes);
    const IniText scanned(bytes, 0);  // no index: every read walks the text
    const std::vector<RefLine> ref = refLines(text.isUtf8() ? bytes.substr(3) : bytes);
    for (const std::string& s : kSections) {
        for (const std::string& k : kKeys) {
            const auto got = text.value(cp1252ToUtf8(s), k);
            ASSERT_EQ(got, scanned.value(cp1252ToUtf8(s), k)) << s << "/" << k;
            ASSERT_EQ(text.hasSection(cp1252ToUtf8(s)), scanned.hasSection(cp1252ToUtf8(s)));
            if (got) {
                ASSERT_TRUE(validUtf8(*got));
                ASSERT_EQ(got->find_first_of(std::string("\r\n\0", 3)), std::string::npos);
                ASSERT_TRUE(got->empty() || (!blank(got->front()) && !blank(got->back())));
            }
            if (!text.isUtf8()) {
                const auto want = refValue(ref, s, k);
                ASSERT_EQ(got.has_value(), want.has_value()) << s << "/" << k;
                if (want) {
                    ASSERT_EQ(*got, cp1252ToUtf8(*want)) << s << "/" << k;
                }
            }
        }
    }

    // Edit property: the written key reads back, every other key is unchanged.
    const std::string section = cp1252ToUtf8(gen.pick(kSections));
    const std::string key = gen.pick(kKeys);
    const std::string value = gen.chance(50) ? std::to_string(gen.below(1000)) : "v\u00e8 x";
    const std::string after = text.withValue(section, key, value);
    ASSERT_LE(after.size(), bytes.size() + section.size() + key.size() + value.size() + 10);
    const IniText changed(after);
    ASSERT_EQ(changed.value(section, key), value);
    for (const std::string& s : kSections) {
        for (const std::string& k : kKeys) {
            const bool sameSection = folded(trimmed(utf8ToCp1252(section))) == folded(trimmed(s));
            if (sameSection && folded(trimmed(k)) == folded(trimmed(key)))
                continue;
            ASSERT_EQ(changed.value(cp1252ToUtf8(s), k), text.value(cp1252ToUtf8(s), k))
                << "after writing " << section << "/" << key << ", " << s << "/" << k;
        }
    }
}

}  // namespace

TEST(IniRobustness, GeneratedFiles_MatchReferenceAndEditOnlyTheirKey) {
    Generator gen(20260309);
    for (int round = 0; round < 500; ++round) {
        checkText(gen.file(), gen, round);
        if (HasFatalFailure())
            return;
    }
}

TEST(IniRobustness, MutatedSettingsFiles_MatchReferenceAndEditOnlyTheirKey) {
    Generator gen(1234567);
    const std::string base = fullSettingsFile();
    ASSERT_GT(base.size(), 500u);
    for (int round = 0; round < 300; ++round) {
        checkText(gen.mutate(base), gen, round);
        if (HasFatalFailure())
            return;
    }
}

TEST(IniRobustness, MutatedFilesOnDisk_LoadThroughTheModelWithoutHarm) {
    Generator gen(777);
    test::TempDir dir;
    const std::string base = fullSettingsFile();
    test::FixedClockPlatform platform;
    Switches sw;
    RunLog log(platform, dir.folder(), sw);
    const std::string path = dir.file("Vexora.ini");
    SettingsModel model(path, log, dir.file("Plarn.ini"));
    for (int round = 0; round < 60; ++round) {
        test::writeBytes(path, round % 3 == 0 ? gen.file() : gen.mutate(base));
        ProgramState state(dir.folder());
        MainWindowValues window;
        model.InizializzaOpzioni(state, sw, window, {1024, 768, 640, 480});
        EXPECT_EQ(window.sheetCount, toIntegerOr(window.sheetCountText, 1));
        EXPECT_TRUE(validUtf8(state.schoolName));
        // Saving over whatever was there must work and read back.
        state.counter(mqAB, tdsEsame) = round;
        model.SalvaChiusura(state, sw, window);
        ProgramState again(dir.folder());
        MainWindowValues w2;
        model.InizializzaOpzioni(again, sw, w2, {1024, 768, 640, 480});
        ASSERT_EQ(again.counter(mqAB, tdsEsame), round);
        ASSERT_EQ(w2.sheetCountText, window.sheetCountText);
    }
}

// The settings file and the XML key-value store under real faults: a disk full at any
// byte, a full or read-only disk, a read-only file, a vanished folder, and processes
// killed while they save.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "settings/ini_file.h"
#include "settings/settings_model.h"
#include "settings/xml_ini.h"
#include "settings_test_support.h"
#include "support/save_faults.h"
#include "support/temp_dir.h"

using namespace vexora;
using namespace vexora::settings;
using namespace vexora::test;

namespace {

// The settings file as the options window's counter resets write it: the 28 counters,
// one atomic rewrite per key. A kill between two keys may leave the first keys new and
// the rest old, never a torn file or a missing key.
class SettingsFile : public SavedFile {
public:
    explicit SettingsFile(const std::filesystem::path& folder)
        : path_((folder / "Vexora.ini").string()) {}

    std::string file() const override { return path_; }

    std::string save(int v) override {
        for (int& c : state_.counters)
            c = v;
        try {
            model_.SalvaProgressivi(state_);
            return "";
        } catch (const IniWriteError& e) {
            return e.what();
        }
    }

    std::string check() override {
        const std::string bytes = bytesOf(path_);
        std::istringstream lines(bytes);
        std::string line;
        std::vector<long> values;
        while (std::getline(lines, line)) {
            if (line.empty() || line.back() != '\r')
                return "a line without CR LF: " + line;
            line.pop_back();
            if (line == "[Status]")
                continue;
            const std::size_t eq = line.find('=');
            if (line.rfind("Progressivo ", 0) != 0 || eq == std::string::npos ||
                eq + 1 == line.size() ||
                line.find_first_not_of("0123456789", eq + 1) != std::string::npos)
                return "not a counter line: " + line;
            values.push_back(std::stol(line.substr(eq + 1)));
        }
        if (values.size() != 28)
            return std::to_string(values.size()) + " counters in the file";
        // Keys are written in order, each save with a higher value: a key never holds
        // a newer value than the keys before it.
        if (!std::is_sorted(values.rbegin(), values.rend()))
            return "counters out of order: " + bytes;
        const IniFile ini(path_);
        return ini.state() == IniFile::State::Loaded ? "" : "IniFile cannot read it";
    }

private:
    TempDir logs_;
    FixedClockPlatform platform_;
    Switches switches_;
    RunLog log_{platform_, logs_.folder(), switches_};
    std::string path_;
    SettingsModel model_{path_, log_, logs_.file("Plarn.ini")};
    ProgramState state_{logs_.folder()};
};

// A topic-list file through the XML key-value store, with its ".xmb" backup.
class XmlStore : public SavedFile {
public:
    static constexpr int kSections = 40;

    explicit XmlStore(const std::filesystem::path& folder)
        : path_((folder / "ARG2013.XML").string()), backup_((folder / "ARG2013.xmb").string()) {}

    std::string file() const override { return path_; }

    std::string save(int v) override {
        try {
            TXmlIni ini(path_);
            ini.WriteInteger("Lista_Argomenti", "Versione", v);
            for (int s = 0; s < kSections; ++s) {
                ini.WriteString("Argomento_" + std::to_string(s), "Testo0", text(v, s));
            }
            ini.Save();
            return "";
        } catch (const XmlIniError& e) {
            return e.what();
        }
    }

    std::string check() override {
        for (const std::string& p : {path_, backup_}) {
            if (p == backup_ && !std::filesystem::exists(p))
                continue;
            try {
                const TXmlIni ini(p);
                const int v = ini.ReadInteger("Lista_Argomenti", "Versione", -1);
                for (int s = 0; s < kSections; ++s) {
                    if (ini.ReadString("Argomento_" + std::to_string(s), "Testo0", "") !=
                        text(v, s))
                        return p + ": section " + std::to_string(s) + " of another version";
                }
            } catch (const XmlIniError& e) {
                return p + " cannot be read: " + e.what();
            }
        }
        return "";
    }

private:
    static std::string text(int v, int s) {
        return "Argomento " + std::to_string(s) + " della versione " + std::to_string(v) +
               ": segnali di pericolo e di precedenza, citt\u00e0 e strade extraurbane";
    }

    std::string path_;
    std::string backup_;
};

struct Kind {
    const char* name;
    SavedFileMaker make;
};

const Kind kKinds[] = {
    {"SettingsFile", [](const auto& folder) { return std::make_unique<SettingsFile>(folder); }},
    {"XmlStore", [](const auto& folder) { return std::make_unique<XmlStore>(folder); }},
};

class FaultsSettingsSaves : public testing::TestWithParam<Kind> {
protected:
    TempDir dir;
    std::filesystem::path folder = dir.path() / "cartella";
};

}  // namespace

TEST_P(FaultsSettingsSaves, DiskFullAtAnyByteIsRefused) {
    EXPECT_GT(expectFullDiskAtAnyByteRefused(GetParam().make, folder), 64);
}

TEST_P(FaultsSettingsSaves, FullDiskIsRefused) {
    expectFullScratchDiskRefused(GetParam().make, folder);
}

TEST_P(FaultsSettingsSaves, ReadOnlyFolderIsRefused) {
    expectReadOnlyFolderRefused(GetParam().make, folder);
}

TEST_P(FaultsSettingsSaves, ReadOnlyFileIsRefused) {
    expectReadOnlyFileRefused(GetParam().make, folder);
}

TEST_P(FaultsSettingsSaves, VanishedFolderIsRefused) {
    expectVanishedFolderRefused(GetParam().make, folder);
}

TEST_P(FaultsSettingsSaves, KilledSavesLeaveWholeFiles) {
    expectKilledSavesLeaveWholeFiles(GetParam().make, folder, 200);
}

INSTANTIATE_TEST_SUITE_P(Saves, FaultsSettingsSaves, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<Kind>& i) { return i.param.name; });

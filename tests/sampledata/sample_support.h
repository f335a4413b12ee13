#pragma once

// Shared fixtures of the sample-data tests: one generation per test process, read back
// with the project's own binary reader and XML store.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "core/file_util.h"
#include "data/binary_form.h"
#include "data/table_data.h"
#include "settings/xml_ini.h"
#include "support/temp_dir.h"
#include "vexora-sample-data/sample_data.h"

namespace vexora::test {

inline std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Masters and topic lists of every category for the default seed, written once per
// process (no figures: the figure tests write their own).
struct SampleFolder {
    TempDir dir;
    sampledata::GenerateSummary summary;
};

inline const SampleFolder& defaultSample() {
    static const std::unique_ptr<SampleFolder> folder = [] {
        auto f = std::make_unique<SampleFolder>();
        sampledata::GenerateOptions options;
        options.figures = false;
        f->summary = sampledata::generateSampleData(f->dir.path(), options);
        return f;
    }();
    return *folder;
}

inline data::TableData readMaster(const std::filesystem::path& dir, TModalitaQuiz m) {
    const std::string path = (dir / std::string(masterFile(m))).string();
    std::string error;
    const auto bytes = readWholeFile(path, 64u << 20, &error);
    if (!bytes)
        throw std::runtime_error(path + ": " + error);
    return data::readBinaryTable(*bytes);
}

// A master column by name, without regard to case (as the loader finds it).
inline std::size_t column(const data::TableData& t, const std::string& name) {
    for (std::size_t i = 0; i < t.fields.size(); ++i)
        if (lower(t.fields[i].name) == lower(name))
            return i;
    throw std::runtime_error("no column " + name);
}

inline std::string text(const data::Value& v) {
    return data::isNull(v) ? std::string() : std::get<std::string>(v);
}

// One topic as the topic-list loader reads it.
struct ListedTopic {
    std::string testo, indice, argomento, subArgomento;
};

inline std::vector<ListedTopic> readTopicList(const std::filesystem::path& dir, TModalitaQuiz m) {
    settings::TXmlIni store((dir / std::string(topicListFile(m))).string());
    const int total = store.ReadInteger("Lista_Argomenti", "Totale", -1);
    std::vector<ListedTopic> topics;
    for (int i = 0; i < total; ++i) {
        const std::string digits = "00" + std::to_string(i);
        const std::string section = "Argomento_" + digits.substr(digits.size() - 2);
        topics.push_back({store.ReadString(section, "Testo0", ""),
                          store.ReadString(section, "Indice", ""),
                          store.ReadString(section, "Argomento", ""),
                          store.ReadString(section, "SubArgomento", "")});
    }
    return topics;
}

// Numeric part of a figure name ("850" -> 850, "412b" -> 412).
inline int figureNumber(const std::string& name) {
    return std::atoi(name.c_str());
}

}  // namespace vexora::test

#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "data/date_time.h"
#include "data/table.h"

namespace vexora::data::testing {

// A fresh folder under the system temporary folder, removed with its content.
class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("vexora_table_test_" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }
    std::size_t entryCount() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(path_))
            ++n;
        return n;
    }

private:
    std::filesystem::path path_;
};

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline DateTimeValue at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return makeDateTime({y, mo, d, h, mi, s, ms});
}

// The fields of a print-history-like table (a subset of the real one, same types).
inline void definePrintLikeFields(Table& t) {
    t.FieldDefs().clear();
    t.AddFieldDef("nRec", FieldType::AutoInc);
    t.AddFieldDef("IdMaster", FieldType::Integer);
    t.AddFieldDef("Capitolo", FieldType::String, 2);
    t.AddFieldDef("Indice", FieldType::String, 3);
    t.AddFieldDef("Domanda", FieldType::String, 2);
    t.AddFieldDef("dtNormali", FieldType::DateTime);
    t.AddFieldDef("rsNormali", FieldType::Boolean);
    t.AddFieldDef("dtEsame", FieldType::DateTime);
    t.AddFieldDef("rsEsame", FieldType::Boolean);
}

// Appends one print-like row; an empty chapter or topic stays null.
inline void appendPrintRow(Table& t, std::int64_t id, const std::string& capitolo,
                           const std::string& indice) {
    t.Append();
    t.FieldByName("IdMaster").SetAsInteger(id);
    if (!capitolo.empty())
        t.FieldByName("Capitolo").SetAsString(capitolo);
    if (!indice.empty())
        t.FieldByName("Indice").SetAsString(indice);
    t.FieldByName("Domanda").SetAsInteger(id % 100);
    t.Post();
}

// IdMaster of every visible row, walked with First/Next/Eof.
inline std::vector<std::int64_t> visibleIds(Table& t) {
    std::vector<std::int64_t> ids;
    for (t.First(); !t.Eof(); t.Next())
        ids.push_back(t.FieldByName("IdMaster").AsInteger());
    return ids;
}

}  // namespace vexora::data::testing

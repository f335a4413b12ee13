#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/error_report.h"
#include "core/program_state.h"
#include "core/run_log.h"
#include "core/switches.h"
#include "core/user_interaction.h"
#include "data/question_data.h"
#include "data/table.h"
#include "settings/xml_ini.h"
#include "support/temp_dir.h"

namespace vexora::test {

// One master question as the tests describe it.
struct MasterRow {
    int id;
    std::string capitolo;
    std::string indice;
    int domanda = 1;
    bool risposta = true;
    std::string testo = "Testo della domanda";
    std::string figura = "";
    std::string blocco = "100";
};

// Writes a master table file with the fields the program reads.
inline void writeMaster(const std::string& path, const std::vector<MasterRow>& rows) {
    data::Table t;
    t.AddFieldDef("Id", data::FieldType::Integer, 4);
    t.AddFieldDef("Testo", data::FieldType::String, 400);
    t.AddFieldDef("Risposta", data::FieldType::Boolean);
    t.AddFieldDef("Figura", data::FieldType::String, 10);
    t.AddFieldDef("Libro1", data::FieldType::String, 10);
    t.AddFieldDef("Libro2", data::FieldType::String, 10);
    t.AddFieldDef("Blocco", data::FieldType::String, 5);
    t.AddFieldDef("Domanda", data::FieldType::Integer, 2);
    t.AddFieldDef("Indice", data::FieldType::String, 3);
    t.AddFieldDef("Capitolo", data::FieldType::String, 2);
    t.AddFieldDef("Difficolta", data::FieldType::String, 2);
    t.CreateDataSet();
    for (const auto& r : rows) {
        t.Append();
        t.FieldByName("Id").SetAsInteger(r.id);
        t.FieldByName("Testo").SetAsString(r.testo);
        t.FieldByName("Risposta").SetAsBoolean(r.risposta);
        t.FieldByName("Figura").SetAsString(r.figura);
        t.FieldByName("Libro1").SetAsString("L1-" + std::to_string(r.id));
        t.FieldByName("Libro2").SetAsString("L2");
        t.FieldByName("Blocco").SetAsString(r.blocco);
        t.FieldByName("Domanda").SetAsInteger(r.domanda);
        t.FieldByName("Indice").SetAsString(r.indice);
        t.FieldByName("Capitolo").SetAsString(r.capitolo);
        t.FieldByName("Difficolta").SetAsString("1");
        t.Post();
    }
    t.SaveToFile(path);
}

// One topic of a topic-list file.
struct TopicRow {
    std::string title;
    std::string code;
};

// Writes a topic-list file through the XML key-value store.
inline void writeTopicList(const std::string& path, const std::vector<TopicRow>& topics) {
    settings::TXmlIni ini(path);
    ini.WriteInteger("Lista_Argomenti", "Totale", static_cast<int>(topics.size()));
    for (std::size_t i = 0; i < topics.size(); ++i) {
        std::string n = "00" + std::to_string(i);
        const std::string section = "Argomento_" + n.substr(n.size() - 2);
        ini.WriteString(section, "Testo0", topics[i].title);
        ini.WriteString(section, "Indice", topics[i].code);
        ini.WriteString(section, "Argomento", "A");
        ini.WriteString(section, "SubArgomento", "01");
    }
    ini.Save();
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A fresh program world in a temporary program folder: state, switches, run log,
// recording user interaction and the question data.
struct QuestionWorld {
    TempDir dir;
    SystemPlatform platform;
    Switches switches;
    ProgramState state{dir.folder()};
    RunLog log{platform, dir.folder(), switches};
    RecordingInteraction ui;
    Reporting reporting{log, switches, ui};
    data::QuestionData qd{reporting, platform, state};

    QuestionWorld() {
        switches.CkProgFlowLog = true;  // tests read the flow lines too
        state.currentCategory = mqAB;
    }
    std::string path(const std::string& name) const { return dir.file(name); }
    std::string logText() { return readText(log.currentFilePath()); }
    bool logHas(const std::string& text) { return logText().find(text) != std::string::npos; }
};

}  // namespace vexora::test

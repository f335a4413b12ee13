// bench-deps: vexora_settings
// Settings layer targets (issue 2): loading a full settings file and opening + reading a
// 31-topic list must each take well under 1 ms.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "core/platform.h"
#include "core/program_state.h"
#include "core/run_log.h"
#include "settings/ini_file.h"
#include "settings/settings_keys.h"
#include "settings/settings_model.h"
#include "settings/xml_ini.h"

using namespace vexora;
using namespace vexora::settings;

namespace {

// A private folder for the files of this run, removed at exit.
class BenchFolder {
public:
    BenchFolder() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("vexora-bench-settings-" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~BenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string folder() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};

BenchFolder& folder() {
    static BenchFolder f;
    return f;
}

// A settings file holding every key of the settings table, as the program writes it.
const std::string& fullSettingsFile() {
    static const std::string path = [] {
        const std::string p = folder().file("Vexora.ini");
        SystemPlatform platform;
        Switches switches;
        RunLog log(platform, folder().folder(), switches);
        SettingsModel model(p, log, folder().file("Plarn.ini"));
        ProgramState state(folder().folder());
        for (int i = 0; i < kCounterCount; ++i)
            state.counters[static_cast<std::size_t>(i)] = 17 + i;
        model.SalvaOpzioni({"Autoscuola Giardini di Primavera",
                            "Viale della Repubblica 118 - 37135 Verona - Tel. 045 501 2233",
                            "HP LaserJet Pro M404dn"},
                           switches);
        model.SalvaChiusura(state, switches,
                            MainWindowValues{312, 96, "12", 12, "2", 2, "HP LaserJet Pro M404dn"});
        IniFile ini(p);
        ini.writeString("Paths", "Figure", "/opt/Plarn/PicSgn/");
        return p;
    }();
    return path;
}

// A topic list of 31 topics in the program's topic-list layout, written by the store.
const std::string& topicListFile() {
    static const std::string path = [] {
        const std::string p = folder().file("ARG2013.XML");
        static const char* titles[] = {
            "Definizioni generali e doveri nell'uso della strada",
            "Segnali di pericolo",
            "Segnali di divieto",
            "Segnali di obbligo",
            "Segnali di precedenza",
            "Segnaletica orizzontale e segni sugli ostacoli",
            "Segnalazioni semaforiche e degli agenti del traffico",
            "Segnali di indicazione",
            "Segnali complementari, segnali temporanei e di cantiere",
            "Pannelli integrativi dei segnali",
            "Limiti di velocit\u00e0, pericolo e intralcio alla circolazione",
            "Distanza di sicurezza",
            "Norme sulla circolazione dei veicoli",
            "Esempi di precedenza (incroci)",
            "Norme sul sorpasso",
            "Fermata, sosta, arresto e partenza",
            "Norme varie (ingombro della carreggiata, traino, pannelli)",
            "Uso delle luci e dei dispositivi acustici, spie e simboli",
            "Dispositivi di equipaggiamento, funzione ed uso: cinture di sicurezza, "
            "sistemi di ritenuta per bambini, casco protettivo e abbigliamento di sicurezza",
            "Patenti di guida, sistema sanzionatorio, documenti di circolazione, obblighi "
            "verso agenti, uso di lenti e altri apparecchi",
            "Incidenti stradali e comportamenti in caso di incidente",
            "Guida in relazione alle qualit\u00e0 e condizioni fisiche e psichiche, alcool, "
            "droga, farmaci e primo soccorso",
            "Responsabilit\u00e0 civile, penale, amministrativa, assicurazione r.c.a. e "
            "altre forme assicurative legate al veicolo",
            "Limitazione dei consumi, rispetto dell'ambiente e inquinamento",
            "Elementi costitutivi del veicolo, manutenzione ed uso, stabilit\u00e0 e tenuta "
            "di strada, comportamenti e cautele di guida",
            "Autostrade e strade extraurbane principali",
            "Trasporto di persone e carico dei veicoli",
            "Guida in condizioni meteorologiche avverse e in galleria",
            "Comportamenti in presenza di pedoni, ciclisti e utenti vulnerabili",
            "Veicoli eccezionali, trasporti eccezionali e macchine agricole",
            "Educazione stradale: rispetto della vita e comportamento corretto"};
        TXmlIni ini(p, "C:\\Plarn\\Program\\argomenti.xsl");
        ini.WriteInteger("Lista_Argomenti", "Totale", 31);
        for (int i = 0; i < 31; ++i) {
            const std::string n = "00" + std::to_string(i);
            const std::string s = "Argomento_" + n.substr(n.size() - 2);
            ini.WriteString(s, "Testo0", titles[i]);
            ini.WriteString(
                s, "Indice",
                std::string(1, static_cast<char>('A' + i / 10)) + std::to_string(10 + i));
            ini.WriteString(s, "Argomento", std::string(1, static_cast<char>('A' + i % 26)));
            ini.WriteString(s, "SubArgomento", std::to_string(1 + i % 9) + "0");
        }
        return p;
    }();
    return path;
}

// InizializzaOpzioni over a full settings file: the start-up load (file read, 50 keys,
// classroom check, the level-5 log call that flow tracing off drops).
void BM_LoadFullSettingsFile(benchmark::State& st) {
    const std::string path = fullSettingsFile();
    SystemPlatform platform;
    Switches switches;
    RunLog log(platform, folder().folder(), switches);
    SettingsModel model(path, log, folder().file("Plarn.ini"));
    ProgramState state(folder().folder());
    MainWindowValues window;
    for (auto _ : st) {
        model.InizializzaOpzioni(state, switches, window, {1920, 1080, 800, 600});
        switches.CkProgFlowLog = false;  // keep the log out of the measurement
        benchmark::DoNotOptimize(state.counters.data());
    }
    if (state.counters[27] != 17 + 27 || window.sheetCount != 12)
        st.SkipWithError("wrong values");
}
BENCHMARK(BM_LoadFullSettingsFile)->Unit(benchmark::kMicrosecond);

// Opening the settings file and reading every key of the table generically.
void BM_IniFileOpenAndReadAllKeys(benchmark::State& st) {
    const std::string path = fullSettingsFile();
    const auto keys = settingsTable().readingOrder();
    for (auto _ : st) {
        const IniFile ini(path);
        std::size_t total = 0;
        for (const SettingKey* k : keys)
            total += ini.readString(k->section, k->key, "").size();
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_IniFileOpenAndReadAllKeys)->Unit(benchmark::kMicrosecond);

// What the topic-list loader does with the store: open, read "Totale", then the four keys of
// each of the 31 topic sections, and free it.
void BM_OpenAndRead31TopicList(benchmark::State& st) {
    const std::string path = topicListFile();
    for (auto _ : st) {
        TXmlIni ini(path);
        const int n = ini.ReadInteger("Lista_Argomenti", "Totale", -1);
        std::size_t total = 0;
        for (int i = 0; i < n; ++i) {
            const std::string d = "00" + std::to_string(i);
            const std::string s = "Argomento_" + d.substr(d.size() - 2);
            total += ini.ReadString(s, "Testo0", "").size();
            total += ini.ReadString(s, "Indice", "").size();
            total += ini.ReadString(s, "Argomento", "").substr(0, 1).size();
            total += ini.ReadString(s, "SubArgomento", "").substr(0, 2).size();
        }
        benchmark::DoNotOptimize(total);
        if (n != 31)
            st.SkipWithError("wrong topic count");
    }
}
BENCHMARK(BM_OpenAndRead31TopicList)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

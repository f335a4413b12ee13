#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue.h"
#include "core/switches.h"

namespace vexora::settings {

// How a key's value is stored in the settings file.
enum class SettingType : unsigned char { String, Integer, Boolean };

// One key of the settings file with its default. The INI layer only stores values; every
// section, key name and default the program uses is in this table.
struct SettingKey {
    std::string section;
    std::string key;
    SettingType type = SettingType::String;
    // Default for String keys.
    std::string defaultText;
    // Default for Integer and Boolean keys (Boolean: 1 or 0).
    int defaultNumber = 0;
    // True when the default is computed at load time (window position: centred).
    bool computedDefault = false;
    // The live switch a Boolean key feeds, or nullptr.
    bool Switches::*switchMember = nullptr;
};

// Section names of the settings file.
inline constexpr std::string_view kSectionAutoscuola = "Autoscuola";
inline constexpr std::string_view kSectionStatus = "Status";
inline constexpr std::string_view kSectionPrint = "Print";
inline constexpr std::string_view kSectionPaths = "Paths";
inline constexpr std::string_view kSectionDebug = "Debug";

// Every key of the settings file, by role.
struct SettingsTable {
    SettingKey schoolName;     // Autoscuola/Nome
    SettingKey schoolAddress;  // Autoscuola/Indirizzo
    // Status/"Progressivo Esa <code>", "Progressivo Arg <code>" in counter order:
    // index = counterIndex(category, kind).
    std::array<SettingKey, kCounterCount> counters;
    SettingKey windowLeft;     // Status/Pos. finestra L (centring default)
    SettingKey windowTop;      // Status/Pos. finestra T (centring default)
    SettingKey sheetCount;     // Print/Num. schede
    SettingKey copyCount;      // Print/Num. copie
    SettingKey oneAnswerKey;   // Print/Solo un correttore -> CkUnSoloCorrettore
    SettingKey printer;        // Print/Stampante
    SettingKey duplex;         // Print/Stampa in duplex -> CkSkedaDuplex
    SettingKey noPrintSetup;   // Print/No print setup -> CkNoPrntSetup
    SettingKey figuresFolder;  // Paths/Figure
    std::array<SettingKey, kDebugSwitchCount> debug;  // Debug/<check box>, debugSwitches() order

    // Every key in the order InizializzaOpzioni reads them (file order of reading).
    std::vector<const SettingKey*> readingOrder() const;
};

// The one table (built once from the catalogue and the switch table).
const SettingsTable& settingsTable();

// The classroom file (read only): section "Autoscuola", keys "Nome autoscuola" and
// "Indirizzo autoscuola", defaults the school-name and school-address defaults.
struct ClassroomKeys {
    SettingKey schoolName;
    SettingKey schoolAddress;
};
const ClassroomKeys& classroomKeys();

}  // namespace vexora::settings

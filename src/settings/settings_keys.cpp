#include "settings/settings_keys.h"

#include "core/program_state.h"

namespace vexora::settings {
namespace {

SettingKey stringKey(std::string_view section, std::string_view key, std::string_view def) {
    SettingKey k;
    k.section = section;
    k.key = key;
    k.type = SettingType::String;
    k.defaultText = def;
    return k;
}

SettingKey integerKey(std::string_view section, std::string key, int def) {
    SettingKey k;
    k.section = section;
    k.key = std::move(key);
    k.type = SettingType::Integer;
    k.defaultNumber = def;
    return k;
}

SettingKey centredKey(std::string_view section, std::string_view key) {
    SettingKey k = integerKey(section, std::string(key), 0);
    k.computedDefault = true;
    return k;
}

SettingKey booleanKey(std::string_view section, std::string_view key, bool def,
                      bool Switches::*member) {
    SettingKey k;
    k.section = section;
    k.key = key;
    k.type = SettingType::Boolean;
    k.defaultNumber = def ? 1 : 0;
    k.switchMember = member;
    return k;
}

SettingsTable buildTable() {
    SettingsTable t;
    t.schoolName = stringKey(kSectionAutoscuola, "Nome", defaultSchoolName());
    t.schoolAddress = stringKey(kSectionAutoscuola, "Indirizzo", defaultSchoolAddress());
    for (const TModalitaQuiz m : workingCategories()) {
        for (const TTipoDiStampa kind : {tdsEsame, tdsArgomento}) {
            t.counters[static_cast<std::size_t>(counterIndex(m, kind))] =
                integerKey(kCounterSection, counterKey(m, kind), 1);
        }
    }
    t.windowLeft = centredKey(kSectionStatus, "Pos. finestra L");
    t.windowTop = centredKey(kSectionStatus, "Pos. finestra T");
    t.sheetCount = stringKey(kSectionPrint, "Num. schede", "1");
    t.copyCount = stringKey(kSectionPrint, "Num. copie", "1");
    t.oneAnswerKey =
        booleanKey(kSectionPrint, "Solo un correttore", false, &Switches::CkUnSoloCorrettore);
    t.printer = stringKey(kSectionPrint, "Stampante", "");
    t.duplex = booleanKey(kSectionPrint, "Stampa in duplex", true, &Switches::CkSkedaDuplex);
    t.noPrintSetup = booleanKey(kSectionPrint, "No print setup", true, &Switches::CkNoPrntSetup);
    t.figuresFolder = stringKey(kSectionPaths, "Figure", defaultFiguresFolder());
    const auto& switches = debugSwitches();
    for (std::size_t i = 0; i < switches.size(); ++i) {
        t.debug[i] = booleanKey(kSectionDebug, switches[i].key, switches[i].defaultValue,
                                switches[i].member);
    }
    return t;
}

}  // namespace

std::vector<const SettingKey*> SettingsTable::readingOrder() const {
    std::vector<const SettingKey*> out{&schoolName, &schoolAddress};
    for (const auto& c : counters)
        out.push_back(&c);
    for (const SettingKey* k : {&windowLeft, &windowTop, &sheetCount, &copyCount, &oneAnswerKey,
                                &printer, &duplex, &noPrintSetup, &figuresFolder}) {
        out.push_back(k);
    }
    for (const auto& d : debug)
        out.push_back(&d);
    return out;
}

const SettingsTable& settingsTable() {
    static const SettingsTable table = buildTable();
    return table;
}

const ClassroomKeys& classroomKeys() {
    static const ClassroomKeys keys{
        stringKey(kSectionAutoscuola, "Nome autoscuola", defaultSchoolName()),
        stringKey(kSectionAutoscuola, "Indirizzo autoscuola", defaultSchoolAddress())};
    return keys;
}

}  // namespace vexora::settings

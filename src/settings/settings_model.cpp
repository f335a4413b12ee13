#include "settings/settings_model.h"

#include <filesystem>
#include <stdexcept>

#include "core/file_util.h"
#include "settings/integer_text.h"
#include "settings/settings_keys.h"

namespace vexora::settings {
namespace {

std::string readString(const IniFile& ini, const SettingKey& k) {
    return ini.readString(k.section, k.key, k.defaultText);
}

int readInteger(const IniFile& ini, const SettingKey& k) {
    return ini.readInteger(k.section, k.key, k.defaultNumber);
}

int readInteger(const IniFile& ini, const SettingKey& k, int computedDefault) {
    return ini.readInteger(k.section, k.key, computedDefault);
}

bool readBool(const IniFile& ini, const SettingKey& k) {
    return ini.readBool(k.section, k.key, k.defaultNumber != 0);
}

void readSwitch(const IniFile& ini, const SettingKey& k, Switches& switches) {
    switches.*(k.switchMember) = readBool(ini, k);
}

void writeSwitch(IniFile& ini, const SettingKey& k, const Switches& switches) {
    ini.writeBool(k.section, k.key, switches.*(k.switchMember));
}

}  // namespace

SettingsModel::SettingsModel(std::string settingsPath, RunLog& log, std::string classroomPath,
                             IniFile::Writer writer)
    : settingsPath_(std::move(settingsPath)),
      log_(log),
      classroomPath_(std::move(classroomPath)),
      writer_(std::move(writer)) {}

IniFile SettingsModel::openSettings() const {
    return IniFile(settingsPath_, writer_);
}

int SettingsModel::centred(int screenSize, int windowSize) {
    // C++ integer division rounds toward zero, as the centring rule wants.
    return (screenSize - windowSize) / 2;
}

bool SettingsModel::schoolNameAsksForClassroom(std::string_view schoolName) {
    if (schoolName == defaultSchoolName())
        return true;
    for (const char c : schoolName) {
        if (static_cast<unsigned char>(c) > 0x20)
            return false;
    }
    return true;  // empty or blanks only
}

void SettingsModel::readDebug(const IniFile& ini, Switches& switches) const {
    for (const SettingKey& k : settingsTable().debug)
        readSwitch(ini, k, switches);
}

std::pair<int, int> SettingsModel::windowPosition(const ScreenGeometry& screen) const {
    const SettingsTable& t = settingsTable();
    const IniFile ini = openSettings();
    return {readInteger(ini, t.windowLeft, centred(screen.screenWidth, screen.windowWidth)),
            readInteger(ini, t.windowTop, centred(screen.screenHeight, screen.windowHeight))};
}

void SettingsModel::InizializzaOpzioni(ProgramState& state, Switches& switches,
                                       MainWindowValues& window,
                                       const ScreenGeometry& screen) const {
    const SettingsTable& t = settingsTable();
    {
        // 1. Open the settings file.
        const IniFile ini = openSettings();
        // 2. School name and address.
        state.schoolName = readString(ini, t.schoolName);
        state.schoolAddress = readString(ini, t.schoolAddress);
        // 3. The 28 counters in counter order.
        for (std::size_t i = 0; i < t.counters.size(); ++i) {
            state.counters[i] = readInteger(ini, t.counters[i]);
        }
        // 4. Window position, centred by default.
        window.left =
            readInteger(ini, t.windowLeft, centred(screen.screenWidth, screen.windowWidth));
        window.top =
            readInteger(ini, t.windowTop, centred(screen.screenHeight, screen.windowHeight));
        // 5. Sheet and copy counts: the texts, and the texts as integers (1 when not one).
        window.sheetCountText = readString(ini, t.sheetCount);
        window.sheetCount = toIntegerOr(window.sheetCountText, 1);
        window.copyCountText = readString(ini, t.copyCount);
        window.copyCount = toIntegerOr(window.copyCountText, 1);
        // 6. One answer key, printer, duplex, print setup.
        readSwitch(ini, t.oneAnswerKey, switches);
        window.printer = readString(ini, t.printer);
        readSwitch(ini, t.duplex, switches);
        readSwitch(ini, t.noPrintSetup, switches);
        // 7. Figures folder; the file is closed at the end of this block.
        state.figuresFolder = readString(ini, t.figuresFolder);
        // 8. CaricaOpzioniDebug (the same file content; reading it again would change nothing).
        readDebug(ini, switches);
    }
    // 9. The classroom file is consulted only for a default or blank school name.
    std::error_code ec;
    const bool consult = schoolNameAsksForClassroom(state.schoolName) &&
                         std::filesystem::is_regular_file(pathFromUtf8(classroomPath_), ec);
    if (consult) {
        // 10. Read school name and address from the classroom file; nothing is written back.
        log_.ScriviErrorLog("", 5, kLogClassroomRead);
        const IniFile classroom(classroomPath_);
        const ClassroomKeys& c = classroomKeys();
        state.schoolName = readString(classroom, c.schoolName);
        state.schoolAddress = readString(classroom, c.schoolAddress);
    } else {
        // 11.
        log_.ScriviErrorLog("", 5, kLogLoaded);
    }
}

void SettingsModel::CaricaOpzioniDebug(Switches& switches) const {
    readDebug(openSettings(), switches);
}

void SettingsModel::writeCounters(IniFile& ini, const ProgramState& state) const {
    const SettingsTable& t = settingsTable();
    for (std::size_t i = 0; i < t.counters.size(); ++i) {
        ini.writeInteger(t.counters[i].section, t.counters[i].key, state.counters[i]);
    }
}

void SettingsModel::SalvaProgressivi(const ProgramState& state) const {
    IniFile ini = openSettings();
    writeCounters(ini, state);
}

void SettingsModel::SalvaOpzioni(const OptionsFormValues& form, const Switches& switches,
                                 const ProgramState& state) const {
    if (state.runInProgress())
        throw std::runtime_error(std::string(runInProgressRefusal()));
    SalvaOpzioni(form, switches);
}

void SettingsModel::SalvaOpzioni(const OptionsFormValues& form, const Switches& switches) const {
    const SettingsTable& t = settingsTable();
    log_.ScriviErrorLog("", 4, kLogOkSave);
    IniFile ini = openSettings();
    ini.writeString(t.schoolName.section, t.schoolName.key, form.schoolName);
    ini.writeString(t.schoolAddress.section, t.schoolAddress.key, form.schoolAddress);
    ini.writeString(t.printer.section, t.printer.key, form.printer);
    writeSwitch(ini, t.duplex, switches);
    writeSwitch(ini, t.noPrintSetup, switches);
    for (const SettingKey& k : t.debug)
        writeSwitch(ini, k, switches);
}

void SettingsModel::SalvaChiusura(const ProgramState& state, const Switches& switches,
                                  const MainWindowValues& window, WindowPosition position) const {
    const SettingsTable& t = settingsTable();
    log_.ScriviErrorLog("", 4, kLogCloseSave);
    IniFile ini = openSettings();
    writeCounters(ini, state);
    if (position == WindowPosition::Save) {
        ini.writeInteger(t.windowLeft.section, t.windowLeft.key, window.left);
        ini.writeInteger(t.windowTop.section, t.windowTop.key, window.top);
    }
    ini.writeString(t.sheetCount.section, t.sheetCount.key, window.sheetCountText);
    ini.writeString(t.copyCount.section, t.copyCount.key, window.copyCountText);
    writeSwitch(ini, t.oneAnswerKey, switches);
    ini.writeString(t.printer.section, t.printer.key, window.printer);
}

std::string counterSaveFailedMessage(const std::string& file, const std::string& detail) {
    return "Impossibile salvare la numerazione delle schede nel file \"" + file + "\"" +
           (detail.empty() ? std::string(".") : ":\r\n" + detail) +
           "\r\n\r\nAl prossimo avvio i numeri delle schede ripartiranno da quelli salvati "
           "l'ultima volta: le schede riceveranno numeri gi\u00e0 stampati. Controllare che il "
           "file delle impostazioni si possa scrivere (permessi, spazio sul disco).";
}

std::string optionsSaveFailedMessage(const std::string& file, const std::string& detail) {
    return "Impossibile salvare le opzioni nel file \"" + file + "\"" +
           (detail.empty() ? std::string(".") : ":\r\n" + detail) +
           "\r\n\r\nLe opzioni non sono state salvate. Controllare che il file si possa scrivere "
           "(permessi, spazio sul disco).";
}

}  // namespace vexora::settings

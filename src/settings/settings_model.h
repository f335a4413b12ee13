#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "core/program_state.h"
#include "core/run_log.h"
#include "core/switches.h"
#include "settings/ini_file.h"

namespace vexora::settings {

// Screen and main-window sizes, for the centring default of the window position.
struct ScreenGeometry {
    int screenWidth = 0;
    int screenHeight = 0;
    int windowWidth = 0;
    int windowHeight = 0;
};

// The settings values that land in the main window, plus the printer text of the options
// window's cbStampanti (read at start-up, written by OK and at closing).
struct MainWindowValues {
    int left = 0;                     // Pos. finestra L
    int top = 0;                      // Pos. finestra T
    std::string sheetCountText{"1"};  // SeSchede text (Num. schede)
    int sheetCount = 1;               // UdSchede: the text as an integer, 1 when it is not one
    std::string copyCountText{"1"};   // SeCopie text (Num. copie)
    int copyCount = 1;                // UdCopie
    std::string printer;              // cbStampanti text (Stampante)
};

// The fields of the options window that OK writes besides the switches.
struct OptionsFormValues {
    std::string schoolName;     // Ed_NmScuola
    std::string schoolAddress;  // Ed_InScuola
    std::string printer;        // cbStampanti text
};

// Whether the closing save writes the main window's position ("Pos. finestra L" and
// "T"): a program without the window leaves the keys as they are.
enum class WindowPosition { Save, Leave };

// Log lines of the settings routines.
inline constexpr std::string_view kLogClassroomRead =
    "FormOpzioni.InizializzaOpzioni (lettura Plarn.ini)";
inline constexpr std::string_view kLogLoaded = "FormOpzioni.InizializzaOpzioni (Loaded)";
inline constexpr std::string_view kLogOkSave = "FormOpzioni.BtOkClick (Salva opzioni)";
inline constexpr std::string_view kLogCloseSave = "TFormStampe.FormClose (SaveIni)";

// The window-free half of the settings model: loading the settings file
// into the program state, the live switches and the main-window values, and the three
// saves. Every routine opens the settings file, reads or writes, and closes it again.
// A write the platform refuses throws IniWriteError ("Unable to write to <path>"); the save
// stops at that key and the keys after it are not written.
class SettingsModel {
public:
    // settingsPath: the settings file (settingsFilePath() of the executable in the program);
    // classroomPath: the read-only classroom file; writer: how the settings file is written
    // (writeFileAtomically by default; tests inject failures).
    SettingsModel(std::string settingsPath, RunLog& log,
                  std::string classroomPath = std::string(classroomFilePath()),
                  IniFile::Writer writer = {});

    const std::string& settingsPath() const { return settingsPath_; }
    const std::string& classroomPath() const { return classroomPath_; }

    // InizializzaOpzioni steps 1 to 11: school name and address, the 28 counters, window
    // position (centred by default), sheet and copy counts, the one-key choice, printer,
    // duplex, print setup, figures folder, the eleven debug switches, then the classroom
    // rule with its level-5 log line. Never fails: missing or bad values read as defaults.
    void InizializzaOpzioni(ProgramState& state, Switches& switches, MainWindowValues& window,
                            const ScreenGeometry& screen) const;

    // CaricaOpzioniDebug: the eleven switches of section "Debug" from the settings file.
    void CaricaOpzioniDebug(Switches& switches) const;
    // The main window's saved left and top (InizializzaOpzioni step 4 alone), for placing
    // the window before it is first shown.
    std::pair<int, int> windowPosition(const ScreenGeometry& screen) const;

    // SalvaProgressivi: writes the 28 counters to section "Status" in counter order.
    void SalvaProgressivi(const ProgramState& state) const;

    // The OK button's save: log line, then Nome, Indirizzo, Stampante, Stampa in duplex,
    // No print setup and the eleven Debug keys, in this order.
    void SalvaOpzioni(const OptionsFormValues& form, const Switches& switches) const;
    // The same, refused (std::runtime_error, nothing written) while a print run holds the
    // category: the run writes the counters at its end.
    void SalvaOpzioni(const OptionsFormValues& form, const Switches& switches,
                      const ProgramState& state) const;

    // The main window's closing save: log line, then the 28 counters, Pos. finestra L and T
    // (unless WindowPosition::Leave), Num. schede, Num. copie, Solo un correttore and
    // Stampante, in this order.
    void SalvaChiusura(const ProgramState& state, const Switches& switches,
                       const MainWindowValues& window,
                       WindowPosition position = WindowPosition::Save) const;

    // The name rule of the classroom file: true when the school name is the default exactly
    // ("Vedovade ORVA" + U+0008, case-sensitive), empty, or blanks only (characters up to
    // U+0020, as a trim of blanks and control characters). The file must also exist to be read.
    static bool schoolNameAsksForClassroom(std::string_view schoolName);

    // (screen - window) / 2, rounded toward zero.
    static int centred(int screenSize, int windowSize);

private:
    IniFile openSettings() const;
    void readDebug(const IniFile& ini, Switches& switches) const;
    void writeCounters(IniFile& ini, const ProgramState& state) const;

    std::string settingsPath_;
    RunLog& log_;
    std::string classroomPath_;
    IniFile::Writer writer_;
};

// The message for counters that could not be written to the settings file: the sheet
// numbers handed out since the last save will be handed out again.
// file: the settings file; detail: what the system said (may be empty).
std::string counterSaveFailedMessage(const std::string& file, const std::string& detail);

// The message for options (OK of the options window) that could not be written.
std::string optionsSaveFailedMessage(const std::string& file, const std::string& detail);

}  // namespace vexora::settings

#include "data/program_lifecycle.h"

namespace vexora::data {

std::string programTitle() { return std::string("Vexora ver. ") + VEXORA_VERSION; }

void startProgram(const settings::SettingsModel& settings, ProgramState& state,
                  Switches& switches, settings::MainWindowValues& window, RunLog& log,
                  const settings::ScreenGeometry& screen, std::string_view title) {
    state.currentCategory = mqNone;
    settings.InizializzaOpzioni(state, switches, window, screen);
    if (switches.CkNoAppendLog) log.deleteCurrentFile();
    log.ScriviErrorLog(">START:", 4, "TFormStampe.FormShow (" + std::string(title) + ")");
}

void shutdownProgram(const settings::SettingsModel& settings, const ProgramState& state,
                     const Switches& switches, const settings::MainWindowValues& window,
                     settings::WindowPosition position) {
    settings.SalvaChiusura(state, switches, window, position);
}

}  // namespace vexora::data

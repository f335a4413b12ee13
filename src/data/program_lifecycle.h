#pragma once

#include <string>
#include <string_view>

#include "core/program_state.h"
#include "core/run_log.h"
#include "core/switches.h"
#include "settings/settings_model.h"

namespace vexora::data {

// "Vexora ver. " + the four-part version of this build.
std::string programTitle();

// The window-free part of showing the main window: loads the settings into state,
// switches and window values, starts a fresh month log when CkNoAppendLog is set, and
// writes the start line ">START:" "TFormStampe.FormShow (" + title + ")".
void startProgram(const settings::SettingsModel& settings, ProgramState& state,
                  Switches& switches, settings::MainWindowValues& window, RunLog& log,
                  const settings::ScreenGeometry& screen, std::string_view title);

// The save at the main window's closing (counters, window position, sheet and copy
// counts, the one-key choice, the printer). Throws the settings write error. A program
// without the main window passes WindowPosition::Leave.
void shutdownProgram(const settings::SettingsModel& settings, const ProgramState& state,
                     const Switches& switches, const settings::MainWindowValues& window,
                     settings::WindowPosition position = settings::WindowPosition::Save);

}  // namespace vexora::data

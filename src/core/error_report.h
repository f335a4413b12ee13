#pragma once

#include <cstdint>
#include <string_view>

#include "core/run_log.h"
#include "core/switches.h"
#include "core/user_interaction.h"

namespace vexora {

// The services a routine needs to report its outcome: the run log, the live switches
// and the user. Held by reference by every context object of the program.
struct Reporting {
    RunLog& log;
    const Switches& switches;
    UserInteraction& ui;

    // A caught error: with CkNoExceptMsg on, a log line of the given level made of
    // logPrefix + message; otherwise a message box of boxPrefix + message.
    void error(std::uint8_t level, std::string_view logPrefix, std::string_view boxPrefix,
               std::string_view message) const;
    // A flow-trace line (level 4 unless told).
    void trace(std::string_view text, std::uint8_t level = 4) const;
};

}  // namespace vexora

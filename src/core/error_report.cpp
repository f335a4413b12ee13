#include "core/error_report.h"

#include <string>

namespace vexora {

void Reporting::error(std::uint8_t level, std::string_view logPrefix, std::string_view boxPrefix,
                      std::string_view message) const {
    if (switches.CkNoExceptMsg) {
        std::string line(logPrefix);
        line += message;
        log.ScriviErrorLog("", level, line);
    } else {
        std::string text(boxPrefix);
        text += message;
        ui.messageBox(text);
    }
}

void Reporting::trace(std::string_view text, std::uint8_t level) const {
    log.ScriviErrorLog("", level, text);
}

}  // namespace vexora

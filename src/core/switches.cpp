#include "core/switches.h"

namespace vexora {

const std::array<DebugSwitchInfo, kDebugSwitchCount>& debugSwitches() {
    static const std::array<DebugSwitchInfo, kDebugSwitchCount> table = {{
        {"CkStampaSuPdf", false, "Stampa tutto su files PDF", &Switches::CkStampaSuPdf},
        {"CkSaveCorrTxt", false, "Salvataggio correttori in formato testo",
         &Switches::CkSaveCorrTxt},
        {"CkRandomArgom", true, "Mischia domande sulle schede argomento",
         &Switches::CkRandomArgom},
        {"CkRandomEsame", false, "Mischia domande sulle schede esame", &Switches::CkRandomEsame},
        {"CkAddRispText", false, "Check risposta F a fine testo domande",
         &Switches::CkAddRispText},
        {"CkRispVisible", false, "Check di risposta F gi\u00e0 compilata",
         &Switches::CkRispVisible},
        {"CkAddInfoText", false, "Informazioni di debug a fine testo domande",
         &Switches::CkAddInfoText},
        {"CkNoExceptMsg", true, "Non visualizzare eccezioni (invio a ErrorLog)",
         &Switches::CkNoExceptMsg},
        {"CkProgFlowLog", false, "Traccia program flow su ErrorLog", &Switches::CkProgFlowLog},
        {"CkNoDebugMssg", true, "Non visualizzare messaggi di debug", &Switches::CkNoDebugMssg},
        {"CkNoAppendLog", true, "Nuovo ErrorLog ad ogni riavvio", &Switches::CkNoAppendLog},
    }};
    return table;
}

void Switches::restoreDebugDefaults() {
    for (const auto& s : debugSwitches()) this->*(s.member) = s.defaultValue;
}

}  // namespace vexora

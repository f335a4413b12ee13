#pragma once

#include <array>
#include <string_view>

namespace vexora {

// The live switches: the check boxes of the options and main windows. Every layer
// holds a reference to the one object and reads a value at the moment it needs it.
struct Switches {
    // Section "Debug", in file order.
    bool CkStampaSuPdf = false;
    bool CkSaveCorrTxt = false;
    bool CkRandomArgom = true;
    bool CkRandomEsame = false;
    bool CkAddRispText = false;
    bool CkRispVisible = false;
    bool CkAddInfoText = false;
    bool CkNoExceptMsg = true;
    bool CkProgFlowLog = false;
    bool CkNoDebugMssg = true;
    bool CkNoAppendLog = true;
    // Section "Print".
    bool CkUnSoloCorrettore = false;
    bool CkSkedaDuplex = true;
    bool CkNoPrntSetup = true;

    // Puts the eleven debug switches back to their defaults ("Ripristina predefiniti").
    void restoreDebugDefaults();
};

// One debug switch: its settings key (the check box name), default and caption.
struct DebugSwitchInfo {
    std::string_view key;
    bool defaultValue;
    std::string_view caption;
    bool Switches::*member;
};

inline constexpr int kDebugSwitchCount = 11;
// The eleven debug switches in settings-file order.
const std::array<DebugSwitchInfo, kDebugSwitchCount>& debugSwitches();

}  // namespace vexora

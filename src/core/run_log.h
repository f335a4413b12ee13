#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/platform.h"
#include "core/switches.h"

namespace vexora {

// The monthly run log: "ErrorLog/yyyymm.log" beside the program, Windows-1252,
// CR LF. Writing never throws and never shows anything; a failed write is reported
// only by the level-0 tone.
class RunLog {
public:
    // programFolder: folder of the executable (trailing separator optional).
    // switches: read at every call for CkProgFlowLog.
    RunLog(PlatformServices& platform, std::string programFolder, const Switches& switches);

    // Writes one entry. An empty prefix is replaced by the label word of the level.
    void ScriviErrorLog(std::string_view prefix, std::uint8_t level,
                        std::string_view message) noexcept;
    // Plays the tone of a level (none for levels without one).
    void SegnaleAcustico(std::uint8_t level) noexcept;

    // Receives the level and message of every error and alert entry (levels 0 to 2), so
    // a program without windows can show them too; empty: none.
    using Echo = std::function<void(std::uint8_t level, std::string_view message)>;
    void setEcho(Echo echo) { echo_ = std::move(echo); }

    // "ErrorLog" folder beside the program, without trailing separator.
    std::string folderPath() const;
    // The file the current month's entries go to.
    std::string currentFilePath() const;
    // Deletes the current month's file (fresh log at start-up); true when it is gone.
    bool deleteCurrentFile() noexcept;

    // Label word of a level (">ERRORE:", ">ALERTS:", ">STATUS:").
    static std::string_view labelWord(std::uint8_t level);
    // Formats one entry line (UTF-8, without the line end).
    static std::string formatEntry(const LocalDateTime& t, std::string_view prefix,
                                   std::string_view message);

private:
    std::string fileFor(const LocalDateTime& t) const;

    PlatformServices& platform_;
    std::string programFolder_;
    const Switches& switches_;
    Echo echo_;
};

}  // namespace vexora

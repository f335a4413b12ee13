#include "core/run_log.h"

#include <cstdio>

#include "core/codepage.h"

namespace vexora {

RunLog::RunLog(PlatformServices& platform, std::string programFolder, const Switches& switches)
    : platform_(platform),
      programFolder_(withTrailingSeparator(std::move(programFolder))),
      switches_(switches) {}

std::string_view RunLog::labelWord(std::uint8_t level) {
    if (level == 2) return ">ALERTS:";
    if (level == 3 || level == 4) return ">STATUS:";
    return ">ERRORE:";
}

std::string RunLog::formatEntry(const LocalDateTime& t, std::string_view prefix,
                                std::string_view message) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d %02d:%02d:%02d", t.day % 100, t.hour % 100,
                  t.minute % 100, t.second % 100);
    std::string line = stamp;
    line += ' ';
    line += prefix;
    // "%-8s": fill up to eight characters; a longer prefix is written whole.
    for (std::size_t n = utf8Length(prefix); n < 8; ++n) line += ' ';
    line += ' ';
    line += message;
    return line;
}

std::string RunLog::folderPath() const { return programFolder_ + "ErrorLog"; }

std::string RunLog::fileFor(const LocalDateTime& t) const {
    char name[32];
    std::snprintf(name, sizeof name, "%04d%02d.log", t.year % 10000, t.month % 100);
    return folderPath() + std::string(pathSeparator()) + name;
}

std::string RunLog::currentFilePath() const { return fileFor(platform_.now()); }

bool RunLog::deleteCurrentFile() noexcept {
    try {
        const std::string path = currentFilePath();
        if (!platform_.fileExists(path)) return true;
        return platform_.removeFile(path);
    } catch (...) {
        return false;
    }
}

void RunLog::SegnaleAcustico(std::uint8_t level) noexcept {
    try {
        switch (level) {
            case 0: platform_.beep(440, 25); break;
            case 2: platform_.beep(1000, 15); break;
            case 3: platform_.beep(1760, 5); break;
            default: break;
        }
    } catch (...) {
    }
}

void RunLog::ScriviErrorLog(std::string_view prefix, std::uint8_t level,
                            std::string_view message) noexcept {
    try {
        const std::string_view used = prefix.empty() ? labelWord(level) : prefix;
        SegnaleAcustico(level);
        if (echo_ && level <= 2) {
            try {
                echo_(level, message);
            } catch (...) {
                // Showing the entry is a courtesy; writing it still matters.
            }
        }
        if (!switches_.CkProgFlowLog && level >= 3) return;

        const std::string folder = folderPath();
        if (!platform_.directoryExists(folder)) {
            if (!platform_.createDirectories(folder, true)) {
                SegnaleAcustico(0);
                return;
            }
        }
        const std::string file = fileFor(platform_.now());
        std::string text;
        if (level == 5) text = "\r\n\r\n\r\n";
        text += formatEntry(platform_.now(), used, message);
        text += "\r\n";
        if (!platform_.appendToFile(file, utf8ToCp1252(text))) SegnaleAcustico(0);
    } catch (...) {
        SegnaleAcustico(0);
    }
}

}  // namespace vexora

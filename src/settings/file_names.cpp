#include "settings/file_names.h"

#include "core/platform.h"

namespace vexora::settings {
namespace {

// Index of the first character of the file-name part.
std::size_t fileNameStart(std::string_view path) {
    const auto sep = path.find_last_of("/\\");
    return sep == std::string_view::npos ? 0 : sep + 1;
}

}  // namespace

std::string changeFileExt(std::string_view path, std::string_view newExtension) {
    const std::size_t start = fileNameStart(path);
    const auto dot = path.rfind('.');
    const std::size_t stemEnd = (dot == std::string_view::npos || dot < start) ? path.size() : dot;
    std::string out(path.substr(0, stemEnd));
    out += newExtension;
    return out;
}

std::string extractFileName(std::string_view path) {
    return std::string(path.substr(fileNameStart(path)));
}

std::string settingsFilePath(std::string_view executablePath) {
    return changeFileExt(executablePath, ".ini");
}

std::string defaultSettingsFilePath() {
    return settingsFilePath(executablePath());
}

}  // namespace vexora::settings

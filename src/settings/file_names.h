#pragma once

#include <string>
#include <string_view>

namespace vexora::settings {

// The path with its extension (from the last dot of the file-name part) replaced by
// newExtension; a name without extension gets newExtension appended. Both '/' and '\\'
// separate folders, so Windows paths behave the same on every system.
// changeFileExt("C:\\P\\Vexora.exe", ".ini") == "C:\\P\\Vexora.ini".
std::string changeFileExt(std::string_view path, std::string_view newExtension);

// The file-name part of a path (folders removed): "C:\\x\\argomenti.xsl" -> "argomenti.xsl".
std::string extractFileName(std::string_view path);

// The settings file of a program: its path with the extension replaced by ".ini"
// ("/opt/v/Vexora" -> "/opt/v/Vexora.ini", "Vexora.exe" -> "Vexora.ini").
std::string settingsFilePath(std::string_view executablePath);

// The settings file of the running executable.
std::string defaultSettingsFilePath();

}  // namespace vexora::settings

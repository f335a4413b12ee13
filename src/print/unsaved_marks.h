#pragma once

#include <string>
#include <vector>

namespace vexora::print {

// The message for a print history that could not be saved after a run that printed
// sheets: the file, the sheets whose marks are only in memory, and what that means for
// the user (the marks are lost if the program ends or the category changes first).
std::string unsavedMarksMessage(const std::string& file, const std::vector<std::string>& labels);

}  // namespace vexora::print

#pragma once

#include <string>
#include <vector>

namespace vexora::print {

// What the outputs of a print run could not do, gathered by the renderers for the
// summary at the run's end: a school never reads the run log, so nothing of this may
// stay there alone.
struct RunNotices {
    // One line per sheet or answer key not written: what it was and why (the reason
    // names the file).
    std::vector<std::string> failedOutputs;
    // Figure files that were missing (each once, in the order first met); their sheets
    // printed an empty frame.
    std::vector<std::string> missingFigures;
};

// What the summary box of a run says.
struct RunSummary {
    int requested = 0;
    std::vector<std::string> printedLabels;
    int failedSheets = 0;
    int printedKeys = 0;
    int failedKeys = 0;
    bool interrupted = false;
    bool historySaved = false;
    std::string historyFile;
    RunNotices notices;
};

// True when the run must end with a summary box: a sheet or key not printed, or a
// figure missing. A run interrupted by the user without failures needs none.
bool needsRunSummary(const RunSummary& run);

// The Italian text of that box: what was and was not printed, each failure with its
// reason, the missing figures, and what happened to the print history.
std::string runSummaryMessage(const RunSummary& run);

}  // namespace vexora::print

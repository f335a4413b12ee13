#pragma once

#include <string>

#include "core/platform.h"
#include "core/program_state.h"
#include "data/question_data.h"

namespace vexora::data {

// The three data files of a category, completed with their folder.
struct CategoryFiles {
    std::string master;
    std::string printHistory;
    std::string topicList;
};

// Looks the category's files up: the data folder first, then the program folder; a
// print history found in neither is placed in the data folder (where it is created).
CategoryFiles locateCategoryFiles(TModalitaQuiz category, const ProgramState& state,
                                  PlatformServices& platform);

// What opening a category made possible (the two sheet-kind buttons follow it).
struct CategoryOpening {
    bool masterLoaded = false;
    bool printLoaded = false;
    bool examPossible = false;
    bool topicPossible = false;
    // A print run holds the category: nothing was opened and the run's category stays
    // current.
    bool refusedDuringRun = false;
    // Why a sheet kind is not possible, in one Italian line naming the file and where it
    // was looked for; empty when both are possible.
    std::string problem;
};

// InitAndCountDb: opens the current category's master, print history and topic list,
// applies the automatic exam reset when the exam counter has reached the category's
// threshold, and logs the outcome. Does nothing for a non-working category.
CategoryOpening InitAndCountDb(ProgramState& state, QuestionData& data);

}  // namespace vexora::data

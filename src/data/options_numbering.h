#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/catalogue.h"
#include "core/program_state.h"
#include "data/question_data.h"

namespace vexora::data {

// One push-button tab of the options window's category row (PcTypeQuiz).
struct CategoryTab {
    std::string_view caption;  // the category's display name ("Est. C-CE")
    TModalitaQuiz category;
    CategoryGroup group;  // the main window's group button pressed with it
};

// The 14 category tabs in tab order: AB, AM, the five CQC categories (C1..C5), then the
// seven higher-licence categories (S1..S7).
const std::array<CategoryTab, kWorkingCategoryCount>& categoryTabs();

// Caption of the counter group GbNumAndDb: "  Numerazione e database schede " + the
// display name with "Est." written "Estensione" + " "; " Database non aperto! " for
// anything but a working category.
std::string numberingCaption(TModalitaQuiz m);

// What AggiornaNumerazione shows in the options window's counter panel.
struct NumberingView {
    std::string caption;                // GbNumAndDb
    std::string topicCounter;           // EdProgArg: the topic counter, "" with no category
    std::string examCounter;            // EdProgEsa: the exam counter, "" with no category
    bool panelEnabled = false;          // PnQuiz: a category is current
    bool resetSelectedEnabled = false;  // BtResetArgSel: a category and a selected topic
};

// AggiornaNumerazione without the window: the counter panel for the current category.
// A current category that is not a working one (1..14) becomes mqNone. The button
// state follows the topic selection as it is now; nothing else updates it.
NumberingView AggiornaNumerazione(ProgramState& state, const TopicListModel& topics);

}  // namespace vexora::data

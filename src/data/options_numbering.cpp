#include "data/options_numbering.h"

namespace vexora::data {

const std::array<CategoryTab, kWorkingCategoryCount>& categoryTabs() {
    static const std::array<CategoryTab, kWorkingCategoryCount> tabs = [] {
        constexpr std::array<TModalitaQuiz, kWorkingCategoryCount> order = {
            mqAB,      mqAM,      mqCqc1M,  mqCqc2P,   mqCqc3M,   mqCqc4P,  mqCqc5B,
            mqSuperC1, mqSuperC0, mqSuperC, mqSuperCx, mqSuperD1, mqSuperD, mqSuperDx};
        std::array<CategoryTab, kWorkingCategoryCount> out{};
        for (std::size_t i = 0; i < order.size(); ++i)
            out[i] = {displayName(order[i]), order[i], groupOf(order[i])};
        return out;
    }();
    return tabs;
}

std::string numberingCaption(TModalitaQuiz m) {
    if (!isWorkingCategory(m))
        return " Database non aperto! ";
    constexpr std::string_view shortForm = "Est. ";
    std::string name(displayName(m));
    if (name.starts_with(shortForm))
        name.replace(0, shortForm.size(), "Estensione ");
    return "  Numerazione e database schede " + name + " ";
}

NumberingView AggiornaNumerazione(ProgramState& state, const TopicListModel& topics) {
    NumberingView view;
    const bool current = isWorkingCategory(state.currentCategory);
    view.resetSelectedEnabled = current && topics.selectedCount() > 0;
    if (current) {
        view.topicCounter = std::to_string(state.counter(state.currentCategory, tdsArgomento));
        view.examCounter = std::to_string(state.counter(state.currentCategory, tdsEsame));
    } else {
        state.currentCategory = mqNone;
    }
    view.caption = numberingCaption(state.currentCategory);
    view.panelEnabled = current;
    return view;
}

}  // namespace vexora::data

#include "print/run_summary.h"

#include <algorithm>

namespace vexora::print {
namespace {

// Longer lists are cut: a box taller than the screen cannot be confirmed.
constexpr std::size_t kMostListed = 8;

void appendList(std::string& text, const std::vector<std::string>& items) {
    const std::size_t shown = std::min(items.size(), kMostListed);
    for (std::size_t i = 0; i < shown; ++i)
        text += "\r\n- " + items[i];
    if (items.size() > shown)
        text += "\r\n- ... e altri " + std::to_string(items.size() - shown);
}

std::string sheets(std::size_t n) {
    return n == 1 ? std::string("1 scheda") : std::to_string(n) + " schede";
}

std::string keys(int n) {
    return n == 1 ? std::string("1 correttore") : std::to_string(n) + " correttori";
}

}  // namespace

bool needsRunSummary(const RunSummary& run) {
    return run.failedSheets > 0 || run.failedKeys > 0 || !run.notices.failedOutputs.empty() ||
           !run.notices.missingFigures.empty();
}

std::string runSummaryMessage(const RunSummary& run) {
    const std::size_t printed = run.printedLabels.size();
    std::string text = run.interrupted ? "Stampa interrotta." : "Stampa terminata.";
    text += "\r\nStampate: " + sheets(printed) + " su " + std::to_string(run.requested);
    if (printed == 1)
        text += " (" + run.printedLabels.front() + ")";
    else if (printed > 1)
        text += " (da " + run.printedLabels.front() + " a " + run.printedLabels.back() + ")";
    text += ", " + keys(run.printedKeys) + ".";
    if (run.failedSheets > 0 || run.failedKeys > 0) {
        text += "\r\nNON stampate: ";
        if (run.failedSheets > 0)
            text += sheets(static_cast<std::size_t>(run.failedSheets));
        if (run.failedSheets > 0 && run.failedKeys > 0)
            text += " e ";
        if (run.failedKeys > 0)
            text += keys(run.failedKeys);
        text += ".";
    }
    if (!run.notices.failedOutputs.empty()) {
        text += "\r\n\r\nErrori:";
        appendList(text, run.notices.failedOutputs);
    }
    if (!run.notices.missingFigures.empty()) {
        text += "\r\n\r\nFigure non trovate (le domande sono stampate con il riquadro vuoto):";
        appendList(text, run.notices.missingFigures);
    }
    text += "\r\n\r\n";
    if (printed == 0) {
        text += "Nessuna scheda stampata: il database di stampa non \u00e8 stato modificato.";
    } else if (run.historySaved) {
        text += "Le domande delle schede stampate sono segnate nel database di stampa \"" +
                run.historyFile + "\"; quelle delle schede non stampate no.";
    } else {
        text += "Il database di stampa \"" + run.historyFile +
                "\" NON \u00e8 stato salvato: le domande delle schede stampate non risultano "
                "segnate nel file.";
    }
    return text;
}

}  // namespace vexora::print

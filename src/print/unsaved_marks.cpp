#include "print/unsaved_marks.h"

namespace vexora::print {

std::string unsavedMarksMessage(const std::string& file, const std::vector<std::string>& labels) {
    std::string sheets;
    if (labels.size() == 1) {
        sheets = "della scheda stampata " + labels.front();
    } else if (!labels.empty()) {
        sheets = "delle " + std::to_string(labels.size()) + " schede stampate (da " +
                 labels.front() + " a " + labels.back() + ")";
    } else {
        sheets = "delle schede stampate";
    }
    return "Il database di stampa \"" + file + "\" non \u00e8 stato salvato: le domande " + sheets +
           " non risultano segnate come stampate nel file.\r\n"
           "I segni restano in memoria fino al prossimo salvataggio riuscito (la prossima "
           "stampa di questa categoria): chiudendo il programma o cambiando categoria prima, "
           "andranno persi. Controllare lo spazio libero sul disco e i permessi della cartella.";
}

}  // namespace vexora::print

#include "core/program_state.h"

#include "core/platform.h"

namespace vexora {

std::string_view runInProgressRefusal() {
    return "Stampa in corso: attendere la fine della stampa (o premere \"Interrompi\") prima di "
           "cambiare categoria, azzerare gli archivi o salvare le opzioni.";
}

std::string_view defaultSchoolName() {
    static const std::string name = std::string("Vedovade ORVA") + '\b';
    return name;
}

std::string_view defaultSchoolAddress() {
    return "Via dei Mille 12 - 37100 Verona - Tel. 045 800 1234";
}

std::string_view defaultFiguresFolder() {
#ifdef _WIN32
    return "C:\\Plarn\\PicSgn\\";
#else
    return "/opt/Plarn/PicSgn/";
#endif
}

std::string_view classroomFilePath() {
#ifdef _WIN32
    return "C:\\Plarn\\Program\\Plarn.ini";
#else
    return "/opt/Plarn/Program/Plarn.ini";
#endif
}

ProgramState::ProgramState(std::string folder) {
    if (!folder.empty())
        folder = withTrailingSeparator(std::move(folder));
    programFolder = folder;
    dataFolder = folder;
    counters.fill(1);
}

int& ProgramState::counter(TModalitaQuiz m, TTipoDiStampa kind) {
    return counters[static_cast<std::size_t>(counterIndex(m, kind))];
}

int ProgramState::counter(TModalitaQuiz m, TTipoDiStampa kind) const {
    return counters[static_cast<std::size_t>(counterIndex(m, kind))];
}

}  // namespace vexora

#include "data/category_opening.h"

namespace vexora::data {
namespace {

const char* trueFalse(bool b) {
    return b ? "True" : "False";
}

std::string lookedIn(const ProgramState& state) {
    if (state.dataFolder == state.programFolder)
        return "Cercato in: " + state.dataFolder;
    return "Cercato in: " + state.dataFolder + " e " + state.programFolder;
}

// What kept a sheet kind from being possible, a line naming the file and a line saying
// where it is or was looked for: the loaders report the details, but maybe only to the
// hidden log.
std::string openingProblem(TModalitaQuiz category, const ProgramState& state,
                           PlatformServices& platform, const CategoryFiles& files,
                           bool masterLoaded, bool printLoaded, bool topicsLoaded) {
    std::string text;
    auto add = [&](const std::string& what, const std::string& where) {
        text += (text.empty() ? "" : "\n") + what + "\n" + where;
    };
    if (!masterLoaded) {
        const std::string name(masterFile(category));
        if (platform.fileExists(files.master))
            add("Archivio delle domande " + name + " non leggibile.", "File: " + files.master);
        else
            add("Archivio delle domande " + name + " non trovato.", lookedIn(state));
    } else if (!printLoaded) {
        add("Database di stampa " + std::string(printHistoryFile(category)) +
                " non leggibile n\u00e9 ricreabile.",
            "File: " + files.printHistory);
    }
    if (!topicsLoaded) {
        const std::string name(topicListFile(category));
        if (platform.fileExists(files.topicList))
            add("Elenco degli argomenti " + name + " non leggibile o vuoto.",
                "File: " + files.topicList);
        else
            add("Elenco degli argomenti " + name + " non trovato.", lookedIn(state));
    }
    return text;
}

}  // namespace

CategoryFiles locateCategoryFiles(TModalitaQuiz category, const ProgramState& state,
                                  PlatformServices& platform) {
    auto inData = [&](std::string_view name) { return state.dataFolder + std::string(name); };
    auto inProgram = [&](std::string_view name) { return state.programFolder + std::string(name); };
    CategoryFiles files;
    const std::string_view master = masterFile(category);
    files.master = platform.fileExists(inData(master)) ? inData(master) : inProgram(master);

    const std::string_view history = printHistoryFile(category);
    if (platform.fileExists(inData(history))) {
        files.printHistory = inData(history);
    } else if (platform.fileExists(inProgram(history))) {
        files.printHistory = inProgram(history);
    } else {
        files.printHistory = inData(history);
    }

    const std::string_view topics = topicListFile(category);
    files.topicList = platform.fileExists(inData(topics)) ? inData(topics) : inProgram(topics);
    return files;
}

CategoryOpening InitAndCountDb(ProgramState& state, QuestionData& data) {
    CategoryOpening r;
    if (state.runInProgress()) {
        // Loading now would replace the tables the run is marking and leave its marks
        // unsaved; the run's category stays current.
        state.currentCategory = state.runCategory;
        r.refusedDuringRun = true;
        r.problem = std::string(runInProgressRefusal());
        data.reporting().ui.messageBox(runInProgressRefusal());
        return r;
    }
    const TModalitaQuiz category = state.currentCategory;
    if (!isWorkingCategory(category))
        return r;

    const CategoryFiles files = locateCategoryFiles(category, state, data.platform());
    r.masterLoaded = data.CaricaMaster(files.master);

    data.FilePrintr = files.printHistory;
    r.printLoaded = data.CaricaPrintDb(data.FilePrintr);
    if (r.printLoaded && r.masterLoaded) {
        // A history older than its master (the publisher updated the master) would name
        // questions that are gone and lack the new ones.
        data.AllineaPrintDb(data.FilePrintr);
        r.printLoaded =
            data.CdsPrint && data.CdsPrint->Active() && data.CdsPrint->RecordCount() > 0;
    }
    state.printDatabaseLoaded = r.printLoaded;
    r.examPossible = r.masterLoaded && r.printLoaded;

    data.FileArgmnt = files.topicList;
    const bool topicsLoaded = data.CaricaArgomenti(data.FileArgmnt, false);
    r.topicPossible = topicsLoaded && r.printLoaded;
    r.problem = openingProblem(category, state, data.platform(), files, r.masterLoaded,
                               r.printLoaded, topicsLoaded);

    int& examCounter = state.counter(category, tdsEsame);
    if (r.examPossible && examCounter >= examResetThreshold(category)) {
        // The cleared history is written at once: kept in memory only, closing (or a run
        // that prints nothing) would leave the old marks on disk beside a restarted
        // counter. A reset that cannot be saved is tried again at the next opening.
        if (data.ResetEsame() && data.SavePrintDb(data.FilePrintr)) {
            data.reporting().trace(examResetLogLine(category));
            examCounter = 1;
        }
    }

    data.reporting().trace(
        "TFormStampe.InitAndCountDb Mode: " + std::string(valueName(category)) +
        " - Esa: " + trueFalse(r.examPossible) + " - Arg: " + trueFalse(r.topicPossible) +
        " - Master: " + trueFalse(r.masterLoaded) + " - Print: " + trueFalse(r.printLoaded));
    return r;
}

}  // namespace vexora::data

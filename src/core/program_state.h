#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/catalogue.h"

namespace vexora {

// School name used until the settings or the classroom file supply one:
// "Vedovade ORVA" followed by U+0008 (14 characters).
std::string_view defaultSchoolName();
// School address used until the settings or the classroom file supply one.
std::string_view defaultSchoolAddress();
// Figures folder used until the settings name one.
std::string_view defaultFiguresFolder();
// The read-only classroom settings file.
std::string_view classroomFilePath();

// Why a category switch, an archive reset or a settings save is refused during a print run.
std::string_view runInProgressRefusal();

// Values that live for the whole run and that nearly every layer reads.
struct ProgramState {
    TModalitaQuiz currentCategory = mqNone;
    TTipoDiStampa currentKind = tdsEsame;
    std::string programFolder;  // with trailing separator
    std::string dataFolder;     // with trailing separator
    std::string figuresFolder{defaultFiguresFolder()};
    std::array<int, kCounterCount> counters{};
    std::string schoolName{defaultSchoolName()};
    std::string schoolAddress{defaultSchoolAddress()};
    bool printDatabaseLoaded = false;
    // The category a print run holds from its first sheet to its last save (mqNone
    // outside a run). While it is held nothing may switch the category, reset its
    // archives or rewrite the settings: the run's marks and counters are only in memory.
    TModalitaQuiz runCategory = mqNone;

    bool runInProgress() const { return runCategory != mqNone; }

    // Start values; program and data folder are both programFolder.
    explicit ProgramState(std::string programFolder = {});

    int& counter(TModalitaQuiz m, TTipoDiStampa kind);
    int counter(TModalitaQuiz m, TTipoDiStampa kind) const;
};

}  // namespace vexora

#pragma once

// A fresh program folder with generated sample data and the built template, and the
// whole window program started on it, as a user would start it.

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "support/temp_dir.h"

namespace vexora::test {

// The sample data of every category, generated once per test program.
const std::filesystem::path& sampleDataFolder();

// Reads a whole file ("" when missing).
std::string slurp(const std::filesystem::path& path);

// Files of `folder` whose names start with `prefix` and end with ".pdf".
std::vector<std::string> pdfFiles(const std::filesystem::path& folder, const std::string& prefix);

// The position of a category's tab in the options window.
int tabOf(TModalitaQuiz m);

struct WindowWorld {
    TempDir dir;
    std::unique_ptr<app::Program> program;
    std::vector<std::string> messages;   // texts of message boxes, in order
    std::vector<std::string> questions;  // texts of Yes/No questions
    bool answer = true;

    // Copies the sample data and the template; extraSettings goes into Vexora.ini
    // after the figures folder (PDF output on unless told otherwise).
    explicit WindowWorld(const std::string& extraSettings = "[Debug]\nCkStampaSuPdf=1\n");

    // Starts the program: creates the windows and shows the main window.
    void start();
    // Closes the main window (the shutdown save) and destroys the program.
    void stop();

    ui::TFormStampe& w() { return program->mainWindow(); }
    ui::TFormProgress& progress() { return program->progressWindow(); }
    std::string logText() const;
};

}  // namespace vexora::test

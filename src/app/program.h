#pragma once

#include <QApplication>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "compose/sheet_composer.h"
#include "core/error_report.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/run_log.h"
#include "core/switches.h"
#include "data/question_data.h"
#include "print/sheet_printer.h"
#include "report/report_output.h"
#include "report/report_project.h"
#include "settings/settings_model.h"
#include "ui/form_opzioni.h"
#include "ui/form_progress.h"
#include "ui/form_stampe.h"
#include "ui/window_interaction.h"

namespace vexora::app {

// The application object. An exception that escapes an event handler is caught here, at
// the event-dispatch boundary, and handed to the program's handler: the program keeps
// running and nothing reaches std::terminate.
class VexoraApplication : public QApplication {
public:
    VexoraApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // AppEventsException: receives the text of every exception no routine caught.
    void setExceptionHandler(std::function<void(const std::string&)> handler) {
        handler_ = std::move(handler);
    }

private:
    std::function<void(const std::string&)> handler_;
};

// Everything the window program holds for its whole run, in the order it is created:
// services, settings, question data, the main window, the progress window, the options
// window, then the composer and the renderers that report to the progress window.
class Program {
public:
    // programFolder: the executable's folder (with trailing separator) in the real
    // program; a test's program folder otherwise. seed: the random generator's seed, from
    // the clock when absent.
    explicit Program(std::string programFolder, std::optional<std::uint32_t> seed = {},
                     PlatformServices* platform = nullptr);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    ui::TFormStampe& mainWindow() { return *main_; }
    ui::TFormProgress& progressWindow() { return *progress_; }
    ui::TFormOpzioni& optionsWindow() { return *options_; }
    ui::WindowInteraction& interaction() { return interaction_; }
    ProgramState& state() { return state_; }
    Switches& switches() { return switches_; }
    data::QuestionData& data() { return data_; }
    settings::MainWindowValues& windowValues() { return values_; }
    RunLog& log() { return log_; }
    const settings::SettingsModel& settings() const { return settings_; }

    // AppEventsException: with CkNoExceptMsg a level-1 log line of the message alone,
    // otherwise an error box with the message.
    void AppEventsException(const std::string& message);

private:
    SystemPlatform systemPlatform_;
    PlatformServices& platform_;
    Switches switches_;
    ProgramState state_;
    RunLog log_;
    ui::WindowInteraction interaction_;
    Reporting reporting_;
    settings::SettingsModel settings_;
    settings::MainWindowValues values_;
    data::QuestionData data_;
    report::ReportProject project_;
    report::ReportOutput output_;
    std::unique_ptr<ui::TFormStampe> main_;
    std::unique_ptr<ui::TFormProgress> progress_;
    std::unique_ptr<ui::TFormOpzioni> options_;
    std::unique_ptr<compose::SheetComposer> composer_;
    std::unique_ptr<print::SheetPrinter> printer_;
};

// Runs the window program in the executable's folder; returns when the main window
// has closed.
int runWindowProgram(int argc, char** argv);

}  // namespace vexora::app

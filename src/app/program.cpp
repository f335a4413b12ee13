#include "app/program.h"

#include <QLibraryInfo>
#include <QMessageBox>
#include <QPrinter>
#include <QTranslator>

#include <chrono>

#include "core/folder_lock.h"
#include "ui/fonts.h"
#include "ui/print_setup_dialog.h"

namespace vexora::app {

VexoraApplication::VexoraApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Vexora"));
    setApplicationVersion(QStringLiteral(VEXORA_VERSION));
    ui::ensureWindowFonts();
    // Qt's own dialogs and buttons in Italian ("Sì", "Annulla", the printer dialog): the
    // catalogue beside the program (an installed copy) or the system's.
    auto* translator = new QTranslator(this);
    const QString folders[] = {applicationDirPath() + QStringLiteral("/translations"),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString& folder : folders) {
        if (translator->load(QStringLiteral("qtbase_it"), folder)) {
            installTranslator(translator);
            break;
        }
    }
}

bool VexoraApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (handler_)
            handler_(e.what());
    } catch (...) {
        if (handler_)
            handler_("Errore sconosciuto");
    }
    return false;
}

Program::Program(std::string programFolder, std::optional<std::uint32_t> seed,
                 PlatformServices* platform)
    : platform_(platform ? *platform : systemPlatform_),
      state_(programFolder),
      log_(platform_, programFolder, switches_),
      reporting_{log_, switches_, interaction_},
      settings_(programFolder + "Vexora.ini", log_),
      data_(reporting_, platform_, state_) {
    main_ = std::make_unique<ui::TFormStampe>(ui::MainWindowServices{
        state_, switches_, reporting_, platform_, data_, settings_, values_});
    interaction_.setOwner(main_.get());
    // Seeded once, when the main window is created; nothing else seeds it.
    const auto clockSeed =
        static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
    progress_ = std::make_unique<ui::TFormProgress>(main_.get(), reporting_);
    progress_->setCancelReportJob([this] {
        if (project_.Active() && !output_.Aborted())
            output_.Abort();
    });
    options_ = std::make_unique<ui::TFormOpzioni>(*main_, state_, switches_, reporting_, data_,
                                                  settings_, values_);
    options_->setExceptionHandler(
        [this](const std::exception& e) { AppEventsException(e.what()); });
    main_->setShowOptions([this] { options_->showOptions(); });
    main_->setPrinterChosen([this](const std::string& name) { options_->selectPrinter(name); });
    composer_ = std::make_unique<compose::SheetComposer>(data_, reporting_, *progress_,
                                                         seed.value_or(clockSeed));
    printer_ = std::make_unique<print::SheetPrinter>(state_, reporting_, platform_, *progress_,
                                                     *composer_, project_, output_);
    printer_->setPrintSetupHook([this](QPrinter& printer, const QString& title) {
        return ui::execPrintSetupDialog(printer, main_.get(), title);
    });
    main_->setRunHooks([this] { options_->stepAsideForRun(); },
                       [this] { options_->comeBackAfterRun(); });
    main_->attach(*progress_, *composer_, *printer_);
    main_->setExceptionHandler([this](const std::exception& e) { AppEventsException(e.what()); });
}

Program::~Program() {
    // The windows go first: they refer to everything below them.
    printer_.reset();
    composer_.reset();
    options_.reset();
    progress_.reset();
    main_.reset();
}

void Program::AppEventsException(const std::string& message) {
    if (switches_.CkNoExceptMsg) {
        log_.ScriviErrorLog("", 1, message);
        return;
    }
    interaction_.errorBox(message);
}

int runWindowProgram(int argc, char** argv) {
    VexoraApplication app(argc, argv);
    const std::string folder = withTrailingSeparator(executableFolder());
    // One program per folder, or two would interleave their saves of the same files. A
    // folder that cannot hold the lock file cannot hold the settings either: the program
    // starts and reports those writes as they fail.
    const FolderLock lock(folder);
    if (lock.state() == FolderLock::State::InUse) {
        QMessageBox::critical(nullptr, QStringLiteral("Vexora"),
                              QString::fromStdString(lock.refusalMessage()));
        return 1;
    }
    lock.removeLeftoverTemporaries();
    Program program(folder);
    app.setExceptionHandler([&program](const std::string& m) { program.AppEventsException(m); });
    program.mainWindow().show();
    return app.exec();
}

}  // namespace vexora::app

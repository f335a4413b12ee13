#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

#include <array>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "core/error_report.h"
#include "core/program_state.h"
#include "core/switches.h"
#include "data/archive_resets.h"
#include "data/question_data.h"
#include "settings/settings_model.h"

namespace vexora::ui {

class TFormStampe;

// TFormOpzioni: the options window. School name and address, the printer with duplex
// and print setup, the eleven test-and-debug switches (live: the program reads them as
// they are), the counters of the current category with the archive resets, and the
// category tabs that change the current category of the whole program.
class TFormOpzioni : public QWidget {
public:
    TFormOpzioni(TFormStampe& main, ProgramState& state, Switches& switches,
                 const Reporting& reporting, data::QuestionData& data,
                 const settings::SettingsModel& settings, settings::MainWindowValues& values);

    // An exception of a save (OK) goes here; the window then stays open.
    void setExceptionHandler(std::function<void(const std::exception&)> h) {
        exceptionHandler_ = std::move(h);
    }
    // Shows the window centred on the main window and activates it.
    void showOptions();
    // A print run starts: a shown window hides until the run has ended.
    void stepAsideForRun();
    // The run has ended: a window hidden for it comes back as it was left.
    void comeBackAfterRun();

    // ---- handlers
    void PcTypeQuizChange(int tab);
    void BtOkClick();
    void BtAnnullaClick();
    void SbSetDefaultClick();
    void BtResetPrArgClick();
    void BtResetPrEsaClick();
    void BtResetDbArgClick();
    void BtResetDbEsaClick();
    void BtFullResetClick();
    void BtResetArgSelClick();
    void PnRipristinaOpzMouseUp();
    // Refreshes the counter panel for the current category.
    void AggiornaNumerazione();
    // Selects the printer of that name in cbStampanti (no selection when absent).
    void selectPrinter(const std::string& name);
    // Re-reads the installed printers into cbStampanti, keeping its text.
    void fillPrinters();

    // ---- controls (tests drive the window through them)
    QTabWidget* PcOpzioni() const { return pcOpzioni_; }
    QLineEdit* Ed_NmScuola() const { return edNome_; }
    QLineEdit* Ed_InScuola() const { return edIndirizzo_; }
    QComboBox* cbStampanti() const { return cbStampanti_; }
    QPushButton* categoryTab(int index) const { return tabs_[static_cast<std::size_t>(index)]; }
    QGroupBox* GbNumAndDb() const { return gbNumAndDb_; }
    QWidget* PnQuiz() const { return pnQuiz_; }
    QLineEdit* EdProgArg() const { return edProgArg_; }
    QLineEdit* EdProgEsa() const { return edProgEsa_; }
    QPushButton* BtResetPrArg() const { return btResetPrArg_; }
    QPushButton* BtResetPrEsa() const { return btResetPrEsa_; }
    QPushButton* BtResetDbArg() const { return btResetDbArg_; }
    QPushButton* BtResetDbEsa() const { return btResetDbEsa_; }
    QPushButton* BtFullReset() const { return btFullReset_; }
    QPushButton* BtResetArgSel() const { return btResetArgSel_; }
    QPushButton* BtOk() const { return btOk_; }
    QPushButton* BtAnnulla() const { return btAnnulla_; }
    QLabel* PnRipristinaOpz() const { return ripristina_; }
    QLabel* LVer() const { return lVer_; }
    QCheckBox* check(bool Switches::*member) const;

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildProgramma(QWidget* tab);
    void buildSchede(QWidget* tab);
    void buildAvanzate(QWidget* tab);
    void FormShow();
    void FormActivate();
    void switchesToChecks();
    void showResult(const data::ResetResult& r);
    void centreOnMainWindow();
    void saveFailed(const std::exception& e, const std::string& file, const std::string& detail);

    TFormStampe& main_;
    ProgramState& state_;
    Switches& switches_;
    const Reporting& rep_;
    data::QuestionData& data_;
    const settings::SettingsModel& settings_;
    settings::MainWindowValues& values_;
    data::ArchiveResets resets_;
    std::function<void(const std::exception&)> exceptionHandler_;
    bool hiddenForRun_ = false;
    bool resuming_ = false;

    QTabWidget* pcOpzioni_ = nullptr;
    QLineEdit* edNome_ = nullptr;
    QLineEdit* edIndirizzo_ = nullptr;
    QComboBox* cbStampanti_ = nullptr;
    QPushButton* sbSetDefault_ = nullptr;
    std::vector<std::pair<bool Switches::*, QCheckBox*>> checks_;
    std::array<QPushButton*, kWorkingCategoryCount> tabs_{};
    QWidget* pnQuiz_ = nullptr;
    QGroupBox* gbNumAndDb_ = nullptr;
    QLineEdit* edProgArg_ = nullptr;
    QLineEdit* edProgEsa_ = nullptr;
    QPushButton* btResetPrArg_ = nullptr;
    QPushButton* btResetPrEsa_ = nullptr;
    QPushButton* btResetDbArg_ = nullptr;
    QPushButton* btResetDbEsa_ = nullptr;
    QPushButton* btFullReset_ = nullptr;
    QPushButton* btResetArgSel_ = nullptr;
    QPushButton* btOk_ = nullptr;
    QPushButton* btAnnulla_ = nullptr;
    QLabel* ripristina_ = nullptr;
    QLabel* lVer_ = nullptr;
};

}  // namespace vexora::ui

#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "compose/sheet_composer.h"
#include "core/catalogue.h"
#include "core/error_report.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "data/category_opening.h"
#include "data/question_data.h"
#include "print/print_job_driver.h"
#include "print/sheet_printer.h"
#include "settings/settings_model.h"
#include "ui/command_link.h"
#include "ui/number_field.h"
#include "ui/topic_lists.h"

namespace vexora::ui {

class TFormProgress;

// What the main window works with; all of it outlives the window.
struct MainWindowServices {
    ProgramState& state;
    Switches& switches;
    const Reporting& reporting;
    PlatformServices& platform;
    data::QuestionData& data;
    const settings::SettingsModel& settings;
    settings::MainWindowValues& values;
};

// TFormStampe: the three-page wizard. Page 1 chooses the category (four group buttons and
// the listato) and the sheet kind, page 2 the topics, page 3 the number of sheets and
// copies and starts the print run. The window holds no logic of its own beyond the
// wizard: opening a category, the print run and the saves are the window-free routines.
class TFormStampe : public QWidget {
public:
    explicit TFormStampe(MainWindowServices services);
    ~TFormStampe() override;

    // The windows and engines created after this one (the progress window comes second).
    void attach(TFormProgress& progress, compose::SheetComposer& composer,
                print::SheetPrinter& printer);
    // Shows the options window (Ctrl+Alt+C, "Opzioni di configurazione"); none until the
    // options window exists.
    void setShowOptions(std::function<void()> show) { showOptions_ = std::move(show); }
    // Called with the printer chosen in the printer-setup dialog (the options window
    // selects it in its printer list).
    void setPrinterChosen(std::function<void(const std::string&)> chosen) {
        printerChosen_ = std::move(chosen);
    }
    // Presses a group button (the options window's category tabs); the others are released.
    void setGroupDown(CategoryGroup g);
    // Called just before a print run starts and just after it ended (the options window
    // steps aside meanwhile).
    void setRunHooks(std::function<void()> starting, std::function<void()> ended) {
        runStarting_ = std::move(starting);
        runEnded_ = std::move(ended);
    }
    // True while the print button's run is going on.
    bool running() const { return running_; }
    // An exception caught by a handler that must go on (the closing save).
    void setExceptionHandler(std::function<void(const std::exception&)> h) {
        exceptionHandler_ = std::move(h);
    }

    // ---- handlers and methods other windows use
    void BtQuizModeClick();
    void CbListatiQuizChange();
    void SetListato(TModalitaQuiz m);
    void InitAndCountDb();
    void BtTipoEsameClick();
    void BtTipoArgomClick();
    void BtAvantiClick();
    void BtIndietroClick(QObject* sender);
    void Tab3_StampaShow();
    void BtPrintClick();
    void ResetSelectArgs();
    void SeCopieChange();
    void SbImpostaClick();
    void LOpzioniClick();
    // Refills both topic lists (lines and selection) from the question data.
    void refreshTopicLists();

    // ---- controls (tests drive the window through them)
    QToolButton* groupButton(CategoryGroup g) const { return groupButtons_[static_cast<int>(g)]; }
    QLabel* LabelBtMenu() const { return labelBtMenu_; }
    QLabel* LbListatiQuiz() const { return lbListati_; }
    QComboBox* CbListatiQuiz() const { return cbListati_; }
    CommandLink* BtTipoEsame() const { return btTipoEsame_; }
    CommandLink* BtTipoArgom() const { return btTipoArgom_; }
    QPushButton* BtAvanti() const { return btAvanti_; }
    QPushButton* BtIndietro() const { return btIndietro_; }
    QStackedWidget* PcPagina() const { return pcPagina_; }
    TopicListBox* LbArgomenti() const { return lbArgomenti_; }
    CountListBox* LbCount() const { return lbCount_; }
    QWidget* Image2() const { return image2_; }
    NumberField* SeSchede() const { return seSchede_; }
    NumberField* SeCopie() const { return seCopie_; }
    QCheckBox* CkUnSoloCorrettore() const { return ckUnSolo_; }
    CommandLink* BtPrint() const { return btPrint_; }
    QLabel* LImposta() const { return lImposta_; }
    QLabel* LOpzioni() const { return lOpzioni_; }
    // The line of page 1 that says why the category's sheets are not possible.
    QLabel* LbStatoArchivi() const { return lbStatoArchivi_; }
    // The hint of page 3 under the sheet count, when the count taken differs from the typed.
    QLabel* LbSchedeAvviso() const { return lbSchedeAvviso_; }
    // The group picture a button shows (index into ImageList1), for tests.
    int shownPicture(CategoryGroup g) const { return shownPicture_[static_cast<int>(g)]; }
    // What the last print run did.
    const std::optional<print::PrintRunResult>& lastRun() const { return lastRun_; }
    const data::CategoryOpening& lastOpening() const { return lastOpening_; }

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFrame();
    void buildPage1(QWidget* page);
    void buildPage2(QWidget* page);
    void buildPage3(QWidget* page);
    void FormShow();
    void FormClose();
    void setCategoryCaptions(CategoryGroup g, TModalitaQuiz m);
    void setPictures(std::optional<CategoryGroup> highlighted);
    void showPage(int index);
    void setNavigation(const char* forward, const char* back);
    void hoverGroup(int tag);
    void leaveGroup();
    void topicSelectionChanged();
    void toggleTopic(int row);
    void placeOnScreen(int left, int top);
    void showCategoryProblems();
    settings::ScreenGeometry screenGeometry() const;
    // Puts the number of sheets that will run into the field, with a hint when it is
    // not what was typed.
    void showSheetCount();
    // A mouse press on what prints, within the double-click interval of a page change.
    bool printClickTooSoon() const;
    void closingSaveFailed(const std::exception& e, const std::string& file,
                           const std::string& detail);
    std::optional<CategoryGroup> downGroup() const;

    MainWindowServices s_;
    TFormProgress* progress_ = nullptr;
    compose::SheetComposer* composer_ = nullptr;
    print::SheetPrinter* printer_ = nullptr;
    std::function<void()> showOptions_;
    std::function<void(const std::string&)> printerChosen_;
    std::function<void(const std::exception&)> exceptionHandler_;
    std::function<void()> runStarting_;
    std::function<void()> runEnded_;
    bool shown_ = false;
    bool running_ = false;
    bool placedBeforeShow_ = false;
    bool closeAfterRun_ = false;
    QElapsedTimer pageShownAt_;
    bool syncingTopics_ = false;
    std::optional<print::PrintRunResult> lastRun_;
    data::CategoryOpening lastOpening_;

    QWidget* pnBack_ = nullptr;
    QStackedWidget* pcPagina_ = nullptr;
    std::array<QToolButton*, 4> groupButtons_{};
    std::array<int, 4> shownPicture_{0, 2, 4, 6};
    QButtonGroup* groupGroup_ = nullptr;
    QLabel* labelBtMenu_ = nullptr;
    QLabel* lbListati_ = nullptr;
    QComboBox* cbListati_ = nullptr;
    CommandLink* btTipoEsame_ = nullptr;
    CommandLink* btTipoArgom_ = nullptr;
    QPushButton* btAvanti_ = nullptr;
    QPushButton* btIndietro_ = nullptr;
    TopicListBox* lbArgomenti_ = nullptr;
    CountListBox* lbCount_ = nullptr;
    QWidget* image2_ = nullptr;
    NumberField* seSchede_ = nullptr;
    NumberField* seCopie_ = nullptr;
    QCheckBox* ckUnSolo_ = nullptr;
    CommandLink* btPrint_ = nullptr;
    QLabel* lImposta_ = nullptr;
    QLabel* lOpzioni_ = nullptr;
    QLabel* lbStatoArchivi_ = nullptr;
    QLabel* lbSchedeAvviso_ = nullptr;
};

}  // namespace vexora::ui

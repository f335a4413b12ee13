#pragma once

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include <chrono>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "core/error_report.h"
#include "core/user_interaction.h"

namespace vexora::ui {

// TFormProgress: the progress window of a print run. A tool window without a close box,
// shown by the first Progress call of a run; while it is visible the main window's
// controls are disabled. The driver runs on the same thread: the bar animation and Delay
// process the window messages, which is how "Interrompi" and Escape reach the run.
class TFormProgress : public QWidget, public ProgressReporter {
public:
    // mainWindow: the window whose direct children are disabled while this one shows.
    TFormProgress(QWidget* mainWindow, const Reporting& reporting);
    ~TFormProgress() override;

    // Called by "Interrompi" to cancel the report engine's current job when one runs.
    void setCancelReportJob(std::function<void()> cancel) { cancelReportJob_ = std::move(cancel); }

    bool Progress(int posPar, int maxPar, int posTot, int maxTot, std::string_view title,
                  std::string_view info) override;
    void ProgressReset() override;
    void ProgressFull() override;
    void Delay(unsigned ms) override;
    bool Interruzione() const override { return interruzione_; }
    void setInterruzione(bool value) override { interruzione_ = value; }
    bool escapeHeld() override;
    void setInfo(std::string_view info) override;
    void close() override;
    bool visible() const override { return isVisible(); }

    // BtInterrompiClick.
    void BtInterrompiClick();

    QProgressBar* ProgressBarPar() const { return barPar_; }
    QProgressBar* ProgressBarTot() const { return barTot_; }
    QLabel* LbTitle() const { return title_; }
    QLabel* LbInfo() const { return info_; }
    QPushButton* BtInterrompi() const { return stop_; }
    // Time spent inside Delay since the window was created: the pauses the window itself
    // prescribes (bar steps, the final pause), for measuring what a run costs besides.
    std::chrono::nanoseconds pausedTime() const { return paused_; }
    // Positions the upper bar went through since the last call (tests of the animation).
    std::vector<int> takeParSteps() { return std::exchange(parSteps_, {}); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void moveBar(QProgressBar* bar, int position);
    void redraw();
    void setMainWindowEnabled(bool enabled);
    void centreOnMainWindow();

    QPointer<QWidget> mainWindow_;
    const Reporting& rep_;
    QWidget* back_ = nullptr;
    QLabel* title_ = nullptr;
    QProgressBar* barPar_ = nullptr;
    QLabel* info_ = nullptr;
    QProgressBar* barTot_ = nullptr;
    QPushButton* stop_ = nullptr;
    std::function<void()> cancelReportJob_;
    int titleHeight_ = 0;  // the window's own title strip, where it draws one
    bool interruzione_ = false;
    bool escapeDown_ = false;
    bool escapePressed_ = false;  // pressed since the last look, even if released since
    std::vector<int> parSteps_;
    std::chrono::nanoseconds paused_{0};
};

}  // namespace vexora::ui

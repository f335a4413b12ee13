#include "ui/form_progress.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <chrono>

#include "ui/fonts.h"
#include "ui/text_fit.h"
#include "ui/widget_util.h"
#include "ui/window_decoration.h"
#include "ui/window_interaction.h"

namespace vexora::ui {
namespace {

constexpr int kOuterWidth = 460;
constexpr int kOuterHeight = 220;

}  // namespace

TFormProgress::TFormProgress(QWidget* mainWindow, const Reporting& reporting)
    : QWidget(mainWindow, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      mainWindow_(mainWindow),
      rep_(reporting) {
    setObjectName(QStringLiteral("FormProgress"));
    setWindowTitle(QApplication::applicationDisplayName());
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(170, 197, 210));
    setPalette(pal);
    // Outer 460 x 220: the client is what the usual frame leaves; showEvent corrects it
    // with the frame the window manager really draws.
    setFixedSize(kOuterWidth - 6, kOuterHeight - 28);

    back_ = new RoundedPanel(this);
    back_->setObjectName(QStringLiteral("PnBack"));

    title_ = new QLabel(back_);
    title_->setObjectName(QStringLiteral("LbTitle"));
    title_->setFont(tahoma(15));
    setTextColour(title_, QColor(29, 36, 73));

    barPar_ = new QProgressBar(back_);
    barPar_->setObjectName(QStringLiteral("ProgressBarPar"));
    barPar_->setTextVisible(false);
    barPar_->setRange(0, 100);
    barPar_->setValue(0);

    info_ = new QLabel(QStringLiteral("Inizializzazione della stampante..."), back_);
    info_->setObjectName(QStringLiteral("LbInfo"));
    info_->setFont(tahoma(13));
    setTextColour(info_, QColor(89, 132, 130));

    barTot_ = new QProgressBar(back_);
    barTot_->setObjectName(QStringLiteral("ProgressBarTot"));
    barTot_->setTextVisible(false);
    barTot_->setRange(0, 100);
    barTot_->setValue(0);

    stop_ = new QPushButton(QStringLiteral("Interrompi"), back_);
    stop_->setObjectName(QStringLiteral("BtInterrompi"));
    stop_->setFont(tahoma(13));
    setTextColour(stop_, QColor(50, 50, 50));
    stop_->setFixedSize(100, 31);
    connect(stop_, &QPushButton::clicked, this, &TFormProgress::BtInterrompiClick);

    // No close, minimise or maximise box: the run ends with "Interrompi" or by itself.
    titleHeight_ = useTitleWithoutBoxes(this);

    // Escape is watched application-wide: the driver asks whether it is held at the end
    // of every sheet, whichever window has the keyboard.
    qApp->installEventFilter(this);
}

TFormProgress::~TFormProgress() {
    if (qApp)
        qApp->removeEventFilter(this);
}

void TFormProgress::resizeEvent(QResizeEvent*) {
    const int w = width();
    const int h = height();
    back_->setGeometry(6, 6 + titleHeight_, w - 12, h - 12 - titleHeight_);
    const int bw = back_->width();
    const int bh = back_->height();
    title_->setGeometry(14, 10, bw - 28, 22);
    barPar_->setGeometry(14, 38, bw - 28, 17);
    info_->setGeometry(14, 62, bw - 28, 20);
    barTot_->setGeometry(14, 88, bw - 28, 25);
    stop_->move(bw - 14 - stop_->width(), bh - 10 - stop_->height());
}

void TFormProgress::centreOnMainWindow() {
    if (!mainWindow_)
        return;
    const QRect main = mainWindow_->frameGeometry();
    const QSize outer = frameGeometry().size();
    move(main.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

void TFormProgress::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Make the outer size 460 x 220 with the frame actually drawn (its own title strip
    // where the window manager draws none).
    const QSize frame = frameGeometry().size() - geometry().size();
    if (titleHeight_ > 0) {
        if (size() != QSize(kOuterWidth, kOuterHeight))
            setFixedSize(kOuterWidth, kOuterHeight);
    } else if (!frame.isEmpty() || frame.width() > 0 || frame.height() > 0) {
        const QSize client(kOuterWidth - frame.width(), kOuterHeight - frame.height());
        if (client != size())
            setFixedSize(client);
    }
    centreOnMainWindow();
    setMainWindowEnabled(false);
    setCursor(Qt::WaitCursor);
    stop_->setCursor(Qt::ArrowCursor);
}

void TFormProgress::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    setMainWindowEnabled(true);
}

void TFormProgress::setMainWindowEnabled(bool enabled) {
    if (!mainWindow_)
        return;
    // Only the direct children: controls the main window disabled for its own reasons
    // (a sheet-kind button without data) keep their state inside them.
    for (QObject* child : mainWindow_->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && !w->isWindow())
            w->setEnabled(enabled);
    }
}

void TFormProgress::redraw() {
    repaint();
}

void TFormProgress::moveBar(QProgressBar* bar, int position) {
    position = std::min(position, bar->maximum());
    const bool upper = bar == barPar_;
    if (position < bar->value()) {
        bar->setValue(position);
        if (upper)
            parSteps_.push_back(position);
        return;
    }
    // Forward moves (also to the same position) walk through every position from the
    // current one: this is where the window messages of a run are processed.
    for (int p = bar->value(); p <= position; ++p) {
        bar->setValue(p);
        if (upper)
            parSteps_.push_back(p);
        bar->repaint();  // only the bar changed; the whole window is redrawn per report
        Delay(1);
    }
}

bool TFormProgress::Progress(int posPar, int maxPar, int posTot, int maxTot, std::string_view title,
                             std::string_view info) {
    if (!isVisible())
        show();
    if (maxPar >= 0)
        barPar_->setMaximum(maxPar);
    if (posPar >= 0)
        moveBar(barPar_, posPar);
    if (maxTot >= 0)
        barTot_->setMaximum(maxTot);
    if (posTot >= 0)
        moveBar(barTot_, posTot);
    if (info != "-1")
        setFittedText(info_, qs(info));
    if (title != "-1")
        title_->setText(qs(title));
    redraw();
    return interruzione_;
}

void TFormProgress::ProgressReset() {
    interruzione_ = false;
    escapePressed_ = false;
    moveBar(barPar_, 0);
    moveBar(barTot_, 0);
    redraw();
}

void TFormProgress::ProgressFull() {
    moveBar(barPar_, barPar_->maximum());
    moveBar(barTot_, barTot_->maximum());
    redraw();
    Delay(800);
    if (isVisible())
        close();
}

void TFormProgress::Delay(unsigned ms) {
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    const auto wanted = std::chrono::milliseconds(ms);
    QCoreApplication::processEvents();
    for (;;) {
        const auto elapsed = clock::now() - start;
        if (elapsed >= wanted)
            break;
        // Wait for the rest of the pause inside an event loop, so the window stays
        // responsive without spinning the processor.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(wanted - elapsed);
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(left.count()), Qt::PreciseTimer, &loop,
                           &QEventLoop::quit);
        loop.exec();
    }
    paused_ += clock::now() - start;
}

bool TFormProgress::escapeHeld() {
    const bool held = escapeDown_ || escapePressed_;
    escapePressed_ = false;
    return held;
}

void TFormProgress::setInfo(std::string_view info) {
    setFittedText(info_, qs(info));
    redraw();
}

void TFormProgress::close() {
    QWidget::close();
}

void TFormProgress::BtInterrompiClick() {
    interruzione_ = true;
    rep_.trace("TFormProgress.InterrompiClick (Abort print)");
    setFittedText(info_,
                  QStringLiteral("Interruzione processo da parte dell'utente, attendere..."));
    QCoreApplication::processEvents();
    if (cancelReportJob_)
        cancelReportJob_();
    QCoreApplication::processEvents();
    unsetCursor();
    stop_->unsetCursor();
    close();
}

bool TFormProgress::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) {
            // Every widget on the way sees the same event; count it once per change.
            const bool down = event->type() == QEvent::KeyPress;
            if (down && !escapeDown_)
                escapePressed_ = true;
            escapeDown_ = down;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace vexora::ui

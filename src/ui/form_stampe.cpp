#include "ui/form_stampe.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

#include "compose/plans.h"
#include "core/file_util.h"
#include "data/archive_resets.h"
#include "data/program_lifecycle.h"
#include "print/report_renderers.h"
#include "print/run_summary.h"
#include "settings/ini_file.h"
#include "ui/artwork.h"
#include "ui/fonts.h"
#include "ui/form_progress.h"
#include "ui/print_setup_dialog.h"
#include "ui/text_fit.h"
#include "ui/widget_util.h"

namespace vexora::ui {
namespace {

constexpr int kClientSize = 600;
constexpr int kMargin = 8;
constexpr int kBottom = 60;
constexpr int kPanelRadius = 8;  // the 16 x 16 corner ellipse

const QColor kWindowColour(151, 187, 223);
const QColor kGroupColour(61, 111, 160);
const QColor kGroupHoverOther(192, 192, 192);
const QColor kLink(53, 98, 142);
const QColor kLinkHover(29, 36, 73);
const QColor kPageText(29, 36, 73);
const QColor kHelpText(89, 132, 130);
const QColor kNavText(50, 50, 50);
const QColor kKindText(0, 64, 128);
const QColor kPageBlue(84, 123, 197);
const QColor kRule(220, 234, 241);
const QColor kProblemText(160, 30, 30);

QLabel* label(const QString& name, const QString& text, QWidget* parent, const QFont& font,
              const QColor& colour, QRect geometry, bool wrap = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setFont(font);
    setTextColour(l, colour);
    l->setGeometry(geometry);
    l->setWordWrap(wrap);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

// A page (or picture) with its background drawn at its size; `rounded` clips it to the
// back panel's corners, which the page covers exactly.
class PictureWidget : public QWidget {
public:
    PictureWidget(QPixmap (*draw)(QSize), bool rounded, QWidget* parent)
        : QWidget(parent), draw_(draw), rounded_(rounded) {}
    std::function<void()> onDoubleClick;

protected:
    void paintEvent(QPaintEvent*) override {
        if (cache_.size() != size())
            cache_ = draw_(size());
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (rounded_) {
            QPainterPath clip;
            clip.addRoundedRect(QRectF(rect()), kPanelRadius, kPanelRadius);
            p.setClipPath(clip);
        }
        p.drawPixmap(0, 0, cache_);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (onDoubleClick)
            onDoubleClick();
        QWidget::mouseDoubleClickEvent(event);
    }

private:
    QPixmap (*draw_)(QSize);
    bool rounded_;
    QPixmap cache_;
};

CommandLink* commandLink(const QString& name, const QString& text, QWidget* parent,
                         const QColor& colour, QRect geometry) {
    auto* b = new CommandLink(text, parent);
    b->setObjectName(name);
    b->setFont(tahoma(15, true));
    setTextColour(b, colour);
    b->setGeometry(geometry);
    return b;
}

}  // namespace

TFormStampe::TFormStampe(MainWindowServices services)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      s_(services) {
    setObjectName(QStringLiteral("FormStampe"));
    setWindowTitle(QStringLiteral("Stampa quiz AB, AM, Superiori e CQC"));
    setFixedSize(kClientSize, kClientSize);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kWindowColour);
    setPalette(pal);
    setFont(tahoma(16, true));
    buildFrame();
    // The window sees key presses before its controls (Ctrl+Alt+C).
    qApp->installEventFilter(this);
}

TFormStampe::~TFormStampe() {
    if (qApp)
        qApp->removeEventFilter(this);
}

void TFormStampe::attach(TFormProgress& progress, compose::SheetComposer& composer,
                         print::SheetPrinter& printer) {
    progress_ = &progress;
    composer_ = &composer;
    printer_ = &printer;
}

// ---------------------------------------------------------------- construction

void TFormStampe::buildFrame() {
    pnBack_ = new RoundedPanel(this, kPanelRadius);
    pnBack_->setObjectName(QStringLiteral("PnBack"));
    pnBack_->setGeometry(kMargin, kMargin, kClientSize - 2 * kMargin,
                         kClientSize - kMargin - kBottom);
    pnBack_->setFocusPolicy(Qt::StrongFocus);

    pcPagina_ = new QStackedWidget(pnBack_);
    pcPagina_->setObjectName(QStringLiteral("PcPagina"));
    pcPagina_->setGeometry(pnBack_->rect());
    auto* page1 = new PictureWidget(&categoryPageBackground, true, pcPagina_);
    page1->setObjectName(QStringLiteral("Tab1_Tipo"));
    auto* page2 = new QWidget(pcPagina_);
    page2->setObjectName(QStringLiteral("Tab2_Argomenti"));
    auto* page3 = new PictureWidget(&printPageBackground, true, pcPagina_);
    page3->setObjectName(QStringLiteral("Tab3_Stampa"));
    pcPagina_->addWidget(page1);
    pcPagina_->addWidget(page2);
    pcPagina_->addWidget(page3);
    buildPage1(page1);
    buildPage2(page2);
    buildPage3(page3);

    const QFont navFont = tahoma(13);
    btIndietro_ = new QPushButton(QStringLiteral("Esci"), this);
    btIndietro_->setObjectName(QStringLiteral("BtIndietro"));
    btAvanti_ = new QPushButton(QStringLiteral("Avanti"), this);
    btAvanti_->setObjectName(QStringLiteral("BtAvanti"));
    for (QPushButton* b : {btIndietro_, btAvanti_}) {
        b->setFont(navFont);
        setTextColour(b, kNavText);
        b->setFixedSize(100, 31);
    }
    const int navTop = kClientSize - kBottom + (kBottom - 31) / 2;
    btAvanti_->move(kClientSize - kMargin - 100, navTop);
    btIndietro_->move(kClientSize - kMargin - 206, navTop);
    connect(btAvanti_, &QPushButton::clicked, this, [this] { BtAvantiClick(); });
    btAvanti_->installEventFilter(this);
    connect(btIndietro_, &QPushButton::clicked, this, [this] { BtIndietroClick(btIndietro_); });

    const QFont linkFont = arial(13, true);
    lImposta_ = label(QStringLiteral("LImposta"),
                      QStringLiteral("Impostazione della stampante predefinita"), this, linkFont,
                      kLink, QRect(kMargin + 4, kClientSize - kBottom + 10, 300, 18));
    lOpzioni_ = label(QStringLiteral("LOpzioni"), QStringLiteral("Opzioni di configurazione"), this,
                      linkFont, kLink, QRect(kMargin + 4, kClientSize - kBottom + 32, 300, 18));
    for (QLabel* l : {lImposta_, lOpzioni_}) {
        l->setCursor(Qt::PointingHandCursor);
        l->adjustSize();
        l->installEventFilter(this);
    }
}

void TFormStampe::buildPage1(QWidget* page) {
    const int w = kClientSize - 2 * kMargin;
    groupGroup_ = new QButtonGroup(this);
    groupGroup_->setExclusive(true);
    const int gap = 14;
    const int left = (w - (4 * kGroupPictureWidth + 3 * gap)) / 2;
    for (int tag = 0; tag < 4; ++tag) {
        const auto g = static_cast<CategoryGroup>(tag);
        auto* b = new QToolButton(page);
        b->setObjectName(qs(groupButtonName(g)));
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setIconSize(QSize(kGroupPictureWidth, kGroupPictureHeight));
        b->setIcon(imageListPicture(tag * 2));
        b->setGeometry(left + tag * (kGroupPictureWidth + gap), 26, kGroupPictureWidth,
                       kGroupPictureHeight);
        b->setCursor(Qt::PointingHandCursor);
        // The picture is the whole button: no frame, no pressed look of its own.
        b->setStyleSheet(
            QStringLiteral("QToolButton { border: none; padding: 0; margin: 0; "
                           "background: transparent; }"));
        b->setMouseTracking(true);
        b->installEventFilter(this);
        groupGroup_->addButton(b, tag);
        groupButtons_[tag] = b;
    }
    connect(groupGroup_, &QButtonGroup::idClicked, this, [this](int) { BtQuizModeClick(); });

    labelBtMenu_ = new QLabel(qs(noGroupCaption()), page);
    labelBtMenu_->setObjectName(QStringLiteral("LabelBtMenu"));
    labelBtMenu_->setFont(tahoma(13));
    setTextColour(labelBtMenu_, kGroupColour);
    labelBtMenu_->setAlignment(Qt::AlignCenter);
    labelBtMenu_->setGeometry(10, 84, w - 20, 20);

    lbListati_ = label(QStringLiteral("LbListatiQuiz"), QStringLiteral("Listato"), page,
                       tahoma(13, true), kPageText, QRect(112, 124, 70, 22));
    lbListati_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cbListati_ = new QComboBox(page);
    cbListati_->setObjectName(QStringLiteral("CbListatiQuiz"));
    cbListati_->setFont(tahoma(13));
    cbListati_->setGeometry(190, 122, 280, 26);
    connect(cbListati_, &QComboBox::activated, this, [this](int) { CbListatiQuizChange(); });
    // Only the SUP and CQC groups have a listato.
    lbListati_->hide();
    cbListati_->hide();

    btTipoEsame_ = commandLink(QStringLiteral("BtTipoEsame"), QStringLiteral("Schede tipo Esame"),
                               page, kKindText, QRect(92, 176, 400, 58));
    btTipoArgom_ =
        commandLink(QStringLiteral("BtTipoArgom"), QStringLiteral("Schede tipo Argomento"), page,
                    kKindText, QRect(92, 246, 400, 58));
    btTipoEsame_->setEnabled(false);
    btTipoArgom_->setEnabled(false);
    connect(btTipoEsame_, &QPushButton::clicked, this, [this] { BtTipoEsameClick(); });
    connect(btTipoArgom_, &QPushButton::clicked, this, [this] { BtTipoArgomClick(); });

    // Why a sheet kind is not possible (or what a run will lack): always visible, since
    // the loaders' own reports may only reach the hidden log.
    lbStatoArchivi_ = label(QStringLiteral("LbStatoArchivi"), QString(), page, tahoma(13, true),
                            kProblemText, QRect(40, 410, w - 80, 44), false);
    lbStatoArchivi_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lbStatoArchivi_->setStyleSheet(
        QStringLiteral("QLabel { background: rgba(255, 255, 255, 230); border: 1px solid "
                       "rgb(200, 120, 120); border-radius: 4px; padding: 2px 6px; }"));
    lbStatoArchivi_->hide();

    label(QStringLiteral("Label3"),
          QStringLiteral("Selezionare la tipologia di esercitazione che si desidera stampare e "
                         "premere 'Avanti'. Per uscire dall'applicazione premere Premere "
                         "'Chiudi'"),
          page, font(), kHelpText, QRect(40, 330, w - 80, 80), true);
}

void TFormStampe::buildPage2(QWidget* page) {
    const QSize size(kClientSize - 2 * kMargin, kClientSize - kMargin - kBottom);
    page->setFont(tahoma(13));
    setTextColour(page, kPageText);
    // Panel_back: the blue panel, covered by its picture Image2.
    auto* back = new PictureWidget(&topicPageBackground, true, page);
    back->setObjectName(QStringLiteral("Panel_back"));
    back->setGeometry(QRect(QPoint(0, 0), size));
    auto* picture = new PictureWidget(&topicPageBackground, true, back);
    picture->setObjectName(QStringLiteral("Image2"));
    picture->setGeometry(back->rect());
    picture->onDoubleClick = [this] { ResetSelectArgs(); };
    image2_ = picture;

    label(QStringLiteral("Label5"),
          QStringLiteral("Per selezionare più argomenti usare il tasto sinistro del mouse in "
                         "combinazione ai tasti 'Ctrl' oppure 'Shift'."),
          picture, tahoma(13), kPageText, QRect(26, 250, 182, 100), true);
    label(QStringLiteral("Label7"),
          QStringLiteral("In alternativa premere il solo tasto destro sul titolo "
                         "dell'argomento "),
          picture, tahoma(13), kPageText, QRect(26, 360, 182, 70), true);

    const int top = 14;
    const int height = size.height() - 28;
    auto* frame = new QWidget(back);  // white frame around the two lists
    frame->setObjectName(QStringLiteral("TopicFrame"));
    frame->setAutoFillBackground(true);
    frame->setGeometry(232, top - 4, 280 + 1 + 56 + 8, height + 8);
    lbArgomenti_ = new TopicListBox(back);
    lbArgomenti_->setObjectName(QStringLiteral("LbArgomenti"));
    lbArgomenti_->setGeometry(236, top, 280, height);
    auto* rule = new QWidget(back);
    rule->setObjectName(QStringLiteral("Panel1"));
    rule->setAutoFillBackground(true);
    QPalette rp = rule->palette();
    rp.setColor(QPalette::Window, kRule);
    rule->setPalette(rp);
    rule->setGeometry(236 + 280, top, 1, height);
    lbCount_ = new CountListBox(back);
    lbCount_->setObjectName(QStringLiteral("LbCount"));
    lbCount_->setGeometry(236 + 281, top, 56, height);
    for (QListWidget* l :
         {static_cast<QListWidget*>(lbArgomenti_), static_cast<QListWidget*>(lbCount_)}) {
        l->setFont(tahoma(13));
        QPalette p = l->palette();
        p.setColor(QPalette::Text, kPageText);
        p.setColor(QPalette::Base, QColor(255, 255, 255));
        p.setColor(QPalette::Disabled, QPalette::Base, QColor(255, 255, 255));
        l->setPalette(p);
    }
    // The counts follow the topic list when it scrolls.
    connect(lbArgomenti_->verticalScrollBar(), &QScrollBar::valueChanged,
            lbCount_->verticalScrollBar(), &QScrollBar::setValue);
    connect(lbArgomenti_, &QListWidget::itemSelectionChanged, this,
            [this] { topicSelectionChanged(); });
    lbArgomenti_->setRightButtonToggle([this](int row) { toggleTopic(row); });
}

void TFormStampe::buildPage3(QWidget* page) {
    const QFont f = tahoma(15);
    const int w = kClientSize - 2 * kMargin;
    label(QStringLiteral("Label2"), QStringLiteral("Numero di schede da stampare"), page, f,
          kPageText, QRect(40, 52, 300, 24));
    seSchede_ =
        new NumberField(QStringLiteral("SeSchede"), QStringLiteral("UdSchede"), 1, 600, 4, page);
    seSchede_->setGeometry(380, 49, 80, 28);
    label(QStringLiteral("Label1"), QStringLiteral("Numero di copie per ogni scheda"), page, f,
          kPageText, QRect(40, 94, 300, 24));
    seCopie_ =
        new NumberField(QStringLiteral("SeCopie"), QStringLiteral("UdCopie"), 1, 999, 1, page);
    seCopie_->setGeometry(380, 91, 80, 28);
    lbSchedeAvviso_ = label(QStringLiteral("LbSchedeAvviso"), QString(), page, tahoma(12),
                            kProblemText, QRect(40, 78, 420, 15));
    lbSchedeAvviso_->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lbSchedeAvviso_->hide();
    connect(seSchede_->edit(), &QLineEdit::textEdited, this, [this] { lbSchedeAvviso_->hide(); });
    connect(seSchede_->edit(), &QLineEdit::editingFinished, this, [this] { showSheetCount(); });
    for (NumberField* n : {seSchede_, seCopie_}) {
        n->edit()->setFont(tahoma(15));
        setTextColour(n->edit(), kPageText);
    }
    label(QStringLiteral("Label4"),
          QStringLiteral("Stampa un un solo correttore per tutte le copie della stessa scheda"),
          page, f, kPageText, QRect(40, 136, 330, 44), true);
    ckUnSolo_ = new QCheckBox(page);
    ckUnSolo_->setObjectName(QStringLiteral("CkUnSoloCorrettore"));
    ckUnSolo_->setAccessibleName(QStringLiteral("Stampa un un solo correttore"));
    ckUnSolo_->setChecked(true);
    ckUnSolo_->setGeometry(380, 138, 24, 24);
    ckUnSolo_->setVisible(false);
    connect(ckUnSolo_, &QCheckBox::toggled, this,
            [this](bool on) { s_.switches.CkUnSoloCorrettore = on; });
    connect(seCopie_->edit(), &QLineEdit::textChanged, this, [this] { SeCopieChange(); });

    btPrint_ = commandLink(QStringLiteral("BtPrint"), QString(), page, kPageText,
                           QRect(40, 200, w - 80, 58));
    connect(btPrint_, &QPushButton::clicked, this, [this] { BtPrintClick(); });
    btPrint_->installEventFilter(this);

    label(QStringLiteral("Label6"),
          QStringLiteral("Una volta impostato il numero di schede e l'eventuale numero di copie "
                         "premere il tasto 'Avvia...' oppure 'Avanti' per stampare."),
          page, tahoma(13), kHelpText, QRect(40, 284, 320, 60), true);
    label(QStringLiteral("Label9"),
          QStringLiteral("Stampando comparirà un indicatore di avanzamento e sarà possibile "
                         "uscire con il tasto 'Interrompi'"),
          page, tahoma(13), kHelpText, QRect(40, 350, 320, 60), true);
}

// ---------------------------------------------------------------- life cycle

settings::ScreenGeometry TFormStampe::screenGeometry() const {
    settings::ScreenGeometry screen;
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        screen.screenWidth = primary->geometry().width();
        screen.screenHeight = primary->geometry().height();
    }
    screen.windowWidth = frameGeometry().width();
    screen.windowHeight = frameGeometry().height();
    return screen;
}

void TFormStampe::setVisible(bool visible) {
    if (visible && !shown_ && !testAttribute(Qt::WA_WState_Created)) {
        // Placed before the system window exists, the saved position is taken as the
        // frame's, as it was saved; once the window exists (when the settings are read)
        // the window manager would put the client area there and every start would
        // creep by the size of the title bar.
        try {
            const auto [left, top] = s_.settings.windowPosition(screenGeometry());
            placeOnScreen(left, top);
            placedBeforeShow_ = true;
        } catch (const std::exception&) {
            // An unreadable settings file is reported when the settings are read.
        }
    }
    QWidget::setVisible(visible);
}

void TFormStampe::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TFormStampe::FormShow() {
    labelBtMenu_->setText(qs(noGroupCaption()));
    setWindowTitle(QStringLiteral("Stampa quiz AB, AM, Superiori e CQC"));
    btTipoEsame_->setEnabled(false);
    btTipoArgom_->setEnabled(false);
    s_.state.currentCategory = mqNone;

    const settings::ScreenGeometry screen = screenGeometry();
    const std::string title = data::programTitle();
    data::startProgram(s_.settings, s_.state, s_.switches, s_.values, s_.reporting.log, screen,
                       title);
    seSchede_->setText(qs(s_.values.sheetCountText));
    seSchede_->setPosition(s_.values.sheetCount);
    seCopie_->setText(qs(s_.values.copyCountText));
    seCopie_->setPosition(s_.values.copyCount);
    ckUnSolo_->setChecked(s_.switches.CkUnSoloCorrettore);
    SeCopieChange();
    if (!placedBeforeShow_)
        placeOnScreen(s_.values.left, s_.values.top);

    setWindowTitle(QStringLiteral("Caricamento archivi in corso, attendere..."));
    BtQuizModeClick();
    setWindowTitle(qs(title));
    showPage(0);
    setNavigation("Avanti", "Chiudi");
}

void TFormStampe::placeOnScreen(int left, int top) {
    // A saved position off every screen (a monitor removed since) would leave the window
    // out of reach: then it is centred on the primary screen.
    const QRect frame(QPoint(left, top), frameGeometry().size());
    const QRect titleBar(frame.topLeft(), QSize(frame.width(), 30));
    bool visible = false;
    for (const QScreen* sc : QGuiApplication::screens()) {
        const QRect shown = sc->availableGeometry().intersected(titleBar);
        if (shown.width() >= 100 && shown.height() >= 10)
            visible = true;
    }
    QPoint at(left, top);
    if (!visible) {
        const QScreen* primary = QGuiApplication::primaryScreen();
        if (!primary)
            return;
        at = primary->availableGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2);
    }
    move(at);
}

void TFormStampe::closeEvent(QCloseEvent* event) {
    if (running_) {
        // Closing now would leave the run printing with no main window, and end the
        // program before the history is saved.
        event->ignore();
        if (!closeAfterRun_ && s_.reporting.ui.askYesNo("Interrompere la stampa in corso?")) {
            closeAfterRun_ = true;
            if (progress_)
                progress_->BtInterrompiClick();
        }
        return;
    }
    FormClose();
    event->accept();
}

void TFormStampe::FormClose() {
    s_.values.left = frameGeometry().left();
    s_.values.top = frameGeometry().top();
    s_.values.sheetCountText = seSchede_->text().toStdString();
    s_.values.copyCountText = seCopie_->text().toStdString();
    s_.switches.CkUnSoloCorrettore = ckUnSolo_->isChecked();
    try {
        data::shutdownProgram(s_.settings, s_.state, s_.switches, s_.values);
    } catch (const settings::IniWriteError& e) {
        closingSaveFailed(e, e.path(), e.detail());
    } catch (const std::exception& e) {
        closingSaveFailed(e, s_.settings.settingsPath(), e.what());
    }
}

void TFormStampe::closingSaveFailed(const std::exception& e, const std::string& file,
                                    const std::string& detail) {
    // The program still ends. The handler follows CkNoExceptMsg (a log line); the
    // counters are told of in a box whatever it says, or the next start hands out the
    // labels of this one again.
    if (exceptionHandler_)
        exceptionHandler_(e);
    s_.reporting.ui.messageBox(settings::counterSaveFailedMessage(file, detail));
}

bool TFormStampe::printClickTooSoon() const {
    return pcPagina_->currentIndex() == 2 && pageShownAt_.isValid() &&
           pageShownAt_.elapsed() < QApplication::doubleClickInterval();
}

bool TFormStampe::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if ((watched == btPrint_ || watched == btAvanti_) &&
        (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
        printClickTooSoon()) {
        // The second click of a double click on page 1 or 2 lands on the button that
        // now prints: it would start a run nobody asked for.
        return true;
    }
    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* w = qobject_cast<QWidget*>(watched);
        const Qt::KeyboardModifiers mods = key->modifiers();
        if (w && w->window() == this && key->key() == Qt::Key_C && (mods & Qt::ControlModifier) &&
            (mods & Qt::AltModifier)) {
            LOpzioniClick();
            return true;
        }
    }
    if (watched == lImposta_ || watched == lOpzioni_) {
        auto* l = static_cast<QLabel*>(watched);
        if (type == QEvent::Enter || type == QEvent::MouseMove)
            setTextColour(l, kLinkHover);
        else if (type == QEvent::Leave)
            setTextColour(l, kLink);
        else if (type == QEvent::MouseButtonRelease &&
                 static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                 l->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
            if (l == lImposta_)
                SbImpostaClick();
            else
                LOpzioniClick();
            return true;
        }
    }
    for (int tag = 0; tag < 4; ++tag) {
        if (watched == groupButtons_[tag]) {
            if (type == QEvent::Enter || type == QEvent::MouseMove)
                hoverGroup(tag);
            else if (type == QEvent::Leave)
                leaveGroup();
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- page 1

void TFormStampe::setGroupDown(CategoryGroup g) {
    groupButtons_[static_cast<int>(g)]->setChecked(true);
}

std::optional<CategoryGroup> TFormStampe::downGroup() const {
    const int id = groupGroup_->checkedId();
    if (id < 0)
        return std::nullopt;
    return static_cast<CategoryGroup>(id);
}

void TFormStampe::setPictures(std::optional<CategoryGroup> highlighted) {
    for (int tag = 0; tag < 4; ++tag) {
        const bool on = highlighted && static_cast<int>(*highlighted) == tag;
        const int index = tag * 2 + (on ? 1 : 0);
        if (shownPicture_[tag] != index) {
            shownPicture_[tag] = index;
            groupButtons_[tag]->setIcon(imageListPicture(index));
        }
    }
}

void TFormStampe::setCategoryCaptions(CategoryGroup g, TModalitaQuiz m) {
    labelBtMenu_->setText(qs(groupCaption(g)));
    btTipoEsame_->setText(qs(examButtonCaption(m)));
    btTipoArgom_->setText(qs(topicButtonCaption(m)));
}

void TFormStampe::BtQuizModeClick() {
    if (s_.state.runInProgress())
        return;  // the run holds its category
    const auto down = downGroup();
    TModalitaQuiz& current = s_.state.currentCategory;
    if (down == CategoryGroup::AB || down == CategoryGroup::AM) {
        current = firstCategoryOfGroup(*down);
        setCategoryCaptions(*down, current);
        setPictures(*down);
    } else if (down == CategoryGroup::SUP && current < mqSuperC1) {
        current = mqSuperC1;
        setCategoryCaptions(*down, current);
    } else if (down == CategoryGroup::CQC && current < mqCqc1M) {
        current = mqCqc1M;
        setCategoryCaptions(*down, current);
    } else if (down && current >= mqSuperC1) {
        // A second click on SUP or CQC, or SUP while a CQC category is current: the
        // category at the combo's position in the group that is down.
        CbListatiQuizChange();
        return;
    } else {
        return;
    }
    SetListato(current);
    InitAndCountDb();
}

void TFormStampe::CbListatiQuizChange() {
    if (s_.state.runInProgress())
        return;
    const int position = cbListati_->currentIndex();
    if (position < 0)
        return;
    const auto down = downGroup();
    if (down == CategoryGroup::SUP || down == CategoryGroup::CQC) {
        if (const auto m = categoryFromListato(*down, position)) {
            s_.state.currentCategory = *m;
            setCategoryCaptions(*down, *m);
        }
    }
    SetListato(s_.state.currentCategory);
    InitAndCountDb();
}

void TFormStampe::SetListato(TModalitaQuiz m) {
    const QSignalBlocker block(cbListati_);
    std::optional<CategoryGroup> g;
    if (m >= mqSuperC1 && m <= mqSuperDx)
        g = CategoryGroup::SUP;
    else if (m >= mqCqc1M && m <= mqCqc5B)
        g = CategoryGroup::CQC;
    if (!g) {
        lbListati_->hide();
        cbListati_->hide();
        cbListati_->setCurrentIndex(-1);
        return;
    }
    setPictures(*g);
    cbListati_->clear();
    for (std::string_view entry : listatoEntries(*g))
        cbListati_->addItem(qs(entry));
    lbListati_->show();
    cbListati_->show();
    cbListati_->setCurrentIndex(listatoPosition(m).value_or(-1));
}

void TFormStampe::InitAndCountDb() {
    btTipoEsame_->update();
    btTipoArgom_->update();
    pnBack_->setFocus();
    if (!isWorkingCategory(s_.state.currentCategory))
        return;
    lastOpening_ = data::InitAndCountDb(s_.state, s_.data);
    if (lastOpening_.refusedDuringRun)
        return;
    btTipoEsame_->setEnabled(lastOpening_.examPossible);
    btTipoArgom_->setEnabled(lastOpening_.topicPossible);
    refreshTopicLists();
    showCategoryProblems();
}

void TFormStampe::showCategoryProblems() {
    std::vector<std::string> problems;
    if (!lastOpening_.problem.empty())
        problems.push_back(lastOpening_.problem);
    if (printer_) {
        // Not needed to open the category, but every sheet of a run would fail without it.
        const std::string templ = printer_->templatePath();
        if (!s_.platform.fileExists(templ))
            problems.push_back(
                "Modello di stampa non trovato: nessuna scheda potr\u00e0 essere "
                "stampata.\nFile: " +
                templ);
    }
    std::error_code ec;
    if (!s_.state.figuresFolder.empty() &&
        !std::filesystem::is_directory(pathFromUtf8(s_.state.figuresFolder), ec))
        problems.push_back("Cartella delle figure non trovata: le figure resteranno vuote.\n" +
                           s_.state.figuresFolder);
    std::string text;
    int lines = 0;
    for (const std::string& p : problems) {
        text += (text.empty() ? "" : "\n") + p;
        lines += 1 + static_cast<int>(std::count(p.begin(), p.end(), '\n'));
    }
    // Grows upwards from the bottom of the page, one line of text each.
    const int height = std::min(lines, 6) * 17 + 10;
    lbStatoArchivi_->setGeometry(40, 470 - height, lbStatoArchivi_->width(), height);
    setFittedText(lbStatoArchivi_, qs(text));
    lbStatoArchivi_->setVisible(!text.empty());
}

void TFormStampe::hoverGroup(int tag) {
    const auto g = static_cast<CategoryGroup>(tag);
    labelBtMenu_->setText(qs(groupCaption(g)));
    setTextColour(labelBtMenu_, downGroup() == g ? kGroupColour : kGroupHoverOther);
}

void TFormStampe::leaveGroup() {
    const auto down = downGroup();
    labelBtMenu_->setText(qs(down ? groupCaption(*down) : noGroupCaption()));
    setTextColour(labelBtMenu_, kGroupColour);
}

// ---------------------------------------------------------------- navigation

void TFormStampe::setNavigation(const char* forward, const char* back) {
    btAvanti_->setText(QString::fromUtf8(forward));
    btIndietro_->setText(QString::fromUtf8(back));
    btAvanti_->update();
    btIndietro_->update();
}

void TFormStampe::showPage(int index) {
    if (pcPagina_->currentIndex() != index)
        pageShownAt_.start();
    pcPagina_->setCurrentIndex(index);
    if (index == 2)
        Tab3_StampaShow();
}

void TFormStampe::BtTipoEsameClick() {
    s_.state.currentKind = tdsEsame;
    pcPagina_->setCurrentIndex(1);
    {
        const QSignalBlocker block(lbArgomenti_);
        lbArgomenti_->clearSelection();
    }
    topicSelectionChanged();
    BtAvantiClick();
}

void TFormStampe::BtTipoArgomClick() {
    pcPagina_->setCurrentIndex(0);
    s_.state.currentKind = tdsArgomento;
    BtAvantiClick();
}

void TFormStampe::BtAvantiClick() {
    const int page = pcPagina_->currentIndex();
    if (page >= 2) {
        BtPrintClick();
        return;
    }
    showPage(page + 1);
    if (page + 1 == 1)
        setNavigation("Avanti", "Indietro");
    else
        setNavigation("Stampa", "Indietro");
}

void TFormStampe::BtIndietroClick(QObject* sender) {
    switch (pcPagina_->currentIndex()) {
        case 0:
            if (sender)
                close();
            break;
        case 1:
            showPage(0);
            setNavigation("Avanti", "Chiudi");
            break;
        default:
            if (s_.state.currentKind == tdsArgomento) {
                showPage(1);
                setNavigation("Avanti", "Indietro");
            } else {
                showPage(0);
                setNavigation("Avanti", "Chiudi");
            }
            break;
    }
}

void TFormStampe::Tab3_StampaShow() {
    s_.state.currentKind = s_.data.LbArgomenti.selectedCount() > 0 ? tdsArgomento : tdsEsame;
    btPrint_->setText(qs(printButtonCaption(s_.state.currentCategory, s_.state.currentKind)));
}

// ---------------------------------------------------------------- page 2

void TFormStampe::refreshTopicLists() {
    syncingTopics_ = true;
    const QSignalBlocker block(lbArgomenti_);
    auto fill = [](QListWidget* list, const data::TopicListModel& model) {
        list->clear();
        for (std::size_t i = 0; i < model.count(); ++i) {
            auto* item = new QListWidgetItem(qs(model.lines[i]), list);
            item->setSizeHint(QSize(list->width(), kTopicItemHeight));
        }
    };
    fill(lbArgomenti_, s_.data.LbArgomenti);
    fill(lbCount_, s_.data.LbCount);
    // The lines are cut at a fixed length; the list shows the whole title, elided to the
    // width it has, and the tooltip shows it all.
    if (s_.data.Argomenti.size() == static_cast<std::size_t>(lbArgomenti_->count())) {
        for (int i = 0; i < lbArgomenti_->count(); ++i) {
            const QString title = qs(s_.data.Argomenti[static_cast<std::size_t>(i)].Testo);
            QListWidgetItem* item = lbArgomenti_->item(i);
            item->setData(kWholeTitleRole, title);
            item->setToolTip(title);
        }
    }
    for (std::size_t i = 0; i < s_.data.LbArgomenti.count(); ++i) {
        if (i < s_.data.LbArgomenti.selected.size() && s_.data.LbArgomenti.selected[i])
            lbArgomenti_->item(static_cast<int>(i))->setSelected(true);
    }
    syncingTopics_ = false;
}

void TFormStampe::topicSelectionChanged() {
    if (syncingTopics_)
        return;
    data::TopicListModel& model = s_.data.LbArgomenti;
    const int rows = lbArgomenti_->count();
    std::vector<bool> wanted(static_cast<std::size_t>(rows), false);
    std::size_t count = 0;
    for (int i = 0; i < rows; ++i) {
        if (lbArgomenti_->item(i)->isSelected()) {
            wanted[static_cast<std::size_t>(i)] = true;
            ++count;
        }
    }
    const TModalitaQuiz m = s_.state.currentCategory;
    const int most = isWorkingCategory(m) ? compose::topicTableRows(m) : 0;
    if (most > 0 && count > static_cast<std::size_t>(most)) {
        // A sheet takes at most that many topics: give the extra selection back at once,
        // instead of letting the print run refuse every sheet.
        syncingTopics_ = true;
        {
            const QSignalBlocker block(lbArgomenti_);
            for (int i = 0; i < rows; ++i) {
                const auto k = static_cast<std::size_t>(i);
                lbArgomenti_->item(i)->setSelected(k < model.selected.size() && model.selected[k]);
            }
        }
        syncingTopics_ = false;
        s_.reporting.ui.messageBox("Si possono selezionare al massimo " + std::to_string(most) +
                                   " argomenti per una scheda " + std::string(displayName(m)) +
                                   ".");
        return;
    }
    for (int i = 0; i < rows; ++i)
        model.select(static_cast<std::size_t>(i), wanted[static_cast<std::size_t>(i)]);
}

void TFormStampe::toggleTopic(int row) {
    QListWidgetItem* item = lbArgomenti_->item(row);
    if (!item)
        return;
    item->setSelected(!item->isSelected());
}

void TFormStampe::ResetSelectArgs() {
    // Asks first; the history is saved at once, so a reset the user saw survives a close
    // without printing.
    const data::ResetResult r =
        data::ArchiveResets(s_.state, s_.data, s_.settings).ResetSelectArgs();
    if (r.topicListsRefilled)
        refreshTopicLists();
}

// ---------------------------------------------------------------- page 3

void TFormStampe::SeCopieChange() {
    ckUnSolo_->setVisible(integerOrOne(seCopie_->text()) > 1);
}

void TFormStampe::showSheetCount() {
    const QString typed = seSchede_->text();
    const int n = print::sheetCount(typed.toStdString());
    QString hint;
    if (n < 1) {
        hint =
            QStringLiteral("Indicare un numero di schede da 1 a %1.").arg(print::kMaxSheetsPerRun);
    } else {
        bool isNumber = false;
        const int value = typed.trimmed().toInt(&isNumber);
        if (!isNumber)
            hint = QStringLiteral("Numero non valido: sar\u00e0 stampata 1 scheda.");
        else if (value > print::kMaxSheetsPerRun)
            hint = QStringLiteral("Al massimo %1 schede per volta.").arg(print::kMaxSheetsPerRun);
        // The field shows the number that will run.
        if (typed != QString::number(n)) {
            seSchede_->setText(QString::number(n));
            seSchede_->setPosition(n);
        }
    }
    lbSchedeAvviso_->setText(hint);
    lbSchedeAvviso_->setVisible(!hint.isEmpty());
}

void TFormStampe::BtPrintClick() {
    if (!printer_ || !composer_ || !progress_ || progress_->isVisible() || s_.state.runInProgress())
        return;
    showSheetCount();
    if (print::sheetCount(seSchede_->text().toStdString()) < 1) {
        s_.reporting.ui.messageBox(
            "Nessuna scheda da stampare: indicare un numero di schede da 1 a " +
            std::to_string(print::kMaxSheetsPerRun) + ".");
        return;
    }
    print::PrintRequest request;
    request.sheetsText = seSchede_->text().toStdString();
    request.copiesText = seCopie_->text().toStdString();
    request.copies = seCopie_->position();
    s_.switches.CkUnSoloCorrettore = ckUnSolo_->isChecked();
    if (!s_.switches.CkStampaSuPdf)
        printer_->selectPrinter(qs(s_.values.printer));

    print::ReportRenderers renderers(*printer_, request.copies);
    print::PrintJobDriver driver(s_.state, s_.reporting, *progress_, s_.platform, s_.data,
                                 *composer_, renderers, &s_.settings);
    if (runStarting_)
        runStarting_();
    running_ = true;
    lastRun_ = driver.AvviaStampaSchede(s_.state.currentKind, request);
    running_ = false;
    // Back to the first page through page 2, with no sender: the window stays open.
    pcPagina_->setCurrentIndex(1);
    BtIndietroClick(nullptr);
    if (progress_->isVisible())
        progress_->close();
    refreshTopicLists();
    if (runEnded_)
        runEnded_();
    if (closeAfterRun_) {
        // The user closed the window during the run and chose to interrupt it: the run
        // has saved what it printed, now the window closes.
        closeAfterRun_ = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

// ---------------------------------------------------------------- links

void TFormStampe::SbImpostaClick() {
    QPrinter printer;
    if (!s_.values.printer.empty())
        printer.setPrinterName(qs(s_.values.printer));
    if (!execPrintSetupDialog(printer, this,
                              QStringLiteral("Impostazione della stampante predefinita")))
        return;
    // The chosen printer is the one the next runs print on and the one the closing save
    // writes as "Stampante".
    s_.values.printer = printer.printerName().toStdString();
    if (printer_)
        printer_->selectPrinter(printer.printerName());
    if (printerChosen_)
        printerChosen_(s_.values.printer);
}

void TFormStampe::LOpzioniClick() {
    if (progress_ && progress_->isVisible())
        return;
    if (showOptions_)
        showOptions_();
}

}  // namespace vexora::ui

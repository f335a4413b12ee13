#include "ui/form_opzioni.h"

#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QMouseEvent>

#include <algorithm>

#include "core/default_printer.h"
#include "data/options_numbering.h"
#include "settings/ini_file.h"
#include "ui/fonts.h"
#include "ui/form_stampe.h"
#include "ui/import_dialog.h"
#include "ui/widget_util.h"
#include "ui/window_decoration.h"
#include "ui/window_interaction.h"

namespace vexora::ui {
namespace {

constexpr int kClientWidth = 627;
constexpr int kClientHeight = 386;
const QColor kHoverText(29, 36, 73);
// The link's resting colour: a light grey that still reads on the white window (the
// system's light 3-D colour would all but vanish there).
const QColor kRestingLink(150, 150, 150);

QLabel* plainLabel(const QString& text, QWidget* parent, QRect geometry) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(geometry);
    return l;
}

QPushButton* button(const QString& name, const QString& text, QWidget* parent, QRect geometry) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    return b;
}

}  // namespace

TFormOpzioni::TFormOpzioni(TFormStampe& main, ProgramState& state, Switches& switches,
                           const Reporting& reporting, data::QuestionData& data,
                           const settings::SettingsModel& settings,
                           settings::MainWindowValues& values)
    : QWidget(&main,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      main_(main),
      state_(state),
      switches_(switches),
      rep_(reporting),
      data_(data),
      settings_(settings),
      values_(values),
      resets_(state, data, settings) {
    setObjectName(QStringLiteral("FormOpzioni"));
    setWindowTitle(QStringLiteral("Opzioni"));
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 255));
    setPalette(pal);
    setFont(tahoma(13));

    pcOpzioni_ = new QTabWidget(this);
    pcOpzioni_->setObjectName(QStringLiteral("PcOpzioni"));
    pcOpzioni_->setGeometry(8, 8, kClientWidth - 16, 330);
    auto* programma = new QWidget;
    auto* schede = new QWidget;
    auto* avanzate = new QWidget;
    pcOpzioni_->addTab(programma, QStringLiteral("Programma"));
    pcOpzioni_->addTab(schede, QStringLiteral("Schede quiz"));
    pcOpzioni_->addTab(avanzate, QStringLiteral("Avanzate"));
    buildProgramma(programma);
    buildSchede(schede);
    buildAvanzate(avanzate);

    lVer_ = new QLabel(this);
    lVer_->setObjectName(QStringLiteral("LVer"));
    lVer_->setGeometry(12, 350, 300, 22);
    btAnnulla_ = button(QStringLiteral("BtAnnulla"), QStringLiteral("Annulla"), this,
                        QRect(kClientWidth - 8 - 196, 346, 94, 30));
    btOk_ = button(QStringLiteral("BtOk"), QStringLiteral("Ok"), this,
                   QRect(kClientWidth - 8 - 94, 346, 94, 30));
    connect(btAnnulla_, &QPushButton::clicked, this, [this] { BtAnnullaClick(); });
    connect(btOk_, &QPushButton::clicked, this, [this] { BtOkClick(); });

    // FormCreate: the installed printers, in the platform's order.
    fillPrinters();
    if (const int strip = useTitleWithoutBoxes(this))
        setFixedSize(kClientWidth, kClientHeight + strip);
}

void TFormOpzioni::buildProgramma(QWidget* tab) {
    auto* school = new QGroupBox(QStringLiteral(" Autoscuola "), tab);
    school->setGeometry(10, 10, 585, 100);
    plainLabel(QStringLiteral("Nome"), school, QRect(16, 30, 70, 22));
    edNome_ = new QLineEdit(school);
    edNome_->setObjectName(QStringLiteral("Ed_NmScuola"));
    edNome_->setGeometry(90, 28, 478, 26);
    plainLabel(QStringLiteral("Indirizzo"), school, QRect(16, 64, 70, 22));
    edIndirizzo_ = new QLineEdit(school);
    edIndirizzo_->setObjectName(QStringLiteral("Ed_InScuola"));
    edIndirizzo_->setGeometry(90, 62, 478, 26);

    auto* printer = new QGroupBox(QStringLiteral(" Stampante "), tab);
    printer->setGeometry(10, 122, 585, 150);
    cbStampanti_ = new QComboBox(printer);
    cbStampanti_->setObjectName(QStringLiteral("cbStampanti"));
    cbStampanti_->setEditable(true);
    cbStampanti_->setInsertPolicy(QComboBox::NoInsert);
    cbStampanti_->setGeometry(16, 30, 320, 28);
    sbSetDefault_ = button(QStringLiteral("SbSetDefault"),
                           QStringLiteral("Imposta come  stampante predefinita"), printer,
                           QRect(346, 29, 225, 30));
    sbSetDefault_->setFlat(true);
    sbSetDefault_->setCursor(Qt::PointingHandCursor);
    connect(sbSetDefault_, &QPushButton::clicked, this, [this] { SbSetDefaultClick(); });
    auto* duplex = new QCheckBox(QStringLiteral("Stampa fronte/retro (Duplex)"), printer);
    duplex->setObjectName(QStringLiteral("CkSkedaDuplex"));
    duplex->setGeometry(16, 74, 400, 24);
    auto* noSetup = new QCheckBox(QStringLiteral("Evita la finestra di setup di stampa"), printer);
    noSetup->setObjectName(QStringLiteral("CkNoPrntSetup"));
    noSetup->setGeometry(16, 104, 400, 24);
    checks_.emplace_back(&Switches::CkSkedaDuplex, duplex);
    checks_.emplace_back(&Switches::CkNoPrntSetup, noSetup);
    for (auto& [member, box] : checks_) {
        connect(box, &QCheckBox::toggled, this, [this, m = member](bool on) { switches_.*m = on; });
    }
}

void TFormOpzioni::buildSchede(QWidget* tab) {
    auto* group = new QButtonGroup(this);
    group->setExclusive(false);  // no tab shows as pressed until one is pressed
    const auto& tabs = data::categoryTabs();
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        auto* b = new QPushButton(qs(tabs[i].caption), tab);
        b->setObjectName(QStringLiteral("TabQuiz") + qs(categoryCode(tabs[i].category)));
        b->setCheckable(true);
        const int row = static_cast<int>(i) / 7;
        const int col = static_cast<int>(i) % 7;
        b->setGeometry(8 + col * 84, 8 + row * 28, 82, 26);
        group->addButton(b, static_cast<int>(i));
        tabs_[i] = b;
    }
    connect(group, &QButtonGroup::idClicked, this, [this](int id) { PcTypeQuizChange(id); });

    pnQuiz_ = new QWidget(tab);
    pnQuiz_->setObjectName(QStringLiteral("PnQuiz"));
    pnQuiz_->setGeometry(4, 70, 597, 228);
    gbNumAndDb_ = new QGroupBox(pnQuiz_);
    gbNumAndDb_->setObjectName(QStringLiteral("GbNumAndDb"));
    gbNumAndDb_->setGeometry(6, 4, 585, 216);

    auto counterRow = [&](int y, const QString& caption, QLineEdit*& field,
                          const QString& fieldName, QPushButton*& prButton, const QString& prName,
                          QPushButton*& dbButton, const QString& dbName, const QString& dbCaption) {
        plainLabel(caption, gbNumAndDb_, QRect(12, y + 3, 140, 22));
        field = new QLineEdit(gbNumAndDb_);
        field->setObjectName(fieldName);
        field->setReadOnly(true);  // display only: what is typed there is never read
        field->setGeometry(152, y, 48, 28);
        prButton = button(prName, QStringLiteral("Reset numerazione"), gbNumAndDb_,
                          QRect(208, y, 120, 28));
        dbButton = button(dbName, dbCaption, gbNumAndDb_, QRect(336, y, 238, 28));
    };
    counterRow(34, QStringLiteral("scheda per argomento"), edProgArg_, QStringLiteral("EdProgArg"),
               btResetPrArg_, QStringLiteral("BtResetPrArg"), btResetDbArg_,
               QStringLiteral("BtResetDbArg"),
               QStringLiteral("Reset archivio di tutti gli argomenti"));
    counterRow(74, QStringLiteral("scheda tipo esame"), edProgEsa_, QStringLiteral("EdProgEsa"),
               btResetPrEsa_, QStringLiteral("BtResetPrEsa"), btResetDbEsa_,
               QStringLiteral("BtResetDbEsa"), QStringLiteral("Reset archivio fac-simile esame"));
    btFullReset_ = button(QStringLiteral("BtFullReset"),
                          QStringLiteral("Ricrea il database delle schede (reset totale)"),
                          gbNumAndDb_, QRect(12, 140, 300, 30));
    btResetArgSel_ =
        button(QStringLiteral("BtResetArgSel"), QStringLiteral("Reset degli argomenti selezionati"),
               gbNumAndDb_, QRect(320, 140, 254, 30));
    connect(btResetPrArg_, &QPushButton::clicked, this, [this] { BtResetPrArgClick(); });
    connect(btResetPrEsa_, &QPushButton::clicked, this, [this] { BtResetPrEsaClick(); });
    connect(btResetDbArg_, &QPushButton::clicked, this, [this] { BtResetDbArgClick(); });
    connect(btResetDbEsa_, &QPushButton::clicked, this, [this] { BtResetDbEsaClick(); });
    connect(btFullReset_, &QPushButton::clicked, this, [this] { BtFullResetClick(); });
    connect(btResetArgSel_, &QPushButton::clicked, this, [this] { BtResetArgSelClick(); });
}

void TFormOpzioni::buildAvanzate(QWidget* tab) {
    auto* group = new QGroupBox(QStringLiteral(" Stampa "), tab);
    group->setGeometry(10, 6, 585, 286);
    const auto& all = debugSwitches();
    auto addCheck = [&](const DebugSwitchInfo& info, QRect geometry) {
        auto* box = new QCheckBox(qs(info.caption), group);
        box->setObjectName(qs(info.key));
        box->setGeometry(geometry);
        checks_.emplace_back(info.member, box);
        connect(box, &QCheckBox::toggled, this,
                [this, m = info.member](bool on) { switches_.*m = on; });
    };
    // The first four are print switches, the other seven sit under " Test e debug ".
    for (int i = 0; i < 4; ++i)
        addCheck(all[static_cast<std::size_t>(i)],
                 QRect(16 + (i / 2) * 290, 26 + (i % 2) * 26, 285, 24));
    auto* heading = plainLabel(QStringLiteral(" Test e debug "), group, QRect(10, 90, 300, 22));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    for (int i = 4; i < kDebugSwitchCount; ++i) {
        const int k = i - 4;
        addCheck(all[static_cast<std::size_t>(i)],
                 QRect(16 + (k / 4) * 310, 116 + (k % 4) * 26, k / 4 ? 260 : 305, 24));
    }
    ripristina_ = new QLabel(QStringLiteral("Ripristina predefiniti"), group);
    ripristina_->setObjectName(QStringLiteral("PnRipristinaOpz"));
    ripristina_->setCursor(Qt::PointingHandCursor);
    ripristina_->setGeometry(420, 250, 150, 22);
    ripristina_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette p = ripristina_->palette();
    p.setColor(QPalette::WindowText, kRestingLink);
    ripristina_->setPalette(p);
    ripristina_->installEventFilter(this);
    auto* importa = button(QStringLiteral("BtImportaDomande"),
                           QStringLiteral("Importa domande da file..."), group,
                           QRect(16, 246, 230, 28));
    connect(importa, &QPushButton::clicked, this,
            [this] { importQuestionsFromFile(this, main_, state_, data_); });
}

QCheckBox* TFormOpzioni::check(bool Switches::*member) const {
    for (const auto& [m, box] : checks_)
        if (m == member)
            return box;
    return nullptr;
}

void TFormOpzioni::switchesToChecks() {
    for (auto& [member, box] : checks_) {
        const QSignalBlocker block(box);
        box->setChecked(switches_.*member);
    }
}

void TFormOpzioni::fillPrinters() {
    const QString text = cbStampanti_->currentText();
    cbStampanti_->clear();
    for (const std::string& name : installedPrinterNames())
        cbStampanti_->addItem(qs(name));
    cbStampanti_->setCurrentIndex(-1);
    cbStampanti_->setEditText(text.isEmpty() ? qs(values_.printer) : text);
}

void TFormOpzioni::selectPrinter(const std::string& name) {
    const int at = cbStampanti_->findText(qs(name), Qt::MatchExactly);
    cbStampanti_->setCurrentIndex(at);
    if (at < 0)
        cbStampanti_->setEditText(QString());
    values_.printer = cbStampanti_->currentText().toStdString();
}

// ---------------------------------------------------------------- showing

void TFormOpzioni::centreOnMainWindow() {
    const QRect main = main_.frameGeometry();
    const QSize outer = frameGeometry().size();
    move(main.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

void TFormOpzioni::showOptions() {
    if (!isVisible()) {
        // The printer text the program holds (loaded at start, chosen in the setup dialog).
        cbStampanti_->setEditText(qs(values_.printer));
        show();
    }
    raise();
    activateWindow();
    FormActivate();
}

void TFormOpzioni::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (resuming_)
        return;  // back after a print run: as the user left it
    centreOnMainWindow();
    FormShow();
}

void TFormOpzioni::stepAsideForRun() {
    // Always on top, the window would cover the progress window and its "Interrompi";
    // and its tabs and resets must not touch the category the run is marking.
    if (!isVisible())
        return;
    hiddenForRun_ = true;
    hide();
}

void TFormOpzioni::comeBackAfterRun() {
    if (!hiddenForRun_)
        return;
    hiddenForRun_ = false;
    resuming_ = true;
    show();
    resuming_ = false;
    AggiornaNumerazione();  // the run moved the counters
    raise();
    activateWindow();
}

bool TFormOpzioni::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(event);
}

void TFormOpzioni::FormShow() {
    pcOpzioni_->setCurrentIndex(0);
    // Unsaved switch changes are dropped: the file's state comes back.
    settings_.CaricaOpzioniDebug(switches_);
    switchesToChecks();
    if (!isWorkingCategory(state_.currentCategory)) {
        // Nothing chosen yet: AB, as if its tab had been pressed.
        state_.currentCategory = mqAB;
        PcTypeQuizChange(0);
    }
    for (QPushButton* b : tabs_) {
        const QSignalBlocker block(b);
        b->setChecked(false);
    }
    AggiornaNumerazione();
    lVer_->setText(QStringLiteral("Vexora versione: " VEXORA_VERSION));
}

void TFormOpzioni::FormActivate() {
    const QSignalBlocker a(edNome_);
    const QSignalBlocker b(edIndirizzo_);
    edNome_->setText(qs(state_.schoolName));
    edIndirizzo_->setText(qs(state_.schoolAddress));
    const QString text = cbStampanti_->currentText();
    int at = cbStampanti_->findText(text, Qt::MatchExactly);
    if (text.isEmpty() || at < 0) {
        const std::string def = GetDefaultPrinter();
        at = def.empty() ? -1 : cbStampanti_->findText(qs(def), Qt::MatchExactly);
    }
    cbStampanti_->setCurrentIndex(at);
}

// ---------------------------------------------------------------- category tabs

void TFormOpzioni::PcTypeQuizChange(int tab) {
    if (!isWorkingCategory(state_.currentCategory))
        return;
    if (state_.runInProgress()) {
        // The run holds its category: the tab shows the pressed state of before.
        for (QPushButton* b : tabs_) {
            const QSignalBlocker block(b);
            b->setChecked(false);
        }
        rep_.ui.messageBox(runInProgressRefusal());
        return;
    }
    const auto& tabs = data::categoryTabs();
    if (tab < 0 || tab >= static_cast<int>(tabs.size()))
        return;
    const data::CategoryTab& t = tabs[static_cast<std::size_t>(tab)];
    for (QPushButton* b : tabs_) {
        const QSignalBlocker block(b);
        b->setChecked(b == tabs_[static_cast<std::size_t>(tab)]);
    }
    main_.setGroupDown(t.group);
    state_.currentCategory = t.category;
    main_.SetListato(t.category);
    main_.BtQuizModeClick();
    AggiornaNumerazione();
}

void TFormOpzioni::AggiornaNumerazione() {
    const data::NumberingView v = data::AggiornaNumerazione(state_, data_.LbArgomenti);
    btResetArgSel_->setEnabled(v.resetSelectedEnabled);
    gbNumAndDb_->setTitle(qs(v.caption));
    edProgArg_->setText(qs(v.topicCounter));
    edProgEsa_->setText(qs(v.examCounter));
    pnQuiz_->setEnabled(v.panelEnabled);
}

// ---------------------------------------------------------------- OK, Annulla, defaults

void TFormOpzioni::BtOkClick() {
    settings::OptionsFormValues form;
    form.schoolName = edNome_->text().toStdString();
    form.schoolAddress = edIndirizzo_->text().toStdString();
    form.printer = cbStampanti_->currentText().toStdString();
    try {
        settings_.SalvaOpzioni(form, switches_, state_);
    } catch (const settings::IniWriteError& e) {
        saveFailed(e, e.path(), e.detail());
        return;
    } catch (const std::exception& e) {
        saveFailed(e, settings_.settingsPath(), e.what());
        return;
    }
    // The new school data print on the next sheets, without a restart.
    state_.schoolName = form.schoolName;
    state_.schoolAddress = form.schoolAddress;
    values_.printer = form.printer;
    hide();
}

void TFormOpzioni::saveFailed(const std::exception& e, const std::string& file,
                              const std::string& detail) {
    // The save stopped at the key the system refused; the window stays open. The handler
    // follows CkNoExceptMsg; the box is shown whatever it says.
    if (exceptionHandler_)
        exceptionHandler_(e);
    if (state_.runInProgress())
        rep_.ui.messageBox(e.what());
    else
        rep_.ui.messageBox(settings::optionsSaveFailedMessage(file, detail));
}

void TFormOpzioni::BtAnnullaClick() {
    hide();
}

void TFormOpzioni::PnRipristinaOpzMouseUp() {
    switches_.restoreDebugDefaults();
    switchesToChecks();
}

bool TFormOpzioni::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ripristina_) {
        QPalette p = ripristina_->palette();
        QFont f = ripristina_->font();
        switch (event->type()) {
            case QEvent::Enter:
                p.setColor(QPalette::WindowText, kHoverText);
                f.setUnderline(true);
                break;
            case QEvent::Leave:
                p.setColor(QPalette::WindowText, kRestingLink);
                f.setUnderline(false);
                break;
            case QEvent::MouseButtonRelease:
                PnRipristinaOpzMouseUp();
                return true;
            default:
                return QWidget::eventFilter(watched, event);
        }
        ripristina_->setPalette(p);
        ripristina_->setFont(f);
    }
    return QWidget::eventFilter(watched, event);
}

void TFormOpzioni::SbSetDefaultClick() {
    ImpostaStampantePredefinita(cbStampanti_->currentText().toStdString());
}

// ---------------------------------------------------------------- resets

void TFormOpzioni::showResult(const data::ResetResult& r) {
    if (r.topicCounterText)
        edProgArg_->setText(qs(*r.topicCounterText));
    if (r.examCounterText)
        edProgEsa_->setText(qs(*r.examCounterText));
    if (r.topicListsRefilled)
        main_.refreshTopicLists();
}

void TFormOpzioni::BtResetPrArgClick() {
    showResult(resets_.BtResetPrArg());
}
void TFormOpzioni::BtResetPrEsaClick() {
    showResult(resets_.BtResetPrEsa());
}
void TFormOpzioni::BtResetDbArgClick() {
    showResult(resets_.BtResetDbArg());
}
void TFormOpzioni::BtResetDbEsaClick() {
    showResult(resets_.BtResetDbEsa());
}

void TFormOpzioni::BtFullResetClick() {
    const data::ResetResult r =
        resets_.BtFullReset([this](bool enabled) { btFullReset_->setEnabled(enabled); });
    btFullReset_->setEnabled(true);
    showResult(r);
}

void TFormOpzioni::BtResetArgSelClick() {
    showResult(resets_.BtResetArgSel());
}

}  // namespace vexora::ui

#include "ui/import_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QVBoxLayout>

#include <exception>

#include "core/catalogue.h"
#include "print/question_import.h"
#include "ui/form_stampe.h"
#include "ui/widget_util.h"

namespace vexora::ui {

ImportReportDialog::ImportReportDialog(const QString& title, const QString& report, bool importable,
                                       QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("FormImporta"));
    setWindowTitle(title);
    resize(720, 440);
    auto* layout = new QVBoxLayout(this);
    report_ = new QPlainTextEdit(report, this);
    report_->setObjectName(QStringLiteral("MemoReport"));
    report_->setReadOnly(true);
    report_->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(report_);
    auto* buttons = new QDialogButtonBox(this);
    btImporta_ = buttons->addButton(QStringLiteral("Importa"), QDialogButtonBox::AcceptRole);
    btImporta_->setObjectName(QStringLiteral("BtImporta"));
    btImporta_->setEnabled(importable);
    btAnnulla_ = buttons->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    btAnnulla_->setObjectName(QStringLiteral("BtAnnulla"));
    (importable ? btImporta_ : btAnnulla_)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

namespace {

ImportDialogHooks* hooksOf(QWidget* window) {
    if (!window)
        return nullptr;
    for (QObject* child : window->children())
        if (auto* hooks = dynamic_cast<ImportDialogHooks*>(child))
            return hooks;
    return nullptr;
}

}  // namespace

bool importQuestionsFromFile(QWidget* parent, TFormStampe& main, const ProgramState& state,
                             const data::QuestionData& data, QString csvFile) {
    ImportDialogHooks* const hooks = hooksOf(parent);
    const TModalitaQuiz m = state.currentCategory;
    const QString title = QStringLiteral("Importa domande ") + qs(displayName(m));
    const auto message = [&](QMessageBox::Icon icon, const QString& text) {
        if (hooks && hooks->message) {
            hooks->message(text);
            return;
        }
        QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
        box.exec();
    };
    if (!isWorkingCategory(m)) {
        message(QMessageBox::Information,
                QStringLiteral("Scegliere prima la categoria da importare."));
        return false;
    }
    if (csvFile.isEmpty())
        csvFile = hooks && hooks->chooseFile
                      ? hooks->chooseFile()
                      : QFileDialog::getOpenFileName(
                            parent, title, QString(),
                            QStringLiteral("Elenchi CSV (*.csv *.txt);;Tutti i file (*)"));
    if (csvFile.isEmpty())
        return false;

    print::ImportRequest request;
    request.folder = state.dataFolder;
    request.category = m;
    request.csvFile = csvFile.toStdString();
    // The pictures of a list lie beside it, as a spreadsheet's export leaves them.
    request.picturesFolder = QFileInfo(csvFile).absolutePath().toStdString() + "/";
    request.figuresFolder = state.figuresFolder;
    importer::QuestionList list;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        list = print::prepareImport(request);
        QApplication::restoreOverrideCursor();
    }
    ImportReportDialog dialog(title, qs(importer::formatReport(list)), list.ok(), parent);
    bool accepted = false;
    if (hooks && hooks->answerReport) {
        dialog.show();
        hooks->answerReport(dialog);
        accepted = dialog.result() == QDialog::Accepted;
        dialog.hide();
    } else {
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (!accepted || !list.ok())
        return false;

    print::ImportOutcome outcome;
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        outcome = print::commitImport(request, list);
        QApplication::restoreOverrideCursor();
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        message(QMessageBox::Warning,
                QStringLiteral("Importazione non riuscita\nERRORE: ") + qs(e.what()));
        return false;
    }
    // The category is opened again on its new files, as when it is chosen.
    main.InitAndCountDb();
    QString counts;
    for (const data::TArgomento& a : data.Argomenti)
        counts += QStringLiteral("\n") + qs(data::topicCountLine(a.RecordSvolti, a.RecordTotali)) +
                  QStringLiteral("  ") + qs(a.Testo);
    message(QMessageBox::Information, qs(print::outcomeSummary(list, outcome)) +
                                          QStringLiteral("\n\nArgomenti (stampate/totali):") +
                                          counts);
    return true;
}

}  // namespace vexora::ui

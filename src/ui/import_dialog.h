#pragma once

#include <QDialog>
#include <QObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>

#include <functional>

#include "core/program_state.h"
#include "data/question_data.h"

namespace vexora::ui {

class TFormStampe;

// The report of a question list read for import, shown before anything is written, with
// "Importa" (only when the list has no errors) and "Annulla".
class ImportReportDialog : public QDialog {
public:
    ImportReportDialog(const QString& title, const QString& report, bool importable,
                       QWidget* parent);
    QPlainTextEdit* report() const { return report_; }
    QPushButton* BtImporta() const { return btImporta_; }
    QPushButton* BtAnnulla() const { return btAnnulla_; }

private:
    QPlainTextEdit* report_ = nullptr;
    QPushButton* btImporta_ = nullptr;
    QPushButton* btAnnulla_ = nullptr;
};

// Stands in for the user in the dialogs of an import started from the window it is made
// a child of (tests): the file dialog, the report and the message boxes.
class ImportDialogHooks : public QObject {
public:
    explicit ImportDialogHooks(QWidget* window) : QObject(window) {}
    // The list file chosen in place of the file dialog; "" is the dialog cancelled.
    std::function<QString()> chooseFile;
    // Decides on the report dialog, shown but not run: clicks one of its buttons, or none
    // (as closing the window: nothing written).
    std::function<void(ImportReportDialog&)> answerReport;
    // Receives the text of each message box in place of showing it.
    std::function<void(const QString&)> message;
};

// "Importa domande da file..." for the current category: asks for the CSV file (unless
// csvFile is given), reads and checks it with the pictures beside it, shows the report,
// and on "Importa" writes the figures, master, topic list and aligned print history, then
// opens the category again through the main window and shows the topic counts. True when
// the category's data was replaced. The dialogs are those of the ImportDialogHooks child
// of parent when it has one.
bool importQuestionsFromFile(QWidget* parent, TFormStampe& main, const ProgramState& state,
                             const data::QuestionData& data, QString csvFile = {});

}  // namespace vexora::ui

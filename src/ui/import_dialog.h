#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>

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

// "Importa domande da file..." for the current category: asks for the CSV file (unless
// csvFile is given), reads and checks it with the pictures beside it, shows the report,
// and on "Importa" writes the figures, master, topic list and aligned print history, then
// opens the category again through the main window and shows the topic counts. True when
// the category's data was replaced.
bool importQuestionsFromFile(QWidget* parent, TFormStampe& main, const ProgramState& state,
                             const data::QuestionData& data, QString csvFile = {});

}  // namespace vexora::ui

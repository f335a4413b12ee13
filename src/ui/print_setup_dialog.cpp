#include "ui/print_setup_dialog.h"

#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QTimer>

namespace vexora::ui {
namespace {

void captionConfirmButton(QPrintDialog& dialog) {
    for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>()) {
        if (QPushButton* ok = box->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    }
}

}  // namespace

bool execPrintSetupDialog(QPrinter& printer, QWidget* parent, const QString& title) {
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(title);
    captionConfirmButton(dialog);
    // The dialog may caption its buttons again while it is being shown.
    QTimer::singleShot(0, &dialog, [&dialog] { captionConfirmButton(dialog); });
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace vexora::ui
